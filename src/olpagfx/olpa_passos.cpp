// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a recorded run. One pass through the record, in a world of
// its own, keeps a picture every few milliseconds of replaying and notes
// which pixels each call changed (the pixel map) and what each drawing call
// did; a second world shows any step, replaying from the picture before it,
// or from where it already is when that is nearer.
#include "olpa_passos_interno.h"

#include "olpa_funcoes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Work between two pictures kept: replaying from one costs less than going
// through the record (no pixel map), so a step is a fraction of a frame.
constexpr double INTERVALO_MS = 2;
constexpr uint32_t INTERVALO_CHAMADAS = 20000;

} // namespace

namespace {
struct Libera {
  void operator()(void *p) const { free(p); }
};
} // namespace

struct OlpaPassos {
  const OlpaRegistro *registro = nullptr;
  OlpaMundo percurso, vista;
  bool vista_pronta = false;
  OlpaInstantaneos instantaneos;
  // By pixel: the step that changed it last (zeroed as the kernel hands
  // memory over, no page touched before a call changes it).
  std::unique_ptr<uint32_t[], Libera> quem{
      static_cast<uint32_t *>(calloc(OLPA_TELA_LARGURA * OLPA_TELA_ALTURA, sizeof(uint32_t)))};
  std::vector<OlpaEfeito> efeitos; // by call
  // Pixels before a call, where it may change them (written there first).
  std::unique_ptr<uint32_t[]> antes{new uint32_t[OLPA_TELA_LARGURA * OLPA_TELA_ALTURA]};
  OlpaAlcance alcance;
  uint32_t feito = 0; // calls gone through
  bool comecou = false;
  double desde_ms = 0, intervalo_ms = INTERVALO_MS;
};

void OlpaPassosLibera::operator()(OlpaPassos *passos) const {
  delete passos;
}

namespace {

uint32_t total(const OlpaPassos &p) {
  return static_cast<uint32_t>(p.registro->entradas.size());
}

// Keeps the pixels a call may change; after it, notes those that did as
// that step's, and how many.
void guarda_antes(OlpaPassos *p, const uint32_t *pixels) {
  const OlpaAlcance &a = p->alcance;
  for (int y = a.y0; y < a.y1; y++)
    std::copy(pixels + y * OLPA_TELA_LARGURA + a.x0[y], pixels + y * OLPA_TELA_LARGURA + a.x1[y],
              p->antes.get() + y * OLPA_TELA_LARGURA + a.x0[y]);
}
long marca_mudados(OlpaPassos *p, const uint32_t *pixels, uint32_t passo) {
  const OlpaAlcance &a = p->alcance;
  long mudados = 0;
  for (int y = a.y0; y < a.y1; y++)
    for (int x = a.x0[y], i = y * OLPA_TELA_LARGURA + x; x < a.x1[y]; x++, i++)
      if (pixels[i] != p->antes[i]) {
        p->quem[i] = passo;
        mudados++;
      }
  return mudados;
}

// Why a stroke that changed nothing did not, from the state it was drawn in.
OlpaEfeito por_que(const OlpaAlcance &a) {
  if (olpa_alpha <= 0)
    return OlpaEfeito::Invisivel;
  if (cairo_get_line_width(olpa_gfx_contexto()) <= 0)
    return OlpaEfeito::SemLargura;
  if (a.nulo)
    return OlpaEfeito::SemComprimento;
  if (a.fora)
    return OlpaEfeito::ForaDaTela;
  if (olpa_r <= 0 && olpa_g <= 0 && olpa_b <= 0)
    return OlpaEfeito::CorDoFundo;
  return OlpaEfeito::Repetido;
}

// Call `indice` replayed in the pass, with what it changed noted.
void percorre_um(OlpaPassos *p, uint32_t indice) {
  const OlpaChamada c = olpa_registro_chamada(*p->registro, indice);
  const OlpaIndices &f = olpa_funcoes_indices();
  const bool traco = c.funcao == f.linha || c.funcao == f.linha_ate;
  const bool nova =
      (c.funcao == f.inicia || c.funcao == f.inicia_arquivo) && !(c.bandeiras & OLPA_RECUSADO);
  cairo_t *cr = olpa_gfx_contexto();
  const uint32_t *pixels = p->percurso.pixels.get();
  const bool estragada = cr && cairo_status(cr) != CAIRO_STATUS_SUCCESS;
  if (!(traco || nova) || (traco && (!cr || estragada))) {
    olpa_mundo_repete(&p->percurso, *p->registro, indice);
    if (traco)
      p->efeitos[indice] = cr ? OlpaEfeito::TelaEstragada : OlpaEfeito::SemTela;
    return;
  }
  if (nova)
    olpa_alcance_tudo(&p->alcance);
  else if (c.funcao == f.linha)
    olpa_alcance_do_traco(cr, c.valores[0], c.valores[1], c.valores[2], c.valores[3], &p->alcance);
  else
    olpa_alcance_do_traco(cr, olpa_x, olpa_y, static_cast<double>(olpa_x) + c.valores[0],
                          static_cast<double>(olpa_y) + c.valores[1], &p->alcance);
  guarda_antes(p, pixels);
  olpa_mundo_repete(&p->percurso, *p->registro, indice);
  if (olpa_tela)
    cairo_surface_flush(olpa_tela.get());
  const long mudados = marca_mudados(p, pixels, indice + 1);
  if (traco)
    p->efeitos[indice] = mudados > 0 ? OlpaEfeito::Pintou : por_que(p->alcance);
}

// Goes through the record up to call `ate` or for `ms` milliseconds.
bool anda(OlpaPassos *p, uint32_t ate, double ms) {
  ate = std::min(ate, total(*p));
  if (p->efeitos.size() < total(*p)) // the record grew (read again while the run goes on)
    p->efeitos.resize(total(*p), OlpaEfeito::Nenhum);
  if (p->feito >= ate)
    return p->feito == total(*p);
  OlpaNoMundo no(&p->percurso);
  if (!p->comecou) {
    olpa_mundo_comeca(&p->percurso, *p->registro);
    olpa_instantaneos_guarda(&p->instantaneos, &p->percurso);
    p->comecou = true;
  }
  double agora = olpa_agora_ms();
  const double fim = agora + ms;
  while (p->feito < ate) {
    percorre_um(p, p->feito++);
    const double antes = agora;
    agora = olpa_agora_ms();
    p->desde_ms += agora - antes;
    if (p->feito < total(*p) &&
        (p->desde_ms >= p->intervalo_ms ||
         p->feito - p->instantaneos.lista.back().passo >= INTERVALO_CHAMADAS)) {
      p->desde_ms = 0;
      // Pictures dropped for the budget: the next ones come less often.
      if (olpa_instantaneos_guarda(&p->instantaneos, &p->percurso))
        p->intervalo_ms *= 2;
    }
    if (agora >= fim)
      break;
  }
  return p->feito == total(*p);
}

constexpr double SEM_PRAZO = std::numeric_limits<double>::infinity();

} // namespace

