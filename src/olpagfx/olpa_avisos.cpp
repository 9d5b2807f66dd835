// SPDX-License-Identifier: GPL-3.0-or-later
// The notice of a run whose picture shows nothing or loses strokes, from
// its record: the drawing never ran (and what in the program's text kept
// it from running), or the first line whose strokes all left the canvas as
// it was, and why: drawn with no canvas, on a canvas a scale by 0 broke,
// with opacity 0, width 0, from a point to itself, all off the canvas, in
// the background's black. A line that painted anything at all is no fault,
// nor are lines off the canvas while others show.
#include "olpa_avisos.h"

#include "olpa_funcoes.h"

#include <algorithm>
#include <set>

namespace {

const OlpaFaixa &faixa(size_t funcao, int argumento) {
  return OLPA_FUNCOES[funcao].faixas[argumento];
}

// The line the notice names first (0: none).
int culpada;

// "linha(1, 2, 3, 4), na linha 7,": a call as the program made it, and where.
std::string onde(const OlpaRegistro &r, uint32_t i) {
  const int linha = olpa_registro_linha(r, i);
  if (!culpada)
    culpada = linha;
  return olpa_registro_chamada_texto(r, i) +
         (linha > 0 ? ", na linha " + std::to_string(linha) + "," : std::string());
}

// The last call before `i` of any of `funcoes`; -1 when none.
long ultima(const OlpaRegistro &r, uint32_t i, std::initializer_list<size_t> funcoes) {
  while (i-- > 0)
    if (std::find(funcoes.begin(), funcoes.end(), olpa_registro_chamada(r, i).funcao) !=
        funcoes.end())
      return i;
  return -1;
}

// A stroke lost to what a call of `funcoes` set since the canvas was opened
// ("opacidade(0), na linha 4, deixa a caneta invisível, e as linhas depois
// dela não aparecem: ..."), or to what was so before the run began.
std::string culpa(const OlpaRegistro &r, uint32_t i, std::initializer_list<size_t> funcoes,
                  const std::string &faz, const std::string &antes, const std::string &dica) {
  const OlpaIndices &f = olpa_funcoes_indices();
  const long j = ultima(r, i, funcoes);
  if (j >= 0 && j > ultima(r, i, {f.inicia, f.inicia_arquivo}))
    return "[olpa] " + onde(r, static_cast<uint32_t>(j)) + " " + faz +
           ", e as linhas depois dela não aparecem: " + dica + ".\n";
  return "[olpa] " + onde(r, i) + " não aparece: " + antes + " antes desta execução; " + dica +
         ".\n";
}

std::string nada_rodou(const OlpaRegistro &r, const std::string &codigo) {
  std::vector<int> rodaram;
  for (uint32_t i = 0; i < r.entradas.size(); i++)
    rodaram.push_back(olpa_registro_linha(r, i));
  const OlpaIndices &f = olpa_funcoes_indices();
  const OlpaControle c = olpa_controle_da_chamada(
      codigo, {OLPA_FUNCOES[f.linha].nome, OLPA_FUNCOES[f.linha_ate].nome}, rodaram);
  if (!c.chamada)
    return {};
  culpada = c.tipo == OlpaBloco::Nenhum ? c.chamada : c.linha;
  const std::string inicio = "[olpa] o desenho não rodou nenhuma vez: ";
  const std::string l = std::to_string(c.linha);
  switch (c.tipo) {
  case OlpaBloco::Laco:
    return inicio + "o laço da linha " + l + " nunca repetiu?\n";
  case OlpaBloco::Se:
    return inicio + "a condição do if da linha " + l + " nunca foi verdadeira?\n";
  case OlpaBloco::Senao:
    return inicio + "o else da linha " + l +
           " nunca foi escolhido (a condição do if antes dele foi sempre verdadeira?).\n";
  case OlpaBloco::Escolha:
    return inicio + "o switch da linha " + l + " nunca escolheu o caso que desenha?\n";
  case OlpaBloco::Funcao:
    return inicio + "a função " + c.funcao + ", da linha " + l + ", nunca foi chamada?\n";
  case OlpaBloco::Nenhum:
    break;
  }
  return inicio + "o programa acabou antes de chegar à linha " + std::to_string(c.chamada) + "?\n";
}

// Why stroke `i` showed nothing, naming the call at fault.
std::string por_que(const OlpaRegistro &r, uint32_t i, OlpaEfeito efeito) {
  const OlpaIndices &f = olpa_funcoes_indices();
  // The stroke, named only where it is the call at fault.
  const auto traco = [&r, i] { return onde(r, i); };
  long setter = -1;
  switch (efeito) {
  case OlpaEfeito::SemTela:
    return "[olpa] " + traco() +
           (ultima(r, i, {f.termina}) > ultima(r, i, {f.inicia, f.inicia_arquivo})
                ? " desenha depois de termina(), que já fechou a tela, então não aparece.\n"
                : " desenha antes de inicia(), quando ainda não há tela, então não aparece.\n");
  case OlpaEfeito::TelaEstragada: // the first scale by 0 since the canvas was opened
    for (long j = ultima(r, i, {f.escala}); j > ultima(r, i, {f.inicia, f.inicia_arquivo});
         j = ultima(r, static_cast<uint32_t>(j), {f.escala}))
      if (!olpa_faixa_contem(faixa(f.escala, 0), olpa_registro_chamada(r, j).valores[0]) ||
          !olpa_faixa_contem(faixa(f.escala, 1), olpa_registro_chamada(r, j).valores[1]))
        setter = j;
    return setter < 0 ? "[olpa] a tela veio estragada de uma escala com 0 de antes, e as linhas "
                        "não aparecem: comece com inicia().\n"
                      : "[olpa] " + onde(r, static_cast<uint32_t>(setter)) +
                            " estragou o desenho: com 0 tudo encolhe até sumir, e as linhas depois "
                            "dela não aparecem.\n";
  case OlpaEfeito::Invisivel:
    return culpa(r, i, {f.opacidade, f.cor_e_opacidade}, "deixa a caneta invisível",
                 "a caneta já estava invisível",
                 olpa_faixa_texto(faixa(f.opacidade, 0)) + ", e 100 cobre tudo");
  case OlpaEfeito::SemLargura:
    return culpa(r, i, {f.traco}, "deixa a caneta sem largura", "a caneta já estava sem largura",
                 olpa_faixa_texto(faixa(f.traco, 0)));
  case OlpaEfeito::SemComprimento:
    return "[olpa] " + traco() +
           " começa e acaba no mesmo ponto, então não aparece: uma linha precisa de dois pontos "
           "diferentes.\n";
  case OlpaEfeito::ForaDaTela: {
    const std::string primeiro = traco();
    return "[olpa] nada do que o programa desenhou caiu dentro da tela (x vai de 0 a " +
           std::to_string(OLPA_TELA_LARGURA - 1) + ", e y de 0 a " +
           std::to_string(OLPA_TELA_ALTURA - 1) + "): o primeiro traço foi " +
           primeiro.substr(0, primeiro.size() - (primeiro.back() == ',')) + ".\n";
  }
  case OlpaEfeito::CorDoFundo:
    return culpa(r, i, {f.cor, f.cor_e_opacidade}, "pinta de preto, a cor do fundo",
                 "a caneta já estava preta, a cor do fundo,", "escolha outra cor");
  default:
    return {};
  }
}

bool falta(OlpaEfeito e) {
  return e != OlpaEfeito::Nenhum && e != OlpaEfeito::Pintou && e != OlpaEfeito::Repetido;
}

// The notice itself (olpa_avisos_do_registro).
std::string aviso_de(const OlpaRegistro &r, const OlpaPassos *passos, const std::string &codigo) {
  const uint32_t n = static_cast<uint32_t>(r.entradas.size());
  const OlpaIndices &f = olpa_funcoes_indices();
  bool desenhou = false, dentro = false;
  std::set<int64_t> com_tinta; // lines (or, unknown, addresses) that painted something
  auto chave = [&r](uint32_t i) {
    const int linha = olpa_registro_linha(r, i);
    return linha > 0 ? int64_t{linha} : -static_cast<int64_t>(olpa_registro_chamada(r, i).de_onde);
  };
  for (uint32_t i = 0; i < n; i++) {
    const uint8_t funcao = olpa_registro_chamada(r, i).funcao;
    const OlpaEfeito e = olpa_passos_efeito(passos, i);
    desenhou = desenhou || funcao == f.linha || funcao == f.linha_ate;
    dentro = dentro || (falta(e) && e != OlpaEfeito::ForaDaTela && e != OlpaEfeito::SemTela) ||
             e == OlpaEfeito::Pintou || e == OlpaEfeito::Repetido;
    if (e == OlpaEfeito::Pintou)
      com_tinta.insert(chave(i));
  }
  if (!desenhou)
    return r.chamadas > n ? std::string() : nada_rodou(r, codigo);
  if (olpa_passos_percorridos(passos) < n)
    return {};
  // Off the canvas is a fault only when nothing at all was drawn on it.
  for (uint32_t i = 0; i < n; i++) {
    const OlpaEfeito e = olpa_passos_efeito(passos, i);
    if (falta(e) && !com_tinta.count(chave(i)) && (e != OlpaEfeito::ForaDaTela || !dentro))
      return por_que(r, i, e);
  }
  return {};
}

} // namespace

std::string olpa_avisos_do_registro(const OlpaRegistro &r, const OlpaPassos *passos,
                                    const std::string &codigo, int *linha) {
  culpada = 0;
  const std::string aviso = aviso_de(r, passos, codigo);
  if (linha)
    *linha = aviso.empty() ? 0 : culpada;
  return aviso;
}
