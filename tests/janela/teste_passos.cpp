// SPDX-License-Identifier: GPL-3.0-or-later
// The strip of steps under the picture: after a run its slider goes over
// every call (drag, arrows, Home, End), showing the canvas right after it,
// the pen and the call's line; a click on the picture goes to the call that
// painted that point; Pausar (F6), Passo (F7) and Continuar during a run,
// the time paused counting towards no limit; Parar names where it stopped.
#include "janela.h"

#include "olpa_execucao.h"
#include "olpa_layout.h"
#include "olpa_teste.h"
#include "olpa_tira.h"
#include "olpaparser.h"

namespace {

const char DESENHO[] = "int main(void) {\n"
                       "  inicia();\n"                  // passo 1
                       "  cor(255, 0, 0);\n"            // 2
                       "  traco(5);\n"                  // 3
                       "  linha(100, 100, 300, 100);\n" // 4
                       "  cor(0, 0, 255);\n"            // 5
                       "  linha(100, 200, 300, 200);\n" // 6
                       "  anda_ate(50, 60);\n"          // 7
                       "  termina();\n"                 // 8
                       "  return 0;\n"
                       "}\n";
constexpr uint32_t VERMELHO = 0xffff0000u, AZUL = 0xff0000ffu, PRETO = 0xff000000u,
                   VERDE = 0xff00ff00u;

// Green columns, one a call of linha, each followed by a short espera.
const char COLUNAS[] = "int main(void) {\n"
                       "  int i = 0;\n"
                       "  inicia();\n"
                       "  cor(0, 255, 0);\n"
                       "  for (;;) {\n"
                       "    linha(i % 640, 0, i % 640, 479);\n"
                       "    espera(10);\n"
                       "    i++;\n"
                       "  }\n"
                       "}\n";

// Two columns a frame, one call each.
const char PARES[] = "int main(void) {\n"
                     "  int i;\n"
                     "  inicia();\n"
                     "  cor(0, 255, 0);\n"
                     "  for (i = 0;; i = (i + 2) % 640) {\n"
                     "    espera(10);\n"
                     "    linha(i, 0, i, 479);\n"
                     "    linha(i + 1, 0, i + 1, 479);\n"
                     "  }\n"
                     "}\n";

// One red column, then frames that draw nothing.
const char UMA_COLUNA[] = "int main(void) {\n"
                          "  inicia();\n"
                          "  cor(255, 0, 0);\n"
                          "  linha(0, 0, 0, 479);\n"
                          "  for (;;)\n"
                          "    espera(10);\n"
                          "}\n";

// `feito` waited for, and then what it brought (the line highlighted once
// the window is idle).
void espera(const std::function<bool()> &feito) {
  ate(feito);
  while (gtk_events_pending())
    gtk_main_iteration();
}

std::string texto() {
  return gtk_label_get_text(GTK_LABEL(ui->olpa_tira.texto));
}

// The slider moved to `passo`, and what that brought (a run paused goes on
// standing).
void vai(uint32_t passo) {
  gtk_range_set_value(GTK_RANGE(ui->olpa_tira.barra), passo);
  while (gtk_events_pending())
    gtk_main_iteration();
}

bool comeca_com(const std::string &texto, const std::string &comeco) {
  return texto.compare(0, comeco.size(), comeco) == 0;
}

GtkWidget *area_da_figura() {
  return gtk_widget_get_parent(ui->olpa_imagem);
}

// "Rodar" with `codigo`, and the run under way until its canvas shows.
void comeca_colunas() {
  poe(COLUNAS);
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  ASSERT_TRUE(olpa_rodando());
  espera([] { return na_imagem(0, 240) == VERDE; });
}

// The step it stands paused before, once it does (0 when it does not).
uint32_t pausado() {
  const std::string t = texto();
  return comeca_com(t, "pausado antes do passo ")
             ? static_cast<uint32_t>(std::stoul(t.substr(sizeof "pausado antes do passo " - 1)))
             : 0;
}

TEST_F(Janela, PassosDepoisDeRodar) {
  EXPECT_FALSE(gtk_widget_get_sensitive(ui->olpa_tira.barra));
  rodar(DESENHO);
  ASSERT_EQ(console(), "[olpa] compilando\n[olpa] sucesso!\n");
  // At its end: the run's own picture, no pen, no line.
  EXPECT_EQ(texto(), "passo 8 de 8 · linha 9: termina()");
  EXPECT_EQ(olpa_tira_passo_mostrado(), 8u);
  EXPECT_TRUE(gtk_widget_get_sensitive(ui->olpa_tira.barra));
  EXPECT_FALSE(gtk_widget_get_sensitive(ui->olpa_tira.pausar));
  EXPECT_EQ(olpa_tira_linha(), 0);
  EXPECT_TRUE(mostra("../telas/imagem.png"));

  vai(4);
  EXPECT_EQ(texto(), "passo 4 de 8 · linha 5: linha(100, 100, 300, 100)");
  EXPECT_EQ(na_imagem(200, 100), VERMELHO);
  EXPECT_EQ(na_imagem(200, 200), PRETO) << "the blue line is drawn later";
  EXPECT_EQ(olpa_tira_linha(), 5);
  double x, y;
  ASSERT_TRUE(olpa_tira_caneta(&x, &y));
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(300.0, 100.0));
  vai(6);
  EXPECT_EQ(na_imagem(200, 200), AZUL);
  EXPECT_EQ(olpa_tira_linha(), 7);

