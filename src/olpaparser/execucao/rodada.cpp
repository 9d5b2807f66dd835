// SPDX-License-Identifier: GPL-3.0-or-later
// A run driven from the thread-default GLib main context, so that whoever
// waits for it (the window) stays alive meanwhile: the child's console text
// and events read as they come, its end learnt from its exit, the time limit
// (less the time spent in espera) kept by a timer, and the canvas handed out
// again whenever the child changed it. One run at a time.
#include "eventos.h"
#include "execucao.h"

#include <algorithm>
#include <set>
#include <vector>

#include <unistd.h>

#include <glib-unix.h>
#include <glib.h>

namespace {

// Looking at the canvas counter costs next to nothing; showing a frame does not.
constexpr guint OLHA_TELA_MS = 10;
constexpr double QUADRO_MIN_MS = 1000.0 / 60; // at most 60 frames a second
// A run that ends sooner than this shows no frame, and looks as it always did.
constexpr double PRIMEIRO_QUADRO_MS = 50;
// A program that animates with espera has whole frames while it waits; one
// caught in the middle of drawing is shown only when it has not waited for this long.
constexpr double QUADRO_FORA_DA_ESPERA_MS = 100;
// A child that is not yet known to have ended is looked for this often when
// the kernel has no pidfd.
constexpr guint OLHA_FIM_MS = 20;
// Text read in one go before the main loop gets its turn again.
constexpr size_t LEITURA_MAXIMA = 256 * 1024;
// Below redrawing and text layout (GDK_PRIORITY_REDRAW is HIGH_IDLE + 20), so
// that a program flooding its console cannot keep the window from painting.
constexpr int PRIORIDADE_TEXTO = G_PRIORITY_HIGH_IDLE + 30;
// Before redrawing, so that a frame is set before the window paints.
constexpr int PRIORIDADE_TELA = G_PRIORITY_HIGH_IDLE + 10;

struct Rodada {
  Execucao ex;
  std::string codigo; // to find a line of it again, after a fault
  ParserOuvinte ouvinte = nullptr;
  void *dados = nullptr; // the listener's
  ParserResultado resultado;
  Eventos eventos;            // what the child reported so far
  size_t eventos_lidos = 0;   // of ex.eventos
  size_t mensagens_dadas = 0; // of eventos.mensagens, into the console
  bool iniciou = false;
  GMainContext *contexto = nullptr;
  GSource *console = nullptr, *controle = nullptr, *fim = nullptr, *prazo = nullptr,
          *tela = nullptr;
  double inicio = 0;
  uint32_t mudancas_mostradas = 0;
  double ultimo_quadro = 0;
  uint64_t pausa_dita = 0;    // the step the listener was last told the run stands paused before
  bool volta_ao_vivo = false; // let go from a pause: its live canvas due at the next look
  size_t entregue = 0;        // of ex.valido, into the console
};
Rodada *atual;              // the window's run (one at a time)
std::set<Rodada *> ao_lado; // runs beside others going on
ParserResultado ultimo;     // the window's last run's outcome

void conclui_rodada(Rodada *r);

GSource *anexa(Rodada *r, GSource *fonte, GSourceFunc funcao, int prioridade) {
  g_source_set_callback(fonte, funcao, r, nullptr);
  g_source_set_priority(fonte, prioridade);
  g_source_attach(fonte, r->contexto);
  return fonte;
}

void tira(GSource **fonte) {
  if (!*fonte)
    return;
  g_source_destroy(*fonte);
  g_source_unref(*fonte);
  *fonte = nullptr;
}

void avisa(Rodada *r, ParserMomento momento) {
  if (r->ouvinte)
    r->ouvinte(r->resultado, momento, r->dados);
}

// What came since the last look into the console: the compiler's messages
// first, then the program's text, only once main ran (or the events ended):
// whatever order the two streams are read in, the console's is the run's.
void entrega_texto(Rodada *r) {
  const size_t antes = r->resultado.texto.size();
  r->eventos_lidos = eventos_le_desde(r->ex.eventos, r->eventos_lidos, &r->eventos);
  for (; r->mensagens_dadas < r->eventos.mensagens.size(); r->mensagens_dadas++) {
    const MensagemDoCompilador &m = r->eventos.mensagens[r->mensagens_dadas];
    resultado_acrescenta(&r->resultado, m.aviso ? ParserTipo::Aviso : ParserTipo::Erro, m.linha,
                         m.texto);
  }
  if ((r->eventos.tem(Evento::Inicio) || r->ex.controle < 0) && r->ex.valido.size() > r->entregue) {
    resultado_programa(&r->resultado, r->ex.valido.data() + r->entregue,
                       r->ex.valido.size() - r->entregue);
    r->entregue = r->ex.valido.size();
  }
  if (r->resultado.texto.size() != antes)
    avisa(r, ParserMomento::Texto);
}

// The time limits: the program's own processor time (not the machine's
// load), and for a program that sleeps or blocks (a keyboard read with no
// keyboard), the time it sits idle outside espera: several times the limit.
// What the child says it spent in espera is its own word, so it only counts
// up to the time it really sat idle, never with --sem-espera, and never
// beyond a long animation's length.
constexpr double PARADO_VEZES = 3;
constexpr double ANIMACAO_MAXIMA_MS = 10 * 60 * 1000.0;

// Time the child says it spent in espera so far.
double espera_dita_ms(const Compartilhado &m, double agora) {
  constexpr double ESPERA_MAIS_LONGA_MS = OLPA_ESPERA_MAXIMA + 1000;
  const int64_t desde = m.espera_desde_us.load(std::memory_order_relaxed);
  const int64_t ate = m.espera_ate_us.load(std::memory_order_relaxed);
  double dita = m.espera_total_us.load(std::memory_order_relaxed) / 1000.0;
  // One under way counts until it was to end: a program that left it early
  // (by a signal) sits idle on its own time.
  if (desde > 0)
    dita += std::clamp(std::min(agora, ate / 1000.0) - desde / 1000.0, 0.0, ESPERA_MAIS_LONGA_MS);
  return std::max(dita, 0.0);
}

// Milliseconds left before a limit, or the limit reached (0).
double resta_ms(Execucao *ex, double agora) {
  const double limite = ex->ajustes.tempo_limite * 1000.0;
  const ProcessoUso uso = processo_uso(*ex);
  const double cpu = uso.cpu - ex->cpu_inicio, fila = uso.fila - ex->fila_inicio;
  // Paused by the learner, it is neither busy nor idle.
  const double parado = std::max(agora - ex->inicio - cpu - fila - pausa_total_ms(*ex, agora), 0.0);
  const double espera =
      ex->ajustes.sem_espera ? 0 : std::min(espera_dita_ms(*ex->memoria, agora), parado);
  if (cpu >= limite)
    ex->limite = Execucao::Limite::Processador;
  else if (parado - espera >= PARADO_VEZES * limite ||
           parado >= PARADO_VEZES * limite + ANIMACAO_MAXIMA_MS)
    ex->limite = Execucao::Limite::Parado;
  if (ex->limite != Execucao::Limite::Nenhum)
    return 0;
  // Neither clock runs faster than the wall's.
  return std::min({limite - cpu, PARADO_VEZES * limite - (parado - espera),
                   PARADO_VEZES * limite + ANIMACAO_MAXIMA_MS - parado});
}

// ------------------------------------------------------------ sources

// The descriptors' sources call with the descriptor and its condition first.
gboolean ao_ler(gint, GIOCondition, gpointer dados) {
  auto *r = static_cast<Rodada *>(dados);
  processo_le(&r->ex, LEITURA_MAXIMA);
  entrega_texto(r);
  // A stream that ended was closed: no source may watch it any more.
  if (r->ex.console < 0)
    tira(&r->console);
  if (r->ex.controle < 0)
    tira(&r->controle);
  return G_SOURCE_CONTINUE;
}

gboolean ao_terminar(gint, GIOCondition, gpointer dados) {
  conclui_rodada(static_cast<Rodada *>(dados));
  return G_SOURCE_REMOVE;
}

gboolean olha_fim(gpointer dados) {
  auto *r = static_cast<Rodada *>(dados);
  if (processo_terminou(r->ex))
    conclui_rodada(r);
  return G_SOURCE_CONTINUE; // the source is gone if the run ended
}

void arma_prazo(Rodada *r, double ms);

gboolean ao_prazo(gpointer dados) {
  auto *r = static_cast<Rodada *>(dados);
  const double resta = resta_ms(&r->ex, parser_agora_ms());
  if (resta <= 0) {
    conclui_rodada(r);
    return G_SOURCE_REMOVE;
  }
  arma_prazo(r, std::max(resta, 10.0));
  return G_SOURCE_REMOVE;
}

void arma_prazo(Rodada *r, double ms) {
  tira(&r->prazo);
  r->prazo = anexa(r, g_timeout_source_new(static_cast<guint>(std::max(ms, 0.0)) + 1), ao_prazo,
                   G_PRIORITY_DEFAULT);
}

void mostra_quadro(Rodada *r, uint32_t mudancas) {
  r->mudancas_mostradas = mudancas;
  r->ultimo_quadro = parser_agora_ms();
  r->resultado.quadro = r->ex.memoria->pixels;
  avisa(r, ParserMomento::Tela);
  r->resultado.quadro = nullptr;
}

// Paused before a call it had not been told of yet: the record as far as
// it got, and the canvas, to the listener.
void olha_pausa(Rodada *r, double agora) {
  const uint64_t em = pausa_olha(&r->ex, agora);
  if (em == 0 || em == r->pausa_dita)
    return;
  r->pausa_dita = em;
  registro_le(&r->ex, r->eventos.tabela, r->codigo);
  r->resultado.registro = r->ex.registro;
  r->resultado.pausa = em;
  r->resultado.quadro = r->ex.memoria->pixels;
  avisa(r, ParserMomento::Pausa);
  r->resultado.quadro = nullptr;
}

gboolean olha_tela(gpointer dados) {
  auto *r = static_cast<Rodada *>(dados);
  olha_pausa(r, parser_agora_ms());
  // Paused, or about to be: the pause brings its canvas, and the view may
  // stand on any earlier step; no live frame goes over it.
  if (r->ex.pausa_pedida)
    return G_SOURCE_CONTINUE;
  const Compartilhado &m = *r->ex.memoria;
  const uint32_t mudancas = m.mudancas.load(std::memory_order_relaxed);
  const double agora = parser_agora_ms();
  if (r->volta_ao_vivo) {
    r->volta_ao_vivo = false;
    mostra_quadro(r, mudancas);
    return G_SOURCE_CONTINUE;
  }
  if (mudancas == r->mudancas_mostradas || agora - r->inicio < PRIMEIRO_QUADRO_MS ||
      agora - r->ultimo_quadro < QUADRO_MIN_MS)
    return G_SOURCE_CONTINUE;
  const bool esperando = m.espera_desde_us.load(std::memory_order_relaxed) != 0;
  const bool anima = m.esperas.load(std::memory_order_relaxed) > 0;
  if (!anima || esperando || agora - r->ultimo_quadro >= QUADRO_FORA_DA_ESPERA_MS)
    mostra_quadro(r, mudancas);
  return G_SOURCE_CONTINUE;
}

void liga_fontes(Rodada *r) {
  const auto legivel = static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR);
  const auto ler = reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(ao_ler));
  const auto terminar = reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(ao_terminar));
  r->console = anexa(r, g_unix_fd_source_new(r->ex.console, legivel), ler, PRIORIDADE_TEXTO);
  r->controle = anexa(r, g_unix_fd_source_new(r->ex.controle, legivel), ler, PRIORIDADE_TEXTO);
  if (r->ex.pidfd >= 0)
    r->fim = anexa(r, g_unix_fd_source_new(r->ex.pidfd, G_IO_IN), terminar, G_PRIORITY_DEFAULT);
  else
    r->fim = anexa(r, g_timeout_source_new(OLHA_FIM_MS), olha_fim, G_PRIORITY_DEFAULT);
  arma_prazo(r, r->ex.ajustes.tempo_limite * 1000.0);
  if (r->ouvinte && !r->ex.ajustes.ao_lado) // frames are the window's
    r->tela = anexa(r, g_timeout_source_new(OLHA_TELA_MS), olha_tela, PRIORIDADE_TELA);
}

