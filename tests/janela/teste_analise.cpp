// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis in the editor: a pause in typing underlines each finding,
// with its explanation on hover; an analysis that takes too long is
// stopped, and the window answers the learner meanwhile; a text longer
// than a pipe is analysed too; a run's end gets its analysis whatever the
// editor asks meanwhile. (Its warnings in the console at "Rodar" are a data
// case.)
#include "janela.h"

#include "analise.h"

#include <csignal>
#include <cstdlib>
#include <memory>

TEST_F(Janela, AnaliseSublinhaEExplica) {
  poe("int main(void) {\n  int x = 1;\n  if (x = 3)\n    traco(x);\n  cor(300, 0, 0);\n"
      "  return 0;\n}\n");
  ate([] { return olpa_analise_sublinhados() == 2; });
  // The '=' of line 3, and the 300 of line 5.
  EXPECT_EQ(olpa_analise_dica(3, 9), "'=' guarda um valor na variável; para comparar, use '=='");
  EXPECT_EQ(olpa_analise_dica(5, 8), "cor(300, 0, 0): cada cor vai de 0 a 255; 300 vale 255");
  EXPECT_EQ(olpa_analise_dica(2, 3), "");
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line_offset(ui->olpa_campo_codigo_buffer, &i, 4, 7);
  GtkTextTag *aviso = gtk_text_tag_table_lookup(
      gtk_text_buffer_get_tag_table(ui->olpa_campo_codigo_buffer), "olpa-analise-aviso");
  ASSERT_NE(aviso, nullptr);
  EXPECT_TRUE(gtk_text_iter_has_tag(&i, aviso));
  // Mended, the underlines go.
  poe("int main(void) {\n  return 0;\n}\n");
  ate([] { return olpa_analise_sublinhados() == 0; });
}

TEST_F(Janela, AnaliseDemoradaNaoPrendeAJanela) {
  const std::string limite = getenv("OLPA_ANALISE_LIMITE_MS");
  setenv("OLPA_ANALISE_LIMITE_MS", "1000", 1);
  // Clang takes many seconds over this, and the analyser is stopped at its
  // limit; meanwhile the window takes what is typed.
  std::string macro = "#define A0 1+\n";
  for (int i = 1; i <= 26; i++)
    macro += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" +
             std::to_string(i - 1) + "\n";
  poe(macro + "#if A26 1\n#endif\nint main(void) {\n  return 0;\n}\n");
  ate([] { return analise_pid() > 0; });
  const int ocupado = analise_pid();
  GtkTextIter fim;
  gtk_text_buffer_get_end_iter(ui->olpa_campo_codigo_buffer, &fim);
  gtk_text_buffer_place_cursor(ui->olpa_campo_codigo_buffer, &fim);
  gtk_widget_grab_focus(ui->olpa_campo_codigo_formatado);
  aperta(GDK_KEY_x);
  processa();
  EXPECT_EQ(editor().back(), 'x');
  // Stopped, and a new analyser for the next text.
  ate([ocupado] { return analise_pid() != ocupado; });
  setenv("OLPA_ANALISE_LIMITE_MS", limite.c_str(), 1);
  poe("int main(void) {\n  int x = 2 ^ 8;\n  return x;\n}\n");
  ate([] { return olpa_analise_sublinhados() == 1; });
}

TEST_F(Janela, PausaNaoTiraAAnaliseDoFimDaExecucao) {
  // The analyser held still, so that the run ends before its answer, and a
  // pause in typing comes while the end waits for it.
  const std::string antes = "// antes da pausa\nint main(void) {\n  return 0;\n}\n";
  poe(antes);
  AnaliseResultado r;
  ate([&] { return analise_pronta(antes, &r); });
  const int analisador = analise_pid();
  ASSERT_GT(analisador, 0);
  kill(analisador, SIGSTOP);
  const std::unique_ptr<const int, void (*)(const int *)> solta(
      &analisador, [](const int *pid) { kill(*pid, SIGCONT); });
  poe("int main(void) {\n  int lado = 2 ^ 8;\n  return lado - 10;\n}\n");
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  ate(olpa_analise_fim_esperando);
  // Typed and undone: the same text, its pause after the end's request.
  GtkTextIter i, f;
  gtk_text_buffer_get_end_iter(ui->olpa_campo_codigo_buffer, &f);
  gtk_text_buffer_insert(ui->olpa_campo_codigo_buffer, &f, " ", 1);
  gtk_text_buffer_get_end_iter(ui->olpa_campo_codigo_buffer, &f);
  i = f;
  gtk_text_iter_backward_char(&i);
  gtk_text_buffer_delete(ui->olpa_campo_codigo_buffer, &i, &f);
  ate([] { return !olpa_analise_em_pausa(); });
  kill(analisador, SIGCONT);
  processa();
  EXPECT_NE(console().find("[aviso] linha 2:"), std::string::npos) << console();
  ate([] { return olpa_analise_sublinhados() == 1; });
}

TEST_F(Janela, AnaliseDeProgramaMaiorQueOCano) {
  // Longer than a pipe holds: it goes to the analyser as the analyser reads.
  const std::string codigo = "// " + std::string(1024 * 1024, 'x') +
                             "\nint main(void) {\n  int x = 2 ^ 8;\n  return x;\n}\n";
  poe(codigo);
  AnaliseResultado r;
  ate([&] { return analise_pronta(codigo, &r); });
  EXPECT_EQ(r.estado, AnaliseEstado::Feita);
  EXPECT_EQ(olpa_analise_sublinhados(), 1);
}
