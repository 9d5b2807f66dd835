// SPDX-License-Identifier: GPL-3.0-or-later
// Programs run beside each other from one GLib main loop: each run is the
// runner's own (a child cast from its zygote, confined, its processor time
// limited, its outcome read once), started in a run tree of its own and
// heard at its end, when the next one starts. A tree is emptied after its
// run, for the next one, or removed when anything in it stayed.
#include "paralelo.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <glib.h>
#include <glib/gstdio.h>
#include <glib-unix.h>

namespace {

// A run tree: a temporary folder holding bin/ (open here) and telas/.
struct Arvore {
  std::string raiz;
  int bin = -1;
};

// Whatever a program left there, however deep, links not followed.
void apaga(Arvore *a) {
  if (a->bin >= 0)
    close(a->bin);
  if (!a->raiz.empty())
    parser_remove_arvore(AT_FDCWD, a->raiz.c_str());
  *a = Arvore{};
}

bool cria(Arvore *a, std::string *erro) {
  GError *e = nullptr;
  gchar *raiz = g_dir_make_tmp("olpa-turma-XXXXXX", &e);
  if (raiz) {
    a->raiz = raiz;
    g_free(raiz);
    const std::string bin = a->raiz + "/bin";
    if (g_mkdir(bin.c_str(), 0755) == 0 && g_mkdir((a->raiz + "/telas").c_str(), 0755) == 0)
      a->bin = open(bin.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (a->bin >= 0)
    return true;
  *erro = "não foi possível criar uma pasta temporária (" +
          std::string(e ? e->message : g_strerror(errno)) + ")";
  if (e)
    g_error_free(e);
  apaga(a);
  return false;
}

// Empties the folder `nome` of the tree; false when anything stayed.
bool esvazia_pasta(const Arvore &a, const char *nome) {
  const int fd = openat(a.bin, ("../" + std::string(nome)).c_str(),
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  DIR *pasta = fd >= 0 ? fdopendir(fd) : nullptr;
  if (!pasta) {
    if (fd >= 0)
      close(fd);
    return false;
  }
  std::vector<std::string> nomes;
  while (const dirent *e = readdir(pasta))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
      nomes.emplace_back(e->d_name);
  bool vazia = true;
  for (const std::string &n : nomes)
    vazia = parser_remove_arvore(dirfd(pasta), n.c_str()) && vazia;
  closedir(pasta);
  return vazia;
}

// A tree its run left, ready for the next as if new: nothing in bin/ or telas/.
bool esvazia(const Arvore &a) {
  return esvazia_pasta(a, "bin") && esvazia_pasta(a, "telas");
}

struct Lote {
  const std::vector<const char *> *codigos = nullptr;
  AjustesDoLote ajustes;
  const AoTerminar *ao_terminar = nullptr;
  size_t proxima = 0;
  int ativas = 0;
  bool interrompido = false;
  GMainLoop *laco = nullptr;
  // Trees emptied after their runs: making and removing folders costs a
  // disk's file system more than a run's own work.
  std::vector<Arvore> livres;
};

// One run while it lasts, in its tree.
struct Rodando {
  Lote *lote = nullptr;
  size_t indice = 0;
  Arvore arvore;
};

void inicia_proximas(Lote *l);

void ao_ouvir(const ParserResultado &resultado, ParserMomento momento, void *dados) {
  if (momento != ParserMomento::Fim)
    return;
  auto *a = static_cast<Rodando *>(dados);
  Lote *l = a->lote;
  if (!l->interrompido)
    (*l->ao_terminar)(a->indice, &resultado, "");
  if (esvazia(a->arvore))
    l->livres.push_back(a->arvore);
  else
    apaga(&a->arvore);
  delete a;
  l->ativas--;
  inicia_proximas(l);
}

// The run started in a tree of its own; false (with the reason) when there is none.
bool inicia(Lote *l, size_t indice, std::string *erro) {
  auto *a = new Rodando;
  a->lote = l;
  a->indice = indice;
  if (!l->livres.empty()) {
    a->arvore = l->livres.back();
    l->livres.pop_back();
  } else if (!cria(&a->arvore, erro)) {
    delete a;
    return false;
  }
  ParserAoLado ajustes;
  ajustes.tempo_limite = l->ajustes.tempo_limite;
  ajustes.sem_espera = l->ajustes.sem_espera;
  ajustes.pasta = a->arvore.bin;
  l->ativas++;
  parser_roda_ao_lado((*l->codigos)[indice], ajustes, ao_ouvir, a);
  return true;
}

void inicia_proximas(Lote *l) {
  while (!l->interrompido && l->ativas < l->ajustes.ao_mesmo_tempo &&
         l->proxima < l->codigos->size()) {
    const size_t i = l->proxima++;
    std::string erro;
    if (!inicia(l, i, &erro))
      (*l->ao_terminar)(i, nullptr, erro);
  }
  if (l->ativas == 0)
    g_main_loop_quit(l->laco);
}

// Ctrl+C and the like: start nothing more, stop what runs.
gboolean ao_interromper(gpointer dados) {
  auto *l = static_cast<Lote *>(dados);
  l->interrompido = true;
  parser_interrompe_ao_lado();
  return G_SOURCE_CONTINUE;
}

} // namespace

bool paralelo_roda(const std::vector<const char *> &codigos, const AjustesDoLote &ajustes,
                   const AoTerminar &ao_terminar) {
  Lote lote;
  lote.codigos = &codigos;
  lote.ajustes = ajustes;
  lote.ajustes.ao_mesmo_tempo = std::max(ajustes.ao_mesmo_tempo, 1);
  lote.ao_terminar = &ao_terminar;
  lote.laco = g_main_loop_new(nullptr, FALSE);
  guint sinais[3];
  int i = 0;
  for (int sinal : {SIGINT, SIGTERM, SIGHUP})
    sinais[i++] = g_unix_signal_add(sinal, ao_interromper, &lote);
  inicia_proximas(&lote);
  if (lote.ativas > 0)
    g_main_loop_run(lote.laco);
  for (guint fonte : sinais)
    g_source_remove(fonte);
  g_main_loop_unref(lote.laco);
  for (Arvore &a : lote.livres)
    apaga(&a);
  return !lote.interrompido;
}
