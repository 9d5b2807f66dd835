// SPDX-License-Identifier: GPL-3.0-or-later
// Pausar, Passo and Continuar as the application asks them of a child,
// through the memory they share: the child waits before a call while asked
// (filho/espera.cpp), and says before which. Whatever the program wrote
// there only pauses the program itself; the time paused, counted here from
// when the pause is seen, counts towards no limit.
#include "execucao.h"

#include <climits>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The child waits on `vez`: each change is bumped there and woken.
void acorda(Compartilhado *m) {
  m->vez.fetch_add(1, std::memory_order_release);
  syscall(SYS_futex, reinterpret_cast<uint32_t *>(&m->vez), FUTEX_WAKE, INT_MAX, nullptr, nullptr,
          0);
}

// A pause seen ends: its time goes to the total.
void fim_da_pausa(Execucao *ex, double agora) {
  if (ex->pausa_desde > 0)
    ex->pausado_ms += std::max(agora - ex->pausa_desde, 0.0);
  ex->pausa_desde = 0;
  ex->pausado_em = 0;
}

} // namespace

// What was let go stays so (`liberado` only grows): a Pausar right after
// Continuar still lets the call it stood before run.
void pausa_pede(Execucao *ex) {
  if (ex->pausa_pedida || !ex->memoria)
    return;
  ex->pausa_pedida = true;
  ex->memoria->pausar.store(1, std::memory_order_release);
  acorda(ex->memoria);
}

void pausa_passo(Execucao *ex) {
  if (!ex->pausa_pedida || ex->pausado_em == 0)
    return;
  // The call it stands before runs; it stops before the next.
  ex->memoria->liberado.store(ex->pausado_em, std::memory_order_relaxed);
  fim_da_pausa(ex, parser_agora_ms());
  acorda(ex->memoria);
}

void pausa_solta(Execucao *ex) {
  if (!ex->pausa_pedida)
    return;
  ex->pausa_pedida = false;
  if (ex->pausado_em > 0)
    ex->memoria->liberado.store(ex->pausado_em, std::memory_order_relaxed);
  ex->memoria->pausar.store(0, std::memory_order_release);
  fim_da_pausa(ex, parser_agora_ms());
  acorda(ex->memoria);
}

uint64_t pausa_olha(Execucao *ex, double agora) {
  if (!ex->pausa_pedida)
    return 0;
  const uint64_t em = ex->memoria->pausado_em.load(std::memory_order_acquire);
  // Only a step past the last one let go is a pause of this request.
  if (em == 0 || em <= ex->memoria->liberado.load(std::memory_order_relaxed))
    return 0;
  if (ex->pausado_em != em) {
    fim_da_pausa(ex, agora);
    ex->pausado_em = em;
    ex->pausa_desde = agora;
  }
  return em;
}

double pausa_total_ms(const Execucao &ex, double agora) {
  return ex.pausado_ms + (ex.pausa_desde > 0 ? std::max(agora - ex.pausa_desde, 0.0) : 0.0);
}
