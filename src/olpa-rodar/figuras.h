// Pictures for grading: a 640 x 480 PNG read without trusting the file, written
// back, compared pixel by pixel, and the picture of where two differ.
#pragma once

#include "olpagfx.h"

#include <cstdint>
#include <string>

constexpr long FIGURA_PONTOS = static_cast<long>(OLPA_TELA_LARGURA) * OLPA_TELA_ALTURA;

// The picture at `caminho` as a 640 x 480 ARGB32 surface, when it is a regular
// file (no link followed, nothing waited on) holding a PNG of that size; null
// otherwise, with the reason in Portuguese in *motivo.
OlpaSurface figura_le(const std::string &caminho, std::string *motivo);
// The same for the file open at `fd` (left open).
OlpaSurface figura_le_fd(int fd, std::string *motivo);

// Writes `figura` as PNG; false with the reason in *motivo.
bool figura_grava(cairo_surface_t *figura, const std::string &caminho, std::string *motivo);

// How many pixels of two 640 x 480 pictures differ in any of A, R, G, B.
long figura_conta_diferencas(cairo_surface_t *a, cairo_surface_t *b);

// The model dimmed, with every pixel where `outra` differs from it in red.
OlpaSurface figura_diferenca(cairo_surface_t *modelo, cairo_surface_t *outra);

// The colour of a differing pixel and how a pixel of the model is dimmed
// (each of R, G, B times 2/5).
constexpr uint32_t FIGURA_MARCA = 0xffff0000u;
constexpr uint32_t figura_esmaecida(uint32_t argb) {
  const uint32_t r = ((argb >> 16) & 0xff) * 2 / 5, g = ((argb >> 8) & 0xff) * 2 / 5,
                 b = (argb & 0xff) * 2 / 5;
  return 0xff000000u | r << 16 | g << 8 | b;
}
