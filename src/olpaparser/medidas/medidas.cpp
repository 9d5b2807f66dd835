// SPDX-License-Identifier: GPL-3.0-or-later
// The runner's figures for the benchmarks, and its in-process floor: the same
// compile, link and run without a child, without guards.
#include "execucao.h"
#include "filho.h"

#include <cstdio>

namespace {

std::string console_no_processo;

void guarda_no_processo(const char *texto, size_t n) {
  console_no_processo.append(texto, n);
}

// This process hosts the run: no confinement, no events, no guards; the
// compiler's messages go to the console, its own words to standard output.
bool sem_confinar() {
  return true;
}
void sem_evento(Evento) {}
void mensagem_no_console(const Diagnostico &d) {
  console_no_processo += d.texto;
}
void rastro_na_saida(const char *texto, size_t n) {
  fwrite(texto, 1, n, stdout);
}
void sem_guardas(TCCState *) {}
void sem_verificar(TCCState *, void *, size_t) {}
void sem_soltar(const TabelaDeLinhas &) {}
void sem_fim(int) {}

const Hospedeiro PISO = {sem_confinar, sem_evento,    mensagem_no_console, rastro_na_saida,
                         sem_guardas,  sem_verificar, sem_soltar,          sem_fim};

} // namespace

void parser_define_verificacoes(bool ligadas) {
  parser_ajustes.verificar = ligadas;
}

void parser_define_confinamento(bool ligado) {
  parser_ajustes.confinar = ligado;
}

const ParserTempos &parser_tempos(void) {
  return parser_tempos_atuais;
}

int parser_executa_no_processo(const char *codigo, std::string *console) {
  const double inicio = parser_agora_ms();
  if (!processo_cria_memoria())
    return 0;
  console_no_processo.clear();
  olpa_gfx_define_console(guarda_no_processo);
  olpa_gfx_nova_execucao();
  Compartilhado *m = parser_memoria;
  m->compila = m->liga = m->confina = m->programa = 0;
  const int r = compila_e_roda(compila_preludio() + codigo, PISO);
  olpa_gfx_define_console(nullptr);
  parser_tempos_atuais = {0,
                          0,
                          m->compila,
                          m->liga,
                          0,
                          m->programa,
                          parser_agora_ms() - inicio,
                          0,
                          0,
                          olpa_gfx_tempos().abre,
                          olpa_gfx_tempos().grava,
                          inicio,
                          inicio,
                          0,
                          parser_agora_ms()};
  if (console)
    *console = console_no_processo;
  return r;
}
