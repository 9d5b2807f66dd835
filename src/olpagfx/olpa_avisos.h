// SPDX-License-Identifier: GPL-3.0-or-later
// What a run's record tells about a picture that shows nothing, or loses
// strokes: one "[olpa]" line naming the first line at fault. GTK-free.
#pragma once

#include "olpa_passos.h"
#include "olpa_registro.h"

#include <string>
#include <vector>

// The notice for a run that ended well, from its record (with its lines:
// olpa_registro_define_linhas), its steps and the program's text; empty
// when nothing was lost. Strokes lost are told only once the steps have
// been gone through whole (olpa_passos_percorre).
std::string olpa_avisos_do_registro(const OlpaRegistro &registro, const OlpaPassos *passos,
                                    const std::string &codigo);

// ------------------------------------------------------------ the program's text
// (olpa_controle.cpp)

// What can keep a line of a program from running.
enum class OlpaBloco { Nenhum, Laco, Se, Senao, Escolha, Funcao };
struct OlpaControle {
  int chamada = 0;                    // the line of the call; 0: the program makes none
  OlpaBloco tipo = OlpaBloco::Nenhum; // what kept it from running
  int linha = 0;                      // ... on this line
  std::string funcao;                 // ... a function of this name (never called)
};
// The first call in the program's text of a function named in `nomes`, and
// the construct around it (a loop, an if or else, a switch, a function
// other than main) most likely to have kept it from running: the outermost
// in which no line of `rodaram` (lines whose calls ran) is, else the
// innermost.
OlpaControle olpa_controle_da_chamada(const std::string &codigo,
                                      const std::vector<std::string> &nomes,
                                      const std::vector<int> &rodaram);
