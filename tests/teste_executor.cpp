// The runner, without a display: what each kind of program leaves in the
// console, and that nothing a program does survives into the next run.
#include "apoio.h"
#include "olpaparser.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Execucao {
  int resultado = -1;
  std::string console;
  int vezes_erro = 0;
  std::vector<int> linhas;
};

Execucao *atual;

void insere(const char *texto) {
  atual->console += texto;
}
void substitui(const char *texto) {
  atual->console = texto;
}
void erro() {
  atual->vezes_erro++;
}
void marca(int linha) {
  atual->linhas.push_back(linha);
}

Execucao roda(const std::string &codigo) {
  Execucao e;
  atual = &e;
  parser_define_saida({insere, substitui, erro, marca});
  e.resultado = parser_executa(codigo.c_str());
  atual = nullptr;
  return e;
}

class Executor : public ::testing::Test {
protected:
  void SetUp() override {
    olpa_gfx_fecha_tela();
    olpa_gfx_defs();
    parser_define_tempo_limite(10);
  }
  void TearDown() override { parser_define_tempo_limite(10); }

  // After any failure the next run must work as if nothing had happened.
  void espera_proxima_funciona() {
    const Execucao ok = roda("int main(void) { escreve_console(\"ok\\n\"); return 0; }");
    EXPECT_EQ(ok.resultado, 1);
    EXPECT_EQ(ok.console, "ok\n");
    EXPECT_EQ(ok.vezes_erro, 0);
  }

  RaizTemporaria raiz;
};

const char PARADO[] = "[erro] o programa foi interrompido: ";

TEST_F(Executor, SucessoMostraTextoDoProgramaEmOrdem) {
  const Execucao e = roda("#include <stdio.h>\n"
                          "int main(void) {\n"
                          "  escreve_console(\"a\");\n"
                          "  printf(\"[%d]\", 42);\n"
                          "  escreve_console(\"b\\n\");\n"
                          "  puts(\"fim\");\n"
                          "  fprintf(stderr, \"erro padrão\\n\");\n"
                          "  return 0;\n"
                          "}\n");
  EXPECT_EQ(e.resultado, 1);
  EXPECT_EQ(e.console, "a[42]b\nfim\nerro padrão\n");
  EXPECT_EQ(e.vezes_erro, 0);
  EXPECT_TRUE(e.linhas.empty());
}

TEST_F(Executor, ProgramaSemMainCompilaEConta) {
  const Execucao e = roda("int dobro(int x) { return 2 * x; }\n");
  EXPECT_EQ(e.resultado, 1);
  EXPECT_EQ(e.console, "");
  EXPECT_EQ(e.vezes_erro, 0);
}

TEST_F(Executor, ErroDeCompilacaoEmPortuguesComLinhaMarcada) {
  const Execucao e = roda("int main(void) {\n"
                          "  int x = y;\n"
                          "  return 0;\n"
                          "}\n");
  EXPECT_EQ(e.resultado, 0);
  EXPECT_EQ(e.console,
            "[erro] linha 2: 'y' não foi declarado (faltou declarar a variável ou a função?)\n");
  EXPECT_GE(e.vezes_erro, 1);
  EXPECT_EQ(e.linhas, std::vector<int>{2});
  espera_proxima_funciona();
}

TEST_F(Executor, AvisosNaoVaoAoConsole) {
  // Calling a drawing function without declaring it only warns.
  const Execucao e = roda("int main(void) { char *p = 5; inicia(); termina(); return 0; }");
  EXPECT_EQ(e.resultado, 1);
  EXPECT_EQ(e.console, "");
  EXPECT_EQ(e.vezes_erro, 0);
}

TEST_F(Executor, RetanguloNaoEstaAoAlcanceDosProgramas) {
  const Execucao e = roda("int main(void) {\n"
                          "  inicia();\n"
                          "  retangulo(1, 2, 3, 4);\n"
                          "  return 0;\n"
                          "}\n");
  EXPECT_EQ(e.resultado, 0);
  EXPECT_EQ(e.console,
            "[erro] linha 3: 'retangulo' não existe: nenhuma função ou variável tem esse nome\n");
  EXPECT_EQ(e.linhas, std::vector<int>{3});
  EXPECT_GE(e.vezes_erro, 1);
}

