// SPDX-License-Identifier: GPL-3.0-or-later
// What the steps' files share: a world calls are replayed in (olpa_mundo.cpp)
// and the pictures kept on the way (olpa_instantaneos.cpp).
#pragma once

#include "olpa_passos.h"
#include "olpagfx_interno.h"

#include <array>
#include <memory>
#include <vector>

// A drawing library of its own for replayed calls: its state, its canvas
// and the pixels under it, apart from the library's own (which may hold
// the canvas a window shows).
struct OlpaMundo {
  std::unique_ptr<uint32_t[]> pixels; // OLPA_TELA_BYTES; outlives the canvas on it
  OlpaEstado estado{};
  OlpaSurface tela;
  OlpaCairo contexto;
  bool teve_tela = false; // the pixels are a canvas (one was open)
  uint32_t passo = 0;     // calls replayed in it
};
void olpa_mundo_inicia(OlpaMundo *mundo);

// While it lives, the library's functions act on `mundo`: nothing they do
// is recorded, written to a file or the console, or waited for.
class OlpaNoMundo {
public:
  explicit OlpaNoMundo(OlpaMundo *mundo);
  ~OlpaNoMundo();
  OlpaNoMundo(const OlpaNoMundo &) = delete;
  OlpaNoMundo &operator=(const OlpaNoMundo &) = delete;

private:
  OlpaMundo *mundo_;
  OlpaAmbiente ambiente_;
  bool registrando_;
  void troca();
};

// The state the run began with, in a world that is entered.
void olpa_mundo_comeca(OlpaMundo *mundo, const OlpaRegistro &registro);
// Call `indice` of the record made again, in the world entered.
void olpa_mundo_repete(OlpaMundo *mundo, const OlpaRegistro &registro, uint32_t indice);

// ------------------------------------------------------------ what a stroke reaches

// The pixels a stroke may change (olpa_alcance.cpp), a span of columns a
// row, a pixel wider all round than the stroke itself.
struct OlpaAlcance {
  int y0 = 0, y1 = 0;                                 // rows [y0, y1)
  int16_t x0[OLPA_TELA_ALTURA], x1[OLPA_TELA_ALTURA]; // columns [x0, x1) of each
  bool nulo = false;                                  // both ends are one point
  bool fora = false;                                  // the stroke is all off the canvas
};
// The line from (x1, y1) to (x2, y2), in the user space of `cr`, stroked
// with its width and matrix.
void olpa_alcance_do_traco(cairo_t *cr, double x1, double y1, double x2, double y2,
                           OlpaAlcance *alcance);
// The whole canvas.
void olpa_alcance_tudo(OlpaAlcance *alcance);

// ------------------------------------------------------------ kept pictures

// The canvas in squares of 32 x 32 pixels, each kept packed, and shared by
// pictures in which it did not change.
constexpr int OLPA_LADO = 32;
constexpr int OLPA_LADRILHOS_X = OLPA_TELA_LARGURA / OLPA_LADO;
constexpr int OLPA_LADRILHOS = OLPA_LADRILHOS_X * (OLPA_TELA_ALTURA / OLPA_LADO);
using OlpaLadrilho = std::shared_ptr<const std::vector<uint32_t>>;

struct OlpaInstantaneo {
  uint32_t passo;
  OlpaEstado estado; // as the world exported it
  bool teve_tela;
  std::array<OlpaLadrilho, OLPA_LADRILHOS> ladrilhos;
};

struct OlpaInstantaneos {
  std::vector<OlpaInstantaneo> lista; // by step
  std::vector<uint32_t> ultima;       // the pixels of the last one, unpacked
  size_t bytes = 0;                   // what they take
  size_t orcamento = 0;
};
// Keeps the world entered, as it stands now; past the budget, drops every
// other picture (never the first) and returns true.
bool olpa_instantaneos_guarda(OlpaInstantaneos *todos, OlpaMundo *mundo);
// The last picture kept at or before `passo`.
const OlpaInstantaneo &olpa_instantaneos_antes(const OlpaInstantaneos &todos, uint32_t passo);
// Puts a picture back into the world entered.
void olpa_instantaneos_restaura(const OlpaInstantaneo &instantaneo, OlpaMundo *mundo);
