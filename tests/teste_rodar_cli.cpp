// olpa-rodar as teachers and scripts use it: its output, files and exit codes.
#include "apoio.h"

#include <glib.h>
#include <glib/gstdio.h>
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
  EXPECT_EQ(r.saida, "==> a.olp <==\n[olpa] compilando\noi\n[olpa] sucesso!\n"
                     "\n==> b.olp <==\n"
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
  EXPECT_EQ(r.saida, "==> a.olp <==\n[olpa] compilando\n[olpa] sucesso!\n\n"
                     "==> b.olp <==\n[olpa] compilando\n[olpa] sucesso!\n");
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
            "==> a.olp <==\n"
            "[olpa] compilando\n[erro] o programa passou do tempo limite de 0.5 segundos e foi "
            "interrompido (um laço que nunca termina?).\n\n==> b.olp <==\n"
            "[olpa] compilando\n[erro] o programa foi interrompido: acessou memória inválida (um "
            "ponteiro ou índice de vetor errado?).\n\n==> c.olp <==\n"
            "[olpa] compilando\n[erro] linha 1: 'retangulo' não existe: nenhuma função ou "
            "variável tem esse nome\n\n==> d.olp <==\n"
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
      {{"--compara"}, "--compara pede o modelo"},
      {{"--compara", "m.png"}, "uso: olpa-rodar"},
      {{"--compara", "m.png", "-"}, "--compara não lê programas da entrada padrão"},
      {{"--compara", "m.png", "--tolerancia", "abc", "x.olp"}, "--tolerancia pede uma porcentagem"},
      {{"--compara", "m.png", "--tolerancia", "101", "x.olp"}, "--tolerancia pede uma porcentagem"},
      {{"--compara", "m.png", "-j", "0", "x.olp"}, "-j pede quantas execuções"},
      {{"--compara", "m.png", "-j", "1.5", "x.olp"}, "-j pede quantas execuções"},
      {{"--relatorio", "r", "x.olp"}, "só valem com --compara"},
      {{"--compara", "m.png", "--figuras", "f", "x.olp"}, "--figuras não vale com --compara"},
      {{"--compara", "nao-existe.png", "x.olp"}, "o modelo \"nao-existe.png\" não serve"},
      {{"--compara", "nao-existe.olp", "x.olp"},
       "o modelo \"nao-existe.olp\" não serve: não "
       "gerou uma figura: [erro] não foi possível ler"},
      {{"--compara", "pequeno.png", "x.olp"}, "a figura tem 10 × 10 pontos, e não 640 × 480"},
      {{"--compara", "nao_compila.olp", "x.olp"}, "não gerou uma figura: [erro] linha 1:"},
      {{"--compara", "sem_figura.olp", "x.olp"}, "não gerou uma figura: o programa terminou sem"},
  };
  programa("nao_compila.olp", "int main(void) { return x; }");
  programa("sem_figura.olp", "int main(void) { return 0; }");
  programa("x.olp", "int main(void) { inicia(); termina(); }");
  OlpaSurface pequeno(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10));
  cairo_surface_write_to_png(pequeno.get(), "pequeno.png");
  for (const Caso &c : casos) {
    const Resultado r = olpa_rodar(c.argumentos);
    EXPECT_EQ(r.codigo, 2) << c.mensagem;
    EXPECT_EQ(r.saida, "") << c.mensagem;
    EXPECT_NE(r.erros.find(c.mensagem), std::string::npos) << r.erros;
  }
  EXPECT_FALSE(existe("relatorio/relatorio.csv"));
}

TEST_F(OlpaRodar, ArquivoIlegivelNaoRodaNenhum) {
  const Resultado r =
      olpa_rodar({programa("a.olp", "int main(void) { inicia(); termina(); }"), "nao-existe.olp"});
  EXPECT_EQ(r.codigo, 2);
  EXPECT_EQ(r.saida, "");
  EXPECT_FALSE(existe(raiz.telas + "/imagem.png"));
}

TEST_F(OlpaRodar, FigurasGuardaCadaUmaComOProprioNome) {
  g_mkdir("a", 0755);
  g_mkdir("b", 0755);
  const Resultado r = olpa_rodar(
      {"--figuras", "figs",
       programa("a/casa.olp", "int main(void) { inicia(); cor(255, 0, 0); linha(0, 10, 640, 10);"
                              " termina(); }"),
       programa("b/casa.olp", "int main(void) { inicia(); grava_tela(\"outra.png\"); }"),
       programa("nada.olp", "int main(void) { return 0; }"),
       programa("quebra.olp", "int main(void) { inicia(); termina(); return x; }")});
  EXPECT_EQ(r.codigo, 1); // the last one does not compile
  auto primeira = le_png("figs/casa.png");
  ASSERT_TRUE(primeira);
  EXPECT_EQ(pixel(primeira.get(), 320, 10), 0xffff0000u);
  auto segunda = le_png("figs/casa-2.png");
  ASSERT_TRUE(segunda);
  EXPECT_EQ(pixel(segunda.get(), 320, 10), 0xff000000u);
  EXPECT_FALSE(existe("figs/nada.png"));
  EXPECT_FALSE(existe("figs/quebra.png"));
}

// The model as a picture (any PNG of 640 x 480, here an RGB one without
// alpha) and a tolerance written the Brazilian way.
TEST_F(OlpaRodar, ComparaComModeloPngETolerancia) {
  OlpaSurface modelo(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 640, 480));
  OlpaCairo cr(cairo_create(modelo.get()));
  cairo_set_source_rgb(cr.get(), 0, 0, 0);
  cairo_paint(cr.get());
  cr.reset();
  cairo_surface_write_to_png(modelo.get(), "modelo.png");
  // A 2-wide line at y 100 covers rows 99 and 100: 1280 pixels of 307200, 0.4167%.
  const char *linha = "int main(void) { inicia(); traco(2); cor(0, 9, 0); linha(0, 100, 640, 100);"
                      " termina(); }";
  const Resultado r = olpa_rodar({"--compara", "modelo.png", "--tolerancia", "0,42", "-j", "1",
                                  programa("preto.olp", "int main(void) { inicia(); termina(); }"),
                                  programa("linhas.olp", linha)});
  EXPECT_EQ(r.codigo, 0) << r.saida << r.erros;
  EXPECT_EQ(le_arquivo("relatorio/relatorio.csv"),
            "arquivo,situacao,pontos_diferentes,porcentagem,mensagem\r\n"
            "preto.olp,igual,0,0.0000,\r\nlinhas.olp,igual,1280,0.4167,\r\n");
  const Resultado justo = olpa_rodar(
      {"--compara", "modelo.png", "--tolerancia", "0.41", "--relatorio", "r2", "linhas.olp"});
  EXPECT_EQ(justo.codigo, 1);
  EXPECT_NE(le_arquivo("r2/relatorio.csv").find("linhas.olp,diferente,1280,"), std::string::npos);
}

} // namespace
