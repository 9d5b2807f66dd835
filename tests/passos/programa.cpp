// Programs compiled and run in this process, recorded; live, the canvas
// hashed after every call by wrappers bound under the learner functions'
// names, one for each function of the table and each shape of arguments.
#include "programa.h"

#include "olpa_funcoes.h"
#include "olpagfx.h"
#include "parser_interno.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr size_t PIXELS = OLPA_TELA_LARGURA * OLPA_TELA_ALTURA;
constexpr uint32_t COPIAS = 24; // pixel copies taken, evenly

// The canvas lives here, in every run of the process.
uint32_t *tela() {
  static std::unique_ptr<uint32_t[]> pixels(new uint32_t[PIXELS]());
  return pixels.get();
}

std::string console;
void guarda_console(const char *texto, size_t n) {
  console.append(texto, n);
}

// The live run's pixels, after each call.
struct Vivo {
  Gravada *execucao = nullptr;
  std::atomic<uint32_t> mudancas{0};
  uint32_t vistas = 0;
  bool teve_tela = false;
} vivo;

void anota_tela() {
  Gravada &e = *vivo.execucao;
  vivo.teve_tela = vivo.teve_tela || olpa_tela != nullptr;
  const uint32_t passo = static_cast<uint32_t>(e.hashes.size());
  uint64_t hash = e.hashes.empty() ? 0 : e.hashes.back();
  if (e.hashes.empty() || (conferido(passo) && vivo.mudancas.load() != vivo.vistas)) {
    vivo.vistas = vivo.mudancas.load();
    if (olpa_tela)
      cairo_surface_flush(olpa_tela.get());
    hash = hash_da_tela(tela());
  }
  e.com_tela.push_back(vivo.teve_tela);
  e.hashes.push_back(hash);
  e.canetas.emplace_back(olpa_x, olpa_y);
  if (passo % 53 == 7 && e.copias.size() < COPIAS)
    e.copias.emplace_back(passo, std::vector<uint32_t>(tela(), tela() + PIXELS));
}

template <size_t I, typename... A> void chama_vivo(A... a) {
  reinterpret_cast<void (*)(A...)>(const_cast<void *>(OLPA_FUNCOES[I].endereco))(a...);
  anota_tela();
}

template <size_t I> const void *vivo_de(const OlpaAssinatura &a) {
  if (a.quantos > 0 && a.texto[0])
    return reinterpret_cast<const void *>(chama_vivo<I, const char *>);
  switch (a.quantos) {
  case 0:
    return reinterpret_cast<const void *>(chama_vivo<I>);
  case 1:
    return reinterpret_cast<const void *>(chama_vivo<I, int>);
  case 2:
    return reinterpret_cast<const void *>(chama_vivo<I, int, int>);
  case 3:
    return reinterpret_cast<const void *>(chama_vivo<I, int, int, int>);
  case 4:
    return reinterpret_cast<const void *>(chama_vivo<I, int, int, int, int>);
  default: // sprintf: itself
    return OLPA_FUNCOES[I].endereco;
  }
}

template <size_t... I> std::array<const void *, OLPA_NUM_FUNCOES> vivos(std::index_sequence<I...>) {
  return {vivo_de<I>(olpa_funcao_assinatura(I))...};
}

void erro_de_compilacao(void *erros, const char *mensagem) {
  *static_cast<std::string *>(erros) += std::string(mensagem) + "\n";
}

} // namespace

uint64_t hash_da_tela(const uint32_t *pixels) {
  // Four lanes, so that the multiplications overlap.
  uint64_t h[4] = {1, 2, 3, 4};
  const auto *p = reinterpret_cast<const uint64_t *>(pixels);
  for (size_t i = 0; i < PIXELS / 2; i += 4)
    for (int j = 0; j < 4; j++)
      h[j] = (h[j] ^ p[i + j]) * 0xff51afd7ed558ccdu + (h[j] >> 31);
  return h[0] ^ (h[1] * 3) ^ (h[2] * 5) ^ (h[3] * 7);
}

Gravada roda_programa(const std::string &codigo, const OlpaRegistroMedidas &medidas, bool ao_vivo) {
  static const std::array<const void *, OLPA_NUM_FUNCOES> embrulhos =
      vivos(std::make_index_sequence<OLPA_NUM_FUNCOES>());
  Gravada e;
  olpa_gfx_define_pixels(reinterpret_cast<unsigned char *>(tela()));
  olpa_gfx_define_console(guarda_console);
  olpa_gfx_define_trace([](const char *, size_t) {});
  olpa_gfx_define_espera([](int) {});
  const size_t tamanho = olpa_registro_tamanho(medidas);
  std::unique_ptr<void, decltype(&free)> memoria(aligned_alloc(64, tamanho), free);
  memset(memoria.get(), 0, tamanho);
  olpa_registro_define(memoria.get(), medidas);
  olpa_gfx_nova_execucao();
  console.clear();
  TccPtr s(tcc_new());
  tcc_set_error_func(s.get(), &e.erros, erro_de_compilacao);
  parser_ajusta_compilador(s.get(), TCC_OUTPUT_MEMORY);
  for (size_t i = 0; i < OLPA_NUM_FUNCOES; i++)
    tcc_add_symbol(s.get(), OLPA_FUNCOES[i].nome,
                   ao_vivo ? embrulhos[i] : OLPA_FUNCOES[i].endereco);
  std::unique_ptr<void, decltype(&free)> bloco(nullptr, free);
  e.compilou = tcc_compile_string(s.get(), (parser_preludio() + codigo).c_str()) == 0;
  const int n = e.compilou ? tcc_relocate(s.get(), nullptr) : -1;
  if (n > 0)
    bloco.reset(malloc(static_cast<size_t>(n)));
  e.compilou = bloco && tcc_relocate(s.get(), bloco.get()) == 0;
  auto principal = e.compilou
                       ? reinterpret_cast<int (*)(int, char **)>(tcc_get_symbol(s.get(), "main"))
                       : nullptr;
  if (principal) {
    olpa_registro_principal(reinterpret_cast<const void *>(principal));
    if (ao_vivo) {
      vivo.execucao = &e;
      vivo.teve_tela = false;
      olpa_gfx_define_mudancas(&vivo.mudancas);
      anota_tela();
    }
    char nome[] = "programa";
    char *argv[] = {nome, nullptr};
    principal(1, argv);
    olpa_gfx_define_mudancas(nullptr);
  }
  e.console = console;
  olpa_registro_le(memoria.get(), medidas, &e.registro);
  olpa_registro_define(nullptr);
  return e;
}

std::vector<int> linhas_do_registro(const std::string &codigo, const OlpaRegistro &r) {
  std::vector<int> linhas;
  for (uint64_t endereco : r.enderecos) {
    EnderecosDaFalha e{};
    e.principal = r.principal;
    e.quantos = 1;
    e.enderecos[0] = endereco;
    linhas.push_back(parser_linha_do_codigo(codigo, e));
  }
  return linhas;
}
