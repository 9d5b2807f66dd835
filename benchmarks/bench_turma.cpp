// SPDX-License-Identifier: GPL-3.0-or-later
// Whole classes graded by the real binary, `olpa-rodar --compara`, with one
// run at a time and with two, against the floor: the same learners'
// programs compiled, run and compared with the model in this process
// (parser_executa_no_processo, then compara_figuras on its canvas), measured
// in the same run, interleaved. Classes of 100, 1,000 and 10,000 generated
// files (right ones, a house moved by a point or two, another roof colour, no
// roof, a door the model has not, a few that do not compile); no endless
// ones, which would measure the time limit, not the grading.
//
// bench_turma [rounds] [class sizes...]   (default: 3 rounds; 100 1000 10000;
//                                          classes of 10,000 or more: 1 round)
#include "medidas.h"

#include "compara.h"

#include <map>
#include <sys/wait.h>

using medidas::agora_ms;
using medidas::mediana;

namespace {

// The model: a house with a red roof, a door and a window.
const char CASA[] = R"(void casa(int x, int y, int telhado, int porta) {
  int i;
  traco(4);
  cor(255, 255, 255);
  linha(x, y, x + 200, y);
  linha(x + 200, y, x + 200, y - 150);
  linha(x + 200, y - 150, x, y - 150);
  linha(x, y - 150, x, y);
  if (telhado) {
    cor(255, 0, telhado == 1 ? 0 : 255);
    linha(x - 20, y - 140, x + 100, y - 260);
    linha(x + 100, y - 260, x + 220, y - 140);
  }
  cor(120, 200, 255);
  traco(2);
  for (i = 0; i < 5; i++)
    linha(x + 140, y - 120 + i * 10, x + 180, y - 120 + i * 10);
  if (porta) {
    cor(160, 100, 40);
    traco(4);
    linha(x + 60, y, x + 60, y - 70);
    linha(x + 60, y - 70, x + 100, y - 70);
    linha(x + 100, y - 70, x + 100, y);
  }
}
)";

std::string programa(int numero, int x, int y, int telhado, int porta, bool compila = true) {
  return "// aluno " + std::to_string(numero) + "\n" + CASA + "int main(void) {\n  inicia();\n" +
         "  casa(" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(telhado) +
         ", " + std::to_string(porta) + ")" + (compila ? ";" : "") +
         "\n  termina();\n  return 0;\n}\n";
}

// The i-th learner of a class, and the kind it is: each file's text its own.
std::string aluno(int i, const char **tipo) {
  const int k = i % 20;
  if (k < 10)
    return *tipo = "right", programa(i, 220, 400, 1, 0);
  if (k < 14)
    return *tipo = "moved", programa(i, 220 + k % 2 + 1, 400 + k / 12, 1, 0);
  if (k < 16)
    return *tipo = "roof_colour", programa(i, 220, 400, 2, 0);
  if (k < 18)
    return *tipo = "no_roof", programa(i, 220, 400, 0, 0);
  if (k < 19)
    return *tipo = "door", programa(i, 220, 400, 1, 1);
  return *tipo = "no_compile", programa(i, 220, 400, 1, 0, false);
}

std::string nome_do_aluno(int i) {
  char nome[32];
  snprintf(nome, sizeof nome, "aluno%05d.olp", i);
  return nome;
}

// The class's folder, its files written.
std::string cria_turma(const std::string &raiz, int tamanho, std::map<std::string, int> *tipos) {
  const std::string pasta = raiz + "/turma" + std::to_string(tamanho);
  g_mkdir_with_parents(pasta.c_str(), 0755);
  g_file_set_contents((pasta + "/modelo.olp").c_str(), programa(0, 220, 400, 1, 0).c_str(), -1,
                      nullptr);
  for (int i = 0; i < tamanho; i++) {
    const char *tipo = nullptr;
    const std::string codigo = aluno(i, &tipo);
    (*tipos)[tipo]++;
    g_file_set_contents((pasta + "/" + nome_do_aluno(i)).c_str(), codigo.c_str(), -1, nullptr);
  }
  return pasta;
}