  // The pen's mark on screen, not in the picture.
  vai(7);
  ASSERT_TRUE(olpa_tira_caneta(&x, &y));
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(50.0, 60.0));
  EXPECT_NE(na_tela(ui->olpa_imagem).em(57, 60) & 0xffffff, 0u) << "no mark at the pen";
  EXPECT_EQ(na_imagem(57, 60), PRETO);

  // The keyboard on the slider.
  gtk_widget_grab_focus(ui->olpa_tira.barra);
  aperta(GDK_KEY_Home);
  EXPECT_EQ(olpa_tira_passo_mostrado(), 0u);
  EXPECT_EQ(texto(), "passo 0 de 8: o começo, antes da primeira chamada");
  EXPECT_TRUE(mostra(INICIAL)) << "no canvas before inicia()";
  EXPECT_FALSE(olpa_tira_caneta(&x, &y));
  aperta(GDK_KEY_Right);
  EXPECT_EQ(texto(), "passo 1 de 8 · linha 2: inicia()");
  EXPECT_EQ(na_imagem(200, 100), PRETO);
  aperta(GDK_KEY_End);
  EXPECT_EQ(olpa_tira_passo_mostrado(), 8u);
  EXPECT_TRUE(mostra("../telas/imagem.png")) << "step 8, replayed, is the run's picture";

  // Limpar: no steps.
  clica(ui->olpa_bt_limpar);
  EXPECT_FALSE(gtk_widget_get_sensitive(ui->olpa_tira.barra));
  EXPECT_EQ(olpa_tira_linha(), 0);
  EXPECT_FALSE(olpa_tira_caneta(&x, &y));
}

// A click on the picture goes to the call that last painted that point;
// the mouse over it shows where it is.
TEST_F(Janela, CliqueNaFiguraVaiALinha) {
  rodar(DESENHO);
  GdkWindow *janela = gtk_widget_get_window(area_da_figura());
  botao_do_mouse(area_da_figura(), janela, GDK_BUTTON_PRESS, 1, 200.5, 201.5);
  processa();
  EXPECT_EQ(olpa_tira_passo_mostrado(), 6u);
  EXPECT_EQ(texto(), "passo 6 de 8 · linha 7: linha(100, 200, 300, 200)");
  EXPECT_EQ(olpa_tira_linha(), 7);
  botao_do_mouse(area_da_figura(), janela, GDK_BUTTON_PRESS, 1, 150, 99);
  processa();
  EXPECT_EQ(olpa_tira_linha(), 5);
  botao_do_mouse(area_da_figura(), janela, GDK_BUTTON_PRESS, 1, 600, 400); // black: inicia's
  processa();
  EXPECT_EQ(olpa_tira_passo_mostrado(), 1u);
  EXPECT_EQ(olpa_tira_linha(), 2);

  GdkEvent *e = gdk_event_new(GDK_MOTION_NOTIFY);
  e->motion.window = GDK_WINDOW(g_object_ref(janela));
  e->motion.x = 312.7;
  e->motion.y = 95.2;
  gdk_event_set_device(
      e, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_widget_event(area_da_figura(), e);
  gdk_event_free(e);
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ui->olpa_tira.coordenadas)), "x 312, y 95");
}

