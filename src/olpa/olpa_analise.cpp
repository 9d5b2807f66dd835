// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis in the window: a pause in typing asks for it, its answer
// (from the analyser's process, through the main loop) underlines the
// findings of the text it was asked for, if that is still the text. The
// window never waits for it.
#include "olpa_analise.h"

#include "olpa.h"

#include <cstdlib>
#include <vector>

namespace {

// About half a second after the last key.
constexpr guint PAUSA_MS = 500;

const char TAG_ERRO[] = "olpa-analise-erro";
const char TAG_AVISO[] = "olpa-analise-aviso";
const char MARCA_ERRO[] = "olpa-analise-erro";
const char MARCA_AVISO[] = "olpa-analise-aviso";

GtkSourceView *editor;
GtkTextBuffer *buffer;
guint pausa;                        // the timer of the pause in typing
unsigned versao;                    // bumped at each change of the text
unsigned versao_pedida;             // the text the answer on its way is of
std::vector<AnaliseAchado> achados; // what is underlined now

GtkSourceBuffer *fonte() {
  return GTK_SOURCE_BUFFER(buffer);
}

void limpa() {
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(buffer, &inicio, &fim);
  gtk_text_buffer_remove_tag_by_name(buffer, TAG_ERRO, &inicio, &fim);
  gtk_text_buffer_remove_tag_by_name(buffer, TAG_AVISO, &inicio, &fim);
  gtk_source_buffer_remove_source_marks(fonte(), &inicio, &fim, MARCA_ERRO);
  gtk_source_buffer_remove_source_marks(fonte(), &inicio, &fim, MARCA_AVISO);
  achados.clear();
}

// The place of line `linha`, byte `coluna` (from 1), kept inside the text.
GtkTextIter lugar(int linha, int coluna) {
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line(buffer, &i, linha - 1);
  const int bytes = gtk_text_iter_get_bytes_in_line(&i);
  gtk_text_buffer_get_iter_at_line_index(buffer, &i, linha - 1,
                                         std::max(0, std::min(coluna - 1, bytes)));
  return i;
}

void sublinha(const AnaliseAchado &a) {
  if (a.linha < 1 || a.linha > gtk_text_buffer_get_line_count(buffer))
    return;
  GtkTextIter inicio = lugar(a.linha, a.coluna);
  GtkTextIter fim =
      a.linha_fim > a.linha || a.coluna_fim > a.coluna ? lugar(a.linha_fim, a.coluna_fim) : inicio;
  if (gtk_text_iter_equal(&inicio, &fim)) {
    // A place without a range: the word there, or the character.
    if (gtk_text_iter_inside_word(&fim) || gtk_text_iter_starts_word(&fim))
      gtk_text_iter_forward_word_end(&fim);
    if (gtk_text_iter_equal(&inicio, &fim))
      gtk_text_iter_forward_char(&fim);
  }
  gtk_text_buffer_apply_tag_by_name(buffer, a.erro ? TAG_ERRO : TAG_AVISO, &inicio, &fim);
  GtkTextIter comeco = inicio;
  gtk_text_iter_set_line_offset(&comeco, 0);
  gtk_source_buffer_create_source_mark(fonte(), nullptr, a.erro ? MARCA_ERRO : MARCA_AVISO,
                                       &comeco);
}

void pronta(const AnaliseResultado &r, void *pedida) {
  // An answer to an older text: a newer one is on its way, or will be.
  if (GPOINTER_TO_UINT(pedida) != versao)
    return;
  limpa();
  if (r.estado != AnaliseEstado::Feita)
    return;
  achados = r.achados;
  for (const AnaliseAchado &a : achados)
    sublinha(a);
}

std::string texto_do_editor() {
  GtkTextIter inicio, fim;
  gtk_text_buffer_get_bounds(buffer, &inicio, &fim);
  OlpaTexto texto(gtk_text_buffer_get_text(buffer, &inicio, &fim, FALSE));
  return texto.get();
}

gboolean pausou(gpointer) {
  pausa = 0;
  versao_pedida = versao;
  analise_pede(texto_do_editor(), pronta, GUINT_TO_POINTER(versao));
  return G_SOURCE_REMOVE;
}

void mudou(GtkTextBuffer *, gpointer) {
  versao++;
  if (pausa)
    g_source_remove(pausa);
  pausa = g_timeout_add(PAUSA_MS, pausou, nullptr);
}

// The explanations of the findings at `i`, one a line.
std::string dica_em(const GtkTextIter *i) {
  std::string dica;
  const int linha = gtk_text_iter_get_line(i) + 1;
  const int coluna = gtk_text_iter_get_line_index(i) + 1;
  for (const AnaliseAchado &a : achados) {
    const int fim_l = a.linha_fim ? a.linha_fim : a.linha;
    const bool depois_do_inicio = linha > a.linha || (linha == a.linha && coluna >= a.coluna);
    const bool antes_do_fim =
        linha < fim_l || (linha == fim_l && (coluna < a.coluna_fim || a.coluna_fim <= a.coluna));
    if (depois_do_inicio && antes_do_fim && dica.find(a.texto) == std::string::npos)
      dica += (dica.empty() ? "" : "\n") + a.texto;
  }
  return dica;
}

gboolean dica(GtkWidget *vista, gint x, gint y, gboolean teclado, GtkTooltip *tooltip, gpointer) {
  GtkTextIter i;
  if (teclado) {
    gtk_text_buffer_get_iter_at_mark(buffer, &i, gtk_text_buffer_get_insert(buffer));
  } else {
    int bx, by;
    gtk_text_view_window_to_buffer_coords(GTK_TEXT_VIEW(vista), GTK_TEXT_WINDOW_WIDGET, x, y, &bx,
                                          &by);
    if (!gtk_text_view_get_iter_at_location(GTK_TEXT_VIEW(vista), &i, bx, by))
      return FALSE;
  }
  const std::string texto = dica_em(&i);
  if (texto.empty())
    return FALSE;
  gtk_tooltip_set_text(tooltip, texto.c_str());
  return TRUE;
}

// The gutter's mark says it too.
gchar *dica_da_marca(GtkSourceMarkAttributes *, GtkSourceMark *marca, gpointer) {
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_mark(buffer, &i, GTK_TEXT_MARK(marca));
  std::string texto;
  for (const AnaliseAchado &a : achados)
    if (a.linha == gtk_text_iter_get_line(&i) + 1 && texto.find(a.texto) == std::string::npos)
      texto += (texto.empty() ? "" : "\n") + a.texto;
  return g_strdup(texto.c_str());
}

void cria_aparencias() {
  const struct {
    const char *tag, *marca, *icone;
    GdkRGBA cor;
  } tipos[] = {{TAG_ERRO, MARCA_ERRO, "dialog-error", {0.85, 0.1, 0.1, 1}},
               {TAG_AVISO, MARCA_AVISO, "dialog-warning", {0.9, 0.7, 0.0, 1}}};
  for (const auto &t : tipos) {
    gtk_text_buffer_create_tag(buffer, t.tag, "underline", PANGO_UNDERLINE_ERROR, "underline-rgba",
                               &t.cor, nullptr);
    GtkSourceMarkAttributes *atributos = gtk_source_mark_attributes_new();
    gtk_source_mark_attributes_set_icon_name(atributos, t.icone);
    g_signal_connect(atributos, "query-tooltip-text", G_CALLBACK(dica_da_marca), nullptr);
    // Below the marks of a run, which say what happened when it ran.
    gtk_source_view_set_mark_attributes(editor, t.marca, atributos, 0);
    g_object_unref(atributos);
  }
}

// The run's end waiting for the analysis, if one does.
struct NoFim {
  std::string codigo;
  ParserResultado resultado;
  void (*continua)(const ParserResultado &);
  guint prazo;
};
NoFim *no_fim;

void conclui_no_fim(const std::vector<AnaliseLinha> &linhas) {
  NoFim *n = no_fim;
  no_fim = nullptr;
  if (n->prazo)
    g_source_remove(n->prazo);
  analise_poe_no_resultado(linhas, &n->resultado);
  n->continua(n->resultado);
  delete n;
}

void pronta_no_fim(const AnaliseResultado &r, void *) {
  if (no_fim)
    conclui_no_fim(r.estado == AnaliseEstado::Feita
                       ? analise_linhas(r, analise_da_execucao(no_fim->resultado))
                       : std::vector<AnaliseLinha>{});
  // The editor's underlines are of this text too, when it is still there.
  pronta(r, GUINT_TO_POINTER(versao_pedida));
}

gboolean prazo_no_fim(gpointer) {
  no_fim->prazo = 0;
  conclui_no_fim({});
  return G_SOURCE_REMOVE;
}

// How long a run's end waits: OLPA_ANALISE_ESPERA_MS, or what the window's
// tests ask for (a busy machine must not change what they see).
guint espera_ms() {
  const char *v = getenv("OLPA_ANALISE_ESPERA_MS");
  return v && atoi(v) > 0 ? static_cast<guint>(atoi(v)) : OLPA_ANALISE_ESPERA_MS;
}

} // namespace

