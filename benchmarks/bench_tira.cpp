// SPDX-License-Identifier: GPL-3.0-or-later
// The strip of steps in the window (its code, in this process), after a run
// of 100,000 calls: the slider moved to a step until that step's canvas is
// on the screen (the frame painted, the X server synced), for jumps to any
// step, the next one (right arrow), the one before (left arrow) and the
// first and last (Home, End); median and worst, against a frame of the same
// window that shows a canvas already made (the floor: copying and drawing
// it, nothing replayed). GTK paints at most once a frame, so the time to the
// screen includes the wait for the next frame's turn; a step's own work
// (the strip's, and the frame that draws it) is what must fit in one frame:
// 16 ms.
//
// Run under a display: xvfb-run -a bench_tira [repetitions-scale]
#include "medidas.h"
#include "olpa.h"
#include "olpa_execucao.h"
#include "olpa_layout.h"
#include "olpa_vista.h"
#include "olpaparser.h"

using medidas::agora_ms;
using medidas::mediana;

namespace {

OlpaUI *ui; // the window's widgets

// The frame's own work: from its layout to the X server's having drawn it
// (the rest of the time on the screen is the wait for the frame's turn).
std::vector<double> quadro;

// Until the window has painted a frame and the X server has drawn it.
void ate_a_tela() {
  static bool pintou;
  static double layout;
  GdkFrameClock *relogio = gtk_widget_get_frame_clock(ui->olpa_janela);
  pintou = false;
  layout = 0;
  const gulong id =
      g_signal_connect(relogio, "after-paint",
                       G_CALLBACK(+[](GdkFrameClock *, gpointer) { pintou = true; }), nullptr);
  const gulong antes =
      g_signal_connect(relogio, "layout", G_CALLBACK(+[](GdkFrameClock *, gpointer) {
                         if (layout == 0)
                           layout = agora_ms();
                       }),
                       nullptr);
  gdk_frame_clock_request_phase(relogio, GDK_FRAME_CLOCK_PHASE_PAINT);
  while (!pintou)
    gtk_main_iteration();
  g_signal_handler_disconnect(relogio, id);
  g_signal_handler_disconnect(relogio, antes);
  gdk_display_sync(gdk_display_get_default());
  if (layout > 0)
    quadro.push_back(agora_ms() - layout);
}

// A step's times: to the screen (the wait for the frame's turn included),
// and its own work: the strip's (the slider's handler: the step replayed,
// shown, its text) and the first frame's after it (which draws it).
struct Tempos {
  std::vector<double> ms, proprio;
  void mostra(FILE *figuras, const char *como) const {
    fprintf(figuras,
            "  %-34s on screen: median %6.2f worst %6.2f ms; its work: median %5.2f worst %6.2f "
            "ms  (%zu)\n",
            como, mediana(ms), *std::max_element(ms.begin(), ms.end()), mediana(proprio),
            *std::max_element(proprio.begin(), proprio.end()), ms.size());
  }
};

// The slider moved to `passo`, until the canvas is on the screen.
void passo_na_tela(uint32_t passo, Tempos *tempos = nullptr) {
  const double t = agora_ms();
  gtk_range_set_value(GTK_RANGE(ui->olpa_tira.barra), passo);
  const double trabalho = agora_ms() - t;
  ate_a_tela();
  if (tempos) {
    tempos->ms.push_back(agora_ms() - t);
    tempos->proprio.push_back(trabalho + quadro.back());
  }
}

} // namespace

int main(int argc, char **argv) {
  const double escala = argc > 1 ? atof(argv[1]) : 1.0;
  const int n = std::max(1, static_cast<int>(200 * escala));
  parser_prepara_zigoto();
  gtk_init(&argc, &argv);
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  ui = &olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO).ui;
  gtk_text_buffer_set_text(ui->olpa_campo_codigo_buffer, medidas::MISTURA, -1);
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  while (olpa_rodando())
    gtk_main_iteration();
  // The window replays the record while idle: the steps, ready.
  const double t = agora_ms();
  GtkAdjustment *a = gtk_range_get_adjustment(GTK_RANGE(ui->olpa_tira.barra));
  const auto total = static_cast<uint32_t>(gtk_adjustment_get_upper(a));
  while (gtk_range_get_fill_level(GTK_RANGE(ui->olpa_tira.barra)) < total)
    gtk_main_iteration();
  const double preparo = agora_ms() - t;
  ate_a_tela();

  GRand *sorteio = g_rand_new_with_seed(11);
  Tempos piso, saltos, adiante, atras, pontas;
  std::vector<unsigned char> feito(OLPA_TELA_BYTES, 0x40);
  for (int i = 0; i < n; i++) {
    const double p = agora_ms();
    olpa_mostra_imagem(feito.data());
    const double mostrar = agora_ms() - p;
    ate_a_tela();
    piso.ms.push_back(agora_ms() - p);
    piso.proprio.push_back(mostrar + quadro.back());
    passo_na_tela(g_rand_int_range(sorteio, 0, total + 1), &saltos);
    if (i % 2 == 0) {
      const uint32_t k = g_rand_int_range(sorteio, 1, total);
      passo_na_tela(k);
      passo_na_tela(k + 1, &adiante);
      passo_na_tela(k, &atras);
    }
    if (i % 10 == 0) {
      passo_na_tela(0, &pontas);
      passo_na_tela(total, &pontas);
    }
  }
  g_rand_free(sorteio);
  fprintf(figuras,
          "The strip after a run of %u calls (replayed while idle in %.0f ms), a step until "
          "its canvas is on the screen:\n",
          total, preparo);
  piso.mostra(figuras, "floor: a made canvas shown");
  saltos.mostra(figuras, "any step (a jump of the slider)");
  adiante.mostra(figuras, "the next step (right arrow)");
  atras.mostra(figuras, "the step before (left arrow)");
  pontas.mostra(figuras, "the first and the last (Home, End)");
  std::vector<double> todos;
  for (const Tempos *t : {&saltos, &adiante, &atras, &pontas})
    todos.insert(todos.end(), t->proprio.begin(), t->proprio.end());
  std::sort(todos.begin(), todos.end());
  const double p99 = todos[std::min(todos.size() - 1, todos.size() * 99 / 100)];
  fprintf(figuras,
          "  goal within one frame (its work <= 16 ms): median %.2f ms %s, 99th percentile "
          "%.2f ms, worst %.2f ms %s\n",
          mediana(todos), mediana(todos) <= 16 ? "met" : "NOT met", p99, todos.back(),
          todos.back() <= 16 ? "met" : "NOT met (the machine's load: compare the floor's worst)");
  parser_encerra();
  return 0;
}
