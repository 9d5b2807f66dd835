// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing library offered to learners' programs: one 640 x 480 canvas,
// a pen, colour and opacity, and text for the console. GTK-free: the runner
// and the tests link it without a display.
#pragma once

#include "olpa_comum.h"

#include <cairo.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// --- functions learners' programs call (bound by name in the runner) ---
void inicia(void);
void inicia_arquivo(const char *nome);
void grava_tela(const char *nome);
void termina(void);
void escreve_console(const char *texto);
void espera(int milissegundos);

void anda(int dx, int dy);
void anda_ate(int x, int y);
void linha(int x1, int y1, int x2, int y2);
void linha_ate(int dx, int dy);
void retangulo(int x, int y, int largura, int altura); // never offered to programs
void traco(int largura);
void origem(int x, int y);
void escala(int sx, int sy);
void rotaciona(int graus);

void cor(int r, int g, int b);
void cor_e_opacidade(int r, int g, int b, int a);
void opacidade(int a);
float _olpa_normaliza(float valor, float maximo_destino, float maximo_origem);

// --- the library's globals ---
constexpr int OLPA_TELA_LARGURA = 640;
constexpr int OLPA_TELA_ALTURA = 480;
constexpr int OLPA_TELA_STRIDE = OLPA_TELA_LARGURA * 4;
constexpr int OLPA_TELA_BYTES = OLPA_TELA_STRIDE * OLPA_TELA_ALTURA;
constexpr int OLPA_CAMINHO_MAX = 256;
extern const char *const OLPA_ARQUIVO_PADRAO; // "../telas/imagem.png"
constexpr int OLPA_ESPERA_MAXIMA = 10000;     // milliseconds espera waits at most

struct OlpaSurfaceDeleter {
  void operator()(cairo_surface_t *s) const { cairo_surface_destroy(s); }
};
struct OlpaCairoDeleter {
  void operator()(cairo_t *c) const { cairo_destroy(c); }
};
using OlpaSurface = std::unique_ptr<cairo_surface_t, OlpaSurfaceDeleter>;
using OlpaCairo = std::unique_ptr<cairo_t, OlpaCairoDeleter>;

extern OlpaSurface olpa_tela;      // the canvas, while open
extern OlpaCairo olpa_tela_buffer; // its drawing context

// Per run: what the program did with the canvas, so that a run that shows
// no picture can say why; and the first colour or opacity out of range.
struct OlpaRelato {
  int chamou_inicia; // inicia or inicia_arquivo
  int chamou_termina;
  int desenhou;          // stroked a line on an open canvas
  int dentro;            // ... and one of them touched the canvas
  int estragada;         // ... or would have, but the canvas was broken (escala with a 0)
  int sem_tela;          // a line was drawn with no canvas open
  int manual_de_antes;   // manual saving was on as the run began
  int tela_da_execucao;  // the canvas's pixels are this run's (a canvas was open in it)
  int fora_funcao;       // the function given a number out of range (its index in the table + 1)
  int fora_valores[4];   // ... what it was given
  uint64_t fora_de_onde; // ... and the return address into the program
};

// Everything of the library that outlives one run, as one plain value, so it
// crosses a process boundary whole, in both directions: a new pen attribute
// is a new field here and nothing more.
struct OlpaEstado {
  char arquivo_exportar[OLPA_CAMINHO_MAX]; // where termina writes the canvas
  int gravamanual;                         // termina writes nothing when set
  int x, y;                                // the pen
  float r, g, b, alpha;                    // its colour (0-255) and opacity (0-100)
  // The canvas as cairo holds it; filled by olpa_gfx_exporta_estado, and
  // not kept up to date while drawing.
  int tela_aberta;
  int tela_com_erro; // the context is in an error state: later drawing does nothing
  double matriz[6];  // xx, yx, xy, yy, x0, y0
  double largura_traco;
  double fonte[4]; // source colour as cairo holds it
  // Per run: whether a picture was written, and whether one could not be
  // (its name refused, or the writing failed): the run then fails.
  int png_gravado;
  int png_falhou;
  OlpaRelato relato;
};
extern OlpaEstado olpa_estado;

// The library's globals by their own names: views of olpa_estado.
extern int &olpa_x, &olpa_y;
extern float &olpa_r, &olpa_g, &olpa_b, &olpa_alpha;
extern char (&olpa_arquivo_exportar)[OLPA_CAMINHO_MAX];
extern int &olpa_arquivo_gravamanual;

// While a learner function reads a text a program handed it: which function,
// and the return address into the program. A fault meanwhile is that text's.
struct OlpaLeitura {
  const char *volatile funcao;
  const void *volatile de_onde;
};
extern OlpaLeitura olpa_lendo;

