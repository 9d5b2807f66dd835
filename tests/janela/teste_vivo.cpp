// SPDX-License-Identifier: GPL-3.0-or-later
// A run while it lasts: the window stays alive, shows the console text and
// the canvas as they come, "Parar" (and Esc) stop the program and keep its
// canvas, F5 starts the editor's text again, and the actions that replace
// what the window shows stop the run first.
#include "janela.h"

#include "olpaparser.h"

#include <functional>

namespace {

const char SEM_FIM[] = "int main(void) {\n"
                       "  int i = 0;\n"
                       "  inicia();\n"
                       "  cor(0, 200, 255);\n"
                       "  for (;;) linha(i++ % 640, 0, 640 - i % 640, 480);\n"
                       "}\n";
// Stopped in its loop's one line (wherever in the loop it was).
const std::string PARADO = "[olpa] compilando\n[olpa] programa interrompido na linha 5.\n";
const char RODANDO[] = "[olpa] rodando…";

std::string rotulo() {
  return gtk_button_get_label(GTK_BUTTON(olpa_bt_executar));
}

bool termina_com(const std::string &fim) {
  const std::string c = console();
  return c.size() >= fim.size() && c.compare(c.size() - fim.size(), fim.size(), fim) == 0;
}

// "Rodar" pressed with `codigo`, and the run under way as the learner sees it.
void comeca(const std::string &codigo) {
  poe(codigo);
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar));
  ASSERT_TRUE(olpa_rodando());
  ASSERT_TRUE(ate([] { return rotulo() == "Parar" && termina_com(RODANDO); })) << console();
}

// SEM_FIM under way, in its loop (its canvas drawn on a cleared picture):
// stopped now, it is stopped on its line, not while it still compiles.
void comeca_sem_fim() {
  clica(olpa_bt_limpar);
  comeca(SEM_FIM);
  ASSERT_TRUE(ate([] { return na_imagem(320, 240) == 0xff00c8ffu; })) << "no live canvas";
}

// An endless program: "[olpa] rodando…" below the console text, "Parar" in
// the button's own place, the canvas drawn as it goes; "Parar" stops it at
// once, keeps the canvas, and the next program runs as ever.
TEST_F(Janela, PararUmLacoSemFim) {
  GtkAllocation antes, durante;
  gtk_widget_get_allocation(olpa_bt_executar, &antes);
  comeca_sem_fim();
  EXPECT_EQ(console(), std::string("[olpa] compilando\n") + RODANDO);
  gtk_widget_get_allocation(olpa_bt_executar, &durante);
  EXPECT_EQ(std::make_tuple(antes.x, antes.y, antes.width, antes.height),
            std::make_tuple(durante.x, durante.y, durante.width, durante.height));
  EXPECT_TRUE(gtk_text_view_get_editable(GTK_TEXT_VIEW(olpa_campo_codigo_formatado)));
  gtk_button_clicked(GTK_BUTTON(olpa_bt_executar)); // "Parar"
  EXPECT_FALSE(olpa_rodando());
  EXPECT_EQ(console(), PARADO);
  EXPECT_EQ(rotulo(), "Rodar");
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_EQ(na_imagem(320, 240), 0xff00c8ffu) << "the canvas as drawn so far stays";
  processa();
  EXPECT_EQ(na_tela(olpa_imagem).em(320, 240), 0xff00c8ffu);
  rodar(le_arquivo(CASOS + "linha_vermelha.olp"));
  const std::string esperado = le_arquivo(CASOS + "linha_vermelha.console");
  EXPECT_EQ(console(), esperado.substr(0, esperado.find("#= ")));
  EXPECT_TRUE(mostra(CASOS + "linha_vermelha.png"));
}

// Text and canvas reach the window while the program waits in espera; the
// run goes on with the text the editor had when it started.
TEST_F(Janela, ConsoleETelaAoVivo) {
  comeca("int main(void) {\n"
         "  inicia();\n"
         "  cor(255, 0, 0);\n"
         "  traco(40);\n"
         "  linha(0, 240, 640, 240);\n"
         "  escreve_console(\"meio\");\n"
         "  espera(1000);\n"
         "  escreve_console(\" e fim\\n\");\n"
         "  termina();\n"
         "}\n");
  EXPECT_TRUE(ate([] { return console() == std::string("[olpa] compilando\nmeio\n") + RODANDO; }))
      << console();
  EXPECT_TRUE(ate([] { return na_imagem(320, 240) == 0xffff0000u || !olpa_rodando(); }) &&
              olpa_rodando())
      << "no live canvas";
  poe("int main(void) { escreve_console(\"outro\\n\"); }");
  processa(); // to the run's end
  EXPECT_EQ(console(), "[olpa] compilando\nmeio e fim\n[olpa] sucesso!\n");
  EXPECT_TRUE(mostra("../telas/imagem.png"));
}

