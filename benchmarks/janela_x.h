// SPDX-License-Identifier: GPL-3.0-or-later
// The real window driven as a person would (XTest) and watched on the
// screen (the X server's DAMAGE reports and its pixels): what bench_janela
// and bench_memoria share. Each window runs in a run tree of its own.
#pragma once

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
#include <utility>
#include <vector>

#include <poll.h>
#include <sys/wait.h>

namespace janela_x {

using medidas::agora_ms;

inline Display *x;
inline Window raiz_x;
inline int evento_damage;

using Programas = std::vector<std::pair<std::string, std::string>>;
inline std::string piso_janela; // the floor window's program (bench_janela's)

// Opens the display; false without the extensions needed.
inline bool conecta() {
  x = XOpenDisplay(nullptr);
  int erro_base = 0, maior = 0, menor = 0;
  if (!x || !XDamageQueryExtension(x, &evento_damage, &erro_base) ||
      !XTestQueryExtension(x, &erro_base, &erro_base, &maior, &menor))
    return false;
  raiz_x = DefaultRootWindow(x);
  return true;
}

struct Retangulo {
  int x, y, largura, altura;
};
// Content coordinates (inside the window's border).
inline constexpr int BOTAO_LARGURA = (OLPA_COLUNA_LARGURA - 4 * OLPA_ESPACO) / 5;
inline Retangulo botao(int i) {
  return {i * (BOTAO_LARGURA + OLPA_ESPACO), 0, BOTAO_LARGURA, OLPA_BT_ALTURA};
}
inline constexpr Retangulo IMAGEM{OLPA_IMAGEM_X, 0, OLPA_IMAGEM_LARGURA, OLPA_IMAGEM_ALTURA};
inline constexpr Retangulo EDITOR{0, OLPA_EDITOR_Y, OLPA_COLUNA_LARGURA, OLPA_EDITOR_ALTURA};
inline constexpr int RODAR = 3, LIMPAR = 4;

// ------------------------------------------------------------ one window

struct Janela {
  std::string nome, raiz;
  pid_t pid = -1;
  Window janela = 0;
  Damage damage = 0;
  int cx = 0, cy = 0; // content origin on the screen
};

inline void executa(const std::string &comando) {
  if (system(comando.c_str()) != 0)
    fprintf(stderr, "failed: %s\n", comando.c_str());
}

inline Window janela_do_processo(pid_t pid) {
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

// `programa` empty: olpa from `bin`; otherwise the floor window running
// that program (see piso_janela.cpp).
// A window with `programas` (name, text) in its ../exemplos.
inline Janela abre(const std::string &bin, const std::string &nome, int y,
                   const Programas &programas, const std::string &programa = "") {
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
  for (const auto &[p, texto] : programas)
    g_file_set_contents((j.raiz + "/exemplos/" + p + ".olp").c_str(), texto.c_str(), -1, nullptr);
  j.pid = fork();
  if (j.pid == 0) {
    if (chdir((j.raiz + "/bin").c_str()) != 0)
      _exit(127);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("XDG_CONFIG_HOME", (j.raiz + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (j.raiz + "/dados").c_str(), 1); // recovery copies
    const int nulo = open("/dev/null", O_WRONLY);
    dup2(nulo, STDOUT_FILENO);
    dup2(nulo, STDERR_FILENO);
    if (programa.empty())
      execl("./olpa", "olpa", nullptr);
    else
      execl(piso_janela.c_str(), "piso_janela", ("../exemplos/" + programa + ".olp").c_str(),
            nullptr);
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

inline void fecha(Janela &j) {
  kill(j.pid, SIGKILL);
  waitpid(j.pid, nullptr, 0);
  executa("rm -rf '" + j.raiz + "'");
}

// ------------------------------------------------------------ the screen

using Pixels = std::vector<uint32_t>;

inline Pixels captura(const Janela &j, Retangulo r) {
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
inline Pixels escuros(Pixels p) {
  for (uint32_t &c : p) {
    const unsigned luz = ((c >> 16) & 0xff) + ((c >> 8) & 0xff) + (c & 0xff);
    c = luz < 3 * 110;
  }
  return p;
}

inline bool dentro(const XDamageNotifyEvent &e, Retangulo r) {
  const int ex = e.area.x - OLPA_BORDA, ey = e.area.y - OLPA_BORDA;
  return ex < r.x + r.largura && ex + e.area.width > r.x && ey < r.y + r.altura &&
         ey + e.area.height > r.y;
}

// The next event read: whether it reports a drawing inside `r` of `j`.
inline bool le_desenho(const Janela &j, Retangulo r) {
  XEvent e;
  XNextEvent(x, &e);
  if (e.type != evento_damage + XDamageNotify)
    return false;
  const auto &d = reinterpret_cast<XDamageNotifyEvent &>(e);
  XDamageSubtract(x, d.damage, None, None);
  return d.drawable == j.janela && dentro(d, r);
}

// Calls `ao_desenhar(time)` for each drawing on the screen inside `r` of `j`
// until it returns true or `prazo_ms` passes; false then.
inline bool observa(const Janela &j, Retangulo r, double prazo_ms,
                    const std::function<bool(double)> &ao_desenhar) {
  const double fim = agora_ms() + prazo_ms;
  while (agora_ms() < fim) {
    while (XPending(x))
      if (le_desenho(j, r) && ao_desenhar(agora_ms()))
        return true;
    pollfd pf{ConnectionNumber(x), POLLIN, 0};
    poll(&pf, 1, 2);
  }
  return false;
}

// Waits until `feito()` holds, checking whenever `r` is drawn (and every 50 ms).
inline double ate(const Janela &j, Retangulo r, double prazo_ms,
                  const std::function<bool()> &feito) {
  const double fim = agora_ms() + prazo_ms;
  while (agora_ms() < fim) {
    if (feito())
      return agora_ms();
    observa(j, r, 50, [&](double) { return feito(); });
  }
  return -1;
}

// The moment `r` of `j` was drawn so that `feito()` holds: when the X
// server's report of that drawing arrived, the checking itself not counted
// (all the reports that arrived together are read before one check). -1
// after `prazo_ms`. Also checked every 200 ms without a report.
inline double quando_desenha(const Janela &j, Retangulo r, double prazo_ms,
                             const std::function<bool()> &feito) {
  const double fim = agora_ms() + prazo_ms;
  while (agora_ms() < fim) {
    double chegou = -1;
    while (XPending(x))
      if (le_desenho(j, r))
        chegou = agora_ms();
    if (chegou >= 0 && feito())
      return chegou;
    pollfd pf{ConnectionNumber(x), POLLIN, 0};
    if (poll(&pf, 1, 200) == 0 && feito())
      return agora_ms();
  }
  return -1;
}

inline void descarta_eventos() {
  XSync(x, False);
  while (XPending(x)) {
    XEvent e;
    XNextEvent(x, &e);
  }
}

// ------------------------------------------------------------ the person

// A click, and the pointer away at once: a pointer left over a button would
// bring its tooltip over the picture.
inline void clica(const Janela &j, Retangulo r) {
  XTestFakeMotionEvent(x, -1, j.cx + r.x + r.largura / 2, j.cy + r.y + r.altura / 2, 0);
  XTestFakeButtonEvent(x, 1, True, 0);
  XTestFakeButtonEvent(x, 1, False, 0);
  XTestFakeMotionEvent(x, -1, DisplayWidth(x, DefaultScreen(x)) - 10, 10, 0);
  XFlush(x);
}

inline void aperta(KeySym tecla) {
  const KeyCode codigo = XKeysymToKeycode(x, tecla);
  XTestFakeKeyEvent(x, codigo, True, 0);
  XTestFakeKeyEvent(x, codigo, False, 0);
  XFlush(x);
}

inline void foca(const Janela &j) {
  XSetInputFocus(x, j.janela, RevertToParent, CurrentTime);
  XSync(x, False);
  g_usleep(100000);
}

// The program ../exemplos/NOME.olp into the editor, through "Abrir" (the
// chooser searches for what is typed: no name may be part of another).
inline void abre_programa(const Janela &j, const char *nome) {
  foca(j);
  executa("xdotool key ctrl+o && sleep 1.2 && d=$(xdotool search --onlyvisible --pid " +
          std::to_string(j.pid) + " --name Abrir | head -1) && xdotool windowfocus --sync $d " +
          "&& xdotool type --delay 10 " + nome + ".olp && sleep 0.3 && xdotool key Return");
  g_usleep(1000000);
  descarta_eventos();
}

inline bool vivo(pid_t pid) {
  return pid > 0 && kill(pid, 0) == 0;
}

// The child the window runs a program in: its newest child while it runs
// (the first may be the zygote children are made from).
inline pid_t filho_de(pid_t pid) {
  const std::string filhos = [&] {
    gchar *t = nullptr;
    g_file_get_contents(
        ("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children").c_str(), &t,
        nullptr, nullptr);
    std::string s = t ? t : "";
    g_free(t);
    return s;
  }();
  const size_t ultimo = filhos.find_last_not_of(' ');
  const size_t inicio = ultimo == std::string::npos ? 0 : filhos.find_last_of(' ', ultimo);
  return static_cast<pid_t>(atoi(filhos.c_str() + (inicio == std::string::npos ? 0 : inicio + 1)));
}

} // namespace janela_x