// The relato's notes (olpa_relato.cpp): a run begins; a line from (x1, y1)
// to (x2, y2) in user space is stroked on `cr`, or finds no canvas; numbers
// handed to a colour function of the table (`funcao`), called from `de_onde`.
void olpa_relato_comeca(bool tela_aberta);
void olpa_relato_traco(cairo_t *cr, double x1, double y1, double x2, double y2);
void olpa_relato_sem_tela(void);
void olpa_relato_cor(const char *funcao, const int *valores, int quantos, const void *de_onde);
// The relato as a program may have left it, made sane.
void olpa_relato_normaliza(OlpaRelato *relato);

// Default export path and automatic saving.
void olpa_gfx_defs(void);

// --- where the library's output goes (set by whoever hosts the programs) ---
// Console text (escreve_console and the library's own "[erro]" lines).
using OlpaEscritor = void (*)(const char *texto, size_t tamanho);
void olpa_gfx_define_console(OlpaEscritor escritor);
// Trace lines ("[arq-n] ...", "[arq-s] ..."): standard output by default.
void olpa_gfx_define_trace(OlpaEscritor escritor);
// What espera does once its time is within range: waits (the default), or
// whatever the host makes of it (a child tells the window, or skips it).
using OlpaEsperador = void (*)(int milissegundos);
void olpa_gfx_define_espera(OlpaEsperador esperador);
// A counter bumped at every change of the canvas's pixels (null: none), so
// that another process sharing them knows when to show them again.
void olpa_gfx_define_mudancas(std::atomic<uint32_t> *contador);
// Memory the canvas pixels live in (OLPA_TELA_BYTES, 4-byte aligned); null
// lets cairo allocate its own. Shared memory lets a child hand the canvas back.
void olpa_gfx_define_pixels(unsigned char *pixels);
// That memory (null when cairo's own): after a run that was stopped, the
// canvas as far as the program got (untrusted pixels, nothing more).
const unsigned char *olpa_gfx_pixels(void);

// olpa_estado with the canvas part read from cairo, ready to hand over.
const OlpaEstado &olpa_gfx_exporta_estado(void);
// Whether `caminho` is an export path define_exportar could have made:
// "../telas/" and a name that does not climb out of it.
bool olpa_gfx_exportar_valido(const char *caminho);
// A state made sane (whatever a misbehaving program scribbled over it): its
// export path one define_exportar could have made, its flags 0 or 1.
OlpaEstado olpa_gfx_normaliza_estado(const OlpaEstado &estado);
// Takes a state back (normalising anything a misbehaving program may have
// scribbled over); reopens the canvas on the current pixel memory if open.
void olpa_gfx_importa_estado(const OlpaEstado &estado);
// Closes the canvas without writing it.
void olpa_gfx_fecha_tela(void);
// Clears the per-run flags (png_gravado, png_falhou, the relato, the note of
// an espera out of range).
void olpa_gfx_nova_execucao(void);
int olpa_gfx_png_gravado(void);
// Milliseconds this run spent in inicia's opening of the canvas and in writing
// pictures (figures for the benchmarks).
struct OlpaGfxTempos {
  double abre, grava;
};
const OlpaGfxTempos &olpa_gfx_tempos(void);
int olpa_gfx_png_falhou(void);

// The canvas (or any ARGB32 surface) as PNG bytes; with `sem_alfa`, a
// picture every pixel of which is opaque without the alpha channel (a
// quarter fewer bytes to compress).
bool olpa_gfx_codifica_png(cairo_surface_t *superficie, std::string *png, bool sem_alfa = false);
// Writes it at `caminho` through a temporary name, so a failed write leaves
// the old picture whole; only a regular file is replaced, and beneath `raiz`
// (when given and a prefix of the path) no link is followed. On failure
// returns false with a Portuguese reason.
bool olpa_gfx_grava_png(cairo_surface_t *superficie, const char *caminho, char *motivo,
                        size_t tamanho_motivo, const char *raiz = nullptr);
// Size of the regular file at `caminho`; 0 for anything else (a pipe is
// never opened) or when there is none.
int olpa_gfx_tamanho_arquivo(const char *caminho);

// Where the pixels of the last picture written at the export path are kept
// (OLPA_TELA_BYTES, the canvas as cairo holds it) and its path
// (OLPA_CAMINHO_MAX), so the window can show them without decoding the file
// again. Null turns this off.
void olpa_gfx_define_ultima_imagem(unsigned char *argb, char *caminho);
