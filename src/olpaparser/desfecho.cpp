// The outcome of a run: what the child reported (its events, its exit status,
// what it left in shared memory, its console text) read once into one value,
// and the one place that value becomes console text and calls of the hooks.
// The program's own text is in the console already, shown as it came.
#include "eventos.h"
#include "parser_interno.h"

#include <algorithm>
#include <cstring>

#include <sys/wait.h>

#include <glib.h>

namespace {

// Our own messages start a line of their own, whatever the program left
// unfinished, so that "[erro" and "[olpa" always begin a console line.
std::string em_linha_propria(const std::string &antes, const std::string &mensagem) {
  return (antes.empty() || antes.back() == '\n' ? "" : "\n") + mensagem;
}

// Until the child says main is about to run, its events are its own (the
// runner's); after that only its exit status counts: the program may have
// written anything anywhere it could.
ComoTerminou como_terminou(const Execucao &ex, const Eventos &eventos) {
  if (eventos.tem(Evento::SemCompilador))
    return ComoTerminou::SemCompilador;
  if (ex.interrompido)
    return ComoTerminou::Interrompido;
  if (ex.limite == Execucao::Limite::Processador)
    return ComoTerminou::TempoEsgotado;
  if (ex.limite == Execucao::Limite::Parado)
    return ComoTerminou::Parado;
  if (eventos.tem(Evento::NaoCompilou) || eventos.tem(Evento::NaoLigou))
    return ComoTerminou::NaoCompilou;
  if (eventos.tem(Evento::GrandeDemais))
    return ComoTerminou::GrandeDemais;
  if (eventos.tem(Evento::NaoConfinou))
    return ComoTerminou::NaoConfinou;
  if (WIFSIGNALED(ex.status))
    return eventos.tem(Evento::Inicio) && WTERMSIG(ex.status) == SIGSYS ? ComoTerminou::Proibido
                                                                        : ComoTerminou::Sinal;
  if (!eventos.tem(Evento::Inicio) || !WIFEXITED(ex.status))
    return ComoTerminou::Inesperado;
  switch (WEXITSTATUS(ex.status)) {
  case 0:
    return ComoTerminou::Terminou;
  case SAIDA_SEM_MEMORIA:
    return ComoTerminou::SemMemoria;
  case SAIDA_PROIBIDA:
    return ComoTerminou::Proibido;
  case SAIDA_VERIFICACAO:
    return ComoTerminou::Verificacao;
  default:
    return ComoTerminou::Inesperado;
  }
}

std::string segundos(double s) {
  char texto[32];
  g_snprintf(texto, sizeof texto, "%g", s);
  return texto;
}

const char PAROU[] = "[erro] o programa foi interrompido: ";

// Signals a program may get, by what they mean to a learner.
struct NomeDeSinal {
  int sinal;
  const char *motivo;
};
const NomeDeSinal SINAIS[] = {
    {SIGBUS, "acessou memória inválida (um ponteiro errado?)"},
    {SIGFPE, "divisão inteira por zero"},
    {SIGILL, "executou uma instrução inválida"},
    {SIGABRT, "abortou (abort ou assert)"},
    {SIGXFSZ, "escreveu um arquivo grande demais"},
    {SIGXCPU, "usou processamento demais"},
    {SIGALRM, "o despertador que ele mesmo pediu (alarm) tocou"},
    {SIGVTALRM, "o despertador de tempo de processamento que ele mesmo pediu tocou"},
    {SIGPROF, "o despertador de tempo de processamento que ele mesmo pediu tocou"},
    {SIGTERM, "recebeu um pedido para terminar (SIGTERM)"},
    {SIGKILL, "foi encerrado à força (SIGKILL)"},
    {SIGINT, "recebeu uma interrupção (SIGINT)"},
    {SIGQUIT, "recebeu um pedido para sair (SIGQUIT)"},
    {SIGHUP, "recebeu o sinal de terminal desligado (SIGHUP)"},
    {SIGUSR1, "recebeu o sinal do usuário 1 (SIGUSR1)"},
    {SIGUSR2, "recebeu o sinal do usuário 2 (SIGUSR2)"},
    {SIGPIPE, "escreveu num cano que ninguém lê (SIGPIPE)"},
    {SIGTRAP, "parou num ponto de depuração (SIGTRAP)"},
    {SIGSTKFLT, "teve uma falha na pilha do coprocessador (SIGSTKFLT)"},
    {SIGIO, "recebeu um aviso de entrada e saída (SIGIO)"},
    {SIGPWR, "recebeu um aviso de falta de energia (SIGPWR)"},
    {SIGSYS, "tentou fazer algo que o olpa não permite"},
};

std::string motivo_do_sinal(int sinal, bool pilha) {
  if (sinal == SIGSEGV)
    return pilha ? "a pilha estourou (uma recursão que nunca termina?).\n"
                 : "acessou memória inválida (um ponteiro ou índice de vetor errado?).\n";
  for (const NomeDeSinal &s : SINAIS)
    if (s.sinal == sinal)
      return std::string(s.motivo) + ".\n";
  if (sinal >= SIGRTMIN && sinal <= SIGRTMAX)
    return "recebeu o sinal de tempo real " + std::to_string(sinal - SIGRTMIN) + " (SIGRTMIN+" +
           std::to_string(sinal - SIGRTMIN) + ").\n";
  const char *nome = sigabbrev_np(sinal);
  return "recebeu o sinal " + std::to_string(sinal) +
         (nome ? std::string(" (SIG") + nome + ")" : "") + ".\n";
}

// Trace lines as a log can take them: no control characters but line ends,
// nothing invalid, nothing longer than the buffer they came in.
std::string rastro_valido(const Compartilhado &m) {
  const size_t n = std::min<size_t>(m.rastro_tamanho, sizeof m.rastro);
  return parser_escapa_controles(parser_texto_valido(m.rastro, n));
}

const ParserSaida &hooks() {
  return parser_ajustes.saida;
}

// What follows the program's text in the console: the note of a cut, then
// `mensagem` on a line of its own.
std::string depois_do_programa(const Desfecho &d, const std::string &mensagem) {
  std::string texto;
  if (d.descartado > 0)
    texto =
        em_linha_propria(d.console, "[olpa] a saída do programa passou de 1 MiB; o restante (" +
                                        std::to_string(d.descartado) + " bytes) foi descartado.\n");
  if (mensagem.empty())
    return texto;
  return texto + em_linha_propria(texto.empty() ? d.console : texto, mensagem);
}

// What became of its own space, when that fails the run.
std::string nota_do_espaco(const Desfecho &d) {
  if (d.espaco_estourou)
    return "[erro] o programa gravou em telas mais do que cabe numa execução (" +
           std::to_string(PARSER_ORCAMENTO_BYTES >> 20) + " MiB ou " +
           std::to_string(PARSER_ORCAMENTO_ARQUIVOS) +
           " arquivos e pastas); nada do que ele gravou foi guardado.\n";
  if (d.espaco_erro)
    return "[erro] não foi possível guardar em telas o que o programa gravou (" +
           std::string(g_strerror(d.espaco_erro)) + ").\n";
  return {};
}

int conclui(const Desfecho &d, std::string mensagem, bool aparencia_de_erro, int resultado) {
  const std::string espaco = nota_do_espaco(d);
  if (!espaco.empty()) {
    mensagem += espaco;
    aparencia_de_erro = true;
    resultado = 0;
  }
  const std::string texto = depois_do_programa(d, mensagem);
  if (hooks().console_insere && !texto.empty())
    hooks().console_insere(texto.c_str());
  if (hooks().marca_erro)
    for (int linha : d.linhas)
      hooks().marca_erro(linha);
  if (hooks().marca_aviso)
    for (int linha : d.avisos)
      hooks().marca_aviso(linha);
  if (aparencia_de_erro && hooks().console_erro)
    hooks().console_erro();
  return resultado;
}

// A run stopped from outside: whatever its canvas held is no longer trusted.
int interrompido(const Desfecho &d, const std::string &motivo, bool aparencia_de_erro = true) {
  olpa_gfx_fecha_tela();
  return conclui(d, motivo, aparencia_de_erro, 0);
}

ParserFim fim_do_desfecho(ComoTerminou como) {
  switch (como) {
  case ComoTerminou::Terminou:
    return ParserFim::Terminou;
  case ComoTerminou::NaoIniciou:
  case ComoTerminou::SemCompilador:
  case ComoTerminou::NaoCompilou:
  case ComoTerminou::NaoConfinou:
    return ParserFim::NaoRodou;
  case ComoTerminou::TempoEsgotado:
  case ComoTerminou::Parado:
  case ComoTerminou::SemMemoria:
  case ComoTerminou::GrandeDemais:
  case ComoTerminou::Proibido:
  case ComoTerminou::Sinal:
  case ComoTerminou::Verificacao:
  case ComoTerminou::Interrompido:
  case ComoTerminou::Inesperado:
    break;
  }
  return ParserFim::Interrompido;
}

ParserFim ultimo_fim = ParserFim::NaoRodou;
bool ultima_no_espaco, ultima_figura_nova; // the last run had its own space; left a picture

// Deaths in the program's own code, whose line can be found.
bool no_proprio_codigo(const Desfecho &d) {
  if (d.como == ComoTerminou::Verificacao)
    return true;
  return d.como == ComoTerminou::Sinal &&
         (d.sinal == SIGSEGV || d.sinal == SIGBUS || d.sinal == SIGFPE || d.sinal == SIGILL ||
          d.sinal == SIGABRT);
}

// "[erro] linha 6: o programa foi interrompido: " and the cause.
std::string parada(const Desfecho &d, const std::string &motivo) {
  return (d.linha_da_falha > 0 ? "[erro] linha " + std::to_string(d.linha_da_falha) + ": " +
                                     (PAROU + strlen("[erro] "))
                               : std::string(PAROU)) +
         motivo;
}

// What the run wrote beneath ../telas, carried there now (or not at all,
// when it filled its space); and whether its export path is its own picture.
void le_espaco(const Execucao &ex, Desfecho *d) {
  if (ex.espaco < 0)
    return;
  d->espaco_proprio = true;
  d->espaco_estourou = espaco_estourou(ex.espaco);
  errno = 0;
  if (!d->espaco_estourou && !espaco_junta(ex.espaco))
    d->espaco_erro = errno ? errno : EIO;
  const char *exportar = d->estado.arquivo_exportar;
  d->figura_nova = d->como == ComoTerminou::Terminou && !d->espaco_estourou && !d->espaco_erro &&
                   strnlen(exportar, OLPA_CAMINHO_MAX) < OLPA_CAMINHO_MAX &&
                   olpa_gfx_exportar_valido(exportar) && espaco_tem_arquivo(ex.espaco, exportar);
}

} // namespace

