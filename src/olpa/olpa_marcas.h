// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's marks on the lines a run found mistakes in (errors, and
// warnings in a look of their own): the editor scrolls to the first one, a
// click on a line of the console about a line of the program ("[erro]",
// "[aviso]", "[olpa]") puts the cursor on it, and they go as soon as the
// program's text is replaced.
#pragma once

struct Olpa;
struct ParserResultado;
enum class ParserMomento;

// Categories of the marks on lines with errors and with warnings.
inline constexpr char OLPA_MARCA_ERRO[] = "erro";
inline constexpr char OLPA_MARCA_AVISO[] = "aviso";

// Once, when the window is built.
void olpa_marcas_liga(Olpa &janela);
// A run of the window's: its marks, and the lines of its console a click
// takes the cursor to, once it ended.
void olpa_marcas_ouve(const ParserResultado &resultado, ParserMomento momento);
// No marks any more (a run begins, the screen is cleared).
void olpa_limpa_marcas(void);
// The editor's cursor on line `linha` (from 1), shown, with the focus.
void olpa_vai_para_linha(int linha);
