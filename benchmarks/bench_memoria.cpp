// SPDX-License-Identifier: GPL-3.0-or-later
// Memory of the real window (the olpa binary) over many presses of "Rodar",
// driven as a person would (XTest, programs opened through "Abrir"), each
// run checked on the screen: programs of several sizes that draw (their
// picture shown), a compile error and a crash (the console red). Prints the
// window's resident size after start-up, after the first runs and at the
// end, and the memory of the child waiting for the next run: resident, and
// its own (pages no other process maps: what it costs beyond the window).
// Then a program of a million calls, run again and again (200 times by
// default): the window's size after the first and after the last, each
// taken once the window is idle again (the steps replayed).
//
// xvfb-run -a -s "-screen 0 1280x1024x24" bench_memoria BIN [runs] [million-call runs]
//   BIN: a run tree's bin/ with olpa and olpalib/. Needs xdotool.
#include "janela_x.h"

#include <fstream>
#include <sstream>

using namespace janela_x;

namespace {

const Programas PROGRAMAS = {
    {"pequeno", medidas::PEQUENO},
    {"mil", medidas::programa(1000)},
    {"dezmil", medidas::programa(10000)},
    {"erro", "int main(void) { inicia() termina(); return 0; }\n"},
    {"quebra", "int main(void) { int *p = (int *)16; *p = 1; return 0; }\n"},
    // 1,000,001 calls: the record keeps a million, and the window steps through them.
    {"milhao", "int main(void) {\n"
               "  int i;\n"
               "  inicia();\n"
               "  for (i = 0; i < 333333; i++) {\n"
               "    cor(i % 256, 0, 255 - i % 256);\n"
               "    anda_ate(i % 630, (i / 630 * 7) % 470);\n"
               "    linha_ate(8, 8);\n"
               "  }\n"
               "  termina();\n"
               "  return 0;\n"
               "}\n"},
};
constexpr size_t MILHAO = 5; // its index: runs of its own, after the others

// "VmRSS" (or another field) of /proc/PID/status, in kB.
long campo_status(pid_t pid, const char *campo) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string linha; std::getline(f, linha);)
    if (linha.rfind(campo, 0) == 0)
      return atol(linha.c_str() + strlen(campo) + 1);
  return -1;
}

// Resident, proportional and own (private) memory of a process, in kB.
struct Memoria {
  long rss = -1, pss = -1, propria = -1;
};
Memoria memoria_de(pid_t pid) {
  Memoria m;
  std::ifstream f("/proc/" + std::to_string(pid) + "/smaps_rollup");
  long limpa = 0, suja = 0;
  for (std::string linha; std::getline(f, linha);) {
    std::istringstream l(linha);
    std::string nome;
    long kb = 0;
    l >> nome >> kb;
    if (nome == "Rss:")
      m.rss = kb;
    else if (nome == "Pss:")
      m.pss = kb;
    else if (nome == "Private_Clean:")
      limpa = kb;
    else if (nome == "Private_Dirty:")
      suja = kb;
  }
  m.propria = limpa + suja;
  return m;
}

// The window's children: the zygote (the oldest) and the child waiting for
// the next run (the newest), when there are two.
std::vector<pid_t> filhos(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
  std::vector<pid_t> v;
  for (pid_t p; f >> p;)
    v.push_back(p);
  return v;
}

// The processor time a process has had, in clock ticks.
long processador(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string texto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::istringstream resto(texto.substr(texto.rfind(')') + 2));
  std::string campo;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && resto >> campo; i++)
    if (i == 14)
      utime = atol(campo.c_str());
    else if (i == 15)
      stime = atol(campo.c_str());
  return utime + stime;
}

// Until the window does nothing for half a second (20 s at most).
void ate_ociosa(pid_t pid) {
  long antes = processador(pid);
  for (int i = 0; i < 40; i++) {
    g_usleep(500000);
    const long agora = processador(pid);
    if (agora == antes)
      return;
    antes = agora;
  }
}

