// SPDX-License-Identifier: GPL-3.0-or-later
// What the report's page carries in itself, so that it is one file that
// works from disk, offline: its stylesheet (big type and strong colours for a
// projector, a print stylesheet for paper) and a small script that sorts and
// filters the summary table and the cards. Without the script the page shows
// everything, in the class's order.
#include "relatorio.h"

#include <cstdio>

namespace {

const char ESTILO[] = R"(
:root { --igual: #1b7a34; --diferente: #b34700; --erro: #c0182b; --interrompido: #6a2c91;
  --sem_figura: #4a5a66; --nada_desenhado: #7a6a00; }
* { box-sizing: border-box; }
[hidden] { display: none !important; }
body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; font-size: 20px;
  line-height: 1.4; color: #111; background: #fff; max-width: 1500px; margin: 0 auto;
  padding: 1.2em 1.5em; }
h1 { font-size: 2em; margin: 0 0 .2em; }
h2 { font-size: 1.3em; margin: 0; display: inline-flex; flex-wrap: wrap; gap: .5em;
  align-items: center; overflow-wrap: anywhere; vertical-align: middle; }
.num { color: #555; min-width: 2em; }
.selo { display: inline-block; padding: .1em .6em; border-radius: .35em; color: #fff;
  font-weight: bold; white-space: nowrap; -webkit-print-color-adjust: exact;
  print-color-adjust: exact; }
.igual { --cor: var(--igual); } .diferente { --cor: var(--diferente); }
.erro { --cor: var(--erro); } .interrompido { --cor: var(--interrompido); }
.sem_figura { --cor: var(--sem_figura); } .nada_desenhado { --cor: var(--nada_desenhado); }
.selo { background: var(--cor, #333); }
.resumo { display: flex; flex-wrap: wrap; gap: .6em; list-style: none; padding: 0;
  margin: .8em 0 .6em; }
.resumo .selo { font-size: 1.15em; padding: .3em .8em; }
.resumo .selo.zero { opacity: .35; }
.marca { display: inline-block; width: 1.1em; height: 1.1em; vertical-align: -.15em;
  border: 1px solid #333; margin: 0 .25em 0 .6em; -webkit-print-color-adjust: exact;
  print-color-adjust: exact; }
.legenda { font-size: .85em; margin: .4em 0; }
.filtros { display: flex; flex-wrap: wrap; gap: .6em 1.5em; align-items: center;
  margin: 1em 0 .5em; }
.filtros select, .filtros input { font: inherit; padding: .15em .4em; }
table { border-collapse: collapse; width: 100%; margin-bottom: 1.5em; font-size: .9em; }
th, td { text-align: left; padding: .3em .6em; border-bottom: 1px solid #bbb;
  vertical-align: top; overflow-wrap: anywhere; }
th { border-bottom: 2px solid #333; white-space: nowrap; }
th button { font: inherit; font-weight: bold; border: 0; background: none; padding: 0;
  cursor: pointer; color: inherit; }
th[aria-sort="ascending"] button::after { content: " ▲"; }
th[aria-sort="descending"] button::after { content: " ▼"; }
td.n { text-align: right; white-space: nowrap; }
#indice td:nth-child(2) { overflow-wrap: break-word; min-width: 10em; }
.arq { display: block; font-size: .8em; color: #555; }
.ficha { border: 2px solid #ccc; border-left: 12px solid var(--cor, #888); border-radius: 6px;
  padding: .8em 1em; margin: 0 0 1.2em; break-inside: avoid; page-break-inside: avoid; }
.ficha > summary { cursor: pointer; }
.ficha[open] > summary { margin-bottom: .6em; }
.explica, .copia, .arquivo { margin: 0 0 .6em; overflow-wrap: anywhere; }
.arquivo { color: #555; font-size: .85em; }
.copia { background: #fff4c2; padding: .2em .5em; border-radius: .3em; }
.figuras { display: grid; grid-template-columns: repeat(3, minmax(0, 1fr)); gap: 1em; }
figure { margin: 0; }
figure img { display: block; width: 100%; height: auto; aspect-ratio: 4 / 3;
  border: 1px solid #666; background: #000; }
figcaption { text-align: center; font-size: .9em; color: #333; }
.vazia { aspect-ratio: 4 / 3; display: flex; align-items: center; justify-content: center;
  border: 2px dashed #999; color: #555; background: #f2f2f2; text-align: center; }
details.codigo, details.console { margin: .8em 0 0; }
details.codigo > summary, details.console > summary { cursor: pointer; font-size: .9em; }
pre { background: #151515; color: #eee; padding: .6em .8em; margin: .4em 0 0;
  white-space: pre-wrap; overflow-wrap: anywhere; font-size: .8em; max-height: 18em;
  overflow: auto; }
pre.codigo { background: #f6f6f6; color: #111; border: 1px solid #ccc; max-height: 30em; }
.ln { display: block; }
.nl { display: inline-block; min-width: 3.5em; padding-right: .8em; text-align: right;
  color: #888; user-select: none; }
.ln.erro { background: #ffd0d0; outline: 2px solid var(--erro); font-weight: bold; }
.ln.erro .nl { color: var(--erro); }
footer { color: #555; font-size: .8em; margin-top: 2em; }
@media print {
  body { font-size: 11pt; max-width: none; padding: 0; }
  a { color: inherit; text-decoration: none; }
  pre { background: #fff; color: #000; border: 1px solid #999; max-height: none;
    overflow: visible; }
  .ficha { border-color: #999; border-left-color: var(--cor, #888); }
  .figuras { gap: .5em; }
  .filtros, th button::after { display: none; }
}
)";

// Sorting by a header (again: the other way), filtering by verdict and by a
// part of the name (accents and case aside); the cards follow the table.
const char SCRIPT[] = R"(
(function () {
  'use strict';
  var corpo = document.querySelector('#indice tbody');
  var linhas = Array.prototype.slice.call(corpo.rows);
  var fichas = document.getElementById('fichas');
  var situacao = document.getElementById('filtro-situacao');
  var nome = document.getElementById('filtro-nome');
  var contagem = document.getElementById('contagem');
  var cabecalhos = document.querySelectorAll('#indice th[data-chave]');
  var atual = {chave: 'n', sentido: 1};
  function simples(t) {
    return t.normalize('NFD').replace(/[\u0300-\u036f]/g, '').toLocaleLowerCase('pt-BR');
  }
  function nomeDe(l) { return l.cells[1].querySelector('a').textContent; }
  function ficha(l) { return document.getElementById('a' + l.getAttribute('data-n')); }
  function valor(l, chave) {
    return chave === 'nome' ? nomeDe(l) : parseFloat(l.getAttribute('data-' + chave));
  }
  function ordena(chave) {
    atual.sentido = atual.chave === chave ? -atual.sentido : 1;
    atual.chave = chave;
    linhas.sort(function (a, b) {
      var x = valor(a, chave), y = valor(b, chave);
      var d = chave === 'nome'
        ? x.localeCompare(y, 'pt-BR', {numeric: true, sensitivity: 'base'}) : x - y;
      return (d || valor(a, 'n') - valor(b, 'n')) * atual.sentido;
    });
    linhas.forEach(function (l) { corpo.appendChild(l); fichas.appendChild(ficha(l)); });
    Array.prototype.forEach.call(cabecalhos, function (th) {
      th.setAttribute('aria-sort', th.getAttribute('data-chave') !== chave ? 'none'
        : atual.sentido > 0 ? 'ascending' : 'descending');
    });
  }
  function filtra() {
    var s = situacao.value, parte = simples(nome.value.trim()), vistas = 0;
    linhas.forEach(function (l) {
      var ve = (!s || l.getAttribute('data-situacao') === s) &&
        (!parte || simples(nomeDe(l)).indexOf(parte) >= 0);
      l.hidden = !ve;
      ficha(l).hidden = !ve;
      vistas += ve ? 1 : 0;
    });
    contagem.textContent = vistas + (vistas === 1 ? ' arquivo' : ' arquivos') + ' de ' +
      linhas.length;
  }
  Array.prototype.forEach.call(cabecalhos, function (th) {
    th.querySelector('button').addEventListener('click', function () {
      ordena(th.getAttribute('data-chave'));
    });
  });
  situacao.addEventListener('change', filtra);
  nome.addEventListener('input', filtra);
  // On paper every card shown is whole; on screen again as it was.
  var fechadas = [];
  window.addEventListener('beforeprint', function () {
    fechadas = Array.prototype.filter.call(fichas.children, function (f) { return !f.open; });
    fechadas.forEach(function (f) { f.open = true; });
  });
  window.addEventListener('afterprint', function () {
    fechadas.forEach(function (f) { f.open = false; });
  });
  document.querySelector('.filtros').hidden = false;
  filtra();
})();
)";

std::string cor_css(uint32_t argb) {
  char texto[16];
  snprintf(texto, sizeof texto, "#%06x", argb & 0xffffffu);
  return texto;
}

} // namespace

std::string relatorio_pagina_estilo(const CoresDasMarcas &m) {
  return ESTILO + (".marca.faltando { background: " + cor_css(m.faltando) +
                   "; } .marca.sobrando { background: " + cor_css(m.sobrando) +
                   "; } .marca.cor { background: " + cor_css(m.cor) + "; }\n");
}

const char *relatorio_pagina_script() {
  return SCRIPT;
}