OlpaPassosPtr olpa_passos_cria(const OlpaRegistro *registro, size_t orcamento) {
  OlpaPassosPtr p(new OlpaPassos);
  p->registro = registro;
  olpa_mundo_inicia(&p->percurso);
  olpa_mundo_inicia(&p->vista);
  p->instantaneos.orcamento = orcamento;
  p->efeitos.assign(registro->entradas.size(), OlpaEfeito::Nenhum);
  return p;
}

bool olpa_passos_percorre(OlpaPassos *p, double ms) {
  return anda(p, total(*p), ms);
}

uint32_t olpa_passos_percorridos(const OlpaPassos *p) {
  return p->feito;
}

OlpaQuadro olpa_passos_mostra(OlpaPassos *p, uint32_t passo) {
  passo = std::min(passo, total(*p));
  anda(p, passo, SEM_PRAZO);
  if (!p->comecou) { // an empty record
    OlpaNoMundo no(&p->percurso);
    olpa_mundo_comeca(&p->percurso, *p->registro);
    olpa_instantaneos_guarda(&p->instantaneos, &p->percurso);
    p->comecou = true;
  }
  OlpaMundo *v = &p->vista;
  OlpaNoMundo no(v);
  const OlpaInstantaneo &s = olpa_instantaneos_antes(p->instantaneos, passo);
  if (!p->vista_pronta || v->passo > passo || v->passo < s.passo) {
    olpa_instantaneos_restaura(s, v);
    p->vista_pronta = true;
  }
  while (v->passo < passo)
    olpa_mundo_repete(v, *p->registro, v->passo);
  OlpaQuadro q;
  cairo_t *cr = olpa_gfx_contexto();
  if (olpa_tela)
    cairo_surface_flush(olpa_tela.get());
  q.pixels = v->teve_tela ? reinterpret_cast<const unsigned char *>(v->pixels.get()) : nullptr;
  q.aberta = cr != nullptr;
  q.x = olpa_x;
  q.y = olpa_y;
  if (cr && cairo_status(cr) == CAIRO_STATUS_SUCCESS) {
    q.caneta_x = olpa_x;
    q.caneta_y = olpa_y;
    cairo_user_to_device(cr, &q.caneta_x, &q.caneta_y);
    q.caneta = true;
  }
  return q;
}

uint32_t olpa_passos_quem_pintou(const OlpaPassos *p, int x, int y) {
  if (x < 0 || y < 0 || x >= OLPA_TELA_LARGURA || y >= OLPA_TELA_ALTURA)
    return 0;
  return p->quem[y * OLPA_TELA_LARGURA + x];
}

OlpaEfeito olpa_passos_efeito(const OlpaPassos *p, uint32_t indice) {
  return indice < p->feito ? p->efeitos[indice] : OlpaEfeito::Nenhum;
}

size_t olpa_passos_memoria(const OlpaPassos *p) {
  const size_t tela = OLPA_TELA_LARGURA * OLPA_TELA_ALTURA * sizeof(uint32_t);
  return p->instantaneos.bytes + p->instantaneos.ultima.capacity() * sizeof(uint32_t) + 4 * tela +
         p->efeitos.capacity() + sizeof *p;
}

size_t olpa_passos_instantaneos(const OlpaPassos *p) {
  return p->instantaneos.lista.size();
}
