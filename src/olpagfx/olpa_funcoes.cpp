// SPDX-License-Identifier: GPL-3.0-or-later
// The table of the functions learners' programs can call: the drawing
// library's seventeen, then the C library's sprintf.
#include "olpa_funcoes.h"

#include "olpagfx.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

template <typename F> const void *endereco(F *funcao) {
  return reinterpret_cast<const void *>(funcao);
}

constexpr OlpaFaixa COMPONENTE{0, 255, false, "cada cor"};
constexpr OlpaFaixa OPACIDADE{0, 100, false, "a opacidade"};
constexpr OlpaFaixa LARGURA{1, INT_MAX, false, "a largura"};
constexpr OlpaFaixa ESCALA{INT_MIN, INT_MAX, true, "a escala"};
constexpr OlpaFaixa TEMPO{0, OLPA_ESPERA_MAXIMA, false, "o tempo", " milissegundos"};

} // namespace

const OlpaFuncao OLPA_FUNCOES[OLPA_NUM_FUNCOES] = {
    {"inicia",
     endereco(inicia),
     "void inicia(void);",
     {},
     "Abre uma tela nova: fundo preto, caneta branca no meio da tela (320, 240).",
     "inicia();\nlinha(0, 240, 640, 240);\ntermina();"},
    {"inicia_arquivo",
     endereco(inicia_arquivo),
     "void inicia_arquivo(const char *nome);",
     {},
     "Como inicia, mas com gravação manual: só grava_tela grava, em ../telas/nome.",
     "inicia_arquivo(\"meu.png\");\nlinha(0, 0, 640, 480);\ngrava_tela(\"meu.png\");\ntermina();"},
    {"grava_tela",
     endereco(grava_tela),
     "void grava_tela(const char *nome);",
     {},
     "Grava agora a figura, do jeito que está, em ../telas/nome.",
     "inicia();\nlinha(100, 240, 320, 240);\ngrava_tela(\"metade.png\");\nlinha(320, 240, 540, "
     "240);\ntermina();"},
    {"termina",
     endereco(termina),
     "void termina(void);",
     {},
     "Grava a figura (a não ser na gravação manual) e fecha a tela.",
     "inicia();\ncor(255, 200, 0);\nlinha(320, 40, 320, 440);\ntermina();"},
    {"linha",
     endereco(linha),
     "void linha(int x1, int y1, int x2, int y2);",
     {},
     "Desenha uma linha de (x1, y1) até (x2, y2); a caneta fica em (x2, y2).",
     "inicia();\ntraco(6);\nlinha(0, 0, 640, 480);\nlinha(0, 480, 640, 0);\ntermina();"},
    {"linha_ate",
     endereco(linha_ate),
     "void linha_ate(int dx, int dy);",
     {},
     "Desenha uma linha da caneta até a caneta + (dx, dy); a caneta não sai do lugar.",
     "inicia();\ntraco(6);\nanda_ate(320, 240);\nlinha_ate(200, 0);\nlinha_ate(0, "
     "-200);\ntermina();"},
    {"anda",
     endereco(anda),
     "void anda(int dx, int dy);",
     {},
     "Move a caneta dx pontos na horizontal e dy na vertical, sem desenhar.",
     "inicia();\ntraco(6);\nanda_ate(120, 240);\nfor (int i = 0; i < 5; i++) {\n  linha_ate(60, "
     "0);\n  anda(90, 0);\n}\ntermina();"},
    {"anda_ate",
     endereco(anda_ate),
     "void anda_ate(int x, int y);",
     {},
     "Leva a caneta até (x, y), sem desenhar.",
     "inicia();\ntraco(6);\nanda_ate(100, 100);\nlinha_ate(440, 280);\ntermina();"},
    {"rotaciona",
     endereco(rotaciona),
     "void rotaciona(int graus);",
     {},
     "Gira o papel em volta do ponto (0, 0); graus positivos giram no sentido do relógio.",
     "inicia();\ntraco(4);\norigem(320, 240);\nfor (int i = 0; i < 12; i++) {\n  linha(0, 0, 200, "
     "0);\n  rotaciona(30);\n}\ntermina();"},
    {"origem",
     endereco(origem),
     "void origem(int x, int y);",
     {},
     "Leva o ponto (0, 0) para (x, y).",
     "inicia();\ntraco(6);\norigem(320, 240);\nlinha(-100, 0, 100, 0);\nlinha(0, -100, 0, "
     "100);\ntermina();"},
    {"escala",
     endereco(escala),
     "void escala(int sx, int sy);",
     {ESCALA, ESCALA},
     "Multiplica as próximas coordenadas por sx (na horizontal) e sy (na vertical).",
     "inicia();\ntraco(2);\nlinha(40, 40, 140, 40);\nescala(3, 3);\nlinha(15, 50, 48, "
     "50);\ntermina();"},
    {"traco",
     endereco(traco),
     "void traco(int largura);",
     {LARGURA},
     "Escolhe a largura, em pontos, das próximas linhas.",
     "inicia();\nfor (int i = 1; i <= 8; i++) {\n  traco(i * 4);\n  linha(60 * i, 80, 60 * i, "
     "400);\n}\ntermina();"},
    {"cor",
     endereco(cor),
     "void cor(int r, int g, int b);",
     {COMPONENTE, COMPONENTE, COMPONENTE},
     "Escolhe a cor da caneta: vermelho, verde e azul, cada um de 0 a 255.",
     "inicia();\ntraco(40);\ncor(255, 0, 0);\nlinha(80, 140, 560, 140);\ncor(0, 200, "
     "0);\nlinha(80, 240, 560, 240);\ncor(0, 80, 255);\nlinha(80, 340, 560, 340);\ntermina();"},
    {"cor_e_opacidade",
     endereco(cor_e_opacidade),
     "void cor_e_opacidade(int r, int g, int b, int a);",
     {COMPONENTE, COMPONENTE, COMPONENTE, OPACIDADE},
     "Escolhe a cor (de 0 a 255) e a opacidade (de 0 a 100) da caneta.",
     "inicia();\ntraco(120);\ncor_e_opacidade(255, 0, 0, 60);\nlinha(100, 240, 420, "
     "240);\ncor_e_opacidade(0, 0, 255, 60);\nlinha(220, 240, 540, 240);\ntermina();"},
    {"opacidade",
     endereco(opacidade),
     "void opacidade(int a);",
     {OPACIDADE},
     "Escolhe a opacidade da caneta, de 0 (invisível) a 100 (cobre tudo).",
     "inicia();\ntraco(60);\nfor (int i = 0; i < 5; i++) {\n  opacidade(20 + i * 20);\n  linha(80 "
     "+ i * 110, 100, 80 + i * 110, 380);\n}\ntermina();"},
    {"escreve_console",
     endereco(escreve_console),
     "void escreve_console(const char *texto);",
     {},
     "Escreve o texto no console, sem pular linha sozinho.",
     "inicia();\nescreve_console(\"Oi! Vou desenhar uma linha.\\n\");\nlinha(0, 240, 640, "
     "240);\ntermina();"},
    {"espera",
     endereco(espera),
     "void espera(int milissegundos);",
     {TEMPO},
     "Pausa o programa (de 0 a 10000 milissegundos) mostrando a tela: serve para animar.",
     "inicia();\ncor(255, 200, 0);\ntraco(8);\nfor (int x = 40; x <= 600; x += 80) {\n  linha(x, "
     "200, x, 280);\n  espera(200); // um traço de cada vez\n}\ntermina();"},
    {"sprintf",
     endereco(sprintf),
     "int sprintf(char *texto, const char *formato, ...);",
     {},
     "Monta um texto com números num vetor de char, como o printf.",
     "char texto[40];\nint x = 200;\nsprintf(texto, \"x vale %d\\n\", "
     "x);\nescreve_console(texto);\ninicia();\nlinha(x, 0, x, 480);\ntermina();",
     "stdio.h"},
};

