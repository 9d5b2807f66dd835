// SPDX-License-Identifier: GPL-3.0-or-later
// A learner's program compiled, linked and run in this process the way a
// child does it (the runner's own compile: the prelude, the options, the
// table of lines), with its calls recorded; and, told of each call, the
// canvas as every step left it, to hold the replayed steps against. Only
// for the test's own programs: nothing here guards against a program that
// crashes or never ends.
#pragma once

#include "olpa_registro.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Whether the canvas after call `passo` is held against the live one: all
// of a few thousand steps, past those every eighth (each costs a hash of
// the whole canvas on both sides).
inline bool conferido(uint32_t passo) {
  return passo < 8000 || passo % 8 == 0;
}

// What one run left.
struct Gravada {
  bool compilou = false;
  std::string erros;     // the compiler's, when it did not compile
  OlpaRegistro registro; // its calls, each address's line given
  // After call k (k from 0, before the first): whether a canvas had been
  // open by then, the pen, and a hash of the pixels (when conferido(k)) ...
  std::vector<bool> com_tela;
  std::vector<std::pair<int, int>> canetas;
  std::vector<uint64_t> hashes;
  // ... and the pixels themselves after some calls.
  std::vector<std::pair<uint32_t, std::vector<uint32_t>>> copias;
};

// Runs `codigo` once, its calls recorded in memory of `medidas`. The
// drawing library's state carries on, as from one run to the next.
Gravada roda_programa(const std::string &codigo, const OlpaRegistroMedidas &medidas);

// A hash of a canvas's pixels.
uint64_t hash_da_tela(const uint32_t *pixels);
