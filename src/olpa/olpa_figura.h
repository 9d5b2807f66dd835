// SPDX-License-Identifier: GPL-3.0-or-later
// The picture's right-click menu: "Salvar figura como…" writes the picture
// shown, pixel for pixel, as a PNG wherever the learner picks; "Copiar
// figura" puts it on the clipboard, for a document or a slide.
#pragma once

struct Olpa;

// Once, when the window is built: the menu on the widget under the picture.
void olpa_figura_liga(Olpa &janela);
