// SPDX-License-Identifier: GPL-3.0-or-later
// What a run did with the canvas (the relato of OlpaEstado), noted as the
// drawing functions are called: enough for the runner to say why a run that
// ended well shows no picture, or the wrong one.
#include "olpagfx.h"

#include "olpa_funcoes.h"

#include <algorithm>
#include <cmath>

namespace {

OlpaRelato &relato() {
  return olpa_estado.relato;
}

} // namespace

void olpa_relato_comeca(bool tela_aberta) {
  relato() = OlpaRelato{};
  relato().manual_de_antes = olpa_arquivo_gravamanual != 0;
  relato().tela_da_execucao = tela_aberta;
}

void olpa_relato_traco(cairo_t *cr, double x1, double y1, double x2, double y2) {
  OlpaRelato &r = relato();
  r.desenhou = 1;
  r.tela_da_execucao = 1;
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
    r.estragada = 1;
  if (r.dentro || r.estragada)
    return;
  // The segment's box on the canvas, widened by half the line's width.
  double lx = cairo_get_line_width(cr), ly = 0, mx = 0, my = lx;
  cairo_user_to_device_distance(cr, &lx, &ly);
  cairo_user_to_device_distance(cr, &mx, &my);
  const double meia = std::max(std::hypot(lx, ly), std::hypot(mx, my)) / 2;
  cairo_user_to_device(cr, &x1, &y1);
  cairo_user_to_device(cr, &x2, &y2);
  r.dentro = std::max(x1, x2) + meia > 0 && std::min(x1, x2) - meia < OLPA_TELA_LARGURA &&
             std::max(y1, y2) + meia > 0 && std::min(y1, y2) - meia < OLPA_TELA_ALTURA;
}

void olpa_relato_sem_tela(void) {
  relato().sem_tela = 1;
}

void olpa_relato_cor(const char *funcao, const int *valores, int quantos, const void *de_onde) {
  OlpaRelato &r = relato();
  const size_t indice = olpa_funcao_indice(funcao);
  if (r.fora_funcao || indice == OLPA_NUM_FUNCOES)
    return;
  const OlpaFuncao &f = OLPA_FUNCOES[indice];
  bool fora = false;
  for (int i = 0; i < std::min(quantos, OLPA_MAX_ARGUMENTOS); i++)
    fora = fora || !olpa_faixa_contem(f.faixas[i], valores[i]);
  if (!fora)
    return;
  r.fora_funcao = static_cast<int>(indice) + 1;
  std::copy(valores, valores + std::min(quantos, 4), r.fora_valores);
  r.fora_de_onde = reinterpret_cast<uintptr_t>(de_onde);
}

void olpa_relato_normaliza(OlpaRelato *r) {
  for (int *bandeira : {&r->chamou_inicia, &r->chamou_termina, &r->desenhou, &r->dentro,
                        &r->estragada, &r->sem_tela, &r->manual_de_antes, &r->tela_da_execucao})
    *bandeira = *bandeira != 0;
  if (r->fora_funcao < 0 || r->fora_funcao > static_cast<int>(OLPA_NUM_FUNCOES))
    r->fora_funcao = 0;
}
