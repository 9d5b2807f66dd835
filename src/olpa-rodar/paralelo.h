// SPDX-License-Identifier: GPL-3.0-or-later
// Child processes run a few at a time, each in a fresh temporary run tree of
// its own, so that no two share a picture folder and none inherits another's
// leftovers.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Tarefa {
  std::vector<std::string> argv;
  std::string saida, erros; // what it wrote on standard output and error (capped)
  int status = -1;          // as waitpid gives it; -1 when it could not start
  bool estourou = false;    // killed at its deadline
};

// Runs every task, at most `ao_mesmo_tempo` at once. Each runs in a new
// temporary tree (its working directory bin/, with telas/ beside it) removed
// when it ends, and is killed with everything it started after `prazo`
// seconds. `ao_terminar(i)` is called as each task ends. False when a
// signal (Ctrl+C, say) stopped it all: what ran was killed, nothing more started.
bool paralelo_roda(std::vector<Tarefa> *tarefas, int ao_mesmo_tempo, double prazo,
                   const std::function<void(size_t)> &ao_terminar);
