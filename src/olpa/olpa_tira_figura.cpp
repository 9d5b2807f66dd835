// SPDX-License-Identifier: GPL-3.0-or-later
// What the picture does for the strip of steps (olpa_tira.cpp): the pen's
// mark drawn over the step shown (on the screen, never in the picture), a
// click taken to the call that last painted that point, and the point under
// the mouse in the canvas's own numbers ("x 312, y 95").
#include "olpa_tira.h"

#include "olpa.h"
#include "olpa_layout.h"

#include <cmath>

namespace {

GtkWidget *coordenadas; // the strip's label of the point under the mouse

// The pen where the view shows a step: a ring round its point.
gboolean desenha_caneta(GtkWidget *, cairo_t *cr, gpointer) {
  double x, y;
  if (!olpa_tira_caneta(&x, &y) || x < -8 || y < -8 || x > OLPA_IMAGEM_LARGURA + 8 ||
      y > OLPA_IMAGEM_ALTURA + 8)
    return FALSE;
  cairo_arc(cr, x, y, 7, 0, 2 * M_PI);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, 4);
  cairo_stroke_preserve(cr);
  cairo_set_source_rgb(cr, 0.85, 0, 0.85);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_arc(cr, x, y, 1.5, 0, 2 * M_PI);
  cairo_fill(cr);
  return FALSE;
}

bool na_tela(double x, double y, int *px, int *py) {
  *px = static_cast<int>(std::floor(x));
  *py = static_cast<int>(std::floor(y));
  return *px >= 0 && *py >= 0 && *px < OLPA_TELA_LARGURA && *py < OLPA_TELA_ALTURA;
}

gboolean ao_passar(GtkWidget *, GdkEventMotion *evento, gpointer) {
  int x, y;
  OlpaTexto texto(na_tela(evento->x, evento->y, &x, &y) ? g_strdup_printf("x %d, y %d", x, y)
                                                        : g_strdup(""));
  gtk_label_set_text(GTK_LABEL(coordenadas), texto.get());
  return FALSE;
}

gboolean ao_sair(GtkWidget *, GdkEventCrossing *, gpointer) {
  gtk_label_set_text(GTK_LABEL(coordenadas), "");
  return FALSE;
}

gboolean ao_clicar(GtkWidget *, GdkEventButton *evento, gpointer) {
  int x, y;
  return evento->button == GDK_BUTTON_PRIMARY && evento->type == GDK_BUTTON_PRESS &&
         na_tela(evento->x, evento->y, &x, &y) && olpa_tira_vai_ao_ponto(x, y);
}

} // namespace

void olpa_tira_liga_figura(OlpaUI &ui, GtkWidget *area) {
  coordenadas = ui.olpa_tira.coordenadas;
  gtk_widget_add_events(area,
                        GDK_BUTTON_PRESS_MASK | GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
  g_signal_connect(area, "button-press-event", G_CALLBACK(ao_clicar), nullptr);
  g_signal_connect(area, "motion-notify-event", G_CALLBACK(ao_passar), nullptr);
  g_signal_connect(area, "leave-notify-event", G_CALLBACK(ao_sair), nullptr);
  g_signal_connect_after(ui.olpa_imagem, "draw", G_CALLBACK(desenha_caneta), nullptr);
}
