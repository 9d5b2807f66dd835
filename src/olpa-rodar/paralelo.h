// SPDX-License-Identifier: GPL-3.0-or-later
// Programs run beside each other from this process's main loop, a few at a
// time, each cast from the runner's zygote from the drawing library's
// defaults, confined, with its own time limit and a temporary run tree of its
// own (bin/, telas/ beside it), so that no two share a picture folder and
// none inherits another's leftovers.
#pragma once

#include "olpaparser.h"

#include <functional>
#include <string>
#include <vector>

struct AjustesDoLote {
  int ao_mesmo_tempo = 1;
  double tempo_limite = 10; // seconds of processor time, per run
  bool sem_espera = false;  // espera returns at once
};

// Runs every program of `codigos`, at most `ao_mesmo_tempo` at once.
// `ao_terminar(i, resultado, erro)` is called as each ends, with its outcome
// (valid during the call); with none when the run could not start (`erro`
// says why). Its run tree is emptied after the call. False when a signal
// (Ctrl+C, say) stopped it all: what ran was stopped, nothing more started,
// and `ao_terminar` not called for those.
using AoTerminar =
    std::function<void(size_t i, const ParserResultado *resultado, const std::string &erro)>;
bool paralelo_roda(const std::vector<const char *> &codigos, const AjustesDoLote &ajustes,
                   const AoTerminar &ao_terminar);
