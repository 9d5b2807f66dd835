// SPDX-License-Identifier: GPL-3.0-or-later
// A run's own space in ../telas, the application's side. The child lays an
// overlay over ../telas (filho/espaco.cpp): the program sees the folder as it
// is, and what it writes, creates or removes goes to a small memory file
// system of the budget's size. The application holds that file system and,
// after the run, carries what it holds into the real ../telas: through
// descriptors, beneath that folder, never following a link. A program that
// fills its space leaves nothing behind, and none can fill the disk or
// starve another run.
#include "execucao.h"
#include "pastas.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <linux/nsfs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <glib.h>

namespace {

constexpr const char *CIMA = ESPACO_CIMA;
// Deeper than this a run's folders fill its space: they are walked with two
// descriptors a level.
constexpr int PROFUNDIDADE_MAXIMA = 64;

bool copia_arquivo(int de, const char *nome, const struct stat &info, int para) {
  const int origem = pastas_abre(de, nome, O_RDONLY);
  if (origem < 0)
    return false;
  // Through a temporary name: a picture is replaced whole or not at all.
  char temporario[] = ".olpa-XXXXXX";
  int destino = -1;
  for (int tentativa = 0; destino < 0 && tentativa < 100; tentativa++) {
    for (char *c = temporario + 6; *c; c++)
      *c = "abcdefghijklmnopqrstuvwxyz0123456789"[g_random_int_range(0, 36)];
    destino = openat(para, temporario, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     info.st_mode & 0777);
  }
  bool certo = destino >= 0;
  // In the kernel, from the memory file system to the disk.
  for (ssize_t n; certo && (n = sendfile(destino, origem, nullptr, 1 << 30)) != 0;)
    certo = n > 0 || errno == EINTR;
  close(origem);
  if (destino >= 0 && close(destino) != 0)
    certo = false;
  struct stat atual;
  if (certo && fstatat(para, nome, &atual, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(atual.st_mode))
    certo = parser_remove_arvore(para, nome);
  if (certo)
    certo = renameat(para, temporario, para, nome) == 0;
  if (!certo && destino >= 0) {
    const int erro = errno;
    unlinkat(para, temporario, 0);
    errno = erro;
  }
  return certo;
}

bool junta(int de, int para, int profundidade);

// Whether folders go deeper than can be carried over (a descriptor a level).
bool fundo_demais(int pasta, int profundidade) {
  if (profundidade > PROFUNDIDADE_MAXIMA)
    return true;
  return !pastas_cada_entrada(pasta, [&](const char *nome, const struct stat &info) {
    if (!S_ISDIR(info.st_mode))
      return true;
    const int sub = pastas_abre(pasta, nome, O_RDONLY | O_DIRECTORY);
    const bool fundo = sub < 0 || fundo_demais(sub, profundidade + 1);
    if (sub >= 0)
      close(sub);
    return !fundo;
  });
}

// A folder of the run: made in ../telas (in place of a file of the same name,
// or of the whole folder there when the program removed it and made it anew).
bool junta_pasta(int de, const char *nome, const struct stat &info, int para, int profundidade) {
  const int sub_de = pastas_abre(de, nome, O_RDONLY | O_DIRECTORY);
  if (sub_de < 0)
    return false;
  char opaca[2] = {};
  const bool refeita =
      fgetxattr(sub_de, "user.overlay.opaque", opaca, sizeof opaca) == 1 && opaca[0] == 'y';
  struct stat atual;
  const bool existe = fstatat(para, nome, &atual, AT_SYMLINK_NOFOLLOW) == 0;
  bool certo = true;
  if (existe && (refeita || !S_ISDIR(atual.st_mode)))
    certo = parser_remove_arvore(para, nome);
  if (certo && (!existe || refeita || !S_ISDIR(atual.st_mode)))
    certo = mkdirat(para, nome, info.st_mode & 0777) == 0;
  const int sub_para = certo ? pastas_abre(para, nome, O_RDONLY | O_DIRECTORY) : -1;
  certo = sub_para >= 0 && junta(sub_de, sub_para, profundidade + 1);
  close(sub_de);
  if (sub_para >= 0)
    close(sub_para);
  return certo;
}

bool junta(int de, int para, int profundidade) {
  return pastas_cada_entrada(de, [&](const char *nome, const struct stat &info) {
    if (S_ISCHR(info.st_mode) && info.st_rdev == makedev(0, 0)) // removed by the program
      return parser_remove_arvore(para, nome) || errno == ENOENT;
    if (S_ISDIR(info.st_mode))
      return junta_pasta(de, nome, info, para, profundidade);
    if (S_ISREG(info.st_mode))
      return copia_arquivo(de, nome, info, para);
    return true; // nothing else can be made there
  });
}

} // namespace

bool espaco_e_namespace(int fd) {
  struct statfs fs;
  return fstatfs(fd, &fs) == 0 && fs.f_type == NSFS_MAGIC &&
         ioctl(fd, NS_GET_NSTYPE) == CLONE_NEWNS;
}

void espaco_solta_namespace(int fd) {
  if (fd < 0)
    return;
  // One thread for all of them, closing in turn: the last reference to a
  // namespace unmounts its tree, and that waits for the kernel's RCU.
  static GThreadPool *lixeiro =
      g_thread_pool_new([](gpointer dado, gpointer) { close(GPOINTER_TO_INT(dado) - 1); }, nullptr,
                        1, FALSE, nullptr);
  if (!lixeiro || !g_thread_pool_push(lixeiro, GINT_TO_POINTER(fd + 1), nullptr))
    close(fd);
}

bool espaco_valido(int raiz) {
  struct statfs fs;
  struct stat info;
  return fstatfs(raiz, &fs) == 0 && fs.f_type == TMPFS_MAGIC && fstat(raiz, &info) == 0 &&
         S_ISDIR(info.st_mode);
}

bool espaco_estourou(int raiz) {
  struct statfs fs;
  if (fstatfs(raiz, &fs) != 0)
    return true;
  // Within a few pages or one file of the end: the program met it.
  if (fs.f_bavail < 4 || fs.f_ffree < 2)
    return true;
  const int cima = pastas_abre(raiz, CIMA, O_RDONLY | O_DIRECTORY);
  const bool fundo = cima < 0 || fundo_demais(cima, 0);
  if (cima >= 0)
    close(cima);
  return fundo;
}

bool espaco_tem_arquivo(int raiz, const char *caminho) {
  constexpr char PASTA_TELAS[] = "../telas/";
  if (!caminho || strncmp(caminho, PASTA_TELAS, sizeof PASTA_TELAS - 1) != 0)
    return false;
  const int cima = pastas_abre(raiz, CIMA, O_RDONLY | O_DIRECTORY);
  const int fd = cima >= 0 ? pastas_abre(cima, caminho + sizeof PASTA_TELAS - 1, O_RDONLY) : -1;
  struct stat info;
  const bool tem = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (fd >= 0)
    close(fd);
  if (cima >= 0)
    close(cima);
  return tem;
}

bool espaco_le_figura(int raiz, const char *caminho, std::vector<unsigned char> *argb,
                      std::string *motivo) {
  constexpr char PASTA_TELAS[] = "../telas/";
  if (!caminho || strncmp(caminho, PASTA_TELAS, sizeof PASTA_TELAS - 1) != 0)
    return false;
  const int cima = pastas_abre(raiz, CIMA, O_RDONLY | O_DIRECTORY);
  const int fd = cima >= 0 ? pastas_abre(cima, caminho + sizeof PASTA_TELAS - 1, O_RDONLY) : -1;
  if (fd < 0 && motivo)
    *motivo = g_strerror(errno);
  const bool lida = fd >= 0 && telas_le_figura_fd(fd, argb, motivo);
  if (fd >= 0)
    close(fd);
  if (cima >= 0)
    close(cima);
  return lida;
}

bool espaco_junta(int raiz) {
  const int cima = pastas_abre(raiz, CIMA, O_RDONLY | O_DIRECTORY);
  const int telas = open("../telas", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool certo = cima >= 0 && telas >= 0 && junta(cima, telas, 0);
  const int erro = errno;
  if (cima >= 0)
    close(cima);
  if (telas >= 0)
    close(telas);
  errno = erro;
  return certo;
}
