// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures kept on the way through a record, so that any step is at
// most a few milliseconds of replaying from one. Each is the world's
// drawing state and its canvas in squares: a square that did not change
// since the last picture is the last one's own, and a square is kept as
// runs of equal pixels when that is smaller (drawings are mostly flat).
#include "olpa_passos_interno.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace {

constexpr size_t PIXELS_NO_LADRILHO = OLPA_LADO * OLPA_LADO;

const uint32_t *canto(const uint32_t *pixels, int ladrilho) {
  const int x = ladrilho % OLPA_LADRILHOS_X * OLPA_LADO,
            y = ladrilho / OLPA_LADRILHOS_X * OLPA_LADO;
  return pixels + y * OLPA_TELA_LARGURA + x;
}
uint32_t *canto(uint32_t *pixels, int ladrilho) {
  return const_cast<uint32_t *>(canto(const_cast<const uint32_t *>(pixels), ladrilho));
}

bool igual(const uint32_t *a, const uint32_t *b) {
  for (int linha = 0; linha < OLPA_LADO; linha++)
    if (memcmp(a + linha * OLPA_TELA_LARGURA, b + linha * OLPA_TELA_LARGURA, OLPA_LADO * 4) != 0)
      return false;
  return true;
}

void copia(const uint32_t *de, uint32_t *para) {
  for (int linha = 0; linha < OLPA_LADO; linha++)
    memcpy(para + linha * OLPA_TELA_LARGURA, de + linha * OLPA_TELA_LARGURA, OLPA_LADO * 4);
}

// A square as (count, pixel) pairs, or its pixels as they are when the
// pairs would not be fewer words.
OlpaLadrilho empacota(const uint32_t *de) {
  std::vector<uint32_t> pares;
  for (int linha = 0; linha < OLPA_LADO && pares.size() < PIXELS_NO_LADRILHO; linha++)
    for (int x = 0; x < OLPA_LADO; x++) {
      const uint32_t p = de[linha * OLPA_TELA_LARGURA + x];
      if (!pares.empty() && pares.back() == p)
        pares[pares.size() - 2]++;
      else
        pares.insert(pares.end(), {1, p});
    }
  if (pares.size() >= PIXELS_NO_LADRILHO) {
    pares.resize(PIXELS_NO_LADRILHO);
    for (int linha = 0; linha < OLPA_LADO; linha++)
      memcpy(&pares[linha * OLPA_LADO], de + linha * OLPA_TELA_LARGURA, OLPA_LADO * 4);
  }
  pares.shrink_to_fit();
  return std::make_shared<const std::vector<uint32_t>>(std::move(pares));
}

void desempacota(const std::vector<uint32_t> &pares, uint32_t *para) {
  int linhas = OLPA_LADO;
  if (pares.size() == PIXELS_NO_LADRILHO) {
    for (int linha = 0; linha < OLPA_LADO; linha++)
      memcpy(para + linha * OLPA_TELA_LARGURA, &pares[linha * OLPA_LADO], OLPA_LADO * 4);
    return;
  }
  int x = 0;
  for (size_t par = 0; par + 1 < pares.size() && para; par += 2)
    for (uint32_t n = pares[par]; n > 0 && para;) {
      const int k = static_cast<int>(std::min<uint32_t>(n, OLPA_LADO - x));
      std::fill_n(para + x, k, pares[par + 1]);
      n -= static_cast<uint32_t>(k);
      x += k;
      if (x == OLPA_LADO) // next row; past the last, no more
        x = 0, para = para + OLPA_TELA_LARGURA, para = --linhas > 0 ? para : nullptr;
    }
}

size_t bytes_de(const OlpaLadrilho &l) {
  return sizeof(*l) + l->capacity() * sizeof(uint32_t) + 32; // and the shared count
}

// What the pictures take, each square counted once.
size_t conta(const std::vector<OlpaInstantaneo> &lista) {
  std::unordered_set<const void *> vistos;
  size_t bytes = lista.size() * sizeof(OlpaInstantaneo);
  for (const OlpaInstantaneo &s : lista)
    for (const OlpaLadrilho &l : s.ladrilhos)
      if (vistos.insert(l.get()).second)
        bytes += bytes_de(l);
  return bytes;
}

// Every other picture dropped, but the first and the last (the one the
// next is compared with).
void desbasta(OlpaInstantaneos *todos) {
  std::vector<OlpaInstantaneo> ficam;
  for (size_t i = 0; i < todos->lista.size(); i++)
    if (i % 2 == 0 || i + 1 == todos->lista.size())
      ficam.push_back(std::move(todos->lista[i]));
  todos->lista = std::move(ficam);
  todos->bytes = conta(todos->lista);
}

} // namespace

bool olpa_instantaneos_guarda(OlpaInstantaneos *todos, OlpaMundo *mundo) {
  OlpaInstantaneo s;
  s.passo = mundo->passo;
  s.estado = olpa_gfx_exporta_estado();
  s.teve_tela = mundo->teve_tela;
  if (olpa_tela)
    cairo_surface_flush(olpa_tela.get());
  const uint32_t *pixels = mundo->pixels.get();
  const bool primeiro = todos->lista.empty();
  if (primeiro)
    todos->ultima.assign(OLPA_TELA_LARGURA * OLPA_TELA_ALTURA, 0);
  for (int i = 0; i < OLPA_LADRILHOS; i++) {
    if (!primeiro && igual(canto(pixels, i), canto(todos->ultima.data(), i))) {
      s.ladrilhos[i] = todos->lista.back().ladrilhos[i];
      continue;
    }
    s.ladrilhos[i] = empacota(canto(pixels, i));
    copia(canto(pixels, i), canto(todos->ultima.data(), i));
    todos->bytes += bytes_de(s.ladrilhos[i]);
  }
  todos->bytes += sizeof s;
  todos->lista.push_back(std::move(s));
  bool desbastou = false;
  while (todos->bytes > todos->orcamento && todos->lista.size() > 2) {
    const size_t antes = todos->lista.size();
    desbasta(todos);
    desbastou = true;
    if (todos->lista.size() == antes)
      break;
  }
  return desbastou;
}

const OlpaInstantaneo &olpa_instantaneos_antes(const OlpaInstantaneos &todos, uint32_t passo) {
  const auto depois =
      std::upper_bound(todos.lista.begin(), todos.lista.end(), passo,
                       [](uint32_t p, const OlpaInstantaneo &s) { return p < s.passo; });
  return depois == todos.lista.begin() ? todos.lista.front() : *std::prev(depois);
}

void olpa_instantaneos_restaura(const OlpaInstantaneo &s, OlpaMundo *mundo) {
  olpa_gfx_fecha_tela();
  for (int i = 0; i < OLPA_LADRILHOS; i++)
    desempacota(*s.ladrilhos[i], canto(mundo->pixels.get(), i));
  olpa_gfx_importa_estado(s.estado);
  mundo->teve_tela = s.teve_tela;
  mundo->passo = s.passo;
}
