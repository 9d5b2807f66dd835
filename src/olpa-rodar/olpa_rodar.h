// SPDX-License-Identifier: GPL-3.0-or-later
// What olpa-rodar's ways of running share: reading a code file and one press
// of "Rodar".
#pragma once

#include "olpaparser.h"

#include <string>
#include <vector>

// Reads a code file ("-": standard input); false with the reason, in
// Portuguese, in *erro.
bool rodar_le_arquivo(const char *nome, std::string *texto, std::string *erro);
// Sends the runner's console text to rodar_executa and its trace lines to `fd_trace`.
void rodar_prepara(int fd_trace);
// One press of "Rodar" with `codigo` in the editor: true when it succeeded;
// the run described in *resultado (its console text, the lines to mark, its picture).
bool rodar_executa(const std::string &codigo, ParserResultado *resultado);

// The files run one after the other (the mode without --compara); with
// `figuras` not empty, each one's picture is kept there. The exit status.
int rodar_em_sequencia(const std::vector<std::string> &arquivos, const std::string &figuras,
                       bool passos);
