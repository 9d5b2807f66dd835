// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's marks on the lines a run found mistakes in (errors, and
// warnings in a look of their own): the editor scrolls to the first one, a
// click on a line of the console about a line of the program ("[erro]",
// "[aviso]", "[olpa]") puts the cursor on it, and they go as soon as the
// program's text is replaced.
#include "olpa_marcas.h"

#include "olpa.h"
#include "olpa_teste.h"
#include "olpaparser.h"

#include <vector>

namespace {

struct Categoria {
  const char *nome;
  const char *icone;
  GdkRGBA fundo;
};
const Categoria CATEGORIAS[] = {
    {OLPA_MARCA_ERRO, "dialog-error", {1.0, 0.85, 0.85, 1.0}},
    {OLPA_MARCA_AVISO, "dialog-warning", {1.0, 0.95, 0.7, 1.0}},
};

GtkWidget *editor;      // the editor's view
GtkTextBuffer *codigo;  // its text
GtkTextBuffer *console; // the console's text

GtkSourceBuffer *fonte() {
  return GTK_SOURCE_BUFFER(codigo);
}

guint rolagem; // the scroll to the first mark, once the marks of a run are in

gboolean rola_para_a_primeira(gpointer) {
  rolagem = 0;
  GtkTextIter iter;
  gtk_text_buffer_get_start_iter(codigo, &iter);
  do {
    for (const Categoria &c : CATEGORIAS) {
      GSList *marcas = gtk_source_buffer_get_source_marks_at_iter(fonte(), &iter, c.nome);
      g_slist_free(marcas);
      if (!marcas)
        continue;
      GtkTextMark *m = gtk_text_buffer_create_mark(codigo, nullptr, &iter, TRUE);
      gtk_text_view_scroll_to_mark(GTK_TEXT_VIEW(editor), m, 0.0, TRUE, 0.0, 0.3);
      gtk_text_buffer_delete_mark(codigo, m);
      return G_SOURCE_REMOVE;
    }
  } while (gtk_text_iter_forward_line(&iter));
  return G_SOURCE_REMOVE;
}

void marca(int linha, const char *categoria) {
  GtkTextIter iter;
  gtk_text_buffer_get_iter_at_line(codigo, &iter, linha - 1);
  if (linha < 1 || gtk_text_iter_get_line(&iter) != linha - 1)
    return;
  gtk_source_buffer_create_source_mark(fonte(), nullptr, categoria, &iter);
  if (!rolagem)
    rolagem = g_idle_add(rola_para_a_primeira, nullptr);
}

// All the text going at once (Abrir, Novo, a paste over everything): the
// marks would all gather on its first line.
void antes_de_apagar(GtkTextBuffer *buffer, GtkTextIter *inicio, GtkTextIter *fim, gpointer) {
  if (gtk_text_iter_is_start(inicio) && gtk_text_iter_is_end(fim) &&
      gtk_text_buffer_get_char_count(buffer) > 0)
    olpa_limpa_marcas();
}

// The program's line each line of the console is about (0: none), from the
// last run's outcome: the console holds exactly its text.
std::vector<int> linhas_do_console;

gboolean clique_no_console(GtkWidget *vista, GdkEventButton *evento, gpointer) {
  if (evento->button != GDK_BUTTON_PRIMARY || gtk_text_buffer_get_has_selection(console))
    return FALSE; // a drag selects text to copy
  int x, y;
  const GtkTextWindowType janela =
      gtk_text_view_get_window_type(GTK_TEXT_VIEW(vista), evento->window);
  gtk_text_view_window_to_buffer_coords(
      GTK_TEXT_VIEW(vista), janela == GTK_TEXT_WINDOW_PRIVATE ? GTK_TEXT_WINDOW_WIDGET : janela,
      static_cast<int>(evento->x), static_cast<int>(evento->y), &x, &y);
  GtkTextIter inicio;
  gtk_text_view_get_line_at_y(GTK_TEXT_VIEW(vista), &inicio, y, nullptr);
  const size_t n = static_cast<size_t>(gtk_text_iter_get_line(&inicio));
  if (n < linhas_do_console.size() && linhas_do_console[n] > 0)
    olpa_vai_para_linha(linhas_do_console[n]);
  return FALSE;
}

} // namespace

void olpa_marcas_liga(Olpa &janela) {
  editor = janela.ui.olpa_campo_codigo_formatado;
  codigo = janela.ui.olpa_campo_codigo_buffer;
  console = janela.ui.olpa_campo_console_buffer;
  for (const Categoria &c : CATEGORIAS) {
    GtkSourceMarkAttributes *atributos = gtk_source_mark_attributes_new();
    gtk_source_mark_attributes_set_icon_name(atributos, c.icone);
    gtk_source_mark_attributes_set_background(atributos, &c.fundo);
    gtk_source_view_set_mark_attributes(GTK_SOURCE_VIEW(editor), c.nome, atributos, 1);
    g_object_unref(atributos);
  }
  g_signal_connect(codigo, "delete-range", G_CALLBACK(antes_de_apagar), nullptr);
  g_signal_connect(janela.ui.olpa_campo_console, "button-release-event",
                   G_CALLBACK(clique_no_console), nullptr);
}

void olpa_marcas_ouve(const ParserResultado &r, ParserMomento momento) {
  if (momento != ParserMomento::Fim)
    return;
  for (int linha : r.marcas_erro)
    marca(linha, OLPA_MARCA_ERRO);
  for (int linha : r.marcas_aviso)
    marca(linha, OLPA_MARCA_AVISO);
  linhas_do_console.clear();
  for (const ParserLinha &l : r.linhas) // the program's own text is about no line
    linhas_do_console.push_back(l.tipo == ParserTipo::Texto ? 0 : l.linha);
}

void olpa_limpa_marcas(void) {
  linhas_do_console.clear();
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(codigo, &inicio, &fim);
  for (const Categoria &c : CATEGORIAS)
    gtk_source_buffer_remove_source_marks(fonte(), &inicio, &fim, c.nome);
}

std::vector<int> olpa_linhas_com_marca(const char *categoria) {
  std::vector<int> linhas;
  GtkTextIter iter;
  gtk_text_buffer_get_start_iter(codigo, &iter);
  do {
    GSList *marcas = gtk_source_buffer_get_source_marks_at_iter(fonte(), &iter, categoria);
    if (marcas)
      linhas.push_back(gtk_text_iter_get_line(&iter) + 1);
    g_slist_free(marcas);
  } while (gtk_text_iter_forward_line(&iter));
  return linhas;
}

void olpa_vai_para_linha(int linha) {
  GtkTextIter iter;
  const int ultima = gtk_text_buffer_get_line_count(codigo);
  gtk_text_buffer_get_iter_at_line(codigo, &iter, MIN(linha, ultima) - 1);
  gtk_text_buffer_place_cursor(codigo, &iter);
  gtk_text_view_scroll_to_mark(GTK_TEXT_VIEW(editor), gtk_text_buffer_get_insert(codigo), 0.0, TRUE,
                               0.0, 0.3);
  gtk_widget_grab_focus(editor);
}
