// SPDX-License-Identifier: GPL-3.0-or-later
// What every part of olpa uses the same way and defines once: the clock the
// figures and the run's limits are read on, owning a string GLib allocated,
// and readying memory in one call on kernels older than the headers.
#pragma once

#include <memory>

#include <glib.h>

// Milliseconds on the monotonic clock (GLib's, CLOCK_MONOTONIC).
inline double olpa_agora_ms() {
  return g_get_monotonic_time() / 1000.0;
}

// A string (or any block) GLib allocated, freed with g_free.
struct OlpaGFree {
  void operator()(void *p) const { g_free(p); }
};
using OlpaTexto = std::unique_ptr<char, OlpaGFree>;

// Pages made ready for writing in one call (Linux 5.14); older kernels
// answer EINVAL and the pages come a fault at a time, as without it.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
