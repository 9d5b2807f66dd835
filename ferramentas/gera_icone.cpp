// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the application icon at every size a desktop asks for: a dark
// rounded canvas with a five-pointed star whose strokes go round the
// rainbow, as a learner's first programs would draw it.
// Usage: gera-icone PASTA  (writes PASTA/olpa-16.png ... PASTA/olpa-64.png)
#include "olpagfx.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

const int TAMANHOS[] = {OLPA_ICONE_TAMANHOS}; // the build's list

void caminho_arredondado(cairo_t *cr, double x, double y, double lado, double raio) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + lado - raio, y + raio, raio, -M_PI / 2, 0);
  cairo_arc(cr, x + lado - raio, y + lado - raio, raio, 0, M_PI / 2);
  cairo_arc(cr, x + raio, y + lado - raio, raio, M_PI / 2, M_PI);
  cairo_arc(cr, x + raio, y + raio, raio, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void desenha(cairo_t *cr, int n) {
  const double lado = n;
  // Dark canvas with a light rim, so that it stands out on dark panels too.
  caminho_arredondado(cr, 0.5, 0.5, lado - 1, lado * 0.18);
  cairo_set_source_rgb(cr, 0.05, 0.06, 0.09);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.62, 0.66, 0.74);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);

  // The star: each of its five strokes joins every second point.
  const double cores[5][3] = {
      {1.0, 0.25, 0.25}, {1.0, 0.65, 0.1}, {1.0, 0.92, 0.2}, {0.3, 0.85, 0.35}, {0.3, 0.6, 1.0}};
  const double cx = lado / 2, cy = lado * 0.53, r = lado * 0.36;
  cairo_set_line_width(cr, std::max(1.3, lado / 14.0));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 5; i++) {
    const double a1 = -M_PI / 2 + i * 4 * M_PI / 5;
    const double a2 = a1 + 4 * M_PI / 5;
    cairo_set_source_rgb(cr, cores[i][0], cores[i][1], cores[i][2]);
    cairo_move_to(cr, cx + r * cos(a1), cy + r * sin(a1));
    cairo_line_to(cr, cx + r * cos(a2), cy + r * sin(a2));
    cairo_stroke(cr);
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "uso: gera-icone PASTA\n");
    return 2;
  }
  for (const int n : TAMANHOS) {
    OlpaSurface icone(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, n, n));
    OlpaCairo cr(cairo_create(icone.get()));
    desenha(cr.get(), n);
    const std::string caminho = std::string(argv[1]) + "/olpa-" + std::to_string(n) + ".png";
    if (cairo_surface_write_to_png(icone.get(), caminho.c_str()) != CAIRO_STATUS_SUCCESS) {
      fprintf(stderr, "gera-icone: não foi possível gravar %s\n", caminho.c_str());
      return 1;
    }
  }
  return 0;
}
