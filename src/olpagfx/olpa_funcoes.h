// SPDX-License-Identifier: GPL-3.0-or-later
// The functions learners' programs can call, in the order the runner offers
// them: one table that the registration reads, and that prototypes, help and
// completion can read too. GTK-free.
#pragma once

#include <climits>
#include <cstddef>
#include <string>

// The numbers an argument makes sense in; outside them the function still
// runs (a colour is clamped, a width of 0 draws nothing), and the runner may
// say so.
struct OlpaFaixa {
  int minimo = INT_MIN, maximo = INT_MAX;
  bool sem_zero = false;      // ... and 0 is not one of them
  const char *nome = nullptr; // what the number is, for a message ("a opacidade")
  const char *unidade = "";   // after the numbers ("milissegundos")
};
constexpr int OLPA_MAX_ARGUMENTOS = 4;

struct OlpaFuncao {
  const char *nome;      // the name programs call it by
  const void *endereco;  // what that name is bound to
  const char *prototipo; // its C declaration, as a learner would write it
  // The range of each argument, in order (the types are the prototype's).
  OlpaFaixa faixas[OLPA_MAX_ARGUMENTOS];
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

// Its index in the table, OLPA_NUM_FUNCOES when there is none of that name.
size_t olpa_funcao_indice(const char *nome);

// The index of each learner function the library's own files name.
struct OlpaIndices {
  size_t inicia, inicia_arquivo, termina, linha, linha_ate, escala, traco, cor, cor_e_opacidade,
      opacidade;
};
const OlpaIndices &olpa_funcoes_indices();

// A function's arguments as its prototype declares them: how many (-1 for
// "..."), and which are texts (a char pointer) rather than integers.
struct OlpaAssinatura {
  int quantos;
  bool texto[OLPA_MAX_ARGUMENTOS];
};
const OlpaAssinatura &olpa_funcao_assinatura(size_t indice);

// Whether `valor` is in the range; the nearest number that is, for a range
// that has bounds ("300 valeu 255").
bool olpa_faixa_contem(const OlpaFaixa &faixa, int valor);
int olpa_faixa_limita(const OlpaFaixa &faixa, int valor);
// The range in words: "a opacidade vai de 0 a 100", "a largura vai de 1 para
// cima", "a escala não pode ser 0".
std::string olpa_faixa_texto(const OlpaFaixa &faixa);

// The declarations every program is compiled with in front of it: each
// learner function by its prototype or its header, one a line.
std::string olpa_funcoes_declaracoes();
