// The test class in tests/casos/turma/: learners' files with known verdicts,
// graded once with olpa-rodar --compara (options in `opcoes`). The report's
// CSV and the summary on standard output must match esperado.csv and
// esperado.txt byte for byte (OLPA_REGRAVA=1 rewrites both; review the diff),
// each NOME.pontos there checks pixels of figuras/NOME.png, and the page is
// opened in a real headless browser.
#include "apoio.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const std::string CLASSE = std::string(OLPA_FONTE_DIR) + "/tests/casos/turma";
// A name git cannot keep well: a line break and a byte that is not UTF-8.
const std::string NOME_ESTRANHO = "13_linha\nquebrada\xff.olp";

std::vector<std::string> arquivos_em(const std::string &pasta, const char *fim) {
  std::vector<std::string> nomes;
  if (GDir *d = g_dir_open(pasta.c_str(), 0, nullptr)) {
    while (const char *n = g_dir_read_name(d))
      if (g_str_has_suffix(n, fim))
        nomes.push_back(n);
    g_dir_close(d);
  }
  std::sort(nomes.begin(), nomes.end());
  return nomes;
}

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
    else if (!citando && c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') {
      linhas.emplace_back(1), i++;
    } else
      campo += c;
  }
  if (linhas.back().size() == 1 && linhas.back()[0].empty())
    linhas.pop_back();
  return linhas;
}

// "x[-x] y[-y] #AARRGGBB" lines; '#' at the start of a line is a comment.
void confere_pontos(const std::string &pontos, const std::string &figura) {
  auto png = le_png(figura);
  ASSERT_TRUE(png) << figura;
  gchar **linhas = g_strsplit(le_arquivo(pontos).c_str(), "\n", -1);
  for (gchar **l = linhas; *l; l++) {
    int x0, x1, y0, y1;
    unsigned cor;
    char xs[32], ys[32];
    if (**l == '#' || **l == '\0')
      continue;
    ASSERT_EQ(sscanf(*l, "%31s %31s #%x", xs, ys, &cor), 3) << pontos << ": " << *l;
    if (sscanf(xs, "%d-%d", &x0, &x1) == 1)
      x1 = x0;
    if (sscanf(ys, "%d-%d", &y0, &y1) == 1)
      y1 = y0;
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++)
        ASSERT_EQ(pixel(png.get(), x, y), cor) << figura << " (" << x << ", " << y << ")";
  }
  g_strfreev(linhas);
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

// Chromium doing `acao` on the page, with a throw-away profile in `perfil`.
std::vector<std::string> chromium(const std::vector<std::string> &acao, const std::string &html,
                                  const std::string &perfil) {
  gchar *programa = g_find_program_in_path("chromium");
  std::vector<std::string> argv = {programa ? programa : "chromium (not installed)",
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   std::string("--user-data-dir=") + perfil};
  argv.insert(argv.end(), acao.begin(), acao.end());
  argv.push_back("file://" + html);
  g_free(programa);
  return argv;
}

class Turma : public ::testing::Test {
protected:
  static std::string pasta, relatorio;
  static ResultadoProcesso correcao;

