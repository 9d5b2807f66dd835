// SPDX-License-Identifier: GPL-3.0-or-later
// The functions learners' programs can call, in the order the runner offers
// them: one table that the registration reads, and that prototypes, help and
// completion can read too. GTK-free.
#pragma once

#include <cstddef>
#include <string>

struct OlpaFuncao {
  const char *nome;      // the name programs call it by
  const void *endereco;  // what that name is bound to
  const char *prototipo; // its C declaration, as a learner would write it
  const char *descricao; // one line, in Portuguese
  // A tiny example: the body of a main that shows the function at work. The
  // help shows it, and the build runs it to draw the picture beside it.
  const char *exemplo = nullptr;
  // The C header that declares it, for a function of the C library: programs
  // see that header instead of `prototipo`.
  const char *cabecalho = nullptr;
};

constexpr size_t OLPA_NUM_FUNCOES = 18;
extern const OlpaFuncao OLPA_FUNCOES[OLPA_NUM_FUNCOES];

// The declarations every program is compiled with in front of it: each
// learner function by its prototype or its header, one a line.
std::string olpa_funcoes_declaracoes();
