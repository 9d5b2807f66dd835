// SPDX-License-Identifier: GPL-3.0-or-later
// The outcome of a run: what the child reported (its events, its exit status,
// what it left in shared memory, its console text) read once into one value,
// and the one place that value becomes console text and calls of the hooks.
// The program's own text is in the console already, shown as it came.
#include "eventos.h"
#include "confina.h"
#include "execucao.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/wait.h>

#include <glib.h>

namespace {

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
  // A refusal while compiling (the child is confined by then) is one too.
  if (WIFEXITED(ex.status) && WEXITSTATUS(ex.status) == SAIDA_PROIBIDA)
    return ComoTerminou::Proibido;
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

// Trace lines as a log can take them: no control characters but line ends,
// nothing invalid, nothing longer than the buffer they came in.
std::string rastro_valido(const Compartilhado &m) {
  const size_t n = std::min<size_t>(m.rastro_tamanho, sizeof m.rastro);
  return parser_escapa_controles(olpa_texto_valido(m.rastro, n));
}

// A message of the run's own, with its kind and the program's line it is about.
struct Mensagem {
  ParserTipo tipo;
  int linha;
  std::string texto;
};
using Mensagens = std::vector<Mensagem>;

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

// The end of the console after the program's text: the note of a cut, the
// messages, then the framing's last line; the marks, the look, the result.
void conclui(const Desfecho &d, Mensagens mensagens, bool aparencia_de_erro, bool sucesso,
             ParserResultado *r) {
  const std::string espaco = nota_do_espaco(d);
  if (!espaco.empty()) {
    mensagens.push_back({ParserTipo::Erro, 0, espaco});
    aparencia_de_erro = true;
    sucesso = false;
  }
  if (d.descartado > 0)
    resultado_acrescenta(r, ParserTipo::Olpa, 0,
                         "[olpa] a saída do programa passou de 1 MiB; o restante (" +
                             std::to_string(d.descartado) + " bytes) foi descartado.\n");
  for (const Mensagem &m : mensagens)
    resultado_acrescenta(r, m.tipo, m.linha, m.texto);
  if (sucesso)
    resultado_acrescenta(r, ParserTipo::Olpa, 0, "[olpa] sucesso!\n");
  r->marcas_erro = d.linhas;
  r->marcas_aviso = d.avisos;
  r->aparencia_de_erro = aparencia_de_erro;
  r->sucesso = sucesso;
}

// A run stopped from outside: whatever its canvas held is no longer trusted.
void interrompido(const Desfecho &d, const std::string &motivo, ParserResultado *r,
                  ParserTipo tipo = ParserTipo::Erro, int linha = 0) {
  if (!d.ao_lado)
    olpa_gfx_fecha_tela();
  conclui(d, {{tipo, linha, motivo}}, tipo == ParserTipo::Erro, false, r);
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
  // Beside others (grading), what a run wrote stays in its space.
  if (!d->espaco_estourou && !ex.ajustes.ao_lado && !espaco_junta(ex.espaco))
    d->espaco_erro = errno ? errno : EIO;
  const char *exportar = d->estado.arquivo_exportar;
  d->figura_nova = d->como == ComoTerminou::Terminou && !d->espaco_estourou && !d->espaco_erro &&
                   strnlen(exportar, OLPA_CAMINHO_MAX) < OLPA_CAMINHO_MAX &&
                   olpa_gfx_exportar_valido(exportar) && espaco_tem_arquivo(ex.espaco, exportar);
}

// Stopped from outside (the time limit, idle too long, Parar): where the
// program was, as its child noted it, and what that suggests.
void le_parada(const Execucao &ex, const Eventos &eventos, const std::string &codigo, Desfecho *d) {
  const bool de_fora = d->como == ComoTerminou::TempoEsgotado || d->como == ComoTerminou::Parado ||
                       d->como == ComoTerminou::Interrompido;
  if (de_fora && ex.memoria->parada_anotada)
    d->linhas_da_parada = falha_linhas_da_parada(eventos.tabela, codigo, ex.memoria->parada,
                                                 ex.memoria->parada_no_salto != 0);
  if (d->como == ComoTerminou::TempoEsgotado) {
    int laco = 0;
    d->dica_do_tempo = falha_dica_do_tempo(codigo, d->linhas_da_parada, &laco);
    // A loop that never ends is stopped anywhere in it, as the moment
    // falls: the loop is the line named, the same on every run.
    if (laco > 0)
      d->linhas_da_parada.front() = laco;
  }
  const int linha = d->linhas_da_parada.empty() ? 0 : d->linhas_da_parada.front();
  if (linha > 0 && d->como != ComoTerminou::Interrompido)
    d->linhas.push_back(linha);
}

} // namespace

