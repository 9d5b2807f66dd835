// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing library's host side: its globals, where its output goes, the
// memory its canvas lives in, and its state handed over to another process
// and taken back.
#include "olpagfx_interno.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <glib.h>

namespace {

constexpr char ARQUIVO_PADRAO[] = "../telas/imagem.png";

// All zero but the default export path.
constexpr OlpaEstado estado_inicial() {
  OlpaEstado e{};
  for (size_t i = 0; i < sizeof ARQUIVO_PADRAO; i++)
    e.arquivo_exportar[i] = ARQUIVO_PADRAO[i];
  return e;
}

void escreve_stdout(const char *texto, size_t tamanho) {
  fwrite(texto, 1, tamanho, stdout);
}

void dorme(int milissegundos) {
  g_usleep(static_cast<gulong>(milissegundos) * 1000);
}

} // namespace

const char *const OLPA_ARQUIVO_PADRAO = ARQUIVO_PADRAO;

OlpaSurface olpa_tela;
OlpaCairo olpa_tela_buffer;
OlpaEstado olpa_estado = estado_inicial();
int &olpa_x = olpa_estado.x, &olpa_y = olpa_estado.y;
float &olpa_r = olpa_estado.r, &olpa_g = olpa_estado.g, &olpa_b = olpa_estado.b,
      &olpa_alpha = olpa_estado.alpha;
char (&olpa_arquivo_exportar)[OLPA_CAMINHO_MAX] = olpa_estado.arquivo_exportar;
int &olpa_arquivo_gravamanual = olpa_estado.gravamanual;
OlpaLeitura olpa_lendo;
OlpaAmbiente olpa_ambiente = {escreve_stdout, escreve_stdout, dorme, nullptr, nullptr,
                              nullptr,        nullptr,        false, {},      false};

void olpa_gfx_trace(const char *formato, const char *caminho) {
  std::string linha = formato;
  linha.replace(linha.find("%s"), 2, caminho);
  olpa_ambiente.trace(linha.data(), linha.size());
}

void olpa_gfx_console(const std::string &texto) {
  olpa_ambiente.console(texto.data(), texto.size());
}

