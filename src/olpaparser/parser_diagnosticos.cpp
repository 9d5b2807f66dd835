// Compiler diagnostics in the learner's language.
#include "olpaparser.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Traducao {
  const char *original; // tcc's wording; "%s" stands for any text
  const char *traducao; // "%1", "%2" take the texts matched by the "%s"
};

// Most specific patterns first: the first match wins.
const Traducao TRADUCOES[] = {
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
    {"lvalue expected", "esperava uma variável do lado esquerdo da atribuição"},
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

// Matches `texto` against a pattern whose "%s" match any (possibly empty) text.
bool casa(const char *padrao, const char *texto, std::vector<std::string> *partes) {
  if (*padrao == '\0')
    return *texto == '\0';
  if (padrao[0] == '%' && padrao[1] == 's') {
    for (const char *fim = texto;; fim++) {
      partes->emplace_back(texto, fim);
      if (casa(padrao + 2, fim, partes))
        return true;
      partes->pop_back();
      if (*fim == '\0')
        return false;
    }
  }
  return *padrao == *texto && casa(padrao + 1, texto + 1, partes);
}

std::string traduz_texto(const std::string &texto) {
  for (const Traducao &t : TRADUCOES) {
    std::vector<std::string> partes;
    if (!casa(t.original, texto.c_str(), &partes))
      continue;
    std::string saida;
    for (const char *p = t.traducao; *p; p++) {
      if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' &&
          static_cast<size_t>(p[1] - '1') < partes.size()) {
        saida += partes[p[1] - '1'];
        p++;
      } else {
        saida += *p;
      }
    }
    return saida;
  }
  return texto;
}

} // namespace

std::string parser_traduz_diagnostico(const char *mensagem, int *linha) {
  *linha = 0;
  if (!mensagem)
    return {};
  // "In file included from ..." lines come first; the diagnostic is the last line.
  std::string texto = mensagem;
  while (!texto.empty() && texto.back() == '\n')
    texto.pop_back();
  const size_t quebra = texto.rfind('\n');
  if (quebra != std::string::npos)
    texto.erase(0, quebra + 1);

  // "<string>:3: error: ...", "file.h:12: error: ..." or "tcc: error: ...".
  std::string onde;
  static const char *const TIPOS[] = {"error: ", "warning: "};
  size_t pos = std::string::npos;
  bool erro = false;
  for (const char *tipo : TIPOS) {
    const size_t p = texto.find(tipo);
    if (p != std::string::npos && (pos == std::string::npos || p < pos)) {
      pos = p;
      erro = tipo == TIPOS[0];
    }
  }
  if (pos == std::string::npos)
    return {}; // notes and anything else go to standard output only
  if (!erro)
    return {};
  std::string corpo = texto.substr(pos + strlen("error: "));
  std::string prefixo = texto.substr(0, pos);
  std::string local;
  const size_t dois_pontos = prefixo.find(':');
  if (dois_pontos != std::string::npos && prefixo.compare(0, dois_pontos, "tcc") != 0) {
    const std::string arquivo = prefixo.substr(0, dois_pontos);
    const int n = atoi(prefixo.c_str() + dois_pontos + 1);
    if (arquivo == "<string>") {
      *linha = n;
      if (n > 0)
        local = "linha " + std::to_string(n) + ": ";
    } else if (n > 0) {
      local = "arquivo " + arquivo + ", linha " + std::to_string(n) + ": ";
    }
  }
  return "[erro] " + local + traduz_texto(corpo) + "\n";
}
