// SPDX-License-Identifier: GPL-3.0-or-later
// A run in the window (see olpa_execucao.h): started from the editor's
// text, heard through the run's one result by every part that shows it
// (one table), given a running look once it lasts, and stopped by "Parar"
// or Esc.
#include "olpa_execucao.h"

#include "olpa.h"
#include "olpa_analise.h"
#include "olpa_console.h"
#include "olpa_marcas.h"
#include "olpa_tira.h"
#include "olpa_vista.h"
#include "olpaparser.h"

#include <string>

namespace {

// Who follows the window's runs, in this order: each hears a run begin, then
// its one result as it goes (text, frames) and once it ended. A new listener
// is a line here.
struct Ouvinte {
  void (*comeca)(void);
  void (*ouve)(const ParserResultado &resultado, ParserMomento momento);
};
const Ouvinte OUVINTES[] = {
    {olpa_console_comeca, olpa_console_ouve}, // the text, the status line, the look
    {olpa_limpa_marcas, olpa_marcas_ouve},    // the editor's marks
    {nullptr, olpa_vista_ouve},               // the canvas as it goes, the picture at the end
    {olpa_tira_comeca, olpa_tira_ouve},       // the steps, while paused and at the end
};

const char ROTULO_PARAR[] = "Parar";
const char DICA_PARAR[] = "Para o programa (Esc)";
// A run looks running ("Parar", the status line) once it has lasted this
// long, quicker than a person notices: most runs end sooner, and look
// exactly as when the window waited for them, with nothing flashing by.
constexpr guint APARENCIA_RODANDO_MS = 100;

GtkWidget *janela;                    // the main window
GtkWidget *botao;                     // "Rodar"
bool rodando;                         // a run of the window's is in progress
guint aparencia;                      // the timer that gives it the running look, until then
bool aparenta_rodando;                // it has that look
std::string rotulo_rodar, dica_rodar; // the button as it is between runs
bool clique_repetido;      // the button's last press was the second (or third) of a double click
std::string codigo_rodado; // the text of the run in progress
bool parando;              // the learner is stopping it

gboolean prepara_proxima_execucao(gpointer) {
  parser_prepara();
  return G_SOURCE_REMOVE;
}

// The next run's child, forked once the window has painted this run's end:
// a fork holds the main loop long enough to delay a frame.
gulong depois_de_pintar;
void prepara_depois_de_pintar() {
  GdkFrameClock *relogio = gtk_widget_get_frame_clock(janela);
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
  gtk_widget_queue_draw(botao); // a frame there will be
}

void poe_botao(const char *rotulo, const char *dica) {
  gtk_button_set_label(GTK_BUTTON(botao), rotulo);
  gtk_widget_set_tooltip_text(botao, dica);
}

// While a run is young the window is not painted: its first changes
// ("compilando") and its end then go to the screen in one frame, which GTK
// would otherwise hold back until a frame's time after the first.
GdkWindow *congelada;

void congela() {
  congelada = gtk_widget_get_window(janela);
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
  OlpaTexto dica(gtk_widget_get_tooltip_text(botao));
  rotulo_rodar = gtk_button_get_label(GTK_BUTTON(botao));
  dica_rodar = dica ? dica.get() : "";
  poe_botao(ROTULO_PARAR, DICA_PARAR);
  return G_SOURCE_REMOVE;
}

// The run ended: no running look any more.
void termina() {
  rodando = false;
  if (aparencia)
    g_source_remove(aparencia);
  aparencia = 0;
  if (aparenta_rodando)
    poe_botao(rotulo_rodar.c_str(), dica_rodar.c_str());
  aparenta_rodando = false;
}

// The run's end as everyone hears it.
void fim(const ParserResultado &r) {
  termina();
  for (const Ouvinte &o : OUVINTES)
    o.ouve(r, ParserMomento::Fim);
  prepara_depois_de_pintar();
  descongela();
}

void ao_resultado(const ParserResultado &r, ParserMomento momento, void *) {
  if (momento != ParserMomento::Fim) {
    for (const Ouvinte &o : OUVINTES)
      o.ouve(r, momento);
    return;
  }
  // The analyser's warnings of this text before the final line; not when
  // the learner stopped the run.
  if (parando) {
    fim(r);
    return;
  }
  olpa_analise_no_fim(codigo_rodado, r, fim);
  if (rodando && r.sucesso) {
    // Still waiting: the picture does not wait with the final line.
    olpa_mostra_imagem(r.figura);
    descongela();
  }
}

// A double click on the button is one press: its second click would stop
// the run its first one started (or start again the one it stopped).
gboolean ao_pressionar(GtkWidget *, GdkEventButton *evento, gpointer) {
  clique_repetido = evento->type == GDK_2BUTTON_PRESS || evento->type == GDK_3BUTTON_PRESS;
  return FALSE;
}

gboolean ao_apertar(GtkWidget *, GdkEventKey *evento, gpointer) {
  const guint modificadores = evento->state & gtk_accelerator_get_default_mod_mask();
  if (!rodando || evento->keyval != GDK_KEY_Escape || modificadores != 0)
    return FALSE;
  olpa_para_execucao();
  return TRUE;
}

} // namespace

void olpa_execucao_liga(Olpa &j) {
  janela = j.ui.olpa_janela;
  botao = j.ui.olpa_bt_executar;
  // After the widget with the focus: Esc closes the editor's completion first.
  g_signal_connect_after(janela, "key-press-event", G_CALLBACK(ao_apertar), nullptr);
  g_signal_connect(botao, "button-press-event", G_CALLBACK(ao_pressionar), nullptr);
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

bool olpa_execucao_por_atalho(void) {
  GdkEvent *evento = gtk_get_current_event();
  const bool tecla = evento && evento->type == GDK_KEY_PRESS;
  if (evento)
    gdk_event_free(evento);
  return tecla;
}

bool olpa_execucao_clique_repetido(void) {
  GdkEvent *evento = gtk_get_current_event();
  const bool repetido = evento && evento->type == GDK_BUTTON_RELEASE && clique_repetido;
  if (evento)
    gdk_event_free(evento);
  return repetido;
}

void olpa_codigo_fonte(const char *codigo) {
  olpa_para_execucao();
  codigo_rodado = codigo;
  olpa_analise_do_codigo(codigo_rodado);
  rodando = true;
  descongela();
  congela();
  for (const Ouvinte &o : OUVINTES)
    if (o.comeca)
      o.comeca();
  aparencia = g_timeout_add(APARENCIA_RODANDO_MS, aparenta, nullptr);
  parser_comeca(codigo, ao_resultado);
}
