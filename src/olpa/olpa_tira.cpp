// SPDX-License-Identifier: GPL-3.0-or-later
// The strip of steps under the picture: a slider over every call a run made
// of a learner function, with the step's line of text ("passo 12 de 340 ·
// linha 17: linha(0, 0, 320, 240)"). Moving it shows the canvas right after
// that call (replayed by the drawing library itself, pixel for pixel), the
// pen on it and the call's line in the editor. A click on the picture goes
// to the call that last painted that point; the mouse over it shows where
// it is, in the canvas's own numbers. During a run, Pausar (F6) stops the
// program before its next call and Passo (F7) lets one more call run; the
// strip then follows the run as far as it got. What the picture does for
// it (the pen's mark, a click, the mouse over it) is olpa_tira_figura.cpp's.
#include "olpa_tira.h"

#include "olpa.h"
#include "olpa_console.h"
#include "olpa_execucao.h"
#include "olpa_layout.h"
#include "olpa_teste.h"
#include "olpa_vista.h"

#include "olpa_passos.h"
#include "olpa_registro.h"
#include "olpaparser.h"

#include <cmath>

#include <malloc.h>

namespace {

OlpaTiraUI *tira;  // the strip's widgets, in the window's OlpaUI
GtkWidget *editor; // the editor, its text and the picture
GtkTextBuffer *codigo;
GtkWidget *imagem;

constexpr char MARCA_PASSO[] = "passo";
guint destaque; // the line's highlight waiting for the window to be idle
const GdkRGBA FUNDO_DO_PASSO = {0.78, 0.88, 1.0, 1.0};
// The window replays the record a slice at a time while it is idle.
constexpr double FATIA_MS = 8;
// A pause this far past what was replayed shows the run's canvas without
// waiting for the replay: the pen shows once the slider moves.
constexpr uint32_t PAUSA_SEM_REPRISE = 200000;

const char TEXTO_VAZIO[] = "Os passos do programa aparecem aqui quando ele roda.";
const char TEXTO_RODANDO[] = "rodando… Pausar (F6) para o programa e mostra os passos até aqui.";
const char TEXTO_PAUSANDO[] = "pausando: o programa para antes da próxima função do olpa que "
                              "chamar…";

struct Estado {
  std::shared_ptr<const OlpaRegistro> registro;
  std::shared_ptr<OlpaPassos> passos; // replays `registro`
  uint32_t total = 0;                 // the slider's last step
  uint64_t pausa = 0;                 // the run stands before this step (0: not paused)
  guint ocioso = 0;                   // the replay going on while the window is idle
  bool mudando = false;               // the slider moved by the strip itself
  bool caneta = false;                // the view shows a step, the pen here:
  double caneta_x = 0, caneta_y = 0;
  int linha = 0; // the line highlighted in the editor
};
Estado e;

GtkSourceBuffer *fonte() {
  return GTK_SOURCE_BUFFER(codigo);
}

void destaca_linha(int linha) {
  if (destaque) // a highlight still to come is this one's
    g_source_remove(destaque);
  destaque = 0;
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(codigo, &inicio, &fim);
  gtk_source_buffer_remove_source_marks(fonte(), &inicio, &fim, MARCA_PASSO);
  e.linha = 0;
  GtkTextIter iter;
  gtk_text_buffer_get_iter_at_line(codigo, &iter, linha - 1);
  if (linha < 1 || gtk_text_iter_get_line(&iter) != linha - 1)
    return;
  e.linha = linha;
  GtkSourceMark *marca = gtk_source_buffer_create_source_mark(fonte(), nullptr, MARCA_PASSO, &iter);
  gtk_text_view_scroll_to_mark(GTK_TEXT_VIEW(editor), GTK_TEXT_MARK(marca), 0.1, FALSE, 0, 0);
}

// The editor follows the slider once the window is idle again: while it is
// dragged, the canvas changes every frame, and the line only where it stops.
int linha_a_destacar;

gboolean destaca_agora(gpointer) {
  destaque = 0;
  destaca_linha(linha_a_destacar);
  return G_SOURCE_REMOVE;
}

void destaca_depois(int linha) {
  linha_a_destacar = linha;
  if (!destaque)
    destaque = g_idle_add(destaca_agora, nullptr);
}

void tira_caneta() {
  if (e.caneta)
    gtk_widget_queue_draw(imagem);
  e.caneta = false;
}

// "passo 12 de 340 · linha 17: linha(0, 0, 320, 240)", or while paused,
// before the call that is to run.
std::string texto_do_passo(uint32_t k) {
  const OlpaRegistro &r = *e.registro;
  const bool antes = e.pausa > 0 && k == e.pausa;
  std::string texto =
      antes ? "pausado antes do passo " + std::to_string(k) : "passo " + std::to_string(k);
  if (!antes) {
    texto += " de " + std::to_string(e.pausa > 0 ? e.pausa - 1 : e.total);
    if (e.pausa == 0 && r.chamadas > r.entradas.size())
      texto += " (e mais " + std::to_string(r.chamadas - r.entradas.size()) + " não guardados)";
  }
  if (k == 0)
    return texto + ": o começo, antes da primeira chamada";
  const int linha = olpa_registro_linha(r, k - 1);
  return texto + (linha > 0 ? " · linha " + std::to_string(linha) : std::string()) + ": " +
         olpa_registro_chamada_texto(r, k - 1) + (antes ? " (Passo: F7 · Continuar: F6)" : "");
}

// Step `k` in view: the canvas right after it (before it, at a pause's
// own step), the pen, the text, the line.
void mostra_passo(uint32_t k) {
  if (!e.passos)
    return;
  const bool antes = e.pausa > 0 && k == e.pausa;
  const OlpaQuadro q = olpa_passos_mostra(e.passos.get(), antes ? k - 1 : k);
  olpa_mostra_imagem(q.pixels);
  e.caneta = q.pixels && q.caneta;
  e.caneta_x = q.caneta_x;
  e.caneta_y = q.caneta_y;
  gtk_widget_queue_draw(imagem);
  gtk_label_set_text(GTK_LABEL(tira->texto), texto_do_passo(k).c_str());
  destaca_depois(k > 0 ? olpa_registro_linha(*e.registro, k - 1) : 0);
}

void poe_valor(uint32_t k) {
  e.mudando = true;
  gtk_range_set_value(GTK_RANGE(tira->barra), k);
  e.mudando = false;
}

void ao_mover(GtkRange *barra, gpointer) {
  if (e.mudando || !e.passos)
    return;
  auto k = static_cast<uint32_t>(std::lround(std::max(gtk_range_get_value(barra), 0.0)));
  // The slider stays within what was replayed (but for a run's last step).
  const uint32_t feito = olpa_passos_percorridos(e.passos.get());
  if (e.pausa == 0 && k > feito && k < e.total) {
    k = feito;
    poe_valor(k);
  }
  mostra_passo(std::min(k, e.total));
}

void para_reprise() {
  if (e.ocioso)
    g_source_remove(e.ocioso);
  e.ocioso = 0;
}

gboolean reprisa(gpointer) {
  const bool fim = !e.passos || olpa_passos_percorre(e.passos.get(), FATIA_MS);
  if (e.passos)
    gtk_range_set_fill_level(GTK_RANGE(tira->barra), olpa_passos_percorridos(e.passos.get()));
  if (!fim)
    return G_SOURCE_CONTINUE;
  e.ocioso = 0;
  return G_SOURCE_REMOVE;
}

// The slider over steps 0 to `total`, at `valor`.
void barra(uint32_t total, uint32_t valor, bool ativa) {
  e.mudando = true;
  GtkRange *r = GTK_RANGE(tira->barra);
  gtk_range_set_range(r, 0, std::max<uint32_t>(total, 1));
  gtk_range_set_value(r, valor);
  gtk_range_set_fill_level(r, e.passos ? olpa_passos_percorridos(e.passos.get()) : 0);
  gtk_widget_set_sensitive(tira->barra, ativa && total > 0);
  e.mudando = false;
}

// A record this large leaves free memory behind in the middle of the heap,
// which malloc keeps unless asked: given back to the system once it is gone
// (the runner holds the last run's outcome until the next one ends).
constexpr size_t REGISTRO_GRANDE = 100000;
bool solto_grande;

void esquece() {
  para_reprise();
  solto_grande = solto_grande || (e.registro && e.registro->entradas.size() >= REGISTRO_GRANDE);
  e.passos.reset();
  e.registro.reset();
  e.total = 0;
  e.pausa = 0;
  tira_caneta();
  destaca_linha(0);
}

void botoes(bool rodando, bool pausado) {
  gtk_button_set_label(GTK_BUTTON(tira->pausar), pausado ? "Continuar" : "Pausar");
  gtk_widget_set_tooltip_text(tira->pausar,
                              pausado ? "O programa segue daqui (F6)"
                                      : "Para o programa antes da próxima função do olpa que ele "
                                        "chamar, e mostra os passos até ali (F6)");
  gtk_widget_set_sensitive(tira->pausar, rodando);
  gtk_widget_set_sensitive(tira->passo, rodando);
}

void ao_pausar(GtkButton *, gpointer) {
  if (!olpa_rodando())
    return;
  if (parser_pausado()) {
    parser_continua();
    e.pausa = 0;
    botoes(true, false);
    barra(0, 0, false);
    tira_caneta();
    destaca_linha(0);
    gtk_label_set_text(GTK_LABEL(tira->texto), TEXTO_RODANDO);
    olpa_console_estado(OLPA_ESTADO_RODANDO);
    return;
  }
  parser_pausa();
  botoes(true, true);
  gtk_label_set_text(GTK_LABEL(tira->texto), TEXTO_PAUSANDO);
}

void ao_passo(GtkButton *, gpointer) {
  if (!olpa_rodando())
    return;
  if (!parser_pausado())
    return ao_pausar(nullptr, nullptr);
  parser_passo();
}

void atalho(GtkAccelGroup *grupo, GtkWidget *botao, guint tecla) {
  gtk_widget_add_accelerator(botao, "clicked", grupo, tecla, static_cast<GdkModifierType>(0),
                             GTK_ACCEL_VISIBLE);
}

GtkWidget *botao(const char *rotulo, GCallback acao, const char *dica) {
  GtkWidget *b = gtk_button_new_with_label(rotulo);
  gtk_widget_set_size_request(b, OLPA_TIRA_BT_LARGURA, -1);
  gtk_widget_set_tooltip_text(b, dica);
  gtk_widget_set_sensitive(b, FALSE);
  g_signal_connect(b, "clicked", acao, nullptr);
  return b;
}

} // namespace

