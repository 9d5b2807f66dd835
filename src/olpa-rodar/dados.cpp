// SPDX-License-Identifier: GPL-3.0-or-later
// The class kept beside its report as fields (registro.h): the model, then
// each learner's file as graded, in the report's order. Read back without
// trusting it: a folder is only a folder, and anyone may have edited it.
#include "dados.h"

#include "registro.h"

#include "olpa_comum.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

namespace {

constexpr char CABECALHO[] = "olpa-turma 1\n";
// Past anything a class of hand-ins holds (up to 1 MiB of code and of console text each).
constexpr goffset TAMANHO_MAXIMO = 2l << 30;

void escreve_correcao(std::string *s, const Correcao &c) {
  registro_campo(s, "posicao", std::to_string(c.posicao));
  registro_campo(s, "arquivo", c.arquivo);
  registro_campo(s, "caminho", c.caminho);
  registro_campo(s, "codigo", c.codigo);
  registro_campo(s, "situacao", situacao_nome(c.situacao));
  registro_campo(s, "comparada", c.comparada ? "1" : "0");
  registro_comparacao(s, c.comparacao);
  registro_campo(s, "mensagem", c.mensagem);
  registro_campo(s, "console", c.console);
  registro_campo(s, "linhas", registro_lista(c.linhas));
  registro_campo(s, "figura", c.figura);
  registro_campo(s, "diferenca", c.diferenca);
  registro_campo(s, "parcial", c.parcial ? "1" : "0");
  registro_campo(s, "passos", c.passos);
  registro_campo(s, "fim", "");
}

// A picture's path as the report writes them: beneath figuras/, one name.
bool figura_sensata(const std::string &caminho) {
  return caminho.empty() ||
         (caminho.rfind("figuras/", 0) == 0 && caminho.find('/', 8) == std::string::npos &&
          caminho.size() > 12 && caminho.compare(caminho.size() - 4, 4, ".png") == 0 &&
          caminho.find("..") == std::string::npos);
}

bool le_correcao(Campos &k, size_t total, Correcao *c) {
  long posicao = 0;
  if (!registro_numero(k["posicao"], 1, static_cast<long>(total), &posicao))
    return false;
  c->posicao = static_cast<int>(posicao);
  int s = 0;
  while (s < 6 && k["situacao"] != situacao_nome(SITUACOES[s]))
    s++;
  if (s == 6 || !registro_le_comparacao(k, &c->comparacao) ||
      !registro_le_lista(k["linhas"], 1L << 24, &c->linhas) || !figura_sensata(k["figura"]) ||
      !figura_sensata(k["diferenca"]))
    return false;
  c->arquivo = k["arquivo"];
  c->caminho = k["caminho"];
  c->codigo = k["codigo"];
  c->situacao = SITUACOES[s];
  c->comparada = k["comparada"] == "1";
  c->mensagem = k["mensagem"];
  c->console = k["console"];
  c->figura = k["figura"];
  c->diferenca = k["diferenca"];
  c->parcial = k["parcial"] == "1";
  c->passos = k["passos"];
  return true;
}

} // namespace

std::string dados_texto(const Turma &t) {
  std::string s = CABECALHO;
  registro_campo(&s, "modelo", t.modelo);
  registro_campo(&s, "modelo_codigo", t.modelo_codigo);
  registro_campo(&s, "modelo_console", t.modelo_console);
  registro_campo(&s, "modelo_soma", t.modelo_soma);
  registro_campo(&s, "deslocamento", std::to_string(t.deslocamento));
  registro_campo(&s, "total", std::to_string(t.total));
  registro_campo(&s, "fim", "");
  for (const Correcao &c : t.correcoes)
    escreve_correcao(&s, c);
  return s;
}

bool dados_le(const std::string &pasta, Turma *t, std::string *motivo) {
  const std::string caminho = pasta + "/" + DADOS_ARQUIVO;
  if (!g_file_test(caminho.c_str(), G_FILE_TEST_EXISTS))
    return false;
  gchar *bytes = nullptr;
  gsize tamanho = 0;
  GError *erro = nullptr;
  GStatBuf st{};
  const bool lido = g_lstat(caminho.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                    st.st_size <= TAMANHO_MAXIMO &&
                    g_file_get_contents(caminho.c_str(), &bytes, &tamanho, &erro);
  const OlpaTexto dono(bytes);
  if (!lido) {
    *motivo = erro ? erro->message : "não é um arquivo comum de tamanho sensato";
    if (erro)
      g_error_free(erro);
    return false;
  }
  const std::string texto(bytes, tamanho);
  size_t p = sizeof CABECALHO - 1;
  Campos k;
  long deslocamento = 0, total = 0;
  if (texto.compare(0, p, CABECALHO) != 0 || !registro_le(texto, &p, &k, "fim") ||
      !registro_numero(k["deslocamento"], 0, COMPARA_DESLOCAMENTO_MAXIMO, &deslocamento) ||
      !registro_numero(k["total"], 0, 1L << 30, &total)) {
    *motivo = "o arquivo " + std::string(DADOS_ARQUIVO) + " está danificado";
    return false;
  }
  Turma lida;
  lida.modelo = k["modelo"];
  lida.modelo_codigo = k["modelo_codigo"];
  lida.modelo_console = k["modelo_console"];
  lida.modelo_soma = k["modelo_soma"];
  lida.deslocamento = static_cast<int>(deslocamento);
  lida.total = static_cast<size_t>(total);
  while (p < texto.size()) {
    Campos c;
    Correcao correcao;
    if (!registro_le(texto, &p, &c, "fim") || !le_correcao(c, lida.total, &correcao)) {
      *motivo = "o arquivo " + std::string(DADOS_ARQUIVO) + " está danificado";
      return false;
    }
    lida.correcoes.push_back(correcao);
  }
  *t = lida;
  return true;
}
