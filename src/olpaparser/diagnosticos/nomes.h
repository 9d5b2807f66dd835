// SPDX-License-Identifier: GPL-3.0-or-later
// Names a learner may have meant, for the runner's messages. GTK-free.
#pragma once

#include <string>
#include <vector>

// The header that declares a C library function beginners use ("math.h"),
// null when it is not one of them.
const char *nomes_cabecalho_de(const std::string &nome);
// Whether `nome` is a learner function (of the table).
bool nomes_funcao_do_olpa(const std::string &nome);
// The known name nearest to `nome` (a learner function, one of
// `do_programa`, a C library function or keyword), when one is near enough;
// empty when none is.
std::string nomes_sugestao(const std::string &nome, const std::vector<std::string> &do_programa);
// The preprocessor directive nearest to `diretiva` ("incldue": "include").
std::string nomes_sugestao_de_diretiva(const std::string &diretiva);
// The edit distance of `a` and `b` (an adjacent swap counts one), case
// slips counting nothing when that is the only difference.
int nomes_distancia(const std::string &a, const std::string &b);
