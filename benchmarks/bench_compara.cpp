// SPDX-License-Identifier: GPL-3.0-or-later
// What comparing a learner's picture with the model's costs, per picture,
// against the plain compare of every pixel's bytes (what grading did before),
// in the same run, interleaved, medians. Pictures drawn here with cairo, as
// the drawing library draws them: the model (a house and a sun), the same
// picture, the drawing a pixel to the right, the roof missing, the roof in
// another colour, and the worst case, where the learner painted the whole
// screen (every pixel differs and is looked at closely).
//
// bench_compara [rounds]
#include "medidas.h"

#include "compara.h"

#include <chrono>
#include <cmath>
#include <functional>

using medidas::agora_ms;
using medidas::mediana;

namespace {

struct Desenho {
  double dx = 0;
  bool telhado = true, tela_cheia = false;
  double r = 1, g = 0, b = 0; // the roof's colour
};

OlpaSurface desenha(const Desenho &d) {
  OlpaSurface s(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  OlpaCairo cr(cairo_create(s.get()));
  cairo_set_source_rgb(cr.get(), 0, 0, 0);
  cairo_paint(cr.get());
  cairo_translate(cr.get(), d.dx, 0);
  auto linha = [&](double x1, double y1, double x2, double y2) {
    cairo_move_to(cr.get(), x1, y1);
    cairo_line_to(cr.get(), x2, y2);
    cairo_stroke(cr.get());
  };
  cairo_set_line_width(cr.get(), 4);
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  linha(220, 400, 420, 400), linha(420, 400, 420, 250), linha(420, 250, 220, 250),
      linha(220, 250, 220, 400);
  cairo_set_source_rgb(cr.get(), d.r, d.g, d.b);
  if (d.telhado)
    linha(200, 267, 320, 147), linha(320, 147, 440, 267);
  cairo_set_source_rgb(cr.get(), 1, 220 / 255.0, 0);
  cairo_set_line_width(cr.get(), 3);
  for (int i = 0; i < 72; i++) {
    const double a = i * M_PI / 36;
    linha(530 + 40 * cos(a) + 2 * sin(a), 100 + 40 * sin(a) - 2 * cos(a),
          530 + 40 * cos(a) - 2 * sin(a), 100 + 40 * sin(a) + 2 * cos(a));
  }
  if (d.tela_cheia) {
    cairo_set_source_rgb(cr.get(), 0.2, 0.4, 0.9);
    cairo_paint(cr.get());
  }
  cr.reset();
  cairo_surface_flush(s.get());
  return s;
}

// Microseconds one call of `f` took.
double uma_vez(const std::function<void()> &f) {
  const auto t = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

int main(int argc, char **argv) {
  const int repeticoes = argc > 1 ? atoi(argv[1]) : 201;
  const OlpaSurface modelo = desenha({});
  const struct {
    const char *nome;
    Desenho d;
  } casos[] = {{"the same picture", {}},
               {"a pixel to the right", {1}},
               {"no roof", {0, false}},
               {"a blue roof", {0, true, false, 0, 0, 1}},
               {"the whole screen painted", {0, true, true}}};
  printf("bench_compara: one 640 x 480 picture against the model, %d rounds, interleaved "
         "(microseconds per picture, medians; ratios: medians of each round's)\n",
         repeticoes);
  printf("%-26s %10s %12s %12s %9s %9s\n", "learner's picture", "bytes", "compare", "+ marks",
         "ratio", "+ marks");
  const unsigned char *m = cairo_image_surface_get_data(modelo.get());
  std::vector<Marca> marcas(COMPARA_PONTOS);
  volatile long soma = 0;
  for (const auto &c : casos) {
    const OlpaSurface aluno = desenha(c.d);
    const unsigned char *a = cairo_image_surface_get_data(aluno.get());
    std::vector<double> bytes, sem, com, razao, razao_marcas;
    OpcoesComparacao o;
    // One of each in turn, so that the three see the same load.
    for (int r = 0; r < repeticoes; r++) {
      bytes.push_back(uma_vez([&] { soma += compara_bytes(m, a); }));
      sem.push_back(uma_vez([&] { soma += compara_figuras(m, a, o).diferentes(); }));
      com.push_back(uma_vez([&] { soma += compara_figuras(m, a, o, marcas.data()).diferentes(); }));
      razao.push_back(sem.back() / bytes.back());
      razao_marcas.push_back(com.back() / bytes.back());
    }
    const Comparacao k = compara_figuras(m, a, o);
    printf("%-26s %10.0f %12.0f %12.0f %8.1fx %8.1fx   (%.2f%% of the drawing differs)\n", c.nome,
           mediana(bytes), mediana(sem), mediana(com), mediana(razao), mediana(razao_marcas),
           k.parte());
  }
  printf("bytes: every pixel's 4 bytes compared; compare: compara_figuras; + marks: with the "
         "kind of each pixel kept (what the picture of the differences needs)\n");
  return soma == -1;
}
