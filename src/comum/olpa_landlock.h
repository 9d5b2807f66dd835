// SPDX-License-Identifier: GPL-3.0-or-later
// A Landlock rule, the same for a run and for the analyser: what may be done
// beneath a path, of what the ruleset handles.
#pragma once

#include <cstdint>

#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Newer than some installed headers; the kernel says which it knows.
constexpr uint64_t OLPA_LANDLOCK_TRUNCATE = 1ull << 14;

inline void olpa_landlock_permite(int regras, const char *caminho, uint64_t acesso,
                                  uint64_t tratados) {
  const int fd = open(caminho, O_PATH | O_CLOEXEC);
  if (fd < 0)
    return;
  struct stat info;
  // A rule on a file may only name what a file can be asked for.
  if (fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode))
    acesso &= LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE | OLPA_LANDLOCK_TRUNCATE;
  landlock_path_beneath_attr regra{acesso & tratados, fd};
  syscall(SYS_landlock_add_rule, regras, LANDLOCK_RULE_PATH_BENEATH, &regra, 0);
  close(fd);
}
