// SPDX-License-Identifier: GPL-3.0-or-later
// Two drawings compared as a teacher looks at them. A pixel differs only when
// the eye tells its colours apart (compara_interno.h), and even then only
// when neither colour is found near the same place in the other picture:
// within the square of `deslocamento` pixels around it, a colour counts as
// found when it lies (to the eye) within the range each channel takes there,
// so that the same stroke moved a little is found, and so is an antialiased
// edge, a partly covered pixel of it.
//
// Most pixels are the same in both pictures and cost a compare of two words.
// The ranges of the few that differ are gathered around each of them; when
// many differ (a learner who painted the whole screen), the ranges of every
// pixel are made at once, a channel at a time, which costs the same whatever
// the distance.
#include "compara_interno.h"

#include <vector>

using namespace compara;

namespace {

// Past this many pixels to look at closely, the ranges are made for all at once.
constexpr size_t MUITOS = COMPARA_PONTOS / 32;

struct Faixa {
  Rgb menor, maior;
};

// Whether colour `c` is within (to the eye) the range `f`.
bool dentro(const Rgb &c, const Faixa &f, const Regras &r) {
  const Rgb perto{std::clamp(c.r, f.menor.r, f.maior.r), std::clamp(c.g, f.menor.g, f.maior.g),
                  std::clamp(c.b, f.menor.b, f.maior.b)};
  return distancia(c, perto) <= r.limite;
}

bool iguais(const Rgb &a, const Rgb &b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

// dentro() with its last answer kept: where a picture differs over a large
// area, pixel after pixel asks the same.
struct Lembra {
  Rgb c{-1, -1, -1};
  Faixa f{};
  bool sim = false;

  bool dentro(const Rgb &cor, const Faixa &faixa, const Regras &r) {
    if (!iguais(cor, c) || !iguais(faixa.menor, f.menor) || !iguais(faixa.maior, f.maior))
      c = cor, f = faixa, sim = ::dentro(cor, faixa, r);
    return sim;
  }
};

// The range around (x, y), gathered there; it stops early at a pixel of
// exactly colour `c`, which is in it whatever the rest.
Faixa faixa_em(const Figura &f, int x, int y, const Rgb &c, const Regras &r) {
  Faixa faixa{{255, 255, 255}, {0, 0, 0}};
  const int y0 = std::max(0, y - r.raio), y1 = std::min(OLPA_TELA_ALTURA - 1, y + r.raio);
  const int x0 = std::max(0, x - r.raio), x1 = std::min(OLPA_TELA_LARGURA - 1, x + r.raio);
  for (int yy = y0; yy <= y1; yy++)
    for (int xx = x0; xx <= x1; xx++) {
      const Rgb k = visto(f.em(xx, yy), r.fundo);
      if (iguais(k, c))
        return {c, c};
      faixa.menor = {std::min(faixa.menor.r, k.r), std::min(faixa.menor.g, k.g),
                     std::min(faixa.menor.b, k.b)};
      faixa.maior = {std::max(faixa.maior.r, k.r), std::max(faixa.maior.g, k.g),
                     std::max(faixa.maior.b, k.b)};
    }
  return faixa;
}

// The ranges around every pixel of a picture: the smallest and the largest
// of each channel, along the rows and then along the columns. Kept from one
// comparison to the next in the same thread: the memory is 4 MB, and making
// it anew each time would cost more than the work (a page fault a page).
struct Faixas {
  std::vector<uint8_t> menor[3], maior[3];

  Faixa em(size_t i) const {
    return {{menor[0][i], menor[1][i], menor[2][i]}, {maior[0][i], maior[1][i], maior[2][i]}};
  }
};

struct Memoria {
  Faixas de[2];
  std::vector<uint8_t> canal, linhas;
};
thread_local Memoria memoria;

// para[i] = op(para[i], de[i]) for n bytes: a loop the compiler makes into
// vector instructions, the two never overlapping.
template <typename Op>
void junta(uint8_t *__restrict para, const uint8_t *__restrict de, int n, Op op) {
  for (int i = 0; i < n; i++)
    para[i] = op(para[i], de[i]);
}

template <typename Op>
void espalha(const std::vector<uint8_t> &canal, int raio, Op op, std::vector<uint8_t> *linhas,
             std::vector<uint8_t> *saida) {
  constexpr int L = OLPA_TELA_LARGURA, A = OLPA_TELA_ALTURA;
  *linhas = canal;
  for (int y = 0; y < A; y++) {
    const uint8_t *de = &canal[static_cast<size_t>(y) * L];
    uint8_t *para = &(*linhas)[static_cast<size_t>(y) * L];
    for (int k = 1; k <= raio; k++) {
      junta(para, de + k, L - k, op);
      junta(para + k, de, L - k, op);
    }
  }
  *saida = *linhas;
  for (int k = 1; k <= raio; k++)
    for (int y = 0; y < A; y++) {
      uint8_t *para = &(*saida)[static_cast<size_t>(y) * L];
      if (y + k < A)
        junta(para, &(*linhas)[static_cast<size_t>(y + k) * L], L, op);
      if (y >= k)
        junta(para, &(*linhas)[static_cast<size_t>(y - k) * L], L, op);
    }
}

const Faixas &faixas_de(const Figura &f, const Regras &r, Faixas *faixas) {
  std::vector<uint8_t> &canais = memoria.canal;
  canais.resize(3 * COMPARA_PONTOS);
  for (int y = 0; y < OLPA_TELA_ALTURA; y++)
    for (int x = 0; x < OLPA_TELA_LARGURA; x++) {
      const Rgb k = visto(f.em(x, y), r.fundo);
      const size_t i = static_cast<size_t>(y) * OLPA_TELA_LARGURA + x;
      canais[i] = static_cast<uint8_t>(k.r);
      canais[COMPARA_PONTOS + i] = static_cast<uint8_t>(k.g);
      canais[2 * COMPARA_PONTOS + i] = static_cast<uint8_t>(k.b);
    }
  std::vector<uint8_t> canal(COMPARA_PONTOS);
  for (int c = 0; c < 3; c++) {
    std::copy_n(canais.begin() + c * COMPARA_PONTOS, COMPARA_PONTOS, canal.begin());
    espalha(
        canal, r.raio, [](uint8_t a, uint8_t b) { return std::min(a, b); }, &memoria.linhas,
        &faixas->menor[c]);
    espalha(
        canal, r.raio, [](uint8_t a, uint8_t b) { return std::max(a, b); }, &memoria.linhas,
        &faixas->maior[c]);
  }
  return *faixas;
}

} // namespace

double Comparacao::parte() const {
  return desenho > 0 ? 100.0 * static_cast<double>(diferentes()) / static_cast<double>(desenho)
                     : 0.0;
}

Marca Comparacao::principal() const {
  if (diferentes() == 0)
    return Marca::Nenhuma;
  if (faltando >= sobrando && faltando >= cor)
    return Marca::Faltando;
  return sobrando >= cor ? Marca::Sobrando : Marca::Cor;
}

Comparacao compara_figuras(const unsigned char *modelo, const unsigned char *aluno,
                           const OpcoesComparacao &opcoes, Marca *marcas) {
  const Regras r = regras_de(opcoes);
  const Figura m{modelo}, a{aluno};
  Comparacao c;
  long do_modelo = 0, do_aluno = 0;
  // The pixels whose colours the eye tells apart, and whether each picture drew there.
  std::vector<uint32_t> perto;
  std::vector<uint8_t> quem;
  // What the last pair of pixels was: large areas repeat it.
  uint32_t antes_m = ~r.fundo_argb, antes_a = r.fundo_argb;
  bool dm = false, da = false, vistos = false;
  for (int y = 0; y < OLPA_TELA_ALTURA; y++)
    for (int x = 0; x < OLPA_TELA_LARGURA; x++) {
      const uint32_t pm = m.em(x, y), pa = a.em(x, y);
      if (pm == r.fundo_argb && pa == r.fundo_argb)
        continue; // most of a picture: nothing drawn in either
      if (pm != antes_m || pa != antes_a) {
        dm = r.desenhado(pm), da = pm == pa ? dm : r.desenhado(pa);
        vistos =
            pm != pa && (dm || da) && distancia(visto(pm, r.fundo), visto(pa, r.fundo)) > r.limite;
        antes_m = pm, antes_a = pa;
      }
      do_modelo += dm;
      do_aluno += da;
      c.desenho += dm || da;
      if (vistos) {
        perto.push_back(static_cast<uint32_t>(y * OLPA_TELA_LARGURA + x));
        quem.push_back(static_cast<uint8_t>(dm | da << 1));
      }
    }
  c.modelo_vazio = do_modelo == 0;
  c.aluno_vazio = do_aluno == 0;
  if (marcas)
    std::fill(marcas, marcas + COMPARA_PONTOS, Marca::Nenhuma);
  const bool todas = perto.size() > MUITOS;
  const Faixas &de_m = memoria.de[0], &de_a = memoria.de[1];
  if (todas)
    faixas_de(m, r, &memoria.de[0]), faixas_de(a, r, &memoria.de[1]);
  Lembra no_aluno, no_modelo;
  for (size_t k = 0; k < perto.size(); k++) {
    const int x = static_cast<int>(perto[k] % OLPA_TELA_LARGURA),
              y = static_cast<int>(perto[k] / OLPA_TELA_LARGURA);
    const Rgb cm = visto(m.em(x, y), r.fundo), ca = visto(a.em(x, y), r.fundo);
    if (no_aluno.dentro(cm, todas ? de_a.em(perto[k]) : faixa_em(a, x, y, cm, r), r) &&
        no_modelo.dentro(ca, todas ? de_m.em(perto[k]) : faixa_em(m, x, y, ca, r), r))
      continue;
    const bool dm = quem[k] & 1, da = quem[k] & 2;
    const Marca tipo = dm && da ? Marca::Cor : dm ? Marca::Faltando : Marca::Sobrando;
    (tipo == Marca::Cor ? c.cor : tipo == Marca::Faltando ? c.faltando : c.sobrando)++;
    if (marcas)
      marcas[perto[k]] = tipo;
  }
  return c;
}

bool compara_so_fundo(const unsigned char *figura, const OpcoesComparacao &opcoes) {
  const Regras r = regras_de(opcoes);
  const Figura f{figura};
  for (int y = 0; y < OLPA_TELA_ALTURA; y++)
    for (int x = 0; x < OLPA_TELA_LARGURA; x++)
      if (r.desenhado(f.em(x, y)))
        return false;
  return true;
}

long compara_bytes(const unsigned char *a, const unsigned char *b) {
  const Figura fa{a}, fb{b};
  long diferentes = 0;
  for (int y = 0; y < OLPA_TELA_ALTURA; y++)
    for (int x = 0; x < OLPA_TELA_LARGURA; x++)
      diferentes += fa.em(x, y) != fb.em(x, y);
  return diferentes;
}