// Esc stops; F5 and Ctrl+R stop and run the editor's text again.
TEST_F(Janela, EscParaEF5RodaDeNovo) {
  comeca_sem_fim();
  aperta(GDK_KEY_Escape);
  EXPECT_FALSE(olpa_rodando());
  EXPECT_EQ(console(), PARADO);
  for (const auto &[chave, mods] : {std::pair{GDK_KEY_F5, 0}, {GDK_KEY_r, GDK_CONTROL_MASK}}) {
    comeca_sem_fim();
    poe("int main(void) { escreve_console(\"de novo\\n\"); }");
    aperta(chave, static_cast<GdkModifierType>(mods));
    EXPECT_EQ(console(), "[olpa] compilando\nde novo\n[olpa] o programa não chamou inicia(), então "
                         "nada foi desenhado.\n[olpa] sucesso!\n")
        << chave;
  }
}

// "Limpar", "Novo", "Abrir" and closing the window stop the run before
// anything else; closing still asks about unsaved changes.
TEST_F(Janela, AcoesParamARodadaAntes) {
  comeca_sem_fim();
  clica(olpa_bt_limpar);
  EXPECT_FALSE(olpa_rodando());
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(mostra(INICIAL));
  comeca_sem_fim();
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_NO)});
  EXPECT_EQ(console(), PARADO);
  EXPECT_EQ(editor(), SEM_FIM);
  comeca_sem_fim();
  clica(olpa_bt_abrir, {responde(GTK_RESPONSE_CANCEL)});
  EXPECT_EQ(console(), PARADO);
  comeca_sem_fim();
  GtkWidget *fechar = gtk_button_new(); // as the window's close box
  g_signal_connect_swapped(fechar, "clicked", G_CALLBACK(gtk_window_close), olpa_janela);
  clica(fechar,
        {mensagem("Confirmação", "Deseja sair sem salvar as alterações?", GTK_RESPONSE_NO)});
  gtk_widget_destroy(fechar);
  EXPECT_EQ(console(), PARADO);
  EXPECT_TRUE(gtk_widget_get_visible(olpa_janela));
}

// The console keeps its last line in view while text comes, unless the
// learner scrolled up: then it stays where it was put.
TEST_F(Janela, ConsoleSegueOFimSeNinguemSubiu) {
  GtkAdjustment *r = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(olpa_campo_console));
  const auto no_fim = [r] {
    return gtk_adjustment_get_value(r) + gtk_adjustment_get_page_size(r) >=
           gtk_adjustment_get_upper(r) - 1;
  };
  // A flood of long lines, wrapped as they come, and an error: its last
  // line in view, though the error look lays the text out anew.
  rodar("#include <stdio.h>\n"
        "int main(void) {\n"
        "  int i;\n"
        "  for (i = 0; i < 20000; i++)\n"
        "    printf(\"%d: uma linha comprida o bastante para quebrar em duas ou três\\n\", i);\n"
        "  *(volatile int *)0 = 1;\n"
        "}\n");
  EXPECT_TRUE(olpa_console_em_erro());
  EXPECT_TRUE(ate(no_fim));
  comeca("#include <stdio.h>\n"
         "int main(void) {\n"
         "  int i;\n"
         "  for (i = 0; i < 60; i++) {\n"
         "    printf(\"linha %d\\n\", i);\n"
         "    espera(i == 30 ? 1000 : 0);\n"
         "  }\n"
         "}\n");
  ASSERT_TRUE(ate([] { return console().find("linha 30\n") != std::string::npos; }));
  EXPECT_TRUE(ate([&] { return no_fim() && gtk_adjustment_get_upper(r) > 300; }));
  GdkEvent *subir = gdk_event_new(GDK_SCROLL);
  subir->scroll.window = GDK_WINDOW(g_object_ref(
      gtk_text_view_get_window(GTK_TEXT_VIEW(olpa_campo_console), GTK_TEXT_WINDOW_TEXT)));
  subir->scroll.direction = GDK_SCROLL_UP;
  gdk_event_set_device(
      subir, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  for (int i = 0; i < 3; i++)
    gtk_main_do_event(subir);
  gdk_event_free(subir);
  ASSERT_TRUE(ate([&] { return !no_fim(); }));
  const double lido = gtk_adjustment_get_value(r);
  ASSERT_TRUE(ate([] { return console().find("linha 59\n") != std::string::npos; }));
  processa();
  EXPECT_NEAR(gtk_adjustment_get_value(r), lido, 2); // the scrolling may have had a step to go
  EXPECT_FALSE(no_fim());
}

} // namespace
