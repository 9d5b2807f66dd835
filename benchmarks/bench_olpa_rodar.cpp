// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar on one file, the whole process (start, run, picture written,
// exit), against its floor: this same program started as a process that
// reads the file, compiles, links and runs it in itself (libtcc, the drawing
// library, the PNG written) and prints the console, with the same libraries
// to load. Both in turn, for a small program and a 1,000-line one.
//
// bench_olpa_rodar [repetitions] [OLPA_RODAR...]   (other olpa-rodar
// binaries, e.g. an earlier build's, each against the same floor, all in
// turn with it and with this build's)
#include "medidas.h"

#include <sys/wait.h>

using medidas::agora_ms;
using medidas::mediana;

namespace {

// The floor's own process: what olpa-rodar does, without a child.
int piso(const char *arquivo) {
  std::string codigo, motivo;
  std::string console = "[olpa] compilando\n", programa;
  if (!parser_le_codigo(arquivo, &codigo, &motivo))
    return 2;
  olpa_gfx_define_trace([](const char *, size_t) {});
  parser_define_trace(open("/dev/null", O_WRONLY));
  const bool certo = parser_executa_no_processo(codigo.c_str(), &programa) == 1;
  console += programa;
  if (certo)
    console += "[olpa] sucesso!\n";
  fputs(console.c_str(), stdout);
  return certo ? 0 : 1;
}

// `argv` started and waited for; its time in ms, -1 when it failed.
double processo(const std::vector<const char *> &argv) {
  const double t = agora_ms();
  const pid_t pid = fork();
  if (pid == 0) {
    const int nulo = open("/dev/null", O_WRONLY);
    dup2(nulo, STDOUT_FILENO);
    dup2(nulo, STDERR_FILENO);
    execv(argv[0], const_cast<char *const *>(argv.data()));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double d = agora_ms() - t;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? d : -1;
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 3 && strcmp(argv[1], "--piso") == 0)
    return piso(argv[2]);
  const int n = argc > 1 ? atoi(argv[1]) : 100;
  std::vector<const char *> binarios = {OLPA_RODAR};
  for (int i = 2; i < argc; i++)
    binarios.push_back(argv[i]);
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  char *proprio = g_file_read_link("/proc/self/exe", nullptr);
  const std::pair<const char *, std::string> programas[] = {
      {"small program", medidas::PEQUENO}, {"1,000-line program", medidas::programa(1000)}};
  for (const auto &[nome, texto] : programas) {
    g_file_set_contents("../exemplos/p.olp", texto.c_str(), -1, nullptr);
    std::vector<std::vector<double>> rodar(binarios.size());
    std::vector<double> chao;
    for (int i = 0; i < n; i++) {
      for (size_t b = 0; b < binarios.size(); b++) {
        rodar[b].push_back(processo({binarios[b], "../exemplos/p.olp", nullptr}));
        if (rodar[b].back() < 0) {
          fprintf(stderr, "a run of %s failed\n", binarios[b]);
          return 1;
        }
      }
      chao.push_back(processo({proprio, "--piso", "../exemplos/p.olp", nullptr}));
      if (chao.back() < 0) {
        fprintf(stderr, "a run failed\n");
        return 1;
      }
    }
    const double c = mediana(chao);
    fprintf(figuras, "%s, %d times each, in turn (whole processes, medians)\n", nome, n);
    fprintf(figuras, "  floor: one process, run in itself  %8.2f ms (%s)\n", c,
            medidas::incerteza(chao).c_str());
    for (size_t b = 0; b < binarios.size(); b++) {
      const double r = mediana(rodar[b]);
      fprintf(figuras, "  olpa-rodar%-25s%8.2f ms (%s)   ratio %.2fx   goal <= 1.15x: %s\n",
              b == 0 ? "" : (" " + std::to_string(b + 1)).c_str(), r,
              medidas::incerteza(rodar[b]).c_str(), r / c, r <= 1.15 * c ? "met" : "NOT met");
    }
    for (size_t b = 1; b < binarios.size(); b++)
      fprintf(figuras, "  olpa-rodar %zu: %s\n", b + 1, binarios[b]);
  }
  g_free(proprio);
  return 0;
}
