// SPDX-License-Identifier: GPL-3.0-or-later
// Font size of the editor and the console, for a projector or tired eyes:
// Ctrl+plus, Ctrl+minus, Ctrl+0 and Ctrl+wheel over either, remembered for
// the next start in the user's configuration folder (olpa/olpa.conf).
#pragma once

struct Olpa;

// Once, when the window is built: the keys and the wheel, and the size
// remembered applied.
void olpa_zoom_liga(Olpa &janela);
// The size remembered, applied again (as at the start).
void olpa_zoom_carrega(void);
// A size in points (0: the desktop's own), applied and remembered.
void olpa_zoom_define(int pontos);