// Processor time, in ms, of this process (RUSAGE_SELF) or of the children
// it waited for and theirs (RUSAGE_CHILDREN): olpa-rodar reaps its runs' children.
double processador_ms(int quem) {
  const rusage r = medidas::uso(quem);
  return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 +
         (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}

// The whole class through olpa-rodar --compara -j N into a new report folder
// (none is removed before the end: a disk's file system makes files slowly
// where many were just removed): its time in ms, and in *cpu the processor
// time it and every process it started took.
double corrige(const std::string &pasta, int tamanho, int tarefas, std::string *resumo,
               double *cpu) {
  static int relatorios = 0;
  std::vector<std::string> argv = {OLPA_RODAR,
                                   "--compara",
                                   "modelo.olp",
                                   "--relatorio",
                                   "relatorio" + std::to_string(++relatorios),
                                   "-j",
                                   std::to_string(tarefas),
                                   "--tempo-limite",
                                   "5",
                                   "--"};
  for (int i = 0; i < tamanho; i++)
    argv.push_back(nome_do_aluno(i));
  std::vector<char *> args;
  for (std::string &a : argv)
    args.push_back(a.data());
  args.push_back(nullptr);
  gchar *saida = nullptr;
  gint status = 0;
  const double t = agora_ms(), c = processador_ms(RUSAGE_CHILDREN);
  if (!g_spawn_sync(pasta.c_str(), args.data(), nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr,
                    nullptr, &saida, nullptr, &status, nullptr) ||
      !WIFEXITED(status) || WEXITSTATUS(status) != 1) {
    fprintf(stderr, "olpa-rodar --compara failed\n");
    exit(1);
  }
  const double ms = agora_ms() - t;
  *cpu = processador_ms(RUSAGE_CHILDREN) - c;
  const char *linha = strstr(saida, " arquivos:");
  while (linha && linha > saida && linha[-1] != '\n')
    linha--;
  *resumo = linha ? std::string(linha, strcspn(linha, "\n")) : "?";
  g_free(saida);
  return ms;
}

// The floor: `arquivos` files of the class (all of it, or as many spread over
// it, every kind alike) compiled, run and compared in this process, as
// olpa-rodar's child and grader do apart. Its time a file, in ms, and in *cpu
// its processor time a file.
double piso(const std::string &pasta, int tamanho, int arquivos, const unsigned char *modelo,
            double *cpu) {
  static std::vector<Marca> marcas(COMPARA_PONTOS);
  OpcoesComparacao oc;
  long diferentes = 0;
  const double t = agora_ms(), c = processador_ms(RUSAGE_SELF);
  for (int k = 0; k < arquivos; k++) {
    // A step prime to the class's size: each file once, the kinds mixed.
    const int i = static_cast<int>(static_cast<long>(k) * 7919 % tamanho);
    std::string codigo, motivo;
    if (!parser_le_codigo((pasta + "/" + nome_do_aluno(i)).c_str(), &codigo, &motivo))
      exit(1);
    if (parser_executa_no_processo(codigo.c_str()) == 1)
      diferentes += compara_figuras(modelo, olpa_gfx_pixels(), oc, marcas.data()).diferentes();
  }
  const double ms = agora_ms() - t;
  *cpu = (processador_ms(RUSAGE_SELF) - c) / arquivos;
  if (diferentes == 0)
    fprintf(stderr, "the floor found no differences: did its runs draw?\n");
  return ms / arquivos;
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
  gchar **campos = g_strsplit(texto ? texto : "", " ", -1);
  std::string s = g_strv_length(campos) >= 4 ? std::string(campos[0]) + ", running " + campos[3]
                                             : std::string("?");
  g_strfreev(campos);
  g_free(texto);
  return s;
}

struct Figuras {
  std::vector<double> piso, um, dois, sobre_piso, aceleracao;
  std::vector<double> piso_cpu, um_cpu, dois_cpu, sobre_piso_cpu;
};

} // namespace

