// SPDX-License-Identifier: GPL-3.0-or-later
// Programs compiled and run in this process by the runner's own compile,
// hosted here as the benchmarks' floor is (no child, no confinement); the
// record's listener takes the canvas as each call finds it.
#include "programa.h"

#include "execucao.h"
#include "filho.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr size_t PIXELS = OLPA_TELA_LARGURA * OLPA_TELA_ALTURA;
constexpr uint32_t COPIAS = 24; // pixel copies taken, spread out

// The canvas lives here, in every run of the process.
uint32_t *tela() {
  static std::unique_ptr<uint32_t[]> pixels(new uint32_t[PIXELS]());
  return pixels.get();
}

// The run under way, and what of the canvas it has seen.
struct Vivo {
  Gravada *gravada = nullptr;
  uint32_t guardadas = 0; // calls the record keeps
  TabelaDeLinhas tabela;
  std::atomic<uint32_t> mudancas{0};
  uint32_t vistas = 0;
  bool teve_tela = false;
} vivo;

// The canvas as the calls so far left it: step `passo`.
void anota_tela(uint64_t proximo) {
  Gravada &g = *vivo.gravada;
  const uint32_t passo = static_cast<uint32_t>(g.hashes.size());
  if (proximo != passo + 1u || passo > vivo.guardadas)
    return;
  vivo.teve_tela = vivo.teve_tela || olpa_tela != nullptr;
  uint64_t hash = g.hashes.empty() ? 0 : g.hashes.back();
  if (g.hashes.empty() || (conferido(passo) && vivo.mudancas.load() != vivo.vistas)) {
    vivo.vistas = vivo.mudancas.load();
    if (olpa_tela)
      cairo_surface_flush(olpa_tela.get());
    hash = hash_da_tela(tela());
  }
  g.com_tela.push_back(vivo.teve_tela);
  g.canetas.emplace_back(olpa_x, olpa_y);
  g.hashes.push_back(hash);
  if (passo % 53 == 7 && g.copias.size() < COPIAS)
    g.copias.emplace_back(passo, std::vector<uint32_t>(tela(), tela() + PIXELS));
}

// This process hosts the compile and the run.
bool sem_confinar() {
  return true;
}
void evento(Evento) {}
void mensagem(const Diagnostico &d) {
  vivo.gravada->erros += d.texto;
}
void sem_rastro(const char *, size_t) {}
void sem_nomes(TCCState *) {}
void ligado(TCCState *, void *, size_t) {}
void solta(const TabelaDeLinhas &tabela) {
  vivo.tabela = tabela;
  anota_tela(1); // the canvas as the run begins
}
void fim(int) {}
const Hospedeiro AQUI = {sem_confinar, evento, mensagem, sem_rastro, sem_nomes, ligado, solta, fim};

} // namespace

uint64_t hash_da_tela(const uint32_t *pixels) {
  // Four lanes, so that the multiplications overlap.
  uint64_t h[4] = {1, 2, 3, 4};
  const auto *p = reinterpret_cast<const uint64_t *>(pixels);
  for (size_t i = 0; i < PIXELS / 2; i += 4)
    for (int j = 0; j < 4; j++)
      h[j] = (h[j] ^ p[i + j]) * 0xff51afd7ed558ccdu + (h[j] >> 31);
  return h[0] ^ (h[1] * 3) ^ (h[2] * 5) ^ (h[3] * 7);
}

Gravada roda_programa(const std::string &codigo, const OlpaRegistroMedidas &medidas) {
  Gravada g;
  vivo.gravada = &g;
  vivo.guardadas = medidas.chamadas;
  vivo.teve_tela = false;
  processo_cria_memoria();
  olpa_gfx_define_pixels(reinterpret_cast<unsigned char *>(tela()));
  olpa_gfx_define_console([](const char *, size_t) {});
  olpa_gfx_define_trace([](const char *, size_t) {});
  olpa_gfx_define_espera([](int) {});
  olpa_gfx_define_mudancas(&vivo.mudancas);
  const size_t tamanho = olpa_registro_tamanho(medidas);
  std::unique_ptr<void, decltype(&free)> memoria(aligned_alloc(64, tamanho), free);
  memset(memoria.get(), 0, tamanho);
  olpa_registro_define(memoria.get(), medidas);
  olpa_registro_define_escuta(anota_tela);
  olpa_gfx_nova_execucao();
  g.compilou = compila_e_roda(compila_preludio() + codigo, AQUI) == 1;
  olpa_registro_le(memoria.get(), medidas, &g.registro);
  anota_tela(g.hashes.size() + 1); // after the last call
  olpa_registro_define_escuta(nullptr);
  olpa_registro_define(nullptr);
  olpa_gfx_define_mudancas(nullptr);
  // Each address's line: that of the call it returns to, just before it.
  std::vector<int> linhas;
  for (uint64_t endereco : g.registro.enderecos)
    linhas.push_back(linhas_linha(vivo.tabela, endereco - 1));
  olpa_registro_define_linhas(&g.registro, linhas);
  vivo.gravada = nullptr;
  return g;
}
