#include "apoio_gui.h"

void processa_eventos() {
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