void olpa_tira_liga(Olpa &janela) {
  OlpaUI &ui = janela.ui;
  tira = &ui.olpa_tira;
  editor = ui.olpa_campo_codigo_formatado;
  codigo = ui.olpa_campo_codigo_buffer;
  imagem = ui.olpa_imagem;
  GtkSourceMarkAttributes *atributos = gtk_source_mark_attributes_new();
  gtk_source_mark_attributes_set_background(atributos, &FUNDO_DO_PASSO);
  gtk_source_view_set_mark_attributes(GTK_SOURCE_VIEW(editor), MARCA_PASSO, atributos, 0);
  g_object_unref(atributos);

  GtkWidget *coluna = ui.olpa_saida; // under the picture
  tira->caixa = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
  gtk_widget_set_name(tira->caixa, "olpa-tira");
  gtk_widget_set_size_request(tira->caixa, -1, OLPA_TIRA_ALTURA); // as wide as the picture
  // The slider stretches within the strip; the strip does not make the
  // picture's column take the window's extra room.
  gtk_widget_set_hexpand(tira->caixa, FALSE);
  gtk_box_pack_start(GTK_BOX(coluna), tira->caixa, FALSE, FALSE, 0);
  GtkWidget *linha1 = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, OLPA_ESPACO);
  gtk_box_pack_start(GTK_BOX(tira->caixa), linha1, FALSE, FALSE, 0);
  tira->pausar = botao("Pausar", G_CALLBACK(ao_pausar), "");
  tira->passo = botao("Passo", G_CALLBACK(ao_passo),
                      "Deixa o programa chamar mais uma função do olpa, e pausa (F7)");
  gtk_box_pack_start(GTK_BOX(linha1), tira->pausar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(linha1), tira->passo, FALSE, FALSE, 0);
  tira->barra = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 1, 1);
  gtk_scale_set_draw_value(GTK_SCALE(tira->barra), FALSE);
  gtk_range_set_increments(GTK_RANGE(tira->barra), 1, 10);
  gtk_range_set_round_digits(GTK_RANGE(tira->barra), 0);
  // The fill level shows how far the replay got; the slider keeps to it by itself (ao_mover).
  gtk_range_set_show_fill_level(GTK_RANGE(tira->barra), TRUE);
  gtk_range_set_restrict_to_fill_level(GTK_RANGE(tira->barra), FALSE);
  gtk_widget_set_tooltip_text(tira->barra, "Cada chamada de função do olpa que o programa "
                                           "fez: arraste, ou use as setas, Home e End");
  gtk_widget_set_hexpand(tira->barra, TRUE);
  gtk_widget_set_sensitive(tira->barra, FALSE);
  g_signal_connect(tira->barra, "value-changed", G_CALLBACK(ao_mover), nullptr);
  gtk_box_pack_start(GTK_BOX(linha1), tira->barra, TRUE, TRUE, 0);
  GtkWidget *linha2 = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, OLPA_ESPACO);
  gtk_box_pack_start(GTK_BOX(tira->caixa), linha2, FALSE, FALSE, 0);
  tira->texto = gtk_label_new(TEXTO_VAZIO);
  gtk_label_set_xalign(GTK_LABEL(tira->texto), 0);
  gtk_label_set_ellipsize(GTK_LABEL(tira->texto), PANGO_ELLIPSIZE_END);
  // Its width is the picture's, whatever its text: no wider for a long one.
  gtk_label_set_width_chars(GTK_LABEL(tira->texto), 1);
  gtk_label_set_max_width_chars(GTK_LABEL(tira->texto), 1);
  gtk_label_set_selectable(GTK_LABEL(tira->texto), FALSE);
  gtk_box_pack_start(GTK_BOX(linha2), tira->texto, TRUE, TRUE, 0);
  tira->coordenadas = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(tira->coordenadas), 1);
  gtk_widget_set_size_request(tira->coordenadas, OLPA_TIRA_COORDENADAS_LARGURA, -1);
  gtk_box_pack_end(GTK_BOX(linha2), tira->coordenadas, FALSE, FALSE, 0);

  olpa_tira_liga_figura(ui, gtk_widget_get_parent(imagem)); // the picture's event box
  GtkAccelGroup *grupo = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(ui.olpa_janela), grupo);
  atalho(grupo, tira->pausar, GDK_KEY_F6);
  atalho(grupo, tira->passo, GDK_KEY_F7);
  g_object_unref(grupo);
  botoes(false, false);
}

