// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter of the analyser's explanations: the records of the
// finding's option first, then those of any finding by its wording, then a
// plain sentence; the values put in from the message, its notes and the
// program's own text.
#include "explicacoes.h"

#include "analise_protocolo.h"
#include "fonte.h"
#include "nomes.h"
#include "olpa_comum.h"
#include "olpa_funcoes.h"
#include "registros.h"

#include <cstdlib>
#include <glib.h>

extern const char DADOS_AVISOS[]; // dados/avisos.ini

namespace {

const Registros &tabela() {
  static const Registros t = registros_le(DADOS_AVISOS);
  return t;
}

size_t inicio_da_linha(const std::string &codigo, int linha) {
  size_t i = 0;
  for (int l = 1; l < linha && i != std::string::npos; l++) {
    i = codigo.find('\n', i);
    if (i != std::string::npos)
      i++;
  }
  return i;
}

bool de_nome(char c) {
  return g_ascii_isalnum(c) || c == '_' || c == '.';
}

// The values of a finding of the learner functions' ranges.
void partes_da_faixa(const AnaliseBruto &a, const std::string &codigo, Partes *p) {
  char funcao[64] = "";
  int argumento = 0;
  long valor = 0;
  if (sscanf(a.mensagem.c_str(), "%63s %d %ld", funcao, &argumento, &valor) != 3)
    return;
  (*p)["funcao"] = funcao;
  (*p)["valor"] = std::to_string(valor);
  const size_t indice = olpa_funcao_indice(funcao);
  if (indice < OLPA_NUM_FUNCOES && argumento >= 1 && argumento <= OLPA_MAX_ARGUMENTOS) {
    // The range as the learner functions' table has it.
    const OlpaFaixa &f = OLPA_FUNCOES[indice].faixas[argumento - 1];
    (*p)["faixa"] = olpa_faixa_texto(f);
    (*p)["vale"] = std::to_string(olpa_faixa_limita(f, static_cast<int>(valor)));
  }
  for (const AnaliseBruto::Nota &n : a.notas)
    if (n.mensagem == "chamada")
      (*p)["chamada"] = explicacoes_trecho(codigo, n.linha, n.coluna, n.linha_fim, n.coluna_fim);
}

} // namespace

std::string explicacoes_trecho(const std::string &codigo, int l, int c, int l2, int c2) {
  const size_t linha = inicio_da_linha(codigo, l);
  if (linha == std::string::npos || c < 1)
    return {};
  const size_t fim_da_linha = std::min(codigo.find('\n', linha), codigo.size());
  const size_t inicio = std::min(linha + static_cast<size_t>(c - 1), fim_da_linha);
  size_t fim = inicio;
  if (l2 == l && c2 > c) {
    fim = std::min(linha + static_cast<size_t>(c2 - 1), fim_da_linha);
  } else if (l2 > l) {
    fim = fim_da_linha;
  } else {
    while (fim < fim_da_linha && de_nome(codigo[fim]))
      fim++;
    if (fim == inicio && fim < fim_da_linha)
      fim++;
  }
  return codigo.substr(inicio, fim - inicio);
}

namespace {

Explicacao explica(const AnaliseBruto &a, const std::string &codigo) {
  Partes partes{
      {"trecho", explicacoes_trecho(codigo, a.linha, a.coluna, a.linha_fim, a.coluna_fim)},
      {"opcao", a.opcao},
      {"linha", std::to_string(a.linha)}};
  Explicacao e;
  for (const AnaliseBruto::Nota &n : a.notas)
    if (n.linha > 0) {
      partes["linha_da_nota"] = std::to_string(n.linha);
      e.linha_da_nota = n.linha;
      break;
    }
  if (a.opcao == ANALISE_OPCAO_FAIXA)
    partes_da_faixa(a, codigo, &partes);
  // A record that asks for a note holds only when one of them matches.
  auto aceita = [&a](const Registro &r, Partes *p) {
    const std::string &trecho = r.chave("trecho");
    if (!trecho.empty() && !registros_casa(trecho, (*p)["trecho"], p))
      return false;
    const std::string &nota = r.chave("nota");
    if (nota.empty())
      return true;
    for (const AnaliseBruto::Nota &n : a.notas)
      if (registros_casa(nota, n.mensagem, p))
        return true;
    return false;
  };
  const Registro *r =
      a.opcao.empty() ? nullptr
                      : registros_procura(tabela(), a.mensagem,
                                          {{"opcao", a.opcao}, {"tabela", ""}}, &partes, aceita);
  if (!r)
    r = registros_procura(tabela(), a.mensagem, {{"opcao", ""}, {"tabela", ""}}, &partes, aceita);
  if (!r) {
    e.texto = a.erro ? "o C não entendeu este trecho" : "o C estranhou este trecho: confira-o";
    return e;
  }
  e.no_lugar_da_nota = r->chave("na_nota") == "sim" && e.linha_da_nota > 0;
  const std::string &enriquece = r->chave("enriquece");
  if (enriquece == "sugestao" || enriquece == "diretiva") {
    const std::string sugestao = enriquece == "diretiva"
                                     ? nomes_sugestao_de_diretiva(partes["trecho"])
                                     : nomes_sugestao(partes["nome"], fonte_le(codigo, true).nomes);
    if (!sugestao.empty() && sugestao != partes["nome"]) {
      partes["sugestao"] = sugestao;
      e.texto = registros_preenche(tabela(), r->chave("texto_com_sugestao"), partes);
      return e;
    }
  }
  e.texto = registros_preenche(tabela(), r->chave("texto"), partes);
  return e;
}

} // namespace

Explicacao explicacoes_explica(const AnaliseBruto &achado, const std::string &codigo) {
  // Whatever the analyser sent, what is shown is text a console can take.
  Explicacao e = explica(achado, codigo);
  e.texto = olpa_texto_valido(e.texto.data(), e.texto.size());
  return e;
}
