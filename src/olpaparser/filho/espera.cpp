// SPDX-License-Identifier: GPL-3.0-or-later
// espera in a child: the program pauses while the window shows its canvas,
// and the time it waits is told through shared memory, so that it does not
// count towards the time limit; for olpa-rodar --quadros, the canvas goes to
// a picture at each espera, a frame of the animation. And Pausar: before a
// call, while the application asks, the program waits.
#include "filho.h"

#include <cerrno>
#include <string>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <glib.h>

namespace {

// The run's settings, read from shared memory before the program runs: the
// program may write there afterwards.
struct Espera {
  bool pular = false;
  std::string quadros; // folder of the frames, "" for none
  int quadro = 0;      // frames written
};
Espera ajuste;

// The canvas as the frame of an animation shown `ms` milliseconds.
void grava_quadro(int ms) {
  if (ajuste.quadros.empty() || !olpa_tela || ajuste.quadro >= PARSER_QUADROS_MAX)
    return;
  char nome[64];
  g_snprintf(nome, sizeof nome, "%05d-%d.png", ++ajuste.quadro, ms);
  const std::string caminho = ajuste.quadros + nome;
  char motivo[128];
  if (!olpa_gfx_grava_png(olpa_tela.get(), caminho.c_str(), motivo, sizeof motivo, "../telas")) {
    const std::string linha = "[quadro] " + caminho + ": " + motivo + "\n";
    filho_rastro(linha.data(), linha.size());
    ajuste.quadros.clear();
  }
}

void espera_do_filho(int ms) {
  if (ajuste.pular)
    return;
  grava_quadro(ms);
  Compartilhado *m = parser_memoria;
  const int64_t inicio = g_get_monotonic_time(); // CLOCK_MONOTONIC, as the application's
  m->esperas.fetch_add(1, std::memory_order_relaxed);
  const int64_t fim = inicio + static_cast<int64_t>(ms) * 1000;
  m->espera_ate_us.store(fim, std::memory_order_relaxed);
  m->espera_desde_us.store(inicio, std::memory_order_relaxed);
  const timespec alvo{static_cast<time_t>(fim / 1000000), static_cast<long>(fim % 1000000) * 1000};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &alvo, nullptr) == EINTR) {
  }
  // The total first: the application may count an espera twice for an
  // instant (which only delays its look at the time), never not at all.
  m->espera_total_us.fetch_add(g_get_monotonic_time() - inicio, std::memory_order_relaxed);
  m->espera_desde_us.store(0, std::memory_order_relaxed);
}

// Before call `passo` runs: while Pausar holds and the call is past the
// last one let go, the program waits, saying before which call. The
// application bumps `vez` (and wakes it) at each change.
void espera_de_pausa(uint64_t passo) {
  Compartilhado *m = parser_memoria;
  if (!m->pausar.load(std::memory_order_acquire))
    return;
  for (;;) {
    const uint32_t vez = m->vez.load(std::memory_order_acquire);
    if (!m->pausar.load(std::memory_order_acquire) ||
        passo <= m->liberado.load(std::memory_order_acquire))
      break;
    m->pausado_em.store(passo, std::memory_order_release);
    const timespec um_segundo{1, 0}; // and looks again, whatever woke it
    syscall(SYS_futex, reinterpret_cast<uint32_t *>(&m->vez), FUTEX_WAIT, vez, &um_segundo, nullptr,
            0);
  }
  m->pausado_em.store(0, std::memory_order_release);
}

} // namespace

void espera_prepara_filho() {
  Compartilhado *m = parser_memoria;
  m->quadros[OLPA_CAMINHO_MAX - 1] = '\0';
  ajuste = Espera{};
  ajuste.pular = m->sem_espera != 0;
  if (m->quadros[0])
    ajuste.quadros = std::string("../telas/") + m->quadros + "/";
  olpa_gfx_define_espera(espera_do_filho);
  olpa_gfx_define_mudancas(&m->mudancas);
  olpa_registro_define_escuta(espera_de_pausa);
}
