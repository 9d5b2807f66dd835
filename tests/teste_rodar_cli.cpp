// olpa-rodar as teachers and scripts use it: its output, files and exit codes.
#include "apoio.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Resultado = ResultadoProcesso;

Resultado olpa_rodar(const std::vector<std::string> &argumentos, const std::string &entrada = "") {
  std::vector<std::string> todos = {std::string(OLPA_BIN_DIR) + "/olpa-rodar"};
  todos.insert(todos.end(), argumentos.begin(), argumentos.end());
  // Feed standard input through a shell so the test needs no pipes of its own.
  const std::string entrada_arquivo = "entrada.txt";
  escreve_arquivo(entrada_arquivo, entrada);
  std::string comando;
  for (const std::string &a : todos) {
    char *citado = g_shell_quote(a.c_str());
    comando += std::string(citado) + " ";
    g_free(citado);
  }
  comando += "< " + entrada_arquivo;
  return executa_processo({"/bin/sh", "-c", comando});
}

class OlpaRodar : public ::testing::Test {
protected:
  RaizTemporaria raiz;
  std::string programa(const std::string &nome, const std::string &codigo) {
    escreve_arquivo(nome, codigo);
    return nome;
  }
};

TEST_F(OlpaRodar, MostraOConsoleDeCadaExecucaoEmOrdem) {
  const Resultado r = olpa_rodar(
      {programa("a.olp", "int main(void) { inicia(); escreve_console(\"oi\\n\"); termina(); }"),
       programa("b.olp", "int main(void) {\n  int x = y;\n}\n")});
  EXPECT_EQ(r.codigo, 1);
  EXPECT_EQ(r.saida, "[olpa] compilando\noi\n[olpa] sucesso!\n"
                     "[olpa] compilando\n[erro] linha 2: 'y' não foi declarado (faltou declarar "
                     "a variável ou a função?)\n");
  EXPECT_NE(r.erros.find("[arq-s] ../telas/imagem.png\n"), std::string::npos) << r.erros;
  const std::string tamanho = "[tamanho] ../telas/imagem.png, " +
                              std::to_string(le_arquivo(raiz.telas + "/imagem.png").size());
  EXPECT_NE(r.erros.find(tamanho), std::string::npos) << r.erros;
  auto png = le_png(raiz.telas + "/imagem.png");
  ASSERT_TRUE(png);
  EXPECT_EQ(pixel(png.get(), 10, 10), 0xff000000u);
}

TEST_F(OlpaRodar, TudoCertoSaiComZero) {
  const Resultado r = olpa_rodar({programa("a.olp", "int main(void) { return 0; }"),
                                  programa("b.olp", "int f(void) { return 1; }")});
  EXPECT_EQ(r.codigo, 0);
  EXPECT_EQ(r.saida, "[olpa] compilando\n[olpa] sucesso!\n[olpa] compilando\n[olpa] sucesso!\n");
}

TEST_F(OlpaRodar, EstadoPassaDeUmArquivoAoSeguinte) {
  // The first leaves its canvas open with the export path changed and a red
  // pen; the second finishes that picture.
  const Resultado r = olpa_rodar(
      {programa("a.olp", "int main(void) { inicia(); cor(255, 0, 0); grava_tela(\"x.png\"); }"),
       programa("b.olp", "int main(void) { traco(10); linha(0, 100, 640, 100); termina(); }")});
  EXPECT_EQ(r.codigo, 0);
  auto png = le_png(raiz.telas + "/x.png");
  ASSERT_TRUE(png);
  EXPECT_EQ(pixel(png.get(), 320, 100), 0xffff0000u);
  EXPECT_FALSE(existe(raiz.telas + "/imagem.png"));
}

TEST_F(OlpaRodar, LeDaEntradaPadrao) {
  const Resultado r =
      olpa_rodar({"-"}, "int main(void) { escreve_console(\"da entrada\\n\"); return 0; }");
  EXPECT_EQ(r.codigo, 0);
  EXPECT_EQ(r.saida, "[olpa] compilando\nda entrada\n[olpa] sucesso!\n");
}

TEST_F(OlpaRodar, FalhasDoProgramaSaemComUm) {
  const Resultado r = olpa_rodar(
      {"--tempo-limite", "0.5", programa("a.olp", "int main(void) { for (;;) {} }"),
       programa("b.olp", "int main(void) { int *p = 0; return *p; }"),
       programa("c.olp", "int main(void) { retangulo(0, 0, 1, 1); return 0; }"),
       programa("d.olp", "int main(void) { escreve_console(\"ainda vivo\\n\"); return 0; }")});
  EXPECT_EQ(r.codigo, 1);
  EXPECT_EQ(r.saida,
            "[olpa] compilando\n[erro] o programa passou do tempo limite de 0.5 segundos e foi "
            "interrompido (um laço que nunca termina?).\n"
            "[olpa] compilando\n[erro] o programa foi interrompido: acessou memória inválida (um "
            "ponteiro ou índice de vetor errado?).\n"
            "[olpa] compilando\n[erro] linha 1: 'retangulo' não existe: nenhuma função ou "
            "variável tem esse nome\n"
            "[olpa] compilando\nainda vivo\n[olpa] sucesso!\n");
}

TEST_F(OlpaRodar, UsoErradoOuArquivoIlegivelSaiComDois) {
  struct Caso {
    std::vector<std::string> argumentos;
    const char *mensagem;
  };
  const Caso casos[] = {
      {{}, "uso: olpa-rodar"},
      {{"--tempo-limite"}, "--tempo-limite pede um número de segundos"},
      {{"--tempo-limite", "abc", "x.olp"}, "--tempo-limite pede um número de segundos"},
      {{"--tempo-limite", "-1", "x.olp"}, "--tempo-limite pede um número de segundos"},
      {{"--xyz", "x.olp"}, "opção desconhecida: --xyz"},
      {{"nao-existe.olp"}, "não foi possível ler \"nao-existe.olp\""},
  };
  for (const Caso &c : casos) {
    const Resultado r = olpa_rodar(c.argumentos);
    EXPECT_EQ(r.codigo, 2) << c.mensagem;
    EXPECT_EQ(r.saida, "") << c.mensagem;
    EXPECT_NE(r.erros.find(c.mensagem), std::string::npos) << r.erros;
  }
}

TEST_F(OlpaRodar, ArquivoIlegivelNaoRodaNenhum) {
  const Resultado r =
      olpa_rodar({programa("a.olp", "int main(void) { inicia(); termina(); }"), "nao-existe.olp"});
  EXPECT_EQ(r.codigo, 2);
  EXPECT_EQ(r.saida, "");
  EXPECT_FALSE(existe(raiz.telas + "/imagem.png"));
}

} // namespace
