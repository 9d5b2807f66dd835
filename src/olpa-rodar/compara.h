// SPDX-License-Identifier: GPL-3.0-or-later
// Two drawings compared the way a teacher looks at them: what the eye cannot
// tell apart is the same, a stroke moved by a pixel or two is the same
// stroke, and what differs is counted as a share of the drawing and sorted
// into what is missing, what is extra and what has another colour.
//
// Pure computation over pixels in memory: 640 x 480 ARGB32 as cairo holds
// them (premultiplied, native-endian words, a row every OLPA_TELA_STRIDE
// bytes). No file, no GTK, no global state: a grader may call it on a run's
// shared pixels directly, from any thread.
#pragma once

#include "olpagfx.h"

#include <cstdint>

constexpr long COMPARA_PONTOS = static_cast<long>(OLPA_TELA_LARGURA) * OLPA_TELA_ALTURA;
constexpr int COMPARA_DESLOCAMENTO_PADRAO = 2;
constexpr int COMPARA_DESLOCAMENTO_MAXIMO = 20;

struct OpcoesComparacao {
  // How far, in pixels, a stroke may lie from where the other picture has it
  // and still be the same stroke (a square of side 2N + 1 around each pixel).
  int deslocamento = COMPARA_DESLOCAMENTO_PADRAO;
  // Colour differences smaller than this share of the largest perceptual
  // difference (black against white) are not seen: antialiasing, the order
  // strokes were blended in.
  double limiar = 0.1;
  // The colour of the empty canvas (what inicia paints), ARGB.
  uint32_t fundo = 0xff000000u;
};

// What a differing pixel is, seen from the model.
enum class Marca : uint8_t {
  Nenhuma = 0,
  Faltando = 1, // the model drew here, the learner did not
  Sobrando = 2, // the learner drew here, the model did not
  Cor = 3,      // both drew here, in colours the eye tells apart
};

struct Comparacao {
  long desenho = 0; // pixels drawn in either picture: the measure of the drawing
  long faltando = 0, sobrando = 0, cor = 0;
  bool modelo_vazio = false, aluno_vazio = false; // only the background
  long diferentes() const { return faltando + sobrando + cor; }
  // The differing share of the drawing, in percent (0 when neither drew).
  double parte() const;
  // The kind with the most pixels (Nenhuma when none differ).
  Marca principal() const;
};

// Compares the learner's picture with the model's. With `marcas` (one byte a
// pixel, COMPARA_PONTOS of them, row after row) it also says there what each
// pixel is.
Comparacao compara_figuras(const unsigned char *modelo, const unsigned char *aluno,
                           const OpcoesComparacao &opcoes, Marca *marcas = nullptr);

// Whether a picture holds only the background (nothing drawn that the eye sees).
bool compara_so_fundo(const unsigned char *figura, const OpcoesComparacao &opcoes);

// The colours the kinds are marked in (ARGB, opaque): three clearly apart from
// each other and from the model's own colours, so a mark is never taken for
// part of the drawing. The same model always gives the same three.
struct CoresDasMarcas {
  uint32_t faltando, sobrando, cor;
};
CoresDasMarcas compara_cores_das_marcas(const unsigned char *modelo, const OpcoesComparacao &o);

// The picture of the differences into `saida` (640 x 480 ARGB32, as cairo
// holds it): the model dimmed, each marked pixel in its kind's colour.
void compara_desenha_diferencas(const unsigned char *modelo, const Marca *marcas,
                                const CoresDasMarcas &cores, unsigned char *saida);

// The whole-word compare that counts every pixel whose bytes differ: the
// baseline the benchmark measures the comparison against.
long compara_bytes(const unsigned char *a, const unsigned char *b);
