// SPDX-License-Identifier: GPL-3.0-or-later
// A verdict's names, for scripts and for people, and what it is worth.
#include "turma.h"

#include "textos.h"

#include <algorithm>
#include <cmath>

namespace {

struct Nomes {
  const char *nome, *singular, *plural;
};

Nomes nomes(Situacao s) {
  switch (s) {
  case Situacao::Igual:
    return {"igual", "igual", "iguais"};
  case Situacao::Diferente:
    return {"diferente", "diferente", "diferentes"};
  case Situacao::Erro:
    return {"erro", "erro", "erros"};
  case Situacao::Interrompido:
    return {"interrompido", "interrompido", "interrompidos"};
  case Situacao::SemFigura:
    return {"sem_figura", "sem figura", "sem figura"};
  case Situacao::NadaDesenhado:
    break;
  }
  return {"nada_desenhado", "nada desenhado", "nada desenhado"};
}

} // namespace

const char *situacao_nome(Situacao s) {
  return nomes(s).nome;
}

std::string situacao_rotulo(Situacao s, long quantos) {
  return quantos == 1 ? nomes(s).singular : nomes(s).plural;
}

const char *situacao_marca(Marca m) {
  switch (m) {
  case Marca::Faltando:
    return "faltando";
  case Marca::Sobrando:
    return "sobrando";
  case Marca::Cor:
    return "cor";
  case Marca::Nenhuma:
    break;
  }
  return "";
}

int turma_conta(const Turma &turma, Situacao s) {
  int n = 0;
  for (const Correcao &c : turma.correcoes)
    n += c.situacao == s;
  return n;
}

Situacao situacao_da_figura(const Comparacao &c, double tolerancia) {
  if (c.aluno_vazio && !c.modelo_vazio)
    return Situacao::NadaDesenhado;
  return c.parte() <= tolerancia ? Situacao::Igual : Situacao::Diferente;
}

std::string situacao_marcas(const Comparacao &c, const char *depois_da_primeira) {
  std::vector<std::pair<long, Marca>> tipos = {
      {c.faltando, Marca::Faltando}, {c.sobrando, Marca::Sobrando}, {c.cor, Marca::Cor}};
  std::stable_sort(tipos.begin(), tipos.end(),
                   [](const auto &a, const auto &b) { return a.first > b.first; });
  std::string texto;
  for (const auto &[n, m] : tipos)
    if (n > 0)
      texto += (texto.empty() ? "" : ", ") + std::string(situacao_marca(m)) + " " +
               texto_porcentagem(100.0 * static_cast<double>(n) / static_cast<double>(c.desenho)) +
               (texto.empty() ? depois_da_primeira : "");
  return texto;
}

std::string situacao_mensagem(Situacao s, const Comparacao &c) {
  if (s == Situacao::NadaDesenhado)
    return "o programa rodou, mas a figura que gravou só tem o fundo: nada foi desenhado.";
  return s == Situacao::Diferente ? situacao_marcas(c, " do desenho") : "";
}

void situacao_julga(double tolerancia, Correcao *c) {
  if (!c->comparada)
    return;
  c->situacao = situacao_da_figura(c->comparacao, tolerancia);
  c->mensagem = situacao_mensagem(c->situacao, c->comparacao);
}

double situacao_nota(const Correcao &c) {
  if (c.situacao == Situacao::Igual)
    return 10;
  if (c.situacao != Situacao::Diferente)
    return 0;
  return std::floor(90 * (1 - c.comparacao.parte() / 100) + 0.5) / 10;
}
