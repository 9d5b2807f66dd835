// SPDX-License-Identifier: GPL-3.0-or-later
// The window in a classroom's sizes: it grows and shrinks, the picture
// scrolling on a small screen, and its font zooms and is remembered
// (XDG_CONFIG_HOME is a folder of the test's own: the zoom's file).
#include "janela.h"

#include "olpa_layout.h"
#include "olpa_zoom.h"

#include <tuple>

namespace {

GdkRectangle area(GtkWidget *w) {
  GdkRectangle r{};
  gtk_widget_translate_coordinates(w, ui->olpa_layout, 0, 0, &r.x, &r.y);
  r.width = gtk_widget_get_allocated_width(w);
  r.height = gtk_widget_get_allocated_height(w);
  return r;
}

// The window made `largura` x `altura`, and its content laid out anew.
void redimensiona(int largura, int altura) {
  gtk_window_resize(GTK_WINDOW(ui->olpa_janela), largura, altura);
  ate([=] {
    int l, a;
    gtk_window_get_size(GTK_WINDOW(ui->olpa_janela), &l, &a);
    return l == largura && a == altura &&
           gtk_widget_get_allocated_width(ui->olpa_layout) == largura - 2 * OLPA_BORDA &&
           gtk_widget_get_allocated_height(ui->olpa_layout) == altura - 2 * OLPA_BORDA;
  });
  quadro();
}

// The editor's font size, in points.
double pontos_do_editor() {
  PangoContext *c = gtk_widget_get_pango_context(ui->olpa_campo_codigo_formatado);
  const PangoFontDescription *f = pango_context_get_font_description(c);
  return pango_font_description_get_size(f) / static_cast<double>(PANGO_SCALE);
}

// ------------------------------------------------------------ room to grow

TEST_F(Janela, AJanelaCresceEDiminui) {
  const GdkRectangle editor = area(ui->olpa_campo_codigo_container);
  const GdkRectangle console = area(ui->olpa_campo_console_container);
  ASSERT_EQ(editor.width, OLPA_COLUNA_LARGURA);
  redimensiona(1260, 760);
  const int largura = 1260 - 2 * OLPA_BORDA - OLPA_VAO_IMAGEM - OLPA_IMAGEM_LARGURA;
  const int mais_alta = 760 - OLPA_JANELA_ALTURA;
  EXPECT_EQ(area(ui->olpa_campo_codigo_container).width, largura);
  EXPECT_EQ(area(ui->olpa_campo_console_container).width, largura);
  EXPECT_EQ(area(ui->olpa_campo_codigo_container).height, editor.height + mais_alta);
  EXPECT_EQ(area(ui->olpa_campo_console_container).height, console.height);
  // The picture keeps its size, at the right, at the top.
  const GdkRectangle imagem = area(ui->olpa_imagem);
  EXPECT_EQ(imagem.x, largura + OLPA_VAO_IMAGEM);
  EXPECT_EQ(imagem.y, 0);
  EXPECT_EQ(imagem.width, OLPA_IMAGEM_LARGURA);
  EXPECT_EQ(imagem.height, OLPA_IMAGEM_ALTURA);
  // The border between editor and console moves them both.
  gtk_paned_set_position(GTK_PANED(ui->olpa_divisao), 400);
  processa();
  EXPECT_EQ(area(ui->olpa_campo_codigo_container).height, 400);
  EXPECT_EQ(area(ui->olpa_campo_console_container).height, 760 - 20 - 50 - 400 - 10);
  gtk_paned_set_position(GTK_PANED(ui->olpa_divisao), OLPA_EDITOR_ALTURA + mais_alta);
  // The strip of steps stays under the picture, as wide as it.
  const GdkRectangle tira = area(ui->olpa_tira.caixa);
  EXPECT_EQ(std::make_tuple(tira.x, tira.y, tira.width),
            std::make_tuple(imagem.x, OLPA_TIRA_Y, OLPA_IMAGEM_LARGURA));

  // A netbook's screen: the picture scrolls.
  redimensiona(700, 420);
  EXPECT_LT(area(ui->olpa_imagem_rolagem).width, OLPA_IMAGEM_LARGURA);
  GtkAdjustment *h =
      gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(ui->olpa_imagem_rolagem));
  EXPECT_EQ(gtk_adjustment_get_upper(h), OLPA_IMAGEM_LARGURA);
  EXPECT_LT(gtk_adjustment_get_page_size(h), OLPA_IMAGEM_LARGURA);

  redimensiona(OLPA_JANELA_LARGURA, OLPA_JANELA_ALTURA);
  EXPECT_EQ(area(ui->olpa_campo_codigo_container).height, editor.height);
  EXPECT_EQ(area(ui->olpa_imagem).x, OLPA_IMAGEM_X);
  EXPECT_EQ(area(ui->olpa_imagem_rolagem).width, OLPA_IMAGEM_LARGURA);
}

// ------------------------------------------------------------ zoom

TEST_F(Janela, ZoomMudaAFonteEFicaGuardado) {
  olpa_zoom_define(0);
  processa();
  const double padrao = pontos_do_editor();
  const std::string conf = std::string(g_get_user_config_dir()) + "/olpa/olpa.conf";
  aperta(GDK_KEY_plus, static_cast<GdkModifierType>(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
  aperta(GDK_KEY_equal, GDK_CONTROL_MASK);
  EXPECT_EQ(olpa_zoom_tamanho(), static_cast<int>(padrao + 0.5) + 2);
  EXPECT_DOUBLE_EQ(pontos_do_editor(), olpa_zoom_tamanho());
  EXPECT_NE(le_arquivo(conf).find("tamanho_da_fonte=" + std::to_string(olpa_zoom_tamanho())),
            std::string::npos)
      << le_arquivo(conf);
  aperta(GDK_KEY_minus, GDK_CONTROL_MASK);
  EXPECT_EQ(olpa_zoom_tamanho(), static_cast<int>(padrao + 0.5) + 1);

  // Ctrl and the wheel over the console.
  GdkEvent *e = gdk_event_new(GDK_SCROLL);
  e->scroll.window = GDK_WINDOW(g_object_ref(
      gtk_text_view_get_window(GTK_TEXT_VIEW(ui->olpa_campo_console), GTK_TEXT_WINDOW_TEXT)));
  e->scroll.direction = GDK_SCROLL_UP;
  e->scroll.state = GDK_CONTROL_MASK;
  gtk_widget_event(ui->olpa_campo_console, e);
  gdk_event_free(e);
  processa();
  EXPECT_EQ(olpa_zoom_tamanho(), static_cast<int>(padrao + 0.5) + 2);

  // What a later start finds.
  olpa_zoom_define(0);
  escreve_arquivo(conf, "[editor]\ntamanho_da_fonte=20\n");
  olpa_zoom_carrega();
  processa();
  EXPECT_EQ(olpa_zoom_tamanho(), 20);
  EXPECT_DOUBLE_EQ(pontos_do_editor(), 20);
  aperta(GDK_KEY_0, GDK_CONTROL_MASK);
  EXPECT_EQ(olpa_zoom_tamanho(), 0);
  EXPECT_DOUBLE_EQ(pontos_do_editor(), padrao);
}

} // namespace
