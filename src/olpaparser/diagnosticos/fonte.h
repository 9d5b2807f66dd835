// SPDX-License-Identifier: GPL-3.0-or-later
// What a quick look at a learner's C source tells, without compiling it:
// where each line's code starts, what never got closed (a string, a
// comment, a brace) and the names it uses. The compiler's messages are
// placed and explained with it. GTK-free.
#pragma once

#include <string>
#include <vector>

struct FonteC {
  int linhas = 0; // lines of the text (a last line without code but after "\n" not counted)
  int ultima_com_codigo = 0;         // the last line holding code (not only blanks and comments)
  std::vector<bool> com_codigo;      // per line (index 0 unused)
  std::vector<std::string> primeira; // per line: its first token, empty when none
  // Lines where something was opened and never closed; 0 when nothing was.
  int aspas_abertas = 0;          // a string ("...) running to the end of its line
  int apostrofo_aberto = 0;       // a character constant ('...) running to the end of its line
  int comentario_aberto = 0;      // a /* with no */ after it
  int chave_aberta = 0;           // a { whose } is missing, by the indentation of the lines
  std::vector<std::string> nomes; // identifiers the program uses, each once (when asked for)
};

FonteC fonte_le(const std::string &codigo, bool com_nomes = false);

// The line, counted from 0, of the "{" that a "}" at byte `ate` of `texto`
// closes; -1 when none does. Braces in comments, strings and character
// constants do not count.
int fonte_linha_da_abertura(const char *texto, size_t ate);
