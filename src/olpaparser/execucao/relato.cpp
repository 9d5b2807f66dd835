// SPDX-License-Identifier: GPL-3.0-or-later
// What a run that ended well says about its picture: why it shows none (no
// main, no inicia, no termina, manual saving), and a colour given out of
// range. From the drawing library's relato, which
// the program could have written over: flags only, checked on import.
#include "execucao.h"

#include "olpa_funcoes.h"

#include <algorithm>

namespace {

std::string lista(const int *valores, int n) {
  std::string s;
  for (int i = 0; i < n; i++)
    s += (i ? ", " : "") + std::to_string(valores[i]);
  return s;
}

} // namespace

std::string relato_aviso_de_cor(const OlpaRelato &r, int linha) {
  if (r.fora_funcao <= 0 || r.fora_funcao > static_cast<int>(OLPA_NUM_FUNCOES))
    return {};
  const OlpaFuncao &f = OLPA_FUNCOES[r.fora_funcao - 1];
  const int n = std::clamp(olpa_funcao_assinatura(r.fora_funcao - 1).quantos, 0, 4);
  for (int i = 0; i < n; i++) {
    const int v = r.fora_valores[i];
    if (olpa_faixa_contem(f.faixas[i], v))
      continue;
    return "[aviso] " + (linha > 0 ? "linha " + std::to_string(linha) + ": " : std::string()) +
           f.nome + "(" + lista(r.fora_valores, n) + "): " + olpa_faixa_texto(f.faixas[i]) + "; " +
           std::to_string(v) + " valeu " + std::to_string(olpa_faixa_limita(f.faixas[i], v)) +
           ".\n";
  }
  return {};
}

std::string relato_por_que(const OlpaRelato &r, bool tem_main, const OlpaEstado &estado) {
  if (!tem_main)
    return "[olpa] o programa não tem main, então nada rodou: todo programa começa em int "
           "main(void) { ... }.\n";
  if (!r.chamou_inicia && !r.tela_da_execucao)
    return "[olpa] o programa não chamou inicia(), então nada foi desenhado.\n";
  if (estado.tela_aberta)
    return "[olpa] o programa não chamou termina(), então a figura não foi gravada (a tela "
           "mostra o desenho até aqui).\n";
  if (!estado.png_gravado && estado.gravamanual && r.manual_de_antes)
    return "[olpa] a gravação manual de um inicia_arquivo anterior continua ligada, então "
           "termina() não gravou a figura: aperte Limpar para desligá-la.\n";
  if (!estado.png_gravado && estado.gravamanual)
    return "[olpa] com inicia_arquivo, termina() não grava a figura: só grava_tela grava.\n";
  // Strokes that show nothing are the record's to tell (registro.cpp), naming their line.
  return {};
}
