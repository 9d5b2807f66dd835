// SPDX-License-Identifier: GPL-3.0-or-later
// The summary olpa-rodar --compara prints at the end: a table of the files,
// how many have each verdict, how far apart the "igual" and "diferente"
// files are, and which hand-ins share their code.
#include "turma.h"

#include "textos.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string diferenca_de(const Correcao &c) {
  return c.comparada && c.situacao != Situacao::NadaDesenhado
             ? texto_porcentagem(c.comparacao.parte())
             : "";
}

void mostra_tabela(const Turma &t) {
  std::vector<std::vector<std::string>> linhas = {
      {"arquivo", "situação", "nota", "diferença", "mensagem"}};
  for (const Correcao &c : t.correcoes)
    linhas.push_back({texto_de_uma_linha(c.arquivo), situacao_rotulo(c.situacao),
                      texto_decimal(situacao_nota(c), 1, ','), diferenca_de(c),
                      texto_de_uma_linha(c.mensagem)});
  size_t larguras[4] = {0, 0, 0, 0};
  for (const auto &l : linhas)
    for (int k = 0; k < 4; k++)
      larguras[k] = std::max(larguras[k], texto_largura(l[k]));
  for (const auto &l : linhas) {
    std::string linha;
    for (int k = 0; k < 4; k++)
      linha += texto_alinhado(l[k], larguras[k]) + "  ";
    linha += l[4];
    while (!linha.empty() && linha.back() == ' ')
      linha.pop_back();
    printf("%s\n", linha.c_str());
  }
}

void mostra_copias(const Turma &t) {
  std::string do_modelo;
  for (size_t i = 0; i < t.correcoes.size(); i++) {
    if (copias_igual_ao_modelo(t, i))
      do_modelo += (do_modelo.empty() ? "" : ", ") + texto_de_uma_linha(t.correcoes[i].arquivo);
    const std::vector<size_t> outros = copias_do_grupo(t, i);
    // Each group once, at its first file.
    if (outros.empty() || outros.front() < i)
      continue;
    // A terminal line, not a list: the whole group is in the report.
    constexpr size_t MOSTRADOS = 10;
    std::string grupo = texto_de_uma_linha(t.correcoes[i].arquivo);
    for (size_t k = 0; k < outros.size() && k + 1 < MOSTRADOS; k++)
      grupo += ", " + texto_de_uma_linha(t.correcoes[outros[k]].arquivo);
    if (outros.size() >= MOSTRADOS)
      grupo += " e mais " + std::to_string(outros.size() + 1 - MOSTRADOS);
    printf("Mesmo código (sem contar espaços): %s.\n", grupo.c_str());
  }
  if (!do_modelo.empty())
    printf("Mesmo código do modelo (sem contar espaços): %s.\n", do_modelo.c_str());
}

} // namespace

void resumo_separacao(const Turma &t, double *maior_igual, double *menor_diferente) {
  *maior_igual = *menor_diferente = -1;
  for (const Correcao &c : t.correcoes) {
    const double parte = c.comparacao.parte();
    if (c.situacao == Situacao::Igual)
      *maior_igual = std::max(*maior_igual, parte);
    else if (c.situacao == Situacao::Diferente)
      *menor_diferente = *menor_diferente < 0 ? parte : std::min(*menor_diferente, parte);
  }
}

void resumo_mostra(const Turma &t, const std::string &html) {
  mostra_tabela(t);
  std::string contas;
  for (Situacao s : SITUACOES)
    if (const int n = turma_conta(t, s))
      contas +=
          std::string(contas.empty() ? "" : ", ") + std::to_string(n) + " " + situacao_rotulo(s, n);
  const size_t total = t.correcoes.size();
  printf("\n%zu %s%s%s.\n", total, total == 1 ? "arquivo" : "arquivos", contas.empty() ? "" : ": ",
         contas.c_str());
  double maior_igual, menor_diferente;
  resumo_separacao(t, &maior_igual, &menor_diferente);
  if (maior_igual >= 0 && menor_diferente >= 0)
    printf("Separação: a maior diferença entre os iguais é %s do desenho; a menor entre os "
           "diferentes, %s.\n",
           texto_porcentagem(maior_igual).c_str(), texto_porcentagem(menor_diferente).c_str());
  mostra_copias(t);
  printf("Relatório: %s\n", texto_de_uma_linha(html).c_str());
}
