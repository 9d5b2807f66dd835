// SPDX-License-Identifier: GPL-3.0-or-later
// olpa speaks Portuguese, and so must the words it borrows: GTK's and
// GtkSourceView's own (the file dialogs, their "replace it?", the completion
// popup) and the system's reasons for a failure ("Permissão negada"), on a
// school's machine set to another language: their pt_BR catalogues come with
// them.
#pragma once

#include <clocale>
#include <cstring>

#include <glib.h>

inline void olpa_idioma_portugues() {
  g_setenv("LANGUAGE", "pt_BR:pt", TRUE);
  // gettext ignores LANGUAGE under the "C" locale (POSIX is its other name),
  // the locale of a machine with none set or none installed, and writes
  // accents there as "?" and "…" as "...". C.UTF-8 is C with UTF-8, and
  // every Debian has it.
  for (const int categoria : {LC_MESSAGES, LC_CTYPE}) {
    const char *local = setlocale(categoria, "");
    if (!local || strcmp(local, "C") == 0 || strcmp(local, "POSIX") == 0)
      setlocale(categoria, "C.UTF-8");
  }
}