void olpa_tira_comeca(void) {
  esquece();
  barra(0, 0, false);
  botoes(true, false);
  gtk_label_set_text(GTK_LABEL(tira->texto), TEXTO_RODANDO);
}

namespace {

// The run stands paused: the slider over what it did so far.
void pausada(const ParserResultado &r) {
  if (!r.registro || r.pausa == 0)
    return;
  if (e.registro != r.registro) {
    esquece();
    e.registro = r.registro;
    e.passos.reset(olpa_passos_cria(r.registro.get()).release(), OlpaPassosLibera());
  }
  // The call it stands before is in the record (whatever the program wrote
  // where the step is said).
  e.pausa = std::min<uint64_t>(r.pausa, r.registro->entradas.size());
  e.total = static_cast<uint32_t>(e.pausa);
  if (e.pausa == 0)
    return;
  botoes(true, true);
  barra(e.total, e.total, true);
  const int linha = olpa_registro_linha(*e.registro, e.total - 1);
  const std::string chamada = olpa_registro_chamada_texto(*e.registro, e.total - 1);
  olpa_console_estado(("[olpa] pausado antes d" +
                       (linha > 0 ? "a linha " + std::to_string(linha) + ": " : std::string("e ")) +
                       chamada)
                          .c_str());
  if (e.total > olpa_passos_percorridos(e.passos.get()) + PAUSA_SEM_REPRISE) {
    olpa_mostra_imagem(r.quadro);
    tira_caneta();
    gtk_label_set_text(GTK_LABEL(tira->texto), texto_do_passo(e.total).c_str());
    destaca_linha(olpa_registro_linha(*e.registro, e.total - 1));
    return;
  }
  mostra_passo(e.total);
}

// The run ended: the slider over all it did, at its end.
void terminada(const ParserResultado &r) {
  esquece();
  if (solto_grande)
    malloc_trim(0);
  solto_grande = false;
  botoes(false, false);
  e.registro = r.registro;
  e.passos = r.passos;
  if (e.registro && !e.passos) // a record to show, and no steps made of it
    e.passos.reset(olpa_passos_cria(e.registro.get()).release(), OlpaPassosLibera());
  e.total = e.registro ? static_cast<uint32_t>(e.registro->entradas.size()) : 0;
  // The view shows the run's own picture: the slider at its end.
  barra(e.total, e.total, true);
  if (!e.registro)
    gtk_label_set_text(GTK_LABEL(tira->texto), "O programa não rodou: não há passos.");
  else if (e.total == 0)
    gtk_label_set_text(GTK_LABEL(tira->texto), "O programa não chamou nenhuma função do olpa.");
  else
    gtk_label_set_text(GTK_LABEL(tira->texto), texto_do_passo(e.total).c_str());
  if (e.passos && olpa_passos_percorridos(e.passos.get()) < e.total)
    e.ocioso = g_idle_add_full(G_PRIORITY_LOW, reprisa, nullptr, nullptr);
}

} // namespace

