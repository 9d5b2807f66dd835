// SPDX-License-Identifier: GPL-3.0-or-later
// A run in the window: from the editor's text to the console and the
// picture shown, live while it lasts (the window never waits for a program:
// "Rodar" reads "Parar" meanwhile, and Esc stops it too). Who follows a run
// is listed once, in olpa_execucao.cpp.
#pragma once

struct Olpa;

// Once, when the window is built: Esc, a double click on "Rodar", and the
// first run's child readied once the window is idle.
void olpa_execucao_liga(Olpa &janela);
// Starts running `codigo` and returns; the outcome shows when the run ends.
// A run in progress is stopped first.
void olpa_codigo_fonte(const char *codigo);
// The console's status line while a run goes on.
inline constexpr char OLPA_ESTADO_RODANDO[] = "[olpa] rodando…";
// Whether a run started by the window is in progress.
bool olpa_rodando(void);
// Stops the run in progress, if any, as "Parar" does.
void olpa_para_execucao(void);
// What pressed "Rodar": the second (or third) click of a double click,
// which is no press of its own; a keyboard shortcut (F5, Ctrl+R), which
// stops a run and starts the editor's text again.
bool olpa_execucao_clique_repetido(void);
bool olpa_execucao_por_atalho(void);
