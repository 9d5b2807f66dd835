// A learner's program compiled and run in this process, as a run compiles
// it (the prelude, the same options), with its calls recorded; and the same
// program run again "live", the canvas's pixels taken after every call, to
// hold the replayed steps against. Only for the test's own programs: nothing
// here guards against a program that crashes or never ends.
#pragma once

#include "olpa_registro.h"

#include <cstdint>
#include <string>
#include <vector>

// What one run left.
struct Gravada {
  bool compilou = false;
  std::string erros;     // the compiler's, when it did not compile
  std::string console;   // what the program wrote
  OlpaRegistro registro; // its calls
  // Live only: after call k (k from 0, before the first), whether a canvas
  // had been open by then, and a hash of its pixels (when conferido(k)).
  std::vector<bool> com_tela;
  std::vector<uint64_t> hashes;
  std::vector<std::pair<int, int>> canetas; // the pen
  // ... and the pixels themselves after some calls.
  std::vector<std::pair<uint32_t, std::vector<uint32_t>>> copias;
};

// Runs `codigo` once with the calls recorded in memory of `medidas`; `vivo`
// also takes the pixels after each call (and the record's addresses are
// then not the program's). The drawing library's state carries on, as from
// one run to the next.
Gravada roda_programa(const std::string &codigo, const OlpaRegistroMedidas &medidas, bool vivo);

// The program's line of each of the record's addresses.
std::vector<int> linhas_do_registro(const std::string &codigo, const OlpaRegistro &registro);

// A hash of a canvas's pixels.
uint64_t hash_da_tela(const uint32_t *pixels);
// Whether the canvas after call `passo` is held against the live one: all
// of a few thousand steps, past those every eighth (each costs a hash of
// the whole canvas on both sides).
inline bool conferido(uint32_t passo) {
  return passo < 8000 || passo % 8 == 0;
}
