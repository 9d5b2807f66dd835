// SPDX-License-Identifier: GPL-3.0-or-later
// Errors that teach, in the window: marks on the lines of errors and of
// warnings (in their own look), the editor scrolled to the first, a click on
// a console line going to its line, marks gone when the text is replaced,
// never an earlier run's picture under "sucesso!", and a welcome program
// that runs.
#include "janela.h"

#include "olpa_layout.h"

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
  GtkTextView *v = GTK_TEXT_VIEW(olpa_campo_codigo_formatado);
  gtk_text_view_get_visible_rect(v, &visivel);
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line(olpa_campo_codigo_buffer, &i, linha - 1);
  int y, altura;
  gtk_text_view_get_line_yrange(v, &i, &y, &altura);
  return y >= visivel.y && y + altura <= visivel.y + visivel.height;
}

int linha_do_cursor() {
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_mark(olpa_campo_codigo_buffer, &i,
                                   gtk_text_buffer_get_insert(olpa_campo_codigo_buffer));
  return gtk_text_iter_get_line(&i) + 1;
}

// A left click on the console's line `linha` (from 1), as the mouse gives it.
void clica_no_console(int linha) {
  GtkTextView *v = GTK_TEXT_VIEW(olpa_campo_console);
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line(olpa_campo_console_buffer, &i, linha - 1);
  GdkRectangle onde;
  gtk_text_view_get_iter_location(v, &i, &onde);
  int x, y;
  gtk_text_view_buffer_to_window_coords(v, GTK_TEXT_WINDOW_TEXT, onde.x + 4,
                                        onde.y + onde.height / 2, &x, &y);
  for (GdkEventType tipo : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE})
    botao_do_mouse(olpa_campo_console, gtk_text_view_get_window(v, GTK_TEXT_WINDOW_TEXT), tipo,
                   GDK_BUTTON_PRIMARY, x, y);
  processa();
}

TEST_F(Janela, EditorRolaAtePrimeiroErroEConsoleLevaALinha) {
  rodar(longo(120, 100));
  for (int i = 0; i < 20 && !a_vista(100); i++)
    processa(); // the text view scrolls once its lines are laid out
  EXPECT_TRUE(olpa_console_em_erro());
  EXPECT_EQ(olpa_linhas_com_marca(OLPA_MARCA_ERRO), std::vector<int>{100})
      << "the mark on the line the console names";
  EXPECT_TRUE(a_vista(100)) << "the editor shows the marked line";
  EXPECT_FALSE(a_vista(2));
  // The console's "[erro] linha 100: ..." is its second line.
  GtkTextIter inicio;
  gtk_text_buffer_get_start_iter(olpa_campo_codigo_buffer, &inicio);
  gtk_text_buffer_place_cursor(olpa_campo_codigo_buffer, &inicio);
  clica_no_console(1); // "[olpa] compilando": nowhere
  EXPECT_EQ(linha_do_cursor(), 1);
  clica_no_console(2);
  EXPECT_EQ(linha_do_cursor(), 100);
  EXPECT_TRUE(gtk_widget_has_focus(olpa_campo_codigo_formatado));
}

TEST_F(Janela, AvisoMarcaSemParar) {
  rodar("int main(void) {\n  int x = 2;\n  x = sqrt(x);\n  inicia();\n  termina();\n"
        "  return 0;\n}\n");
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_EQ(fundo_do_console(), 0u);
  EXPECT_TRUE(g_str_has_suffix(console().c_str(), "[olpa] sucesso!\n")) << console();
  EXPECT_EQ(olpa_linhas_com_marca(OLPA_MARCA_AVISO), std::vector<int>{3});
  EXPECT_EQ(olpa_linhas_marcadas(OLPA_MARCA_ERRO), 0);
  clica_no_console(2);
  EXPECT_EQ(linha_do_cursor(), 3);
}

TEST_F(Janela, MarcasSaemQuandoOTextoETrocado) {
  const std::string errado = le_arquivo(CASOS + "erro_de_compilacao.olp");
  rodar(errado);
  ASSERT_EQ(olpa_linhas_marcadas(), 1);
  // Typing keeps them: the learner is mending the line.
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_insert(olpa_campo_codigo_buffer, &fim, "\n", -1);
  EXPECT_EQ(olpa_linhas_marcadas(), 1);
  // Everything selected and pasted over.
  GtkClipboard *area = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gtk_clipboard_set_text(area, "int main(void) { return 0; }\n", -1);
  GtkTextIter inicio;
  gtk_text_buffer_get_bounds(olpa_campo_codigo_buffer, &inicio, &fim);
  gtk_text_buffer_select_range(olpa_campo_codigo_buffer, &inicio, &fim);
  gtk_text_buffer_paste_clipboard(olpa_campo_codigo_buffer, area, nullptr, TRUE);
  processa();
  EXPECT_EQ(editor(), "int main(void) { return 0; }\n");
  EXPECT_EQ(olpa_linhas_marcadas(), 0);
  // "Novo".
  rodar(errado);
  ASSERT_EQ(olpa_linhas_marcadas(), 1);
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_YES)});
  EXPECT_EQ(olpa_linhas_marcadas(), 0);
}

// The view shows what is true after "sucesso!": the canvas as drawn when no
// picture was written, the start picture when nothing was drawn.
TEST_F(Janela, NuncaUmaFiguraVelhaSobSucesso) {
  for (const char *depois : {"int main(void) { escreve_console(\"oi\\n\"); return 0; }",
                             "int main(void) {\n  inicia();\n  cor(0, 0, 255);\n  traco(10);\n"
                             "  linha(0, 240, 640, 240);\n  return 0;\n}\n"}) {
    rodar(le_arquivo(CASOS + "linha_vermelha.olp"));
    ASSERT_EQ(na_tela(olpa_imagem).em(320, 240), 0xffff0000u);
    rodar(depois);
    EXPECT_TRUE(g_str_has_suffix(console().c_str(), "[olpa] sucesso!\n"));
    if (strstr(depois, "inicia")) {
      EXPECT_EQ(na_tela(olpa_imagem).em(320, 240), 0xff0000ffu) << "the canvas as drawn";
      EXPECT_EQ(na_tela(olpa_imagem).em(320, 100), 0xff000000u);
    } else {
      EXPECT_TRUE(mostra(INICIAL)) << "nothing drawn";
    }
  }
  rodar("int main(void) { termina(); return 0; }"); // the canvas left open, closed
}

TEST_F(Janela, OProgramaDeBoasVindasRoda) {
  EXPECT_EQ(editor(), OLPA_TEXTO_INICIAL);
  EXPECT_NE(editor().find("código"), std::string::npos);
  clica(olpa_bt_executar);
  EXPECT_EQ(console(), "[olpa] compilando\n[olpa] sucesso!\n");
  EXPECT_EQ(olpa_linhas_marcadas(OLPA_MARCA_AVISO), 0);
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  EXPECT_FALSE(mostra(INICIAL));
}

} // namespace
