// What the console shows of the analysis at the end of a run: its findings
// as "[aviso]" lines, each once and in line order, but for what the run
// itself told; or why there are none.
#include "analise.h"

#include <algorithm>
#include <utility>

namespace {

bool dito_desligada = false; // the console was told there is no analysis

} // namespace

std::string analise_console(const AnaliseResultado &r, const AnaliseDaExecucao &e) {
  auto tem = [](const std::vector<int> &linhas, int linha) {
    return std::find(linhas.begin(), linhas.end(), linha) != linhas.end();
  };
  std::vector<std::pair<int, std::string>> ditas;
  for (const AnaliseAchado &a : r.achados) {
    // Without the compiler's consent its errors tell the lines they are on.
    if (!a.linha_do_engano &&
        ((a.erro && !e.compilou) || (!e.compilou && tem(e.linhas_erro, a.linha)) ||
         (a.opcao == "olpa-faixa" && tem(e.linhas_aviso, a.linha))))
      continue;
    ditas.push_back({a.linha_do_engano ? a.linha_do_engano : a.linha, a.texto});
  }
  std::stable_sort(ditas.begin(), ditas.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  std::string linhas, anterior;
  for (const auto &[numero, texto] : ditas) {
    const std::string linha = "[aviso] linha " + std::to_string(numero) + ": " + texto + "\n";
    if (linha != anterior && linhas.find(linha) == std::string::npos)
      linhas += linha;
    anterior = linha;
  }
  return linhas;
}

std::string analise_linhas_do_console(const std::string &codigo, int ms,
                                      const AnaliseDaExecucao &execucao) {
  AnaliseResultado r;
  if (!analise_espera(codigo, ms, &r))
    return {};
  switch (r.estado) {
  case AnaliseEstado::Feita:
    return analise_console(r, execucao);
  case AnaliseEstado::Desligada:
    if (dito_desligada)
      return {};
    dito_desligada = true;
    return "[olpa] a análise do programa está desligada: " + r.motivo + ".\n";
  case AnaliseEstado::Esgotada:
    return "[olpa] a análise do programa demorou demais e foi interrompida.\n";
  case AnaliseEstado::Falhou:
    break;
  }
  return "[olpa] a análise do programa falhou.\n";
}
