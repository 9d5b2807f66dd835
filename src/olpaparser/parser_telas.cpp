// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures a run left in ../telas, read back by the application: opened
// beneath that folder without following any link (whatever the program left
// there, or named as its export path), and decoded from the file itself,
// never from memory the program could have written.
#include "comum.h"
#include "pastas.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <glib.h>
#include <png.h>

namespace {

constexpr char PASTA_TELAS[] = "../telas/";
// A picture of 640 x 480 is never this large, whatever its compression.
constexpr size_t FIGURA_MAXIMA = 16u << 20;

struct Leitura {
  const std::string *bytes;
  size_t pos;
};

void le_bloco(png_structp png, png_bytep dados, png_size_t tamanho) {
  auto *l = static_cast<Leitura *>(png_get_io_ptr(png));
  if (tamanho > l->bytes->size() - l->pos)
    png_error(png, "fim");
  memcpy(dados, l->bytes->data() + l->pos, tamanho);
  l->pos += tamanho;
}

// libpng's own messages go nowhere: the reason is ours.
void sem_aviso(png_structp, png_const_charp) {}

// What cairo does to a pixel read from a PNG, so the same file gives the same pixels.
uint32_t premultiplicado(const unsigned char *rgba) {
  const unsigned alfa = rgba[3];
  if (alfa == 0)
    return 0;
  if (alfa == 0xff)
    return 0xff000000u | rgba[0] << 16 | rgba[1] << 8 | rgba[2];
  auto vezes = [alfa](unsigned cor) {
    const unsigned t = alfa * cor + 0x80;
    return (t + (t >> 8)) >> 8;
  };
  return alfa << 24 | vezes(rgba[0]) << 16 | vezes(rgba[1]) << 8 | vezes(rgba[2]);
}

// The PNG in `bytes`, 640 x 480 (checked before), into `argb` as the canvas
// holds its pixels: any colour type and depth read as cairo reads them, the
// rows decoded in place and premultiplied there. False when it is damaged.
bool decodifica_png(const std::string &bytes, std::vector<unsigned char> *argb) {
  argb->resize(OLPA_TELA_BYTES);
  std::vector<png_bytep> linhas(OLPA_TELA_ALTURA);
  for (int y = 0; y < OLPA_TELA_ALTURA; y++)
    linhas[y] = argb->data() + static_cast<size_t>(y) * OLPA_TELA_STRIDE;
  Leitura leitura{&bytes, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, sem_aviso);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return false;
  }
  png_set_read_fn(png, &leitura, le_bloco);
  // The file's own checksums stand for nothing here: its pixels are
  // untrusted whatever they say, and checking costs as much as inflating.
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
  png_read_info(png, info);
  png_uint_32 largura = 0, altura = 0;
  int profundidade = 0, tipo = 0, entrelacamento = 0;
  png_get_IHDR(png, info, &largura, &altura, &profundidade, &tipo, &entrelacamento, nullptr,
               nullptr);
  if (largura != OLPA_TELA_LARGURA || altura != OLPA_TELA_ALTURA)
    png_error(png, "tamanho");
  if (tipo == PNG_COLOR_TYPE_PALETTE)
    png_set_palette_to_rgb(png);
  if (tipo == PNG_COLOR_TYPE_GRAY)
    png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_tRNS_to_alpha(png);
  if (profundidade == 16)
    png_set_strip_16(png);
  if (profundidade < 8)
    png_set_packing(png);
  if (tipo == PNG_COLOR_TYPE_GRAY || tipo == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  if (entrelacamento != PNG_INTERLACE_NONE)
    png_set_interlace_handling(png);
  png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(OLPA_TELA_STRIDE))
    png_error(png, "formato");
  png_read_image(png, linhas.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  unsigned char *pixel = argb->data();
  for (size_t i = 0; i < OLPA_TELA_BYTES; i += 4) {
    const uint32_t p = premultiplicado(pixel + i);
    memcpy(pixel + i, &p, 4);
  }
  return true;
}

} // namespace

int telas_abre(int pasta_bin, const char *caminho) {
  const size_t n = sizeof PASTA_TELAS - 1;
  if (!caminho || strncmp(caminho, PASTA_TELAS, n) != 0 || caminho[n] == '\0') {
    errno = EINVAL;
    return -1;
  }
  const int pasta = openat(pasta_bin, "../telas", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (pasta < 0)
    return -1;
  const int fd = pastas_abre(pasta, caminho + n, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  const int erro = errno;
  close(pasta);
  struct stat info;
  if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  errno = erro;
  return fd;
}

namespace {

uint32_t inteiro_grande(const std::string &b, size_t i) {
  auto u = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(b[i + k])); };
  return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

bool recusa(std::string *motivo, const std::string &por_que) {
  if (motivo)
    *motivo = por_que;
  return false;
}

// The bytes of a PNG of 640 x 480 as the canvas holds its pixels.
bool decodifica(const std::string &bytes, std::vector<unsigned char> *argb, std::string *motivo) {
  static const char ASSINATURA[] = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.compare(0, 8, ASSINATURA, 8) != 0 ||
      bytes.compare(12, 4, "IHDR") != 0)
    return recusa(motivo, "não é uma figura PNG");
  const uint32_t largura = inteiro_grande(bytes, 16), altura = inteiro_grande(bytes, 20);
  if (largura != OLPA_TELA_LARGURA || altura != OLPA_TELA_ALTURA)
    return recusa(motivo, "a figura tem " + std::to_string(largura) + " × " +
                              std::to_string(altura) + " pontos, e não 640 × 480");
  return decodifica_png(bytes, argb) || recusa(motivo, "a figura PNG está danificada");
}

} // namespace

