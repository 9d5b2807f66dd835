// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-rodar --junta: the partial reports of one class (each made with
// --parte K/N, anywhere: another machine, a job of a batch system) as one.
// Each part keeps its files' places in the whole list and their pictures'
// names, so the merged report is the one the whole class graded at once
// would have made: its CSV byte for byte.
#include "turma.h"

#include "dados.h"
#include "figuras.h"
#include "textos.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <glib.h>

namespace {

int erro(const std::string &mensagem) {
  fprintf(stderr, "olpa-rodar: %s\n", mensagem.c_str());
  return 2;
}

// A part's picture into the merged report, read as any picture is: a PNG of
// 640 x 480 beneath that part's figuras/, written again.
bool copia_figura(const std::string &de, const std::string &para, const std::string &caminho,
                  std::string *motivo) {
  if (caminho.empty())
    return true;
  Pixels figura;
  return figura_le(de + "/" + caminho, &figura, motivo) &&
         figura_grava(figura.data(), para + "/" + caminho, motivo);
}

} // namespace

int junta_relatorios(const OpcoesTurma &o) {
  Turma t;
  for (const std::string &pasta : o.arquivos) {
    Turma parte;
    std::string motivo;
    const std::string nome = "\"" + texto_de_uma_linha(pasta) + "\"";
    if (!dados_le(pasta, &parte, &motivo))
      return erro("não há um relatório em " + nome +
                  (motivo.empty() ? "" : " que se possa ler (" + texto_de_uma_linha(motivo) + ")") +
                  ".");
    parte.modelo_figura = TURMA_FIGURA_DO_MODELO;
    if (t.modelo_soma.empty())
      t = parte, t.correcoes.clear();
    else if (parte.modelo_soma != t.modelo_soma || parte.deslocamento != t.deslocamento ||
             parte.total != t.total)
      return erro("o relatório em " + nome +
                  " não é parte da mesma correção (outro modelo, outro --deslocamento ou outra "
                  "lista de arquivos).");
    if (g_mkdir_with_parents((o.relatorio + "/figuras").c_str(), 0755) != 0)
      return erro("não foi possível criar a pasta do relatório \"" +
                  texto_de_uma_linha(o.relatorio) + "\": " + g_strerror(errno) + ".");
    for (const Correcao &c : parte.correcoes) {
      if (!copia_figura(pasta, o.relatorio, c.figura, &motivo) ||
          !copia_figura(pasta, o.relatorio, c.diferenca, &motivo))
        return erro("as figuras de " + nome + " não servem: " + texto_de_uma_linha(motivo) + ".");
      t.correcoes.push_back(c);
    }
    if (!copia_figura(pasta, o.relatorio, t.modelo_figura, &motivo))
      return erro("a figura do modelo em " + nome + " não serve: " + texto_de_uma_linha(motivo) +
                  ".");
  }
  std::string motivo;
  Pixels modelo;
  if (!figura_le(o.relatorio + "/" + TURMA_FIGURA_DO_MODELO, &modelo, &motivo))
    return erro("nenhuma parte foi dada.");
  OpcoesComparacao oc;
  oc.deslocamento = t.deslocamento;
  t.marcas = compara_cores_das_marcas(modelo.data(), oc);
  std::stable_sort(t.correcoes.begin(), t.correcoes.end(),
                   [](const Correcao &a, const Correcao &b) { return a.posicao < b.posicao; });
  for (size_t i = 1; i < t.correcoes.size(); i++)
    if (t.correcoes[i].posicao == t.correcoes[i - 1].posicao)
      return erro("duas partes corrigiram o arquivo " + std::to_string(t.correcoes[i].posicao) +
                  " da lista (" + texto_de_uma_linha(t.correcoes[i].arquivo) + ").");
  t.tolerancia = o.tolerancia;
  for (Correcao &c : t.correcoes)
    situacao_julga(t.tolerancia, &c);
  copias_agrupa(&t);
  const int status = turma_grava(t, o);
  if (status != 2 && t.correcoes.size() < t.total)
    fprintf(stderr, "olpa-rodar: %s %zu dos %zu arquivos da turma: falta alguma parte?\n",
            t.total - t.correcoes.size() == 1 ? "falta" : "faltam", t.total - t.correcoes.size(),
            t.total);
  return status != 2 && t.correcoes.size() < t.total ? 1 : status;
}
