// SPDX-License-Identifier: GPL-3.0-or-later
// Very long lines (a pasted blob) and the editor. Colouring a line of tens
// of thousands of characters makes GTK lay it out with thousands of colour
// runs, over and over while the colouring proceeds: the window freezes for
// many seconds at each mouse move. While the editor holds such a line it
// shows plain text; the colours come back once no line is that long.
#include "olpa.h"
#include "olpa_layout.h"

namespace {

bool tem_linha_longa(GtkTextBuffer *buffer, int primeira, int ultima) {
  GtkTextIter linha;
  gtk_text_buffer_get_iter_at_line(buffer, &linha, primeira);
  do {
    if (gtk_text_iter_get_chars_in_line(&linha) > OLPA_LINHA_LONGA)
      return true;
  } while (gtk_text_iter_forward_line(&linha) && gtk_text_iter_get_line(&linha) <= ultima);
  return false;
}

void colore(GtkTextBuffer *buffer, bool sim) {
  GtkSourceBuffer *fonte = GTK_SOURCE_BUFFER(buffer);
  if (gtk_source_buffer_get_highlight_syntax(fonte) != sim)
    gtk_source_buffer_set_highlight_syntax(fonte, sim);
}

// An insertion can only add a long line among the lines it touched.
void inserido(GtkTextBuffer *buffer, GtkTextIter *fim, gchar *texto, gint tamanho, gpointer) {
  if (!gtk_source_buffer_get_highlight_syntax(GTK_SOURCE_BUFFER(buffer)))
    return;
  GtkTextIter inicio = *fim;
  gtk_text_iter_backward_chars(&inicio, static_cast<gint>(g_utf8_strlen(texto, tamanho)));
  if (tem_linha_longa(buffer, gtk_text_iter_get_line(&inicio), gtk_text_iter_get_line(fim)))
    colore(buffer, false);
}

// Any change can remove the last long line: look again at the whole text
// once the change is done (it holds less than 64 KB).
guint revisao = 0;

gboolean reve(gpointer buffer) {
  revisao = 0;
  GtkTextBuffer *b = GTK_TEXT_BUFFER(buffer);
  colore(b, !tem_linha_longa(b, 0, gtk_text_buffer_get_line_count(b)));
  return G_SOURCE_REMOVE;
}

void mudou(GtkTextBuffer *buffer, gpointer) {
  if (!gtk_source_buffer_get_highlight_syntax(GTK_SOURCE_BUFFER(buffer)) && !revisao)
    revisao = g_idle_add(reve, buffer);
}

} // namespace

void olpa_linhas_longas_liga(void) {
  g_signal_connect_after(olpa_campo_codigo_buffer, "insert-text", G_CALLBACK(inserido), nullptr);
  g_signal_connect_after(olpa_campo_codigo_buffer, "changed", G_CALLBACK(mudou), nullptr);
  reve(olpa_campo_codigo_buffer);
}
