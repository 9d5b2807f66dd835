// SPDX-License-Identifier: GPL-3.0-or-later
// The one value a run's outcome is told through (ParserResultado): its
// console text and that text's lines with their kinds, made as the run goes.
// The framing ("[olpa] compilando", "[olpa] sucesso!") is written here and
// nowhere else; the run's own messages come in with their kinds, and the
// program's text as it comes.
#include "execucao.h"

namespace {

// The lines of `r.texto` from `desde` on, as far as they are whole, with
// `tipo` and `linha`; the last one too when `ate_o_fim`.
void separa(ParserResultado *r, size_t desde, ParserTipo tipo, int linha) {
  while (desde < r->texto.size()) {
    const size_t fim = r->texto.find('\n', desde);
    if (fim == std::string::npos) {
      r->linhas.push_back({tipo, linha, desde, r->texto.size()});
      return;
    }
    r->linhas.push_back({tipo, linha, desde, fim});
    desde = fim + 1;
  }
}

// Whether the console's last line is still open (text with no line end yet).
bool aberta(const ParserResultado &r) {
  return !r.texto.empty() && r.texto.back() != '\n';
}

} // namespace

const char *const PARSER_SEM_COMPILADOR = "[erro fatal] linguagem olpa ausente.\n";

void resultado_comeca(ParserResultado *r) {
  *r = ParserResultado{};
  resultado_acrescenta(r, ParserTipo::Olpa, 0, "[olpa] compilando\n");
}

void resultado_acrescenta(ParserResultado *r, ParserTipo tipo, int linha,
                          const std::string &texto) {
  if (texto.empty())
    return;
  // Our own messages start a line of their own, whatever the program left
  // unfinished.
  if (aberta(*r))
    r->texto += '\n';
  const size_t desde = r->texto.size();
  r->texto += texto;
  if (r->texto.back() != '\n')
    r->texto += '\n';
  separa(r, desde, tipo, linha);
}

void resultado_programa(ParserResultado *r, const char *texto, size_t tamanho) {
  if (tamanho == 0)
    return;
  size_t desde = r->texto.size();
  // The open last line (the program's) goes on.
  if (aberta(*r) && !r->linhas.empty()) {
    desde = r->linhas.back().inicio;
    r->linhas.pop_back();
  }
  r->texto.append(texto, tamanho);
  separa(r, desde, ParserTipo::Texto, 0);
}

void resultado_troca(ParserResultado *r, ParserTipo tipo, const std::string &texto) {
  r->texto.clear();
  r->linhas.clear();
  r->trocado++;
  resultado_acrescenta(r, tipo, 0, texto);
}

std::string parser_linha_texto(const ParserResultado &r, const ParserLinha &l) {
  return r.texto.substr(l.inicio, l.fim - l.inicio);
}
