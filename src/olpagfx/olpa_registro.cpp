// SPDX-License-Identifier: GPL-3.0-or-later
// Recording a run's calls, in the process that runs the program: each
// learner function notes itself first (OLPA_ANOTA), here. The counts that
// bound the writing are this process's own; the memory only mirrors them,
// since the program may write there too.
#include "olpa_registro.h"

#include "olpa_funcoes.h"
#include "olpagfx_interno.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

bool olpa_registrando;

namespace {

size_t arredonda(size_t n) {
  return (n + 63) & ~size_t{63};
}

struct Gravador {
  unsigned char *memoria = nullptr;
  OlpaRegistroCabecalho *cabecalho = nullptr;
  OlpaEntrada *entradas = nullptr;
  char *textos = nullptr;
  OlpaRegistroMedidas medidas;
  uint64_t chamadas = 0;
  uint32_t guardadas = 0, usados = 0;
  uint32_t prontas = 0;         // entries whose pages were made at once
  bool ultima_guardada = false; // the last call noted was kept
};
Gravador g;
OlpaEscuta escuta;

// The pages of the next entries made in one call rather than a fault each
// (a fault costs more than a dozen calls' recording); where the kernel
// cannot, the faults come as they would. As many again as are made, from a
// page's worth to 96 KiB at a time: a small program's few calls take little.
void prepara_entradas() {
  constexpr uint32_t LOTE = 4096; // entries at most at a time
  const size_t pagina = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const uint32_t lote =
      std::clamp(g.prontas, static_cast<uint32_t>(pagina / sizeof(OlpaEntrada)), LOTE);
  const uint32_t ate = std::min(g.medidas.chamadas, g.prontas + lote);
  const auto de = reinterpret_cast<uintptr_t>(g.entradas + g.prontas) & ~(pagina - 1);
  const auto fim = reinterpret_cast<uintptr_t>(g.entradas + ate);
  madvise(reinterpret_cast<void *>(de), fim - de, MADV_POPULATE_WRITE);
  g.prontas = ate;
}

// The next entry, or null when the record is full; the call counted either way.
OlpaEntrada *proxima() {
  g.cabecalho->chamadas = ++g.chamadas;
  g.ultima_guardada = g.guardadas < g.medidas.chamadas;
  if (!g.ultima_guardada)
    return nullptr;
  if (g.guardadas >= g.prontas)
    prepara_entradas();
  return &g.entradas[g.guardadas];
}

uint64_t palavra(uint8_t funcao, uint8_t bandeiras, const void *de_onde) {
  return (reinterpret_cast<uintptr_t>(de_onde) & OLPA_ENTRADA_ENDERECO) |
         uint64_t{bandeiras} << OLPA_ENTRADA_BANDEIRAS | uint64_t{funcao} << OLPA_ENTRADA_FUNCAO;
}

void guardada() {
  g.cabecalho->guardadas = ++g.guardadas;
}

} // namespace

OlpaRegistroPartes olpa_registro_partes(const OlpaRegistroMedidas &m) {
  OlpaRegistroPartes p;
  p.pixels = arredonda(sizeof(OlpaRegistroCabecalho));
  p.entradas = p.pixels + OLPA_TELA_BYTES;
  p.textos = p.entradas + arredonda(sizeof(OlpaEntrada) * m.chamadas);
  p.fim = arredonda(p.textos + m.textos);
  return p;
}

size_t olpa_registro_tamanho(const OlpaRegistroMedidas &m) {
  return olpa_registro_partes(m).fim;
}

void olpa_registro_define(void *memoria, const OlpaRegistroMedidas &m) {
  g = Gravador{};
  olpa_registrando = memoria != nullptr;
  if (!memoria)
    return;
  g.memoria = static_cast<unsigned char *>(memoria);
  g.medidas = m;
  g.cabecalho = reinterpret_cast<OlpaRegistroCabecalho *>(g.memoria);
  const OlpaRegistroPartes partes = olpa_registro_partes(m);
  g.entradas = reinterpret_cast<OlpaEntrada *>(g.memoria + partes.entradas);
  g.textos = reinterpret_cast<char *>(g.memoria + partes.textos);
  olpa_registro_comeca();
}

void olpa_registro_define_escuta(OlpaEscuta e) {
  escuta = e;
}

void olpa_registro_comeca() {
  if (!g.cabecalho)
    return;
  g.chamadas = 0;
  g.guardadas = g.usados = 0;
  g.ultima_guardada = false;
  OlpaRegistroCabecalho &c = *g.cabecalho;
  c = OlpaRegistroCabecalho{};
  c.inicio = olpa_gfx_exporta_estado();
  if (olpa_tela && c.inicio.tela_aberta) {
    unsigned char *pixels = g.memoria + olpa_registro_partes(g.medidas).pixels;
    cairo_surface_flush(olpa_tela.get());
    madvise(g.memoria, olpa_registro_partes(g.medidas).entradas, MADV_POPULATE_WRITE);
    memcpy(pixels, cairo_image_surface_get_data(olpa_tela.get()), OLPA_TELA_BYTES);
    c.tela_inicial = 1;
  }
}

uint8_t olpa_registro_id(const char *funcao) {
  return static_cast<uint8_t>(olpa_funcao_indice(funcao));
}

void olpa_registro_anota(uint8_t funcao, const void *de_onde, int a, int b, int c, int d) {
  if (OlpaEntrada *e = proxima()) {
    e->palavra = palavra(funcao, 0, de_onde);
    e->valores[0] = a;
    e->valores[1] = b;
    e->valores[2] = c;
    e->valores[3] = d;
    guardada();
  }
  if (escuta)
    escuta(g.chamadas);
}

void olpa_registro_anota_texto(uint8_t funcao, const void *de_onde, const char *texto) {
  OlpaEntrada *e = proxima();
  if (!e)
    return escuta ? escuta(g.chamadas) : void();
  uint8_t bandeiras = texto ? 0 : OLPA_TEXTO_NULO;
  uint32_t cabe = 0;
  if (texto) {
    const size_t tamanho = strnlen(texto, OLPA_REGISTRO_TEXTO_MAX + 1);
    cabe = static_cast<uint32_t>(
        std::min<size_t>({tamanho, OLPA_REGISTRO_TEXTO_MAX, g.medidas.textos - g.usados}));
    memcpy(g.textos + g.usados, texto, cabe);
    if (cabe < tamanho)
      bandeiras |= OLPA_TEXTO_CORTADO;
  }
  e->palavra = palavra(funcao, bandeiras, de_onde);
  e->valores[0] = static_cast<int32_t>(g.usados);
  e->valores[1] = static_cast<int32_t>(cabe);
  e->valores[2] = e->valores[3] = 0;
  g.usados += cabe;
  g.cabecalho->textos = g.usados;
  guardada();
  if (escuta)
    escuta(g.chamadas);
}

void olpa_registro_recusou() {
  if (olpa_registrando && g.ultima_guardada && g.guardadas > 0)
    g.entradas[g.guardadas - 1].palavra |= uint64_t{OLPA_RECUSADO} << OLPA_ENTRADA_BANDEIRAS;
}
