// SPDX-License-Identifier: GPL-3.0-or-later
// What the comparison's two files share: colours as the eye sees them, the
// distance between two of them, and a picture's pixels.
#pragma once

#include "compara.h"

#include <algorithm>

namespace compara {

// The largest distance there is: black against white.
constexpr double DISTANCIA_MAXIMA = 35215.0;

struct Rgb {
  int r, g, b;
};

inline Rgb rgb_de(uint32_t argb) {
  return {static_cast<int>((argb >> 16) & 0xff), static_cast<int>((argb >> 8) & 0xff),
          static_cast<int>(argb & 0xff)};
}

// The colour a premultiplied pixel shows over the background.
inline Rgb visto(uint32_t p, const Rgb &fundo) {
  const int falta = 255 - static_cast<int>(p >> 24);
  const Rgb c = rgb_de(p);
  if (falta == 0)
    return c;
  return {c.r + (falta * fundo.r + 127) / 255, c.g + (falta * fundo.g + 127) / 255,
          c.b + (falta * fundo.b + 127) / 255};
}

// How differently two colours look (Kotsarenko and Ramos's distance in the
// YIQ space, where brightness weighs most).
inline double distancia(const Rgb &a, const Rgb &b) {
  const double r = a.r - b.r, g = a.g - b.g, bl = a.b - b.b;
  const double y = r * 0.29889531 + g * 0.58662247 + bl * 0.11448223;
  const double i = r * 0.59597799 - g * 0.27417610 - bl * 0.32180189;
  const double q = r * 0.21147017 - g * 0.52261711 + bl * 0.31114694;
  return 0.5053 * y * y + 0.299 * i * i + 0.1957 * q * q;
}

struct Figura {
  const unsigned char *bytes;
  uint32_t em(int x, int y) const {
    return reinterpret_cast<const uint32_t *>(bytes + static_cast<size_t>(y) * OLPA_TELA_STRIDE)[x];
  }
};

struct Regras {
  Rgb fundo;
  uint32_t fundo_argb;
  double limite; // distances up to this are not seen
  int raio;
  bool desenhado(uint32_t p) const {
    return p != fundo_argb && distancia(visto(p, fundo), fundo) > limite;
  }
};

inline Regras regras_de(const OpcoesComparacao &o) {
  const double limiar = std::clamp(o.limiar, 0.0, 1.0);
  return {rgb_de(o.fundo), o.fundo, limiar * limiar * DISTANCIA_MAXIMA,
          std::clamp(o.deslocamento, 0, COMPARA_DESLOCAMENTO_MAXIMO)};
}

} // namespace compara
