// SPDX-License-Identifier: GPL-3.0-or-later
// olpa speaks Portuguese, and so must GTK's and GtkSourceView's own words
// (the file dialogs, their "replace it?", the completion popup) on a school's
// machine set to another language: their pt_BR catalogues come with them.
#include "olpa.h"

#include <clocale>
#include <cstring>

void olpa_idioma_portugues(void) {
  g_setenv("LANGUAGE", "pt_BR:pt", TRUE);
  // gettext ignores LANGUAGE under the "C" locale (POSIX is its other name),
  // the locale of a machine with none set or none installed, and writes
  // accents there as "?" and "…" as "...". C.UTF-8 is C with UTF-8, and
  // every Debian has it.
  for (const int categoria : {LC_MESSAGES, LC_CTYPE}) {
    const char *local = setlocale(categoria, nullptr);
    if (!local || strcmp(local, "C") == 0 || strcmp(local, "POSIX") == 0)
      setlocale(categoria, "C.UTF-8");
  }
}
