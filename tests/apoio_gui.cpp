#include "apoio_gui.h"

#include "olpa.h"

void processa_eventos() {
  // A run goes on from the main loop: its outcome is part of what is pending.
  while (olpa_rodando())
    gtk_main_iteration();
  gdk_display_sync(gdk_display_get_default());
  for (int i = 0; i < 5; i++) {
    while (gtk_events_pending())
      gtk_main_iteration();
    g_usleep(10 * 1000);
  }
}

std::string texto_do_buffer(GtkTextBuffer *buffer) {
  GtkTextIter a, b;
  gtk_text_buffer_get_bounds(buffer, &a, &b);
  char *t = gtk_text_buffer_get_text(buffer, &a, &b, FALSE);
  std::string s = t;
  g_free(t);
  return s;
}

GtkWidget *janela_visivel(GType tipo) {
  GList *janelas = gtk_window_list_toplevels();
  GtkWidget *achada = nullptr;
  for (GList *l = janelas; l; l = l->next)
    if (G_TYPE_CHECK_INSTANCE_TYPE(l->data, tipo) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
      achada = GTK_WIDGET(l->data);
  g_list_free(janelas);
  return achada;
}
