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
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench_janela ANTES_BIN DEPOIS_BIN [escala]
// Each BIN is a run tree's bin/ with olpa and olpalib/. Needs xdotool (to
// open the programs through "Abrir").
#include "medidas.h"
#include "olpa_layout.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/wait.h>

using medidas::agora_ms;
using medidas::mediana;

namespace {

Display *x;
Window raiz_x;
int evento_damage;
FILE *figuras = stdout;

struct Retangulo {
  int x, y, largura, altura;
};
// Content coordinates (inside the window's border).
constexpr int BOTAO_LARGURA = (OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5;
Retangulo botao(int i) {
  return {i * (BOTAO_LARGURA + OLPA_ESPACO), 0, BOTAO_LARGURA, OLPA_BT_ALTURA};
}
constexpr Retangulo IMAGEM{OLPA_IMAGEM_X, 0, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA};
constexpr Retangulo EDITOR{0, OLPA_EDITOR_Y, OLPA_COLUNA_LARGURA, OLPA_EDITOR_ALTURA};
constexpr int RODAR = 3, LIMPAR = 4;

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

// ------------------------------------------------------------ one window

struct Janela {
  std::string nome, raiz;
  pid_t pid = -1;
  Window janela = 0;
  Damage damage = 0;
  int cx = 0, cy = 0; // content origin on the screen
};

void executa(const std::string &comando) {
  if (system(comando.c_str()) != 0)
    fprintf(stderr, "failed: %s\n", comando.c_str());
}

Window janela_do_processo(pid_t pid) {
  const Atom atomo_pid = XInternAtom(x, "_NET_WM_PID", False);
  Window r, pai, *filhos = nullptr;
  unsigned n = 0;
  Window achada = 0;
  if (!XQueryTree(x, raiz_x, &r, &pai, &filhos, &n))
    return 0;
  for (unsigned i = 0; i < n && !achada; i++) {
    Atom tipo;
    int formato;
    unsigned long itens, resto;
    unsigned char *dados = nullptr;
    XWindowAttributes atributos;
    if (XGetWindowProperty(x, filhos[i], atomo_pid, 0, 1, False, XA_CARDINAL, &tipo, &formato,
                           &itens, &resto, &dados) == Success &&
        dados && itens == 1 && *reinterpret_cast<unsigned long *>(dados) == (unsigned long)pid &&
        XGetWindowAttributes(x, filhos[i], &atributos) && atributos.map_state == IsViewable &&
        atributos.width > 900)
      achada = filhos[i];
    if (dados)
      XFree(dados);
  }
  if (filhos)
    XFree(filhos);
  return achada;
}

Janela abre(const std::string &bin, const std::string &nome, int y) {
  Janela j;
  j.nome = nome;
  char modelo[] = "/tmp/olpa-bench-janela-XXXXXX";
  j.raiz = g_mkdtemp(modelo);
  executa("mkdir -p '" + j.raiz + "/bin' '" + j.raiz + "/telas' '" + j.raiz + "/exemplos' '" +
          j.raiz + "/config/gtk-3.0' && cp '" + bin + "/olpa' '" + j.raiz + "/bin/' && cp -r '" +
          bin + "/olpalib' '" + j.raiz + "/bin/'");
  // No animations and no blinking cursor: what changes on the screen is the
  // window's answer, nothing else.
  g_file_set_contents((j.raiz + "/config/gtk-3.0/settings.ini").c_str(),
                      "[Settings]\ngtk-enable-animations=0\ngtk-cursor-blink=0\n", -1, nullptr);
  const std::pair<const char *, const char *> programas[] = {{"pequeno", medidas::PEQUENO},
                                                             {"mil_linhas", nullptr},
                                                             {"sem_fim", SEM_FIM},
                                                             {"longo", CEM_MIL}};
  for (const auto &[p, texto] : programas) {
    const std::string conteudo = texto ? texto : medidas::programa(1000);
    g_file_set_contents((j.raiz + "/exemplos/" + p + ".olp").c_str(), conteudo.c_str(), -1,
                        nullptr);
  }
  j.pid = fork();
  if (j.pid == 0) {
    if (chdir((j.raiz + "/bin").c_str()) != 0)
      _exit(127);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("XDG_CONFIG_HOME", (j.raiz + "/config").c_str(), 1);
    const int nulo = open("/dev/null", O_WRONLY);
    dup2(nulo, STDOUT_FILENO);
    dup2(nulo, STDERR_FILENO);
    execl("./olpa", "olpa", nullptr);
    _exit(127);
  }
  for (int i = 0; i < 200 && !j.janela; i++) {
    g_usleep(50000);
    j.janela = janela_do_processo(j.pid);
  }
  if (!j.janela) {
    fprintf(stderr, "the window of %s did not show\n", bin.c_str());
    exit(1);
  }
  XMoveWindow(x, j.janela, 0, y);
  XSync(x, False);
  g_usleep(500000);
  Window filho;
  XTranslateCoordinates(x, j.janela, raiz_x, 0, 0, &j.cx, &j.cy, &filho);
  j.cx += OLPA_BORDA;
  j.cy += OLPA_BORDA;
  j.damage = XDamageCreate(x, j.janela, XDamageReportRawRectangles);
  return j;
}

void fecha(Janela &j) {
  kill(j.pid, SIGKILL);
  waitpid(j.pid, nullptr, 0);
  executa("rm -rf '" + j.raiz + "'");
}

// ------------------------------------------------------------ the screen

using Pixels = std::vector<uint32_t>;

Pixels captura(const Janela &j, Retangulo r) {
  XImage *imagem =
      XGetImage(x, raiz_x, j.cx + r.x, j.cy + r.y, r.largura, r.altura, AllPlanes, ZPixmap);
  Pixels p(static_cast<size_t>(r.largura) * r.altura);
  for (int linha = 0; linha < r.altura; linha++)
    memcpy(&p[static_cast<size_t>(linha) * r.largura],
           imagem->data + linha * imagem->bytes_per_line, static_cast<size_t>(r.largura) * 4);
  XDestroyImage(imagem);
  for (uint32_t &c : p)
    c &= 0xffffff;
  return p;
}

// Dark pixels only: a label's text, whatever the button's shading.
Pixels escuros(Pixels p) {
  for (uint32_t &c : p) {
    const unsigned luz = ((c >> 16) & 0xff) + ((c >> 8) & 0xff) + (c & 0xff);
    c = luz < 3 * 110;
  }
  return p;
}

bool dentro(const XDamageNotifyEvent &e, Retangulo r) {
  const int ex = e.area.x - OLPA_BORDA, ey = e.area.y - OLPA_BORDA;
  return ex < r.x + r.largura && ex + e.area.width > r.x && ey < r.y + r.altura &&
         ey + e.area.height > r.y;
}

// Calls `ao_desenhar(time)` for each drawing on the screen inside `r` of `j`
// until it returns true or `prazo_ms` passes; false then.
bool observa(const Janela &j, Retangulo r, double prazo_ms,
             const std::function<bool(double)> &ao_desenhar) {
  const double fim = agora_ms() + prazo_ms;
  while (agora_ms() < fim) {
    while (XPending(x)) {
      XEvent e;
      XNextEvent(x, &e);
      if (e.type != evento_damage + XDamageNotify)
        continue;
      const auto &d = reinterpret_cast<XDamageNotifyEvent &>(e);
      XDamageSubtract(x, d.damage, None, None);
      if (d.drawable == j.janela && dentro(d, r) && ao_desenhar(agora_ms()))
        return true;
    }
    pollfd pf{ConnectionNumber(x), POLLIN, 0};
    poll(&pf, 1, 2);
  }
  return false;
}

// Waits until `feito()` holds, checking whenever `r` is drawn (and every 50 ms).
double ate(const Janela &j, Retangulo r, double prazo_ms, const std::function<bool()> &feito) {
  const double fim = agora_ms() + prazo_ms;
  while (agora_ms() < fim) {
    if (feito())
      return agora_ms();
    observa(j, r, 50, [&](double) { return feito(); });
  }
  return -1;
}

void descarta_eventos() {
  XSync(x, False);
  while (XPending(x)) {
    XEvent e;
    XNextEvent(x, &e);
  }
}

// ------------------------------------------------------------ the person

// A click, and the pointer away at once: a pointer left over a button would
// bring its tooltip over the picture.
void clica(const Janela &j, Retangulo r) {
  XTestFakeMotionEvent(x, -1, j.cx + r.x + r.largura / 2, j.cy + r.y + r.altura / 2, 0);
  XTestFakeButtonEvent(x, 1, True, 0);
  XTestFakeButtonEvent(x, 1, False, 0);
  XTestFakeMotionEvent(x, -1, DisplayWidth(x, DefaultScreen(x)) - 10, 10, 0);
  XFlush(x);
}

void aperta(KeySym tecla) {
  const KeyCode codigo = XKeysymToKeycode(x, tecla);
  XTestFakeKeyEvent(x, codigo, True, 0);
  XTestFakeKeyEvent(x, codigo, False, 0);
  XFlush(x);
}

void foca(const Janela &j) {
  XSetInputFocus(x, j.janela, RevertToParent, CurrentTime);
  XSync(x, False);
  g_usleep(100000);
}

// The program ../exemplos/NOME.olp into the editor, through "Abrir" (the
// chooser searches for what is typed: no name may be part of another).
void abre_programa(const Janela &j, const char *nome) {
  foca(j);
  executa("xdotool key ctrl+o && sleep 1.2 && d=$(xdotool search --onlyvisible --pid " +
          std::to_string(j.pid) + " --name Abrir | head -1) && xdotool windowfocus --sync $d " +
          "&& xdotool type --delay 10 " + nome + ".olp && sleep 0.3 && xdotool key Return");
  g_usleep(1000000);
  descarta_eventos();
}

bool vivo(pid_t pid) {
  return pid > 0 && kill(pid, 0) == 0;
}

// The child the window runs a program in: its only child while it runs.
pid_t filho_de(pid_t pid) {
  const std::string filhos = [&] {
    gchar *t = nullptr;
    g_file_get_contents(
        ("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children").c_str(), &t,
        nullptr, nullptr);
    std::string s = t ? t : "";
    g_free(t);
    return s;
  }();
  return static_cast<pid_t>(atoi(filhos.c_str()));
}

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

// "Rodar" clicked -> the picture the program draws on screen, both binaries
// in turn.
void mede_imagem(Janela *antes, Janela *depois, const char *programa, const char *titulo,
                 int vezes) {
  fprintf(figuras, "\n== \"Rodar\" clicked -> picture on screen: %s (%d times each) ==\n", titulo,
          vezes);
  Janela *janelas[2] = {antes, depois};
  Pixels inicial[2], final_[2];
  for (int k = 0; k < 2; k++) {
    Janela &j = *janelas[k];
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
  std::vector<double> tempos[2];
  for (int i = 0; i < vezes; i++)
    for (int k = 0; k < 2; k++) {
      Janela &j = *janelas[k];
      clica(j, botao(LIMPAR));
      ate(j, IMAGEM, 5000, [&] { return captura(j, IMAGEM) == inicial[k]; });
      g_usleep(500000); // both windows ready the next run's child when idle
      descarta_eventos();
      const double t = agora_ms();
      clica(j, botao(RODAR));
      const double visto = ate(j, IMAGEM, 10000, [&] { return captura(j, IMAGEM) == final_[k]; });
      if (visto < 0) {
        fprintf(stderr, "%s: the picture did not show\n", j.nome.c_str());
        exit(1);
      }
      tempos[k].push_back(visto - t);
    }
  const double a = mediana(tempos[0]), d = mediana(tempos[1]);
  fprintf(figuras, "  before (%s)  %7.1f ms (median)\n", antes->nome.c_str(), a);
  fprintf(figuras, "  after  (%s)  %7.1f ms (median)\n", depois->nome.c_str(), d);
  fprintf(figuras, "  ratio after/before %.2fx\n", d / a);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: bench_janela BEFORE_BIN AFTER_BIN [scale]\n");
    return 2;
  }
  const double escala = argc > 3 ? atof(argv[3]) : 1.0;
  auto vezes = [&](int n) { return std::max(1, static_cast<int>(n * escala)); };
  x = XOpenDisplay(nullptr);
  int erro_base = 0, maior = 0, menor = 0;
  if (!x || !XDamageQueryExtension(x, &evento_damage, &erro_base) ||
      !XTestQueryExtension(x, &erro_base, &erro_base, &maior, &menor)) {
    fprintf(stderr, "needs an X display with DAMAGE and XTEST\n");
    return 1;
  }
  raiz_x = DefaultRootWindow(x);
  Janela antes = abre(argv[1], "before", 0);
  Janela depois = abre(argv[2], "after", OLPA_JANELA_ALTURA + 20);

  mede_imagem(&antes, &depois, "pequeno", "small program", vezes(20));
  mede_imagem(&antes, &depois, "mil_linhas", "1,000-line program", vezes(15));
  fecha(antes);
  mede_parar(depois, vezes(15));
  mede_durante_desenho(depois, vezes(5));
  fecha(depois);
  return 0;
}
