// SPDX-License-Identifier: GPL-3.0-or-later
// What the pieces of the case runner (README.md) share: its state, its
// report of failures, and the checks one piece offers the others.
#pragma once

#include "suporte.h"

#include <string>
#include <vector>

extern const bool regrava; // OLPA_REGRAVA=1: the expected files are rewritten
extern std::string raiz;   // the run tree
extern std::string vista;  // the picture the view showed after the last run (a PNG; "": none)
extern int falhas;

void falha(const std::string &passo, const std::string &texto);
std::vector<std::string> nomes_em(const std::string &pasta); // sorted, none hidden

// roda_caso.cpp: every process a run left, reported and killed.
void confere_processos(const std::string &passo);

// esperados.cpp: what a run gave against the case's expected files.
std::string relato(const Rodada &r);
void confere_texto(const std::string &passo, const std::string &arquivo, const std::string &obtido);
void confere_pontos(const std::string &passo, const std::string &arquivo, std::string nome);
void confere_imagem(const std::string &passo, const Rodada &r, const std::string &esperado,
                    const std::string &saida);

// olpa_rodar.cpp: the command-line runner itself.
void confere_olpa_rodar(const std::string &passo, const std::string &programa, const Rodada &r,
                        bool passos);
void roda_comando(const std::string &caso, const std::string &nome);
void confere_terminal(const std::string &nome, const std::string &esperado,
                      const std::string &programa);

// `texto` as a build without the analyser compares it (OLPA_SEM_ANALISE):
// without warnings, which come from the analyser in a build with it and from
// the compiler in one without; unchanged otherwise.
std::string sem_avisos(const std::string &texto);
