// Cases found by fuzzing the runner, kept so they stay fixed.
#include "apoio.h"
#include "olpaparser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string console;
int vezes_erro;
void insere(const char *t) {
  console += t;
}
void substitui(const char *t) {
  console = t;
}
void erro() {
  vezes_erro++;
}

class Achados : public ::testing::Test {
protected:
  void SetUp() override {
    console.clear();
    vezes_erro = 0;
    parser_define_saida({insere, substitui, erro, nullptr});
    parser_define_tempo_limite(0.3);
  }
  void TearDown() override { parser_define_tempo_limite(10); }
  RaizTemporaria raiz;
};

// A program that stops in the middle of a line must not swallow the start
// of the line that says why it stopped.
TEST_F(Achados, TempoLimiteDepoisDeLinhaIncompletaComecaLinhaPropria) {
  EXPECT_EQ(parser_executa("int main(void) { escreve_console(\"meio\"); while (1) { } }"), 0);
  EXPECT_EQ(console, "meio\n[erro] o programa passou do tempo limite de 0.3 segundos e foi "
                     "interrompido (um laço que nunca termina?).\n");
  EXPECT_EQ(vezes_erro, 1);
}

TEST_F(Achados, QuebraDepoisDeLinhaIncompletaComecaLinhaPropria) {
  EXPECT_EQ(parser_executa("int main(void) { escreve_console(\"meio\"); *(int *)16 = 1; }"), 0);
  EXPECT_EQ(console, "meio\n[erro] o programa foi interrompido: acessou memória inválida (um "
                     "ponteiro ou índice de vetor errado?).\n");
}

TEST_F(Achados, AvisoDeSaidaCortadaComecaLinhaPropria) {
  parser_define_tempo_limite(10);
  EXPECT_EQ(parser_executa("int main(void) { char b[4097]; int i;"
                           " for (i = 0; i < 4096; i++) b[i] = 'a' + i % 4; b[4096] = 0;"
                           " for (i = 0; i < 300; i++) escreve_console(b); return 0; }"),
            1);
  std::string esperado;
  for (int i = 0; i < 262144; i++)
    esperado += "abcd";
  esperado += "\n[olpa] a saída do programa passou de 1 MiB; o restante (180224 bytes) foi "
              "descartado.\n";
  EXPECT_EQ(console.size(), esperado.size());
  EXPECT_TRUE(console == esperado) << console.substr(console.size() - 200);
}

// Text that ends its own line keeps the messages exactly after it.
TEST_F(Achados, LinhaCompletaNaoGanhaLinhaVazia) {
  EXPECT_EQ(parser_executa("int main(void) { escreve_console(\"fim\\n\"); while (1) { } }"), 0);
  EXPECT_EQ(console, "fim\n[erro] o programa passou do tempo limite de 0.3 segundos e foi "
                     "interrompido (um laço que nunca termina?).\n");
}

} // namespace
