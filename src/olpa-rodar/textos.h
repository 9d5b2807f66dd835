// SPDX-License-Identifier: GPL-3.0-or-later
// Texts for people: file names shown safely, numbers the Brazilian way.
#pragma once

#include <string>

// Valid UTF-8: bytes that are not become U+FFFD.
std::string texto_utf8(const std::string &bruto);
// Valid UTF-8 that shows as one line and can neither steer a terminal nor
// pass for another text: control characters written as \n, \t, \r, \xNN or
// \uNNNN, and so are the invisible characters that reorder or hide text
// (bidi overrides and isolates, line separators).
std::string texto_de_uma_linha(const std::string &bruto);
// The same, keeping line ends and tabs (a console's text).
std::string texto_de_varias_linhas(const std::string &bruto);
// That text escaped for HTML (text or an attribute's value).
std::string texto_html(const std::string &bruto, bool linhas = false);
// One line for a spreadsheet's cell: a text starting with =, +, - or @ (a
// formula to a spreadsheet) begins with an apostrophe.
std::string texto_celula(const std::string &bruto);
// `valor` with `casas` decimals and `separador` before them ("12,50").
std::string texto_decimal(double valor, int casas, char separador);
// Characters on screen (UTF-8 code points).
size_t texto_largura(const std::string &texto);
// `texto` followed by spaces up to `largura` characters.
std::string texto_alinhado(const std::string &texto, size_t largura);

// "1.234.567"
std::string texto_numero(long n);
// A percentage with two decimals and a comma ("0,40%"); "< 0,01%" for a
// share too small to show but not zero.
std::string texto_porcentagem(double porcento);

// The last component of a path without its extension ("a/b/casa.olp" -> "casa").
std::string texto_nome_base(const std::string &caminho);
// That name with only letters, digits, '-' and '_' (the rest '_'), short
// enough for a file name: fit for the names of the report's pictures.
std::string texto_nome_seguro(const std::string &nome);
