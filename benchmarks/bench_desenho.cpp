// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing library's own costs: a linha call made by a learner's compiled
// program in the isolated runner against the same stroke made by direct
// cairo calls, and the PNG written by termina against cairo's own writer.
//
// bench_desenho [repetitions]
#include "medidas.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <cairo.h>
#include <fcntl.h>

using medidas::agora_ms;
using medidas::mediana;

namespace {

constexpr int LINHAS = 100000;

// Short strokes spread over the canvas. No termina: the PNG is measured apart.
const std::string PROGRAMA = medidas::programa_de_linhas(LINHAS);

long tamanho(const char *caminho) {
  GStatBuf st;
  return g_stat(caminho, &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void confere(int r, const char *como) {
  if (r != 1) {
    fprintf(stderr, "%s run failed:\n%s\n", como, parser_ultimo_resultado().texto.c_str());
    exit(1);
  }
}

// What inicia and the program's loop do, as plain cairo calls.
OlpaSurface desenha_direto(double *ms) {
  const double t = agora_ms();
  OlpaSurface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480));
  OlpaCairo cr(cairo_create(s.get()));
  cairo_set_source_rgba(cr.get(), 0, 0, 0, 1.0);
  cairo_rectangle(cr.get(), 0, 0, 640, 480);
  cairo_fill(cr.get());
  cairo_set_source_rgba(cr.get(), 1.0, 0, 0, 1.0);
  for (int i = 0; i < LINHAS; i++) {
    const int x = i % 630, y = (i / 630 * 7) % 470;
    cairo_move_to(cr.get(), x, y);
    cairo_line_to(cr.get(), x + 8, y + 8);
    cairo_stroke(cr.get());
  }
  cairo_surface_flush(s.get());
  *ms = agora_ms() - t;
  return s;
}

// The picture of the worked example: mostly black, one red diagonal.
OlpaSurface diagonal() {
  OlpaSurface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480));
  OlpaCairo cr(cairo_create(s.get()));
  cairo_set_source_rgba(cr.get(), 0, 0, 0, 1.0);
  cairo_paint(cr.get());
  cairo_set_source_rgba(cr.get(), 1.0, 0, 0, 1.0);
  cairo_set_line_width(cr.get(), 4);
  cairo_move_to(cr.get(), 0, 0);
  cairo_line_to(cr.get(), 640, 480);
  cairo_stroke(cr.get());
  cairo_surface_flush(s.get());
  return s;
}

// termina itself (our writer) and cairo_surface_write_to_png, on the same
// picture, each made again before every timing.
void mede_png(FILE *figuras, const char *nome, void (*desenha)(), cairo_surface_t *igual, int n) {
  std::vector<double> termina_ms, cairo_ms;
  for (int i = 0; i < n; i++) {
    inicia();
    desenha();
    double t = agora_ms();
    termina();
    termina_ms.push_back(agora_ms() - t);
    if (!olpa_gfx_png_gravado()) {
      fprintf(stderr, "termina wrote nothing\n");
      exit(1);
    }
    t = agora_ms();
    if (cairo_surface_write_to_png(igual, "../telas/cairo.png") != CAIRO_STATUS_SUCCESS) {
      fprintf(stderr, "cairo_surface_write_to_png failed\n");
      exit(1);
    }
    cairo_ms.push_back(agora_ms() - t);
  }
  const double nosso = mediana(termina_ms), dele = mediana(cairo_ms);
  fprintf(figuras,
          "%-16s termina %7.2f ms   cairo_surface_write_to_png %7.2f ms   ratio %.2fx"
          "   (files %ld / %ld bytes)\n",
          nome, nosso, dele, nosso / dele, tamanho("../telas/imagem.png"),
          tamanho("../telas/cairo.png"));
}

void desenha_muitas() {
  cor(255, 0, 0);
  for (int i = 0; i < LINHAS; i++) {
    const int x = i % 630, y = (i / 630 * 7) % 470;
    linha(x, y, x + 8, y + 8);
  }
}

void desenha_diagonal() {
  cor(255, 0, 0);
  traco(4);
  linha(0, 0, 640, 480);
}

} // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? atoi(argv[1]) : 9;
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  medidas::sem_rastros();

  // Other processes share the machine: each timing is put against the
  // direct drawing measured right before and after it, and the ratios are
  // taken per repetition.
  std::vector<double> isolado, no_processo, direto, razao_isolado, razao_no_processo;
  OlpaSurface muitas;
  double ms = 0;
  muitas = desenha_direto(&ms);
  double antes = ms;
  for (int i = 0; i < n; i++) {
    olpa_gfx_fecha_tela();
    parser_prepara();
    confere(parser_executa(PROGRAMA.c_str()), "isolated");
    const double iso = parser_tempos().programa;
    muitas = desenha_direto(&ms);
    const double meio = ms;

    olpa_gfx_fecha_tela();
    confere(parser_executa_no_processo(PROGRAMA.c_str()), "in-process");
    const double dentro = parser_tempos().programa;
    muitas = desenha_direto(&ms);

    isolado.push_back(iso);
    no_processo.push_back(dentro);
    direto.push_back(meio);
    razao_isolado.push_back(iso / ((antes + meio) / 2));
    razao_no_processo.push_back(dentro / ((meio + ms) / 2));
    antes = ms;
  }
  olpa_gfx_fecha_tela();

  const double por_linha = 1e3 / LINHAS;
  const double iso = mediana(isolado), dentro = mediana(no_processo), cairo = mediana(direto);
  fprintf(figuras, "%d linha calls (8-pixel strokes), medians of %d repetitions:\n", LINHAS, n);
  fprintf(figuras, "  learner program, isolated runner  %8.2f ms  %6.3f us/call  ratio %.3fx\n",
          iso, iso * por_linha, mediana(razao_isolado));
  fprintf(figuras, "  learner program, in this process  %8.2f ms  %6.3f us/call  ratio %.3fx\n",
          dentro, dentro * por_linha, mediana(razao_no_processo));
  fprintf(figuras, "  direct cairo calls (baseline)     %8.2f ms  %6.3f us/call\n", cairo,
          cairo * por_linha);

  fprintf(figuras, "PNG written by termina, median of %d:\n", 3 * n);
  const OlpaSurface so_diagonal = diagonal();
  mede_png(figuras, "  red diagonal", desenha_diagonal, so_diagonal.get(), 3 * n);
  mede_png(figuras, "  100000 lines", desenha_muitas, muitas.get(), 3 * n);

  // Raw writer against cairo's on the same surface, without termina around it.
  std::vector<double> nosso, dele;
  char motivo[256];
  for (int i = 0; i < 3 * n; i++) {
    double t = agora_ms();
    if (!olpa_gfx_grava_png(muitas.get(), "../telas/nosso.png", motivo, sizeof motivo)) {
      fprintf(stderr, "olpa_gfx_grava_png: %s\n", motivo);
      return 1;
    }
    nosso.push_back(agora_ms() - t);
    t = agora_ms();
    cairo_surface_write_to_png(muitas.get(), "../telas/cairo.png");
    dele.push_back(agora_ms() - t);
  }
  fprintf(figuras,
          "  olpa_gfx_grava_png %.2f ms vs cairo_surface_write_to_png %.2f ms: ratio %.2fx\n",
          mediana(nosso), mediana(dele), mediana(nosso) / mediana(dele));
  return 0;
}
