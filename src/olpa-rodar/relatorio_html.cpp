// SPDX-License-Identifier: GPL-3.0-or-later
// The report as one page a teacher opens from disk (no server, nothing from the
// network): a summary, an index, then per file its verdict, the model, its
// picture and the differences side by side, and its console text. Big type
// and strong colours for a projector; a print stylesheet for paper. Every
// text that came from a file name or a program is escaped.
#include "turma.h"

#include "textos.h"

#include <ctime>

#include <glib.h>

namespace {

// Enough console text to see what a program said, not a flood.
constexpr size_t CONSOLE_MAXIMO = 16 * 1024;

const char ESTILO[] = R"(
:root { --igual: #1b7a34; --diferente: #b34700; --erro: #c0182b; --interrompido: #6a2c91;
  --sem_figura: #4a5a66; }
* { box-sizing: border-box; }
body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; font-size: 20px;
  line-height: 1.4; color: #111; background: #fff; max-width: 1500px; margin: 0 auto;
  padding: 1.2em 1.5em; }
h1 { font-size: 2em; margin: 0 0 .2em; }
h2 { font-size: 1.3em; margin: 0 0 .5em; display: flex; flex-wrap: wrap; gap: .5em;
  align-items: center; overflow-wrap: anywhere; }
.num { color: #555; min-width: 2em; }
.selo { display: inline-block; padding: .1em .6em; border-radius: .35em; color: #fff;
  font-weight: bold; white-space: nowrap; -webkit-print-color-adjust: exact;
  print-color-adjust: exact; }
.igual { --cor: var(--igual); } .diferente { --cor: var(--diferente); }
.erro { --cor: var(--erro); } .interrompido { --cor: var(--interrompido); }
.sem_figura { --cor: var(--sem_figura); }
.selo { background: var(--cor, #333); }
.resumo { display: flex; flex-wrap: wrap; gap: .6em; list-style: none; padding: 0;
  margin: .8em 0 1.2em; }
.resumo .selo { font-size: 1.15em; padding: .3em .8em; }
.resumo .selo.zero { opacity: .35; }
table { border-collapse: collapse; width: 100%; margin-bottom: 1.5em; font-size: .9em; }
th, td { text-align: left; padding: .3em .6em; border-bottom: 1px solid #bbb;
  vertical-align: top; overflow-wrap: break-word; }
th { border-bottom: 2px solid #333; white-space: nowrap; }
td.n { text-align: right; white-space: nowrap; }
.ficha { border: 2px solid #ccc; border-left: 12px solid var(--cor, #888); border-radius: 6px;
  padding: .8em 1em; margin: 0 0 1.2em; break-inside: avoid; page-break-inside: avoid; }
.explica { margin: 0 0 .6em; overflow-wrap: anywhere; }
.figuras { display: grid; grid-template-columns: repeat(3, minmax(0, 1fr)); gap: 1em; }
figure { margin: 0; }
figure img { display: block; width: 100%; height: auto; aspect-ratio: 4 / 3;
  border: 1px solid #666; background: #000; }
figcaption { text-align: center; font-size: .9em; color: #333; }
.vazia { aspect-ratio: 4 / 3; display: flex; align-items: center; justify-content: center;
  border: 2px dashed #999; color: #555; background: #f2f2f2; }
pre { background: #151515; color: #eee; padding: .6em .8em; margin: .8em 0 0;
  white-space: pre-wrap; overflow-wrap: anywhere; font-size: .8em; max-height: 18em;
  overflow: auto; }
footer { color: #555; font-size: .8em; margin-top: 2em; }
@media print {
  body { font-size: 11pt; max-width: none; padding: 0; }
  a { color: inherit; text-decoration: none; }
  pre { background: #fff; color: #000; border: 1px solid #999; max-height: none;
    overflow: visible; }
  .ficha { border-color: #999; border-left-color: var(--cor, #888); }
  .figuras { gap: .5em; }
}
)";

std::string escapa(const std::string &bruto) {
  std::string saida;
  for (const char c : texto_utf8(bruto)) {
    switch (c) {
    case '&':
      saida += "&amp;";
      break;
    case '<':
      saida += "&lt;";
      break;
    case '>':
      saida += "&gt;";
      break;
    case '"':
      saida += "&quot;";
      break;
    case '\'':
      saida += "&#39;";
      break;
    default:
      saida += c;
    }
  }
  return saida;
}

// A path of the report as a link: each component escaped for a URL.
std::string endereco(const std::string &caminho) {
  char *e = g_uri_escape_string(caminho.c_str(), "/", TRUE);
  std::string s = e;
  g_free(e);
  return escapa(s);
}

std::string figura(const std::string &caminho, const std::string &legenda,
                   const std::string &falta) {
  if (caminho.empty())
    return "<figure><div class=\"vazia\">" + escapa(falta) + "</div><figcaption>" +
           escapa(legenda) + "</figcaption></figure>\n";
  const std::string e = endereco(caminho);
  return "<figure><a href=\"" + e + "\"><img src=\"" + e + "\" alt=\"" + escapa(legenda) +
         "\" width=\"640\" height=\"480\"></a><figcaption>" + escapa(legenda) +
         "</figcaption></figure>\n";
}

std::string console(const std::string &texto) {
  if (texto.empty())
    return "";
  std::string mostrado = texto;
  std::string nota;
  if (mostrado.size() > CONSOLE_MAXIMO) {
    const char *corte = g_utf8_find_prev_char(mostrado.c_str(), mostrado.c_str() + CONSOLE_MAXIMO);
    mostrado.resize(corte ? static_cast<size_t>(corte - mostrado.c_str()) : 0);
    nota = "\n[… " + texto_numero(static_cast<long>(texto.size() - mostrado.size())) +
           " bytes a mais não mostrados aqui]";
  }
  return "<pre class=\"console\">" + escapa(mostrado + nota) + "</pre>\n";
}

std::string diferenca_em_texto(const Correcao &c) {
  return texto_numero(c.pontos) + (c.pontos == 1 ? " ponto diferente (" : " pontos diferentes (") +
         texto_porcentagem(turma_porcentagem(c.pontos)) + ")";
}

std::string explicacao(const Turma &t, const Correcao &c) {
  if (c.situacao == Situacao::Igual && c.pontos == 0)
    return "Figura idêntica à do modelo.";
  if (c.situacao == Situacao::Igual)
    return diferenca_em_texto(c) + ", dentro da tolerância de " + texto_porcentagem(t.tolerancia) +
           ".";
  if (c.situacao == Situacao::Diferente)
    return diferenca_em_texto(c) + ", marcados em vermelho na diferença.";
  return c.mensagem;
}

std::string selo(Situacao s) {
  const std::string nome = situacao_nome(s);
  return "<span class=\"selo " + nome + "\">" + nome + "</span>";
}

std::string resumo(const Turma &t) {
  std::string html = "<ul class=\"resumo\">\n";
  for (Situacao s : SITUACOES) {
    const int n = turma_conta(t, s);
    const std::string nome = situacao_nome(s);
    html += "<li class=\"selo " + nome + (n == 0 ? " zero" : "") + "\" data-situacao=\"" + nome +
            "\" data-quantidade=\"" + std::to_string(n) + "\">" + std::to_string(n) + " " + nome +
            "</li>\n";
  }
  return html + "</ul>\n";
}

std::string indice(const Turma &t) {
  std::string html = "<table class=\"indice\">\n<thead><tr><th>#</th><th>arquivo</th>"
                     "<th>situação</th><th>diferença</th><th>mensagem</th></tr></thead>\n<tbody>\n";
  for (size_t i = 0; i < t.correcoes.size(); i++) {
    const Correcao &c = t.correcoes[i];
    const std::string n = std::to_string(i + 1);
    html += "<tr><td class=\"n\">" + n + "</td><td><a href=\"#a" + n + "\">" + escapa(c.arquivo) +
            "</a></td><td>" + selo(c.situacao) + "</td><td class=\"n\">" +
            (c.pontos < 0 ? "" : escapa(texto_porcentagem(turma_porcentagem(c.pontos)))) +
            "</td><td>" + escapa(c.mensagem) + "</td></tr>\n";
  }
  return html + "</tbody>\n</table>\n";
}

std::string ficha(const Turma &t, size_t i) {
  const Correcao &c = t.correcoes[i];
  const std::string nome = situacao_nome(c.situacao), n = std::to_string(i + 1);
  const std::string falta = c.situacao == Situacao::Erro           ? "não compilou"
                            : c.situacao == Situacao::Interrompido ? "interrompido"
                                                                   : "sem figura";
  return "<section class=\"ficha " + nome + "\" id=\"a" + n + "\" data-situacao=\"" + nome +
         "\">\n<h2><span class=\"num\">" + n + "</span><span>" + escapa(c.arquivo) + "</span>" +
         selo(c.situacao) + "</h2>\n<p class=\"explica\">" + escapa(explicacao(t, c)) +
         "</p>\n<div class=\"figuras\">\n" + figura(t.modelo_figura, "modelo", "") +
         figura(c.figura, "figura do aluno", falta) +
         figura(c.diferenca, "diferença (em vermelho)", "nada a comparar") + "</div>\n" +
         console(c.console) + "</section>\n";
}

std::string agora() {
  const time_t t = time(nullptr);
  char texto[64];
  strftime(texto, sizeof texto, "%d/%m/%Y às %H:%M", localtime(&t));
  return texto;
}

} // namespace

std::string relatorio_html(const Turma &t) {
  const std::string modelo = escapa(t.modelo);
  std::string html = "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                     "<title>Relatório da turma: " +
                     modelo + "</title>\n<style>" + ESTILO + "</style>\n</head>\n<body>\n";
  html += "<header>\n<h1>Relatório da turma</h1>\n<p>Modelo: <strong>" + modelo + "</strong> · " +
          std::to_string(t.correcoes.size()) +
          (t.correcoes.size() == 1 ? " arquivo" : " arquivos") +
          " · tolerância: " + escapa(texto_porcentagem(t.tolerancia)) + "</p>\n" + resumo(t) +
          "</header>\n<main>\n" + indice(t);
  html += "<section class=\"ficha modelo\" id=\"modelo\">\n<h2><span>Modelo: " + modelo +
          "</span></h2>\n<div class=\"figuras\">\n" + figura(t.modelo_figura, "modelo", "") +
          "</div>\n" + console(t.modelo_console) + "</section>\n";
  for (size_t i = 0; i < t.correcoes.size(); i++)
    html += ficha(t, i);
  return html + "</main>\n<footer>Feito por olpa-rodar --compara em " + agora() +
         ".</footer>\n</body>\n</html>\n";
}
