// SPDX-License-Identifier: GPL-3.0-or-later
// Records as text that any bytes can be put in: a field is "NAME LENGTH\n",
// its bytes, then "\n". A report keeps its whole class so, to be added to
// later.
#pragma once

#include "compara.h"

#include <map>
#include <string>
#include <vector>

using Campos = std::map<std::string, std::string>;

void registro_campo(std::string *saida, const std::string &nome, const std::string &valor);
// Reads fields from *posicao on, up to the end of the text or a field named
// `fim` (read too); false when the text is not whole fields.
bool registro_le(const std::string &texto, size_t *posicao, Campos *campos,
                 const std::string &fim = "");

// A whole number within [minimo, maximo], in decimal.
bool registro_numero(const std::string &texto, long minimo, long maximo, long *valor);
// Numbers separated by spaces ("3 17"), each within [1, maximo].
std::string registro_lista(const std::vector<int> &numeros);
bool registro_le_lista(const std::string &texto, long maximo, std::vector<int> *numeros);

// A comparison's counts as fields, and back (false when they are not sane).
void registro_comparacao(std::string *saida, const Comparacao &c);
bool registro_le_comparacao(const Campos &campos, Comparacao *c);
