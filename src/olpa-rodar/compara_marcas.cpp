// SPDX-License-Identifier: GPL-3.0-or-later
// The picture of the differences: the model dimmed, each differing pixel in
// the colour of its kind, three colours chosen clearly apart from each other
// and from the drawing's own.
#include "compara_interno.h"

#include <unordered_map>
#include <vector>

using namespace compara;

namespace {

// Vivid colours a kind may be marked in, each kind's in the order preferred:
// red for what is missing, green for what is extra, yellow for another colour.
constexpr uint32_t VERMELHO = 0xffff1a1au, VERDE = 0xff00e000u, AMARELO = 0xffffd700u,
                   MAGENTA = 0xffff00ffu, CIANO = 0xff00e5ffu, LARANJA = 0xffff8c00u,
                   AZUL = 0xff3c78ffu, BRANCO = 0xffffffffu;
constexpr uint32_t CANDIDATAS[] = {VERMELHO, VERDE, AMARELO, MAGENTA, CIANO, LARANJA, AZUL, BRANCO};
const std::vector<uint32_t> PREFERIDAS[3] = {{VERMELHO, MAGENTA, LARANJA, BRANCO},
                                             {VERDE, CIANO, AZUL, BRANCO},
                                             {AMARELO, LARANJA, MAGENTA, CIANO, AZUL}};
// Apart enough to tell at a glance on a projector.
constexpr double LONGE = 0.3 * 0.3 * DISTANCIA_MAXIMA;

// The colours that make up the drawing: each one that covers a fair part of
// it (the rest are the blends at the edges of strokes).
std::vector<Rgb> cores_do_desenho(const unsigned char *modelo, const Regras &r) {
  std::unordered_map<uint32_t, long> quantos;
  long total = 0;
  const Figura m{modelo};
  for (int y = 0; y < OLPA_TELA_ALTURA; y++)
    for (int x = 0; x < OLPA_TELA_LARGURA; x++)
      if (r.desenhado(m.em(x, y))) {
        quantos[m.em(x, y)]++;
        total++;
      }
  std::vector<std::pair<uint32_t, long>> ordem(quantos.begin(), quantos.end());
  std::sort(ordem.begin(), ordem.end());
  std::vector<Rgb> cores;
  for (const auto &[argb, n] : ordem)
    if (n >= std::max(20L, total / 100))
      cores.push_back(visto(argb, r.fundo));
  return cores;
}

double mais_perto(uint32_t candidata, const std::vector<Rgb> &cores) {
  double d = DISTANCIA_MAXIMA * 4;
  for (const Rgb &c : cores)
    d = std::min(d, distancia(rgb_de(candidata), c));
  return d;
}

} // namespace

CoresDasMarcas compara_cores_das_marcas(const unsigned char *modelo, const OpcoesComparacao &o) {
  const Regras r = regras_de(o);
  std::vector<Rgb> ocupadas = cores_do_desenho(modelo, r);
  ocupadas.push_back(r.fundo);
  uint32_t escolhidas[3];
  for (int k = 0; k < 3; k++) {
    uint32_t melhor = 0;
    for (uint32_t c : PREFERIDAS[k])
      if (mais_perto(c, ocupadas) >= LONGE) {
        melhor = c;
        break;
      }
    // None of its own is free: the vivid colour farthest from all taken.
    if (!melhor) {
      double folga = -1;
      for (uint32_t c : CANDIDATAS)
        if (mais_perto(c, ocupadas) > folga)
          folga = mais_perto(c, ocupadas), melhor = c;
    }
    escolhidas[k] = melhor;
    ocupadas.push_back(rgb_de(melhor));
  }
  return {escolhidas[0], escolhidas[1], escolhidas[2]};
}

void compara_desenha_diferencas(const unsigned char *modelo, const Marca *marcas,
                                const CoresDasMarcas &cores, unsigned char *saida) {
  const Rgb preto{0, 0, 0};
  const Figura m{modelo};
  for (int y = 0; y < OLPA_TELA_ALTURA; y++) {
    auto *linha = reinterpret_cast<uint32_t *>(saida + static_cast<size_t>(y) * OLPA_TELA_STRIDE);
    for (int x = 0; x < OLPA_TELA_LARGURA; x++) {
      switch (marcas[y * OLPA_TELA_LARGURA + x]) {
      case Marca::Faltando:
        linha[x] = cores.faltando;
        break;
      case Marca::Sobrando:
        linha[x] = cores.sobrando;
        break;
      case Marca::Cor:
        linha[x] = cores.cor;
        break;
      case Marca::Nenhuma: {
        // The model at 2/5 of its brightness, under the marks.
        const Rgb v = visto(m.em(x, y), preto);
        linha[x] = 0xff000000u | static_cast<uint32_t>(v.r * 2 / 5) << 16 |
                   static_cast<uint32_t>(v.g * 2 / 5) << 8 | static_cast<uint32_t>(v.b * 2 / 5);
      }
      }
    }
  }
}
