// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's knowledge of olpa's C: the language definition that colours
// the learner functions apart (generated from the table at build time,
// installed in olpalib/linguagem/), their completion, a "}" typed on a line
// of its own going back to its "{", and long lines kept from slowing it down.
#include "olpa.h"
#include "olpaparser.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char PASTA_LINGUAGEM[] = "olpalib/linguagem";

// Our folder first, then the library's own, where "c" lives (ours extends it).
void define_caminho_de_busca() {
  OlpaTexto nossa(g_canonicalize_filename(PASTA_LINGUAGEM, nullptr));
  const gchar *const *padrao = gtk_source_language_manager_get_search_path(olpa_linguagem_manager);
  std::vector<const gchar *> caminho{nossa.get()};
  for (const gchar *const *p = padrao; p && *p; p++)
    caminho.push_back(*p);
  caminho.push_back(nullptr);
  gtk_source_language_manager_set_search_path(olpa_linguagem_manager,
                                              const_cast<gchar **>(caminho.data()));
}

// The blanks that begin line `linha`.
std::string recuo_da_linha(GtkTextBuffer *buffer, int linha) {
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line(buffer, &i, linha);
  std::string recuo;
  while (!gtk_text_iter_ends_line(&i) &&
         (gtk_text_iter_get_char(&i) == ' ' || gtk_text_iter_get_char(&i) == '\t')) {
    recuo += static_cast<char>(gtk_text_iter_get_char(&i));
    gtk_text_iter_forward_char(&i);
  }
  return recuo;
}

bool chave_digitada = false; // the key just pressed in the editor was "}"

gboolean tecla(GtkWidget *, GdkEventKey *evento, gpointer) {
  chave_digitada = evento->keyval == GDK_KEY_braceright;
  return FALSE;
}

// After a typed "}": when only blanks stand before it on its line, they
// become the blanks of the line of its "{".
void texto_inserido(GtkTextBuffer *buffer, GtkTextIter *fim, gchar *texto, gint tamanho, gpointer) {
  if (!chave_digitada || tamanho != 1 || texto[0] != '}')
    return;
  chave_digitada = false;
  GtkTextIter inicio = *fim, chave = *fim;
  gtk_text_iter_set_line_offset(&inicio, 0);
  gtk_text_iter_backward_char(&chave);
  OlpaTexto antes(gtk_text_buffer_get_text(buffer, &inicio, &chave, TRUE));
  for (const char *c = antes.get(); *c; c++)
    if (*c != ' ' && *c != '\t')
      return;
  GtkTextIter comeco;
  gtk_text_buffer_get_start_iter(buffer, &comeco);
  OlpaTexto ate_aqui(gtk_text_buffer_get_text(buffer, &comeco, &chave, TRUE));
  const int linha = parser_linha_da_abertura(ate_aqui.get(), strlen(ate_aqui.get()));
  if (linha < 0)
    return;
  const std::string recuo = recuo_da_linha(buffer, linha);
  if (recuo == antes.get())
    return;
  GtkTextMark *marca = gtk_text_buffer_create_mark(buffer, nullptr, fim, FALSE);
  gtk_text_buffer_delete(buffer, &inicio, &chave);
  gtk_text_buffer_insert(buffer, &inicio, recuo.c_str(), -1);
  gtk_text_buffer_get_iter_at_mark(buffer, fim, marca);
  gtk_text_buffer_delete_mark(buffer, marca);
}

} // namespace

void olpa_editor_configura(void) {
  olpa_linguagem_manager = gtk_source_language_manager_new();
  define_caminho_de_busca();
  olpa_linguagem = gtk_source_language_manager_get_language(olpa_linguagem_manager, "olpa");
  if (!olpa_linguagem) // without our file, plain C
    olpa_linguagem = gtk_source_language_manager_get_language(olpa_linguagem_manager, "c");
  if (olpa_linguagem)
    gtk_source_buffer_set_language(GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer), olpa_linguagem);

  g_signal_connect(olpa_campo_codigo_formatado, "key-press-event", G_CALLBACK(tecla), nullptr);
  g_signal_connect_after(olpa_campo_codigo_buffer, "insert-text", G_CALLBACK(texto_inserido),
                         nullptr);
  olpa_completar_liga(GTK_SOURCE_VIEW(olpa_campo_codigo_formatado));
  olpa_linhas_longas_liga();
}