TEST_F(Executor, FuncoesDaAplicacaoTambemFicamDeFora) {
  for (const char *nome : {"parser_executa", "olpa_gfx_defs", "olpa_gfx_importa_estado"}) {
    const Execucao e = roda(std::string("int main(void) { ") + nome + "(); return 0; }");
    EXPECT_EQ(e.resultado, 0) << nome;
    EXPECT_NE(e.console.find("'" + std::string(nome) + "' não existe"), std::string::npos)
        << e.console;
  }
}

TEST_F(Executor, FalhasDoProgramaSaoContidasERelatadas) {
  struct Caso {
    const char *codigo;
    std::string console;
  };
  const Caso casos[] = {
      {"int main(void) { escreve_console(\"antes\\n\"); int *p = 0; *p = 1; return 0; }",
       std::string("antes\n") + PARADO +
           "acessou memória inválida (um ponteiro ou índice de vetor errado?).\n"},
      {"int main(void) { int a = 0; return 7 / a; }",
       std::string(PARADO) + "divisão inteira por zero.\n"},
      {"int f(int n) { int v[64]; v[0] = n; return f(n + 1) + v[0]; }\n"
       "int main(void) { return f(0); }",
       std::string(PARADO) + "a pilha estourou (uma recursão que nunca termina?).\n"},
      {"#include <stdlib.h>\nint main(void) { abort(); }",
       std::string(PARADO) + "abortou (abort ou assert).\n"},
      {"#include <signal.h>\nint main(void) { raise(SIGILL); return 0; }",
       std::string(PARADO) + "executou uma instrução inválida.\n"},
      {"#include <stdlib.h>\nint main(void) { for (;;) { char *p = malloc(1 << 24); p[0] = 1; } }",
       std::string(PARADO) + "usou memória demais.\n"},
  };
  for (const Caso &c : casos) {
    SCOPED_TRACE(c.codigo);
    const Execucao e = roda(c.codigo);
    EXPECT_EQ(e.resultado, 0);
    EXPECT_EQ(e.console, c.console);
    EXPECT_EQ(e.vezes_erro, 1);
    espera_proxima_funciona();
  }
}

TEST_F(Executor, LacoSemFimParaNoTempoLimite) {
  parser_define_tempo_limite(0.5);
  const Execucao e = roda("#include <stdio.h>\n"
                          "int main(void) { printf(\"começo\\n\"); for (;;) {} }");
  EXPECT_EQ(e.resultado, 0);
  EXPECT_EQ(e.console, "começo\n[erro] o programa passou do tempo limite de 0.5 segundos e foi "
                       "interrompido (um laço que nunca termina?).\n");
  EXPECT_EQ(e.vezes_erro, 1);
  espera_proxima_funciona();
}

TEST_F(Executor, ProgramaQueDormeTambemPara) {
  parser_define_tempo_limite(0.3);
  const Execucao e = roda("#include <unistd.h>\nint main(void) { sleep(100); return 0; }");
  EXPECT_EQ(e.resultado, 0);
  EXPECT_NE(e.console.find("tempo limite"), std::string::npos) << e.console;
}

// A code other than 0 still ends the run normally; the console says which.
TEST_F(Executor, ExitTerminaComoSeMainRetornasse) {
  const std::pair<const char *, const char *> casos[] = {
      {"exit(3)", "a\n[olpa] o programa terminou com o código 3.\n"},
      {"_exit(0)", "a"},
      {"_Exit(1)", "a\n[olpa] o programa terminou com o código 1.\n"},
      {"return -2", "a\n[olpa] o programa terminou com o código -2.\n"}};
  for (const auto &[saida, esperado] : casos) {
    const Execucao e = roda(std::string("#include <stdlib.h>\n#include <unistd.h>\n"
                                        "int main(void) { escreve_console(\"a\"); ") +
                            saida + "; escreve_console(\"b\"); return 0; }");
    EXPECT_EQ(e.resultado, 1) << saida;
    EXPECT_EQ(e.console, esperado) << saida;
    EXPECT_EQ(e.vezes_erro, 0);
  }
}

