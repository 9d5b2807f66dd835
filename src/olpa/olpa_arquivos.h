// SPDX-License-Identifier: GPL-3.0-or-later
// Code files: "Abrir" and "Salvar", and the load and the write behind them.
// The learner's code is never lost: a file that cannot be loaded leaves the
// editor as it was, a save replaces the old file only once the new one is
// completely written, and nothing is saved that could not be loaded again.
// The handlers' data is the window (Olpa).
#pragma once

#include <gtk/gtk.h>

#include <string>

struct Olpa;
struct OlpaUI;

void olpa_abrir(GtkWidget *botao, gpointer janela);
void olpa_salvar(GtkWidget *botao, gpointer janela);
// What an accepted "Abrir" does with `caminho` (and "Abrir este exemplo"):
// the name stored in place of the earlier one, even when the load then
// fails; then the load. 1 when it loaded.
int olpa_abre_arquivo(Olpa &janela, const std::string &caminho);
// Loads the code file at `caminho` into the editor: on success the screen
// and console cleared and the session named after that file (1); otherwise
// the warning "Arquivo inválido!" and nothing else changes (0).
int olpa_carrega_codigo(Olpa &janela, const std::string &caminho);
// Writes the editor's text to the session's file and says so in the
// console; false, after telling the learner why, when it could not.
bool olpa_salvar_codigo(Olpa &janela);
// Whether the editor holds changes not saved since the last load, save or "Novo".
bool olpa_codigo_modificado(const OlpaUI &ui);