Desfecho desfecho_le(const Execucao &ex, const std::string &codigo) {
  const Eventos eventos = eventos_le(ex.eventos);
  const Compartilhado &m = *ex.memoria;
  Desfecho d;
  d.ao_lado = ex.ajustes.ao_lado;
  d.tempo_limite = ex.ajustes.tempo_limite;
  d.como = como_terminou(ex, eventos);
  d.sinal = WIFSIGNALED(ex.status) ? WTERMSIG(ex.status) : 0;
  // Notes the child left count only where its end shows what they are about.
  d.pilha = d.sinal == SIGSEGV && m.pilha_estourou != 0;
  d.proibida =
      d.como == ComoTerminou::Proibido && m.proibida > 0 && m.proibida < 1024 ? m.proibida : -1;
  d.codigo_saida = d.como == ComoTerminou::Terminou ? m.codigo_saida : 0;
  d.rastro = rastro_valido(m);
  d.com_erros = eventos.tem(Evento::Erro);
  d.linhas = eventos.linhas_com_erro;
  d.avisos = eventos.linhas_com_aviso;
  d.console = ex.valido;
  d.descartado = ex.descartado;
  if (d.como == ComoTerminou::Terminou)
    d.estado = olpa_gfx_normaliza_estado(m.estado);
  le_espaco(ex, &d);
  d.compila = m.compila;
  d.liga = m.liga;
  d.confina = m.confina;
  d.programa = d.como == ComoTerminou::Terminou ? m.programa : 0;
  d.tem_main = !eventos.tem(Evento::SemMain);
  d.compilando = !eventos.tem(Evento::Inicio);
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
  le_parada(ex, eventos, codigo, &d);
  registro_no_desfecho(ex, codigo, &d);
  return d;
}

