// SPDX-License-Identifier: GPL-3.0-or-later
// What confining a run costs: "Rodar" pressed in the real window until its
// picture is set, for a small program, with the child confined before main
// and without, interleaved in one run, medians and their difference.
//
// Run under a display: xvfb-run -a bench_confinamento [repetitions]
#include "medidas.h"
#include "olpa.h"
#include "olpa_layout.h"
#include "olpaparser.h"
#include "olpaparser_medidas.h"

using medidas::agora_ms;
using medidas::mediana;

namespace {

const char PEQUENO[] = "int main(void) {\n  inicia();\n  cor(255, 0, 0);\n  traco(4);\n"
                       "  linha(0, 0, 640, 480);\n  termina();\n  return 0;\n}\n";

// Idle as between two presses of a person: the next child is forked (and,
// confined or not, warmed up) meanwhile.
void deixa_ocioso() {
  for (int i = 0; i < 3; i++) {
    while (gtk_events_pending())
      gtk_main_iteration_do(FALSE);
    g_usleep(70000);
  }
}

std::vector<double> no_filho; // confining, as the child measured it

double aperta(bool confinado) {
  parser_encerra(); // the child readied ahead was forked under the other setting
  parser_define_confinamento(confinado);
  parser_prepara();
  deixa_ocioso();
  const double t = agora_ms();
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
  while (olpa_rodando()) // a run goes on from the main loop
    gtk_main_iteration();
  const double d = agora_ms() - t;
  if (confinado)
    no_filho.push_back(parser_tempos().confina);
  GtkTextIter a, b;
  gtk_text_buffer_get_bounds(olpa_campo_console_buffer, &a, &b);
  OlpaTexto console(gtk_text_buffer_get_text(olpa_campo_console_buffer, &a, &b, FALSE));
  if (strcmp(console.get(), "[olpa] compilando\n[olpa] sucesso!\n") != 0 ||
      gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)) != GTK_IMAGE_SURFACE) {
    fprintf(stderr, "a run did not succeed (%s):\n%s\n", confinado ? "confined" : "bare",
            console.get());
    exit(1);
  }
  return d;
}

} // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 100;
  gtk_init(&argc, &argv);
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, PEQUENO, -1);
  deixa_ocioso();

  std::vector<double> com, sem, diferenca;
  for (int i = 0; i < n; i++) {
    // Alternating which goes first, so neither always follows the other.
    const bool primeiro = i % 2 == 0;
    const double a = aperta(primeiro), b = aperta(!primeiro);
    com.push_back(primeiro ? a : b);
    sem.push_back(primeiro ? b : a);
    diferenca.push_back(com.back() - sem.back());
  }
  parser_encerra();
  const double c = mediana(com), s = mediana(sem);
  fprintf(figuras, "small program, press \"Rodar\" -> picture set, %d pairs (medians)\n", n);
  fprintf(figuras, "  without confinement (baseline)  %8.3f ms\n", s);
  fprintf(figuras, "  confined                        %8.3f ms   ratio %.3fx\n", c, c / s);
  fprintf(figuras, "  difference, median of pairs     %8.3f ms\n", mediana(diferenca));
  fprintf(
      figuras,
      "  confining in the child          %8.3f ms  (caps, Landlock, filter load, pipes closed)\n",
      mediana(no_filho));
  fprintf(figuras, "  goal: under 1 ms: %s\n", mediana(diferenca) < 1 ? "met" : "NOT met");
  fclose(figuras);
  return 0;
}
