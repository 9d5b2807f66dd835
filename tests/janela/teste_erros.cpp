// SPDX-License-Identifier: GPL-3.0-or-later
// Errors that teach, where the data cases cannot look: the editor scrolled
// to the first marked line, and a click on the console's error line taking
// the cursor there.
#include "janela.h"

#include "olpa_marcas.h"

namespace {

// `n` lines of a program with a missing declaration on line `errada`.
std::string longo(int n, int errada) {
  std::string p = "int main(void) {\n";
  for (int i = 2; i < n; i++)
    p += i == errada ? "  x = 1;\n" : "  inicia();\n";
  return p + "}\n";
}

// Whether line `linha` (from 1) of the editor is on screen.
bool a_vista(int linha) {
  GdkRectangle visivel;
  GtkTextView *v = GTK_TEXT_VIEW(ui->olpa_campo_codigo_formatado);
  gtk_text_view_get_visible_rect(v, &visivel);
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line(ui->olpa_campo_codigo_buffer, &i, linha - 1);
  int y, altura;
  gtk_text_view_get_line_yrange(v, &i, &y, &altura);
  return y >= visivel.y && y + altura <= visivel.y + visivel.height;
}

TEST_F(Janela, EditorRolaAtePrimeiroErroEConsoleLevaALinha) {
  rodar(longo(120, 100));
  ate([] { return a_vista(100); }); // the text view scrolls once its lines are laid out
  EXPECT_TRUE(olpa_console_em_erro());
  EXPECT_EQ(olpa_linhas_com_marca(OLPA_MARCA_ERRO), std::vector<int>{100})
      << "the mark on the line the console names";
  EXPECT_TRUE(a_vista(100)) << "the editor shows the marked line";
  EXPECT_FALSE(a_vista(2));
  // The console's "[erro] linha 100: ..." is its second line.
  GtkTextIter inicio;
  gtk_text_buffer_get_start_iter(ui->olpa_campo_codigo_buffer, &inicio);
  gtk_text_buffer_place_cursor(ui->olpa_campo_codigo_buffer, &inicio);
  clica_no_console(1), processa(); // "[olpa] compilando": nowhere
  EXPECT_EQ(linha_do_cursor(), 1);
  clica_no_console(2), processa();
  EXPECT_EQ(linha_do_cursor(), 100);
  EXPECT_TRUE(gtk_widget_has_focus(ui->olpa_campo_codigo_formatado));
}

} // namespace
