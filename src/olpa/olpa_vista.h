// SPDX-License-Identifier: GPL-3.0-or-later
// The image view: the start picture, or a run's canvas (640 x 480 in cairo's
// ARGB32), live while the run lasts and as it ended.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

struct Olpa;
struct ParserResultado;
enum class ParserMomento;

// Once, when the window is built: the view's memory made and touched ahead.
void olpa_vista_liga(Olpa &janela);
// The one way a picture reaches the view: `argb` (copied), a frame of a run
// in progress or what a run left; null shows the start picture.
void olpa_mostra_imagem(const unsigned char *argb);
// A run of the window's: its frames as they come, its picture at its end
// when it went well.
void olpa_vista_ouve(const ParserResultado &resultado, ParserMomento momento);
// The picture the view shows, as a new pixbuf (null when it shows none).
GdkPixbuf *olpa_vista_pixbuf(void);
