// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's knowledge of olpa's C: the language definition that colours
// the learner functions apart, their completion (olpa_completar.cpp), a "}"
// typed on a line of its own going back to its "{", and very long lines
// kept from freezing it (olpa_linhas_longas.cpp).
#pragma once

#include <gtksourceview/gtksource.h>

struct Olpa;

// Once, when the window is built.
void olpa_editor_liga(Olpa &janela);
// Offers the learner functions as the editor's completion.
void olpa_completar_liga(GtkSourceView *editor);
// While the editor holds a very long line it shows plain text.
void olpa_linhas_longas_liga(GtkTextBuffer *codigo);
