// SPDX-License-Identifier: GPL-3.0-or-later
// Walking folders through descriptors: beneath a folder, never following a
// link, entry by entry. For what the application does in folders a program
// wrote (its space, ../telas), which may hold anything.
#pragma once

#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

inline int pastas_abre(int pasta, const char *nome, int flags) {
  open_how como{};
  como.flags = static_cast<uint64_t>(flags) | O_CLOEXEC | O_NOFOLLOW;
  como.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
  return static_cast<int>(syscall(SYS_openat2, pasta, nome, &como, sizeof como));
}

// Calls `f(nome, info)` for each entry of the folder `pasta` (not . or ..).
template <typename F> bool pastas_cada_entrada(int pasta, F f) {
  const int copia = pastas_abre(pasta, ".", O_RDONLY | O_DIRECTORY);
  DIR *d = copia >= 0 ? fdopendir(copia) : nullptr;
  if (!d) {
    if (copia >= 0)
      close(copia);
    return false;
  }
  bool certo = true;
  while (dirent *e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
      continue;
    struct stat info;
    if (fstatat(pasta, e->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0)
      certo = f(e->d_name, info) && certo;
  }
  closedir(d);
  return certo;
}
