// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis in the editor: a pause in typing underlines each finding,
// with its explanation on hover; an analysis that takes too long is
// stopped, and the window answers the learner meanwhile.
#include "janela.h"

#include "analise.h"
#include "olpa_analise.h"

#include <cstdlib>

namespace {

// Runs the main loop until `pronto` holds, for at most about a minute (the
// analyser answers far sooner; a busy machine is no failure).
bool espera_que(const std::function<bool()> &pronto) {
  for (int i = 0; i < 3000 && !pronto(); i++)
    aguarda(20);
  return pronto();
}

} // namespace

TEST_F(Janela, AnaliseSublinhaEExplica) {
  poe("int main(void) {\n  int x = 1;\n  if (x = 3)\n    traco(x);\n  cor(300, 0, 0);\n"
      "  return 0;\n}\n");
  ASSERT_TRUE(espera_que([] { return olpa_analise_sublinhados() == 2; }));
  // The '=' of line 3, and the 300 of line 5.
  EXPECT_EQ(olpa_analise_dica(3, 9), "'=' guarda um valor na variável; para comparar, use '=='");
  EXPECT_EQ(olpa_analise_dica(5, 8), "cor(300, 0, 0): cada cor vai de 0 a 255; 300 vale 255");
  EXPECT_EQ(olpa_analise_dica(2, 3), "");
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line_offset(olpa_campo_codigo_buffer, &i, 4, 7);
  GtkTextTag *aviso = gtk_text_tag_table_lookup(
      gtk_text_buffer_get_tag_table(olpa_campo_codigo_buffer), "olpa-analise-aviso");
  ASSERT_NE(aviso, nullptr);
  EXPECT_TRUE(gtk_text_iter_has_tag(&i, aviso));
  // Mended, the underlines go.
  poe("int main(void) {\n  return 0;\n}\n");
  EXPECT_TRUE(espera_que([] { return olpa_analise_sublinhados() == 0; }));
}

TEST_F(Janela, AnaliseDemoradaNaoPrendeAJanela) {
  setenv("OLPA_ANALISE_LIMITE_MS", "1000", 1);
  // Clang takes many seconds over this, and the analyser is stopped at its
  // limit; meanwhile the window takes what is typed.
  std::string macro = "#define A0 1+\n";
  for (int i = 1; i <= 26; i++)
    macro += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" +
             std::to_string(i - 1) + "\n";
  poe(macro + "#if A26 1\n#endif\nint main(void) {\n  return 0;\n}\n");
  ASSERT_TRUE(espera_que([] { return analise_pid() > 0; }));
  const int ocupado = analise_pid();
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_place_cursor(olpa_campo_codigo_buffer, &fim);
  gtk_widget_grab_focus(olpa_campo_codigo_formatado);
  aperta(GDK_KEY_x);
  processa();
  EXPECT_EQ(editor().back(), 'x');
  // Stopped, and a new analyser for the next text.
  ASSERT_TRUE(espera_que([ocupado] { return analise_pid() != ocupado; }));
  unsetenv("OLPA_ANALISE_LIMITE_MS");
  poe("int main(void) {\n  int x = 2 ^ 8;\n  return x;\n}\n");
  EXPECT_TRUE(espera_que([] { return olpa_analise_sublinhados() == 1; }));
}

// At "Rodar", the warnings of the text run come before the final line (the
// run's end waits for them: the tests wait as long as it takes).
TEST_F(Janela, AnaliseNoConsoleAoRodar) {
  rodar("int main(void) {\n  int lado = 2 ^ 8;\n  inicia();\n  linha(0, 0, lado, lado);\n"
        "  termina();\n  return 0;\n}\n");
  EXPECT_EQ(console(), "[olpa] compilando\n[aviso] linha 2: em C, ^ não é potência: 2 ^ 8 vale 10 "
                       "(o \"ou exclusivo\" dos bits). Para a potência, use 1 << 8 ou pow de "
                       "<math.h>\n[olpa] sucesso!\n");
  EXPECT_EQ(olpa_linhas_marcadas(OLPA_MARCA_AVISO), 1);
  EXPECT_FALSE(olpa_console_em_erro());
}
