// SPDX-License-Identifier: GPL-3.0-or-later
// What the program does before its window opens: the command line
// (olpa_opcoes.cpp) and the language of GTK's own words (olpa_idioma.cpp).
#pragma once

// --ajuda and --versao answered, the exit status then; -1 when the window
// is to open.
int olpa_opcoes(int argc, char **argv);
// GTK's and GtkSourceView's own words in Portuguese whatever the machine's
// language; after gtk_init, which sets the locale.
void olpa_idioma_portugues(void);
