// SPDX-License-Identifier: GPL-3.0-or-later
// The window's geometry, in pixels, defined once: a left column with the
// button bar, the editor and the console; the image view of the canvas's
// size to its right, the strip of steps under it; a border round it all.
#pragma once

#include "olpagfx.h"

constexpr int OLPA_BORDA = 10;           // round the window's content
constexpr int OLPA_ESPACO = 5;           // between the buttons, and in the image column
constexpr int OLPA_COLUNA_LARGURA = 340; // the left column
constexpr int OLPA_BT_LARGURA = 60;      // requested for each button
constexpr int OLPA_BT_ALTURA = 30;       // each button, and the bar
constexpr int OLPA_EDITOR_Y = 50;
constexpr int OLPA_EDITOR_ALTURA = 320;
constexpr int OLPA_CONSOLE_Y = 380;
constexpr int OLPA_CONSOLE_ALTURA = 160;
constexpr int OLPA_IMAGEM_X = 360; // the image view, as large as the canvas
constexpr int OLPA_IMAGEM_LARGURA = OLPA_TELA_LARGURA;
constexpr int OLPA_IMAGEM_ALTURA = OLPA_TELA_ALTURA;
// The strip of steps under the picture, as wide as it: Pausar and Passo
// beside the slider, the step's line of text under them.
constexpr int OLPA_TIRA_Y = OLPA_IMAGEM_ALTURA + OLPA_ESPACO;
constexpr int OLPA_TIRA_ALTURA = 55;
constexpr int OLPA_TIRA_BT_LARGURA = 90;           // Pausar (Continuar), Passo
constexpr int OLPA_TIRA_COORDENADAS_LARGURA = 110; // "x 312, y 95", at the text's right

// The content and the window's default size, the border on each side.
constexpr int OLPA_CONTEUDO_LARGURA = OLPA_IMAGEM_X + OLPA_IMAGEM_LARGURA;
constexpr int OLPA_CONTEUDO_ALTURA = OLPA_TIRA_Y + OLPA_TIRA_ALTURA;
constexpr int OLPA_JANELA_LARGURA = OLPA_CONTEUDO_LARGURA + 2 * OLPA_BORDA;
constexpr int OLPA_JANELA_ALTURA = OLPA_CONTEUDO_ALTURA + 2 * OLPA_BORDA;

static_assert(OLPA_CONSOLE_Y + OLPA_CONSOLE_ALTURA == OLPA_CONTEUDO_ALTURA,
              "the console ends where the strip under the picture does");

// The gaps the numbers above leave: under the button bar, between the editor
// and the console (the border the learner can drag), and between the left
// column and the picture.
constexpr int OLPA_VAO_BOTOES = OLPA_EDITOR_Y - OLPA_BT_ALTURA;
constexpr int OLPA_VAO_DIVISAO = OLPA_CONSOLE_Y - (OLPA_EDITOR_Y + OLPA_EDITOR_ALTURA);
constexpr int OLPA_VAO_IMAGEM = OLPA_IMAGEM_X - OLPA_COLUNA_LARGURA;

// How small the window may get (a netbook's screen): the editor, the console
// and the picture's view shrink down to these; the picture then scrolls.
constexpr int OLPA_EDITOR_ALTURA_MINIMA = 60;
constexpr int OLPA_CONSOLE_ALTURA_MINIMA = 40;
constexpr int OLPA_IMAGEM_LARGURA_MINIMA = 160;
constexpr int OLPA_IMAGEM_ALTURA_MINIMA = 120;

// The file dialogs at most this large, so they fit a school's 1366 x 768
// screen with its panel and their title bar.
constexpr int OLPA_SELETOR_LARGURA_MAXIMA = 960;
constexpr int OLPA_SELETOR_ALTURA_MAXIMA = 620;

// The help window's size when it first opens.
constexpr int OLPA_AJUDA_LARGURA = 860;
constexpr int OLPA_AJUDA_ALTURA = 600;
// The picture beside the file list of "Abrir": half the canvas.
constexpr int OLPA_PREVIA_LARGURA = OLPA_TELA_LARGURA / 2;
constexpr int OLPA_PREVIA_ALTURA = OLPA_TELA_ALTURA / 2;

// Lines longer than this (in characters) turn the editor's colours off while
// they are there: GTK lays such a line out too slowly with colours.
constexpr int OLPA_LINHA_LONGA = 2000;
