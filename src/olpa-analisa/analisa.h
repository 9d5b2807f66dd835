// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-analisa: the process that analyses a learner's program with clang's
// front end, apart from the window and from the runs, confined, for as long
// as the window lives (analise_protocolo.h says what it reads and writes).
#pragma once

#include <string>
#include <vector>

// The translation unit kept from one text to the next (unidade.cpp): the
// text parsed (again, with the preamble of its #includes kept), and its
// findings as answer lines, without the final "fim".
void unidade_prepara();
std::string unidade_analisa(const std::string &texto);

// What one walk over the syntax tree finds (arvore.cpp): the learner
// functions' ranges checked on constant arguments, as answer lines; and
// where each function definition and each call is (byte offsets in the
// program), to name them.
struct Trecho {
  unsigned inicio, fim; // its extent
  std::string nome;
  unsigned onde; // where its name is
};
struct Arvore {
  std::string faixas;
  std::vector<Trecho> funcoes, chamadas;
};
Arvore arvore_percorre(void *unidade);
// Without a main, a finding for each function the program defines (the
// reader keeps the one whose name is close to main).
std::string arvore_sem_main(const Arvore &arvore, void *unidade);
// Notes naming the function a finding at byte `onde` is in ("olpa-funcao
// NOME") and the call whose arguments hold it ("olpa-chamada NOME").
std::string arvore_notas(const Arvore &arvore, unsigned onde);

// Confines this process (isola.cpp): files read only beneath the folders
// of headers and written only in `temporaria`, no network, no new process,
// limits on memory, processor and files. Empty when everything is in
// place; otherwise what is missing (a trace line).
std::string isola_processo(const std::string &temporaria);
