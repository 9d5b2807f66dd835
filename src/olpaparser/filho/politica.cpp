// SPDX-License-Identifier: GPL-3.0-or-later
// What a program's text may make the compiler do. tcc follows a program's
// #include, #pragma comment(lib) and #pragma comment(option) wherever they
// point. A child confines itself before it compiles, so none of that can
// reach outside its rules; these wrappers keep the compiler narrower still:
// headers only from the C library's and tcc's own folders (never the run
// tree, where a program writes), libraries only the system's, and no option
// or library a program names. Every binary that links the runner links tcc
// with --wrap, so tcc's own calls land here.
#include "filho.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <sys/stat.h>

#include <glib.h>

extern "C" {
int __real_tcc_open(TCCState *s, const char *nome);
void *__real_dlopen(const char *nome, int modo);
void __real_tcc_set_options(TCCState *s, const char *opcoes);
[[noreturn]] void _tcc_error(const char *formato, ...);
}

namespace {

bool vigiando; // a program's text is being compiled or linked

#ifndef OLPA_TCC_DIR
#error "OLPA_TCC_DIR must name tcc's own library folder"
#endif

// Where headers may come from, and libraries.
const char *const CABECALHOS[] = {OLPA_TCC_DIR "/include", "/usr/include", "/usr/local/include"};
const char *const BIBLIOTECAS[] = {"/usr/lib", "/lib", "/usr/lib64", "/lib64"};

// Whether `nome`, links resolved, is beneath one of `raizes` (themselves resolved).
template <size_t N> bool dentro_de(const char *nome, const char *const (&raizes)[N]) {
  char *real = realpath(nome, nullptr);
  if (!real)
    return false;
  bool dentro = false;
  for (const char *raiz : raizes) {
    char *r = realpath(raiz, nullptr);
    const size_t n = r ? strlen(r) : 0;
    dentro = dentro || (r && strncmp(real, r, n) == 0 && real[n] == '/');
    free(r);
  }
  free(real);
  return dentro;
}

// The text with comments blanked out (line ends kept), and string and
// character constants kept as they are: what the preprocessor reads.
std::string sem_comentarios(const std::string &t) {
  std::string s = t;
  for (size_t i = 0; i < s.size(); i++) {
    if (s[i] == '"' || s[i] == '\'') {
      const char aspa = s[i];
      for (i++; i < s.size() && s[i] != aspa && s[i] != '\n'; i++)
        i += s[i] == '\\';
    } else if (s.compare(i, 2, "//") == 0) {
      for (; i < s.size() && s[i] != '\n'; i++)
        s[i] = ' ';
    } else if (s.compare(i, 2, "/*") == 0) {
      const size_t fim = std::min(s.find("*/", i + 2), s.size() - 2) + 2;
      for (; i < fim; i++)
        s[i] = s[i] == '\n' ? '\n' : ' ';
      i--;
    }
  }
  return s;
}

} // namespace

void politica_vigia(bool vigiar) {
  vigiando = vigiar;
}

int politica_pragma_proibido(const std::string &codigo) {
  static const std::string PADRAO =
      R"((?m)^[ \t]*#[ \t]*pragma[ \t]+comment\b|\b_Pragma\s*\(\s*"\s*comment\b)";
  GRegex *re = g_regex_new(PADRAO.c_str(), GRegexCompileFlags(G_REGEX_OPTIMIZE | G_REGEX_RAW),
                           GRegexMatchFlags(0), nullptr);
  const std::string texto = sem_comentarios(codigo);
  GMatchInfo *achado = nullptr;
  int linha = 0;
  if (g_regex_match(re, texto.c_str(), GRegexMatchFlags(0), &achado)) {
    int inicio = 0;
    g_match_info_fetch_pos(achado, 0, &inicio, nullptr);
    linha = 1 + static_cast<int>(std::count(texto.begin(), texto.begin() + inicio, '\n'));
  }
  g_match_info_free(achado);
  g_regex_unref(re);
  return linha;
}

extern "C" {

// Includes: a file elsewhere is refused where it is named; one that is not
// there is as good as missing ("-" would be standard input).
int __wrap_tcc_open(TCCState *s, const char *nome) {
  if (!vigiando || (nome && dentro_de(nome, CABECALHOS)))
    return __real_tcc_open(s, nome);
  struct stat info;
  if (nome && strcmp(nome, "-") != 0 && stat(nome, &info) != 0)
    return -1;
  _tcc_error("o arquivo \"%s\" não pode ser incluído: um programa do olpa inclui só os "
             "cabeçalhos do C, como <stdio.h> e <math.h>",
             nome ? nome : "");
}

// Shared libraries tcc loads to link a program: the system's only.
void *__wrap_dlopen(const char *nome, int modo) {
  if (vigiando && (!nome || !dentro_de(nome, BIBLIOTECAS)))
    return nullptr;
  return __real_dlopen(nome, modo);
}

// #pragma comment(option, ...): refused where it stands, with its line.
void __wrap_tcc_set_options(TCCState *s, const char *opcoes) {
  if (vigiando)
    _tcc_error("#pragma comment não é permitido no olpa: um programa não escolhe opções nem "
               "bibliotecas do compilador");
  __real_tcc_set_options(s, opcoes);
}

// #pragma comment(lib, ...): olpa links no library a program names.
void __wrap_tcc_add_pragma_libs(TCCState *) {}

} // extern "C"
