// SPDX-License-Identifier: GPL-3.0-or-later
// A class report's page opened in a real browser (headless chromium): it
// renders (the screenshot is not blank), every picture and link it refers to
// is a file beside it (nothing from the network), its summary and its
// sections count what relatorio.csv beside it says, no learner's text turned
// into markup, and the given texts show as they are.
#include "suporte.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include <glib.h>
#include <sys/wait.h>

namespace {

// The rows of a CSV as RFC 4180 has them (quoted fields may hold anything).
std::vector<std::vector<std::string>> le_csv(const std::string &texto) {
  std::vector<std::vector<std::string>> linhas(1, std::vector<std::string>(1));
  bool citando = false;
  for (size_t i = 0; i < texto.size(); i++) {
    const char c = texto[i];
    std::string &campo = linhas.back().back();
    if (citando && c == '"' && i + 1 < texto.size() && texto[i + 1] == '"')
      campo += '"', i++;
    else if (c == '"')
      citando = !citando;
    else if (!citando && c == ',')
      linhas.back().emplace_back();
    else if (!citando && c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n')
      linhas.emplace_back(1), i++;
    else
      campo += c;
  }
  if (linhas.back().size() == 1 && linhas.back()[0].empty())
    linhas.pop_back();
  return linhas;
}

// Every value of `atributo="..."` in the page, in order.
std::vector<std::string> atributos(const std::string &html, const std::string &atributo) {
  std::vector<std::string> valores;
  const std::string inicio = " " + atributo + "=\"";
  for (size_t p = html.find(inicio); p != std::string::npos; p = html.find(inicio, p + 1)) {
    const size_t a = p + inicio.size();
    valores.push_back(html.substr(a, html.find('"', a) - a));
  }
  return valores;
}

// Chromium doing `acao` on the page with a throw-away profile; its output.
bool chromium(const std::vector<std::string> &acao, const std::string &pagina, std::string *saida) {
  const std::string programa = glib(g_find_program_in_path("chromium"));
  const std::string limite = glib(g_find_program_in_path("timeout"));
  if (programa.empty() || limite.empty())
    return false;
  const std::string perfil = glib(g_dir_make_tmp("olpa-chromium-XXXXXX", nullptr));
  // A page that never finishes (a dialog a script opened, say) must not hang the test.
  std::vector<std::string> argv = {limite,
                                   "-k",
                                   "5",
                                   "120",
                                   programa,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--user-data-dir=" + perfil};
  argv.insert(argv.end(), acao.begin(), acao.end());
  argv.push_back("file://" + pagina);
  std::vector<char *> c;
  for (std::string &a : argv)
    c.push_back(a.data());
  c.push_back(nullptr);
  gchar *texto = nullptr;
  gint status = -1;
  GError *erro = nullptr;
  const bool rodou =
      !programa.empty() && g_spawn_sync(nullptr, c.data(), nullptr, G_SPAWN_STDERR_TO_DEV_NULL,
                                        nullptr, nullptr, &texto, nullptr, &status, &erro);
  if (erro)
    g_error_free(erro);
  *saida = glib(texto);
  if (system(("rm -rf '" + perfil + "'").c_str()) != 0)
    fprintf(stderr, "could not remove %s\n", perfil.c_str());
  return rodou && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::vector<std::string> confere_navegador(const std::string &relativa,
                                           const std::vector<std::string> &textos) {
  std::vector<std::string> falhas;
  const std::string pagina = glib(g_canonicalize_filename(relativa.c_str(), nullptr));
  const std::string pasta = glib(g_path_get_dirname(pagina.c_str()));
  // One start of the browser gives both the page as it was built and its picture.
  const std::string tela = pasta + "/tela_do_navegador.png";
  std::string dom;
  if (!chromium({"--dump-dom", "--screenshot=" + tela, "--window-size=1280,1600"}, pagina, &dom) ||
      dom.find("</html>") == std::string::npos)
    return {"o chromium não abriu " + relativa + " em 2 minutos (está instalado?)"};

  // The summary counts what the CSV says, and so do the files' sections.
  std::map<std::string, int> no_csv, secoes;
  const auto linhas = le_csv(le_arquivo(pasta + "/relatorio.csv"));
  for (size_t i = 1; i < linhas.size(); i++)
    no_csv[linhas[i].size() > 1 ? linhas[i][1] : "?"]++;
  const auto situacoes = atributos(dom, "data-situacao");
  const auto quantidades = atributos(dom, "data-quantidade");
  if (quantidades.size() != 5 || situacoes.size() < 5)
    return {"a página não tem o resumo das cinco situações"};
  for (size_t i = 0; i < situacoes.size(); i++)
    if (i >= 5)
      secoes[situacoes[i]]++;
    else if (atoi(quantidades[i].c_str()) != no_csv[situacoes[i]])
      falhas.push_back("o resumo diz " + quantidades[i] + " " + situacoes[i] + ", o CSV " +
                       std::to_string(no_csv[situacoes[i]]));
  for (auto &[s, n] : no_csv)
    if (secoes[s] != n)
      falhas.push_back("a página tem " + std::to_string(secoes[s]) + " fichas " + s + ", o CSV " +
                       std::to_string(n));

  // Every picture and link it refers to is there, beside it.
  std::vector<std::string> enderecos = atributos(dom, "src");
  for (const std::string &h : atributos(dom, "href"))
    if (h.empty() || h[0] != '#')
      enderecos.push_back(h);
  if (enderecos.size() < 10)
    falhas.push_back("a página mostra poucas figuras");
  for (const std::string &e : enderecos) {
    const std::string caminho = glib(g_uri_unescape_string(e.c_str(), nullptr));
    if (caminho.empty() || !g_file_test((pasta + "/" + caminho).c_str(), G_FILE_TEST_IS_REGULAR))
      falhas.push_back("a página aponta para o que não existe: " + e);
  }

  // A learner's text is shown, never taken as markup: the page holds only the
  // elements the report writes.
  static const std::set<std::string> ELEMENTOS = {
      "html",   "head", "meta",    "title", "style",  "body",  "header",     "h1",  "h2",    "p",
      "strong", "ul",   "li",      "main",  "table",  "thead", "tbody",      "tr",  "th",    "td",
      "a",      "span", "section", "div",   "figure", "img",   "figcaption", "pre", "footer"};
  for (size_t p = dom.find('<'); p != std::string::npos; p = dom.find('<', p + 1)) {
    const size_t inicio = dom[p + 1] == '/' ? p + 2 : p + 1;
    if (inicio >= dom.size() || !g_ascii_isalpha(dom[inicio]))
      continue;
    const std::string nome = dom.substr(inicio, dom.find_first_of(" \t\n/>", inicio) - inicio);
    if (!ELEMENTOS.count(nome))
      falhas.push_back("a página tem um elemento que o relatório não escreve: <" +
                       nome.substr(0, 40));
  }
  // Texts it must show as they are (the browser writes <, > and & back as entities).
  for (const std::string &t : textos) {
    std::string escrito;
    for (const char c : t)
      escrito += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    if (dom.find(escrito) == std::string::npos)
      falhas.push_back("a página não mostra: " + t);
  }
  if (dom.find("<title>Relatório da turma: ") == std::string::npos)
    falhas.push_back("o título da página mudou");

  // It renders: the screenshot is a picture, not a blank page.
  Imagem im;
  if (!le_png(tela, &im))
    return falhas.push_back("o chromium não fotografou a página"), falhas;
  std::set<uint32_t> cores;
  for (size_t i = 0; i < im.pixels.size(); i += 7)
    cores.insert(im.pixels[i]);
  if (cores.size() < 20)
    falhas.push_back("a página aparece em branco (" + std::to_string(cores.size()) + " cores)");
  return falhas;
}
