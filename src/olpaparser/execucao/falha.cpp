// SPDX-License-Identifier: GPL-3.0-or-later
// What a program's death in its own code tells the learner: the line it
// happened on, from the code addresses its child noted and the table of
// lines the child made before main, and a
// cause that fits (a vector's end passed, a huge local variable, a number
// handed where a text goes). The note is the child's, written while the
// program ran: only what checks out is used.
#include "execucao.h"
#include "nomes.h"
#include "olpa_avisos.h"

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

// Signals a program may get, by what they mean to a learner.
struct NomeDeSinal {
  int sinal;
  const char *motivo;
};
const NomeDeSinal SINAIS[] = {
    {SIGBUS, "acessou memória inválida (um ponteiro errado?)"},
    {SIGFPE, "divisão inteira por zero"},
    {SIGILL, "executou uma instrução inválida"},
    {SIGABRT, "abortou (abort ou assert)"},
    {SIGXFSZ, "escreveu um arquivo grande demais"},
    {SIGXCPU, "usou processamento demais"},
    {SIGALRM, "o despertador que ele mesmo pediu (alarm) tocou"},
    {SIGVTALRM, "o despertador de tempo de processamento que ele mesmo pediu tocou"},
    {SIGPROF, "o despertador de tempo de processamento que ele mesmo pediu tocou"},
    {SIGTERM, "recebeu um pedido para terminar (SIGTERM)"},
    {SIGKILL, "foi encerrado à força (SIGKILL)"},
    {SIGINT, "recebeu uma interrupção (SIGINT)"},
    {SIGQUIT, "recebeu um pedido para sair (SIGQUIT)"},
    {SIGHUP, "recebeu o sinal de terminal desligado (SIGHUP)"},
    {SIGUSR1, "recebeu o sinal do usuário 1 (SIGUSR1)"},
    {SIGUSR2, "recebeu o sinal do usuário 2 (SIGUSR2)"},
    {SIGPIPE, "escreveu num cano que ninguém lê (SIGPIPE)"},
    {SIGTRAP, "parou num ponto de depuração (SIGTRAP)"},
    {SIGSTKFLT, "teve uma falha na pilha do coprocessador (SIGSTKFLT)"},
    {SIGIO, "recebeu um aviso de entrada e saída (SIGIO)"},
    {SIGPWR, "recebeu um aviso de falta de energia (SIGPWR)"},
    {SIGSYS, "tentou fazer algo que o olpa não permite"},
};

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

std::vector<int> falha_linhas_da_parada(const TabelaDeLinhas &t, const std::string &codigo,
                                        const EnderecosDaFalha &e, bool no_salto) {
  const int ultima = static_cast<int>(std::count(codigo.begin(), codigo.end(), '\n')) + 1;
  std::vector<int> linhas;
  for (uint32_t i = 0; i < std::min<uint32_t>(e.quantos, ENDERECOS_DA_FALHA); i++) {
    // A return address is just past its call, which may end the line.
    const int linha = linhas_linha(t, e.enderecos[i] - (i == 0 && e.exato ? 0 : 1));
    if (linha >= 1 && linha <= ultima)
      linhas.push_back(linha);
  }
  // An empty loop's jump is told as the line before the loop: the loop is
  // the first empty one from there.
  if (no_salto && e.exato && !linhas.empty())
    if (const int laco = olpa_controle_laco_vazio(codigo, linhas.front()))
      linhas.front() = laco;
  return linhas;
}

std::string falha_dica_do_tempo(const std::string &codigo, const std::vector<int> &linhas,
                                int *laco_achado) {
  *laco_achado = 0;
  if (linhas.empty())
    return " (um laço que nunca termina?)";
  // The loop around where it was, or around a call that led there.
  for (int linha : linhas) {
    const OlpaLaco laco = olpa_controle_laco_da_linha(codigo, linha);
    if (!laco.linha)
      continue;
    *laco_achado = laco.linha;
    const std::string l = std::to_string(laco.linha);
    if (laco.so_conta)
      return ": o laço da linha " + l +
             " só conta, sem fazer mais nada; para esperar, use espera(milissegundos), que "
             "pausa sem gastar o processador";
    return " (o laço da linha " + l + " nunca termina?)";
  }
  return "";
}

std::string falha_motivo_do_sinal(int sinal, bool pilha) {
  if (sinal == SIGSEGV)
    return pilha ? "a pilha estourou (uma recursão que nunca termina?).\n"
                 : "acessou memória inválida (um ponteiro ou índice de vetor errado?).\n";
  for (const NomeDeSinal &s : SINAIS)
    if (s.sinal == sinal)
      return std::string(s.motivo) + ".\n";
  if (sinal >= SIGRTMIN && sinal <= SIGRTMAX)
    return "recebeu o sinal de tempo real " + std::to_string(sinal - SIGRTMIN) + " (SIGRTMIN+" +
           std::to_string(sinal - SIGRTMIN) + ").\n";
  const char *nome = sigabbrev_np(sinal);
  return "recebeu o sinal " + std::to_string(sinal) +
         (nome ? std::string(" (SIG") + nome + ")" : "") + ".\n";
}
