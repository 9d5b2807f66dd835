// SPDX-License-Identifier: GPL-3.0-or-later
// A learner's card in the report: its verdict and grade, what explains it,
// the model, its picture (as far as it got, when it wrote none) and the
// differences side by side, its code with the lines of its errors marked, and
// its console text. Cards of "igual" files come closed. Every text that came
// from a file name or a program is escaped.
#include "relatorio.h"

#include "textos.h"

#include <algorithm>
#include <set>

#include "olpa_comum.h"

#include <glib.h>

namespace {

// Enough console text to see what a program said, not a flood; enough code
// to read, and the marked lines wherever they are.
constexpr size_t CONSOLE_MAXIMO = 16 * 1024;
constexpr size_t CODIGO_LINHAS = 1000;
constexpr size_t CODIGO_EM_VOLTA = 2;

std::string figura(const std::string &caminho, const std::string &legenda,
                   const std::string &falta) {
  if (caminho.empty())
    return "<figure><div class=\"vazia\">" + texto_html(falta) + "</div><figcaption>" +
           texto_html(legenda) + "</figcaption></figure>\n";
  const std::string e = relatorio_ficha_endereco(caminho);
  return "<figure><a href=\"" + e + "\"><img src=\"" + e + "\" alt=\"" + texto_html(legenda) +
         "\" width=\"640\" height=\"480\"></a><figcaption>" + texto_html(legenda) +
         "</figcaption></figure>\n";
}

std::string console(const std::string &texto, bool aberto) {
  if (texto.empty())
    return "";
  std::string mostrado = texto, nota;
  if (mostrado.size() > CONSOLE_MAXIMO) {
    const char *corte = g_utf8_find_prev_char(mostrado.c_str(), mostrado.c_str() + CONSOLE_MAXIMO);
    mostrado.resize(corte ? static_cast<size_t>(corte - mostrado.c_str()) : 0);
    nota = "\n[… " + texto_numero(static_cast<long>(texto.size() - mostrado.size())) +
           " bytes a mais não mostrados aqui]";
  }
  return std::string("<details class=\"console\"") + (aberto ? " open" : "") +
         "><summary>Console</summary><pre class=\"console\">" + texto_html(mostrado + nota, true) +
         "</pre></details>\n";
}

// The calls that made a picture that differs, folded under the pictures.
std::string passos(const std::string &lista) {
  if (lista.empty())
    return "";
  return "<details class=\"passos\"><summary>Passos do desenho</summary><pre class=\"console\">" +
         texto_html(lista, true) + "</pre></details>\n";
}

std::vector<std::string> linhas_de(const std::string &codigo) {
  std::vector<std::string> linhas;
  size_t p = 0;
  while (p <= codigo.size()) {
    size_t fim = codigo.find('\n', p);
    if (fim == std::string::npos)
      fim = codigo.size();
    linhas.push_back(codigo.substr(p, fim - p));
    p = fim + 1;
  }
  if (linhas.size() > 1 && linhas.back().empty())
    linhas.pop_back();
  return linhas;
}

// The code, numbered, the lines of errors marked; a long one cut, but never
// before a marked line.
std::string codigo(const std::string &texto, const std::vector<int> &marcadas, bool aberto) {
  if (texto.empty())
    return "";
  const std::vector<std::string> linhas = linhas_de(texto);
  const std::set<int> erro(marcadas.begin(), marcadas.end());
  std::string pre;
  size_t ultima = 0;
  for (size_t n = 1; n <= linhas.size(); n++) {
    bool mostra = n <= CODIGO_LINHAS;
    for (int m : marcadas)
      mostra = mostra || (n + CODIGO_EM_VOLTA >= static_cast<size_t>(m) &&
                          n <= static_cast<size_t>(m) + CODIGO_EM_VOLTA);
    if (!mostra)
      continue;
    if (n != ultima + 1)
      pre += "<span class=\"ln\"><span class=\"nl\">⋮</span></span>";
    pre += std::string("<span class=\"ln") + (erro.count(static_cast<int>(n)) ? " erro" : "") +
           "\"><span class=\"nl\">" + std::to_string(n) + "</span>" + texto_html(linhas[n - 1]) +
           "</span>";
    ultima = n;
  }
  if (ultima < linhas.size())
    pre += "<span class=\"ln\"><span class=\"nl\">⋮</span></span>";
  std::string resumo = "Código (" + texto_numero(static_cast<long>(linhas.size())) +
                       (linhas.size() == 1 ? " linha" : " linhas");
  if (!erro.empty()) {
    resumo += erro.size() == 1 ? "; erro na linha " : "; erros nas linhas ";
    size_t k = 0;
    for (int m : erro)
      resumo += (k++ ? ", " : "") + std::to_string(m);
  }
  return std::string("<details class=\"codigo\"") + (aberto ? " open" : "") + "><summary>" +
         texto_html(resumo + ")") + "</summary><pre class=\"codigo\">" + pre + "</pre></details>\n";
}

std::string explicacao(const Turma &t, const Correcao &c) {
  const Comparacao &k = c.comparacao;
  if (c.situacao == Situacao::Igual && k.diferentes() == 0)
    return "A figura é a do modelo.";
  if (c.situacao == Situacao::Igual)
    return "Difere em " + texto_porcentagem(k.parte()) + " do desenho (" + situacao_marcas(k) +
           "), dentro da tolerância de " + texto_porcentagem(t.tolerancia) + ".";
  if (c.situacao == Situacao::Diferente)
    return "Difere em " + texto_porcentagem(k.parte()) + " do desenho: " + situacao_marcas(k) + ".";
  return c.mensagem;
}

std::string copias(const Turma &t, size_t i) {
  std::string html;
  const std::vector<size_t> outros = copias_do_grupo(t, i);
  if (!outros.empty()) {
    // The first few: a class copied from one template would repeat them all in every card.
    constexpr size_t MOSTRADOS = 20;
    html += "<p class=\"copia\">Mesmo código (sem contar espaços) que ";
    for (size_t k = 0; k < outros.size() && k < MOSTRADOS; k++)
      html += std::string(k ? ", " : "") + "<a href=\"#a" +
              std::to_string(t.correcoes[outros[k]].posicao) + "\">" +
              texto_html(t.correcoes[outros[k]].arquivo) + "</a>";
    if (outros.size() > MOSTRADOS)
      html += " e mais " + std::to_string(outros.size() - MOSTRADOS) + " (grupo " +
              std::to_string(t.correcoes[i].mesmo_codigo) + " do CSV)";
    html += ".</p>\n";
  }
  if (copias_igual_ao_modelo(t, i))
    html += "<p class=\"copia\">Mesmo código do modelo (sem contar espaços).</p>\n";
  return html;
}

std::string figura_do_aluno(const Correcao &c) {
  if (c.parcial)
    return figura(c.figura,
                  c.situacao == Situacao::Interrompido ? "a tela até onde o programa chegou"
                                                       : "a tela, que o programa não gravou",
                  "");
  const std::string falta = c.situacao == Situacao::Erro ? "não compilou"
                            : c.situacao == Situacao::Interrompido
                                ? "interrompido antes de desenhar"
                                : "sem figura";
  return figura(c.figura, "figura do aluno", falta);
}

} // namespace

