// SPDX-License-Identifier: GPL-3.0-or-later
// What every part of olpa uses the same way and defines once: the clock the
// figures and the run's limits are read on, owning a string GLib allocated,
// and readying memory in one call on kernels older than the headers.
#pragma once

#include <cstring>
#include <memory>
#include <string>

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

// Text as a console or a page can take it: valid UTF-8 (a broken sequence
// becomes U+FFFD), no NUL (a space in its place).
inline std::string olpa_texto_valido(const char *bruto, size_t tamanho) {
  if (g_utf8_validate(bruto, static_cast<gssize>(tamanho), nullptr) &&
      memchr(bruto, '\0', tamanho) == nullptr)
    return std::string(bruto, tamanho);
  std::string texto(bruto, tamanho);
  for (char &c : texto)
    if (c == '\0')
      c = ' ';
  OlpaTexto valido(g_utf8_make_valid(texto.data(), static_cast<gssize>(texto.size())));
  return valido.get();
}
