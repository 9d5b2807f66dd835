// SPDX-License-Identifier: GPL-3.0-or-later
// The strip of steps under the picture (olpa_tira.cpp): a slider over the
// calls a run made and the step's text, Pausar (F6) and Passo (F7) beside
// it; the canvas after any step, the pen on it and its line in the editor;
// a click on the picture goes to the call that last painted that point,
// whose coordinates show while the mouse is over it (olpa_tira_figura.cpp).
#pragma once

#include <gtk/gtk.h>

struct Olpa;
struct OlpaUI;
struct ParserResultado;
enum class ParserMomento;

// Once, when the window is built: the strip made under the picture (its
// widgets in the window's OlpaUI::olpa_tira), its keys and the picture's
// clicks hooked.
void olpa_tira_liga(Olpa &janela);
// A run of the window's begins; as it goes it may stand paused (its record
// so far); it ended.
void olpa_tira_comeca(void);
void olpa_tira_ouve(const ParserResultado &resultado, ParserMomento momento);
// No steps any more (the screen is cleared).
void olpa_tira_limpa(void);
// A click on the picture at (x, y) of the canvas (false: no steps to go to).
bool olpa_tira_vai_ao_ponto(int x, int y);
// Whether the view shows a step with the pen's mark, and where.
bool olpa_tira_caneta(double *x, double *y);
// The picture's part: its clicks and the mouse over `area` (the box under
// the picture), the pen's mark drawn over `ui`'s picture, the point under
// the mouse in `ui`'s strip.
void olpa_tira_liga_figura(OlpaUI &ui, GtkWidget *area);