int main(int argc, char **argv) {
  const int rodadas = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
  std::vector<int> tamanhos;
  for (int i = 2; i < argc; i++)
    tamanhos.push_back(atoi(argv[i]));
  if (tamanhos.empty())
    tamanhos = {100, 1000, 10000};
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  medidas::sem_rastros();
  // The model's canvas, for the floor's comparisons.
  if (parser_executa_no_processo(programa(0, 220, 400, 1, 0).c_str()) != 1) {
    fprintf(stderr, "the model did not run\n");
    return 1;
  }
  const std::vector<unsigned char> modelo(olpa_gfx_pixels(), olpa_gfx_pixels() + OLPA_TELA_BYTES);
  fprintf(figuras,
          "bench_turma: %d processors; load %s; the machine's ceiling for two at once "
          "(a CPU-bound loop twice in a row / twice at once): %.2fx\n",
          static_cast<int>(g_get_num_processors()), carga().c_str(), teto());
  std::map<int, Figuras> medido;
  for (int tamanho : tamanhos) {
    std::map<std::string, int> tipos;
    const std::string pasta = cria_turma(raiz.raiz + "/exemplos", tamanho, &tipos);
    const int voltas = tamanho >= 10000 ? 1 : rodadas;
    // The floor on at most 1,000 of its files.
    const int amostra = std::min(tamanho, 1000);
    fprintf(figuras, "class of %d (", tamanho);
    for (const auto &[tipo, n] : tipos)
      fprintf(figuras, "%s %d, ", tipo.c_str(), n);
    fprintf(figuras, "the floor on %d of them), %d round%s, interleaved:\n", amostra, voltas,
            voltas == 1 ? "" : "s");
    Figuras &f = medido[tamanho];
    std::string resumo;
    for (int v = 0; v < voltas; v++) {
      double p = 0, um = 0, dois = 0, pc = 0, uc = 0, dc = 0;
      if (v % 2 == 0) {
        p = piso(pasta, tamanho, amostra, modelo.data(), &pc);
        um = corrige(pasta, tamanho, 1, &resumo, &uc) / tamanho;
        dois = corrige(pasta, tamanho, 2, &resumo, &dc) / tamanho;
      } else {
        dois = corrige(pasta, tamanho, 2, &resumo, &dc) / tamanho;
        um = corrige(pasta, tamanho, 1, &resumo, &uc) / tamanho;
        p = piso(pasta, tamanho, amostra, modelo.data(), &pc);
      }
      uc /= tamanho, dc /= tamanho;
      f.piso.push_back(p), f.um.push_back(um), f.dois.push_back(dois);
      f.sobre_piso.push_back(um / p), f.aceleracao.push_back(um / dois);
      f.piso_cpu.push_back(pc), f.um_cpu.push_back(uc), f.dois_cpu.push_back(dc);
      f.sobre_piso_cpu.push_back(uc / pc);
      fprintf(figuras,
              "  round %d: floor %.2f ms a file; -j 1 %.2f ms a file (%.2fx the floor); -j 2 "
              "%.2f ms a file (speed-up %.2fx); processor time a file: floor %.2f ms, -j 1 "
              "%.2f ms (%.2fx), -j 2 %.2f ms; load %s\n",
              v + 1, p, um, um / p, dois, um / dois, pc, uc, uc / pc, dc, carga().c_str());
    }
    fprintf(figuras, "  verdicts: %s\n", resumo.c_str());
    fprintf(figuras,
            "  median: floor %.2f ms a file; -j 1 %.2f ms a file, %.2fx the floor (goal <= 2x: "
            "%s); -j 2 %.2f ms a file, speed-up %.2fx (goal >= 1.8x: %s); the class at -j 2 in "
            "%.1f s\n",
            mediana(f.piso), mediana(f.um), mediana(f.sobre_piso),
            mediana(f.sobre_piso) <= 2 ? "met" : "NOT met", mediana(f.dois), mediana(f.aceleracao),
            mediana(f.aceleracao) >= 1.8 ? "met" : "NOT met", mediana(f.dois) * tamanho / 1000);
    fprintf(figuras,
            "  median processor time a file (every process of the grading, the zygote's "
            "included): floor %.2f ms, -j 1 %.2f ms (%.2fx the floor), -j 2 %.2f ms\n",
            mediana(f.piso_cpu), mediana(f.um_cpu), mediana(f.sobre_piso_cpu), mediana(f.dois_cpu));
  }
  // Growth: a file's cost at each size against the smallest class's, both
  // raw and as a multiple of the floor measured beside it.
  const Figuras &primeira = medido.begin()->second;
  fprintf(figuras, "growth (a file's cost against the class of %d):\n", medido.begin()->first);
  for (const auto &[tamanho, f] : medido)
    fprintf(figuras,
            "  %6d files: -j 1 %.2f ms a file (%.2fx), -j 2 %.2f ms a file (%.2fx); against "
            "the floor: -j 1 %.2fx\n",
            tamanho, mediana(f.um), mediana(f.um) / mediana(primeira.um), mediana(f.dois),
            mediana(f.dois) / mediana(primeira.dois), mediana(f.sobre_piso));
  return 0;
}