// Pausar stops the program before a call and shows the steps so far; Passo
// lets one more call run; Continuar goes on; Parar names where it stood.
TEST_F(Janela, PausarPassoEContinuar) {
  comeca_colunas();
  EXPECT_TRUE(gtk_widget_get_sensitive(ui->olpa_tira.pausar));
  tecla(GDK_KEY_F6);
  espera([] { return pausado() > 0; });
  const uint32_t k = pausado();
  ASSERT_GE(k, 4u); // inicia, cor, a column at least
  // Before a linha (line 6) or an espera (line 7), and so the console says.
  const int linha = k % 2 == 1 ? 6 : 7;
  EXPECT_EQ(olpa_tira_linha(), linha);
  EXPECT_NE(console().find("[olpa] pausado antes da linha " + std::to_string(linha) + ": " +
                           (linha == 6 ? "linha(" : "espera(10)")),
            std::string::npos)
      << console();
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(ui->olpa_tira.pausar)), "Continuar");
  EXPECT_EQ(olpa_tira_passo_mostrado(), k);
  // The steps so far: the first column is the third step's.
  vai(2);
  EXPECT_EQ(texto(), "passo 2 de " + std::to_string(k - 1) + " · linha 4: cor(0, 255, 0)");
  EXPECT_EQ(na_imagem(0, 240), PRETO);
  vai(3);
  EXPECT_EQ(na_imagem(0, 240), VERDE);
  EXPECT_EQ(na_imagem(1, 240), PRETO);

  // Passo: one call more, paused again.
  tecla(GDK_KEY_F7);
  espera([k] { return pausado() == k + 1; });
  EXPECT_EQ(olpa_tira_linha(), linha == 6 ? 7 : 6);
  gtk_button_clicked(GTK_BUTTON(ui->olpa_tira.passo));
  espera([k] { return pausado() == k + 2; });

  // Continuar, then Pausar again, then Parar.
  tecla(GDK_KEY_F6);
  espera([] { return comeca_com(texto(), "rodando"); });
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(ui->olpa_tira.pausar)), "Pausar");
  EXPECT_TRUE(olpa_rodando());
  gtk_button_clicked(GTK_BUTTON(ui->olpa_tira.pausar));
  espera([k] { return pausado() > k + 2; });
  const uint32_t ultimo = pausado();
  const int onde = olpa_tira_linha();
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar)); // "Parar"
  EXPECT_FALSE(olpa_rodando());
  EXPECT_EQ(console(), "[olpa] compilando\n[olpa] programa interrompido na linha " +
                           std::to_string(onde) + ".\n");
  // The call it stood before never ran: the steps end before it.
  const std::string n = std::to_string(ultimo - 1);
  EXPECT_TRUE(comeca_com(texto(), "passo " + n + " de " + n + " · linha ")) << texto();
  EXPECT_EQ(olpa_tira_passo_mostrado(), ultimo - 1);
  EXPECT_FALSE(gtk_widget_get_sensitive(ui->olpa_tira.pausar));
  EXPECT_EQ(na_imagem(0, 240), VERDE) << "the canvas as drawn stays";
}

// A step the slider stands on stays in view while paused: what the program
// drew just before it paused (two calls let run at once, the second
// before the canvas of the first is old) never shows over it. Continuar
// brings the live canvas back, though the program draws nothing more.
TEST_F(Janela, OPassoEscolhidoFicaAteContinuar) {
  poe(PARES);
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  espera([] { return na_imagem(0, 240) == VERDE; });
  tecla(GDK_KEY_F6);
  espera([] { return pausado() > 0; });
  // On to the first linha of a frame.
  for (int i = 0; i < 3 && olpa_tira_linha() != 7; i++) {
    const uint32_t k = pausado();
    tecla(GDK_KEY_F7);
    espera([k] { return pausado() == k + 1; });
  }
  ASSERT_EQ(olpa_tira_linha(), 7) << texto();
  const uint32_t k = pausado();
  const std::string antes = texto();
  const int x = std::stoi(antes.substr(antes.find("linha(") + 6));
  tecla(GDK_KEY_F7);
  espera([k] { return pausado() == k + 1; });
  tecla(GDK_KEY_F7);
  espera([k] { return pausado() == k + 2; });
  EXPECT_EQ(na_imagem(x + 1, 240), VERDE);
  vai(k - 1); // before both columns
  aguarda(300);
  EXPECT_EQ(na_imagem(x, 240), PRETO) << "a live frame over the step shown";
  EXPECT_EQ(na_imagem(x + 1, 240), PRETO) << "a live frame over the step shown";
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar)); // "Parar"
  EXPECT_FALSE(olpa_rodando());

  poe(UMA_COLUNA);
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  espera([] { return na_imagem(0, 240) == VERMELHO; });
  tecla(GDK_KEY_F6);
  espera([] { return pausado() > 3; });
  vai(2);
  EXPECT_EQ(na_imagem(0, 240), PRETO);
  tecla(GDK_KEY_F6);                                    // Continuar
  espera([] { return na_imagem(0, 240) == VERMELHO; }); // the live canvas after Continuar
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  EXPECT_FALSE(olpa_rodando());
}

// Time paused counts towards no limit: paused well past the idle limit
// (three times the time limit), the program goes on when asked.
TEST_F(Janela, PausadoNaoContaNoTempo) {
  parser_define_tempo_limite(0.3);
  comeca_colunas();
  gtk_button_clicked(GTK_BUTTON(ui->olpa_tira.pausar));
  espera([] { return pausado() > 0; });
  aguarda(1500);
  EXPECT_TRUE(olpa_rodando()) << console();
  EXPECT_EQ(console().find("[erro]"), std::string::npos) << console();
  gtk_button_clicked(GTK_BUTTON(ui->olpa_tira.pausar)); // Continuar
  aguarda(100);
  EXPECT_TRUE(olpa_rodando()) << console();
  gtk_button_clicked(GTK_BUTTON(ui->olpa_bt_executar));
  parser_define_tempo_limite(10);
  EXPECT_FALSE(olpa_rodando());
}

} // namespace