void olpa_tira_ouve(const ParserResultado &r, ParserMomento momento) {
  if (momento == ParserMomento::Pausa)
    pausada(r);
  else if (momento == ParserMomento::Fim)
    terminada(r);
}

void olpa_tira_limpa(void) {
  esquece();
  barra(0, 0, false);
  botoes(false, false);
  gtk_label_set_text(GTK_LABEL(tira->texto), TEXTO_VAZIO);
}

bool olpa_tira_vai_ao_ponto(int x, int y) {
  if (!e.passos)
    return false;
  // The map of who painted what covers the calls replayed: all of them (or,
  // paused, those that ran).
  if (e.pausa > 0)
    olpa_passos_mostra(e.passos.get(), e.total - 1);
  else
    while (!olpa_passos_percorre(e.passos.get(), 50)) {
    }
  const uint32_t k = olpa_passos_quem_pintou(e.passos.get(), x, y);
  if (k == 0) {
    OlpaTexto texto(g_strdup_printf(
        "Nenhuma chamada pintou o ponto x %d, y %d: ele está como estava no começo.", x, y));
    gtk_label_set_text(GTK_LABEL(tira->texto), texto.get());
    return true;
  }
  poe_valor(k);
  mostra_passo(k);
  return true;
}

uint32_t olpa_tira_passo_mostrado(void) {
  return static_cast<uint32_t>(std::lround(gtk_range_get_value(GTK_RANGE(tira->barra))));
}

bool olpa_tira_caneta(double *x, double *y) {
  *x = e.caneta_x;
  *y = e.caneta_y;
  return e.caneta;
}

int olpa_tira_linha(void) {
  return e.linha;
}