// ------------------------------------------------------------ the end

Desfecho le_desfecho(Rodada *r) {
  if (!r->iniciou) {
    Desfecho d;
    d.como = ComoTerminou::NaoIniciou;
    d.erro = r->ex.erro;
    return d;
  }
  // Stopped from outside after main began: where it was, before it dies.
  processo_le(&r->ex);
  entrega_texto(r);
  const bool rodou = r->eventos.tem(Evento::Inicio);
  if (rodou && (r->ex.interrompido || r->ex.limite != Execucao::Limite::Nenhum))
    processo_anota_parada(&r->ex);
  processo_encerra(&r->ex);
  entrega_texto(r);
  if (rodou)
    registro_le(&r->ex, r->eventos.tabela, r->codigo);
  processo_solta_registro(&r->ex);
  return desfecho_le(r->ex, r->codigo);
}

void conclui_rodada(Rodada *r) {
  const double fim_visto = parser_agora_ms();
  for (GSource **fonte : {&r->console, &r->controle, &r->fim, &r->prazo, &r->tela})
    tira(fonte);
  const bool da_janela = r == atual;
  const Desfecho d = le_desfecho(r);
  if (da_janela)
    atual = nullptr; // the end may start the next run
  else
    ao_lado.erase(r);
  desfecho_mostra(d, r->ex, &r->resultado);
  if (r->ex.espaco >= 0) // carried over, or read, by now: its memory goes
    close(r->ex.espaco);
  r->ex.espaco = -1;
  const Compartilhado &m = *r->ex.memoria;
  if (da_janela)
    parser_tempos_atuais = {r->ex.preparo,
                            r->ex.envio,
                            d.compila,
                            d.liga,
                            d.confina,
                            d.programa,
                            parser_agora_ms() - r->inicio,
                            m.faltas_aquece,
                            m.faltas,
                            m.abre,
                            m.grava,
                            r->inicio,
                            r->ex.inicio,
                            m.saida,
                            fim_visto};
  const ParserOuvinte ouvinte = r->ouvinte;
  void *dados = r->dados;
  ParserResultado *resultado = &r->resultado;
  // The window's outcome outlives the run, until its next one ends.
  if (da_janela) {
    ultimo = std::move(r->resultado);
    resultado = &ultimo;
  }
  if (ouvinte)
    ouvinte(*resultado, ParserMomento::Fim, dados);
  // A run beside others: its picture (in its memory) was the listener's to take.
  processo_solta_memoria(&r->ex);
  g_main_context_unref(r->contexto);
  delete r;
}

