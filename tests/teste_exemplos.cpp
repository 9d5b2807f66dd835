// The example programs shipped to learners: each one runs with the
// command-line runner, succeeds, and leaves a picture with something in it;
// together they show every function a program can call.
#include "apoio.h"
#include "olpa_funcoes.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace {

const std::string EXEMPLOS = std::string(OLPA_FONTE_DIR) + "/exemplos";

std::vector<std::string> nomes_dos_exemplos() {
  std::vector<std::string> nomes;
  GDir *pasta = g_dir_open(EXEMPLOS.c_str(), 0, nullptr);
  if (!pasta)
    return nomes;
  while (const char *nome = g_dir_read_name(pasta))
    if (g_str_has_suffix(nome, ".olp"))
      nomes.push_back(std::string(nome, strlen(nome) - 4));
  g_dir_close(pasta);
  std::sort(nomes.begin(), nomes.end());
  return nomes;
}

// olpa-rodar FILE, in the current directory (a temporary run tree's bin).
ResultadoProcesso olpa_rodar(const std::string &arquivo) {
  return executa_processo({std::string(OLPA_BIN_DIR) + "/olpa-rodar", arquivo});
}

// The picture a run left: the runner reports "[tamanho] PATH, BYTES" last.
std::string figura_gravada(const std::string &erros) {
  static const std::regex tamanho(R"(\[tamanho\] (.*), (\d+)\n)");
  std::string caminho;
  for (std::sregex_iterator i(erros.begin(), erros.end(), tamanho), fim; i != fim; ++i)
    caminho = (*i)[1];
  return caminho;
}

class Exemplo : public ::testing::TestWithParam<std::string> {};

TEST_P(Exemplo, RodaComSucessoEDesenhaAlgo) {
  RaizTemporaria raiz;
  const std::string nome = GetParam();
  const ResultadoProcesso r = olpa_rodar(EXEMPLOS + "/" + nome + ".olp");
  EXPECT_EQ(r.codigo, 0) << r.saida << r.erros;
  EXPECT_EQ(r.saida.rfind("[olpa] compilando\n", 0), 0u) << r.saida;
  const std::string sucesso = "[olpa] sucesso!\n";
  ASSERT_GE(r.saida.size(), sucesso.size());
  EXPECT_EQ(r.saida.substr(r.saida.size() - sucesso.size()), sucesso) << r.saida;
  EXPECT_EQ(r.saida.find("[erro"), std::string::npos) << r.saida;

  const std::string figura = figura_gravada(r.erros);
  ASSERT_FALSE(figura.empty()) << r.erros;
  EXPECT_EQ(figura.rfind("../telas/", 0), 0u) << figura;
  OlpaSurface s = le_png(figura);
  ASSERT_TRUE(s) << figura;
  EXPECT_EQ(cairo_image_surface_get_width(s.get()), 640);
  EXPECT_EQ(cairo_image_surface_get_height(s.get()), 480);
  // At least a long line's worth of pixels that are not the black background.
  EXPECT_GT(conta_diferentes_de(s.get(), 0xff000000u), 1000) << figura;
  // The gallery in the documentation has its picture.
  EXPECT_TRUE(existe(std::string(OLPA_FONTE_DIR) + "/docs/imagens/" + nome + ".png")) << nome;
}

INSTANTIATE_TEST_SUITE_P(Todos, Exemplo, ::testing::ValuesIn(nomes_dos_exemplos()),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                           return info.param;
                         });

TEST(Exemplos, SaoPeloMenosDoze) {
  EXPECT_GE(nomes_dos_exemplos().size(), 12u);
}

// Learners find an example for every function they can call.
TEST(Exemplos, JuntosUsamTodasAsFuncoes) {
  std::string todos;
  for (const std::string &nome : nomes_dos_exemplos())
    todos += le_arquivo(EXEMPLOS + "/" + nome + ".olp");
  // Only code counts, not the comments that mention a function.
  todos = std::regex_replace(todos, std::regex("//[^\n]*"), "");
  for (const OlpaFuncao &f : OLPA_FUNCOES)
    EXPECT_TRUE(std::regex_search(todos, std::regex(std::string("\\b") + f.nome + "\\s*\\(")))
        << f.nome << " não aparece em nenhum exemplo";
}

// The reference's gallery shows every example, and every picture the
// documents point at exists.
TEST(Exemplos, AReferenciaMostraTodos) {
  const std::string fonte = OLPA_FONTE_DIR;
  const std::string referencia = le_arquivo(fonte + "/docs/referencia.md");
  // An animation shows as its GIF.
  for (const std::string &nome : nomes_dos_exemplos())
    EXPECT_TRUE(referencia.find("(imagens/" + nome + ".png)") != std::string::npos ||
                referencia.find("(imagens/" + nome + ".gif)") != std::string::npos)
        << nome;
  const std::regex figura(R"(\]\(((docs/)?imagens/[^)]+\.(png|gif))\))");
  for (const char *documento : {"/docs/referencia.md", "/README.md"}) {
    const std::string texto = le_arquivo(fonte + documento);
    const std::string pasta = std::string(documento) == "/README.md" ? "/" : "/docs/";
    int figuras = 0;
    for (std::sregex_iterator i(texto.begin(), texto.end(), figura), fim; i != fim; ++i, ++figuras)
      EXPECT_TRUE(existe(fonte + pasta + (*i)[1].str())) << documento << ": " << (*i)[1];
    EXPECT_GT(figuras, 0) << documento;
  }
}

} // namespace
