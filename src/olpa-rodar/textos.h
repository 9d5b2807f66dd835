// SPDX-License-Identifier: GPL-3.0-or-later
// Texts for people: file names shown safely, numbers the Brazilian way.
#pragma once

#include <string>

// Valid UTF-8: bytes that are not become U+FFFD.
std::string texto_utf8(const std::string &bruto);
// Valid UTF-8 that shows as one line and cannot steer a terminal: control
// characters written as \n, \t, \r or \xNN.
std::string texto_de_uma_linha(const std::string &bruto);
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
