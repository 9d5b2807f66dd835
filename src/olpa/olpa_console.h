// SPDX-License-Identifier: GPL-3.0-or-later
// The console: its two looks (white on black, and red once a run went
// wrong), and its text while runs write into it: a run's text goes after
// what the console held when it began, and before a status line that stays
// below it while the run lasts and goes away when it ends (the console then
// reads exactly as if the run had been waited for); and it keeps its last
// line in view, unless the learner scrolled up to read.
#pragma once

struct Olpa;
struct ParserResultado;
enum class ParserMomento;

// Once, when the window is built.
void olpa_console_liga(Olpa &janela);
// The error look (red), which also puts the start picture back in the image
// view; and the normal look (black), which leaves the picture alone.
void olpa_console_erro(void);
void olpa_console_normal(void);
// A run begins: the console empty, in its normal look; the run's text goes
// after what the console holds then.
void olpa_console_comeca(void);
// The status line below the run's text becomes `estado` (none when null).
void olpa_console_estado(const char *estado);
// A run of the window's: its text as it grows (or is replaced), and at its
// end the text whole, no status line, and the look the run asks for.
void olpa_console_ouve(const ParserResultado &resultado, ParserMomento momento);
