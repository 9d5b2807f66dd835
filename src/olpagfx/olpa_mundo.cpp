// SPDX-License-Identifier: GPL-3.0-or-later
// A world of replayed calls: the library's own functions, run on a state,
// a canvas and pixels of the world's, with nothing going out (no file, no
// console, no espera, no record). The library keeps its state in globals;
// entering a world swaps them whole, and leaving swaps them back.
#include "olpa_passos_interno.h"

#include "olpa_funcoes.h"

#include <cstring>
#include <utility>

namespace {

void nada(const char *, size_t) {}
void sem_espera(int) {}

template <typename F> F funcao(const void *endereco) {
  return reinterpret_cast<F>(const_cast<void *>(endereco));
}

// A name that is refused in the run is never replayed; one accepted but not
// kept whole (the record's texts ran out) stands for any name that is.
constexpr char NOME_ACEITO[] = "passo.png";

} // namespace

void olpa_mundo_inicia(OlpaMundo *mundo) {
  *mundo = OlpaMundo{};
  // Not cleared: a world's pixels are written whole (olpa_mundo_comeca, or a
  // picture put back) before anything reads them.
  mundo->pixels.reset(new uint32_t[OLPA_TELA_LARGURA * OLPA_TELA_ALTURA]);
}

OlpaNoMundo::OlpaNoMundo(OlpaMundo *mundo)
    : mundo_(mundo), ambiente_(olpa_ambiente), registrando_(olpa_registrando) {
  troca();
  olpa_ambiente = OlpaAmbiente{
      nada,    nada,    sem_espera, nullptr, reinterpret_cast<unsigned char *>(mundo->pixels.get()),
      nullptr, nullptr, false,      {},      true};
  olpa_registrando = false;
}

OlpaNoMundo::~OlpaNoMundo() {
  olpa_ambiente = ambiente_;
  olpa_registrando = registrando_;
  troca();
}

void OlpaNoMundo::troca() {
  std::swap(olpa_estado, mundo_->estado);
  std::swap(olpa_tela, mundo_->tela);
  std::swap(olpa_tela_buffer, mundo_->contexto);
}

void olpa_mundo_comeca(OlpaMundo *mundo, const OlpaRegistro &registro) {
  mundo->passo = 0;
  unsigned char *pixels = reinterpret_cast<unsigned char *>(mundo->pixels.get());
  if (registro.tela_inicial.size() == OLPA_TELA_BYTES)
    memcpy(pixels, registro.tela_inicial.data(), OLPA_TELA_BYTES);
  else
    memset(pixels, 0, OLPA_TELA_BYTES);
  olpa_gfx_importa_estado(registro.inicio);
  mundo->teve_tela = olpa_tela != nullptr;
}

void olpa_mundo_repete(OlpaMundo *mundo, const OlpaRegistro &registro, uint32_t indice) {
  mundo->passo = indice + 1;
  const OlpaChamada c = olpa_registro_chamada(registro, indice);
  if (c.bandeiras & OLPA_RECUSADO)
    return;
  const void *f = OLPA_FUNCOES[c.funcao].endereco;
  const OlpaAssinatura &a = olpa_funcao_assinatura(c.funcao);
  const int *v = c.valores;
  if (a.quantos > 0 && a.texto[0]) {
    const std::string texto(c.bandeiras & OLPA_TEXTO_CORTADO ? NOME_ACEITO : c.texto);
    funcao<void (*)(const char *)>(f)(c.bandeiras & OLPA_TEXTO_NULO ? nullptr : texto.c_str());
  } else if (a.quantos == 0) {
    funcao<void (*)()>(f)();
  } else if (a.quantos == 1) {
    funcao<void (*)(int)>(f)(v[0]);
  } else if (a.quantos == 2) {
    funcao<void (*)(int, int)>(f)(v[0], v[1]);
  } else if (a.quantos == 3) {
    funcao<void (*)(int, int, int)>(f)(v[0], v[1], v[2]);
  } else {
    funcao<void (*)(int, int, int, int)>(f)(v[0], v[1], v[2], v[3]);
  }
  mundo->teve_tela = mundo->teve_tela || olpa_tela != nullptr;
}
