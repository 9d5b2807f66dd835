// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a run: what recording every call costs a run through the
// runner, end to end, and a program in this process (100,000 calls,
// recorded and not, interleaved); how long any step of a 100,000-call
// record takes to show (median and worst); and the memory of a 1,000,000-call
// record, with the pictures kept to step through it.
//
// bench_passos [repetitions]
#include "medidas.h"
#include "olpa_passos.h"
#include "olpa_registro.h"

#include <ctime>

#include <sys/mman.h>

using medidas::agora_ms;
using medidas::incerteza;
using medidas::mediana;
using medidas::MISTURA;

namespace {

// 100,000 calls: inicia, cor and 99,998 of the drawing benchmark's strokes.
const std::string LINHAS_TEXTO = medidas::programa_de_linhas(99998);
const char *const LINHAS = LINHAS_TEXTO.c_str();

// 1,000,001 calls: the record keeps the first million.
const char MILHAO[] = "int main(void) {\n"
                      "  int i;\n"
                      "  inicia();\n"
                      "  for (i = 0; i < 250000; i++) {\n"
                      "    cor(i % 256, 0, 255 - i % 256);\n"
                      "    anda_ate(i % 630, (i / 630 * 7) % 470);\n"
                      "    linha_ate(8, 8);\n"
                      "    traco(1 + i % 3);\n"
                      "  }\n"
                      "  return 0;\n"
                      "}\n";

// Shared memory as a child would get it: fresh, no page of it touched yet.
struct Memoria {
  size_t tamanho = olpa_registro_tamanho();
  void *dados = mmap(nullptr, tamanho, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ~Memoria() { munmap(dados, tamanho); }
};

// main's milliseconds, the program run in this process; recorded into
// `memoria` when given (then read back into `registro`).
double roda(const char *programa, Memoria *memoria, OlpaRegistro *registro = nullptr) {
  olpa_gfx_fecha_tela();
  olpa_registro_define(memoria ? memoria->dados : nullptr);
  std::string console;
  if (parser_executa_no_processo(programa, &console) != 1) {
    fprintf(stderr, "the run failed:\n%s\n", console.c_str());
    exit(1);
  }
  olpa_registro_define(nullptr);
  if (memoria && registro)
    olpa_registro_le(memoria->dados, {}, registro);
  return parser_tempos().programa;
}

void custo(FILE *figuras, const char *nome, const char *programa, int n) {
  std::vector<double> sem, com, razao;
  double antes = roda(programa, nullptr);
  for (int i = 0; i < n; i++) {
    Memoria m;
    const double gravando = roda(programa, &m);
    const double depois = roda(programa, nullptr);
    sem.push_back(depois);
    com.push_back(gravando);
    razao.push_back(gravando / ((antes + depois) / 2));
    antes = depois;
  }
  fprintf(figuras, "  %-26s not recorded %7.2f ms %s   recorded %7.2f ms %s   ratio %.3fx\n", nome,
          mediana(sem), incerteza(sem).c_str(), mediana(com), incerteza(com).c_str(),
          mediana(razao));
}

// The runner end to end (parser_executa: the child forked from the zygote,
// compile, run, the record read back with its lines, the outcome), with the
// record and without, in turn: the whole run's milliseconds, and main's in
// the child.
void custo_no_executor(FILE *figuras, const char *nome, const char *programa, int n) {
  const OlpaRegistroMedidas completo;
  std::vector<double> sem, com, razao, main_sem, main_com;
  auto uma = [&](bool gravando, std::vector<double> *total, std::vector<double> *principal) {
    parser_define_registro(gravando ? completo.chamadas : 0, completo.textos);
    olpa_gfx_fecha_tela();
    const double t = agora_ms();
    ParserResultado r;
    if (parser_executa(programa, &r) != 1 || !r.registro != !gravando) {
      fprintf(stderr, "the run failed:\n%s\n", r.texto.c_str());
      exit(1);
    }
    total->push_back(agora_ms() - t);
    principal->push_back(parser_tempos().programa);
  };
  uma(false, &sem, &main_sem); // the zygote's first child, and the caches, warmed
  sem.clear(), main_sem.clear();
  for (int i = 0; i < n; i++) {
    uma(i % 2 == 0, i % 2 == 0 ? &com : &sem, i % 2 == 0 ? &main_com : &main_sem);
    uma(i % 2 != 0, i % 2 != 0 ? &com : &sem, i % 2 != 0 ? &main_com : &main_sem);
    razao.push_back(com.back() / sem.back());
  }
  parser_define_registro(completo.chamadas, completo.textos);
  fprintf(figuras,
          "  %-26s not recorded %7.2f ms %s   recorded %7.2f ms %s   ratio of medians %.3fx, "
          "median ratio %.3fx\n"
          "  %-26s main alone: not recorded %7.2f ms, recorded %7.2f ms, %.3fx\n",
          nome, mediana(sem), incerteza(sem).c_str(), mediana(com), incerteza(com).c_str(),
          mediana(com) / mediana(sem), mediana(razao), "", mediana(main_sem), mediana(main_com),
          mediana(main_com) / mediana(main_sem));
}

// The time a step took on the clock, and this thread's processor time in it
// (which leaves out the time other processes had the processor).
double processador_ms() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// What recording one call costs, apart from compiling and drawing: 100,000
// anda calls made here, recorded into fresh shared memory and not, in turn.
void custo_por_chamada(FILE *figuras, int n) {
  std::vector<double> sem, com;
  for (int r = 0; r < 3 * n; r++) {
    Memoria m;
    olpa_registro_define(m.dados);
    olpa_gfx_nova_execucao();
    double t = agora_ms();
    for (int i = 0; i < 100000; i++)
      anda(1, 1);
    com.push_back(agora_ms() - t);
    olpa_registro_define(nullptr);
    t = agora_ms();
    for (int i = 0; i < 100000; i++)
      anda(1, 1);
    sem.push_back(agora_ms() - t);
  }
  fprintf(figuras, "  one call's record: %.1f ns (100000 anda: %.2f ms recorded, %.2f ms not)\n",
          (mediana(com) - mediana(sem)) * 10, mediana(com), mediana(sem));
}

struct Tempos {
  std::vector<double> ms, cpu;
  void mede(OlpaPassos *p, uint32_t passo) {
    const double t = agora_ms(), c = processador_ms();
    olpa_passos_mostra(p, passo);
    ms.push_back(agora_ms() - t);
    cpu.push_back(processador_ms() - c);
  }
  void mostra(FILE *figuras, const char *como) const {
    fprintf(figuras,
            "    %-36s median %6.3f ms  worst %7.3f ms   processor: median %6.3f worst %6.3f ms"
            "   (%zu)\n",
            como, mediana(ms), *std::max_element(ms.begin(), ms.end()), mediana(cpu),
            *std::max_element(cpu.begin(), cpu.end()), ms.size());
  }
};

// A record's steps: the pass through it, then steps shown as a slider would.
OlpaPassosPtr passos(FILE *figuras, const OlpaRegistro &r, int n) {
  const uint32_t total = static_cast<uint32_t>(r.entradas.size());
  const double t = agora_ms();
  OlpaPassosPtr p = olpa_passos_cria(&r);
  while (!olpa_passos_percorre(p.get(), 16)) {
  }
  fprintf(figuras, "    pass through the record (pictures, pixel map) %.0f ms, %zu pictures kept\n",
          agora_ms() - t, olpa_passos_instantaneos(p.get()));
  GRand *sorteio = g_rand_new_with_seed(7);
  Tempos saltos, adiante, atras, fim;
  for (int i = 0; i < 200 * n; i++)
    saltos.mede(p.get(), g_rand_int_range(sorteio, 0, total + 1));
  for (int i = 0; i < 100 * n; i++) {
    const uint32_t k = g_rand_int_range(sorteio, 1, total);
    olpa_passos_mostra(p.get(), k);
    adiante.mede(p.get(), k + 1);
    olpa_passos_mostra(p.get(), k);
    atras.mede(p.get(), k - 1);
  }
  for (int i = 0; i < 20 * n; i++) {
    olpa_passos_mostra(p.get(), 0);
    fim.mede(p.get(), total);
  }
  g_rand_free(sorteio);
  saltos.mostra(figuras, "any step (a jump of the slider)");
  adiante.mostra(figuras, "the next step (right arrow)");
  atras.mostra(figuras, "the step before (left arrow)");
  fim.mostra(figuras, "the last step from the first (End)");
  fprintf(figuras, "    memory of the steps: %.1f MB\n", olpa_passos_memoria(p.get()) / 1048576.0);
  return p;
}

} // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? atoi(argv[1]) : 9;
  parser_prepara_zigoto(); // as the window does, before this process grows
  FILE *figuras = medidas::separa_figuras();
  medidas::Raiz raiz(OLPA_INIT_PNG);
  medidas::sem_rastros();

