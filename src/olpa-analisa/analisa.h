// olpa-analisa: the process that analyses a learner's program with clang's
// front end, apart from the window and from the runs, confined, for as long
// as the window lives (analise_protocolo.h says what it reads and writes).
#pragma once

#include <string>

// The translation unit kept from one text to the next (unidade.cpp): the
// text parsed (again, with the preamble of its #includes kept), and its
// findings as answer lines, without the final "fim".
void unidade_prepara();
std::string unidade_analisa(const std::string &texto);

// The learner functions' ranges checked on constant arguments (faixas.cpp),
// as answer lines.
std::string faixas_confere(void *unidade);

// Confines this process (isola.cpp): files read only beneath the folders
// of headers and written only in `temporaria`, no network, no new process,
// limits on memory, processor and files. Empty when everything is in
// place; otherwise what is missing (a trace line).
std::string isola_processo(const std::string &temporaria);
