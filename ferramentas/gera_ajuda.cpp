// SPDX-License-Identifier: GPL-3.0-or-later
// Writes what the build makes from the table of learner functions:
//   gera-ajuda linguagem SAIDA.lang  the editor's language: C with olpa's functions
//   gera-ajuda programas PASTA       each function's example as PASTA/NOME.olp
//   gera-ajuda lista                 "name<TAB>prototype" a line, for checks
//   gera-ajuda erros ERROS.ini       the reference's section "Erros comuns", in Markdown
//   gera-ajuda mensagens ERROS.ini   each line of each error's message, for checks
#include "olpa_funcoes.h"
#include "olpaparser.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <glib.h>

namespace {

bool grava(const std::string &caminho, const std::string &texto) {
  GError *erro = nullptr;
  if (g_file_set_contents(caminho.c_str(), texto.c_str(), static_cast<gssize>(texto.size()), &erro))
    return true;
  fprintf(stderr, "gera-ajuda: %s\n", erro->message);
  g_error_free(erro);
  return false;
}

std::string linguagem() {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<!-- Made by gera-ajuda from the table of learner functions. -->\n"
                  "<language id=\"olpa\" name=\"olpa\" version=\"2.0\" section=\"Source\">\n"
                  "  <metadata>\n"
                  "    <property name=\"globs\">*.olp</property>\n"
                  "    <property name=\"line-comment-start\">//</property>\n"
                  "    <property name=\"block-comment-start\">/*</property>\n"
                  "    <property name=\"block-comment-end\">*/</property>\n"
                  "  </metadata>\n"
                  "  <styles>\n"
                  "    <style id=\"funcao\" name=\"Função do olpa\" map-to=\"def:builtin\"/>\n"
                  "  </styles>\n"
                  "  <definitions>\n"
                  "    <context id=\"funcoes\" style-ref=\"funcao\">\n";
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    s += std::string("      <keyword>") + f.nome + "</keyword>\n";
  s += "    </context>\n"
       "    <context id=\"olpa\" class=\"no-spell-check\">\n"
       "      <include>\n"
       "        <context ref=\"funcoes\"/>\n"
       "        <context ref=\"c:c\"/>\n"
       "      </include>\n"
       "    </context>\n"
       "  </definitions>\n"
       "</language>\n";
  return s;
}

// The example as a whole program: the body inside a main.
std::string programa(const OlpaFuncao &f) {
  std::string s = std::string("// ") + f.nome + ": o exemplo da ajuda do olpa.\n\n";
  if (strcmp(f.nome, "sprintf") == 0)
    s += "#include <stdio.h>\n\n";
  s += "int main(void) {\n  ";
  for (const char *c = f.exemplo; *c; c++) {
    s += *c;
    if (*c == '\n')
      s += "  ";
  }
  return s + "\n  return 0;\n}\n";
}

// The common errors as the help window reads them: each group's title and
// its keys; false when the file cannot be read.
struct Erro {
  std::string titulo, mensagem, causa, o_que_fazer;
};
bool le_erros(const char *arquivo, std::vector<Erro> *erros) {
  GKeyFile *ini = g_key_file_new();
  GError *erro = nullptr;
  if (!g_key_file_load_from_file(ini, arquivo, G_KEY_FILE_NONE, &erro)) {
    fprintf(stderr, "gera-ajuda: %s\n", erro->message);
    g_error_free(erro);
    g_key_file_free(ini);
    return false;
  }
  gchar **grupos = g_key_file_get_groups(ini, nullptr);
  for (gchar **g = grupos; *g; g++) {
    // The analyser's records without a cause explain no common error.
    if (!g_key_file_has_key(ini, *g, "causa", nullptr))
      continue;
    Erro e{*g, "", "", ""};
    for (auto [chave, destino] : {std::pair{"mensagem", &e.mensagem},
                                  {"causa", &e.causa},
                                  {"o_que_fazer", &e.o_que_fazer}}) {
      gchar *texto = g_key_file_get_string(ini, *g, chave, nullptr);
      *destino = texto ? texto : "";
      g_free(texto);
    }
    erros->push_back(e);
  }
  g_strfreev(grupos);
  g_key_file_free(ini);
  return true;
}

std::string secao_de_erros(const std::vector<Erro> &erros) {
  std::string s = "## Erros comuns\n\n"
                  "O que o console mostra nos enganos mais comuns, por que acontece e o que "
                  "fazer. Cada [erro] e cada [aviso] que cita uma linha marca essa linha no "
                  "editor (o aviso com uma marca própria); um clique na mensagem leva o cursor "
                  "até lá. Um [aviso] não deixa o console vermelho nem para o programa. A mesma "
                  "lista está na aba Erros comuns da ajuda (F1).\n";
  for (const Erro &e : erros)
    s += "\n### " + e.titulo + "\n\n```\n" + e.mensagem + "\n```\n\n**Por quê:** " + e.causa +
         "\n\n**O que fazer:** " + e.o_que_fazer + "\n";
  s += "\n### Avisos do compilador que o olpa não mostra\n\n"
       "Estes avisos do compilador não apontam enganos de quem aprende, e ficam de fora do "
       "console (\"…\" é qualquer texto); os outros aparecem traduzidos, como [aviso]. Os "
       "avisos vindos de cabeçalhos (#include) também ficam de fora.\n\n";
  // The patterns as a reader takes them: any text is "…".
  for (std::string padrao : parser_avisos_descartados()) {
    for (const char *qualquer : {"'[^']*'", ".*", "\\(", "\\)"})
      for (size_t i; (i = padrao.find(qualquer)) != std::string::npos;)
        padrao.replace(i, strlen(qualquer),
                       qualquer[0] == '\''  ? "'…'"
                       : qualquer[0] == '.' ? "…"
                                            : qualquer + 1);
    s += "- `" + padrao + "`\n";
  }
  return s;
}

} // namespace

int main(int argc, char **argv) {
  const std::string modo = argc > 1 ? argv[1] : "";
  if (modo == "linguagem" && argc == 3)
    return grava(argv[2], linguagem()) ? 0 : 1;
  if (modo == "programas" && argc == 3) {
    for (const OlpaFuncao &f : OLPA_FUNCOES)
      if (f.exemplo && !grava(std::string(argv[2]) + "/" + f.nome + ".olp", programa(f)))
        return 1;
    return 0;
  }
  if (modo == "lista" && argc == 2) {
    for (const OlpaFuncao &f : OLPA_FUNCOES)
      printf("%s\t%s\n", f.nome, f.prototipo);
    return 0;
  }
  std::vector<Erro> erros;
  if ((modo == "erros" || modo == "mensagens") && argc >= 3) {
    for (int i = 2; i < argc; i++)
      if (!le_erros(argv[i], &erros))
        return 1;
    if (modo == "erros")
      fputs(secao_de_erros(erros).c_str(), stdout);
    else
      for (const Erro &e : erros)
        printf("%s\n", e.mensagem.c_str());
    return 0;
  }
  fprintf(stderr, "uso: gera-ajuda linguagem SAIDA.lang | programas PASTA | lista | erros "
                  "ERROS.ini... | mensagens ERROS.ini...\n");
  return 2;
}
