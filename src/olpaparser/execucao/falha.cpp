// SPDX-License-Identifier: GPL-3.0-or-later
// What a program's death in its own code tells the learner: the line it
// happened on, from the code addresses its child noted and the table of
// lines the child made before main, and a
// cause that fits (a vector's end passed, a huge local variable, a number
// handed where a text goes). The note is the child's, written while the
// program ran: only what checks out is used.
#include "execucao.h"
#include "nomes.h"

#include <algorithm>
#include <cstring>

#include <glib.h>

namespace {

// A frame this large is one function's own variables, not a recursion.
constexpr uint64_t QUADRO_GRANDE = 256u << 10;

// The C function named in a note ("strcpy dest": strcpy), when it is a
// plain name.
std::string nome_de_funcao(const char (&texto)[32]) {
  std::string nome(texto, strnlen(texto, sizeof texto));
  nome = nome.substr(0, nome.find(' '));
  if (nome.empty() || nome.size() > 24)
    return {};
  for (char c : nome)
    if (!g_ascii_isalnum(c) && c != '_')
      return {};
  return nome;
}

} // namespace

int falha_linha(const TabelaDeLinhas &t, const std::string &codigo, const Falha &f, bool recursao) {
  const int ultima = static_cast<int>(std::count(codigo.begin(), codigo.end(), '\n')) + 1;
  return linhas_da_falha(t, ultima, f.enderecos, recursao);
}

bool falha_de_recursao(bool pilha, const Falha &f) {
  return pilha && f.quadro <= QUADRO_GRANDE;
}

std::string falha_motivo(int sinal, bool pilha, bool verificacao, const Falha &f) {
  const std::string funcao = nome_de_funcao(f.funcao);
  if (verificacao) {
    switch (f.tipo) {
    case TipoDeFalha::Liberacao:
      return "free recebeu algo que não veio de malloc (ou que já tinha sido liberado).\n";
    case TipoDeFalha::Sobreposicao:
      return "copiou um pedaço da memória para cima dele mesmo (use memmove).\n";
    default:
      if (!funcao.empty() && !nomes_funcao_do_olpa(funcao))
        return funcao + " passou do fim de um vetor (o vetor é pequeno demais para o que foi "
                        "copiado?).\n";
      return "índice fora do vetor (leu ou escreveu depois do fim de um vetor, ou antes do "
             "começo).\n";
    }
  }
  if (f.tipo == TipoDeFalha::TextoInvalido && nomes_funcao_do_olpa(funcao) && !pilha)
    return funcao + " recebeu algo que não é um texto (um número? um texto vai entre aspas "
                    "duplas: \"oi\").\n";
  if (sinal == SIGSEGV && pilha && f.quadro > QUADRO_GRANDE)
    return "a pilha estourou: a função tem variáveis locais grandes demais (um vetor enorme? "
           "declare-o fora das funções).\n";
  return {};
}
