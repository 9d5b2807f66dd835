// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures the build drew of the shipped examples, one NAME.png for each
// NAME.olp: the help's gallery, and the preview beside the file list of
// "Abrir" (olpa_previa.cpp).
#pragma once

#include <gtk/gtk.h>

inline constexpr char OLPA_FIGURAS_DOS_EXEMPLOS[] = "olpalib/ajuda/exemplos";
// The selected example's picture beside the file list of `seletor`.
void olpa_previa_liga(GtkWidget *seletor);