void olpa_gfx_mudou() {
  if (std::atomic<uint32_t> *m = olpa_ambiente.mudancas)
    m->store(m->load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void olpa_gfx_abre_tela() {
  olpa_tela_buffer.reset();
  olpa_tela.reset();
  if (unsigned char *pixels = olpa_ambiente.pixels)
    olpa_tela.reset(cairo_image_surface_create_for_data(
        pixels, CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA, OLPA_TELA_STRIDE));
  else
    olpa_tela.reset(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  olpa_tela_buffer.reset(cairo_create(olpa_tela.get()));
}

void olpa_gfx_define_console(OlpaEscritor escritor) {
  olpa_ambiente.console = escritor ? escritor : escreve_stdout;
}
void olpa_gfx_define_trace(OlpaEscritor escritor) {
  olpa_ambiente.trace = escritor ? escritor : escreve_stdout;
}
void olpa_gfx_define_espera(OlpaEsperador e) {
  olpa_ambiente.esperador = e ? e : dorme;
}
void olpa_gfx_define_mudancas(std::atomic<uint32_t> *contador) {
  olpa_ambiente.mudancas = contador;
}
void olpa_gfx_define_pixels(unsigned char *pixels) {
  olpa_ambiente.pixels = pixels;
}
const unsigned char *olpa_gfx_pixels(void) {
  return olpa_ambiente.pixels;
}
void olpa_gfx_define_ultima_imagem(unsigned char *argb, char *caminho) {
  olpa_ambiente.ultima_argb = argb && caminho ? argb : nullptr;
  olpa_ambiente.ultima_caminho = argb && caminho ? caminho : nullptr;
}

void olpa_gfx_defs(void) {
  g_strlcpy(olpa_arquivo_exportar, OLPA_ARQUIVO_PADRAO, sizeof olpa_arquivo_exportar);
  olpa_arquivo_gravamanual = 0;
}

// ---------------------------------------------------------------- one run

void olpa_gfx_fecha_tela(void) {
  olpa_tela_buffer.reset();
  olpa_tela.reset();
}

const OlpaGfxTempos &olpa_gfx_tempos(void) {
  return olpa_ambiente.tempos;
}

void olpa_gfx_nova_execucao(void) {
  olpa_ambiente.tempos = OlpaGfxTempos{};
  olpa_estado.png_gravado = 0;
  olpa_estado.png_falhou = 0;
  olpa_relato_comeca(olpa_gfx_contexto() != nullptr);
  olpa_ambiente.espera_avisada = false;
  if (olpa_registrando)
    olpa_registro_comeca();
}
int olpa_gfx_png_gravado(void) {
  return olpa_estado.png_gravado;
}
int olpa_gfx_png_falhou(void) {
  return olpa_estado.png_falhou;
}

// ---------------------------------------------------------------- hand-over

const OlpaEstado &olpa_gfx_exporta_estado(void) {
  OlpaEstado &e = olpa_estado;
  e.tela_aberta = e.tela_com_erro = 0;
  memset(e.matriz, 0, sizeof e.matriz);
  e.largura_traco = 0;
  memset(e.fonte, 0, sizeof e.fonte);
  cairo_t *cr = olpa_gfx_contexto();
  if (!cr)
    return e;
  e.tela_aberta = 1;
  e.tela_com_erro = cairo_status(cr) != CAIRO_STATUS_SUCCESS;
  if (e.tela_com_erro)
    return e;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  const double valores[6] = {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
  memcpy(e.matriz, valores, sizeof valores);
  e.largura_traco = cairo_get_line_width(cr);
  if (cairo_pattern_get_rgba(cairo_get_source(cr), &e.fonte[0], &e.fonte[1], &e.fonte[2],
                             &e.fonte[3]) != CAIRO_STATUS_SUCCESS)
    e.fonte[0] = e.fonte[1] = e.fonte[2] = e.fonte[3] = 1.0;
  return e;
}

namespace {

// The canvas part of a state taken back: the drawing context as it was, or,
// when anything in it is not a number, the context in its error state.
void retoma_tela(const OlpaEstado &e) {
  olpa_gfx_fecha_tela();
  if (!e.tela_aberta)
    return;
  olpa_gfx_abre_tela();
  cairo_t *cr = olpa_gfx_contexto();
  bool valido = !e.tela_com_erro && std::isfinite(e.largura_traco);
  for (double v : e.matriz)
    valido = valido && std::isfinite(v);
  for (double v : e.fonte)
    valido = valido && std::isfinite(v);
  if (!valido) {
    cairo_scale(cr, 0, 0); // same error state a singular matrix leaves
    return;
  }
  cairo_matrix_t m;
  cairo_matrix_init(&m, e.matriz[0], e.matriz[1], e.matriz[2], e.matriz[3], e.matriz[4],
                    e.matriz[5]);
  cairo_set_matrix(cr, &m);
  cairo_set_line_width(cr, e.largura_traco);
  cairo_set_source_rgba(cr, e.fonte[0], e.fonte[1], e.fonte[2], e.fonte[3]);
}

} // namespace

OlpaEstado olpa_gfx_normaliza_estado(const OlpaEstado &estado) {
  // The state may come from a program that wrote over its own memory:
  // take nothing on trust.
  OlpaEstado e = estado;
  e.arquivo_exportar[OLPA_CAMINHO_MAX - 1] = '\0';
  if (!olpa_gfx_exportar_valido(e.arquivo_exportar))
    g_strlcpy(e.arquivo_exportar, ARQUIVO_PADRAO, sizeof e.arquivo_exportar);
  e.gravamanual = e.gravamanual != 0;
  e.png_gravado = e.png_gravado != 0;
  e.png_falhou = e.png_falhou != 0;
  olpa_relato_normaliza(&e.relato);
  return e;
}

void olpa_gfx_importa_estado(const OlpaEstado &e) {
  olpa_estado = olpa_gfx_normaliza_estado(e);
  retoma_tela(olpa_estado);
}