bool telas_le_figura_fd(int fd, std::vector<unsigned char> *argb, std::string *motivo) {
  const char *const GRANDE = "o arquivo é grande demais para uma figura de 640 × 480";
  struct stat info;
  if (fstat(fd, &info) != 0)
    return recusa(motivo, g_strerror(errno));
  if (!S_ISREG(info.st_mode))
    return recusa(motivo, "não é um arquivo comum");
  if (static_cast<unsigned long long>(info.st_size) > FIGURA_MAXIMA)
    return recusa(motivo, GRANDE);
  std::string bytes;
  bytes.reserve(static_cast<size_t>(info.st_size));
  char bloco[65536];
  for (;;) {
    const ssize_t lidos = read(fd, bloco, sizeof bloco);
    if (lidos < 0 && errno == EINTR)
      continue;
    if (lidos < 0)
      return recusa(motivo, g_strerror(errno));
    if (lidos == 0)
      break;
    bytes.append(bloco, static_cast<size_t>(lidos));
    if (bytes.size() > FIGURA_MAXIMA)
      return recusa(motivo, GRANDE);
  }
  return decodifica(bytes, argb, motivo);
}

bool telas_le_figura(int pasta, const char *caminho, std::vector<unsigned char> *argb,
                     std::string *motivo) {
  const int fd = telas_abre(pasta, caminho);
  if (fd < 0)
    return recusa(motivo, errno == EINVAL ? "não é um arquivo comum" : g_strerror(errno));
  const bool lida = telas_le_figura_fd(fd, argb, motivo);
  close(fd);
  return lida;
}

bool parser_le_figura_fd(int fd, std::vector<unsigned char> *argb, std::string *motivo) {
  return telas_le_figura_fd(fd, argb, motivo);
}

int parser_abre_em_telas(const char *caminho) {
  return telas_abre(AT_FDCWD, caminho);
}

long parser_tamanho_em_telas(const char *caminho) {
  const int fd = parser_abre_em_telas(caminho);
  if (fd < 0)
    return -1;
  struct stat info;
  const long tamanho = fstat(fd, &info) == 0 ? static_cast<long>(info.st_size) : -1;
  close(fd);
  return tamanho;
}

bool parser_le_figura(const char *caminho, std::vector<unsigned char> *argb) {
  return telas_le_figura(AT_FDCWD, caminho, argb);
}

bool parser_remove_arvore(int pasta, const char *nome) {
  struct stat info;
  if (fstatat(pasta, nome, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  if (!S_ISDIR(info.st_mode))
    return unlinkat(pasta, nome, 0) == 0;
  // However deep, with one folder open at a time: down by name, up by "..",
  // each folder's files removed on the way down and its folders noted.
  struct Quadro {
    std::string nome;
    std::vector<std::string> pastas;
  };
  std::vector<Quadro> pilha;
  int atual = -1;
  auto desce = [&](int de, const std::string &n) {
    // A folder its owner may not read or change (made so by a program) is
    // made so first: it is its owner's to remove.
    struct stat i;
    if (fstatat(de, n.c_str(), &i, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(i.st_mode) &&
        (i.st_mode & S_IRWXU) != S_IRWXU &&
        fchmodat(de, n.c_str(), (i.st_mode & 07777) | S_IRWXU, 0) != 0) {
      // Then the open below says why it cannot be removed.
    }
    const int f = openat(de, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (f < 0)
      return false;
    if (atual >= 0)
      close(atual);
    atual = f;
    pilha.push_back({n, {}});
    pastas_cada_entrada(atual, [&](const char *e, const struct stat &i) {
      if (S_ISDIR(i.st_mode))
        pilha.back().pastas.emplace_back(e);
      else
        unlinkat(atual, e, 0);
      return true;
    });
    return true;
  };
  if (!desce(pasta, nome))
    return false;
  for (;;) {
    if (!pilha.back().pastas.empty()) {
      const std::string proxima = pilha.back().pastas.back();
      pilha.back().pastas.pop_back();
      desce(atual, proxima);
      continue;
    }
    if (pilha.size() == 1)
      break;
    const int pai = openat(atual, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pai < 0)
      break;
    close(atual);
    atual = pai;
    unlinkat(atual, pilha.back().nome.c_str(), AT_REMOVEDIR);
    pilha.pop_back();
  }
  if (atual >= 0)
    close(atual);
  return pilha.size() == 1 && unlinkat(pasta, nome, AT_REMOVEDIR) == 0;
}
