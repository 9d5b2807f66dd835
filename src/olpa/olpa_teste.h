// SPDX-License-Identifier: GPL-3.0-or-later
// What only the window's tests ask of it: state the learner sees on the
// screen, read back without reading the screen. Not for the window's own use.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include <string>
#include <vector>

// Whether the console shows its error look (olpa_console.cpp).
bool olpa_console_em_erro(void);
// Lines with a mark of `categoria` (OLPA_MARCA_ERRO, OLPA_MARCA_AVISO), from
// 1 (olpa_marcas.cpp).
std::vector<int> olpa_linhas_com_marca(const char *categoria);
// The font size chosen, in points; 0 for the desktop's own (olpa_zoom.cpp).
int olpa_zoom_tamanho(void);
// The help window; null until first shown (olpa_ajuda.cpp).
GtkWidget *olpa_ajuda_janela(void);
// The findings the editor underlines now, and the text shown on hover at
// line `linha`, column `coluna` (from 1, in characters) (olpa_analise.cpp).
int olpa_analise_sublinhados(void);
std::string olpa_analise_dica(int linha, int coluna);
// Whether the editor's text waits for the pause in typing, and whether a
// run's end waits for the analysis (olpa_analise.cpp).
bool olpa_analise_em_pausa(void);
bool olpa_analise_fim_esperando(void);
// The step the strip's slider shows, and the editor's line it highlights
// (olpa_tira.cpp).
uint32_t olpa_tira_passo_mostrado(void);
int olpa_tira_linha(void);