std::string olpa_funcoes_declaracoes() {
  std::string texto;
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    texto += f.cabecalho ? std::string("#include <") + f.cabecalho + ">\n"
                         : std::string(f.prototipo) + "\n";
  return texto;
}

size_t olpa_funcao_indice(const char *nome) {
  for (size_t i = 0; i < OLPA_NUM_FUNCOES; i++)
    if (strcmp(OLPA_FUNCOES[i].nome, nome) == 0)
      return i;
  return OLPA_NUM_FUNCOES;
}

const OlpaIndices &olpa_funcoes_indices() {
  static const OlpaIndices i = {
      olpa_funcao_indice("inicia"),          olpa_funcao_indice("inicia_arquivo"),
      olpa_funcao_indice("termina"),         olpa_funcao_indice("linha"),
      olpa_funcao_indice("linha_ate"),       olpa_funcao_indice("escala"),
      olpa_funcao_indice("traco"),           olpa_funcao_indice("cor"),
      olpa_funcao_indice("cor_e_opacidade"), olpa_funcao_indice("opacidade")};
  return i;
}

namespace {

// What is between the prototype's parentheses, read once.
OlpaAssinatura le_assinatura(const char *prototipo) {
  OlpaAssinatura a{};
  const std::string p = prototipo;
  const size_t abre = p.find('('), fecha = p.rfind(')');
  const std::string dentro = p.substr(abre + 1, fecha - abre - 1);
  if (dentro.find("...") != std::string::npos) {
    a.quantos = -1;
    return a;
  }
  if (dentro == "void" || dentro.empty())
    return a;
  for (size_t inicio = 0; inicio <= dentro.size() && a.quantos < OLPA_MAX_ARGUMENTOS;) {
    const size_t virgula = std::min(dentro.find(',', inicio), dentro.size());
    a.texto[a.quantos++] = dentro.substr(inicio, virgula - inicio).find('*') != std::string::npos;
    inicio = virgula + 1;
  }
  return a;
}

} // namespace

const OlpaAssinatura &olpa_funcao_assinatura(size_t indice) {
  static const auto assinaturas = [] {
    std::array<OlpaAssinatura, OLPA_NUM_FUNCOES> todas{};
    for (size_t i = 0; i < OLPA_NUM_FUNCOES; i++)
      todas[i] = le_assinatura(OLPA_FUNCOES[i].prototipo);
    return todas;
  }();
  return assinaturas[std::min(indice, OLPA_NUM_FUNCOES - 1)];
}

bool olpa_faixa_contem(const OlpaFaixa &faixa, int valor) {
  return valor >= faixa.minimo && valor <= faixa.maximo && !(faixa.sem_zero && valor == 0);
}

int olpa_faixa_limita(const OlpaFaixa &faixa, int valor) {
  return std::clamp(valor, faixa.minimo, faixa.maximo);
}

std::string olpa_faixa_texto(const OlpaFaixa &faixa) {
  const std::string nome = faixa.nome ? faixa.nome : "o número";
  if (faixa.sem_zero)
    return nome + " não pode ser 0";
  if (faixa.maximo == INT_MAX)
    return nome + " vai de " + std::to_string(faixa.minimo) + " para cima";
  return nome + " vai de " + std::to_string(faixa.minimo) + " a " + std::to_string(faixa.maximo) +
         faixa.unidade;
}
