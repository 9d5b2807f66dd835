// SPDX-License-Identifier: GPL-3.0-or-later
// What the program does before its window opens: the command line
// (olpa_opcoes.cpp). The language of GTK's own words is olpa_idioma.h's.
#pragma once

// --ajuda and --versao answered, the exit status then; -1 when the window
// is to open.
int olpa_opcoes(int argc, char **argv);
