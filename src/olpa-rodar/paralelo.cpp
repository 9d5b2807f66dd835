// SPDX-License-Identifier: GPL-3.0-or-later
// Child processes run a few at a time from a GLib main loop: spawned with
// pipes for their output, watched until they exit, killed at a deadline. Each
// is one olpa-rodar grading one file, so that every learner starts from the
// defaults in a process of its own: the runner keeps one run at a time per
// process.
#include "paralelo.h"

#include "olpaparser.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <set>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>
#include <glib/gstdio.h>
#include <glib-unix.h>

namespace {

// Past the runner's own 1 MiB of console text and its notes.
constexpr size_t LIMITE_SAIDA = 8u << 20;

struct Lote;

// One task while it runs.
struct Ativa {
  Lote *lote = nullptr;
  size_t indice = 0;
  GPid pid = 0;
  int fds[2] = {-1, -1}; // standard output, standard error
  guint fontes[2] = {0, 0};
  guint relogio = 0;
  std::string arvore;
};

struct Lote {
  std::vector<Tarefa> *tarefas = nullptr;
  size_t proxima = 0;
  int ativas = 0, maximo = 1;
  double prazo = 10;
  const std::function<void(size_t)> *ao_terminar = nullptr;
  GMainLoop *laco = nullptr;
  std::set<Ativa *> rodando;
  bool interrompido = false;
};

std::string &destino(Ativa *a, int qual) {
  Tarefa &t = (*a->lote->tarefas)[a->indice];
  return qual == 0 ? t.saida : t.erros;
}

// Reads what is there; false at the end of the stream.
bool le(Ativa *a, int qual) {
  char bloco[65536];
  for (;;) {
    const ssize_t n = read(a->fds[qual], bloco, sizeof bloco);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EAGAIN)
      return true;
    if (n <= 0)
      return false;
    std::string &s = destino(a, qual);
    if (s.size() < LIMITE_SAIDA)
      s.append(bloco, std::min(static_cast<size_t>(n), LIMITE_SAIDA - s.size()));
  }
}

void fecha(Ativa *a, int qual) {
  if (a->fontes[qual])
    g_source_remove(a->fontes[qual]);
  if (a->fds[qual] >= 0)
    close(a->fds[qual]);
  a->fontes[qual] = 0;
  a->fds[qual] = -1;
}

template <int QUAL> gboolean ao_ler(gint, GIOCondition, gpointer dados) {
  auto *a = static_cast<Ativa *>(dados);
  if (le(a, QUAL))
    return G_SOURCE_CONTINUE;
  a->fontes[QUAL] = 0; // removed by returning so
  close(a->fds[QUAL]);
  a->fds[QUAL] = -1;
  return G_SOURCE_REMOVE;
}

// Whatever the program left there, however deep, links not followed.
void apaga_arvore(const std::string &arvore) {
  parser_remove_arvore(AT_FDCWD, arvore.c_str());
}

void inicia_proximas(Lote *l);

void ao_sair(GPid pid, gint status, gpointer dados) {
  auto *a = static_cast<Ativa *>(dados);
  Lote *l = a->lote;
  (*l->tarefas)[a->indice].status = status;
  g_spawn_close_pid(pid);
  // What it wrote before it ended is in the pipes; anything a descendant of
  // it might still write is not waited for.
  for (int qual = 0; qual < 2; qual++)
    if (a->fds[qual] >= 0) {
      le(a, qual);
      fecha(a, qual);
    }
  if (a->relogio)
    g_source_remove(a->relogio);
  apaga_arvore(a->arvore);
  const size_t indice = a->indice;
  l->rodando.erase(a);
  delete a;
  l->ativas--;
  (*l->ao_terminar)(indice);
  inicia_proximas(l);
}

gboolean ao_estourar(gpointer dados) {
  auto *a = static_cast<Ativa *>(dados);
  (*a->lote->tarefas)[a->indice].estourou = true;
  kill(a->pid, SIGKILL);
  a->relogio = 0;
  return G_SOURCE_REMOVE;
}

void prepara_filho(gpointer) {
  // If we go, it goes: its own run's child follows it the same way.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
}

bool inicia(Lote *l, size_t indice) {
  Tarefa &t = (*l->tarefas)[indice];
  gchar *arvore = g_dir_make_tmp("olpa-turma-XXXXXX", nullptr);
  if (!arvore) {
    t.erros = "não foi possível criar uma pasta temporária";
    return false;
  }
  auto *a = new Ativa;
  a->lote = l;
  a->indice = indice;
  a->arvore = arvore;
  g_free(arvore);
  const std::string bin = a->arvore + "/bin";
  g_mkdir(bin.c_str(), 0755);
  g_mkdir((a->arvore + "/telas").c_str(), 0755);
  std::vector<char *> argv;
  for (std::string &s : t.argv)
    argv.push_back(s.data());
  argv.push_back(nullptr);
  GError *erro = nullptr;
  if (!g_spawn_async_with_pipes(bin.c_str(), argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD,
                                prepara_filho, nullptr, &a->pid, nullptr, &a->fds[0], &a->fds[1],
                                &erro)) {
    t.erros = erro->message;
    g_error_free(erro);
    apaga_arvore(a->arvore);
    delete a;
    return false;
  }
  for (int fd : a->fds)
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  const auto condicoes = static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR);
  a->fontes[0] = g_unix_fd_add(a->fds[0], condicoes, ao_ler<0>, a);
  a->fontes[1] = g_unix_fd_add(a->fds[1], condicoes, ao_ler<1>, a);
  a->relogio = g_timeout_add(static_cast<guint>(l->prazo * 1000), ao_estourar, a);
  g_child_watch_add(a->pid, ao_sair, a);
  l->rodando.insert(a);
  l->ativas++;
  return true;
}

// Ctrl+C and the like: start nothing more, end what runs (their trees are
// removed as they end).
gboolean ao_interromper(gpointer dados) {
  auto *l = static_cast<Lote *>(dados);
  l->interrompido = true;
  l->proxima = l->tarefas->size();
  for (Ativa *a : l->rodando)
    kill(a->pid, SIGKILL);
  return G_SOURCE_CONTINUE;
}

void inicia_proximas(Lote *l) {
  while (l->ativas < l->maximo && l->proxima < l->tarefas->size()) {
    const size_t i = l->proxima++;
    if (!inicia(l, i))
      (*l->ao_terminar)(i);
  }
  if (l->ativas == 0)
    g_main_loop_quit(l->laco);
}

} // namespace

bool paralelo_roda(std::vector<Tarefa> *tarefas, int ao_mesmo_tempo, double prazo,
                   const std::function<void(size_t)> &ao_terminar) {
  GMainLoop *laco = g_main_loop_new(nullptr, FALSE);
  Lote lote;
  lote.tarefas = tarefas;
  lote.maximo = ao_mesmo_tempo > 0 ? ao_mesmo_tempo : 1;
  lote.prazo = prazo;
  lote.ao_terminar = &ao_terminar;
  lote.laco = laco;
  guint sinais[3];
  int i = 0;
  for (int sinal : {SIGINT, SIGTERM, SIGHUP})
    sinais[i++] = g_unix_signal_add(sinal, ao_interromper, &lote);
  inicia_proximas(&lote);
  if (lote.ativas > 0)
    g_main_loop_run(laco);
  for (guint fonte : sinais)
    g_source_remove(fonte);
  g_main_loop_unref(laco);
  return !lote.interrompido;
}
