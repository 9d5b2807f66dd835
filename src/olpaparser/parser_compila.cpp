// How every program is compiled: behind a prelude that declares the learner
// functions (their lines untouched: the prelude ends by numbering the next
// line 1, of "programa"), and with tcc's bounds checks when its checker is
// installed.
#include "parser_interno.h"

#include "olpa_funcoes.h"
#include "diagnosticos.h"

#include <glib.h>

#ifndef OLPA_TCC_DIR
#error "OLPA_TCC_DIR must name tcc's own library folder (where bcheck.o is)"
#endif

const std::string &parser_preludio() {
  static const std::string preludio =
      olpa_funcoes_declaracoes() + "char " + PARSER_MARCO_DE_LIMITES + "[" +
      std::to_string(PARSER_TAMANHO_DO_MARCO) + "];\n#line 1 \"" + DIAGNOSTICOS_ARQUIVO + "\"\n";
  return preludio;
}

bool parser_verificando() {
  static const bool instalado = g_file_test(OLPA_TCC_DIR "/bcheck.o", G_FILE_TEST_IS_REGULAR);
  return instalado && parser_ajustes.verificar;
}

void parser_ajusta_compilador(TCCState *s, int tipo_de_saida) {
  if (parser_verificando())
    tcc_set_options(s, "-b");
  tcc_set_output_type(s, tipo_de_saida);
}
