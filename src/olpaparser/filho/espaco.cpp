// SPDX-License-Identifier: GPL-3.0-or-later
// The child's own space in ../telas: in a user and mount namespace of its
// own, ../telas overlaid by a memory file system of the budget's size (the
// application takes that file system and carries into ../telas what the
// program left there, execucao/espaco.cpp). Where the kernel gives no user
// namespace, the program writes into ../telas itself.
#include "filho.h"

#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *CIMA = ESPACO_CIMA, *TRABALHO = ESPACO_TRABALHO;

bool escreve_em(const char *caminho, const std::string &texto) {
  const int fd = open(caminho, O_WRONLY | O_CLOEXEC);
  const bool feito =
      fd >= 0 && write(fd, texto.data(), texto.size()) == static_cast<ssize_t>(texto.size());
  if (fd >= 0)
    close(fd);
  return feito;
}

// The same user and group inside as outside: what the program creates is
// its user's, and it gains nothing (its capabilities there are dropped
// before anything of the program's runs).
bool entra_em_namespace() {
  const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
  return unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
         escreve_em("/proc/self/uid_map", uid + " " + uid + " 1") &&
         escreve_em("/proc/self/setgroups", "deny") &&
         escreve_em("/proc/self/gid_map", gid + " " + gid + " 1") &&
         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A memory file system of the budget's size, mounted nowhere: its root.
int memoria_do_tamanho_do_orcamento() {
  const int fs = fsopen("tmpfs", FSOPEN_CLOEXEC);
  if (fs < 0)
    return -1;
  const std::string bytes = std::to_string(PARSER_ORCAMENTO_BYTES);
  const std::string arquivos = std::to_string(PARSER_ORCAMENTO_ARQUIVOS);
  const bool configurado =
      fsconfig(fs, FSCONFIG_SET_STRING, "size", bytes.c_str(), 0) == 0 &&
      fsconfig(fs, FSCONFIG_SET_STRING, "nr_inodes", arquivos.c_str(), 0) == 0 &&
      fsconfig(fs, FSCONFIG_SET_STRING, "mode", "0755", 0) == 0 &&
      fsconfig(fs, FSCONFIG_CMD_CREATE, nullptr, nullptr, 0) == 0;
  const int raiz = configurado ? fsmount(fs, FSMOUNT_CLOEXEC,
                                         MOUNT_ATTR_NODEV | MOUNT_ATTR_NOSUID | MOUNT_ATTR_NOEXEC)
                               : -1;
  close(fs);
  return raiz;
}

} // namespace

int espaco_prepara_filho() {
  struct stat info;
  if (stat("../telas", &info) != 0 || !S_ISDIR(info.st_mode) || !entra_em_namespace())
    return -1;
  // Opened in the new namespace: the overlay takes only its own mounts.
  const int telas = open("../telas", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (telas < 0)
    return -1;
  const int raiz = memoria_do_tamanho_do_orcamento();
  // The overlay's top folder is the space's: with the folder's own mode, a
  // ../telas the learner may not write stays so.
  bool feito = raiz >= 0 && mkdirat(raiz, CIMA, 0755) == 0 && mkdirat(raiz, TRABALHO, 0755) == 0 &&
               fchmodat(raiz, CIMA, info.st_mode & 07777, 0) == 0;
  const std::string r = "/proc/self/fd/" + std::to_string(raiz);
  const std::string opcoes = "lowerdir=/proc/self/fd/" + std::to_string(telas) + ",upperdir=" + r +
                             "/" + CIMA + ",workdir=" + r + "/" + TRABALHO + ",userxattr";
  feito = feito && mount("olpa", "../telas", "overlay", MS_NODEV | MS_NOSUID, opcoes.c_str()) == 0;
  close(telas);
  if (!feito && raiz >= 0) {
    close(raiz);
    return -1;
  }
  return raiz;
}
