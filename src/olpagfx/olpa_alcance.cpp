// SPDX-License-Identifier: GPL-3.0-or-later
// Which pixels a stroke can change: a line of the library is one segment,
// stroked with butt caps, so in user space it is a rectangle along the
// segment as wide as the line; the matrix makes it a parallelogram on the
// canvas. Row by row, the columns it covers, a pixel wider all round for
// antialiasing and cairo's rounding. Comparing just those pixels before and
// after the stroke tells what it changed at the cost of the stroke itself.
#include "olpa_passos_interno.h"

#include <algorithm>
#include <cmath>

namespace {

struct Ponto {
  double x, y;
};

// Coordinates this far out are past what cairo's fixed point holds whole:
// then any pixel may change.
constexpr double LONGE = 1 << 20;
constexpr double FOLGA = 1; // pixels around the stroke

// The columns a convex polygon covers between heights `a` and `b`; false
// when it has no point there.
bool colunas(const Ponto *p, int n, double a, double b, double *de, double *ate) {
  double menor = HUGE_VAL, maior = -HUGE_VAL;
  auto inclui = [&](double x) {
    menor = std::min(menor, x);
    maior = std::max(maior, x);
  };
  for (int i = 0; i < n; i++) {
    const Ponto &u = p[i], &v = p[(i + 1) % n];
    if (u.y >= a && u.y <= b)
      inclui(u.x);
    for (double h : {a, b})
      if ((u.y < h && v.y > h) || (u.y > h && v.y < h))
        inclui(u.x + (v.x - u.x) * (h - u.y) / (v.y - u.y));
  }
  *de = menor;
  *ate = maior;
  return menor <= maior;
}

} // namespace

void olpa_alcance_tudo(OlpaAlcance *a) {
  a->y0 = 0;
  a->y1 = OLPA_TELA_ALTURA;
  std::fill(a->x0, a->x0 + OLPA_TELA_ALTURA, 0);
  std::fill(a->x1, a->x1 + OLPA_TELA_ALTURA, OLPA_TELA_LARGURA);
  a->nulo = a->fora = false;
}

void olpa_alcance_do_traco(cairo_t *cr, double x1, double y1, double x2, double y2,
                           OlpaAlcance *a) {
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  const double meia = cairo_get_line_width(cr) / 2, dx = x2 - x1, dy = y2 - y1;
  const double comprimento = std::hypot(dx, dy);
  Ponto p[4];
  if (comprimento > 0) {
    const double nx = -dy / comprimento * meia, ny = dx / comprimento * meia;
    p[0] = {x1 + nx, y1 + ny}, p[1] = {x2 + nx, y2 + ny};
    p[2] = {x2 - nx, y2 - ny}, p[3] = {x1 - nx, y1 - ny};
  } else { // stroked as nothing; taken as a square, to be sure
    p[0] = {x1 - meia, y1 - meia}, p[1] = {x1 + meia, y1 - meia};
    p[2] = {x1 + meia, y1 + meia}, p[3] = {x1 - meia, y1 + meia};
  }
  double menor_x = HUGE_VAL, maior_x = -HUGE_VAL, menor_y = HUGE_VAL, maior_y = -HUGE_VAL;
  bool longe = false;
  for (Ponto &q : p) {
    cairo_matrix_transform_point(&m, &q.x, &q.y);
    longe = longe || !(std::fabs(q.x) < LONGE && std::fabs(q.y) < LONGE);
    menor_x = std::min(menor_x, q.x), maior_x = std::max(maior_x, q.x);
    menor_y = std::min(menor_y, q.y), maior_y = std::max(maior_y, q.y);
  }
  if (longe) {
    olpa_alcance_tudo(a);
    return;
  }
  a->nulo = x1 == x2 && y1 == y2;
  a->fora =
      maior_x <= 0 || menor_x >= OLPA_TELA_LARGURA || maior_y <= 0 || menor_y >= OLPA_TELA_ALTURA;
  a->y0 = std::clamp(static_cast<int>(std::floor(menor_y - FOLGA)), 0, OLPA_TELA_ALTURA);
  a->y1 = std::clamp(static_cast<int>(std::ceil(maior_y + FOLGA)) + 1, a->y0, OLPA_TELA_ALTURA);
  for (int y = a->y0; y < a->y1; y++) {
    double de = 0, ate = 0;
    if (!colunas(p, 4, y - FOLGA, y + 1 + FOLGA, &de, &ate)) {
      a->x0[y] = a->x1[y] = 0;
      continue;
    }
    a->x0[y] = static_cast<int16_t>(
        std::clamp(static_cast<int>(std::floor(de - FOLGA)), 0, OLPA_TELA_LARGURA));
    a->x1[y] = static_cast<int16_t>(
        std::clamp(static_cast<int>(std::ceil(ate + FOLGA)) + 1, int{a->x0[y]}, OLPA_TELA_LARGURA));
  }
}
