// SPDX-License-Identifier: GPL-3.0-or-later
// The help window "Ajuda do olpa", opened with F1: every learner function,
// the common errors, and the gallery of the examples, each of which opens
// into the editor as "Abrir" would.
#pragma once

struct Olpa;

// Once, when the window is built: F1 on the main window.
void olpa_ajuda_liga(Olpa &janela);