TEST_F(Executor, ExitComTelaAbertaDevolveOEstado) {
  roda("#include <stdlib.h>\nint main(void) { inicia(); anda(5, 6); grava_tela(\"x.png\"); "
       "exit(0); }");
  EXPECT_STREQ(olpa_arquivo_exportar, "../telas/x.png");
  EXPECT_EQ(olpa_x, 325);
  EXPECT_EQ(olpa_y, 246);
  EXPECT_TRUE(existe(raiz.telas + "/x.png"));
}

TEST_F(Executor, EntradaPadraoVazia) {
  const Execucao e = roda("#include <stdio.h>\n"
                          "int main(void) { int c = getchar(); printf(\"%d\\n\", c == EOF); "
                          "return 0; }");
  EXPECT_EQ(e.console, "1\n");
}

TEST_F(Executor, SaidaLimitadaAUmMebibyte) {
  parser_define_tempo_limite(1);
  // 64 bytes a line, forever: the console keeps exactly the first MiB.
  const Execucao e = roda("#include <stdio.h>\n"
                          "int main(void) { for (;;) printf(\"%063d\\n\", 7); }");
  EXPECT_EQ(e.resultado, 0);
  const std::string linha = std::string(62, '0') + "7\n";
  std::string esperado;
  for (size_t i = 0; i < PARSER_LIMITE_SAIDA / linha.size(); i++)
    esperado += linha;
  ASSERT_GT(e.console.size(), esperado.size());
  EXPECT_EQ(e.console.compare(0, esperado.size(), esperado), 0);
  const std::string resto = e.console.substr(esperado.size());
  EXPECT_EQ(resto.rfind("[olpa] a saída do programa passou de 1 MiB; o restante (", 0), 0) << resto;
  EXPECT_NE(resto.find(" bytes) foi descartado.\n[erro] o programa passou do tempo limite"),
            std::string::npos)
      << resto;
}

TEST_F(Executor, SaidaGrandeQueTerminaNaoTrava) {
  const Execucao e = roda("#include <stdio.h>\n"
                          "int main(void) { for (int i = 0; i < 100000; i++) "
                          "printf(\"%063d\\n\", i); return 0; }");
  EXPECT_EQ(e.resultado, 1);
  EXPECT_EQ(e.console.size() - e.console.rfind("[olpa]"),
            std::string("[olpa] a saída do programa passou de 1 MiB; o restante (5351424 bytes) "
                        "foi descartado.\n")
                .size());
}

TEST_F(Executor, TextoInvalidoChegaComoUtf8Valido) {
  const Execucao e = roda("int main(void) { escreve_console(\"a\\xe7\\xe3o\\n\"); return 0; }");
  EXPECT_EQ(e.resultado, 1);
  EXPECT_TRUE(g_utf8_validate(e.console.c_str(), -1, nullptr));
  EXPECT_EQ(e.console, "a\xef\xbf\xbd\xef\xbf\xbdo\n");
}

TEST_F(Executor, LinhasDeRastroNaoVaoAoConsole) {
  const Execucao e = roda("int main(void) { inicia(); grava_tela(\"r.png\"); termina(); }");
  EXPECT_EQ(e.resultado, 1);
  EXPECT_EQ(e.console, "");
  EXPECT_TRUE(existe(raiz.telas + "/r.png"));
}

TEST_F(Executor, ProgramasFilhosNaoSobrevivemAExecucao) {
  parser_define_tempo_limite(1);
  const std::string marca = raiz.raiz + "/neto";
  roda("#include <unistd.h>\n#include <stdio.h>\n"
       "int main(void) { if (fork() == 0) { sleep(2); FILE *f = fopen(\"" +
       marca + "\", \"w\"); fclose(f); } return 0; }");
  g_usleep(2500 * 1000);
  EXPECT_FALSE(existe(marca));
}

