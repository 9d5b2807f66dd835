// SPDX-License-Identifier: GPL-3.0-or-later
// The price of isolation: a small program run in a child process (as the
// window runs it: made by the zygote, pre-forked and warmed up while nothing
// waits, or made inside the run) against the same run inside this process,
// interleaved, with the page faults of the child on the run's path counted
// apart from those of its warm-up.
//
// bench_isolamento [repetitions]
#include "medidas.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <fcntl.h>
#include <sys/wait.h>

using medidas::agora_ms;
using medidas::mediana;

namespace {

const char PEQUENO[] = "int main(void) { inicia(); cor(255, 0, 0); traco(4);"
                       " linha(0, 0, 640, 480); termina(); return 0; }";

void confere(int r, const char *como) {
  if (r != 1) {
    fprintf(stderr, "%s run failed:\n%s\n", como, parser_ultimo_resultado().texto.c_str());
    exit(1);
  }
}

// What one copy-on-write page fault costs here: a child writes 2 MiB of
// this process's heap, 512 pages, each copied on first write.
double custo_de_falta_cow() {
  constexpr size_t tamanho = 2u << 20;
  std::vector<unsigned char> memoria(tamanho, 1);
  std::vector<double> custos;
  for (int i = 0; i < 9; i++) {
    int canal[2];
    if (pipe(canal) != 0)
      return 0;
    const pid_t pid = fork();
    if (pid == 0) {
      const double t = agora_ms();
      for (size_t j = 0; j < tamanho; j += 4096)
        memoria[j] = 2;
      const double por_pagina_us = (agora_ms() - t) * 1000.0 / (tamanho / 4096);
      if (write(canal[1], &por_pagina_us, sizeof por_pagina_us) < 0)
        _exit(1);
      _exit(0);
    }
    double us = 0;
    if (read(canal[0], &us, sizeof us) == sizeof us)
      custos.push_back(us);
    waitpid(pid, nullptr, 0);
    close(canal[0]);
    close(canal[1]);
  }
  return mediana(custos);
}

} // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? atoi(argv[1]) : 200;
  parser_prepara_zigoto(); // as the window's main does
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  medidas::sem_rastros();

  std::vector<double> pronto, frio, dentro, preparo, so_fork;
  std::vector<double> faltas_filho, faltas_pai, faltas_aquece, faltas_frio;
  std::vector<double> envio, compila, liga, programa, resto;
  for (int i = 0; i < n; i++) {
    // As the window does it: the child forked while nothing waits.
    parser_prepara();
    g_usleep(50000); // a person takes longer than this between two presses
    const rusage p0 = medidas::uso(RUSAGE_SELF);
    double t = agora_ms();
    confere(parser_executa(PEQUENO), "isolated");
    pronto.push_back(agora_ms() - t);
    const ParserTempos fases = parser_tempos();
    envio.push_back(fases.envio);
    compila.push_back(fases.compila);
    liga.push_back(fases.liga);
    programa.push_back(fases.programa);
    resto.push_back(fases.total - fases.envio - fases.compila - fases.liga - fases.programa);
    const rusage p1 = medidas::uso(RUSAGE_SELF);
    faltas_filho.push_back(static_cast<double>(fases.faltas));
    faltas_aquece.push_back(static_cast<double>(fases.faltas_aquece));
    faltas_pai.push_back(static_cast<double>(p1.ru_minflt - p0.ru_minflt));

    // With the fork inside the run.
    t = agora_ms();
    confere(parser_executa(PEQUENO), "cold isolated");
    frio.push_back(agora_ms() - t);
    preparo.push_back(parser_tempos().preparo);
    faltas_frio.push_back(static_cast<double>(parser_tempos().faltas));

    t = agora_ms();
    confere(parser_executa_no_processo(PEQUENO), "in-process");
    dentro.push_back(agora_ms() - t);

    // Bare fork + exit + wait of this process, for scale.
    t = agora_ms();
    const pid_t pid = fork();
    if (pid == 0)
      _exit(0);
    waitpid(pid, nullptr, 0);
    so_fork.push_back(agora_ms() - t);
  }
  parser_encerra();
  const double custo_falta = custo_de_falta_cow();

  const double iso = mediana(pronto), base = mediana(dentro);
  fprintf(figuras, "small program, %d repetitions (medians)\n", n);
  fprintf(figuras, "  in-process run (baseline)            %8.3f ms\n", base);
  fprintf(figuras, "  isolated run, child pre-forked       %8.3f ms   ratio %.2fx  (%s)\n", iso,
          iso / base, medidas::incerteza(pronto).c_str());
  fprintf(figuras,
          "  isolated run, fork inside the run    %8.3f ms   ratio %.2fx  (fork: %.3f ms)\n",
          mediana(frio), mediana(frio) / base, mediana(preparo));
  fprintf(figuras, "  bare fork + _exit + waitpid          %8.3f ms\n", mediana(so_fork));
  fprintf(figuras,
          "  child page faults, code -> end       %8.0f (pre-forked), %.0f (forked in the run)\n",
          mediana(faltas_filho), mediana(faltas_frio));
  fprintf(figuras, "  child page faults, idle warm-up      %8.0f (off the run's path)\n",
          mediana(faltas_aquece));
  fprintf(figuras,
          "  one copy-on-write page fault here     %8.1f us  (run's faults x cost: %.1f ms)\n",
          custo_falta, mediana(faltas_filho) * custo_falta / 1000.0);
  fprintf(figuras, "  page faults of this process per run  %8.0f minor\n", mediana(faltas_pai));
  fprintf(figuras, "  RSS of this process                  %8ld kB\n", medidas::rss_kb());
  fprintf(figuras,
          "  isolated run by phase: envio %.3f, compila %.3f, liga %.3f, programa %.3f,"
          " fork/hand-back/wait %.3f ms\n",
          mediana(envio), mediana(compila), mediana(liga), mediana(programa), mediana(resto));
  fprintf(figuras, "  goal isolated < 10 ms: %s\n", iso < 10 ? "met" : "NOT met");
  fclose(figuras);
  return 0;
}