  static void SetUpTestSuite() {
    gchar *p = g_dir_make_tmp("olpa-turma-teste-XXXXXX", nullptr);
    pasta = p;
    g_free(p);
    relatorio = pasta + "/relatorio";
    const std::string turma = pasta + "/turma";
    g_mkdir_with_parents(turma.c_str(), 0755);
    std::vector<std::string> alunos;
    for (const std::string &n : arquivos_em(CLASSE, ".olp")) {
      escreve_arquivo(turma + "/" + n, le_arquivo(CLASSE + "/" + n));
      if (n != "modelo.olp")
        alunos.push_back(n);
    }
    escreve_arquivo(turma + "/" + NOME_ESTRANHO, le_arquivo(CLASSE + "/01_certo.olp"));
    alunos.push_back(NOME_ESTRANHO);

    std::vector<std::string> argv = {std::string(OLPA_BIN_DIR) + "/olpa-rodar", "--compara",
                                     "modelo.olp", "--relatorio", "../relatorio"};
    gchar **opcoes = nullptr;
    if (g_shell_parse_argv(le_arquivo(CLASSE + "/opcoes").c_str(), nullptr, &opcoes, nullptr)) {
      for (gchar **o = opcoes; *o; o++)
        argv.push_back(*o);
      g_strfreev(opcoes);
    }
    argv.push_back("--");
    argv.insert(argv.end(), alunos.begin(), alunos.end());
    char *antes = g_get_current_dir();
    if (chdir(turma.c_str()) == 0)
      correcao = executa_processo(argv);
    if (chdir(antes) != 0)
      abort();
    g_free(antes);
  }
  static void TearDownTestSuite() {
    if (!::testing::UnitTest::GetInstance()->Failed()) {
      if (system(("rm -rf '" + pasta + "'").c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", pasta.c_str());
    } else
      fprintf(stderr, "the graded class stays in %s\n", pasta.c_str());
  }

  // Compares with the expected file, or rewrites it with OLPA_REGRAVA=1.
  static void confere(const std::string &obtido, const std::string &nome) {
    const std::string esperado = CLASSE + "/" + nome;
    if (getenv("OLPA_REGRAVA")) {
      escreve_arquivo(esperado, obtido);
      return;
    }
    EXPECT_EQ(obtido, le_arquivo(esperado)) << nome;
  }
};
std::string Turma::pasta, Turma::relatorio;
ResultadoProcesso Turma::correcao;

TEST_F(Turma, RelatorioComoEsperado) {
  EXPECT_EQ(correcao.codigo, 1) << correcao.erros;
  EXPECT_EQ(correcao.erros, ""); // no progress line when standard error is not a terminal
  confere(le_arquivo(relatorio + "/relatorio.csv"), "esperado.csv");
  confere(correcao.saida, "esperado.txt");

  // Pictures only for the files that drew one: the learner's and the differences.
  const auto linhas = le_csv(le_arquivo(relatorio + "/relatorio.csv"));
  size_t com_figura = 0;
  for (const auto &l : linhas)
    com_figura += l.size() == 5 && (l[1] == "igual" || l[1] == "diferente");
  EXPECT_EQ(arquivos_em(relatorio + "/figuras", ".png").size(), 1 + 2 * com_figura);
  for (const std::string &pontos : arquivos_em(CLASSE, ".pontos"))
    confere_pontos(CLASSE + "/" + pontos,
                   relatorio + "/figuras/" + pontos.substr(0, pontos.size() - 7) + ".png");
}

TEST_F(Turma, PaginaNoNavegador) {
  const std::string html = relatorio + "/relatorio.html";
  const ResultadoProcesso dom =
      executa_processo(chromium({"--dump-dom"}, html, pasta + "/perfil1"));
  ASSERT_EQ(dom.codigo, 0) << dom.erros;
  ASSERT_NE(dom.saida.find("</html>"), std::string::npos);

  // The summary counts what the CSV says, and so do the files' sections.
  std::map<std::string, int> no_csv;
  const auto linhas = le_csv(le_arquivo(relatorio + "/relatorio.csv"));
  for (size_t i = 1; i < linhas.size(); i++)
    no_csv[linhas[i].at(1)]++;
  const auto situacoes = atributos(dom.saida, "data-situacao");
  const auto quantidades = atributos(dom.saida, "data-quantidade");
  ASSERT_EQ(quantidades.size(), 5u);
  std::map<std::string, int> secoes;
  for (size_t i = 0; i < situacoes.size(); i++)
    if (i < 5)
      EXPECT_EQ(atoi(quantidades[i].c_str()), no_csv[situacoes[i]]) << situacoes[i];
    else
      secoes[situacoes[i]]++;
  EXPECT_EQ(secoes, no_csv);

  // Every picture and link it refers to is there, beside it; nothing from the network.
  std::vector<std::string> enderecos = atributos(dom.saida, "src");
  for (const std::string &h : atributos(dom.saida, "href"))
    if (h[0] != '#')
      enderecos.push_back(h);
  EXPECT_GT(enderecos.size(), 20u);
  for (const std::string &e : enderecos) {
    char *caminho = g_uri_unescape_string(e.c_str(), nullptr);
    ASSERT_TRUE(caminho) << e;
    EXPECT_TRUE(g_file_test((relatorio + "/" + caminho).c_str(), G_FILE_TEST_IS_REGULAR)) << e;
    g_free(caminho);
  }

  // A learner's console text is shown, never run.
  EXPECT_EQ(dom.saida.find("<script"), std::string::npos);
  EXPECT_NE(dom.saida.find("<title>Relatório da turma: modelo.olp</title>"), std::string::npos);
  EXPECT_NE(dom.saida.find("&lt;/pre&gt;&lt;script&gt;"), std::string::npos);

  // It renders: the screenshot is a picture, not a blank page.
  const std::string tela = pasta + "/tela.png";
  const ResultadoProcesso foto = executa_processo(
      chromium({"--screenshot=" + tela, "--window-size=1280,1600"}, html, pasta + "/perfil2"));
  ASSERT_EQ(foto.codigo, 0) << foto.erros;
  auto png = le_png(tela);
  ASSERT_TRUE(png);
  std::set<uint32_t> cores;
  for (int y = 0; y < cairo_image_surface_get_height(png.get()); y += 4)
    for (int x = 0; x < cairo_image_surface_get_width(png.get()); x += 4)
      cores.insert(pixel(png.get(), x, y));
  EXPECT_GT(cores.size(), 20u);
}

} // namespace