gboolean conclui_sem_filho(gpointer dados) {
  conclui_rodada(static_cast<Rodada *>(dados));
  return G_SOURCE_REMOVE;
}

Rodada *comeca(const char *codigo, const AjustesDaRodada &ajustes, ParserOuvinte ouvinte,
               void *dados) {
  auto *r = new Rodada;
  r->ouvinte = ouvinte;
  r->dados = dados;
  resultado_comeca(&r->resultado);
  avisa(r, ParserMomento::Texto);
  r->inicio = parser_agora_ms();
  r->codigo = codigo ? codigo : "";
  r->contexto = g_main_context_ref_thread_default();
  r->iniciou = processo_inicia(&r->ex, codigo ? codigo : "", ajustes);
  if (r->iniciou)
    liga_fontes(r);
  else // the end still comes from the main loop, as for any run
    r->fim = anexa(r, g_idle_source_new(), conclui_sem_filho, G_PRIORITY_DEFAULT);
  return r;
}

} // namespace

void rodada_comeca(const char *codigo, ParserOuvinte ouvinte, void *dados, bool vista) {
  rodada_interrompe();
  AjustesDaRodada ajustes;
  ajustes.vista = vista;
  ajustes.tempo_limite = parser_ajustes.tempo_limite;
  ajustes.sem_espera = parser_ajustes.sem_espera;
  ajustes.quadros = parser_ajustes.quadros;
  ajustes.registro = parser_ajustes.registro;
  atual = comeca(codigo, ajustes, ouvinte, dados);
}

