// SPDX-License-Identifier: GPL-3.0-or-later
// What clang found, explained for a learner, by the records of
// dados/avisos.ini (carried inside the program). GTK-free.
#pragma once

#include <string>
#include <vector>

// One finding as the analyser reported it.
struct AnaliseBruto {
  bool erro = false;
  int linha = 0, coluna = 0, linha_fim = 0, coluna_fim = 0;
  std::string opcao, mensagem;
  struct Nota {
    int linha = 0, coluna = 0, linha_fim = 0, coluna_fim = 0;
    std::string mensagem;
  };
  std::vector<Nota> notas;
};

// Its text in Portuguese, with the values of `codigo` put in; never
// English (a finding no record knows is told in general words). With
// `no_lugar_da_nota` when its record says the mistake is where its note is
// (a macro's #define), on line `linha_da_nota`.
struct Explicacao {
  std::string texto;
  bool no_lugar_da_nota = false;
  int linha_da_nota = 0;
};
Explicacao explicacoes_explica(const AnaliseBruto &achado, const std::string &codigo);
// The bytes of `codigo` from line `l`, column `c` to line `l2`, column `c2`
// (one past the end); without an end, the word at the start.
std::string explicacoes_trecho(const std::string &codigo, int l, int c, int l2, int c2);
