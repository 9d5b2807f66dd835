// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces of the report's page (relatorio_html.cpp puts them together).
#pragma once

#include "turma.h"

#include <string>

// The page's stylesheet (with the colours of this class's marks) and its
// script: sorting and filtering the summary table and the cards.
std::string relatorio_pagina_estilo(const CoresDasMarcas &marcas);
const char *relatorio_pagina_script();

// One learner's card, and the model's.
std::string relatorio_ficha(const Turma &turma, size_t i);
std::string relatorio_ficha_modelo(const Turma &turma);
// What the marks' colours mean, beside a picture of the differences.
std::string relatorio_ficha_legenda();
// A path of the report as a link: each component escaped for a URL.
std::string relatorio_ficha_endereco(const std::string &caminho);
