// SPDX-License-Identifier: GPL-3.0-or-later
// The events a child reports on its event pipe while it compiles and links a
// program, one a line: the letter, then, for an error, the line it is on.
// The child closes the pipe before the learner's main runs, so nothing on it
// comes from the program. Private to the runner.
#pragma once

#include "comum.h"

#include <string>
#include <vector>

enum class Evento : char {
  Erro = 'E',          // a compiler error: its line in the code (0 when none) and its text
  Aviso = 'A',         // a compiler warning: its line and its text
  NaoCompilou = 'C',   // compiling failed
  NaoLigou = 'L',      // linking failed
  GrandeDemais = 'N',  // no memory for the linked program
  SemCompilador = 'X', // no compiler state could be made
  NaoConfinou = 'P',   // the child could not be confined; the program did not run
  SemMain = 'M',       // the program has no main: nothing will run
  Inicio = 'I',        // main is about to run and the pipe closes
  Espaco = 'S',        // the child's own space in ../telas comes with this one
  Base = 'B',          // where the program's code begins in the child, and its size
  Linha = 'T',         // an entry of the program's table of lines: an offset and its line
};

// The line that reports `evento` (with `linha` for Evento::Erro and Evento::Aviso).
std::string evento_linha(Evento evento, int linha = 0);
// The line that reports a compiler message of `evento` (Erro or Aviso).
std::string evento_mensagem(Evento evento, int linha, const std::string &texto);
// The lines that report a table of the program's lines.
std::string evento_tabela(const TabelaDeLinhas &tabela);

// What a child reported in one run. Lines not written whole, and letters no
// event has, count for nothing.
struct MensagemDoCompilador {
  bool aviso;
  int linha;
  std::string texto; // "[erro] linha 3: ...", without its line end
};
struct Eventos {
  std::vector<Evento> vistos;
  std::vector<MensagemDoCompilador> mensagens;
  std::vector<int> linhas_com_erro;  // lines of Evento::Erro, those above 0
  std::vector<int> linhas_com_aviso; // lines of Evento::Aviso, those above 0
  TabelaDeLinhas tabela;             // entries within the code's size, by offset
  bool tem(Evento evento) const;
};
Eventos eventos_le(const std::string &texto);
// The same piece by piece: the whole lines of `texto` from `desde` added to
// `*eventos`; where the next piece begins.
size_t eventos_le_desde(const std::string &texto, size_t desde, Eventos *eventos);
