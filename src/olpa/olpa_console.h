// SPDX-License-Identifier: GPL-3.0-or-later
// The console while runs write into it: a run's text goes after what the
// console held when it began, and before a status line that stays below it
// while the run lasts and goes away when it ends (the console then reads
// exactly as if the run had been waited for); and the console keeps its last
// line in view, unless the learner scrolled up to read.
#pragma once

// Once, when the window is built.
void olpa_console_liga(void);
// A run begins: its text goes after what the console holds now.
void olpa_console_comeca(void);
// The status line below the run's text becomes `estado` (none when null).
void olpa_console_estado(const char *estado);
// Text of the run, after what it wrote before; after everything when no run
// is in progress.
void olpa_console_acrescenta(const char *texto);
// The whole text replaced; the status line, if any, stays below it.
void olpa_console_substitui(const char *texto);
// The run ended: no status line any more.
void olpa_console_termina(void);