void olpa_analise_prepara(void) {
  parser_define_avisos_do_compilador(!analise_ligada(nullptr));
}

void olpa_analise_liga(GtkSourceView *vista) {
  editor = vista;
  buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(vista));
  cria_aparencias();
  gtk_widget_set_has_tooltip(GTK_WIDGET(vista), TRUE);
  g_signal_connect(vista, "query-tooltip", G_CALLBACK(dica), nullptr);
  std::string motivo;
  if (!analise_ligada(&motivo)) {
    const std::string linha = "[olpa] a análise do programa está desligada: " + motivo + ".\n";
    GtkTextIter fim;
    gtk_text_buffer_get_end_iter(olpa_campo_console_buffer, &fim);
    gtk_text_buffer_insert(olpa_campo_console_buffer, &fim, linha.c_str(), -1);
    return;
  }
  g_signal_connect(buffer, "changed", G_CALLBACK(mudou), nullptr);
  mudou(buffer, nullptr); // the text it starts with
}

void olpa_analise_do_codigo(const std::string &codigo) {
  AnaliseResultado r;
  if (analise_ligada(nullptr) && !analise_pronta(codigo, &r))
    analise_pede(codigo, pronta, GUINT_TO_POINTER(versao));
}

void olpa_analise_no_fim(const std::string &codigo, const ParserResultado &resultado,
                         void (*continua)(const ParserResultado &resultado)) {
  olpa_analise_conclui_fim();
  AnaliseResultado r;
  if (!analise_ligada(nullptr)) {
    continua(resultado);
    return;
  }
  no_fim = new NoFim{codigo, resultado, continua, 0};
  if (analise_pronta(codigo, &r)) {
    pronta_no_fim(r, nullptr);
    return;
  }
  no_fim->prazo = g_timeout_add(espera_ms(), prazo_no_fim, nullptr);
  analise_pede(codigo, pronta_no_fim, nullptr);
}

void olpa_analise_conclui_fim(void) {
  if (no_fim)
    conclui_no_fim({});
}

int olpa_analise_sublinhados(void) {
  return static_cast<int>(achados.size());
}

std::string olpa_analise_dica(int linha, int coluna) {
  GtkTextIter i;
  gtk_text_buffer_get_iter_at_line_offset(buffer, &i, linha - 1, coluna - 1);
  return dica_em(&i);
}
