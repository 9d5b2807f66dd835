// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures for grading. A picture from a file is untrusted: it is read only
// from a regular file, and decoded by the runner's reader (its size checked
// in the header before anything is decoded) into pixels of our own.
#include "figuras.h"

#include "olpa_motivos.h"
#include "olpaparser.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <glib.h>

bool figura_le(const std::string &caminho, Pixels *pixels, std::string *motivo) {
  const int fd = open(caminho.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *motivo = errno == ELOOP ? "é um atalho (link), não uma figura" : g_strerror(errno);
    return false;
  }
  const bool lida = parser_le_figura_fd(fd, pixels, motivo);
  close(fd);
  return lida;
}

std::string figura_codifica(const unsigned char *pixels) {
  // Only read: cairo writes nothing into a surface it is not asked to draw on.
  OlpaSurface figura(cairo_image_surface_create_for_data(const_cast<unsigned char *>(pixels),
                                                         CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA,
                                                         OLPA_TELA_ALTURA, OLPA_TELA_STRIDE));
  std::string png;
  olpa_gfx_codifica_png(figura.get(), &png, true);
  return png;
}

bool figura_grava_png(const std::string &png, const std::string &caminho, std::string *motivo) {
  // Through a temporary name beside it, so that a picture is replaced whole;
  // not synced: a report can be made again at will.
  std::string temporario = caminho + ".XXXXXX";
  const int fd = png.empty() ? -1 : g_mkstemp_full(temporario.data(), O_WRONLY | O_CLOEXEC, 0666);
  bool certo = fd >= 0;
  for (size_t feito = 0; certo && feito < png.size();) {
    const ssize_t n = write(fd, png.data() + feito, png.size() - feito);
    certo = n > 0 || (n < 0 && errno == EINTR);
    feito += n > 0 ? static_cast<size_t>(n) : 0;
  }
  int erro = errno;
  if (fd >= 0 && close(fd) != 0 && certo)
    certo = false, erro = errno;
  if (certo && rename(temporario.c_str(), caminho.c_str()) != 0)
    certo = false, erro = errno;
  if (certo)
    return true;
  if (fd >= 0)
    unlink(temporario.c_str());
  const char *nosso = png.empty() ? "falha ao codificar a imagem" : olpa_motivo_errno(erro);
  *motivo = nosso ? nosso : g_strerror(erro);
  return false;
}

bool figura_grava_igual(const std::string &existente, const std::string &png,
                        const std::string &caminho, std::string *motivo) {
  if (link(existente.c_str(), caminho.c_str()) == 0)
    return true;
  // One there already (a learner graded again) is replaced whole.
  for (int tentativa = 0; errno == EEXIST && tentativa < 8; tentativa++) {
    const std::string temporario = caminho + "." + std::to_string(g_random_int());
    if (link(existente.c_str(), temporario.c_str()) != 0)
      continue;
    const bool trocado = rename(temporario.c_str(), caminho.c_str()) == 0;
    unlink(temporario.c_str()); // still there when both names were already the same file's
    if (trocado)
      return true;
    break;
  }
  return figura_grava_png(png, caminho, motivo);
}

bool figura_grava(const unsigned char *pixels, const std::string &caminho, std::string *motivo) {
  return figura_grava_png(figura_codifica(pixels), caminho, motivo);
}

std::string figura_soma(const unsigned char *pixels) {
  GChecksum *soma = g_checksum_new(G_CHECKSUM_SHA256);
  g_checksum_update(soma, pixels, OLPA_TELA_BYTES);
  std::string texto = g_checksum_get_string(soma);
  g_checksum_free(soma);
  return texto;
}
