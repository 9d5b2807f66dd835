// SPDX-License-Identifier: GPL-3.0-or-later
// Never losing the learner's code: the question before anything replaces
// changes not saved, and a recovery copy of the editor's text, kept in the
// user's data folder while the text has such changes, offered at the next
// start after a window that ended without removing its copy.
#pragma once

#include <gtk/gtk.h>

struct Olpa;
struct OlpaUI;

// Before anything replaces the editor's text: true when it has no changes
// not saved, or the learner, asked over `pai`, abandons them.
bool olpa_pode_substituir_codigo(GtkWindow *pai, const OlpaUI &ui);
// Once the window is built: the copy kept from now on (a few seconds after
// typing stops, and at every "Rodar"), and a copy left by another window
// offered.
void olpa_recupera_liga(Olpa &janela);
// The copy written now (or removed, with no changes).
void olpa_recupera_grava(void);
// The window ends normally: its copy removed.
void olpa_recupera_encerra(void);
