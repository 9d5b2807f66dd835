// SPDX-License-Identifier: GPL-3.0-or-later
// The editor: it colours and completes the learner functions, puts "}"
// back under its "{", and keeps long lines from freezing it.
#include "janela.h"

#include "olpa_funcoes.h"
#include "olpa_layout.h"

namespace {

void digita(const char *texto) {
  for (const char *c = texto; *c; c++)
    aperta(*c == '\n' ? GDK_KEY_Return : gdk_unicode_to_keyval(static_cast<guchar>(*c)));
}

// The labels of the completion proposals on screen.
std::vector<std::string> propostas_na_tela() {
  std::vector<std::string> r;
  GList *janelas = gtk_window_list_toplevels();
  for (GList *l = janelas; l; l = l->next) {
    if (!gtk_widget_get_visible(GTK_WIDGET(l->data)))
      continue;
    percorre(GTK_WIDGET(l->data), [&r](GtkWidget *w) {
      if (!GTK_IS_TREE_VIEW(w))
        return;
      GtkTreeModel *m = gtk_tree_view_get_model(GTK_TREE_VIEW(w));
      for (int c = 0; m && c < gtk_tree_model_get_n_columns(m); c++) {
        if (!g_type_is_a(gtk_tree_model_get_column_type(m, c), G_TYPE_OBJECT))
          continue;
        GtkTreeIter i;
        for (bool ok = gtk_tree_model_get_iter_first(m, &i); ok;
             ok = gtk_tree_model_iter_next(m, &i)) {
          GObject *p = nullptr;
          gtk_tree_model_get(m, &i, c, &p, -1);
          if (p && GTK_SOURCE_IS_COMPLETION_PROPOSAL(p)) {
            OlpaTexto rotulo(
                gtk_source_completion_proposal_get_label(GTK_SOURCE_COMPLETION_PROPOSAL(p)));
            r.push_back(rotulo ? rotulo.get() : "");
          }
          if (p)
            g_object_unref(p);
        }
      }
    });
  }
  g_list_free(janelas);
  return r;
}

TEST_F(Janela, FuncoesColoridasECompletadas) {
  GtkSourceLanguage *l =
      gtk_source_buffer_get_language(GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer));
  ASSERT_NE(l, nullptr);
  EXPECT_STREQ(gtk_source_language_get_id(l), "olpa");
  const std::string lang = le_arquivo("olpalib/linguagem/olpa.lang");
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    EXPECT_NE(lang.find(std::string("<keyword>") + f.nome + "</keyword>"), std::string::npos)
        << f.nome;

  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, "int main(void) {\n  ", -1);
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_place_cursor(olpa_campo_codigo_buffer, &fim);
  // No window manager here: the window takes the keyboard by itself, as the
  // editor shows its completion only while it has the focus.
  gdk_window_focus(gtk_widget_get_window(olpa_janela), GDK_CURRENT_TIME);
  gtk_widget_grab_focus(olpa_campo_codigo_formatado);
  aguarda(100);
  digita("lin");
  std::vector<std::string> vistas;
  for (int i = 0; i < 40 && vistas.empty(); i++) {
    aguarda(50);
    vistas = propostas_na_tela();
  }
  EXPECT_EQ(vistas, (std::vector<std::string>{"linha(int x1, int y1, int x2, int y2)",
                                              "linha_ate(int dx, int dy)"}));
  // Return takes the first.
  aperta(GDK_KEY_Return);
  EXPECT_EQ(editor(), "int main(void) {\n  linha(");
  aperta(GDK_KEY_Escape);

  // Ctrl+Space with nothing typed offers every function.
  digita("0, 0, 9, 9);\n  ");
  aperta(GDK_KEY_space, GDK_CONTROL_MASK);
  vistas.clear();
  for (int i = 0; i < 40 && vistas.empty(); i++) {
    aguarda(50);
    vistas = propostas_na_tela();
  }
  EXPECT_EQ(vistas.size(), OLPA_NUM_FUNCOES);
  aperta(GDK_KEY_Escape);
}

TEST_F(Janela, ChaveFechaNaColunaDaSuaAbertura) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer,
                           "int main(void) {\n"
                           "  // { num comentário\n"
                           "  if (1) { char c = '{'; const char *t = \"{\";\n"
                           "    inicia();\n",
                           -1);
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_place_cursor(olpa_campo_codigo_buffer, &fim);
  gtk_widget_grab_focus(olpa_campo_codigo_formatado);
  digita("    }\n}");
  EXPECT_EQ(editor(), "int main(void) {\n"
                      "  // { num comentário\n"
                      "  if (1) { char c = '{'; const char *t = \"{\";\n"
                      "    inicia();\n"
                      "  }\n"
                      "}");
  // Text before it on the line: left as typed.
  digita("\n  x = 1; }");
  EXPECT_EQ(editor().substr(editor().rfind('\n')), "\n  x = 1; }");
}

TEST_F(Janela, LinhaLongaSemCores) {
  GtkSourceBuffer *b = GTK_SOURCE_BUFFER(olpa_campo_codigo_buffer);
  EXPECT_TRUE(gtk_source_buffer_get_highlight_syntax(b));
  const std::string longa(OLPA_LINHA_LONGA + 1, 'x');
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, ("int a;\n" + longa + "\nint b;\n").c_str(),
                           -1);
  processa();
  EXPECT_FALSE(gtk_source_buffer_get_highlight_syntax(b));
  // Ordinary lines keep their wrapping.
  EXPECT_EQ(gtk_text_view_get_wrap_mode(GTK_TEXT_VIEW(olpa_campo_codigo_formatado)),
            GTK_WRAP_WORD_CHAR);
  // The colours come back with the long line gone.
  GtkTextIter a, f;
  gtk_text_buffer_get_iter_at_line(olpa_campo_codigo_buffer, &a, 1);
  gtk_text_buffer_get_iter_at_line(olpa_campo_codigo_buffer, &f, 2);
  gtk_text_buffer_delete(olpa_campo_codigo_buffer, &a, &f);
  processa();
  EXPECT_TRUE(gtk_source_buffer_get_highlight_syntax(b));
  // A line that grows long by typing.
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &f);
  gtk_text_buffer_insert(olpa_campo_codigo_buffer, &f, longa.c_str(), -1);
  processa();
  EXPECT_FALSE(gtk_source_buffer_get_highlight_syntax(b));
}

} // namespace