  fprintf(figuras,
          "Recording in the runner, end to end (press to outcome, the child's record read "
          "back with its lines; medians of %d pairs, interleaved):\n",
          2 * n);
  custo_no_executor(figuras, "100000 linha calls", LINHAS, 2 * n);
  custo_no_executor(figuras, "100000 calls, 1 in 4 a line", MISTURA, 2 * n);
  custo_no_executor(figuras, "the small program", medidas::PEQUENO, 4 * n);

  fprintf(figuras,
          "Recording every call, in this process, fresh shared memory each run "
          "(medians of %d, interleaved):\n",
          n);
  custo(figuras, "100000 linha calls", LINHAS, n);
  custo(figuras, "100000 calls, 1 in 4 a line", MISTURA, n);
  custo_por_chamada(figuras, n);

  for (const char *programa : {LINHAS, MISTURA}) {
    Memoria m;
    OlpaRegistro r;
    roda(programa, &m, &r);
    fprintf(figuras, "Steps of a record of %zu calls (%s):\n", r.entradas.size(),
            programa == LINHAS ? "100000 linha" : "1 in 4 a line, turning");
    passos(figuras, r, n);
  }

  const long rss_antes = medidas::rss_kb();
  Memoria m;
  OlpaRegistro r;
  const double ms = roda(MILHAO, &m, &r);
  fprintf(figuras, "A record of 1,000,000 calls (%s", olpa_registro_fim(r).c_str() + 7);
  fprintf(figuras,
          "  the program %.0f ms; the record's memory %.1f MB (%zu bytes a call), read "
          "back %.1f MB\n",
          ms, m.tamanho / 1048576.0, sizeof(OlpaEntrada),
          (r.entradas.size() * sizeof(OlpaEntrada) + r.textos.size()) / 1048576.0);
  const OlpaPassosPtr p = passos(figuras, r, 1);
  fprintf(figuras, "  this process grew by %.1f MB (record, copy, steps)\n",
          (medidas::rss_kb() - rss_antes) / 1024.0);
  return 0;
}
