// SPDX-License-Identifier: GPL-3.0-or-later
// What the drawing library's own files share, and nothing outside it sees:
// where its output goes (the host's side, olpagfx_estado.cpp), the record of
// the calls a program makes (olpa_registro.cpp), and what replaying them
// switches off.
#pragma once

#include "olpa_registro.h"
#include "olpagfx.h"

#include <cstdint>
#include <string>

// The folder every picture goes in.
constexpr char OLPA_PASTA_TELAS[] = "../telas/";

// Everything of the library that belongs to whoever hosts it rather than to
// the drawing: replaying calls swaps it whole for one that writes nothing.
struct OlpaAmbiente {
  OlpaEscritor console;
  OlpaEscritor trace;
  OlpaEsperador esperador;
  std::atomic<uint32_t> *mudancas; // bumped at each change of the pixels
  unsigned char *pixels;           // the canvas's memory; null: cairo's own
  unsigned char *ultima_argb;      // the last picture written, kept (olpa_gfx_define_ultima_imagem)
  char *ultima_caminho;
  bool espera_avisada; // an espera out of range was noted in this run
  OlpaGfxTempos tempos;
  bool ensaio; // calls replayed: no picture is written
};
extern OlpaAmbiente olpa_ambiente;

// The canvas's drawing context; null while no canvas is open.
inline cairo_t *olpa_gfx_contexto() {
  return olpa_tela_buffer.get();
}
// A new canvas on the pixel memory (not painted yet).
void olpa_gfx_abre_tela();
// The pixels changed: whoever shows them live may show them again.
void olpa_gfx_mudou();
void olpa_gfx_console(const std::string &texto);
void olpa_gfx_trace(const char *formato, const char *caminho);

// ------------------------------------------------------------ the record

// Whether this run's calls are being recorded (memory for them was given).
extern bool olpa_registrando;
// The index of a learner function in the table, by its name.
uint8_t olpa_registro_id(const char *funcao);
// One call noted: its function, the return address into the program, and
// its integer arguments, or its text.
void olpa_registro_anota(uint8_t funcao, const void *de_onde, int a = 0, int b = 0, int c = 0,
                         int d = 0);
void olpa_registro_anota_texto(uint8_t funcao, const void *de_onde, const char *texto);
// The call noted last refused its name (and so did nothing else).
void olpa_registro_recusou();
// A run begins: the record emptied, the drawing state as it stands kept as
// its start (and the canvas's pixels, when one is open).
void olpa_registro_comeca();

// Notes a call of the learner function this is written in, with its
// arguments, when calls are being recorded. First thing in the function:
// the return address is its caller's.
#define OLPA_ANOTA(...)                                                                            \
  do {                                                                                             \
    if (olpa_registrando) {                                                                        \
      static const uint8_t id_ = olpa_registro_id(__func__);                                       \
      olpa_registro_anota(id_, __builtin_return_address(0), ##__VA_ARGS__);                        \
    }                                                                                              \
  } while (0)
#define OLPA_ANOTA_TEXTO(texto)                                                                    \
  do {                                                                                             \
    if (olpa_registrando) {                                                                        \
      static const uint8_t id_ = olpa_registro_id(__func__);                                       \
      olpa_registro_anota_texto(id_, __builtin_return_address(0), texto);                          \
    }                                                                                              \
  } while (0)
