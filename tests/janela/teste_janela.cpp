// SPDX-License-Identifier: GPL-3.0-or-later
// The window under a virtual display: how it starts, its console looks on
// screen, one pass through Rodar, Limpar and Novo, each shortcut, and a
// soak that runs cases through the button expecting what the case runner
// expects (OLPA_SOAK_EXECUCOES runs, 10 by default: each case, one time-out).
#include "janela.h"

#include "olpa_layout.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <glib/gstdio.h>
#include <sys/stat.h>

namespace {

TEST_F(Janela, ComoComeca) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(olpa_janela)), OLPA_TITULO);
  const int bt = (OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5;
  GtkWidget *botoes[] = {olpa_bt_novo, olpa_bt_abrir, olpa_bt_salvar, olpa_bt_executar,
                         olpa_bt_limpar};
  const char *rotulos[] = {"Novo", "Abrir", "Salvar", "Rodar", "Limpar"};
  std::vector<std::tuple<GtkWidget *, int, int, int, int>> esperados = {
      {olpa_campo_codigo_container, 0, OLPA_EDITOR_Y, OLPA_COLUNA_LARGURA, OLPA_EDITOR_ALTURA},
      {olpa_campo_console_container, 0, OLPA_CONSOLE_Y, OLPA_COLUNA_LARGURA, OLPA_CONSOLE_ALTURA},
      {olpa_imagem, OLPA_IMAGEM_X, 0, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA}};
  for (int i = 0; i < 5; i++) {
    esperados.emplace_back(botoes[i], i * (bt + OLPA_ESPACO), 0, bt, OLPA_BT_ALTURA);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(botoes[i])), rotulos[i]);
  }
  for (const auto &[w, x, y, largura, altura] : esperados) {
    int wx, wy;
    gtk_widget_translate_coordinates(w, olpa_layout, 0, 0, &wx, &wy);
    EXPECT_EQ(std::make_tuple(wx, wy, gtk_widget_get_allocated_width(w),
                              gtk_widget_get_allocated_height(w)),
              std::make_tuple(x, y, largura, altura));
  }
  EXPECT_EQ(editor(), OLPA_TEXTO_INICIAL);
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(olpa_campo_console)));
  EXPECT_TRUE(mostra(INICIAL));
  GList *icones = gtk_window_get_default_icon_list();
  EXPECT_EQ(g_list_length(icones), 5u);
  g_list_free(icones);
}

TEST_F(Janela, ConsoleBrancoNoPretoEVermelhoNoErro) {
  for (bool erro : {false, true, false}) {
    erro ? olpa_console_erro() : olpa_console_normal();
    EXPECT_EQ(fundo_do_console(), erro ? 0xff0000u : 0u);
    const Imagem im = na_tela(olpa_campo_console);
    EXPECT_GT(std::count(im.pixels.begin(), im.pixels.begin() + 18 * im.largura, 0xffffffffu), 20)
        << "the first line's text is white";
  }
}

TEST_F(Janela, Rodar) {
  rodar(le_arquivo(CASOS + "linha_vermelha.olp"));
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  EXPECT_EQ(na_tela(olpa_imagem).em(320, 240), 0xffff0000u);
  rodar("int main(void) { return 0; }"); // draws nothing: the start picture, never the last one
  EXPECT_TRUE(mostra(INICIAL));
  const std::string errado = le_arquivo(CASOS + "erro_de_compilacao.olp");
  rodar(errado);
  EXPECT_EQ(fundo_do_console(), 0xff0000u);
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_EQ(olpa_linhas_marcadas(), 1);
  EXPECT_EQ(editor(), errado);
  rodar("int main(void) { return 0; }");
  EXPECT_FALSE(olpa_console_em_erro());
  EXPECT_EQ(olpa_linhas_marcadas(), 0);
}

TEST_F(Janela, LimparVoltaAosPadroes) {
  rodar("int main(void) { inicia_arquivo(\"outra.png\"); grava_tela(\"outra.png\"); }");
  escreve_arquivo("../telas/imagem.png", le_arquivo("../telas/outra.png"));
  clica(olpa_bt_limpar);
  EXPECT_EQ(console(), OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_FALSE(existe("../telas/imagem.png"));
  EXPECT_TRUE(existe("../telas/outra.png"));
  rodar("int main(void) { inicia(); termina(); }"); // saving to imagem.png again
  EXPECT_TRUE(mostra("../telas/imagem.png"));
}

TEST_F(Janela, NovoPerguntaAntes) {
  rodar("int main(void) { inicia(); termina(); }");
  for (int resposta : {GTK_RESPONSE_NO, GTK_RESPONSE_DELETE_EVENT})
    clica(olpa_bt_novo, {novo(resposta)});
  EXPECT_EQ(editor(), "int main(void) { inicia(); termina(); }");
  EXPECT_TRUE(mostra("../telas/imagem.png"));
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_YES)});
  EXPECT_EQ(editor() + console(), std::string(OLPA_TEXTO_INICIAL) + OLPA_CONSOLE_INICIAL);
  EXPECT_TRUE(mostra(INICIAL));
  EXPECT_FALSE(existe("../telas/imagem.png"));
}

