// Writes what the build makes from the table of learner functions:
//   gera-ajuda linguagem SAIDA.lang  the editor's language: C with olpa's functions
//   gera-ajuda programas PASTA       each function's example as PASTA/NOME.olp
//   gera-ajuda lista                 "name<TAB>prototype" a line, for checks
#include "olpa_funcoes.h"

#include <cstdio>
#include <cstring>
#include <string>

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
  fprintf(stderr, "uso: gera-ajuda linguagem SAIDA.lang | programas PASTA | lista\n");
  return 2;
}
