// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the benchmarks: a temporary run tree, medians,
// generated programs, and reading this process's own figures.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/resource.h>
#include <unistd.h>

#include "olpagfx.h"
#include "olpaparser.h"
#include "olpa_comum.h"
#include "olpaparser_medidas.h"

namespace medidas {

// Trace lines of the runner and the drawing library would drown the figures.
inline void sem_rastros() {
  parser_define_trace(open("/dev/null", O_WRONLY));
  olpa_gfx_define_trace([](const char *, size_t) {});
}

inline double agora_ms() {
  return olpa_agora_ms();
}

inline double mediana(std::vector<double> v) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// How far the median of `v` may be off: the half-width of its 95 %
// confidence interval (by order statistics), in percent of it.
inline std::string incerteza(std::vector<double> v) {
  if (v.size() < 6)
    return "too few for a spread";
  std::sort(v.begin(), v.end());
  const double n = static_cast<double>(v.size()), meio = 0.98 * std::sqrt(n);
  const size_t baixo = static_cast<size_t>(std::max(0.0, n / 2 - meio));
  const size_t alto = std::min(v.size() - 1, static_cast<size_t>(n / 2 + meio));
  const double m = mediana(v);
  char texto[48];
  snprintf(texto, sizeof texto, "+-%.1f %%", m > 0 ? 50.0 * (v[alto] - v[baixo]) / m : 0.0);
  return texto;
}

// A run tree of its own under /tmp (bin/olpalib/init.png, telas/,
// exemplos/); the working directory is its bin while it lives.
struct Raiz {
  std::string raiz;
  explicit Raiz(const char *init_png) {
    char modelo[] = "/tmp/olpa-medidas-XXXXXX";
    if (!g_mkdtemp(modelo)) {
      perror("mkdtemp");
      exit(2);
    }
    raiz = modelo;
    g_mkdir_with_parents((raiz + "/bin/olpalib").c_str(), 0755);
    g_mkdir_with_parents((raiz + "/telas").c_str(), 0755);
    g_mkdir_with_parents((raiz + "/exemplos").c_str(), 0755);
    gchar *conteudo = nullptr;
    gsize tamanho = 0;
    if (g_file_get_contents(init_png, &conteudo, &tamanho, nullptr))
      g_file_set_contents((raiz + "/bin/olpalib/init.png").c_str(), conteudo,
                          static_cast<gssize>(tamanho), nullptr);
    g_free(conteudo);
    if (chdir((raiz + "/bin").c_str()) != 0) {
      perror("chdir");
      exit(2);
    }
  }
  ~Raiz() {
    if (chdir("/") == 0) {
      const std::string comando = "rm -rf '" + raiz + "'";
      if (system(comando.c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", raiz.c_str());
    }
  }
  Raiz(const Raiz &) = delete;
  Raiz &operator=(const Raiz &) = delete;
};

// The small program: one thick diagonal line.
inline const char PEQUENO[] = "int main(void) {\n"
                              "  inicia();\n"
                              "  cor(255, 0, 0);\n"
                              "  traco(4);\n"
                              "  linha(0, 0, 640, 480);\n"
                              "  termina();\n"
                              "  return 0;\n"
                              "}\n";

// A program that draws `linhas` short red lines across the canvas, after
// inicia and cor.
inline std::string programa_de_linhas(int linhas) {
  return "int main(void) {\n"
         "  int i, x, y;\n"
         "  inicia();\n"
         "  cor(255, 0, 0);\n"
         "  for (i = 0; i < " +
         std::to_string(linhas) +
         "; i++) {\n"
         "    x = i % 630;\n"
         "    y = (i / 630 * 7) % 470;\n"
         "    linha(x, y, x + 8, y + 8);\n"
         "  }\n"
         "  return 0;\n"
         "}\n";
}

// 100,000 calls of learner functions, one in four a stroke: the pen moved,
// turned, coloured.
inline const char MISTURA[] = "int main(void) {\n"
                              "  int i;\n"
                              "  inicia();\n"
                              "  origem(320, 240);\n"
                              "  for (i = 0; i < 24999; i++) {\n"
                              "    cor(i % 256, 128, 255 - i % 256);\n"
                              "    anda_ate(i % 200, 0);\n"
                              "    linha_ate(6, 6);\n"
                              "    rotaciona(7);\n"
                              "  }\n"
                              "  termina();\n"
                              "  return 0;\n"
                              "}\n";

// A picture program with `linhas` lines of drawing, one call per line.
inline std::string programa(int linhas) {
  std::string p = "int main(void) {\n  inicia();\n  cor(255, 0, 0);\n";
  // Short strokes, so drawing stays a small part of a large program's time.
  for (int i = 0; i < linhas; i++) {
    const int x = i % 630, y = (i / 630 * 7) % 470;
    p += "  linha(" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(x + 8) +
         ", " + std::to_string(y + 8) + ");\n";
  }
  p += "  termina();\n  return 0;\n}\n";
  return p;
}

// VmRSS of this process, in kB.
inline long rss_kb() {
  long kb = -1;
  if (FILE *f = fopen("/proc/self/status", "r")) {
    char linha[256];
    while (fgets(linha, sizeof linha, f))
      if (sscanf(linha, "VmRSS: %ld", &kb) == 1)
        break;
    fclose(f);
  }
  return kb;
}

// The runner and the window print trace lines and compiler warnings on
// standard output: figures go to a copy of it, the rest to /dev/null.
inline FILE *separa_figuras() {
  fflush(stdout);
  FILE *figuras = fdopen(dup(STDOUT_FILENO), "w");
  const int nulo = open("/dev/null", O_WRONLY);
  dup2(nulo, STDOUT_FILENO);
  close(nulo);
  setvbuf(figuras, nullptr, _IOLBF, 0);
  return figuras;
}

inline rusage uso(int quem) {
  rusage r{};
  getrusage(quem, &r);
  return r;
}

} // namespace medidas
