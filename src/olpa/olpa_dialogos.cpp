// SPDX-License-Identifier: GPL-3.0-or-later
// The window's small dialogs (see olpa_dialogos.h).
#include "olpa_dialogos.h"

#include "olpa_comum.h"
#include "olpa_layout.h"

bool olpa_pergunta(GtkWindow *pai, const char *pergunta) {
  OlpaTexto texto(olpa_utf8(pergunta));
  OlpaTexto titulo(olpa_utf8("Confirma\xe7\xe3o")); // "Confirmação" in ISO-8859-1
  GtkWidget *dialogo =
      gtk_message_dialog_new(pai, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_QUESTION,
                             GTK_BUTTONS_YES_NO, "%s", texto.get());
  gtk_window_set_title(GTK_WINDOW(dialogo), titulo.get());
  const gint resposta = gtk_dialog_run(GTK_DIALOG(dialogo));
  gtk_widget_destroy(dialogo);
  return resposta == GTK_RESPONSE_YES;
}

void olpa_aviso(GtkWindow *pai, const char *mensagem) {
  OlpaTexto convertida(olpa_utf8(mensagem));
  olpa_aviso_utf8(pai, convertida ? convertida.get() : mensagem);
}

void olpa_aviso_utf8(GtkWindow *pai, const char *mensagem) {
  GtkWidget *dialogo = gtk_message_dialog_new(pai, GTK_DIALOG_DESTROY_WITH_PARENT,
                                              GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", mensagem);
  gtk_window_set_title(GTK_WINDOW(dialogo), "Aviso");
  // A long file name is one word: let it break, or the reason after it ends
  // up beyond the edge of the screen.
  GtkWidget *area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialogo));
  GList *filhos = gtk_container_get_children(GTK_CONTAINER(area));
  for (GList *l = filhos; l; l = l->next)
    if (GTK_IS_LABEL(l->data))
      gtk_label_set_line_wrap_mode(GTK_LABEL(l->data), PANGO_WRAP_WORD_CHAR);
  g_list_free(filhos);
  gtk_dialog_run(GTK_DIALOG(dialogo));
  gtk_widget_destroy(dialogo);
}

void olpa_seletor_cabe_na_tela(GtkWidget *dialogo, GtkWindow *pai) {
  // GTK sizes a file chooser from its font and what it last saw, larger than
  // a school's 1366 x 768 screen; no larger than the screen's work area either.
  GdkGeometry limite{};
  limite.max_width = OLPA_SELETOR_LARGURA_MAXIMA;
  limite.max_height = OLPA_SELETOR_ALTURA_MAXIMA;
  GdkMonitor *monitor = gdk_display_get_monitor_at_window(gdk_display_get_default(),
                                                          gtk_widget_get_window(GTK_WIDGET(pai)));
  if (monitor) {
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    limite.max_width = MIN(limite.max_width, area.width);
    limite.max_height = MIN(limite.max_height, area.height);
  }
  gtk_window_set_geometry_hints(GTK_WINDOW(dialogo), nullptr, &limite, GDK_HINT_MAX_SIZE);
}

char *olpa_utf8(const char *texto) {
  return g_convert(texto, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
}
