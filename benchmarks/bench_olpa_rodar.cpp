// olpa-rodar on one file, the whole process (start, run, picture written,
// exit), against its floor: this same program started as a process that
// reads the file, compiles, links and runs it in itself (libtcc, the drawing
// library, the PNG written) and prints the console, with the same libraries
// to load. Both in turn, for a small program and a 1,000-line one.
//
// bench_olpa_rodar [repetitions] [OLPA_RODAR]   (another olpa-rodar, e.g. an
// earlier build's, against the same floor)
#include "medidas.h"

#include <sys/wait.h>

using medidas::agora_ms;
using medidas::mediana;

namespace {

// The floor's own process: what olpa-rodar does, without a child.
int piso(const char *arquivo) {
  std::string codigo, motivo;
  std::string console = "[olpa] compilando\n";
  static std::string *saida = &console;
  parser_define_saida({[](const char *t) { *saida += t; }, nullptr, nullptr, nullptr, nullptr});
  if (!parser_le_codigo(arquivo, &codigo, &motivo))
    return 2;
  olpa_gfx_define_trace([](const char *, size_t) {});
  parser_define_trace(open("/dev/null", O_WRONLY));
  const bool certo = parser_executa_no_processo(codigo.c_str()) == 1;
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
  const char *binario = argc > 2 ? argv[2] : OLPA_RODAR;
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  char *proprio = g_file_read_link("/proc/self/exe", nullptr);
  const std::pair<const char *, std::string> programas[] = {
      {"small program", medidas::PEQUENO}, {"1,000-line program", medidas::programa(1000)}};
  for (const auto &[nome, texto] : programas) {
    g_file_set_contents("../exemplos/p.olp", texto.c_str(), -1, nullptr);
    std::vector<double> rodar, chao;
    for (int i = 0; i < n; i++) {
      rodar.push_back(processo({binario, "../exemplos/p.olp", nullptr}));
      chao.push_back(processo({proprio, "--piso", "../exemplos/p.olp", nullptr}));
      if (rodar.back() < 0 || chao.back() < 0) {
        fprintf(stderr, "a run failed\n");
        return 1;
      }
    }
    const double r = mediana(rodar), c = mediana(chao);
    fprintf(figuras, "%s, %d times each, in turn (whole processes, medians)\n", nome, n);
    fprintf(figuras, "  floor: one process, run in itself  %8.2f ms (%s)\n", c,
            medidas::incerteza(chao).c_str());
    fprintf(figuras, "  olpa-rodar                         %8.2f ms (%s)   ratio %.2fx\n", r,
            medidas::incerteza(rodar).c_str(), r / c);
    fprintf(figuras, "  goal <= 1.15x: %s\n", r <= 1.15 * c ? "met" : "NOT met");
  }
  g_free(proprio);
  return 0;
}
