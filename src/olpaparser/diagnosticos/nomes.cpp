// SPDX-License-Identifier: GPL-3.0-or-later
// Names a learner may have meant: the learner functions, the program's own
// names, C's keywords and the C library functions beginners use (with the
// header each needs).
#include "nomes.h"

#include "olpa_funcoes.h"

#include <algorithm>
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

const char *nomes_cabecalho_de(const std::string &nome) {
  for (const NomeDoC &n : BIBLIOTECA)
    if (nome == n.nome)
      return n.cabecalho;
  return nullptr;
}

bool nomes_funcao_do_olpa(const std::string &nome) {
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
    const int d = nomes_distancia(nome_, candidato);
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

std::string nomes_sugestao(const std::string &nome, const std::vector<std::string> &do_programa) {
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

std::string nomes_sugestao_de_diretiva(const std::string &diretiva) {
  MaisPerto perto(diretiva);
  for (const char *d : {"include", "define", "undef", "if", "ifdef", "ifndef", "elif", "else",
                        "endif", "pragma", "error", "warning", "line"})
    perto.considera(d);
  return perto.melhor();
}

int nomes_distancia(const std::string &a, const std::string &b) {
  auto minuscula = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  const size_t n = a.size(), m = b.size();
  // Optimal string alignment, on lower case.
  std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
  for (size_t i = 0; i <= n; i++)
    d[i][0] = static_cast<int>(i);
  for (size_t j = 0; j <= m; j++)
    d[0][j] = static_cast<int>(j);
  for (size_t i = 1; i <= n; i++)
    for (size_t j = 1; j <= m; j++) {
      const bool igual = minuscula(a[i - 1]) == minuscula(b[j - 1]);
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (igual ? 0 : 1)});
      if (i > 1 && j > 1 && minuscula(a[i - 1]) == minuscula(b[j - 2]) &&
          minuscula(a[i - 2]) == minuscula(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[n][m];
}
