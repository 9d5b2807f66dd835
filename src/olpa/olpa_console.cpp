// SPDX-License-Identifier: GPL-3.0-or-later
// The console (see olpa_console.h): its looks, the place a run's text goes,
// its status line, and following the last line.
#include "olpa_console.h"

#include "olpa.h"
#include "olpa_teste.h"
#include "olpa_vista.h"
#include "olpaparser.h"

#include <string>

namespace {

GtkWidget *vista;       // the console's text view
GtkTextBuffer *console; // its text
GtkWidget *recipiente;  // the scrolled window it is in

// The looks. Colours set on the widget itself do not reach a text view's
// text area under GTK 3 themes; a style sheet does.
const char ESTILO[] = "#olpa-console, #olpa-console text {"
                      "  background-color: #000000; color: #ffffff; font-family: monospace; }"
                      "#olpa-console.olpa-erro, #olpa-console.olpa-erro text {"
                      "  background-color: #ff0000; }";
bool em_erro = false;

void define_cor(bool erro) {
  GtkStyleContext *estilo = gtk_widget_get_style_context(vista);
  if (erro)
    gtk_style_context_add_class(estilo, "olpa-erro");
  else
    gtk_style_context_remove_class(estilo, "olpa-erro");
  em_erro = erro;
}

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

GtkAdjustment *rolagem() {
  return gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(vista));
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
  gtk_text_buffer_get_iter_at_mark(console, &a, fim_do_texto);
  gtk_text_buffer_get_iter_at_mark(console, &z, fim_do_estado);
  // Without a status line the marks stand together, and text that goes in
  // there moves only fim_do_texto: there is still nothing between them.
  if (gtk_text_iter_compare(&z, &a) < 0)
    z = a;
  gtk_text_buffer_delete(console, &a, &z);
  if (estado.empty())
    return;
  const int onde = gtk_text_iter_get_offset(&a);
  const std::string linha = (gtk_text_iter_starts_line(&a) ? "" : "\n") + estado;
  gtk_text_buffer_insert_with_tags_by_name(console, &a, linha.c_str(), -1, "olpa-estado", nullptr);
  gtk_text_buffer_move_mark(console, fim_do_estado, &a);
  gtk_text_buffer_get_iter_at_offset(console, &a, onde);
  gtk_text_buffer_move_mark(console, fim_do_texto, &a);
}

void marcas_no_fim() {
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(console, &fim);
  gtk_text_buffer_move_mark(console, fim_do_texto, &fim);
  gtk_text_buffer_move_mark(console, fim_do_estado, &fim);
}

// Text of the run, after what it wrote before; after everything when no run
// is in progress.
void acrescenta(const char *texto) {
  GtkTextIter onde;
  if (em_execucao)
    gtk_text_buffer_get_iter_at_mark(console, &onde, fim_do_texto);
  else
    gtk_text_buffer_get_end_iter(console, &onde);
  gtk_text_buffer_insert(console, &onde, texto, -1);
  if (em_execucao)
    poe_estado(); // on a line of its own after the new text
}

// The whole text replaced; the status line, if any, stays below it.
void substitui(const char *texto) {
  gtk_text_buffer_set_text(console, texto, -1);
  if (!em_execucao)
    return;
  marcas_no_fim();
  poe_estado();
}

// Of the run's console text, what the console already shows.
size_t entregue;
int trocado;

void mostra(const ParserResultado &r) {
  if (r.trocado != trocado) {
    trocado = r.trocado;
    substitui(r.texto.c_str());
  } else if (r.texto.size() > entregue) {
    acrescenta(r.texto.c_str() + entregue);
  }
  entregue = r.texto.size();
}

} // namespace

void olpa_console_liga(Olpa &janela) {
  vista = janela.ui.olpa_campo_console;
  console = janela.ui.olpa_campo_console_buffer;
  recipiente = janela.ui.olpa_campo_console_container;
  GtkCssProvider *css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, ESTILO, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
  define_cor(false);
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(console, &fim);
  fim_do_texto = gtk_text_buffer_create_mark(console, nullptr, &fim, FALSE);
  fim_do_estado = gtk_text_buffer_create_mark(console, nullptr, &fim, TRUE);
  gtk_text_buffer_create_tag(console, "olpa-estado", "foreground", "#a0a0a0", nullptr);
  g_signal_connect(rolagem(), "value-changed", G_CALLBACK(ao_rolar), nullptr);
  g_signal_connect(rolagem(), "changed", G_CALLBACK(ao_crescer), nullptr);
  GtkWidget *barra = gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(recipiente));
  for (GtkWidget *w : {vista, barra})
    g_signal_connect(w, "event", G_CALLBACK(leitor_age), nullptr);
}

void olpa_console_erro(void) {
  define_cor(true);
  olpa_mostra_imagem(nullptr);
}

void olpa_console_normal(void) {
  define_cor(false);
}

bool olpa_console_em_erro(void) {
  return em_erro;
}

void olpa_console_comeca(void) {
  // The run's own text begins it ("[olpa] compilando").
  define_cor(false);
  gtk_text_buffer_set_text(console, "", -1);
  entregue = 0;
  trocado = 0;
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

void olpa_console_ouve(const ParserResultado &r, ParserMomento momento) {
  if (momento == ParserMomento::Fim) {
    olpa_console_estado(nullptr);
    em_execucao = false;
  }
  if (momento == ParserMomento::Texto || momento == ParserMomento::Fim)
    mostra(r);
  if (momento == ParserMomento::Fim && r.aparencia_de_erro)
    olpa_console_erro();
}
