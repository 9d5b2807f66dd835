// A run's own space in ../telas. The child, in a user and mount namespace of
// its own, lays an overlay over ../telas: the program sees the folder as it
// is, and what it writes, creates or removes goes to a small memory file
// system (the budget: bytes and files a drawing program never needs). The
// application holds that file system and, after the run, carries what it
// holds into the real ../telas: through descriptors, beneath that folder,
// never following a link. A program that fills its space leaves nothing
// behind, and none can fill the disk or starve another run.
// Where the kernel gives no user namespace, the program writes into
// ../telas itself, as before.
#include "parser_interno.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <glib.h>

namespace {

constexpr char CIMA[] = "cima", TRABALHO[] = "trabalho";
// Deeper than this a run's folders fill its space: they are walked with two
// descriptors a level.
constexpr int PROFUNDIDADE_MAXIMA = 64;

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

// ------------------------------------------------------------ the application's side

int abre_beneath(int pasta, const char *nome, int flags) {
  open_how como{};
  como.flags = static_cast<uint64_t>(flags) | O_CLOEXEC | O_NOFOLLOW;
  como.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
  return static_cast<int>(syscall(SYS_openat2, pasta, nome, &como, sizeof como));
}

// Calls `f(nome, info)` for each entry of the folder `pasta` (not . or ..).
template <typename F> bool cada_entrada(int pasta, F f) {
  const int copia = abre_beneath(pasta, ".", O_RDONLY | O_DIRECTORY);
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

bool copia_arquivo(int de, const char *nome, const struct stat &info, int para) {
  const int origem = abre_beneath(de, nome, O_RDONLY);
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
  char bloco[65536];
  for (ssize_t n; certo && (n = read(origem, bloco, sizeof bloco)) != 0;)
    certo = n > 0 && parser_escreve_tudo(destino, bloco, static_cast<size_t>(n));
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
  return !cada_entrada(pasta, [&](const char *nome, const struct stat &info) {
    if (!S_ISDIR(info.st_mode))
      return true;
    const int sub = abre_beneath(pasta, nome, O_RDONLY | O_DIRECTORY);
    const bool fundo = sub < 0 || fundo_demais(sub, profundidade + 1);
    if (sub >= 0)
      close(sub);
    return !fundo;
  });
}

// A folder of the run: made in ../telas (in place of a file of the same name,
// or of the whole folder there when the program removed it and made it anew).
bool junta_pasta(int de, const char *nome, const struct stat &info, int para, int profundidade) {
  const int sub_de = abre_beneath(de, nome, O_RDONLY | O_DIRECTORY);
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
  const int sub_para = certo ? abre_beneath(para, nome, O_RDONLY | O_DIRECTORY) : -1;
  certo = sub_para >= 0 && junta(sub_de, sub_para, profundidade + 1);
  close(sub_de);
  if (sub_para >= 0)
    close(sub_para);
  return certo;
}

bool junta(int de, int para, int profundidade) {
  return cada_entrada(de, [&](const char *nome, const struct stat &info) {
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
  const int cima = abre_beneath(raiz, CIMA, O_RDONLY | O_DIRECTORY);
  const bool fundo = cima < 0 || fundo_demais(cima, 0);
  if (cima >= 0)
    close(cima);
  return fundo;
}

bool espaco_tem_arquivo(int raiz, const char *caminho) {
  constexpr char PASTA_TELAS[] = "../telas/";
  if (!caminho || strncmp(caminho, PASTA_TELAS, sizeof PASTA_TELAS - 1) != 0)
    return false;
  const int cima = abre_beneath(raiz, CIMA, O_RDONLY | O_DIRECTORY);
  const int fd = cima >= 0 ? abre_beneath(cima, caminho + sizeof PASTA_TELAS - 1, O_RDONLY) : -1;
  struct stat info;
  const bool tem = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (fd >= 0)
    close(fd);
  if (cima >= 0)
    close(cima);
  return tem;
}

bool espaco_junta(int raiz) {
  const int cima = abre_beneath(raiz, CIMA, O_RDONLY | O_DIRECTORY);
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
        (i.st_mode & S_IRWXU) != S_IRWXU)
      fchmodat(de, n.c_str(), (i.st_mode & 07777) | S_IRWXU, 0);
    const int f = openat(de, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (f < 0)
      return false;
    if (atual >= 0)
      close(atual);
    atual = f;
    pilha.push_back({n, {}});
    cada_entrada(atual, [&](const char *e, const struct stat &i) {
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