void rodada_ao_lado(const char *codigo, const AjustesDaRodada &ajustes, ParserOuvinte ouvinte,
                    void *dados) {
  AjustesDaRodada a = ajustes;
  a.ao_lado = true;
  ao_lado.insert(comeca(codigo, a, ouvinte, dados));
}

int rodada_ao_lado_em_curso() {
  return static_cast<int>(ao_lado.size());
}

void rodada_interrompe_ao_lado() {
  // Each end may start another run beside: those started now are stopped too.
  while (!ao_lado.empty()) {
    Rodada *r = *ao_lado.begin();
    if (r->iniciou && !processo_terminou(r->ex))
      r->ex.interrompido = true;
    conclui_rodada(r);
  }
}

void rodada_interrompe() {
  if (!atual)
    return;
  // A program that had already ended is not stopped: it ends as it did.
  if (atual->iniciou && !processo_terminou(atual->ex))
    atual->ex.interrompido = true;
  conclui_rodada(atual);
}

void rodada_pausa() {
  if (atual && atual->iniciou)
    pausa_pede(&atual->ex);
}

void rodada_passo() {
  if (atual && atual->iniciou)
    pausa_passo(&atual->ex);
}

void rodada_continua() {
  if (!atual || !atual->iniciou)
    return;
  pausa_solta(&atual->ex);
  atual->volta_ao_vivo = true;
  atual->pausa_dita = 0;
  atual->resultado.pausa = 0;
}

bool rodada_pausada() {
  return atual && atual->ex.pausa_pedida;
}

const ParserResultado &rodada_ultimo() {
  return ultimo;
}

bool rodada_em_curso() {
  return atual != nullptr;
}
