// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures for grading. A learner's picture is untrusted: it is read only from
// a regular file, its size checked in the header before anything is decoded,
// and it is always drawn again into a surface of our own.
#include "figuras.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

namespace {

// No PNG of 640 x 480 comes near this, however it is compressed.
constexpr off_t TAMANHO_MAXIMO = 16 << 20;

struct Leitura {
  const std::string *bytes;
  size_t posicao;
};

cairo_status_t le_bloco(void *fechamento, unsigned char *dados, unsigned int tamanho) {
  auto *l = static_cast<Leitura *>(fechamento);
  if (l->bytes->size() - l->posicao < tamanho)
    return CAIRO_STATUS_READ_ERROR;
  memcpy(dados, l->bytes->data() + l->posicao, tamanho);
  l->posicao += tamanho;
  return CAIRO_STATUS_SUCCESS;
}

uint32_t inteiro_grande(const std::string &b, size_t i) {
  auto u = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(b[i + k])); };
  return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

// The whole file, when it is a regular one of sensible size.
// Reads the file open at `fd` (and closes it).
bool le_bytes_de(int fd, std::string *bytes, std::string *motivo) {
  struct stat st {};
  bool certo = fstat(fd, &st) == 0;
  if (certo && !S_ISREG(st.st_mode))
    *motivo = "não é um arquivo comum", certo = false;
  else if (certo && st.st_size > TAMANHO_MAXIMO)
    *motivo = "o arquivo é grande demais para uma figura de 640 × 480", certo = false;
  if (certo)
    bytes->reserve(static_cast<size_t>(st.st_size));
  char bloco[65536];
  while (certo) {
    const ssize_t n = read(fd, bloco, sizeof bloco);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      *motivo = g_strerror(errno), certo = false;
    if (n <= 0)
      break;
    bytes->append(bloco, static_cast<size_t>(n));
    if (bytes->size() > static_cast<size_t>(TAMANHO_MAXIMO))
      *motivo = "o arquivo é grande demais para uma figura de 640 × 480", certo = false;
  }
  close(fd);
  return certo;
}

bool le_bytes(const std::string &caminho, std::string *bytes, std::string *motivo) {
  const int fd = open(caminho.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *motivo = errno == ELOOP ? "é um atalho (link), não uma figura" : g_strerror(errno);
    return false;
  }
  return le_bytes_de(fd, bytes, motivo);
}

// The bytes of a PNG as a 640 x 480 ARGB32 surface; null with the reason.
OlpaSurface figura_de_bytes(const std::string &bytes, std::string *motivo);

} // namespace

OlpaSurface figura_le(const std::string &caminho, std::string *motivo) {
  std::string bytes;
  if (!le_bytes(caminho, &bytes, motivo))
    return nullptr;
  return figura_de_bytes(bytes, motivo);
}

OlpaSurface figura_le_fd(int fd, std::string *motivo) {
  std::string bytes;
  if (!le_bytes_de(dup(fd), &bytes, motivo))
    return nullptr;
  return figura_de_bytes(bytes, motivo);
}

namespace {

OlpaSurface figura_de_bytes(const std::string &bytes, std::string *motivo) {
  static const char ASSINATURA[] = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.compare(0, 8, ASSINATURA, 8) != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    *motivo = "não é uma figura PNG";
    return nullptr;
  }
  const uint32_t largura = inteiro_grande(bytes, 16), altura = inteiro_grande(bytes, 20);
  if (largura != OLPA_TELA_LARGURA || altura != OLPA_TELA_ALTURA) {
    *motivo = "a figura tem " + std::to_string(largura) + " × " + std::to_string(altura) +
              " pontos, e não 640 × 480";
    return nullptr;
  }
  Leitura leitura{&bytes, 0};
  OlpaSurface lida(cairo_image_surface_create_from_png_stream(le_bloco, &leitura));
  if (cairo_surface_status(lida.get()) != CAIRO_STATUS_SUCCESS) {
    *motivo = "a figura PNG está danificada";
    return nullptr;
  }
  if (cairo_image_surface_get_format(lida.get()) == CAIRO_FORMAT_ARGB32)
    return lida;
  // Whatever other format cairo chose for it (RGB, grey, ...), as ARGB32.
  OlpaSurface figura(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  OlpaCairo cr(cairo_create(figura.get()));
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr.get(), lida.get(), 0, 0);
  cairo_paint(cr.get());
  cr.reset();
  cairo_surface_flush(figura.get());
  return figura;
}

} // namespace

bool figura_grava(cairo_surface_t *figura, const std::string &caminho, std::string *motivo) {
  char texto[256];
  if (olpa_gfx_grava_png(figura, caminho.c_str(), texto, sizeof texto))
    return true;
  *motivo = texto;
  return false;
}

std::string figura_soma(cairo_surface_t *figura) {
  cairo_surface_flush(figura);
  GChecksum *soma = g_checksum_new(G_CHECKSUM_SHA256);
  const unsigned char *dados = cairo_image_surface_get_data(figura);
  const int passo = cairo_image_surface_get_stride(figura);
  for (int y = 0; dados && y < cairo_image_surface_get_height(figura); y++)
    g_checksum_update(soma, dados + static_cast<size_t>(y) * passo,
                      static_cast<gssize>(cairo_image_surface_get_width(figura)) * 4);
  std::string texto = g_checksum_get_string(soma);
  g_checksum_free(soma);
  return texto;
}
