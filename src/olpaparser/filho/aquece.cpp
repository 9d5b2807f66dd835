// SPDX-License-Identifier: GPL-3.0-or-later
// A child's memory readied before its run: the warm-up of a child forked
// while nobody waits, and the shared pages of one a run waits for.
#include "filho.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

// Readies a pre-forked child while nobody waits for it. The first write to
// each page it shares with the application costs the child a copy-on-write
// fault, and on some machines those cost more than the run itself: a
// throwaway compile and PNG encode take most of them now, off the learner's
// time. The canvas and the picture kept are written here by the child
// itself, a byte a page, left as they were (the application only reads
// them): on some virtual machines a page costs its first access from each
// process even when the kernel has it mapped already.
void aquece_tudo() {
  madvise(parser_memoria, sizeof(Compartilhado), MADV_POPULATE_WRITE);
  auto *pixels = reinterpret_cast<volatile unsigned char *>(parser_memoria->pixels);
  for (size_t i = 0; i < sizeof(Compartilhado) - offsetof(Compartilhado, pixels); i += 4096)
    pixels[i] = pixels[i];
  if (TccPtr s{tcc_new()}) {
    tcc_set_error_func(s.get(), nullptr, [](void *, const char *) {});
    compila_ajusta(s.get(), TCC_OUTPUT_MEMORY);
    if (tcc_compile_string(s.get(),
                           (compila_preludio() + "int main(void) { return 0; }").c_str()) == 0) {
      const int tamanho = tcc_relocate(s.get(), nullptr);
      std::unique_ptr<void, decltype(&free)> bloco(
          tamanho > 0 ? malloc(static_cast<size_t>(tamanho)) : nullptr, free);
      if (bloco)
        tcc_relocate(s.get(), bloco.get());
    }
  }
  OlpaSurface tela(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  OlpaCairo contexto(cairo_create(tela.get()));
  cairo_move_to(contexto.get(), 0, 0);
  cairo_line_to(contexto.get(), OLPA_TELA_LARGURA, OLPA_TELA_ALTURA);
  cairo_stroke(contexto.get());
  std::string png;
  olpa_gfx_codifica_png(tela.get(), &png);
}

// The run waits: the canvas's pages made in one call, not a fault each; and
// so the heap the compiler is about to grow into, given back to malloc at
// once (the trim threshold keeps it with the process).
void aquece_povoa() {
  madvise(parser_memoria, sizeof(Compartilhado), MADV_POPULATE_WRITE);
  constexpr size_t MONTE = 1 << 20;
  if (void *bloco = malloc(MONTE)) {
    const uintptr_t pagina = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t inicio = (reinterpret_cast<uintptr_t>(bloco) + pagina - 1) & ~(pagina - 1);
    const uintptr_t fim = (reinterpret_cast<uintptr_t>(bloco) + MONTE) & ~(pagina - 1);
    madvise(reinterpret_cast<void *>(inicio), fim - inicio, MADV_POPULATE_WRITE);
    free(bloco);
  }
}
