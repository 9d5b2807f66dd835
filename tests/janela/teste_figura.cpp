// SPDX-License-Identifier: GPL-3.0-or-later
// The picture beyond the view: saved and copied from its right-click menu,
// and the examples' pictures shown in "Abrir".
#include "janela.h"

#include "olpa_layout.h"

namespace {

// Pixels that differ between two pictures (-1: not the same size).
long diferentes(GdkPixbuf *a, GdkPixbuf *b) {
  return a && b ? compara(de_pixbuf(a), de_pixbuf(b)) : -1;
}

// ------------------------------------------------------------ the right-click menu

TEST_F(Janela, BotaoDireitoSalvaECopiaAFigura) {
  rodar("int main(void) { inicia(); cor_e_opacidade(255, 128, 0, 60); traco(30);"
        " linha(0, 0, 640, 480); termina(); return 0; }");
  GdkPixbuf *tela = gdk_pixbuf_new_from_file("../telas/imagem.png", nullptr);
  ASSERT_NE(tela, nullptr);

  GtkWidget *area_da_figura = gtk_widget_get_parent(olpa_imagem);
  botao_do_mouse(area_da_figura, gtk_widget_get_window(area_da_figura), GDK_BUTTON_PRESS,
                 GDK_BUTTON_SECONDARY, 100, 100);
  processa();
  GList *menus = gtk_menu_get_for_attach_widget(olpa_imagem);
  ASSERT_NE(menus, nullptr);
  GtkWidget *menu = GTK_WIDGET(g_list_last(menus)->data);
  EXPECT_TRUE(gtk_widget_get_visible(menu));
  std::vector<GtkWidget *> itens;
  percorre(menu, [&itens](GtkWidget *w) {
    if (GTK_IS_MENU_ITEM(w))
      itens.push_back(w);
  });
  ASSERT_EQ(itens.size(), 2u);
  EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(itens[0])), "Salvar figura como…");
  EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(itens[1])), "Copiar figura");
  gtk_menu_popdown(GTK_MENU(menu));

  int largura = 0, altura = 0;
  const std::string telas = OlpaTexto(g_canonicalize_filename("../telas", nullptr)).get();
  const Resposta salva_como = salvar(telas, "figura.png", telas + "/copia.png");
  com_respostas({[&](GtkWidget *d, int vez) {
                  gtk_window_get_size(GTK_WINDOW(d), &largura, &altura);
                  return salva_como(d, vez);
                }},
                [&] { gtk_menu_item_activate(GTK_MENU_ITEM(itens[0])); });
  EXPECT_LE(largura, OLPA_SELETOR_LARGURA_MAXIMA);
  EXPECT_LE(altura, OLPA_SELETOR_ALTURA_MAXIMA);
  GdkPixbuf *salva = gdk_pixbuf_new_from_file("../telas/copia.png", nullptr);
  EXPECT_EQ(diferentes(salva, tela), 0);

  gtk_menu_item_activate(GTK_MENU_ITEM(itens[1]));
  GdkPixbuf *copiada = gtk_clipboard_wait_for_image(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  EXPECT_EQ(diferentes(copiada, tela), 0);
  for (GdkPixbuf *p : {tela, salva, copiada})
    if (p)
      g_object_unref(p);
}

// ------------------------------------------------------------ Abrir

TEST_F(Janela, AbrirMostraAFiguraDoExemploECabeNaTela) {
  const std::string exemplo = em_exemplos("06_rede.olp"), meu = em_exemplos("meu.olp");
  escreve_arquivo(exemplo, le_arquivo(OLPA_FONTE_DIR "/exemplos/06_rede.olp"));
  escreve_arquivo(meu, "int main(void) { return 0; }\n");
  OlpaTexto caminho_exemplo(g_canonicalize_filename(exemplo.c_str(), nullptr));
  OlpaTexto caminho_meu(g_canonicalize_filename(meu.c_str(), nullptr));
  GdkPixbuf *esperada = gdk_pixbuf_new_from_file_at_scale(
      (std::string(OLPA_FIGURAS_DOS_EXEMPLOS) + "/06_rede.png").c_str(), OLPA_PREVIA_LARGURA,
      OLPA_PREVIA_ALTURA, TRUE, nullptr);
  ASSERT_NE(esperada, nullptr);
  int vez = 0, largura = 0, altura = 0;
  bool mostrou = false, escondeu = false;
  const Resposta olha = [&](GtkWidget *d, int) {
    GtkFileChooser *s = GTK_FILE_CHOOSER(d);
    GtkWidget *previa = gtk_file_chooser_get_preview_widget(s);
    const bool ativa = gtk_file_chooser_get_preview_widget_active(s);
    if (vez++ == 0)
      gtk_window_get_size(GTK_WINDOW(d), &largura, &altura);
    // The folder loads in the background, and a pick made before may be
    // lost: pick again now and then, as a person would click again.
    const char *quero = mostrou ? caminho_meu.get() : caminho_exemplo.get();
    if (vez % (50 / TIQUE_MS) == 1)
      gtk_file_chooser_select_filename(s, quero);
    if (!mostrou && ativa && GTK_IS_IMAGE(previa) &&
        diferentes(gtk_image_get_pixbuf(GTK_IMAGE(previa)), esperada) == 0) {
      mostrou = true;
      gtk_file_chooser_select_filename(s, caminho_meu.get());
      vez = 1;
    } else if (mostrou && !ativa) {
      escondeu = true;
    }
    if (!escondeu && vez < 2000 / TIQUE_MS)
      return false;
    gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
    return true;
  };
  clica(olpa_bt_abrir, {olha});
  g_object_unref(esperada);
  EXPECT_TRUE(mostrou);
  EXPECT_TRUE(escondeu);
  EXPECT_LE(largura, OLPA_SELETOR_LARGURA_MAXIMA);
  EXPECT_LE(altura, OLPA_SELETOR_ALTURA_MAXIMA);
  EXPECT_GT(largura, 0);
}

} // namespace
