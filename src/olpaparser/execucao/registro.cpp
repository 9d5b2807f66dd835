// SPDX-License-Identifier: GPL-3.0-or-later
// The record of a run's calls on the application's side: read out of the
// memory the child wrote it in (while the program stands paused, and once
// more at its end), each call's line found in the table of lines the child
// sent before main; its steps; and the notice it gives of a picture that
// shows nothing or loses strokes.
#include "execucao.h"

#include "olpa_avisos.h"
#include "olpa_passos.h"

#include <algorithm>

void registro_le(Execucao *ex, const TabelaDeLinhas &tabela, const std::string &codigo) {
  if (!ex->gravado || ex->medidas.chamadas == 0)
    return;
  if (!ex->registro)
    ex->registro = std::make_shared<OlpaRegistro>();
  OlpaRegistro &r = *ex->registro;
  olpa_registro_le_mais(ex->gravado, ex->medidas, &r);
  // Stopped while it stood paused: the call it stood before was noted, and
  // never ran.
  if (ex->pid < 0 && ex->pausado_em > 0 && ex->pausado_em <= r.entradas.size() &&
      r.chamadas == ex->pausado_em) {
    r.entradas.resize(ex->pausado_em - 1);
    r.chamadas = r.entradas.size();
    r.fechado = true;
  }
  if (!r.linhas.empty() || r.enderecos.empty())
    return;
  // Each address is just past its call: the call's line is the byte before's.
  const int ultima = static_cast<int>(std::count(codigo.begin(), codigo.end(), '\n')) + 1;
  std::vector<int> linhas;
  linhas.reserve(r.enderecos.size());
  for (uint64_t endereco : r.enderecos) {
    const int linha = linhas_linha(tabela, endereco - 1);
    linhas.push_back(linha <= ultima ? linha : 0);
  }
  olpa_registro_define_linhas(&r, linhas);
}

std::shared_ptr<OlpaPassos> registro_passos(const std::shared_ptr<OlpaRegistro> &registro) {
  // The steps hold the record they replay.
  OlpaPassos *passos = olpa_passos_cria(registro.get()).release();
  return std::shared_ptr<OlpaPassos>(passos, [registro](OlpaPassos *p) { OlpaPassosLibera()(p); });
}

std::string registro_aviso(const OlpaRegistro &registro, OlpaPassos *passos,
                           const std::string &codigo, int *linha) {
  if (registro.entradas.size() <= REGISTRO_AVISO_CHAMADAS)
    while (!olpa_passos_percorre(passos, 1000)) {
    }
  return olpa_avisos_do_registro(registro, passos, codigo, linha);
}

void registro_no_desfecho(const Execucao &ex, const std::string &codigo, Desfecho *d) {
  d->registro = ex.registro;
  const Compartilhado &m = *ex.memoria;
  // A stopped run's canvas is what it drew until then, when it drew (or
  // found one open).
  d->tela = d->registro &&
            (m.mudancas.load(std::memory_order_relaxed) > 0 || d->registro->inicio.tela_aberta);
  if (!d->registro)
    return;
  const OlpaRelato &relato = d->estado.relato;
  const bool avisa =
      d->como == ComoTerminou::Terminou && d->tem_main && !d->estado.png_falhou &&
      (relato.chamou_inicia || relato.tela_da_execucao); // else the relato says it all
  if (avisa || !d->ao_lado)
    d->passos = registro_passos(d->registro);
  if (avisa)
    d->aviso = registro_aviso(*d->registro, d->passos.get(), codigo, &d->linha_do_aviso);
  // A line the compiler, or a colour out of range, warned of already: told
  // once is enough. (The analysis, told after the run, gives way to it.)
  if (d->linha_do_aviso > 0 &&
      std::find(d->avisos.begin(), d->avisos.end(), d->linha_do_aviso) != d->avisos.end()) {
    d->aviso.clear();
    d->linha_do_aviso = 0;
  }
  if (d->linha_do_aviso > 0)
    d->avisos.push_back(d->linha_do_aviso);
  if (d->ao_lado)
    d->passos.reset();
}