ParserFim parser_ultimo_fim(void) {
  return ultimo_fim;
}

const unsigned char *parser_vista(void) {
  // The picture is the file itself, decoded here: never pixels the program
  // could have left in memory, nor an earlier run's file.
  static std::vector<unsigned char> figura;
  const bool escrita = ultima_no_espaco ? ultima_figura_nova : olpa_estado.png_gravado;
  if (escrita && parser_le_figura(olpa_arquivo_exportar, &figura))
    return figura.data();
  if (!olpa_estado.relato.tela_da_execucao || !parser_memoria)
    return nullptr;
  return parser_memoria->pixels;
}

Desfecho desfecho_le(const Execucao &ex, const std::string &codigo) {
  const Eventos eventos = eventos_le(ex.eventos);
  const Compartilhado &m = *parser_memoria;
  Desfecho d;
  d.como = como_terminou(ex, eventos);
  d.sinal = WIFSIGNALED(ex.status) ? WTERMSIG(ex.status) : 0;
  d.pilha = m.pilha_estourou != 0;
  d.proibida = d.como == ComoTerminou::Proibido && m.proibida > 0 ? m.proibida : -1;
  d.codigo_saida = d.como == ComoTerminou::Terminou ? m.codigo_saida : 0;
  d.rastro = rastro_valido(m);
  d.com_erros = eventos.tem(Evento::Erro);
  d.linhas = eventos.linhas_com_erro;
  d.avisos = eventos.linhas_com_aviso;
  d.console = ex.valido;
  d.descartado = ex.descartado;
  if (d.como == ComoTerminou::Terminou)
    d.estado = m.estado;
  le_espaco(ex, &d);
  d.compila = m.compila;
  d.liga = m.liga;
  d.confina = m.confina;
  d.programa = d.como == ComoTerminou::Terminou ? m.programa : 0;
  d.tem_main = !eventos.tem(Evento::SemMain);
  const OlpaRelato &relato = m.estado.relato;
  if (d.como == ComoTerminou::Terminou && relato.fora_funcao) {
    // Where the program called it: the line of a return address into it.
    EnderecosDaFalha onde{};
    onde.quantos = 1;
    onde.enderecos[0] = relato.fora_de_onde;
    d.linha_da_cor = falha_linha(eventos.tabela, codigo, Falha{TipoDeFalha::Nenhuma, {}, 0, onde});
    if (d.linha_da_cor > 0)
      d.avisos.push_back(d.linha_da_cor);
  }
  if (no_proprio_codigo(d)) {
    d.falha = m.falha;
    d.linha_da_falha =
        falha_linha(eventos.tabela, codigo, d.falha, falha_de_recursao(d.pilha, d.falha));
    if (d.linha_da_falha > 0)
      d.linhas.push_back(d.linha_da_falha);
  }
  return d;
}