std::string relatorio_ficha_endereco(const std::string &caminho) {
  return texto_html(OlpaTexto(g_uri_escape_string(caminho.c_str(), "/", TRUE)).get());
}

std::string relatorio_ficha_legenda() {
  return "<p class=\"legenda\">Na diferença, sobre o modelo escurecido:"
         "<span class=\"marca faltando\"></span>faltando (o modelo tem, o aluno não)"
         "<span class=\"marca sobrando\"></span>sobrando (o aluno tem, o modelo não)"
         "<span class=\"marca cor\"></span>cor (os dois desenharam, em cores "
         "diferentes)</p>\n";
}

std::string relatorio_ficha(const Turma &t, size_t i) {
  const Correcao &c = t.correcoes[i];
  const std::string nome = situacao_nome(c.situacao), n = std::to_string(c.posicao);
  const bool fechada = c.situacao == Situacao::Igual;
  std::string html =
      "<details class=\"ficha " + nome + "\" id=\"a" + n + "\" data-situacao=\"" + nome + "\"" +
      (fechada ? "" : " open") + ">\n<summary><h2><span class=\"num\">" + n + "</span><span>" +
      texto_html(texto_nome_base(c.arquivo)) + "</span><span class=\"selo " + nome + "\">" +
      texto_html(situacao_rotulo(c.situacao)) + "</span><span class=\"nota\">nota " +
      texto_decimal(situacao_nota(c), 1, ',') + "</span></h2></summary>\n";
  if (c.arquivo != texto_nome_base(c.arquivo) + ".olp")
    html += "<p class=\"arquivo\">" + texto_html(c.arquivo) + "</p>\n";
  html += "<p class=\"explica\">" + texto_html(explicacao(t, c)) + "</p>\n" + copias(t, i);
  html += "<div class=\"figuras\">\n" + figura(t.modelo_figura, "modelo", "") + figura_do_aluno(c) +
          figura(c.diferenca, "diferença", "nada a comparar") + "</div>\n";
  if (!c.diferenca.empty())
    html += relatorio_ficha_legenda();
  html += passos(c.passos);
  const bool com_erro = c.situacao == Situacao::Erro || !c.linhas.empty();
  // A drawing's console says little when it ran well; a run that went wrong, more.
  const bool desenhou = c.situacao == Situacao::Igual || c.situacao == Situacao::Diferente;
  return html + codigo(c.codigo, c.linhas, com_erro) + console(c.console, !desenhou) +
         "</details>\n";
}

std::string relatorio_ficha_modelo(const Turma &t) {
  return "<section class=\"ficha modelo\" id=\"modelo\">\n<h2><span>Modelo: " +
         texto_html(t.modelo) + "</span></h2>\n<div class=\"figuras\">\n" +
         figura(t.modelo_figura, "modelo", "") + "</div>\n" + codigo(t.modelo_codigo, {}, false) +
         console(t.modelo_console, false) + "</section>\n";
}
