// SPDX-License-Identifier: GPL-3.0-or-later
// The report as one page a teacher opens from disk (no server, nothing from the
// network): a summary, the table of the files (sorted and filtered by a small
// script in the page), the model, then each file's card (relatorio_ficha.cpp).
#include "turma.h"

#include "relatorio.h"
#include "textos.h"

#include <ctime>

namespace {

std::string selo(Situacao s) {
  const std::string nome = situacao_nome(s);
  return "<span class=\"selo " + nome + "\">" + texto_html(situacao_rotulo(s)) + "</span>";
}

std::string resumo(const Turma &t) {
  std::string html = "<ul class=\"resumo\">\n";
  for (Situacao s : SITUACOES) {
    const int n = turma_conta(t, s);
    const std::string nome = situacao_nome(s);
    html += "<li class=\"selo " + nome + (n == 0 ? " zero" : "") + "\" data-resumo=\"" + nome +
            "\" data-quantidade=\"" + std::to_string(n) + "\">" + std::to_string(n) + " " +
            texto_html(situacao_rotulo(s, n)) + "</li>\n";
  }
  html += "</ul>\n";
  double maior_igual, menor_diferente;
  resumo_separacao(t, &maior_igual, &menor_diferente);
  if (maior_igual >= 0 && menor_diferente >= 0)
    html += "<p class=\"separacao\">Separação: a maior diferença entre os iguais é " +
            texto_html(texto_porcentagem(maior_igual)) +
            " do desenho; a menor entre os diferentes, " +
            texto_html(texto_porcentagem(menor_diferente)) + ".</p>\n";
  return html;
}

std::string filtros() {
  std::string opcoes = "<option value=\"\">todas</option>";
  for (Situacao s : SITUACOES)
    opcoes += std::string("<option value=\"") + situacao_nome(s) + "\">" +
              texto_html(situacao_rotulo(s)) + "</option>";
  return "<div class=\"filtros\" hidden>\n<label>Situação: <select id=\"filtro-situacao\">" +
         opcoes +
         "</select></label>\n<label>Nome: <input id=\"filtro-nome\" type=\"search\" "
         "placeholder=\"parte do nome\" autocomplete=\"off\"></label>\n"
         "<span id=\"contagem\" aria-live=\"polite\"></span>\n</div>\n";
}

std::string cabecalho(const char *chave, const char *texto) {
  return std::string("<th data-chave=\"") + chave + "\" aria-sort=\"" +
         (std::string(chave) == "n" ? "ascending" : "none") + "\"><button type=\"button\">" +
         texto + "</button></th>";
}

int indice_de(Situacao s) {
  int i = 0;
  while (SITUACOES[i] != s)
    i++;
  return i;
}

std::string indice(const Turma &t) {
  std::string html = "<table id=\"indice\">\n<thead><tr>" + cabecalho("n", "#") +
                     cabecalho("nome", "nome") + cabecalho("s", "situação") +
                     cabecalho("nota", "nota") + cabecalho("parte", "diferença") +
                     "<th>mensagem</th></tr></thead>\n<tbody>\n";
  for (size_t i = 0; i < t.correcoes.size(); i++) {
    const Correcao &c = t.correcoes[i];
    const std::string n = std::to_string(c.posicao);
    const bool com_parte = c.comparada && c.situacao != Situacao::NadaDesenhado;
    html += "<tr data-n=\"" + n + "\" data-situacao=\"" + situacao_nome(c.situacao) +
            "\" data-s=\"" + std::to_string(indice_de(c.situacao)) + "\" data-nota=\"" +
            texto_decimal(situacao_nota(c), 1, '.') + "\" data-parte=\"" +
            (com_parte ? texto_decimal(c.comparacao.parte(), 4, '.') : "-1") +
            "\"><td class=\"n\">" + n + "</td><td><a href=\"#a" + n + "\">" +
            texto_html(texto_nome_base(c.arquivo)) + "</a>" +
            (c.arquivo != texto_nome_base(c.arquivo) + ".olp"
                 ? "<span class=\"arq\">" + texto_html(c.arquivo) + "</span>"
                 : "") +
            "</td><td>" + selo(c.situacao) + "</td><td class=\"n\">" +
            texto_decimal(situacao_nota(c), 1, ',') + "</td><td class=\"n\">" +
            (com_parte ? texto_html(texto_porcentagem(c.comparacao.parte())) : "") + "</td><td>" +
            texto_html(c.mensagem) + "</td></tr>\n";
  }
  return html + "</tbody>\n</table>\n";
}

std::string agora() {
  const time_t t = time(nullptr);
  char texto[64];
  strftime(texto, sizeof texto, "%d/%m/%Y às %H:%M", localtime(&t));
  return texto;
}

} // namespace

std::string relatorio_html(const Turma &t) {
  const std::string modelo = texto_html(t.modelo);
  const size_t total = t.correcoes.size();
  std::string html = "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                     "<title>Relatório da turma: " +
                     modelo + "</title>\n<style>" + relatorio_pagina_estilo(t.marcas) +
                     "</style>\n</head>\n<body>\n";
  html += "<header>\n<h1>Relatório da turma</h1>\n<p>Modelo: <strong>" + modelo + "</strong> · " +
          std::to_string(total) + (total == 1 ? " arquivo" : " arquivos") +
          " · tolerância: " + texto_html(texto_porcentagem(t.tolerancia)) +
          " do desenho · deslocamento: " + std::to_string(t.deslocamento) +
          (t.deslocamento == 1 ? " ponto" : " pontos") + "</p>\n" + resumo(t) +
          relatorio_ficha_legenda() + "</header>\n<main>\n" + filtros() + indice(t) +
          relatorio_ficha_modelo(t) + "<div id=\"fichas\">\n";
  for (size_t i = 0; i < total; i++)
    html += relatorio_ficha(t, i);
  return html + "</div>\n</main>\n<footer>Feito por olpa-rodar --compara em " + agora() +
         ".</footer>\n<script>" + relatorio_pagina_script() + "</script>\n</body>\n</html>\n";
}
