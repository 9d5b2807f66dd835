// SPDX-License-Identifier: GPL-3.0-or-later
// The run, clear and new actions: a run from the editor's text to the
// console and the picture shown, live while it lasts (the window never waits
// for a program: "Rodar" reads "Parar" meanwhile), the editor's error marks,
// and the clearing that "Limpar", "Novo" and a loaded file share.
#include "olpa.h"
#include "olpa_analise.h"
#include "olpa_console.h"

#include "olpagfx.h"
#include "olpaparser.h"

#include <cstdio>
#include <string>

namespace {

const char ROTULO_PARAR[] = "Parar";
const char DICA_PARAR[] = "Para o programa (Esc)";
// A run looks running ("Parar", the status line) once it has lasted this
// long, quicker than a person notices: most runs end sooner, and look
// exactly as when the window waited for them, with nothing flashing by.
constexpr guint APARENCIA_RODANDO_MS = 100;

bool rodando;                         // a run of the window's is in progress
guint aparencia;                      // the timer that gives it the running look, until then
bool aparenta_rodando;                // it has that look
std::string rotulo_rodar, dica_rodar; // the button as it is between runs
bool clique_repetido; // the button's last press was the second (or third) of a double click

gboolean prepara_proxima_execucao(gpointer) {
  parser_prepara();
  return G_SOURCE_REMOVE;
}

// The next run's child, forked once the window has painted this run's end:
// a fork holds the main loop long enough to delay a frame.
gulong depois_de_pintar;
void prepara_depois_de_pintar() {
  GdkFrameClock *relogio = gtk_widget_get_frame_clock(olpa_janela);
  if (!relogio) {
    g_idle_add(prepara_proxima_execucao, nullptr);
    return;
  }
  if (depois_de_pintar)
    return;
  auto pintou = [](GdkFrameClock *r, gpointer) {
    g_signal_handler_disconnect(r, depois_de_pintar);
    depois_de_pintar = 0;
    g_idle_add(prepara_proxima_execucao, nullptr);
  };
  depois_de_pintar = g_signal_connect(relogio, "after-paint", G_CALLBACK(+pintou), nullptr);
  gtk_widget_queue_draw(olpa_bt_executar); // a frame there will be
}

std::string codigo_rodado; // the text of the run in progress
bool parando;              // the learner is stopping it

// Of the run's console text, what the console already shows.
size_t console_entregue;
int console_trocado;

void mostra_console(const ParserResultado &r) {
  if (r.trocado != console_trocado) {
    console_trocado = r.trocado;
    olpa_console_substitui(r.texto.c_str());
  } else if (r.texto.size() > console_entregue) {
    olpa_console_acrescenta(r.texto.c_str() + console_entregue);
  }
  console_entregue = r.texto.size();
}

void poe_botao(const char *rotulo, const char *dica) {
  gtk_button_set_label(GTK_BUTTON(olpa_bt_executar), rotulo);
  gtk_widget_set_tooltip_text(olpa_bt_executar, dica);
}

// While a run is young the window is not painted: its first changes
// ("compilando") and its end then go to the screen in one frame, which GTK
// would otherwise hold back until a frame's time after the first.
GdkWindow *congelada;

void congela() {
  congelada = gtk_widget_get_window(olpa_janela);
  if (congelada)
    gdk_window_freeze_updates(congelada);
}

void descongela() {
  if (congelada)
    gdk_window_thaw_updates(congelada);
  congelada = nullptr;
}

gboolean aparenta(gpointer) {
  aparencia = 0;
  descongela();
  aparenta_rodando = true;
  if (!parser_pausado()) // paused already: the strip says where
    olpa_console_estado(OLPA_ESTADO_RODANDO);
  OlpaTexto dica(gtk_widget_get_tooltip_text(olpa_bt_executar));
  rotulo_rodar = gtk_button_get_label(GTK_BUTTON(olpa_bt_executar));
  dica_rodar = dica ? dica.get() : "";
  poe_botao(ROTULO_PARAR, DICA_PARAR);
  return G_SOURCE_REMOVE;
}

void ao_fim(const ParserResultado &r) {
  rodando = false;
  if (aparencia)
    g_source_remove(aparencia);
  aparencia = 0;
  olpa_console_termina();
  if (aparenta_rodando)
    poe_botao(rotulo_rodar.c_str(), dica_rodar.c_str());
  aparenta_rodando = false;
  prepara_depois_de_pintar();
  mostra_console(r);
  olpa_marcas_da_execucao(r);
  if (r.aparencia_de_erro)
    olpa_console_erro();
  if (r.sucesso) {
    const long tamanho = parser_tamanho_em_telas(r.caminho.c_str());
    printf("[tamanho] %s, %ld\n", r.caminho.c_str(), tamanho < 0 ? 0 : tamanho);
    fflush(stdout);
    olpa_mostra_imagem(r.figura);
  } else if (r.figura) { // stopped: what it drew until then
    olpa_mostra_imagem(r.figura);
  }
  olpa_tira_da_execucao(r);
  descongela();
}

void ao_resultado(const ParserResultado &r, ParserMomento momento, void *) {
  switch (momento) {
  case ParserMomento::Texto:
    mostra_console(r);
    break;
  case ParserMomento::Tela:
    olpa_mostra_imagem(r.quadro);
    break;
  case ParserMomento::Pausa:
    olpa_tira_pausa(r);
    break;
  case ParserMomento::Fim:
    // The analyser's warnings of this text before the final line; not when
    // the learner stopped the run.
    if (parando) {
      ao_fim(r);
      break;
    }
    olpa_analise_no_fim(codigo_rodado, r, ao_fim);
    if (rodando && r.sucesso) {
      // Still waiting: the picture does not wait with the final line.
      olpa_mostra_imagem(r.figura);
      descongela();
    }
    break;
  }
}

// A keyboard shortcut of the button (F5, Ctrl+R), rather than a click: it
// clicks the button while a key is being pressed.
bool por_atalho() {
  GdkEvent *evento = gtk_get_current_event();
  const bool tecla = evento && evento->type == GDK_KEY_PRESS;
  if (evento)
    gdk_event_free(evento);
  return tecla;
}

// A double click on the button is one press: its second click would stop
// the run its first one started (or start again the one it stopped).
gboolean ao_pressionar(GtkWidget *, GdkEventButton *evento, gpointer) {
  clique_repetido = evento->type == GDK_2BUTTON_PRESS || evento->type == GDK_3BUTTON_PRESS;
  return FALSE;
}

bool segundo_clique() {
  GdkEvent *evento = gtk_get_current_event();
  const bool repetido = evento && evento->type == GDK_BUTTON_RELEASE && clique_repetido;
  if (evento)
    gdk_event_free(evento);
  return repetido;
}

gboolean ao_apertar(GtkWidget *, GdkEventKey *evento, gpointer) {
  const guint modificadores = evento->state & gtk_accelerator_get_default_mod_mask();
  if (!rodando || evento->keyval != GDK_KEY_Escape || modificadores != 0)
    return FALSE;
  olpa_para_execucao();
  return TRUE;
}

} // namespace