TEST_F(Executor, MesmoTextoDuasVezesMesmoResultado) {
  const std::string codigo = "int main(void) { inicia(); linha(0, 0, 100, 100); termina(); "
                             "escreve_console(\"x\\n\"); return 0; }";
  const Execucao a = roda(codigo);
  const std::string png = le_arquivo(raiz.telas + "/imagem.png");
  const Execucao b = roda(codigo);
  EXPECT_EQ(a.console, b.console);
  EXPECT_EQ(png, le_arquivo(raiz.telas + "/imagem.png"));
  EXPECT_FALSE(png.empty());
}

TEST(Estado, EstadoEstragadoNaoEntra) {
  // What comes back from a child may have been scribbled over by the program.
  OlpaEstado e;
  memset(&e, 'a', sizeof e);
  e.tela_aberta = 1;
  e.tela_com_erro = 0;
  e.largura_traco = std::nan("");
  olpa_gfx_importa_estado(e);
  EXPECT_STREQ(olpa_arquivo_exportar, "../telas/imagem.png");
  EXPECT_EQ(olpa_arquivo_gravamanual, 1);
  ASSERT_TRUE(olpa_tela_buffer);
  EXPECT_NE(cairo_status(olpa_tela_buffer.get()), CAIRO_STATUS_SUCCESS);
  linha(0, 0, 100, 100); // harmless on a canvas in its error state
  olpa_gfx_fecha_tela();
  olpa_gfx_defs();
}

TEST(Diagnosticos, TraduzOsErrosMaisComuns) {
  struct Caso {
    const char *original;
    const char *traduzido;
    int linha;
  };
  const Caso casos[] = {
      {"<string>:3: error: 'y' undeclared",
       "[erro] linha 3: 'y' não foi declarado (faltou declarar a variável ou a função?)\n", 3},
      {"<string>:7: error: ';' expected (got \"return\")",
       "[erro] linha 7: esperava ';' antes de \"return\"\n", 7},
      {"tcc: error: undefined symbol 'desenha'",
       "[erro] 'desenha' não existe: nenhuma função ou variável tem esse nome\n", 0},
      {"<string>:2: error: too many arguments to function",
       "[erro] linha 2: argumentos demais na chamada da função\n", 2},
      {"<string>:2: error: too few arguments to function",
       "[erro] linha 2: faltam argumentos na chamada da função\n", 2},
      {"<string>:1: error: cannot convert 'struct s' to 'int'",
       "[erro] linha 1: tipos incompatíveis: não dá para converter 'struct s' em 'int'\n", 1},
      {"<string>:4: error: redefinition of 'f'",
       "[erro] linha 4: 'f' foi definido mais de uma vez\n", 4},
      {"<string>:1: error: missing terminating \" character",
       "[erro] linha 1: texto sem a aspa de fechamento (\")\n", 1},
      {"<string>:9: error: unexpected end of file in comment",
       "[erro] linha 9: comentário sem fim: falta o */ de fechamento\n", 9},
      {"In file included from <string>:1:\n<string>:1: error: include file 'foo.h' not found",
       "[erro] linha 1: arquivo de cabeçalho 'foo.h' não encontrado\n", 1},
      {"/usr/include/x.h:12: error: identifier expected",
       "[erro] arquivo /usr/include/x.h, linha 12: esperava um nome (identificador)\n", 0},
      {"<string>:5: error: something tcc says that we do not know",
       "[erro] linha 5: something tcc says that we do not know\n", 5},
      {"<string>:1: warning: implicit declaration of function 'inicia'", "", 0},
  };
  for (const Caso &c : casos) {
    int linha = -1;
    EXPECT_EQ(parser_traduz_diagnostico(c.original, &linha), c.traduzido) << c.original;
    EXPECT_EQ(linha, c.linha) << c.original;
  }
}

TEST(Sonda, CompiladorDisponivel) {
  EXPECT_EQ(parser_inicia(), 1);
}

} // namespace
