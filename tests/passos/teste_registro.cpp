// SPDX-License-Identifier: GPL-3.0-or-later
// A record read back after the program that wrote it scribbled over it:
// whatever the memory holds, what is read is bounded, every call in it is a
// call of a learner function, and listing, replaying and the notices work
// on it; read while it grows, it is what it is read at the end. Calls are
// recorded here by calling the library's functions.
#include "olpa_avisos.h"
#include "olpa_funcoes.h"
#include "olpa_passos.h"
#include "olpa_registro.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

namespace {

constexpr OlpaRegistroMedidas MEDIDAS{64, 128};

struct Memoria {
  std::unique_ptr<void, decltype(&free)> bytes{aligned_alloc(64, olpa_registro_tamanho(MEDIDAS)),
                                               free};
  unsigned char *dados() { return static_cast<unsigned char *>(bytes.get()); }
  size_t tamanho() const { return olpa_registro_tamanho(MEDIDAS); }
};

// A few calls recorded, as a program would make them.
void grava(Memoria *m) {
  memset(m->dados(), 0, m->tamanho());
  olpa_gfx_define_console([](const char *, size_t) {});
  olpa_gfx_define_trace([](const char *, size_t) {});
  olpa_registro_define(m->dados(), MEDIDAS);
  olpa_gfx_nova_execucao();
  inicia();
  cor(255, 0, 0);
  linha(0, 0, 640, 480);
  escreve_console("oi");
  traco(3);
  linha_ate(10, 10);
  olpa_registro_define(nullptr);
  olpa_gfx_fecha_tela();
}

// What must hold of any record read, and the rest working on it.
void confere_sao(const OlpaRegistro &r) {
  ASSERT_LE(r.entradas.size(), MEDIDAS.chamadas);
  ASSERT_LE(r.textos.size(), MEDIDAS.textos);
  ASSERT_GE(r.chamadas, r.entradas.size());
  for (uint32_t i = 0; i < r.entradas.size(); i++) {
    const OlpaChamada c = olpa_registro_chamada(r, i);
    ASSERT_LT(c.funcao, OLPA_NUM_FUNCOES);
    ASSERT_GE(olpa_funcao_assinatura(c.funcao).quantos, 0);
    ASSERT_LE(c.texto.size(), OLPA_REGISTRO_TEXTO_MAX);
    ASSERT_FALSE(olpa_registro_passo(r, i).empty());
  }
  OlpaPassosPtr passos = olpa_passos_cria(&r);
  while (!olpa_passos_percorre(passos.get(), 100)) {
  }
  for (uint32_t k = 0; k <= r.entradas.size(); k++)
    olpa_passos_mostra(passos.get(), k);
  olpa_passos_quem_pintou(passos.get(), 320, 240);
  olpa_avisos_do_registro(r, passos.get(), "int main(void) { linha(0, 0, 1, 1); }");
}

TEST(Registro, LidoComoFoiGravado) {
  Memoria m;
  grava(&m);
  OlpaRegistro r;
  olpa_registro_le(m.dados(), MEDIDAS, &r);
  ASSERT_EQ(r.entradas.size(), 6u);
  EXPECT_EQ(olpa_registro_chamada_texto(r, 2), "linha(0, 0, 640, 480)");
  EXPECT_EQ(olpa_registro_chamada_texto(r, 3), "escreve_console(\"oi\")");
  EXPECT_EQ(olpa_registro_fim(r), "[olpa] 6 passos\n");
  confere_sao(r);
}

// One byte at a time changed to every value: the calls stop before one that
// is not a call, and nothing read goes past the memory.
TEST(Registro, CadaByteEstragado) {
  Memoria m;
  grava(&m);
  std::vector<unsigned char> boa(m.dados(), m.dados() + m.tamanho());
  for (size_t onde : {size_t{0}, size_t{8}, size_t{12}, size_t{16}}) // counts in the header
    for (int valor : {0x00, 0x7f, 0xff}) {
      memcpy(m.dados(), boa.data(), boa.size());
      memset(m.dados() + onde, valor, 4);
      OlpaRegistro r;
      olpa_registro_le(m.dados(), MEDIDAS, &r);
      confere_sao(r);
    }
  OlpaRegistro lida;
  olpa_registro_le(boa.data(), MEDIDAS, &lida);
  const size_t entradas = olpa_registro_partes(MEDIDAS).entradas;
  for (size_t i = 0; i < 6 * sizeof(OlpaEntrada); i++)
    for (int valor : {0x00, 0x11, 0x80, 0xff}) {
      memcpy(m.dados(), boa.data(), boa.size());
      m.dados()[entradas + i] ^= static_cast<unsigned char>(valor);
      OlpaRegistro r;
      olpa_registro_le(m.dados(), MEDIDAS, &r);
      confere_sao(r);
    }
}

// Read while it grows (a program paused after each call): the same calls,
// texts and steps as read once at the end; what was read stays as read when
// the program writes over it afterwards; and nothing past a call that is
// none is ever read.
TEST(Registro, LidoEnquantoCresce) {
  Memoria m;
  memset(m.dados(), 0, m.tamanho());
  OlpaRegistro aos_poucos;
  static Memoria *viva;
  static OlpaRegistro *lendo;
  viva = &m, lendo = &aos_poucos;
  olpa_gfx_define_console([](const char *, size_t) {});
  olpa_registro_define(m.dados(), MEDIDAS);
  olpa_registro_define_escuta(
      [](uint64_t) { olpa_registro_le_mais(viva->dados(), MEDIDAS, lendo); });
  olpa_gfx_nova_execucao();
  inicia();
  cor(255, 0, 0);
  linha(0, 0, 640, 480);
  escreve_console("oi");
  linha_ate(10, 10);
  olpa_registro_define_escuta(nullptr);
  olpa_registro_define(nullptr);
  olpa_gfx_fecha_tela();
  olpa_registro_le_mais(m.dados(), MEDIDAS, &aos_poucos);
  OlpaRegistro de_uma_vez;
  olpa_registro_le(m.dados(), MEDIDAS, &de_uma_vez);
  EXPECT_EQ(olpa_registro_lista(aos_poucos), olpa_registro_lista(de_uma_vez));
  EXPECT_EQ(aos_poucos.enderecos, de_uma_vez.enderecos);
  EXPECT_EQ(aos_poucos.chamadas, 5u);
  // Written over once read: nothing of it changes.
  const size_t entradas = olpa_registro_partes(MEDIDAS).entradas;
  const std::vector<unsigned char> antes(m.dados(), m.dados() + m.tamanho());
  memset(m.dados() + entradas, 0xff, sizeof(OlpaEntrada));
  olpa_registro_le_mais(m.dados(), MEDIDAS, &aos_poucos);
  EXPECT_EQ(olpa_registro_lista(aos_poucos), olpa_registro_lista(de_uma_vez));
  memcpy(m.dados(), antes.data(), antes.size());
  // A call that is none closes it: later ones are never read.
  OlpaRegistro fechado;
  OlpaEntrada boa;
  memcpy(&boa, m.dados() + entradas + 2 * sizeof(OlpaEntrada), sizeof boa);
  memset(m.dados() + entradas + 2 * sizeof(OlpaEntrada), 0xff, sizeof(OlpaEntrada));
  olpa_registro_le(m.dados(), MEDIDAS, &fechado);
  EXPECT_EQ(fechado.entradas.size(), 2u);
  EXPECT_TRUE(fechado.fechado);
  memcpy(m.dados() + entradas + 2 * sizeof(OlpaEntrada), &boa, sizeof boa);
  olpa_registro_le_mais(m.dados(), MEDIDAS, &fechado);
  EXPECT_EQ(fechado.entradas.size(), 2u);
  confere_sao(fechado);
}

// All of it random, many times over.
TEST(Registro, TudoAoAcaso) {
  Memoria m;
  std::mt19937_64 sorteio(20261206);
  for (int vez = 0; vez < 300; vez++) {
    grava(&m);
    // A few bytes, or a stretch, or all of it.
    const size_t de = sorteio() % m.tamanho();
    const size_t quantos = vez % 3 == 0 ? m.tamanho() - de : vez % 3 == 1 ? 1 + sorteio() % 64 : 8;
    for (size_t i = de; i < de + quantos && i < m.tamanho(); i++)
      m.dados()[i] = static_cast<unsigned char>(sorteio());
    OlpaRegistro r;
    olpa_registro_le(m.dados(), MEDIDAS, &r);
    confere_sao(r);
  }
}

} // namespace
