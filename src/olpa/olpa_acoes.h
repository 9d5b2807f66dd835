// SPDX-License-Identifier: GPL-3.0-or-later
// The run, clear and new actions of the button bar, and the clearing that
// "Limpar", "Novo" and a loaded file share. The handlers' data is the
// window (Olpa).
#pragma once

#include <gtk/gtk.h>

struct Olpa;
struct OlpaUI;

// "Rodar" (or "Parar" while a run lasts).
void olpa_botao_executar(GtkWidget *botao, gpointer janela);
// "Limpar": screen and console cleared, and the file state's defaults.
void olpa_limpa_tela_e_console(GtkWidget *botao, gpointer janela);
// What "Novo" does after a yes: the welcome text, then as "Limpar".
void olpa_limpa_codigo_e_console(Olpa &janela);
// "Novo": asks, and clears on yes.
void olpa_confirma_limpar(GtkWidget *botao, gpointer janela);
// The screen and the console as at the start: console text and look, the
// start picture, no marks, "../telas/imagem.png" removed, the drawing
// library's defaults. The file state is left to the caller.
void olpa_limpa_tela(OlpaUI &ui);
// The whole editor text, as a run or a save takes it, kept in the session.
const char *olpa_copia_codigo(Olpa &janela);
// The size of the regular file at `caminho`; 0 when there is none.
int olpa_tamanho_arquivo(const char *caminho);
