// SPDX-License-Identifier: GPL-3.0-or-later
// One very long line in the editor, against a file of the same size made of
// ordinary lines: how long "Abrir" takes until the editor is drawn and idle,
// and how long the window takes to answer a mouse move over the text right
// after the load (received, drawn, synced and idle again).
// Interleaved rounds; medians. Needs a display (xvfb-run).
// Usage: bench_linha_longa [ROUNDS] [BYTES]   (default 5 64000)
#include "medidas.h"
#include "olpa.h"
#include "olpa_layout.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace {

void ocioso() {
  do {
    while (gtk_events_pending())
      gtk_main_iteration();
    gdk_display_sync(gdk_display_get_default());
  } while (gtk_events_pending());
}

// Code-like text of `bytes` bytes: one line, or lines of about 40 characters.
std::string texto(size_t bytes, bool uma_linha) {
  std::string s;
  for (int i = 0; s.size() + 48 < bytes; i++)
    s += "linha(" + std::to_string(i % 640) + ", 0, 10, 10);" + (uma_linha ? " " : "\n");
  return s + "\n";
}

bool movido = false;
int perdidos = 0;

gboolean recebe_movimento(GtkWidget *, GdkEvent *, gpointer) {
  movido = true;
  return FALSE;
}

// The real pointer moved over the text right after a load (the X server
// sends the window its motion events, as a mouse would): the median time
// until the editor has received each move and the window is drawn and idle
// again, whatever work the load left pending.
double move_ms() {
  GdkWindow *janela = gtk_widget_get_window(olpa_janela);
  Display *x = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  int ex = 0, ey = 0;
  gtk_widget_translate_coordinates(olpa_campo_codigo_formatado, olpa_janela, 60, 20, &ex, &ey);
  std::vector<double> tempos;
  for (int i = 0; i < 9; i++) {
    movido = false;
    const double t0 = medidas::agora_ms();
    XWarpPointer(x, None, GDK_WINDOW_XID(janela), 0, 0, 0, 0, ex + 23 * i, ey + 29 * i);
    XFlush(x);
    while (!movido && medidas::agora_ms() - t0 < 60000)
      gtk_main_iteration_do(FALSE);
    ocioso();
    if (movido)
      tempos.push_back(medidas::agora_ms() - t0);
    else
      perdidos++;
  }
  return medidas::mediana(tempos);
}

// "Abrir" until the editor is drawn and idle; then "Abrir" again, and the
// mouse right away.
void abre_e_move(const std::string &arquivo, std::vector<double> *abre, std::vector<double> *move) {
  olpa_nome_arquivo = arquivo;
  const double t0 = medidas::agora_ms();
  olpa_carrega_codigo();
  ocioso();
  abre->push_back(medidas::agora_ms() - t0);
  olpa_carrega_codigo();
  move->push_back(move_ms());
}

} // namespace

int main(int argc, char **argv) {
  gtk_init(&argc, &argv);
  const int rodadas = argc > 1 ? atoi(argv[1]) : 5;
  const size_t bytes = argc > 2 ? strtoul(argv[2], nullptr, 10) : 63999;
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  // The editor's language, as the window finds it beside the program.
  gchar *olpalib = g_path_get_dirname(OLPA_INIT_PNG);
  if (symlink((std::string(olpalib) + "/linguagem").c_str(), "olpalib/linguagem") != 0)
    perror("olpalib/linguagem");
  g_free(olpalib);
  olpa_UI(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA, OLPA_TITULO);
  gtk_widget_add_events(olpa_campo_codigo_formatado, GDK_POINTER_MOTION_MASK);
  g_signal_connect(olpa_campo_codigo_formatado, "motion-notify-event", G_CALLBACK(recebe_movimento),
                   nullptr);
  ocioso();
  // The pointer's first move into the window is not a motion over the text.
  XWarpPointer(gdk_x11_display_get_xdisplay(gdk_display_get_default()), None,
               GDK_WINDOW_XID(gtk_widget_get_window(olpa_janela)), 0, 0, 0, 0, 5, 5);
  ocioso();
  const std::string longa = raiz.raiz + "/exemplos/longa.olp";
  const std::string curtas = raiz.raiz + "/exemplos/curtas.olp";
  const std::string t_longa = texto(bytes, true), t_curtas = texto(bytes, false);
  g_file_set_contents(longa.c_str(), t_longa.c_str(), -1, nullptr);
  g_file_set_contents(curtas.c_str(), t_curtas.c_str(), -1, nullptr);

  std::vector<double> abre_l, abre_c, move_l, move_c;
  for (int r = 0; r < rodadas; r++) {
    abre_e_move(curtas, &abre_c, &move_c);
    abre_e_move(longa, &abre_l, &move_l);
  }
  const double al = medidas::mediana(abre_l), ac = medidas::mediana(abre_c);
  const double ml = medidas::mediana(move_l), mc = medidas::mediana(move_c);
  fprintf(figuras, "bench_linha_longa: %zu bytes, %d rounds, medians\n", t_longa.size(), rodadas);
  fprintf(figuras,
          "  Abrir until drawn and idle: one line %8.1f ms, ordinary lines %8.1f ms (x%.2f)\n", al,
          ac, al / ac);
  fprintf(figuras,
          "  mouse move answered:        one line %8.2f ms, ordinary lines %8.2f ms (x%.2f)\n", ml,
          mc, ml / mc);
  if (perdidos)
    fprintf(figuras, "  (%d moves never reached the editor)\n", perdidos);
  return 0;
}
