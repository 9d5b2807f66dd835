// PNG output of the canvas. Same pixels as cairo_surface_write_to_png (8-bit
// RGBA, un-premultiplied the way cairo does it), but with fast compression and
// no row filters: cairo's defaults cost several times the drawing itself.
#include "olpagfx.h"
#include "olpa_motivos.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <glib.h>
#include <glib/gstdio.h>
#include <png.h>

namespace {

struct Saida {
  std::string bytes;
};

void escreve_bloco(png_structp png, png_bytep dados, png_size_t tamanho) {
  static_cast<Saida *>(png_get_io_ptr(png))->bytes.append(reinterpret_cast<char *>(dados), tamanho);
}

void sem_flush(png_structp) {}

void desfaz_premultiplicacao(const uint32_t *origem, unsigned char *destino, int largura) {
  for (int i = 0; i < largura; i++) {
    const uint32_t p = origem[i];
    const unsigned alpha = p >> 24;
    unsigned char *d = destino + 4 * i;
    if (alpha == 0) {
      d[0] = d[1] = d[2] = d[3] = 0;
      continue;
    }
    const unsigned r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
    if (alpha == 255) {
      d[0] = r, d[1] = g, d[2] = b;
    } else {
      d[0] = (r * 255 + alpha / 2) / alpha;
      d[1] = (g * 255 + alpha / 2) / alpha;
      d[2] = (b * 255 + alpha / 2) / alpha;
    }
    d[3] = alpha;
  }
}

bool codifica(cairo_surface_t *s, Saida *saida, unsigned char *rgba) {
  const int largura = cairo_image_surface_get_width(s);
  const int altura = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char *dados = cairo_image_surface_get_data(s);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png)
    return false;
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> linha(rgba ? 0 : static_cast<size_t>(largura) * 4);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_set_write_fn(png, saida, escreve_bloco, sem_flush);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, largura, altura, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < altura; y++) {
    unsigned char *destino = rgba ? rgba + static_cast<size_t>(y) * largura * 4 : linha.data();
    desfaz_premultiplicacao(reinterpret_cast<const uint32_t *>(dados + y * stride), destino,
                            largura);
    png_write_row(png, destino);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

} // namespace

bool olpa_gfx_grava_png(cairo_surface_t *superficie, const char *caminho, char *motivo,
                        size_t tamanho_motivo, unsigned char *rgba) {
  cairo_surface_flush(superficie);
  Saida saida;
  saida.bytes.reserve(64 * 1024);
  if (cairo_surface_status(superficie) != CAIRO_STATUS_SUCCESS ||
      !codifica(superficie, &saida, rgba)) {
    g_strlcpy(motivo, "falha ao codificar a imagem", tamanho_motivo);
    return false;
  }
  FILE *f = g_fopen(caminho, "wb");
  int erro = f ? 0 : errno;
  if (f) {
    if (fwrite(saida.bytes.data(), 1, saida.bytes.size(), f) != saida.bytes.size())
      erro = errno ? errno : EIO;
    if (fclose(f) != 0 && !erro)
      erro = errno;
  }
  if (!erro)
    return true;
  const char *texto = olpa_motivo_errno(erro);
  g_strlcpy(motivo, texto ? texto : g_strerror(erro), tamanho_motivo);
  return false;
}
