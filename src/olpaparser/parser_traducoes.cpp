// SPDX-License-Identifier: GPL-3.0-or-later
// tcc's messages in the learner's language: its wordings with their
// Portuguese, and the warnings that are noise for a learner.
#include "parser_traducoes.h"

#include "parser_diagnosticos.h"

#include <iterator>

namespace {

struct Traducao {
  const char *original; // tcc's wording; "%s" stands for any text
  const char *traducao; // "%1", "%2" take the texts matched by the "%s"
};

// Most specific patterns first: the first match wins.
const Traducao ERROS[] = {
    {"'%s' undeclared", "'%1' não foi declarado (faltou declarar a variável ou a função?)"},
    {"'%s' expected (got \"%s\")", "esperava '%1' antes de \"%2\""},
    {"identifier expected", "esperava um nome (identificador)"},
    {"undefined symbol '%s'", "'%1' não existe: nenhuma função ou variável tem esse nome"},
    {"too many arguments to function", "argumentos demais na chamada da função"},
    {"too few arguments to function", "faltam argumentos na chamada da função"},
    {"cannot convert '%s' to '%s'", "tipos incompatíveis: não dá para converter '%1' em '%2'"},
    {"incompatible types for redefinition of '%s'", "'%1' foi redefinido com outro tipo"},
    {"incompatible redefinition of '%s'", "'%1' foi redefinido com outro tipo"},
    {"redefinition of '%s'", "'%1' foi definido mais de uma vez"},
    {"redeclaration of '%s'", "'%1' foi declarado mais de uma vez"},
    {"missing terminating \" character", "texto sem a aspa de fechamento (\")"},
    {"missing terminating ' character", "caractere sem o apóstrofo de fechamento (')"},
    {"unexpected end of file in comment", "comentário sem fim: falta o */ de fechamento"},
    {"unexpected end of file", "o programa terminou antes da hora (falta fechar uma chave?)"},
    {"include file '%s' not found", "arquivo de cabeçalho '%1' não encontrado"},
    {"file '%s' not found", "arquivo '%1' não encontrado"},
    {"lvalue expected", "só uma variável pode receber um valor com '=' (para comparar, use '==')"},
    {"function pointer expected", "isto não é uma função e não pode ser chamado"},
    // After every more specific "... expected".
    {"%s expected", "esperava %1"},
    {"'%s' is not declared as function", "'%1' não foi declarado como função"},
    {"cannot break", "'break' fora de um laço ou de um switch"},
    {"cannot continue", "'continue' fora de um laço"},
    {"label '%s' used but not defined", "o rótulo '%1' é usado mas não foi definido"},
    {"invalid operands for binary operation", "operandos inválidos para esta operação"},
    {"invalid operand types for binary operation", "operandos inválidos para esta operação"},
    {"declaration of void object", "não existe variável do tipo void"},
    {"invalid number syntax", "número escrito de forma inválida"},
    {"invalid number", "número escrito de forma inválida"},
    {"invalid digit", "dígito inválido no número"},
    {"unknown escape sequence: %s", "sequência de escape desconhecida: %1"},
    {"field not found: %s", "o campo '%1' não existe"},
    {"invalid array size", "tamanho de vetor inválido"},
    {"division by zero in constant", "divisão por zero"},
    {"macro '%s' used with too few args", "faltam argumentos na macro '%1'"},
    {"macro '%s' used with too many args", "argumentos demais na macro '%1'"},
};

// Warnings that point at real mistakes.
const Traducao AVISOS[] = {
    {"assignment makes pointer from integer without a cast",
     "um número foi usado onde se espera um ponteiro (um texto vai entre aspas duplas: \"oi\")"},
    {"assignment makes integer from pointer without a cast",
     "um ponteiro (um texto entre aspas?) foi usado onde se espera um número"},
    {"assignment from incompatible pointer type",
     "ponteiros de tipos diferentes: confira o tipo do que foi passado ou guardado"},
    {"assignment discards qualifiers from pointer target type",
     "um ponteiro para const foi passado ou guardado num ponteiro sem const"},
    {"assignment of read-only location", "um valor const não pode ser mudado"},
    {"function might return no value: '%s'",
     "a função '%1' pode chegar ao fim sem devolver um valor (falta um return?)"},
    {"'return' with no value", "return sem valor numa função que devolve um valor"},
    {"void function returns a value",
     "uma função void não devolve valor: tire o valor do return (ou mude o tipo da função)"},
    {"multi-character character constant",
     "entre apóstrofos (') vai um caractere só: um texto vai entre aspas duplas (\"oi\")"},
    {"pointer/integer mismatch in %s", "um ponteiro comparado com um número"},
    {"shift count >= width of type", "deslocamento (<< ou >>) maior que o tamanho do número"},
    {"integer constant overflow", "número grande demais para o seu tipo"},
    {"initializer-string for array is too long",
     "o texto não cabe no vetor (conte também o '\\0' do fim)"},
    {"unknown escape sequence: %s", "sequência de escape desconhecida: %1"},
    {"label '%s' declared but not used", "o rótulo '%1' não é usado"},
    {"%s redefined", "a macro '%1' foi definida de novo"},
    {"storage mismatch for redefinition of '%s'",
     "'%1' foi declarado de dois jeitos (com e sem static)"},
    {"static storage ignored for redefinition of '%s'",
     "'%1' foi declarado de dois jeitos (com e sem static)"},
    {"empty case range", "faixa de case vazia"},
    {"ill-formed UTF-8 subsequence starting with: %s", "caractere inválido no texto: %1"},
    {"#warning %s", "%1"},
};

// Warnings that are noise for a learner (the reference lists them).
const char *const AVISOS_DESCARTADOS[] = {
    "cast between pointer and integer of different size",
    "'%s' attribute ignored%s",
    "#pragma %s is ignored",
    "deprecated use of label at end of compound statement",
    "unnamed struct/union that defines no instances",
    "attribute '__cleanup__' ignored on type",
    "pasting %s does not give a valid preprocessing token",
    "unbalanced #pragma pop_macro",
    "unsupported %s",
    "change type of '%s' from %s ignored",
    "ignoring %s",
    "alignment > 4096",
    "__mode__(%s) not supported%s",
    "inline asm tries to change current section",
};

template <size_t N>
bool traduz(const Traducao (&tabela)[N], const std::string &texto, std::string *saida) {
  for (const Traducao &t : tabela) {
    std::vector<std::string> partes;
    if (!parser_casa(t.original, texto.c_str(), &partes))
      continue;
    saida->clear();
    for (const char *p = t.traducao; *p; p++) {
      if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' &&
          static_cast<size_t>(p[1] - '1') < partes.size()) {
        *saida += partes[p[1] - '1'];
        p++;
      } else {
        *saida += *p;
      }
    }
    return true;
  }
  return false;
}

} // namespace

bool parser_casa(const char *padrao, const char *texto, std::vector<std::string> *partes) {
  if (*padrao == '\0')
    return *texto == '\0';
  if (padrao[0] == '%' && padrao[1] == 's') {
    for (const char *fim = texto;; fim++) {
      partes->emplace_back(texto, fim);
      if (parser_casa(padrao + 2, fim, partes))
        return true;
      partes->pop_back();
      if (*fim == '\0')
        return false;
    }
  }
  return *padrao == *texto && parser_casa(padrao + 1, texto + 1, partes);
}

bool parser_traduz_erro(const std::string &texto, std::string *saida) {
  return traduz(ERROS, texto, saida);
}

bool parser_traduz_aviso(const std::string &texto, std::string *saida) {
  return traduz(AVISOS, texto, saida);
}

bool parser_aviso_descartado(const std::string &texto) {
  for (const char *padrao : AVISOS_DESCARTADOS) {
    std::vector<std::string> partes;
    if (parser_casa(padrao, texto.c_str(), &partes))
      return true;
  }
  return false;
}

std::vector<std::string> parser_avisos_descartados() {
  return {std::begin(AVISOS_DESCARTADOS), std::end(AVISOS_DESCARTADOS)};
}
