// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the start picture shown before the first run and after every
// clearing or error: a dark canvas with a faint coordinate grid and a short
// invitation. Usage: gera-init SAIDA.png
#include "olpagfx.h"

#include <cstdio>

#include <pango/pangocairo.h>

namespace {

void texto(cairo_t *cr, const char *marcacao, const char *fonte, double y) {
  PangoLayout *layout = pango_cairo_create_layout(cr);
  PangoFontDescription *desc = pango_font_description_from_string(fonte);
  pango_layout_set_font_description(layout, desc);
  pango_layout_set_markup(layout, marcacao, -1);
  int largura, altura;
  pango_layout_get_pixel_size(layout, &largura, &altura);
  cairo_move_to(cr, (OLPA_TELA_LARGURA - largura) / 2.0, y);
  pango_cairo_show_layout(cr, layout);
  pango_font_description_free(desc);
  g_object_unref(layout);
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "uso: gera-init SAIDA.png\n");
    return 2;
  }
  OlpaSurface tela(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  OlpaCairo cr(cairo_create(tela.get()));
  cairo_set_source_rgb(cr.get(), 0.06, 0.07, 0.10);
  cairo_paint(cr.get());

  // Grid every 40 px, stronger every 160 px: the canvas coordinates.
  for (int i = 0; i <= OLPA_TELA_LARGURA; i += 40) {
    const double forte = i % 160 == 0 ? 0.16 : 0.07;
    cairo_set_source_rgba(cr.get(), 0.5, 0.7, 1.0, forte);
    cairo_set_line_width(cr.get(), 1);
    cairo_move_to(cr.get(), i + 0.5, 0);
    cairo_line_to(cr.get(), i + 0.5, OLPA_TELA_ALTURA);
    cairo_stroke(cr.get());
    if (i <= OLPA_TELA_ALTURA) {
      cairo_move_to(cr.get(), 0, i + 0.5);
      cairo_line_to(cr.get(), OLPA_TELA_LARGURA, i + 0.5);
      cairo_stroke(cr.get());
    }
  }
  // A few coloured strokes, as a program would draw them.
  const double cores[][3] = {{1, 0.35, 0.35}, {1, 0.8, 0.3}, {0.4, 0.9, 0.5}, {0.4, 0.7, 1}};
  cairo_set_line_width(cr.get(), 6);
  cairo_set_line_cap(cr.get(), CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 4; i++) {
    cairo_set_source_rgb(cr.get(), cores[i][0], cores[i][1], cores[i][2]);
    cairo_move_to(cr.get(), 240 + i * 40, 130);
    cairo_line_to(cr.get(), 260 + i * 40, 90);
    cairo_stroke(cr.get());
  }

  cairo_set_source_rgb(cr.get(), 0.95, 0.95, 0.97);
  texto(cr.get(), "<b>olpa</b>", "Sans 64", 150);
  cairo_set_source_rgb(cr.get(), 0.75, 0.8, 0.9);
  texto(cr.get(), "escreva seu programa em C e aperte <b>Rodar</b>", "Sans 15", 270);
  texto(cr.get(), "a tela tem 640 × 480 pontos; (0, 0) fica no canto de cima, à esquerda",
        "Sans 11", 305);

  char motivo[256];
  if (!olpa_gfx_grava_png(tela.get(), argv[1], motivo, sizeof motivo)) {
    fprintf(stderr, "gera-init: %s: %s\n", argv[1], motivo);
    return 1;
  }
  return 0;
}
