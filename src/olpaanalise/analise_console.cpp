// SPDX-License-Identifier: GPL-3.0-or-later
// What the console shows of the analysis at the end of a run: its findings
// as "[aviso]" lines, each once and in line order, but for what the run
// itself told; or why there are none. Put in a run's result before its
// final line.
#include "analise.h"

#include <algorithm>

namespace {

bool dito_desligada = false; // the console was told there is no analysis

bool tem(const std::vector<int> &linhas, int linha) {
  return std::find(linhas.begin(), linhas.end(), linha) != linhas.end();
}

} // namespace

std::vector<AnaliseLinha> analise_linhas(const AnaliseResultado &r, const AnaliseDaExecucao &e) {
  std::vector<AnaliseLinha> ditas;
  for (const AnaliseAchado &a : r.achados) {
    // Without the compiler's consent its errors tell the lines they are on.
    if (!a.linha_do_engano &&
        ((a.erro && !e.compilou) || (!e.compilou && tem(e.linhas_erro, a.linha)) ||
         (a.opcao == "olpa-faixa" && tem(e.linhas_aviso, a.linha))))
      continue;
    const int linha = a.linha_do_engano ? a.linha_do_engano : a.linha;
    const AnaliseLinha dita{true, linha,
                            "[aviso] linha " + std::to_string(linha) + ": " + a.texto + "\n"};
    if (std::none_of(ditas.begin(), ditas.end(),
                     [&](const AnaliseLinha &d) { return d.texto == dita.texto; }))
      ditas.push_back(dita);
  }
  std::stable_sort(ditas.begin(), ditas.end(),
                   [](const AnaliseLinha &a, const AnaliseLinha &b) { return a.linha < b.linha; });
  return ditas;
}

std::string analise_console(const AnaliseResultado &r, const AnaliseDaExecucao &execucao) {
  std::string texto;
  for (const AnaliseLinha &l : analise_linhas(r, execucao))
    texto += l.texto;
  return texto;
}

std::vector<AnaliseLinha> analise_linhas_do_fim(const std::string &codigo, int ms,
                                                const AnaliseDaExecucao &execucao) {
  AnaliseResultado r;
  if (!analise_espera(codigo, ms, &r))
    return {};
  switch (r.estado) {
  case AnaliseEstado::Feita:
    return analise_linhas(r, execucao);
  case AnaliseEstado::Desligada:
    if (dito_desligada)
      return {};
    dito_desligada = true;
    return {{false, 0, "[olpa] a análise do programa está desligada: " + r.motivo + ".\n"}};
  case AnaliseEstado::Esgotada:
    return {{false, 0, "[olpa] a análise do programa demorou demais e foi interrompida.\n"}};
  case AnaliseEstado::Falhou:
    break;
  }
  return {{false, 0, "[olpa] a análise do programa falhou.\n"}};
}

AnaliseDaExecucao analise_da_execucao(const ParserResultado &r) {
  return {r.fim != ParserFim::NaoRodou, r.marcas_erro, r.marcas_aviso};
}

void analise_no_resultado(const std::string &codigo, int ms, ParserResultado *r) {
  analise_poe_no_resultado(analise_linhas_do_fim(codigo, ms, analise_da_execucao(*r)), r);
}

void analise_poe_no_resultado(const std::vector<AnaliseLinha> &linhas, ParserResultado *r) {
  if (linhas.empty())
    return;
  // Before the final status line: "[olpa] sucesso!", or how a run that
  // started ended ("[erro] ... interrompido"); after the compiler's errors.
  size_t onde = r->texto.size(), indice = r->linhas.size();
  const bool final = !r->linhas.empty() && r->linhas.back().tipo != ParserTipo::Texto &&
                     (r->sucesso || r->fim == ParserFim::Interrompido);
  if (final) {
    indice = r->linhas.size() - 1;
    onde = r->linhas.back().inicio;
  } else if (!r->texto.empty() && r->texto.back() != '\n') {
    r->texto += '\n'; // on lines of their own, whatever the program left unfinished
    onde = r->texto.size();
  }
  std::string texto;
  std::vector<ParserLinha> novas;
  for (const AnaliseLinha &l : linhas) {
    // Each "[aviso] linha N" marks its line, as the run's own do.
    if (l.aviso && l.linha > 0 && !tem(r->marcas_aviso, l.linha))
      r->marcas_aviso.push_back(l.linha);
    const size_t inicio = onde + texto.size();
    novas.push_back({l.aviso ? ParserTipo::Aviso : ParserTipo::Olpa, l.linha, inicio,
                     inicio + l.texto.size() - 1});
    texto += l.texto;
  }
  r->texto.insert(onde, texto);
  for (size_t i = indice; i < r->linhas.size(); i++)
    r->linhas[i].inicio += texto.size(), r->linhas[i].fim += texto.size();
  r->linhas.insert(r->linhas.begin() + static_cast<long>(indice), novas.begin(), novas.end());
}
