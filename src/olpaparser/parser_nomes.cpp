// SPDX-License-Identifier: GPL-3.0-or-later
// Names a learner may have meant: the learner functions, the program's own
// names, C's keywords and the C library functions beginners use (with the
// header each needs).
#include "parser_nomes.h"

#include "olpa_funcoes.h"
#include "parser_fonte.h"

#include <cstring>

namespace {

struct NomeDoC {
  const char *nome;
  const char *cabecalho;
};

const NomeDoC BIBLIOTECA[] = {
    {"printf", "stdio.h"},   {"sprintf", "stdio.h"}, {"snprintf", "stdio.h"},
    {"puts", "stdio.h"},     {"putchar", "stdio.h"}, {"scanf", "stdio.h"},
    {"fprintf", "stdio.h"},  {"remove", "stdio.h"},  {"rename", "stdio.h"},
    {"malloc", "stdlib.h"},  {"calloc", "stdlib.h"}, {"realloc", "stdlib.h"},
    {"free", "stdlib.h"},    {"abs", "stdlib.h"},    {"rand", "stdlib.h"},
    {"srand", "stdlib.h"},   {"atoi", "stdlib.h"},   {"exit", "stdlib.h"},
    {"abort", "stdlib.h"},   {"strlen", "string.h"}, {"strcpy", "string.h"},
    {"strncpy", "string.h"}, {"strcat", "string.h"}, {"strcmp", "string.h"},
    {"memset", "string.h"},  {"memcpy", "string.h"}, {"sqrt", "math.h"},
    {"pow", "math.h"},       {"sin", "math.h"},      {"cos", "math.h"},
    {"tan", "math.h"},       {"atan2", "math.h"},    {"fabs", "math.h"},
    {"floor", "math.h"},     {"ceil", "math.h"},     {"round", "math.h"},
    {"fmod", "math.h"},      {"time", "time.h"},     {"clock", "time.h"},
    {"isdigit", "ctype.h"},  {"toupper", "ctype.h"}, {"tolower", "ctype.h"},
    {"assert", "assert.h"},  {"bool", "stdbool.h"},  {"true", "stdbool.h"},
    {"false", "stdbool.h"},  {"NULL", "stdio.h"},    {"M_PI", "math.h"},
};

const char *const PALAVRAS[] = {
    "int",    "char",   "float",   "double", "void",     "long",   "short",   "unsigned", "signed",
    "const",  "static", "struct",  "return", "if",       "else",   "for",     "while",    "do",
    "switch", "case",   "default", "break",  "continue", "sizeof", "typedef", "enum",     "main"};

} // namespace

const char *parser_cabecalho_de(const std::string &nome) {
  for (const NomeDoC &n : BIBLIOTECA)
    if (nome == n.nome)
      return n.cabecalho;
  return nullptr;
}

bool parser_funcao_do_olpa(const std::string &nome) {
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    if (nome == f.nome)
      return true;
  return false;
}

namespace {

// The nearest of the names it is shown, when near enough: short names allow
// only case slips, longer ones more letters. The first shown wins a tie.
class MaisPerto {
public:
  explicit MaisPerto(const std::string &nome)
      : nome_(nome), menor_((nome.size() <= 2   ? 0
                             : nome.size() <= 4 ? 1
                             : nome.size() <= 8 ? 2
                                                : 3) +
                            1) {}
  void considera(const std::string &candidato) {
    if (candidato == nome_ || candidato.size() > nome_.size() + 3 ||
        nome_.size() > candidato.size() + 3)
      return;
    const int d = parser_distancia(nome_, candidato);
    if (d < menor_)
      menor_ = d, melhor_ = candidato;
  }
  const std::string &melhor() const { return melhor_; }

private:
  const std::string &nome_;
  int menor_;
  std::string melhor_;
};

} // namespace

std::string parser_sugestao(const std::string &nome, const std::vector<std::string> &do_programa) {
  MaisPerto perto(nome);
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    perto.considera(f.nome);
  for (const std::string &n : do_programa)
    perto.considera(n);
  for (const NomeDoC &n : BIBLIOTECA)
    perto.considera(n.nome);
  for (const char *p : PALAVRAS)
    perto.considera(p);
  return perto.melhor();
}

std::string parser_sugestao_de_diretiva(const std::string &diretiva) {
  MaisPerto perto(diretiva);
  for (const char *d : {"include", "define", "undef", "if", "ifdef", "ifndef", "elif", "else",
                        "endif", "pragma", "error", "warning", "line"})
    perto.considera(d);
  return perto.melhor();
}
