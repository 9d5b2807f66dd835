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

#include <cairo.h>
#include <glib.h>

namespace {

constexpr char PASTA_TELAS[] = "../telas/";
// A picture of 640 x 480 is never this large, whatever its compression.
constexpr size_t FIGURA_MAXIMA = 16u << 20;

struct Leitura {
  const std::string *bytes;
  size_t pos;
};

cairo_status_t le_bloco(void *fechamento, unsigned char *dados, unsigned int tamanho) {
  auto *l = static_cast<Leitura *>(fechamento);
  if (tamanho > l->bytes->size() - l->pos)
    return CAIRO_STATUS_READ_ERROR;
  memcpy(dados, l->bytes->data() + l->pos, tamanho);
  l->pos += tamanho;
  return CAIRO_STATUS_SUCCESS;
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

bool telas_le_figura_fd(int fd, std::vector<unsigned char> *argb) {
  std::string bytes;
  char bloco[65536];
  ssize_t lidos;
  while (bytes.size() <= FIGURA_MAXIMA && (lidos = read(fd, bloco, sizeof bloco)) > 0)
    bytes.append(bloco, static_cast<size_t>(lidos));
  if (bytes.size() > FIGURA_MAXIMA)
    return false;
  Leitura leitura{&bytes, 0};
  cairo_surface_t *s = cairo_image_surface_create_from_png_stream(le_bloco, &leitura);
  const bool certa = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS &&
                     cairo_image_surface_get_width(s) == OLPA_TELA_LARGURA &&
                     cairo_image_surface_get_height(s) == OLPA_TELA_ALTURA;
  if (certa) {
    cairo_surface_flush(s);
    const unsigned char *dados = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    argb->resize(OLPA_TELA_BYTES);
    for (int y = 0; y < OLPA_TELA_ALTURA; y++)
      memcpy(argb->data() + y * OLPA_TELA_STRIDE, dados + y * stride, OLPA_TELA_STRIDE);
  }
  cairo_surface_destroy(s);
  return certa;
}

bool telas_le_figura(int pasta, const char *caminho, std::vector<unsigned char> *argb) {
  const int fd = telas_abre(pasta, caminho);
  if (fd < 0)
    return false;
  const bool lida = telas_le_figura_fd(fd, argb);
  close(fd);
  return lida;
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
