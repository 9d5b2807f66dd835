// SPDX-License-Identifier: GPL-3.0-or-later
// Names a learner may have meant, for the runner's messages. GTK-free.
#pragma once

#include <string>
#include <vector>

// The header that declares a C library function beginners use ("math.h"),
// null when it is not one of them.
const char *parser_cabecalho_de(const std::string &nome);
// Whether `nome` is a learner function (of the table).
bool parser_funcao_do_olpa(const std::string &nome);
// The known name nearest to `nome` (a learner function, one of
// `do_programa`, a C library function or keyword), when one is near enough;
// empty when none is.
std::string parser_sugestao(const std::string &nome, const std::vector<std::string> &do_programa);
// The preprocessor directive nearest to `diretiva` ("incldue": "include").
std::string parser_sugestao_de_diretiva(const std::string &diretiva);
