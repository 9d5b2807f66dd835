// SPDX-License-Identifier: GPL-3.0-or-later
// The real window (the olpa binary), driven as a person would (XTest) and
// watched on the screen (the X server's DAMAGE reports and its pixels):
//   - "Parar" clicked during an endless program -> the program's process gone
//     and the button reading "Rodar" again on screen;
//   - during a run that draws 100,000 lines, a key press -> the letter drawn
//     in the editor, and the frames a second the image view shows;
//   - "Rodar" clicked -> the final picture on screen, for the small and the
//     1,000-line program, for the binary before the live runs and after,
//     side by side on the screen, interleaved, in the same run.
//
// Usage (benchmarks/antes_e_depois.sh builds the "before" binary and runs it):
//   xvfb-run -a -s "-screen 0 1280x1600x24" bench_janela ANTES_BIN DEPOIS_BIN [escala]
// Each BIN is a run tree's bin/ with olpa and olpalib/. Needs xdotool (to
// open the programs through "Abrir").
#include "janela_x.h"

using medidas::agora_ms;
using medidas::mediana;
using namespace janela_x;

namespace {

FILE *figuras = stdout;
Programas programas; // what every window finds in its ../exemplos

const char SEM_FIM[] = "int main(void) {\n"
                       "  int i = 0;\n"
                       "  inicia();\n"
                       "  for (;;) {\n"
                       "    linha(i % 640, 0, 640 - i % 640, 480);\n"
                       "    i++;\n"
                       "  }\n"
                       "}\n";
// The last line is a comment, for the keys pressed during the run.
const char CEM_MIL[] = "int main(void) {\n"
                       "  int i;\n"
                       "  inicia();\n"
                       "  for (i = 0; i < 100000; i++) {\n"
                       "    cor(i % 256, (i / 256) % 256, 200);\n"
                       "    linha((i * 7) % 640, (i * 13) % 480, (i * 29) % 640, (i * 31) % 480);\n"
                       "  }\n"
                       "  termina();\n"
                       "  return 0;\n"
                       "}\n"
                       "// ";

// ------------------------------------------------------------ the figures

void mede_parar(Janela &j, int vezes) {
  fprintf(figuras, "\n== \"Parar\" clicked during an endless program (%d times) ==\n", vezes);
  abre_programa(j, "sem_fim");
  const Pixels rodar = escuros(captura(j, botao(RODAR)));
  std::vector<double> parado, botao_de_volta, tudo;
  for (int i = 0; i < vezes; i++) {
    foca(j);
    aperta(XK_F5);
    if (ate(j, botao(RODAR), 5000, [&] { return escuros(captura(j, botao(RODAR))) != rodar; }) <
        0) {
      fprintf(stderr, "the button never read \"Parar\"\n");
      exit(1);
    }
    g_usleep(400000);
    const pid_t filho = filho_de(j.pid);
    descarta_eventos();
    const double t = agora_ms();
    clica(j, botao(RODAR));
    // The process looked for every millisecond; the button whenever it is drawn.
    double t_parado = -1, t_botao = -1;
    for (const double limite = t + 5000; (t_parado < 0 || t_botao < 0) && agora_ms() < limite;) {
      if (t_parado < 0 && !vivo(filho))
        t_parado = agora_ms();
      observa(j, botao(RODAR), 1, [&](double quando) {
        if (t_botao < 0 && escuros(captura(j, botao(RODAR))) == rodar)
          t_botao = quando;
        return t_botao >= 0;
      });
    }
    if (t_parado < 0 || t_botao < 0) {
      fprintf(stderr, "the program was not stopped\n");
      exit(1);
    }
    parado.push_back(t_parado - t);
    botao_de_volta.push_back(t_botao - t);
    tudo.push_back(std::max(t_parado, t_botao) - t);
    g_usleep(300000);
  }
  fprintf(figuras, "  click -> program's process gone        %7.1f ms (median)\n", mediana(parado));
  fprintf(figuras, "  click -> \"Rodar\" on screen again       %7.1f ms (median)\n",
          mediana(botao_de_volta));
  const double m = mediana(tudo);
  fprintf(figuras, "  both                                    %7.1f ms (median), %.1f ms worst\n",
          m, *std::max_element(tudo.begin(), tudo.end()));
  fprintf(figuras, "  goal < 100 ms: %s (ratio to goal %.2f)\n", m < 100 ? "met" : "NOT met",
          m / 100);
}

// Key presses into the editor's last line, a letter and its deletion in turn:
// press -> the editor drawn changed.
double eco(const Janela &j, bool *letra) {
  const Pixels antes = captura(j, EDITOR);
  descarta_eventos();
  const double t = agora_ms();
  aperta(*letra ? XK_w : XK_BackSpace);
  *letra = !*letra;
  const double visto = ate(j, EDITOR, 3000, [&] { return captura(j, EDITOR) != antes; });
  return visto < 0 ? 3000 : visto - t;
}

void mede_durante_desenho(Janela &j, int rodadas) {
  fprintf(figuras, "\n== During a run drawing 100,000 lines (%d runs) ==\n", rodadas);
  abre_programa(j, "longo");
  const Pixels rodar = escuros(captura(j, botao(RODAR)));
  // The cursor to the end of the comment on the last line.
  clica(j, {EDITOR.x + 200, EDITOR.y + 250, 1, 1});
  XTestFakeKeyEvent(x, XKeysymToKeycode(x, XK_Control_L), True, 0);
  aperta(XK_End);
  XTestFakeKeyEvent(x, XKeysymToKeycode(x, XK_Control_L), False, 0);
  g_usleep(300000);
  bool letra = true;
  std::vector<double> ocioso, rodando, fps;
  for (int i = 0; i < 10; i++) {
    ocioso.push_back(eco(j, &letra));
    g_usleep(100000);
  }
  for (int r = 0; r < rodadas; r++) {
    descarta_eventos();
    aperta(XK_F5);
    ate(j, botao(RODAR), 5000, [&] { return escuros(captura(j, botao(RODAR))) != rodar; });
    const double inicio = agora_ms();
    // Frames: drawings of the image view more than 4 ms apart.
    int quadros = 0;
    double ultimo = 0, fim_quadros = inicio;
    auto conta = [&](double t) {
      if (t - ultimo > 4)
        quadros++;
      ultimo = fim_quadros = t;
      return false;
    };
    bool acabou = false;
    while (!acabou) {
      observa(j, IMAGEM, 250, conta);
      acabou = escuros(captura(j, botao(RODAR))) == rodar;
      if (!acabou) {
        // A key during the run; the frames drawn meanwhile count too.
        const Pixels antes = captura(j, EDITOR);
        const double t = agora_ms();
        aperta(letra ? XK_w : XK_BackSpace);
        letra = !letra;
        double visto = -1;
        const double limite = t + 3000;
        while (visto < 0 && agora_ms() < limite) {
          observa(j, EDITOR, 5, [](double) { return true; });
          observa(j, IMAGEM, 0, conta);
          if (captura(j, EDITOR) != antes)
            visto = agora_ms();
        }
        rodando.push_back(visto < 0 ? 3000 : visto - t);
      }
    }
    if (fim_quadros - inicio > 500)
      fps.push_back(1000.0 * (quadros - 1) / (fim_quadros - inicio));
    g_usleep(500000);
  }
  const double m = mediana(rodando), o = mediana(ocioso);
  fprintf(figuras, "  key -> letter on screen, idle window     %7.1f ms (median)\n", o);
  fprintf(figuras,
          "  key -> letter on screen, during the run  %7.1f ms (median), %.1f worst, %zu keys\n", m,
          rodando.empty() ? 0 : *std::max_element(rodando.begin(), rodando.end()), rodando.size());
  fprintf(figuras, "  ratio during/idle %.2fx; goal < 50 ms: %s\n", m / o,
          m < 50 ? "met" : "NOT met");
  const double q = mediana(fps);
  fprintf(figuras, "  image view frames a second during the run %6.1f (median of %zu runs)\n", q,
          fps.size());
  fprintf(figuras, "  goal >= 30: %s\n", q >= 30 ? "met" : "NOT met");
}

// "Rodar" clicked -> the picture the program draws on screen: both binaries
// and the floor window in turn.
void mede_imagem(Janela *antes, Janela *depois, const std::string &bin, const char *programa,
                 const char *titulo, int vezes) {
  fprintf(figuras, "\n== \"Rodar\" clicked -> picture on screen: %s (%d times each) ==\n", titulo,
          vezes);
  Janela piso = abre(bin, "floor", 2 * (OLPA_JANELA_ALTURA + 20), programas, programa);
  Janela *janelas[3] = {antes, depois, &piso};
  Pixels inicial[3], final_[3];
  for (int k = 0; k < 3; k++) {
    Janela &j = *janelas[k];
    if (k < 2)
      abre_programa(j, programa);
    inicial[k] = captura(j, IMAGEM);
    clica(j, botao(RODAR));
    g_usleep(2500000);
    final_[k] = captura(j, IMAGEM);
    if (final_[k] == inicial[k]) {
      executa("import -window root /tmp/olpa-bench-janela-falha.png");
      fprintf(stderr, "%s: the program drew nothing (screen: /tmp/olpa-bench-janela-falha.png)\n",
              j.nome.c_str());
      exit(1);
    }
  }
  std::vector<double> tempos[3];
  for (int i = 0; i < vezes; i++)
    for (int k = 0; k < 3; k++) {
      Janela &j = *janelas[k];
      clica(j, botao(LIMPAR));
      ate(j, IMAGEM, 5000, [&] { return captura(j, IMAGEM) == inicial[k]; });
      g_usleep(500000); // both windows ready the next run's child when idle
      descarta_eventos();
      const double t = agora_ms();
      clica(j, botao(RODAR));
      const double visto =
          quando_desenha(j, IMAGEM, 10000, [&] { return captura(j, IMAGEM) == final_[k]; });
      if (visto < 0) {
        fprintf(stderr, "%s: the picture did not show\n", j.nome.c_str());
        exit(1);
      }
      tempos[k].push_back(visto - t);
    }
  fecha(piso);
  const double a = mediana(tempos[0]), d = mediana(tempos[1]), p = mediana(tempos[2]);
  fprintf(figuras, "  floor (in-process, same layout)  %7.1f ms (median, %s)\n", p,
          medidas::incerteza(tempos[2]).c_str());
  fprintf(figuras,
          "  before                           %7.1f ms (median, %s)   ratio to floor %.2fx\n", a,
          medidas::incerteza(tempos[0]).c_str(), a / p);
  fprintf(figuras,
          "  after                            %7.1f ms (median, %s)   ratio to floor %.2fx\n", d,
          medidas::incerteza(tempos[1]).c_str(), d / p);
  fprintf(figuras, "  ratio after/before %.2fx; goal after <= 1.5x floor: %s\n", d / a,
          d <= 1.5 * p ? "met" : "NOT met");
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: bench_janela BEFORE_BIN AFTER_BIN [scale]\n");
    return 2;
  }
  const double escala = argc > 3 ? atof(argv[3]) : 1.0;
  auto vezes = [&](int n) { return std::max(1, static_cast<int>(n * escala)); };
  if (!conecta()) {
    fprintf(stderr, "needs an X display with DAMAGE and XTEST\n");
    return 1;
  }
  piso_janela = OLPA_PISO_JANELA;
  programas = {{"pequeno", medidas::PEQUENO},
               {"mil_linhas", medidas::programa(1000)},
               {"sem_fim", SEM_FIM},
               {"longo", CEM_MIL}};
  Janela antes = abre(argv[1], "before", 0, programas);
  Janela depois = abre(argv[2], "after", OLPA_JANELA_ALTURA + 20, programas);

  mede_imagem(&antes, &depois, argv[2], "pequeno", "small program", vezes(40));
  mede_imagem(&antes, &depois, argv[2], "mil_linhas", "1,000-line program", vezes(30));
  fecha(antes);
  mede_parar(depois, vezes(15));
  mede_durante_desenho(depois, vezes(5));
  fecha(depois);
  return 0;
}
