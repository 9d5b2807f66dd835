// SPDX-License-Identifier: GPL-3.0-or-later
// PNG output of the canvas. Same pixels as cairo_surface_write_to_png (8-bit
// RGBA, un-premultiplied the way cairo does it), but with fast compression and
// no row filters: cairo's defaults cost several times the drawing itself.
#include "olpagfx.h"
#include "olpa_motivos.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <glib.h>
#include <fcntl.h>
#include <glib/gstdio.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Whether every pixel is opaque.
bool opaca(const unsigned char *dados, int largura, int altura, int stride) {
  for (int y = 0; y < altura; y++) {
    const auto *linha = reinterpret_cast<const uint32_t *>(dados + y * stride);
    uint32_t todos = 0xff000000u;
    for (int x = 0; x < largura; x++)
      todos &= linha[x];
    if (todos != 0xff000000u)
      return false;
  }
  return true;
}

bool codifica(cairo_surface_t *s, Saida *saida, bool sem_alfa) {
  const int largura = cairo_image_surface_get_width(s);
  const int altura = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char *dados = cairo_image_surface_get_data(s);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png)
    return false;
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> linha(static_cast<size_t>(largura) * 4);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_set_write_fn(png, saida, escreve_bloco, sem_flush);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, largura, altura, 8,
               sem_alfa ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < altura; y++) {
    const auto *origem = reinterpret_cast<const uint32_t *>(dados + y * stride);
    if (sem_alfa) {
      unsigned char *d = linha.data();
      for (int x = 0; x < largura; x++, d += 3) {
        const uint32_t p = origem[x]; // once: the bytes written could alias it
        d[0] = static_cast<unsigned char>(p >> 16);
        d[1] = static_cast<unsigned char>(p >> 8);
        d[2] = static_cast<unsigned char>(p);
      }
    } else {
      desfaz_premultiplicacao(origem, linha.data(), largura);
    }
    png_write_row(png, linha.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Writes `bytes` at `caminho` through a temporary name in the same folder,
// so a failed write leaves the old file whole. Only a regular file is ever
// replaced; beneath `raiz` no link is followed. On failure, errno or a
// reason of its own in *motivo.
const char NAO_E_ARQUIVO[] = "já existe ali algo que não é um arquivo comum";
const char PASSA_POR_LINK[] = "o caminho passa por um link ou por algo que não é pasta";

int abre_pasta(const std::string &caminho, const char *raiz, std::string *nome,
               const char **motivo) {
  std::string resto = caminho;
  int pasta = -1;
  const size_t n = raiz ? strlen(raiz) : 0;
  if (raiz && caminho.compare(0, n, raiz) == 0 && caminho.size() > n && caminho[n] == '/') {
    pasta = open(raiz, O_PATH | O_DIRECTORY | O_CLOEXEC);
    resto = caminho.substr(n + 1);
  } else {
    OlpaTexto dir(g_path_get_dirname(caminho.c_str()));
    pasta = open(dir.get(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    OlpaTexto base(g_path_get_basename(caminho.c_str()));
    resto = base.get();
  }
  for (size_t barra; pasta >= 0 && (barra = resto.find('/')) != std::string::npos;) {
    const std::string parte = resto.substr(0, barra);
    resto.erase(0, barra + 1);
    if (parte.empty() || parte == ".")
      continue;
    const int dentro =
        parte == ".." ? -1
                      : openat(pasta, parte.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int erro = errno;
    close(pasta);
    pasta = dentro;
    if (pasta < 0 && (parte == ".." || erro == ELOOP || erro == ENOTDIR)) {
      *motivo = PASSA_POR_LINK;
      return -1;
    }
    errno = erro;
  }
  *nome = resto;
  return pasta;
}

bool escreve_trocando(const std::string &caminho, const char *raiz, const std::string &bytes,
                      const char **motivo) {
  std::string nome;
  const int pasta = abre_pasta(caminho, raiz, &nome, motivo);
  if (pasta < 0)
    return false;
  struct stat info;
  bool ok = !nome.empty();
  if (!ok)
    errno = EISDIR;
  if (ok && fstatat(pasta, nome.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      !S_ISREG(info.st_mode)) {
    ok = false;
    if (S_ISDIR(info.st_mode))
      errno = EISDIR;
    else
      *motivo = NAO_E_ARQUIVO;
  }
  std::string temporario;
  int fd = -1;
  for (int tentativa = 0; ok && fd < 0 && tentativa < 8; tentativa++) {
    temporario = "." + nome.substr(0, 200) + "." + std::to_string(g_random_int());
    fd = openat(pasta, temporario.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                0666);
    ok = fd >= 0 || errno == EEXIST;
  }
  ok = ok && fd >= 0;
  if (ok) {
    for (size_t feito = 0; ok && feito < bytes.size();) {
      const ssize_t n = write(fd, bytes.data() + feito, bytes.size() - feito);
      ok = n > 0 || (n < 0 && errno == EINTR);
      feito += n > 0 ? static_cast<size_t>(n) : 0;
    }
    const int erro = errno;
    ok = close(fd) == 0 && ok;
    if (!ok && erro)
      errno = erro;
    ok = ok && renameat(pasta, temporario.c_str(), pasta, nome.c_str()) == 0;
    if (!ok) {
      const int erro_final = errno;
      unlinkat(pasta, temporario.c_str(), 0);
      errno = erro_final;
    }
  }
  const int erro = errno;
  close(pasta);
  errno = erro;
  return ok;
}

} // namespace

bool olpa_gfx_codifica_png(cairo_surface_t *superficie, std::string *png, bool sem_alfa) {
  cairo_surface_flush(superficie);
  Saida saida;
  saida.bytes.reserve(64 * 1024);
  if (cairo_surface_status(superficie) != CAIRO_STATUS_SUCCESS ||
      !codifica(superficie, &saida,
                sem_alfa && opaca(cairo_image_surface_get_data(superficie),
                                  cairo_image_surface_get_width(superficie),
                                  cairo_image_surface_get_height(superficie),
                                  cairo_image_surface_get_stride(superficie))))
    return false;
  *png = std::move(saida.bytes);
  return true;
}

bool olpa_gfx_grava_png(cairo_surface_t *superficie, const char *caminho, char *motivo,
                        size_t tamanho_motivo, const char *raiz) {
  std::string png;
  if (!olpa_gfx_codifica_png(superficie, &png)) {
    g_strlcpy(motivo, "falha ao codificar a imagem", tamanho_motivo);
    return false;
  }
  const char *proprio = nullptr;
  errno = 0;
  if (escreve_trocando(caminho, raiz, png, &proprio))
    return true;
  const int erro = errno ? errno : EIO;
  const char *texto = proprio ? proprio : olpa_motivo_errno(erro);
  g_strlcpy(motivo, texto ? texto : g_strerror(erro), tamanho_motivo);
  return false;
}

int olpa_gfx_tamanho_arquivo(const char *caminho) {
  GStatBuf info;
  if (!caminho || g_stat(caminho, &info) != 0 || !S_ISREG(info.st_mode))
    return 0;
  return info.st_size > G_MAXINT ? G_MAXINT : static_cast<int>(info.st_size);
}