bool vermelho(const Pixels &console) {
  return console[console.size() - 10] == 0xff0000;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_memoria BIN [runs] [million-call runs]\n");
    return 2;
  }
  const int n = argc > 2 ? atoi(argv[2]) : 1000;
  const int milhoes = argc > 3 ? atoi(argv[3]) : 200;
  if (!conecta()) {
    fprintf(stderr, "needs an X display with DAMAGE and XTEST\n");
    return 1;
  }
  FILE *figuras = medidas::separa_figuras();
  Janela j = abre(argv[1], "olpa", 0, PROGRAMAS);
  const Retangulo console{0, OLPA_CONSOLE_Y, OLPA_COLUNA_LARGURA, OLPA_CONSOLE_ALTURA};
  const long inicio = campo_status(j.pid, "VmRSS:");

  // Each program once, for its picture (or red console) on the screen.
  const Pixels inicial = captura(j, IMAGEM);
  std::vector<Pixels> esperado(PROGRAMAS.size());
  for (size_t p = 0; p < PROGRAMAS.size(); p++) {
    abre_programa(j, PROGRAMAS[p].first.c_str());
    foca(j);
    aperta(XK_F5);
    g_usleep(p == MILHAO ? 15000000 : 3000000);
    esperado[p] = captura(j, IMAGEM);
  }
  long apos_primeiras = 0;
  std::vector<long> rss;
  Memoria filho;
  int falhas = 0;
  const int por_programa = std::max(1, n / static_cast<int>(MILHAO));
  int feitas = 0;
  // One run of `p`, seen on the screen (after Limpar): false when it was not.
  auto roda = [&](size_t p) {
    const bool com_erro = p == 3 || p == 4;
    clica(j, botao(LIMPAR));
    ate(j, IMAGEM, 5000, [&] { return captura(j, IMAGEM) == inicial; });
    descarta_eventos();
    foca(j);
    aperta(XK_F5);
    return ate(j, com_erro ? console : IMAGEM, 60000, [&] {
             return com_erro ? vermelho(captura(j, console)) : captura(j, IMAGEM) == esperado[p];
           }) >= 0;
  };
  for (size_t p = 0; p < MILHAO; p++) {
    abre_programa(j, PROGRAMAS[p].first.c_str());
    for (int i = 0; i < por_programa; i++, feitas++) {
      falhas += !roda(p);
      if (feitas + 1 == std::min(10, por_programa * static_cast<int>(MILHAO)))
        apos_primeiras = campo_status(j.pid, "VmRSS:");
      if (feitas % 50 == 0)
        rss.push_back(campo_status(j.pid, "VmRSS:"));
    }
  }
  // The child for the next run, once the window has readied it.
  g_usleep(1000000);
  const std::vector<pid_t> f = filhos(j.pid);
  // A window without a zygote has one child: the one waiting.
  if (!f.empty())
    filho = memoria_de(f.back());
  const Memoria zigoto = f.size() >= 2 ? memoria_de(f.front()) : Memoria{};
  const long fim = campo_status(j.pid, "VmRSS:");
  // A million calls, again and again: the record, the steps replayed while
  // the window is idle, and all of it given back at the next run. Measured
  // once the window is idle again (the steps replayed).
  abre_programa(j, PROGRAMAS[MILHAO].first.c_str());
  std::vector<long> rss_milhao;
  int falhas_milhao = 0;
  for (int i = 0; i < milhoes; i++) {
    falhas_milhao += !roda(MILHAO);
    ate_ociosa(j.pid);
    if (i == 0 || (i + 1) % 20 == 0)
      rss_milhao.push_back(campo_status(j.pid, "VmRSS:"));
  }
  fecha(j);

  fprintf(figuras,
          "The real window, %d runs (%zu programs: small, 1,000 and 10,000 lines, a "
          "compile error, a crash), each checked on the screen: %d failed\n",
          feitas, PROGRAMAS.size(), falhas);
  fprintf(figuras, "  window VmRSS after start-up        %8ld kB\n", inicio);
  fprintf(figuras, "  window VmRSS after 10 runs         %8ld kB\n", apos_primeiras);
  fprintf(figuras, "  window VmRSS after %5d runs      %8ld kB\n", feitas, fim);
  fprintf(figuras, "  growth 10 -> %d runs: %+.2f MB (%.3f kB a run)\n", feitas,
          (fim - apos_primeiras) / 1024.0,
          static_cast<double>(fim - apos_primeiras) / std::max(1, feitas - 10));
  fprintf(figuras, "  every 50 runs (kB):");
  for (long r : rss)
    fprintf(figuras, " %ld", r);
  fprintf(figuras, "\n  goal flat (growth < 5 MB): %s\n",
          fim - apos_primeiras < 5 * 1024 ? "met" : "NOT met");
  fprintf(figuras, "  child waiting for the next run: RSS %ld kB, PSS %ld kB, own %ld kB\n",
          filho.rss, filho.pss, filho.propria);
  fprintf(figuras, "  the zygote children are made from: RSS %ld kB, own %ld kB\n", zigoto.rss,
          zigoto.propria);
  fprintf(figuras, "  goal child's own memory < 5 MB: %s\n",
          filho.propria >= 0 && filho.propria < 5 * 1024 ? "met" : "NOT met");
  if (!rss_milhao.empty()) {
    fprintf(figuras,
            "The same window, %d runs of a program of 1,000,001 calls (a million recorded, "
            "steps replayed while idle, measured once it is idle again), each checked on the "
            "screen: %d failed\n",
            milhoes, falhas_milhao);
    fprintf(figuras,
            "  window VmRSS after the first          %8ld kB (%+.1f MB over %d runs "
            "before)\n",
            rss_milhao.front(), (rss_milhao.front() - fim) / 1024.0, feitas);
    fprintf(figuras, "  window VmRSS after the last           %8ld kB\n", rss_milhao.back());
    fprintf(figuras, "  after the 1st and every 20th (kB):");
    for (long r : rss_milhao)
      fprintf(figuras, " %ld", r);
    fprintf(figuras, "\n  growth first -> last: %+.2f MB; goal flat (< 5 MB): %s\n",
            (rss_milhao.back() - rss_milhao.front()) / 1024.0,
            rss_milhao.back() - rss_milhao.front() < 5 * 1024 ? "met" : "NOT met");
  }
  return falhas || falhas_milhao ? 1 : 0;
}
