// SPDX-License-Identifier: GPL-3.0-or-later
// The console while runs write into it (see olpa_console.h): the place a
// run's text goes, its status line, and following the last line.
#include "olpa_console.h"

#include "olpa.h"

#include <string>

namespace {

// The status line is [fim_do_texto, fim_do_estado): text goes in at
// fim_do_texto (right gravity, so it stays after what goes in), and what
// others add after the status line stays out of it (left gravity).
GtkTextMark *fim_do_texto, *fim_do_estado;
bool em_execucao;
std::string estado; // the status line's text, empty for none

// Following the last line. The learner's own scrolling (wheel, scroll bar,
// keys) decides whether the console follows: at the end it does, anywhere
// else it stays put. Other changes of the scroll position (GTK keeping the
// top line in place as it lays out long text, and ours) decide nothing.
constexpr double ACAO_DO_LEITOR_MS = 500;
bool seguindo = true;
bool arrastando;          // the scroll bar is held
double acao_do_leitor_ms; // when the learner last scrolled

GtkTextBuffer *console() {
  return olpa_campo_console_buffer;
}

GtkAdjustment *rolagem() {
  return gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(olpa_campo_console));
}

void vai_ao_fim(GtkAdjustment *r) {
  gtk_adjustment_set_value(r, gtk_adjustment_get_upper(r) - gtk_adjustment_get_page_size(r));
}

gboolean leitor_age(GtkWidget *, GdkEvent *evento, gpointer) {
  switch (evento->type) {
  case GDK_BUTTON_PRESS:
    arrastando = true;
    break;
  case GDK_BUTTON_RELEASE:
    arrastando = false;
    break;
  case GDK_SCROLL:
  case GDK_KEY_PRESS:
  case GDK_MOTION_NOTIFY:
    break;
  default:
    return FALSE;
  }
  acao_do_leitor_ms = olpa_agora_ms();
  return FALSE;
}

void ao_rolar(GtkAdjustment *r, gpointer) {
  if (arrastando || olpa_agora_ms() - acao_do_leitor_ms < ACAO_DO_LEITOR_MS)
    seguindo = gtk_adjustment_get_value(r) + gtk_adjustment_get_page_size(r) >=
               gtk_adjustment_get_upper(r) - 1;
}

// The text grew (or its layout did): still at the end, if following.
// (By value: scrolling to a mark is animated, slower than a flood of text.)
void ao_crescer(GtkAdjustment *r, gpointer) {
  if (seguindo)
    vai_ao_fim(r);
}

void poe_estado() {
  GtkTextIter a, z;
  gtk_text_buffer_get_iter_at_mark(console(), &a, fim_do_texto);
  gtk_text_buffer_get_iter_at_mark(console(), &z, fim_do_estado);
  // Without a status line the marks stand together, and text that goes in
  // there moves only fim_do_texto: there is still nothing between them.
  if (gtk_text_iter_compare(&z, &a) < 0)
    z = a;
  gtk_text_buffer_delete(console(), &a, &z);
  if (estado.empty())
    return;
  const int onde = gtk_text_iter_get_offset(&a);
  const std::string linha = (gtk_text_iter_starts_line(&a) ? "" : "\n") + estado;
  gtk_text_buffer_insert_with_tags_by_name(console(), &a, linha.c_str(), -1, "olpa-estado",
                                           nullptr);
  gtk_text_buffer_move_mark(console(), fim_do_estado, &a);
  gtk_text_buffer_get_iter_at_offset(console(), &a, onde);
  gtk_text_buffer_move_mark(console(), fim_do_texto, &a);
}

void marcas_no_fim() {
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(console(), &fim);
  gtk_text_buffer_move_mark(console(), fim_do_texto, &fim);
  gtk_text_buffer_move_mark(console(), fim_do_estado, &fim);
}

} // namespace

void olpa_console_liga(void) {
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(console(), &fim);
  fim_do_texto = gtk_text_buffer_create_mark(console(), nullptr, &fim, FALSE);
  fim_do_estado = gtk_text_buffer_create_mark(console(), nullptr, &fim, TRUE);
  gtk_text_buffer_create_tag(console(), "olpa-estado", "foreground", "#a0a0a0", nullptr);
  g_signal_connect(rolagem(), "value-changed", G_CALLBACK(ao_rolar), nullptr);
  g_signal_connect(rolagem(), "changed", G_CALLBACK(ao_crescer), nullptr);
  GtkWidget *barra =
      gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(olpa_campo_console_container));
  for (GtkWidget *w : {olpa_campo_console, barra})
    g_signal_connect(w, "event", G_CALLBACK(leitor_age), nullptr);
}

void olpa_console_comeca(void) {
  em_execucao = true;
  estado.clear();
  marcas_no_fim();
  seguindo = true;
  vai_ao_fim(rolagem());
}

void olpa_console_estado(const char *texto) {
  estado = texto ? texto : "";
  if (em_execucao)
    poe_estado();
}

void olpa_console_acrescenta(const char *texto) {
  GtkTextIter onde;
  if (em_execucao)
    gtk_text_buffer_get_iter_at_mark(console(), &onde, fim_do_texto);
  else
    gtk_text_buffer_get_end_iter(console(), &onde);
  gtk_text_buffer_insert(console(), &onde, texto, -1);
  if (em_execucao)
    poe_estado(); // on a line of its own after the new text
}

void olpa_console_substitui(const char *texto) {
  gtk_text_buffer_set_text(console(), texto, -1);
  if (!em_execucao)
    return;
  marcas_no_fim();
  poe_estado();
}

void olpa_console_termina(void) {
  olpa_console_estado(nullptr);
  em_execucao = false;
}
