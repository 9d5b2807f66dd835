// SPDX-License-Identifier: GPL-3.0-or-later
// A whole class graded by the real binary: 100 learners' files (right ones,
// slightly wrong ones, ones that do not compile, crash, or never end)
// through `olpa-rodar --compara`, with one run at a time and with two,
// interleaved, medians of the total times and the speed-up.
//
// bench_turma [repetitions] [time limit in seconds, for the endless ones]
#include "medidas.h"

#include <map>
#include <sys/wait.h>

using medidas::agora_ms;
using medidas::mediana;

namespace {

// The model: a house with a red roof, a door and a window.
const char CASA[] = R"(void casa(int x, int y) {
  int i;
  traco(4);
  cor(255, 255, 255);
  linha(x, y, x + 200, y);
  linha(x + 200, y, x + 200, y - 150);
  linha(x + 200, y - 150, x, y - 150);
  linha(x, y - 150, x, y);
  cor(255, 0, 0);
  linha(x - 20, y - 140, x + 100, y - 260);
  linha(x + 100, y - 260, x + 220, y - 140);
  cor(120, 200, 255);
  linha(x + 80, y, x + 80, y - 70);
  linha(x + 80, y - 70, x + 120, y - 70);
  linha(x + 120, y - 70, x + 120, y);
  traco(2);
  for (i = 0; i < 5; i++)
    linha(x + 140, y - 120 + i * 10, x + 180, y - 120 + i * 10);
}
)";

std::string programa(const std::string &antes_do_fim, int x, int y) {
  return std::string(CASA) + "int main(void) {\n  inicia();\n  casa(" + std::to_string(x) + ", " +
         std::to_string(y) + ");\n" + antes_do_fim + "  termina();\n  return 0;\n}\n";
}

// The i-th learner of the class, and the kind it is.
std::string aluno(int i, const char **tipo) {
  if (i < 50) { // right: the model's own code
    *tipo = "certo";
    return "// aluno " + std::to_string(i) + "\n" + programa("", 220, 400);
  }
  if (i < 70) { // slightly wrong: the house a few points off
    *tipo = "quase";
    return programa("", 220 + (i - 50) % 4 + 1, 400 + (i - 50) / 4);
  }
  if (i < 80) {
    *tipo = "nao_compila";
    return programa("  cor(0, 0, 0)\n", 220, 400);
  }
  if (i < 90) {
    *tipo = "quebra";
    return programa("  *(int *)0 = 1;\n", 220, 400);
  }
  *tipo = "sem_fim";
  return programa("  for (;;) {}\n", 220, 400);
}

double corrige(const std::string &pasta, int tarefas, const std::string &limite,
               std::string *resumo) {
  std::vector<std::string> argv = {std::string(OLPA_BIN_DIR) + "/olpa-rodar",
                                   "--compara",
                                   "modelo.olp",
                                   "--relatorio",
                                   "relatorio-j" + std::to_string(tarefas),
                                   "--tempo-limite",
                                   limite,
                                   "-j",
                                   std::to_string(tarefas)};
  for (int i = 0; i < 100; i++) {
    char nome[32];
    snprintf(nome, sizeof nome, "aluno%03d.olp", i);
    argv.push_back(nome);
  }
  std::vector<char *> args;
  for (std::string &a : argv)
    args.push_back(a.data());
  args.push_back(nullptr);
  gchar *saida = nullptr;
  gint status = 0;
  const double t = agora_ms();
  if (!g_spawn_sync(pasta.c_str(), args.data(), nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr,
                    nullptr, &saida, nullptr, &status, nullptr) ||
      !WIFEXITED(status) || WEXITSTATUS(status) != 1) {
    fprintf(stderr, "olpa-rodar --compara failed\n");
    exit(1);
  }
  const double ms = agora_ms() - t;
  const char *linha = strstr(saida, "100 arquivos:");
  *resumo = linha ? std::string(linha, strcspn(linha, "\n")) : "?";
  g_free(saida);
  return ms;
}

// Fixed work for one processor: a loop the compiler cannot drop.
void trabalho() {
  volatile unsigned long x = 0;
  for (unsigned long i = 0; i < 400000000ul; i++)
    x = x + i * i;
}

