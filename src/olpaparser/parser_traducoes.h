// SPDX-License-Identifier: GPL-3.0-or-later
// tcc's messages in the learner's language (parser_traducoes.cpp): the
// tables of its wordings, matched as patterns. GTK-free.
#pragma once

#include <string>
#include <vector>

// Matches `texto` against a pattern whose "%s" match any (possibly empty)
// text, each such text added to `partes`.
bool parser_casa(const char *padrao, const char *texto, std::vector<std::string> *partes);
// The Portuguese of a compiler error or warning; false when none is listed.
bool parser_traduz_erro(const std::string &texto, std::string *saida);
bool parser_traduz_aviso(const std::string &texto, std::string *saida);
// Whether a warning is one never shown.
bool parser_aviso_descartado(const std::string &texto);
