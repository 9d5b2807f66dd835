// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a recorded run: the canvas as it was right after any call,
// made again by replaying the recorded calls with this same drawing library
// (no file written, no espera waited, no console text) from the nearest
// kept picture; the pen after it; which call last changed a pixel; and what
// each drawing call did to the canvas. GTK-free.
#pragma once

#include "olpa_registro.h"

#include <cstddef>
#include <cstdint>
#include <memory>

struct OlpaPassos;
struct OlpaPassosLibera {
  void operator()(OlpaPassos *passos) const;
};
using OlpaPassosPtr = std::unique_ptr<OlpaPassos, OlpaPassosLibera>;

// Bytes the kept pictures may take, besides a few canvases' worth of
// working memory: past it, every other one is dropped (and steps far from
// those left take longer to show).
constexpr size_t OLPA_PASSOS_ORCAMENTO = size_t{64} << 20;

// The steps of `registro`, which must outlive them. Nothing is replayed yet.
// A record read further (olpa_registro_le_mais) has its new calls gone
// through by the same pass.
OlpaPassosPtr olpa_passos_cria(const OlpaRegistro *registro,
                               size_t orcamento = OLPA_PASSOS_ORCAMENTO);

// Goes on with the one pass through the whole record that keeps pictures
// on the way and learns what each call changed, for about `ms` milliseconds
// (a window does it while idle, a slice at a time); true once it has gone
// through all of it. A pass costs about what the run spent drawing, unless
// the program forged its record: the host decides how long to give it.
bool olpa_passos_percorre(OlpaPassos *passos, double ms);
// How many calls the pass has gone through.
uint32_t olpa_passos_percorridos(const OlpaPassos *passos);

// The canvas right after step `passo` (1 to the number of calls kept; 0: as
// the run began). A step past those gone through takes the pass there first.
struct OlpaQuadro {
  const unsigned char *pixels = nullptr; // 640 x 480 ARGB32 as cairo holds it, valid until
                                         // the next call; null: no canvas yet
  bool aberta = false;                   // a canvas is open
  int x = 0, y = 0;                      // the pen, in the program's own numbers
  bool caneta = false;                   // the pen has a place on the canvas:
  double caneta_x = 0, caneta_y = 0;     // ... there, in canvas pixels
};
OlpaQuadro olpa_passos_mostra(OlpaPassos *passos, uint32_t passo);

// The step whose call last changed pixel (x, y), of those gone through (all
// of them: the canvas as the run left it); 0 when none did.
uint32_t olpa_passos_quem_pintou(const OlpaPassos *passos, int x, int y);

// What a call did to the canvas, and why a drawing call changed no pixel:
// the first reason that holds, in this order (Nenhum for a call not gone
// through yet).
enum class OlpaEfeito : uint8_t {
  Nenhum,         // not a drawing call
  Pintou,         // it changed pixels
  SemTela,        // no canvas was open
  TelaEstragada,  // the canvas was in its error state (a scale by 0)
  Invisivel,      // opacity 0
  SemLargura,     // line width 0
  SemComprimento, // both ends the same point
  ForaDaTela,     // all of it off the canvas
  CorDoFundo,     // black, on a canvas where nothing was under it but black
  Repetido,       // the colour every pixel under it already had
};
OlpaEfeito olpa_passos_efeito(const OlpaPassos *passos, uint32_t indice);

// Bytes the steps hold now (kept pictures, the pixel map, working canvases).
size_t olpa_passos_memoria(const OlpaPassos *passos);
// How many pictures are kept now.
size_t olpa_passos_instantaneos(const OlpaPassos *passos);