namespace {

// The picture of a run that ended well: the file it wrote at its export
// path (read from the file: in its space, or in ../telas when it has none),
// or its canvas when it wrote none there.
void poe_figura(const Desfecho &d, const Execucao &ex, ParserResultado *r) {
  static std::vector<unsigned char> da_janela;
  std::vector<unsigned char> &figura = d.ao_lado ? r->pixels : da_janela;
  r->figura_gravada = d.espaco_proprio ? d.figura_nova : d.estado.png_gravado != 0;
  const char *caminho = d.estado.arquivo_exportar;
  // The file is read back only for who shows it; the canvas costs nothing.
  const bool lida = r->figura_gravada && ex.ajustes.vista &&
                    (d.ao_lado && d.espaco_proprio
                         ? espaco_le_figura(ex.espaco, caminho, &figura, &r->figura_recusada)
                         : telas_le_figura(d.ao_lado ? ex.ajustes.pasta : AT_FDCWD, caminho,
                                           &figura, &r->figura_recusada));
  if (lida) {
    r->figura = figura.data();
  } else if (d.estado.relato.tela_da_execucao && d.ao_lado) { // its memory goes at its end
    figura.assign(ex.memoria->pixels, ex.memoria->pixels + OLPA_TELA_BYTES);
    r->figura = figura.data();
  } else if (d.estado.relato.tela_da_execucao) {
    r->figura = ex.memoria->pixels;
  }
}

void termina_bem(const Desfecho &d, const Execucao &ex, ParserResultado *r) {
  const OlpaEstado &e = d.estado;
  if (!d.ao_lado)
    olpa_gfx_importa_estado(e);
  // One line each, after the program's text: its exit code, a colour out
  // of range, why no picture (or not the expected one) shows.
  Mensagens mensagens;
  if (d.codigo_saida != 0)
    mensagens.push_back(
        {ParserTipo::Olpa, 0,
         "[olpa] o programa terminou com o código " + std::to_string(d.codigo_saida) + ".\n"});
  // A picture that could not be written said so in an "[erro]" line: no success.
  if (e.png_falhou)
    return conclui(d, mensagens, true, false, r);
  mensagens.push_back(
      {ParserTipo::Aviso, d.linha_da_cor, relato_aviso_de_cor(e.relato, d.linha_da_cor)});
  mensagens.push_back({ParserTipo::Olpa, 0, relato_por_que(e.relato, d.tem_main, e)});
  mensagens.push_back({ParserTipo::Olpa, d.linha_do_aviso, d.aviso});
  conclui(d, mensagens, false, true, r);
  if (r->sucesso)
    poe_figura(d, ex, r);
}

// "[erro] linha 6: o programa foi interrompido: " and the cause.
void parado(const Desfecho &d, const std::string &motivo, ParserResultado *r) {
  interrompido(d, parada(d, motivo), r, ParserTipo::Erro, d.linha_da_falha);
}

// "[erro] linha 6: " when the line it stood on is known.
std::string na_linha(const Desfecho &d) {
  return d.linhas_da_parada.empty() ? std::string()
                                    : "linha " + std::to_string(d.linhas_da_parada.front()) + ": ";
}
int linha_da_parada(const Desfecho &d) {
  return d.linhas_da_parada.empty() ? 0 : d.linhas_da_parada.front();
}

// The console's end and the picture, by how it ended.
void mostra_fim(const Desfecho &d, const Execucao &ex, ParserResultado *r) {
  switch (d.como) {
  case ComoTerminou::Terminou:
    termina_bem(d, ex, r);
    r->caminho = d.estado.arquivo_exportar; // the program's, now checked
    return;
  case ComoTerminou::NaoIniciou:
    return conclui(d,
                   {{ParserTipo::Erro, 0,
                     "[erro] não foi possível iniciar a execução do programa (" +
                         std::string(g_strerror(d.erro)) + ").\n"}},
                   true, false, r);
  case ComoTerminou::SemCompilador:
    resultado_troca(r, ParserTipo::Erro, PARSER_SEM_COMPILADOR);
    return;
  case ComoTerminou::NaoCompilou:
    // Without an error shown there is nothing to mark the console red for.
    return conclui(d, {}, d.com_erros, false, r);
  case ComoTerminou::TempoEsgotado: {
    const double s = d.tempo_limite;
    const std::string limite = segundos(s) + (s == 1 ? " segundo" : " segundos");
    // Still compiling: no loop of the program's ran yet.
    if (d.compilando)
      return interrompido(d,
                          "[erro] o compilador passou do tempo limite de " + limite +
                              " de processamento, e o programa não chegou a rodar (uma macro "
                              "que cresce demais? um programa grande demais?).\n",
                          r);
    return interrompido(d,
                        "[erro] " + na_linha(d) + "o programa passou do tempo limite de " + limite +
                            " de processamento e foi interrompido" + d.dica_do_tempo + ".\n",
                        r, ParserTipo::Erro, linha_da_parada(d));
  }
  case ComoTerminou::Parado: {
    const double s = 3 * d.tempo_limite;
    return interrompido(d,
                        "[erro] " + na_linha(d) + "o programa ficou " + segundos(s) +
                            " segundos parado, sem terminar e fora de espera() (esperando algo "
                            "que nunca vem, como uma tecla?), e foi interrompido.\n",
                        r, ParserTipo::Erro, linha_da_parada(d));
  }
  case ComoTerminou::SemMemoria:
    return interrompido(d, std::string(PAROU) + "usou memória demais.\n", r);
  case ComoTerminou::GrandeDemais:
    return interrompido(d, "[erro] o programa é grande demais para a memória.\n", r);
  case ComoTerminou::Sinal: {
    const std::string motivo = falha_motivo(d.sinal, d.pilha, false, d.falha);
    return parado(d, motivo.empty() ? falha_motivo_do_sinal(d.sinal, d.pilha) : motivo, r);
  }
  case ComoTerminou::Verificacao:
    return parado(d, falha_motivo(0, false, true, d.falha), r);
  case ComoTerminou::Proibido: {
    const std::string acao = d.proibida >= 0 ? confina_acao(d.proibida) : "";
    return interrompido(
        d,
        acao.empty() ? "[erro] o programa tentou fazer algo que não é permitido no olpa.\n"
                     : "[erro] o programa tentou " + acao + ", o que não é permitido no olpa.\n",
        r);
  }
  case ComoTerminou::NaoConfinou:
    return interrompido(d,
                        "[erro] não foi possível isolar o programa do resto do sistema, então "
                        "ele não foi rodado.\n",
                        r);
  case ComoTerminou::Interrompido: {
    // The learner asked for it: not an error, and the canvas stays in view.
    const int linha = linha_da_parada(d);
    return interrompido(d,
                        linha ? "[olpa] programa interrompido na linha " + std::to_string(linha) +
                                    ".\n"
                              : "[olpa] programa interrompido.\n",
                        r, ParserTipo::Olpa, linha);
  }
  case ComoTerminou::Inesperado:
    break;
  }
  interrompido(d, "[erro] o programa terminou de forma inesperada.\n", r);
}

// A stopped run's canvas as it drew it until then: beside others, its pixels
// alone (no picture of the run's); in the window, in view when it drew.
void poe_tela_parada(const Desfecho &d, const Execucao &ex, ParserResultado *r) {
  if (r->fim != ParserFim::Interrompido || !ex.memoria)
    return;
  if (d.ao_lado)
    r->pixels.assign(ex.memoria->pixels, ex.memoria->pixels + OLPA_TELA_BYTES);
  else if (d.tela)
    r->figura = ex.memoria->pixels;
}

} // namespace

void desfecho_mostra(const Desfecho &d, const Execucao &ex, ParserResultado *r) {
  r->terminou = true;
  r->fim = fim_do_desfecho(d.como);
  r->caminho = d.ao_lado ? OLPA_ARQUIVO_PADRAO : olpa_arquivo_exportar;
  if (!d.rastro.empty())
    parser_escreve_tudo(parser_ajustes.fd_trace, d.rastro.data(), d.rastro.size());
  mostra_fim(d, ex, r);
  poe_tela_parada(d, ex, r);
  r->registro = d.registro;
  r->passos = d.passos;
  r->pausa = 0;
}
