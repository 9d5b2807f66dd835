// SPDX-License-Identifier: GPL-3.0-or-later
// The window under a virtual display: where everything stands when it
// starts, and its console's looks on screen. (What it shows after presses
// of its buttons is in the data cases, casos/.)
#include "janela.h"

#include "olpa_console.h"
#include "olpa_layout.h"

#include <algorithm>
#include <tuple>

namespace {

TEST_F(Janela, ComoComeca) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(ui->olpa_janela)), OLPA_TITULO);
  const int bt = (OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5;
  GtkWidget *botoes[] = {ui->olpa_bt_novo, ui->olpa_bt_abrir, ui->olpa_bt_salvar,
                         ui->olpa_bt_executar, ui->olpa_bt_limpar};
  const char *rotulos[] = {"Novo", "Abrir", "Salvar", "Rodar", "Limpar"};
  std::vector<std::tuple<GtkWidget *, int, int, int, int>> esperados = {
      {ui->olpa_campo_codigo_container, 0, OLPA_EDITOR_Y, OLPA_COLUNA_LARGURA, OLPA_EDITOR_ALTURA},
      {ui->olpa_campo_console_container, 0, OLPA_CONSOLE_Y, OLPA_COLUNA_LARGURA,
       OLPA_CONSOLE_ALTURA},
      {ui->olpa_imagem, OLPA_IMAGEM_X, 0, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA}};
  for (int i = 0; i < 5; i++) {
    esperados.emplace_back(botoes[i], i * (bt + OLPA_ESPACO), 0, bt, OLPA_BT_ALTURA);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(botoes[i])), rotulos[i]);
  }
  for (const auto &[w, x, y, largura, altura] : esperados) {
    int wx, wy;
    gtk_widget_translate_coordinates(w, ui->olpa_layout, 0, 0, &wx, &wy);
    EXPECT_EQ(std::make_tuple(wx, wy, gtk_widget_get_allocated_width(w),
                              gtk_widget_get_allocated_height(w)),
              std::make_tuple(x, y, largura, altura));
  }
  EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(ui->olpa_campo_console)));
  GList *icones = gtk_window_get_default_icon_list();
  EXPECT_EQ(g_list_length(icones), 5u);
  g_list_free(icones);
}

TEST_F(Janela, ConsoleBrancoNoPretoEVermelhoNoErro) {
  for (bool erro : {false, true, false}) {
    erro ? olpa_console_erro() : olpa_console_normal();
    EXPECT_EQ(fundo_do_console(), erro ? 0xff0000u : 0u);
    const Imagem im = na_tela(ui->olpa_campo_console);
    EXPECT_GT(std::count(im.pixels.begin(), im.pixels.begin() + 18 * im.largura, 0xffffffffu), 20)
        << "the first line's text is white";
  }
}

} // namespace
