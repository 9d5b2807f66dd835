// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar: runs code files exactly as "Rodar" would with that text in the
// editor (read as "Abrir" reads them) and prints the console text the window
// would show, for teachers and tests. Here: its command line, and what its ways of running share
// (reading a code file, one press of "Rodar"). The files run one after the other (sequencia.cpp),
// or with --compara a whole class is graded (turma.cpp).
#include "olpa_rodar.h"

#include "opcoes.h"
#include "textos.h"
#include "turma.h"

#include "analise.h"
#include "olpa_idioma.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

namespace {

int fd_trace = STDERR_FILENO;
bool com_trace = false;   // trace lines to standard error (--trace); otherwise nowhere
bool com_analise = false; // the analyser's warnings in the console (not --sem-analise)

// How long a run's end waits for the analysis of its text: here, until it
// is done (or stopped at its own time limit), so that the same file always
// shows the same warnings.
constexpr int ESPERA_PELA_ANALISE_MS = 60 * 1000;

} // namespace

bool rodar_le_arquivo(const char *nome, std::string *texto, std::string *erro) {
  if (strcmp(nome, "-") != 0)
    return parser_le_codigo(nome, texto, erro);
  std::string bytes;
  char bloco[65536];
  size_t n;
  while (bytes.size() <= PARSER_LIMITE_CODIGO && (n = fread(bloco, 1, sizeof bloco, stdin)) > 0)
    bytes.append(bloco, n);
  if (ferror(stdin)) {
    *erro = "erro de leitura";
    return false;
  }
  return parser_decodifica_codigo(bytes, texto, erro);
}

void rodar_prepara(int fd) {
  static const int nulo = open("/dev/null", O_WRONLY | O_CLOEXEC);
  fd_trace = com_trace || fd != STDERR_FILENO ? fd : nulo;
  fd = fd_trace;
  parser_define_trace(fd);
  olpa_gfx_define_trace([](const char *texto, size_t n) {
    if (write(fd_trace, texto, n) < 0) {
      // A trace line lost is nothing to stop a run for.
    }
  });
}

bool rodar_executa(const std::string &codigo, ParserResultado *r) {
  // The analysis goes on beside the run, and its warnings come before the
  // final line.
  if (com_analise)
    analise_pede(codigo, nullptr, nullptr);
  const bool certo = parser_executa(codigo.c_str(), r) == 1;
  if (com_analise)
    analise_no_resultado(codigo, ESPERA_PELA_ANALISE_MS, r);
  if (certo) {
    const long tamanho = parser_tamanho_em_telas(r->caminho.c_str());
    dprintf(fd_trace, "[tamanho] %s, %ld\n", r->caminho.c_str(), tamanho < 0 ? 0 : tamanho);
  }
  return certo;
}

namespace {

// The folder of ../telas the frames go to, made when missing.
bool prepara_quadros(const std::string &pasta) {
  const std::string caminho = "../telas/" + pasta;
  if (g_mkdir_with_parents(caminho.c_str(), 0755) != 0) {
    fprintf(stderr, "olpa-rodar: não foi possível criar \"%s\": %s\n",
            texto_de_uma_linha(caminho).c_str(), g_strerror(errno));
    return false;
  }
  parser_define_quadros(pasta.c_str());
  return true;
}

} // namespace

int main(int argc, char **argv) {
  olpa_idioma_portugues();
  Opcoes o;
  o.turma.tarefas = static_cast<int>(g_get_num_processors());
  const int uso_errado = opcoes_le(argc, argv, &o);
  if (uso_errado != 0)
    return uso_errado < 0 ? 0 : uso_errado;
  if (o.tempo_limite > 0)
    parser_define_tempo_limite(o.tempo_limite);
  parser_define_sem_espera(o.sem_espera);
  if (!o.quadros.empty() && !prepara_quadros(o.quadros))
    return 2;
  if (!o.compara && !o.turma.junta) {
    // The compiler's warnings are the analyser's to tell, better, when it is there.
    com_trace = o.trace;
    com_analise = !o.sem_analise;
    if (o.sem_analise)
      analise_desliga("pedido por --sem-analise");
    parser_define_avisos_do_compilador(!analise_ligada(nullptr));
    const int r = rodar_em_sequencia(o.arquivos, o.figuras, o.passos);
    analise_encerra();
    // Everything is said and every child is gone. The libraries' destructors
    // have nothing left to do but write pages the fork left shared, a
    // copy-on-write fault each: the process just ends.
    fflush(nullptr);
    _exit(r);
  }
  o.turma.arquivos = o.arquivos;
  if (o.tempo_limite > 0)
    o.turma.tempo_limite = o.tempo_limite;
  return o.turma.junta ? junta_relatorios(o.turma) : turma_compara(o.turma);
}
