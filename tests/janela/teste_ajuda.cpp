// SPDX-License-Identifier: GPL-3.0-or-later
// The help F1 opens: every learner function, every common error, and the
// gallery of examples, each of which it opens.
#include "janela.h"

#include "olpa_funcoes.h"

#include <set>

namespace {

std::vector<std::string> rotulos(GtkWidget *w) {
  std::vector<std::string> r;
  percorre(w, [&r](GtkWidget *x) {
    if (GTK_IS_LABEL(x))
      r.push_back(gtk_label_get_text(GTK_LABEL(x)));
    else if (GTK_IS_BUTTON(x) && gtk_button_get_label(GTK_BUTTON(x)))
      r.push_back(gtk_button_get_label(GTK_BUTTON(x)));
  });
  return r;
}

TEST_F(Janela, F1AbreAAjuda) {
  aperta(GDK_KEY_F1);
  GtkWidget *ajuda = olpa_ajuda_janela();
  ASSERT_NE(ajuda, nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(ajuda));
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(ajuda)), "Ajuda do olpa");
  const std::vector<std::string> textos = rotulos(ajuda);
  const std::set<std::string> tem(textos.begin(), textos.end());
  for (const OlpaFuncao &f : OLPA_FUNCOES) {
    EXPECT_TRUE(tem.count(f.prototipo)) << f.nome;
    EXPECT_TRUE(tem.count(f.descricao)) << f.nome;
    EXPECT_TRUE(!f.exemplo || tem.count(f.exemplo)) << f.nome;
  }
  // Each common error of the data file, by its title.
  GKeyFile *erros = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(erros, OLPA_FONTE_DIR "/dados/erros_comuns.ini",
                                        G_KEY_FILE_NONE, nullptr));
  gsize n = 0;
  gchar **grupos = g_key_file_get_groups(erros, &n);
  EXPECT_GE(n, 5u);
  for (gchar **g = grupos; *g; g++) {
    EXPECT_TRUE(tem.count(*g)) << *g;
    OlpaTexto causa(g_key_file_get_string(erros, *g, "causa", nullptr));
    EXPECT_TRUE(causa && tem.count(std::string("Por quê: ") + causa.get())) << *g;
  }
  g_strfreev(grupos);
  g_key_file_free(erros);

  // The gallery: one "Abrir este exemplo" for each example shipped.
  GDir *pasta = g_dir_open(OLPA_FONTE_DIR "/exemplos", 0, nullptr);
  size_t exemplos = 0;
  while (const char *nome = g_dir_read_name(pasta))
    exemplos += g_str_has_suffix(nome, ".olp");
  g_dir_close(pasta);
  std::vector<GtkWidget *> abrir;
  GtkWidget *abrir_o_primeiro = nullptr;
  percorre(ajuda, [&](GtkWidget *w) {
    if (!GTK_IS_BUTTON(w) || !gtk_button_get_label(GTK_BUTTON(w)) ||
        strcmp(gtk_button_get_label(GTK_BUTTON(w)), "Abrir este exemplo") != 0)
      return;
    abrir.push_back(w);
    for (const std::string &r : rotulos(gtk_widget_get_parent(w)))
      if (r.rfind("01_primeira_linha: ", 0) == 0)
        abrir_o_primeiro = w;
  });
  ASSERT_EQ(abrir.size(), exemplos);
  ASSERT_NE(abrir_o_primeiro, nullptr);
  const std::string primeiro = le_arquivo(OLPA_FONTE_DIR "/exemplos/01_primeira_linha.olp");
  escreve_arquivo(em_exemplos("01_primeira_linha.olp"), primeiro);
  // Changes not saved are asked for first; "no" keeps them.
  poe("int meu;\n");
  com_respostas({novo(GTK_RESPONSE_NO)}, [&] { gtk_button_clicked(GTK_BUTTON(abrir_o_primeiro)); });
  EXPECT_EQ(editor(), "int meu;\n");
  com_respostas({novo(GTK_RESPONSE_YES)},
                [&] { gtk_button_clicked(GTK_BUTTON(abrir_o_primeiro)); });
  EXPECT_EQ(editor(), primeiro);
  EXPECT_EQ(olpa_arquivo_temnome, 1);
  gtk_widget_hide(ajuda);
}

} // namespace
