// The functions learners' programs can call, in the order the runner offers
// them: one table that the registration reads, and that prototypes, help and
// completion can read too. GTK-free.
#pragma once

#include <cstddef>

struct OlpaFuncao {
  const char *nome;      // the name programs call it by
  const void *endereco;  // what that name is bound to
  const char *prototipo; // its C declaration, as a learner would write it
  const char *descricao; // one line, in Portuguese
  // A tiny example: the body of a main that shows the function at work. The
  // help shows it, and the build runs it to draw the picture beside it.
  const char *exemplo = nullptr;
};

constexpr size_t OLPA_NUM_FUNCOES = 18;
extern const OlpaFuncao OLPA_FUNCOES[OLPA_NUM_FUNCOES];
