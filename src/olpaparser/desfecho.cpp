// The outcome of a run: what the child reported (its events, its exit status,
// what it left in shared memory, its console text) read once into one value,
// and the one place that value becomes console text and calls of the hooks.
#include "eventos.h"
#include "parser_interno.h"

#include <cstring>

#include <sys/wait.h>

#include <glib.h>

namespace {

// The program's text as the console can take it: valid UTF-8, no NUL.
std::string texto_valido(const std::string &bruto) {
  if (g_utf8_validate(bruto.data(), static_cast<gssize>(bruto.size()), nullptr) &&
      bruto.find('\0') == std::string::npos)
    return bruto;
  std::string texto = bruto;
  for (char &c : texto)
    if (c == '\0')
      c = ' ';
  char *valido = g_utf8_make_valid(texto.data(), static_cast<gssize>(texto.size()));
  std::string saida = valido;
  g_free(valido);
  return saida;
}

// Our own messages start a line of their own, whatever the program left
// unfinished, so that "[erro" and "[olpa" always begin a console line.
std::string em_linha_propria(const std::string &antes, const std::string &mensagem) {
  return (antes.empty() || antes.back() == '\n' ? "" : "\n") + mensagem;
}

ComoTerminou como_terminou(const Execucao &ex, const Eventos &eventos) {
  if (eventos.tem(Evento::SemCompilador))
    return ComoTerminou::SemCompilador;
  if (ex.estourou_tempo)
    return ComoTerminou::TempoEsgotado;
  if (eventos.tem(Evento::Fim))
    return ComoTerminou::Terminou;
  if (eventos.tem(Evento::NaoCompilou) || eventos.tem(Evento::NaoLigou))
    return ComoTerminou::NaoCompilou;
  if (eventos.tem(Evento::SemMemoria))
    return ComoTerminou::SemMemoria;
  if (eventos.tem(Evento::GrandeDemais))
    return ComoTerminou::GrandeDemais;
  if (WIFSIGNALED(ex.status))
    return ComoTerminou::Sinal;
  return ComoTerminou::Inesperado;
}

std::string segundos(double s) {
  char texto[32];
  g_snprintf(texto, sizeof texto, "%g", s);
  return texto;
}

const char PAROU[] = "[erro] o programa foi interrompido: ";

std::string motivo_do_sinal(int sinal, bool pilha) {
  switch (sinal) {
  case SIGSEGV:
    if (pilha)
      return "a pilha estourou (uma recursão que nunca termina?).\n";
    return "acessou memória inválida (um ponteiro ou índice de vetor errado?).\n";
  case SIGBUS:
    return "acessou memória inválida (um ponteiro errado?).\n";
  case SIGFPE:
    return "divisão inteira por zero.\n";
  case SIGILL:
    return "executou uma instrução inválida.\n";
  case SIGABRT:
    return "abortou (abort ou assert).\n";
  case SIGXFSZ:
    return "escreveu um arquivo grande demais.\n";
  case SIGXCPU:
    return "usou processamento demais.\n";
  default:
    return "recebeu o sinal " + std::to_string(sinal) + " (" + strsignal(sinal) + ").\n";
  }
}

const ParserSaida &hooks() {
  return parser_ajustes.saida;
}

int conclui(const Desfecho &d, const std::string &texto, bool aparencia_de_erro, int resultado) {
  if (hooks().console_insere && !texto.empty())
    hooks().console_insere(texto.c_str());
  if (hooks().marca_erro)
    for (int linha : d.linhas)
      hooks().marca_erro(linha);
  if (aparencia_de_erro && hooks().console_erro)
    hooks().console_erro();
  return resultado;
}

// A run stopped from outside: whatever its canvas held is no longer trusted.
int interrompido(const Desfecho &d, const std::string &motivo) {
  parser_memoria->ultima_caminho[0] = '\0';
  olpa_gfx_fecha_tela();
  return conclui(d, d.console + em_linha_propria(d.console, motivo), true, 0);
}

ParserFim fim_do_desfecho(ComoTerminou como) {
  switch (como) {
  case ComoTerminou::Terminou:
    return ParserFim::Terminou;
  case ComoTerminou::NaoIniciou:
  case ComoTerminou::SemCompilador:
  case ComoTerminou::NaoCompilou:
    return ParserFim::NaoRodou;
  case ComoTerminou::TempoEsgotado:
  case ComoTerminou::SemMemoria:
  case ComoTerminou::GrandeDemais:
  case ComoTerminou::Sinal:
  case ComoTerminou::Inesperado:
    break;
  }
  return ParserFim::Interrompido;
}

ParserFim ultimo_fim = ParserFim::NaoRodou;

} // namespace

ParserFim parser_ultimo_fim(void) {
  return ultimo_fim;
}

Desfecho desfecho_le(const Execucao &ex) {
  const Eventos eventos = eventos_le(ex.eventos);
  const Compartilhado &m = *parser_memoria;
  Desfecho d;
  d.como = como_terminou(ex, eventos);
  d.sinal = WIFSIGNALED(ex.status) ? WTERMSIG(ex.status) : 0;
  d.pilha = m.pilha_estourou != 0;
  d.com_erros = eventos.tem(Evento::Erro);
  d.linhas = eventos.linhas_com_erro;
  d.console = texto_valido(ex.texto);
  if (ex.descartado > 0)
    d.console += em_linha_propria(d.console,
                                  "[olpa] a saída do programa passou de 1 MiB; o restante (" +
                                      std::to_string(ex.descartado) + " bytes) foi descartado.\n");
  if (d.como == ComoTerminou::Terminou)
    d.estado = m.estado;
  d.compila = m.compila;
  d.liga = m.liga;
  d.programa = d.como == ComoTerminou::Terminou ? m.programa : 0;
  return d;
}

int desfecho_mostra(const Desfecho &d) {
  ultimo_fim = fim_do_desfecho(d.como);
  switch (d.como) {
  case ComoTerminou::Terminou:
    olpa_gfx_importa_estado(d.estado);
    return conclui(d, d.console, false, 1);
  case ComoTerminou::NaoIniciou:
    return conclui(d,
                   "[erro] não foi possível iniciar a execução do programa (" +
                       std::string(g_strerror(d.erro)) + ").\n",
                   true, 0);
  case ComoTerminou::SemCompilador:
    if (hooks().console_substitui)
      hooks().console_substitui("[erro fatal] linguagem olpa ausente.\n");
    return 0;
  case ComoTerminou::NaoCompilou:
    // Without an error shown there is nothing to mark the console red for.
    return conclui(d, d.console, d.com_erros, 0);
  case ComoTerminou::TempoEsgotado: {
    const double s = parser_ajustes.tempo_limite;
    return interrompido(d, "[erro] o programa passou do tempo limite de " + segundos(s) +
                               (s == 1 ? " segundo" : " segundos") +
                               " e foi interrompido (um laço que nunca termina?).\n");
  }
  case ComoTerminou::SemMemoria:
    return interrompido(d, std::string(PAROU) + "usou memória demais.\n");
  case ComoTerminou::GrandeDemais:
    return interrompido(d, "[erro] o programa é grande demais para a memória.\n");
  case ComoTerminou::Sinal:
    return interrompido(d, PAROU + motivo_do_sinal(d.sinal, d.pilha));
  case ComoTerminou::Inesperado:
    break;
  }
  return interrompido(d, "[erro] o programa terminou de forma inesperada.\n");
}
