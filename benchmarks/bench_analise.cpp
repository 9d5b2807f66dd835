// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis in the real window, as a person meets it: from the last key
// that makes a mistake (an '=' taken out of "==") to the wavy underline on
// the screen, for a small and a 1,000-line program; the key's own echo in
// the editor is the baseline of the same run. Then the analyser's memory,
// and its own time per analysis (interleaved with a process per analysis,
// the other shape it could have had).
//
// Usage: xvfb-run -a -s "-screen 0 1280x1600x24" bench_analise BIN [vezes]
// BIN: a run tree's bin/ with olpa, olpa-analisa and olpalib/. Needs xdotool.
#include "janela_x.h"

#include "analise.h"

using medidas::agora_ms;
using medidas::mediana;
using namespace janela_x;

namespace {

// The analyser the window started, and its peak memory.
long memoria_kb(pid_t janela) {
  gchar *filhos = nullptr;
  g_file_get_contents(
      ("/proc/" + std::to_string(janela) + "/task/" + std::to_string(janela) + "/children").c_str(),
      &filhos, nullptr, nullptr);
  long kb = -1;
  for (gchar **p = g_strsplit(filhos ? filhos : "", " ", -1), **q = p; *q; q++) {
    gchar *status = nullptr;
    if (**q &&
        g_file_get_contents(("/proc/" + std::string(*q) + "/status").c_str(), &status, nullptr,
                            nullptr) &&
        strstr(status, "Name:\tolpa-analisa"))
      kb = atol(strstr(status, "VmHWM:") + 6);
    g_free(status);
    if (!q[1])
      g_strfreev(p);
  }
  g_free(filhos);
  return kb;
}

// The warning's underline on the screen: its yellow (olpa_analise.cpp),
// blended by the smoothing of the wave into the background.
int amarelos(const Pixels &p) {
  int n = 0;
  for (uint32_t c : p) {
    const int r = (c >> 16) & 0xff, g = (c >> 8) & 0xff, b = c & 0xff;
    n += r > 200 && g > 150 && r - b > 90;
  }
  return n;
}

std::string programa(int linhas) {
  std::string t = "int main(void) {\n  int x = 1;\n  inicia();\n  if (x == 3)\n    traco(2);\n";
  for (int i = 5; i < linhas - 3; i++)
    t += "  linha(" + std::to_string(i % 640) + ", 0, 640, " + std::to_string(i % 480) + ");\n";
  return t + "  termina();\n  return 0;\n}\n";
}

// The cursor just after the first '=' of line 4: a click past the end of
// that line (the editor's lines are 17 pixels high, below a margin of 8),
// then four characters back.
void cursor_no_igual(const Janela &j) {
  const int y = j.cy + EDITOR.y + 8 + 17 * 3 + 8, xx = j.cx + EDITOR.x + EDITOR.largura - 30;
  XTestFakeMotionEvent(x, -1, xx, y, 0);
  XTestFakeButtonEvent(x, 1, True, 0);
  XTestFakeButtonEvent(x, 1, False, 0);
  XTestFakeMotionEvent(x, -1, DisplayWidth(x, DefaultScreen(x)) - 10, 10, 0);
  for (int i = 0; i < 4; i++)
    aperta(XK_Left);
  XSync(x, False);
  g_usleep(300000);
}

void mede(Janela &j, const char *nome, int linhas, int vezes) {
  abre_programa(j, nome);
  // Abrir asks before it replaces changes not saved: "Sim".
  executa("d=$(xdotool search --onlyvisible --pid " + std::to_string(j.pid) +
          " --name Confirma | head -1) && [ -n \"$d\" ] && xdotool windowfocus --sync $d && "
          "xdotool key alt+s");
  g_usleep(2000000); // the first analysis of the text
  std::vector<double> eco, sublinhado;
  for (int i = 0; i < vezes; i++) {
    foca(j);
    cursor_no_igual(j);
    descarta_eventos();
    const Pixels antes = captura(j, EDITOR);
    const double t0 = agora_ms();
    aperta(XK_BackSpace);
    const double t1 = quando_desenha(j, EDITOR, 5000, [&] { return captura(j, EDITOR) != antes; });
    const double t2 =
        quando_desenha(j, EDITOR, 10000, [&] { return amarelos(captura(j, EDITOR)) > 10; });
    if (t1 < 0 || t2 < 0) {
      fprintf(stderr, "no underline on the screen\n");
      exit(1);
    }
    eco.push_back(t1 - t0);
    sublinhado.push_back(t2 - t0);
    aperta(XK_equal); // mended again
    quando_desenha(j, EDITOR, 10000, [&] { return amarelos(captura(j, EDITOR)) == 0; });
    g_usleep(300000);
  }
  printf("%-6s (%4d lines): key echoed %.0f ms, underline on screen %.0f ms (median of %d; goal "
         "<= 600 ms, the 500 ms pause included)\n",
         nome, linhas, mediana(eco), mediana(sublinhado), vezes);
}

// The analyser's own time for one text: kept (a reparse) against a new
// process each time.
void mede_servidor(const std::string &bin, int vezes) {
  setenv("OLPA_ANALISA", (bin + "/olpa-analisa").c_str(), 1);
  for (int linhas : {15, 1000}) {
    std::vector<double> mantido, novo;
    for (int i = 0; i < vezes; i++) {
      // A different text each time, as typing makes it.
      const std::string t = programa(linhas) + "// " + std::to_string(i) + "\n";
      AnaliseResultado r;
      double t0 = agora_ms();
      analise_espera(t, 60000, &r);
      mantido.push_back(agora_ms() - t0);
      analise_encerra();
      t0 = agora_ms();
      analise_espera(t + " ", 60000, &r);
      novo.push_back(agora_ms() - t0);
    }
    printf("analysis of %4d lines: %.1f ms by the analyser kept, %.1f ms by a new one "
           "(medians of %d, interleaved)\n",
           linhas, mediana(mantido), mediana(novo), vezes);
  }
  analise_encerra();
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2 || !conecta()) {
    fprintf(stderr, "usage: bench_analise BIN [vezes] (in an X server with XTest and DAMAGE)\n");
    return 2;
  }
  gchar *absoluto = g_canonicalize_filename(argv[1], nullptr);
  const std::string bin = absoluto;
  g_free(absoluto);
  const int vezes = argc > 2 ? atoi(argv[2]) : 7;
  mede_servidor(bin, vezes);
  setenv("OLPA_ANALISA", (bin + "/olpa-analisa").c_str(), 1);
  Janela j = abre(bin, "olpa", 0, {{"pequeno", programa(15)}, {"grande", programa(1000)}});
  mede(j, "pequeno", 15, vezes);
  printf("analyser memory (peak, small program): %ld KiB\n", memoria_kb(j.pid));
  mede(j, "grande", 1000, vezes);
  printf("analyser memory (peak, after the 1,000-line program): %ld KiB\n", memoria_kb(j.pid));
  fecha(j);
  return 0;
}