void olpa_mostra_imagem(const unsigned char *argb) {
  if (argb)
    olpa_vista_mostra(argb);
  else
    gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), OLPA_IMAGEM_INICIAL);
}

void olpa_liga_execucoes(void) {
  olpa_console_liga();
  // After the widget with the focus: Esc closes the editor's completion first.
  g_signal_connect_after(olpa_janela, "key-press-event", G_CALLBACK(ao_apertar), nullptr);
  g_signal_connect(olpa_bt_executar, "button-press-event", G_CALLBACK(ao_pressionar), nullptr);
  olpa_vista_prepara();
  g_idle_add(prepara_proxima_execucao, nullptr);
}

bool olpa_rodando(void) {
  return rodando;
}

void olpa_para_execucao(void) {
  // The end is told before this returns: it does not wait for the analysis.
  olpa_analise_conclui_fim();
  parando = true;
  if (rodando)
    parser_interrompe();
  parando = false;
}

const char *olpa_copia_codigo(void) {
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(olpa_campo_codigo_buffer, &inicio, &fim);
  olpa_codigo_texto.reset(gtk_text_buffer_get_text(olpa_campo_codigo_buffer, &inicio, &fim, FALSE));
  return olpa_codigo_texto.get();
}

void olpa_botao_executar(GtkWidget *, gpointer) {
  if (segundo_clique())
    return;
  if (rodando) {
    // "Parar"; its shortcuts stop and start the editor's text again.
    const bool de_novo = por_atalho();
    olpa_para_execucao();
    if (!de_novo)
      return;
  }
  olpa_console_normal();
  olpa_limpa_marcas();
  // The run's own console text begins it ("[olpa] compilando").
  gtk_text_buffer_set_text(olpa_campo_console_buffer, "", -1);
  olpa_codigo_fonte(olpa_copia_codigo());
}

void olpa_codigo_fonte(const char *codigo) {
  olpa_para_execucao();
  codigo_rodado = codigo;
  olpa_analise_do_codigo(codigo_rodado);
  rodando = true;
  descongela();
  congela();
  olpa_console_comeca();
  console_entregue = 0;
  console_trocado = 0;
  aparencia = g_timeout_add(APARENCIA_RODANDO_MS, aparenta, nullptr);
  olpa_tira_comeca();
  parser_comeca(codigo, ao_resultado);
}

void olpa_limpa_tela_e_console(GtkWidget *, gpointer) {
  olpa_para_execucao();
  gtk_text_buffer_set_text(olpa_campo_console_buffer, OLPA_CONSOLE_INICIAL, -1);
  gtk_image_set_from_file(GTK_IMAGE(olpa_imagem), OLPA_IMAGEM_INICIAL);
  olpa_console_normal();
  olpa_limpa_marcas();
  olpa_tira_limpa();
  if (olpa_tamanho_arquivo(OLPA_ARQUIVO_PADRAO) >= 1)
    remove(OLPA_ARQUIVO_PADRAO);
  olpa_defs();
}

void olpa_limpa_codigo_e_console(void) {
  gtk_text_buffer_set_text(olpa_campo_codigo_buffer, OLPA_TEXTO_INICIAL, -1);
  gtk_text_buffer_set_modified(olpa_campo_codigo_buffer, FALSE);
  olpa_limpa_tela_e_console(nullptr, nullptr);
}

void olpa_confirma_limpar(GtkWidget *, gpointer janela) {
  olpa_para_execucao();
  if (olpa_pergunta(GTK_WINDOW(janela), OLPA_PERGUNTA_ABANDONAR))
    olpa_limpa_codigo_e_console();
}

// ---------------------------------------------------------------- helpers

int olpa_tamanho_arquivo(const char *caminho) {
  // Regular files only: opening a pipe to measure it would block the window.
  return olpa_gfx_tamanho_arquivo(caminho);
}

char *olpa_utf8(const char *texto) {
  return g_convert(texto, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
}