// What two processors give right now: the same work done twice one after the
// other, against twice at once, in child processes. The ceiling of any speed-up.
double teto() {
  auto roda = [](int ao_mesmo_tempo, int vezes) {
    const double t = agora_ms();
    for (int v = 0; v < vezes; v++) {
      std::vector<pid_t> filhos;
      for (int i = 0; i < ao_mesmo_tempo; i++) {
        const pid_t pid = fork();
        if (pid == 0) {
          trabalho();
          _exit(0);
        }
        filhos.push_back(pid);
      }
      for (pid_t p : filhos)
        waitpid(p, nullptr, 0);
    }
    return agora_ms() - t;
  };
  return roda(1, 2) / roda(2, 1);
}

// The machine is shared: its load says how far the figures can be trusted.
std::string carga() {
  gchar *texto = nullptr;
  g_file_get_contents("/proc/loadavg", &texto, nullptr, nullptr);
  // "1-min 5-min 15-min running/total last-pid": the first and how many run now.
  gchar **campos = g_strsplit(texto ? texto : "", " ", -1);
  std::string s = g_strv_length(campos) >= 4 ? std::string(campos[0]) + ", running " + campos[3]
                                             : std::string("?");
  g_strfreev(campos);
  g_free(texto);
  return s;
}

} // namespace

int main(int argc, char **argv) {
  const int repeticoes = argc > 1 ? atoi(argv[1]) : 3;
  const std::string limite = argc > 2 ? argv[2] : "0.5";
  gchar *pasta = g_dir_make_tmp("olpa-bench-turma-XXXXXX", nullptr);
  std::map<std::string, int> tipos;
  g_file_set_contents((std::string(pasta) + "/modelo.olp").c_str(), programa("", 220, 400).c_str(),
                      -1, nullptr);
  for (int i = 0; i < 100; i++) {
    const char *tipo = nullptr;
    const std::string codigo = aluno(i, &tipo);
    tipos[tipo]++;
    char nome[64];
    snprintf(nome, sizeof nome, "%s/aluno%03d.olp", pasta, i);
    g_file_set_contents(nome, codigo.c_str(), -1, nullptr);
  }
  printf("bench_turma: 100 files (");
  for (const auto &[tipo, n] : tipos)
    printf("%s %d ", tipo.c_str(), n);
  printf("), --tempo-limite %s, %d processors, %d repetitions, interleaved; load %s\n",
         limite.c_str(), static_cast<int>(g_get_num_processors()), repeticoes, carga().c_str());

  std::vector<double> um, dois, razoes, tetos;
  std::string resumo;
  for (int r = 0; r < repeticoes; r++) {
    um.push_back(corrige(pasta, 1, limite, &resumo));
    dois.push_back(corrige(pasta, 2, limite, &resumo));
    razoes.push_back(um.back() / dois.back());
    tetos.push_back(teto());
    printf("  round %d: -j 1 %.0f ms, -j 2 %.0f ms, speed-up %.2fx; the machine's ceiling %.2fx "
           "(load %s)\n",
           r + 1, um.back(), dois.back(), razoes.back(), tetos.back(), carga().c_str());
  }
  printf("verdicts: %s\n", resumo.c_str());
  printf("median total: -j 1 %.0f ms (%.1f ms a file), -j 2 %.0f ms; speed-up (median of the "
         "rounds' ratios) %.2fx\n",
         mediana(um), mediana(um) / 100, mediana(dois), mediana(razoes));
  printf("the machine's ceiling (a CPU-bound loop twice in a row / twice at once, median): "
         "%.2fx\n",
         mediana(tetos));
  printf("floor of the endless ones alone: %d x %s s = %.1f s at -j 1\n", tipos["sem_fim"],
         limite.c_str(), tipos["sem_fim"] * g_ascii_strtod(limite.c_str(), nullptr));
  const std::string apaga = std::string("rm -rf '") + pasta + "'";
  if (system(apaga.c_str()) != 0)
    fprintf(stderr, "could not remove %s\n", pasta);
  g_free(pasta);
  return 0;
}
