// How every program is compiled: behind a prelude that declares the learner
// functions (their lines untouched: the prelude ends by numbering the next
// line 1).
#include "parser_interno.h"

#include "olpa_funcoes.h"

const std::string &parser_preludio() {
  static const std::string preludio = olpa_funcoes_declaracoes() + "#line 1\n";
  return preludio;
}