// Each accelerator presses its button once (its dialog then cancelled);
// plain letters press nothing.
TEST_F(Janela, AtalhosApertamOsBotoes) {
  struct {
    guint tecla;
    int mods;
    GtkWidget *botao;
  } atalhos[] = {{GDK_KEY_F5, 0, olpa_bt_executar},
                 {GDK_KEY_r, GDK_CONTROL_MASK, olpa_bt_executar},
                 {GDK_KEY_s, GDK_CONTROL_MASK, olpa_bt_salvar},
                 {GDK_KEY_o, GDK_CONTROL_MASK, olpa_bt_abrir},
                 {GDK_KEY_n, GDK_CONTROL_MASK, olpa_bt_novo},
                 {GDK_KEY_r, 0, nullptr}};
  static std::vector<GtkWidget *> clicados;
  void (*conta)(GtkWidget *) = [](GtkWidget *b) { clicados.push_back(b); };
  GtkWidget *botoes[] = {olpa_bt_novo, olpa_bt_abrir, olpa_bt_salvar, olpa_bt_executar};
  for (GtkWidget *b : botoes)
    g_signal_connect(b, "clicked", G_CALLBACK(conta), nullptr);
  for (const auto &a : atalhos) {
    clicados.clear();
    com_respostas(
        {responde(GTK_RESPONSE_CANCEL)},
        [&a] { aperta(a.tecla, static_cast<GdkModifierType>(a.mods)); }, false);
    EXPECT_EQ(clicados, a.botao ? std::vector<GtkWidget *>{a.botao} : std::vector<GtkWidget *>{})
        << a.tecla;
  }
  for (GtkWidget *b : botoes)
    g_signal_handlers_disconnect_matched(b, G_SIGNAL_MATCH_FUNC, 0, 0, 0, (gpointer)conta, 0);
}

// Programs that go for the window itself: it lives on, the unsaved code in
// the editor intact, and the next program draws.
TEST_F(Janela, ProgramasHostisNaoAlcancamAJanela) {
  for (const char *caso : {"hostil_mata_pai", "hostil_congela_pai", "hostil_evento_falso_fim",
                           "hostil_memoria_da_janela"}) {
    SCOPED_TRACE(caso);
    const std::string programa = le_arquivo(CASOS + caso + ".olp");
    const std::string esperado = le_arquivo(CASOS + caso + ".console");
    rodar(programa);
    EXPECT_EQ(console(), esperado.substr(0, esperado.find("#= ")));
    EXPECT_EQ(editor(), programa);
    rodar(le_arquivo(CASOS + "linha_vermelha.olp"));
    EXPECT_EQ(na_tela(olpa_imagem).em(320, 240), 0xffff0000u);
  }
}

// What is at a picture path is never trusted: a pipe must not hang the
// window, a picture of another size is not decoded.
TEST_F(Janela, FiguraEstranhaNoCaminhoNaoTravaNemEDecodificada) {
  ASSERT_EQ(mkfifo("../telas/imagem.png", 0644), 0);
  rodar("int main(void) { inicia(); termina(); }");
  EXPECT_TRUE(olpa_console_em_erro());
  clica(olpa_bt_limpar);
  clica(olpa_bt_executar);
  clica(olpa_bt_novo, {novo(GTK_RESPONSE_YES)});
  EXPECT_TRUE(mostra(INICIAL));
  GStatBuf info;
  EXPECT_TRUE(g_stat("../telas/imagem.png", &info) == 0 && S_ISFIFO(info.st_mode))
      << "only regular files are removed";
  g_remove("../telas/imagem.png");

  OlpaSurface outra(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 641, 480));
  ASSERT_EQ(cairo_surface_write_to_png(outra.get(), "../telas/grande.png"), CAIRO_STATUS_SUCCESS);
  rodar("int main(void) { inicia_arquivo(\"grande.png\"); termina(); }");
  EXPECT_TRUE(g_str_has_suffix(console().c_str(), "[olpa] sucesso!\n"));
  // It wrote nothing there: the view shows its canvas, not the file.
  EXPECT_EQ(na_tela(olpa_imagem).em(320, 240), 0xff000000u);
  const OlpaObjeto<GdkPixbuf> vista(olpa_vista_pixbuf());
  ASSERT_TRUE(vista);
  EXPECT_EQ(gdk_pixbuf_get_width(vista.get()), 640);
  g_remove("../telas/grande.png");
}

// Cases run through the button: the window shows what the case runner
// expects, run after run, in a fixed pseudo-random order.
TEST_F(Janela, Resistencia) {
  const char *casos[] = {"linha_vermelha", "composicao", "erro_de_compilacao",
                         "queda_depois_de_texto", "tempo_limite_no_meio_da_linha"};
  const char *pedido = getenv("OLPA_SOAK_EXECUCOES");
  parser_define_tempo_limite(1); // as that case: a loaded machine stops no good program
  unsigned sorteio = 199983, erros = 0;
  for (int i = 0; i < (pedido ? atoi(pedido) : 10) && erros < 3; i++) {
    sorteio = sorteio * 1103515245u + 12345u;
    const std::string caso = CASOS + casos[(sorteio >> 16) % 5];
    const std::string esperado = le_arquivo(caso + ".console");
    const bool erro = esperado.find(", console de erro\n") != std::string::npos;
    rodar(le_arquivo(caso + ".olp"));
    erros += console() != esperado.substr(0, esperado.find("#= ")) ||
             olpa_console_em_erro() != erro || !mostra(erro ? INICIAL : caso + ".png");
    EXPECT_EQ(erros, 0u) << "execução " << i << ", " << caso << ": console\n" << console();
  }
}

} // namespace
