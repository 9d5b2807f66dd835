// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing English reaches a learner from the compiler: each of tcc's
// message formats (formatos_do_tcc.txt), filled in, goes through the
// compiler's table as an error and as a warning, and no word of the English
// wording may be left in what the console would show.
// Usage: confere_ingles FORMATOS
#include "diagnosticos.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include <glib.h>

namespace {

// Words the English wordings share with C or with Portuguese.
const std::set<std::string> DO_C = {
    "asm",     "break",    "case",          "char",        "const",      "continue",  "default",
    "define",  "double",   "elif",          "else",        "endif",      "endr",      "enum",
    "error",   "fill",     "float",         "ifdef",       "ifndef",     "include",   "int",
    "line",    "long",     "macro",         "main",        "org",        "pragma",    "return",
    "short",   "signed",   "sizeof",        "static",      "struct",     "switch",    "typedef",
    "union",   "unsigned", "void",          "warning",     "while",      "UTF",       "SSE",
    "REX",     "VLAs",     "p2align",       "pushsection", "popsection", "vstack",    "symtab",
    "dll",     "got",      "Static_assert", "cleanup",     "mode",       "pop_macro", "push_macro",
    "Generic", "zero",     "escape",        "pack"};

// printf's conversions filled in with a value that is no word.
std::string preenche(const std::string &formato) {
  std::string s;
  for (size_t i = 0; i < formato.size(); i++) {
    if (formato[i] != '%') {
      s += formato[i];
      continue;
    }
    size_t j = i + 1;
    while (j < formato.size() && strchr("0123456789.*-", formato[j]))
      j++;
    if (j < formato.size() && formato[j] == '%')
      s += '%';
    else if (j < formato.size() && (formato[j] == 's' || formato[j] == 'c'))
      s += "q";
    else
      s += "7";
    i = j;
  }
  return s;
}

std::set<std::string> palavras(const std::string &texto) {
  std::set<std::string> ps;
  std::string p;
  for (size_t i = 0; i <= texto.size(); i++) {
    const char c = i < texto.size() ? texto[i] : ' ';
    if (g_ascii_isalpha(c) || c == '_') {
      p += c;
      continue;
    }
    while (!p.empty() && p[0] == '_')
      p.erase(0, 1);
    if (p.size() >= 3)
      ps.insert(p);
    p.clear();
  }
  return ps;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2)
    return fprintf(stderr, "uso: confere_ingles FORMATOS\n"), 2;
  std::ifstream arquivo(argv[1]);
  int erros = 0, n = 0;
  for (std::string formato; std::getline(arquivo, formato);) {
    if (formato.empty() || formato[0] == '#')
      continue;
    const std::string mensagem = preenche(formato);
    for (const char *gravidade : {"error", "warning"}) {
      const std::string texto =
          diagnosticos_traduz(std::string("programa:1: ") + gravidade + ": " + mensagem);
      n++;
      const std::set<std::string> traduzidas = palavras(texto);
      std::string sobra;
      for (const std::string &p : palavras(mensagem))
        if (!DO_C.count(p) && traduzidas.count(p))
          sobra += " " + p;
      if (texto.find("o compilador não aceitou este trecho") != std::string::npos)
        sobra += " (nenhum registro)";
      if (!sobra.empty()) {
        printf("em inglês (%s): %s\n  -> %s   [%s ]\n", gravidade, mensagem.c_str(), texto.c_str(),
               sobra.c_str());
        erros++;
      }
    }
  }
  printf("%d mensagens do compilador, %d com inglês\n", n, erros);
  return erros ? 1 : 0;
}