int desfecho_mostra(const Desfecho &d) {
  ultimo_fim = fim_do_desfecho(d.como);
  ultima_no_espaco = d.espaco_proprio;
  ultima_figura_nova = d.figura_nova;
  if (!d.rastro.empty())
    parser_escreve_tudo(parser_ajustes.fd_trace, d.rastro.data(), d.rastro.size());
  switch (d.como) {
  case ComoTerminou::Terminou: {
    olpa_gfx_importa_estado(d.estado);
    // One line each, after the program's text: its exit code, a colour out
    // of range, why no picture (or not the expected one) shows.
    std::string mensagem;
    if (d.codigo_saida != 0)
      mensagem =
          "[olpa] o programa terminou com o código " + std::to_string(d.codigo_saida) + ".\n";
    // A picture that could not be written said so in an "[erro]" line: no success.
    if (olpa_gfx_png_falhou())
      return conclui(d, mensagem, true, 0);
    mensagem += relato_aviso_de_cor(olpa_estado.relato, d.linha_da_cor);
    mensagem += relato_por_que(olpa_estado.relato, d.tem_main, olpa_estado);
    return conclui(d, mensagem, false, 1);
  }
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
    return conclui(d, "", d.com_erros, 0);
  case ComoTerminou::TempoEsgotado: {
    const double s = parser_ajustes.tempo_limite;
    return interrompido(d, "[erro] o programa passou do tempo limite de " + segundos(s) +
                               (s == 1 ? " segundo" : " segundos") +
                               " de processamento e foi interrompido (um laço que nunca "
                               "termina?).\n");
  }
  case ComoTerminou::Parado: {
    const double s = 3 * parser_ajustes.tempo_limite;
    return interrompido(d, "[erro] o programa ficou " + segundos(s) +
                               " segundos parado, sem terminar e fora de espera() (esperando "
                               "algo que nunca vem, como uma tecla?), e foi interrompido.\n");
  }
  case ComoTerminou::SemMemoria:
    return interrompido(d, std::string(PAROU) + "usou memória demais.\n");
  case ComoTerminou::GrandeDemais:
    return interrompido(d, "[erro] o programa é grande demais para a memória.\n");
  case ComoTerminou::Sinal: {
    const std::string motivo = falha_motivo(d.sinal, d.pilha, false, d.falha);
    return interrompido(d, parada(d, motivo.empty() ? motivo_do_sinal(d.sinal, d.pilha) : motivo));
  }
  case ComoTerminou::Verificacao:
    return interrompido(d, parada(d, falha_motivo(0, false, true, d.falha)));
  case ComoTerminou::Proibido: {
    const std::string acao = d.proibida >= 0 ? confina_acao(d.proibida) : "";
    return interrompido(
        d, acao.empty()
               ? "[erro] o programa tentou fazer algo que não é permitido no olpa.\n"
               : "[erro] o programa tentou " + acao + ", o que não é permitido no olpa.\n");
  }
  case ComoTerminou::NaoConfinou:
    return interrompido(d, "[erro] não foi possível isolar o programa do resto do sistema, "
                           "então ele não foi rodado.\n");
  case ComoTerminou::Interrompido:
    // The learner asked for it: not an error, and the canvas stays in view.
    return interrompido(d, "[olpa] programa interrompido.\n", false);
  case ComoTerminou::Inesperado:
    break;
  }
  return interrompido(d, "[erro] o programa terminou de forma inesperada.\n");
}
