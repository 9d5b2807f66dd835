// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar's command line.
#pragma once

#include "turma.h"

#include <set>
#include <string>
#include <vector>

struct Opcoes {
  std::vector<std::string> arquivos;
  double tempo_limite = 0; // 0: the runner's own
  std::string figuras;
  std::string quadros; // a folder of ../telas for the frames of animations
  bool sem_espera = false;
  bool passos = false;      // each run's record listed after its console
  bool sem_analise = false; // no analysis (and the compiler's own warnings)
  bool trace = false;       // trace lines to standard error
  bool compara = false;
  std::set<std::string> dadas; // the options given
  OpcoesTurma turma;
};

// 0 when the command line makes sense; -1 when it asked for help (given);
// otherwise the exit status, said. Options come before the files: from the
// first file (or "--") on, every argument is a file, whatever it starts with.
int opcoes_le(int argc, char **argv, Opcoes *o);
