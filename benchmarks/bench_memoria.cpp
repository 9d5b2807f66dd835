// Resident size of the window's process after 10 presses of "Rodar" and
// after 1,000 (a mix of pictures, compile errors and crashes).
//
// Run under a display: xvfb-run -a bench_memoria [runs]
#include "medidas.h"
#include "olpa.h"
#include "olpa_layout.h"
#include "olpaparser.h"

namespace {

const char *const PROGRAMAS[] = {
    "int main(void) { inicia(); cor(255, 0, 0); traco(4); linha(0, 0, 640, 480); termina(); "
    "return 0; }",
    "int main(void) { inicia(); escreve_console(\"oi\\n\"); linha(0, 240, 640, 240); termina(); "
    "return 0; }",
    "int main(void) { inicia() termina(); return 0; }",
    "int main(void) { int *p = (int *)16; *p = 1; return 0; }",
};

void deixa_ocioso() {
  while (gtk_events_pending())
    gtk_main_iteration_do(FALSE);
}

void roda(int i) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, PROGRAMAS[i % 4], -1);
  deixa_ocioso();
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
  while (olpa_rodando()) // a run goes on from the main loop
    gtk_main_iteration();
  deixa_ocioso();
}

} // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? atoi(argv[1]) : 1000;
  gtk_init(&argc, &argv);
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  deixa_ocioso();
  const long inicio = medidas::rss_kb();
  for (int i = 0; i < 10; i++)
    roda(i);
  const long apos10 = medidas::rss_kb();
  const double t = medidas::agora_ms();
  for (int i = 10; i < n; i++)
    roda(i);
  const double duracao = medidas::agora_ms() - t;
  const long apos_n = medidas::rss_kb();
  parser_encerra();
  fprintf(figuras, "VmRSS of the window's process\n");
  fprintf(figuras, "  after start-up          %8ld kB\n", inicio);
  fprintf(figuras, "  after 10 runs           %8ld kB\n", apos10);
  fprintf(figuras, "  after %5d runs        %8ld kB\n", n, apos_n);
  fprintf(figuras, "  growth 10 -> %d runs: %+.2f MB (%.3f kB per run); %.1f ms per run\n", n,
          (apos_n - apos10) / 1024.0, static_cast<double>(apos_n - apos10) / (n - 10),
          duracao / (n - 10));
  fprintf(figuras, "  goal growth < 5 MB: %s\n", apos_n - apos10 < 5 * 1024 ? "met" : "NOT met");
  return 0;
}
