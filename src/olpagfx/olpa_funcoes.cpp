// The table of the functions learners' programs can call: the drawing
// library's sixteen, then the C library's sprintf.
#include "olpa_funcoes.h"

#include "olpagfx.h"

#include <cstdio>

namespace {

template <typename F> const void *endereco(F *funcao) {
  return reinterpret_cast<const void *>(funcao);
}

} // namespace

const OlpaFuncao OLPA_FUNCOES[OLPA_NUM_FUNCOES] = {
    {"inicia", endereco(inicia), "void inicia(void);",
     "Abre uma tela nova: fundo preto, caneta branca no meio da tela (320, 240)."},
    {"inicia_arquivo", endereco(inicia_arquivo), "void inicia_arquivo(const char *nome);",
     "Como inicia, mas com gravação manual: só grava_tela grava, em ../telas/nome."},
    {"grava_tela", endereco(grava_tela), "void grava_tela(const char *nome);",
     "Grava agora a figura, do jeito que está, em ../telas/nome."},
    {"termina", endereco(termina), "void termina(void);",
     "Grava a figura (a não ser na gravação manual) e fecha a tela."},
    {"linha", endereco(linha), "void linha(int x1, int y1, int x2, int y2);",
     "Desenha uma linha de (x1, y1) até (x2, y2); a caneta fica em (x2, y2)."},
    {"linha_ate", endereco(linha_ate), "void linha_ate(int dx, int dy);",
     "Desenha uma linha da caneta até a caneta + (dx, dy); a caneta não sai do lugar."},
    {"anda", endereco(anda), "void anda(int dx, int dy);",
     "Move a caneta dx pontos na horizontal e dy na vertical, sem desenhar."},
    {"anda_ate", endereco(anda_ate), "void anda_ate(int x, int y);",
     "Leva a caneta até (x, y), sem desenhar."},
    {"rotaciona", endereco(rotaciona), "void rotaciona(int graus);",
     "Gira o papel em volta do ponto (0, 0); graus positivos giram no sentido do relógio."},
    {"origem", endereco(origem), "void origem(int x, int y);", "Leva o ponto (0, 0) para (x, y)."},
    {"escala", endereco(escala), "void escala(int sx, int sy);",
     "Multiplica as próximas coordenadas por sx (na horizontal) e sy (na vertical)."},
    {"traco", endereco(traco), "void traco(int largura);",
     "Escolhe a largura, em pontos, das próximas linhas."},
    {"cor", endereco(cor), "void cor(int r, int g, int b);",
     "Escolhe a cor da caneta: vermelho, verde e azul, cada um de 0 a 255."},
    {"cor_e_opacidade", endereco(cor_e_opacidade),
     "void cor_e_opacidade(int r, int g, int b, int a);",
     "Escolhe a cor (de 0 a 255) e a opacidade (de 0 a 100) da caneta."},
    {"opacidade", endereco(opacidade), "void opacidade(int a);",
     "Escolhe a opacidade da caneta, de 0 (invisível) a 100 (cobre tudo)."},
    {"escreve_console", endereco(escreve_console), "void escreve_console(const char *texto);",
     "Escreve o texto no console, sem pular linha sozinho."},
    {"sprintf", endereco(sprintf), "int sprintf(char *texto, const char *formato, ...);",
     "Monta um texto com números num vetor de char, como o printf."},
};
