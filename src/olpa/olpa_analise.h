// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis in the window (olpa_analise.cpp): the editor's text analysed
// about half a second after typing stops, each finding underlined (yellow
// for warnings, red for errors) with its explanation on hover and a mark in
// the line numbers' gutter; and what a run's end needs of it.
#pragma once

#include "analise.h"

#include <gtk/gtk.h>
#include <gtksourceview/gtksource.h>

#include <string>

// Before the zygote is made: the compiler's warnings left to the analyser
// when it is there.
void olpa_analise_prepara(void);
// Hooks the analysis to the editor; says once in the console when there is
// none, and why.
void olpa_analise_liga(GtkSourceView *editor);
// At a press of "Rodar": the analysis of `codigo` (the text being run)
// asked for now, if it is not the one analysed or under way.
void olpa_analise_do_codigo(const std::string &codigo);
// At a run's end: `continua` gets the run's result with the analysis's
// lines put in before its final line, as soon as the analysis of `codigo`
// is done, at most OLPA_ANALISE_ESPERA_MS after this call (then without
// them); at once when it is done already, or when there is no analysis.
constexpr int OLPA_ANALISE_ESPERA_MS = 300;
void olpa_analise_no_fim(const std::string &codigo, const ParserResultado &resultado,
                         void (*continua)(const ParserResultado &resultado));
// A run's end still waiting for the analysis goes on at once, without it
// (before anything else changes the console).
void olpa_analise_conclui_fim(void);
// What the editor shows now (for tests): findings underlined, and the text
// shown on hover at line `linha`, column `coluna` (from 1, in characters).
int olpa_analise_sublinhados(void);
std::string olpa_analise_dica(int linha, int coluna);
