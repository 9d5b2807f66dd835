// The drawing library: the canvas's life, the pen, colour and console text
// that learners' programs call, and the hand-over of its state.
#include "olpagfx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <glib.h>

namespace {

constexpr char ARQUIVO_PADRAO[] = "../telas/imagem.png";

// All zero but the default export path.
constexpr OlpaEstado estado_inicial() {
  OlpaEstado e{};
  for (size_t i = 0; i < sizeof ARQUIVO_PADRAO; i++)
    e.arquivo_exportar[i] = ARQUIVO_PADRAO[i];
  return e;
}

} // namespace

const char *const OLPA_ARQUIVO_PADRAO = ARQUIVO_PADRAO;

OlpaSurface olpa_tela;
OlpaCairo olpa_tela_buffer;
OlpaEstado olpa_estado = estado_inicial();
int &olpa_x = olpa_estado.x, &olpa_y = olpa_estado.y;
float &olpa_r = olpa_estado.r, &olpa_g = olpa_estado.g, &olpa_b = olpa_estado.b,
      &olpa_alpha = olpa_estado.alpha;
char (&olpa_arquivo_exportar)[OLPA_CAMINHO_MAX] = olpa_estado.arquivo_exportar;
int &olpa_arquivo_gravamanual = olpa_estado.gravamanual;
OlpaLeitura olpa_lendo;

namespace {

// Notes, for as long as it lives, that `funcao` reads what the program
// handed it, called from `de_onde`.
class Lendo {
public:
  Lendo(const char *funcao, const void *de_onde) {
    olpa_lendo.de_onde = de_onde;
    olpa_lendo.funcao = funcao;
  }
  ~Lendo() { olpa_lendo.funcao = nullptr; }
  Lendo(const Lendo &) = delete;
  Lendo &operator=(const Lendo &) = delete;
};

const char PASTA_TELAS[] = "../telas/";
const char RAIZ_TELAS[] = "../telas"; // beneath it no link is followed

// Whether `nome` has a ".." component: a picture stays inside the canvas folder.
bool sobe_pasta(const char *nome) {
  for (const char *p = nome; (p = strstr(p, "..")) != nullptr; p += 2)
    if ((p == nome || p[-1] == '/') && (p[2] == '\0' || p[2] == '/'))
      return true;
  return false;
}

void escreve_stdout(const char *texto, size_t tamanho) {
  fwrite(texto, 1, tamanho, stdout);
}

void dorme(int milissegundos) {
  g_usleep(static_cast<gulong>(milissegundos) * 1000);
}

OlpaEscritor saida_console = escreve_stdout;
OlpaEscritor saida_trace = escreve_stdout;
OlpaEsperador esperador = dorme;
std::atomic<uint32_t> *mudancas;
bool espera_avisada; // an espera out of range was noted in this run
OlpaGfxTempos tempos;

unsigned char *memoria_pixels;
unsigned char *ultima_argb;
char *ultima_caminho;

void trace(const char *formato, const char *caminho) {
  std::string linha = formato;
  linha.replace(linha.find("%s"), 2, caminho);
  saida_trace(linha.data(), linha.size());
}

void console_erro(const std::string &mensagem) {
  const std::string linha = "[erro] " + mensagem + "\n";
  saida_console(linha.data(), linha.size());
}

cairo_t *tela() {
  return olpa_tela_buffer.get();
}

// The pixels changed: whoever shows them live may show them again.
void mudou() {
  if (mudancas)
    mudancas->store(mudancas->load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

// A picture that was not written: the run fails, after this "[erro]" line.
void falha_figura(const std::string &mensagem) {
  olpa_estado.png_falhou = 1;
  console_erro(mensagem);
}

// Points the export path at "../telas/<nome>"; refuses what cannot be a name.
bool define_exportar(const char *funcao, const char *nome) {
  if (!nome) {
    falha_figura(std::string(funcao) + ": o nome do arquivo está vazio (NULL).");
    return false;
  }
  // The path goes back to the window, which only takes UTF-8.
  if (!g_utf8_validate(nome, -1, nullptr)) {
    falha_figura(std::string(funcao) + ": o nome do arquivo não é um texto UTF-8 válido.");
    return false;
  }
  if (sizeof PASTA_TELAS - 1 + strlen(nome) >= OLPA_CAMINHO_MAX) {
    falha_figura(std::string(funcao) + ": nome de arquivo longo demais (no máximo " +
                 std::to_string(OLPA_CAMINHO_MAX - sizeof PASTA_TELAS) + " caracteres).");
    return false;
  }
  if (sobe_pasta(nome)) {
    falha_figura(std::string(funcao) + ": o nome \"" + nome +
                 "\" sai da pasta telas (\"..\" não é permitido).");
    return false;
  }
  g_snprintf(olpa_arquivo_exportar, sizeof olpa_arquivo_exportar, "%s%s", PASTA_TELAS, nome);
  trace("[arq-n] %s\n", olpa_arquivo_exportar);
  return true;
}

void grava_exportar_agora() {
  char motivo[256];
  if (ultima_caminho)
    ultima_caminho[0] = '\0';
  if (olpa_gfx_grava_png(olpa_tela.get(), olpa_arquivo_exportar, motivo, sizeof motivo,
                         RAIZ_TELAS)) {
    olpa_estado.png_gravado = 1;
    if (ultima_caminho) {
      memcpy(ultima_argb, cairo_image_surface_get_data(olpa_tela.get()), OLPA_TELA_BYTES);
      g_strlcpy(ultima_caminho, olpa_arquivo_exportar, OLPA_CAMINHO_MAX);
    }
    return;
  }
  falha_figura(std::string("não foi possível gravar a imagem \"") + olpa_arquivo_exportar +
               "\": " + motivo + ".");
}

void grava_exportar() {
  const double inicio = olpa_agora_ms();
  grava_exportar_agora();
  tempos.grava += olpa_agora_ms() - inicio;
}

void aplica_cor() {
  const float red = _olpa_normaliza(olpa_r, 1, 255);
  const float green = _olpa_normaliza(olpa_g, 1, 255);
  const float blue = _olpa_normaliza(olpa_b, 1, 255);
  const float alpha = _olpa_normaliza(olpa_alpha, 1, 100);
  if (tela())
    cairo_set_source_rgba(tela(), red, green, blue, alpha);
}

void abre_tela() {
  olpa_tela_buffer.reset();
  olpa_tela.reset();
  if (memoria_pixels)
    olpa_tela.reset(cairo_image_surface_create_for_data(memoria_pixels, CAIRO_FORMAT_ARGB32,
                                                        OLPA_TELA_LARGURA, OLPA_TELA_ALTURA,
                                                        OLPA_TELA_STRIDE));
  else
    olpa_tela.reset(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA));
  olpa_tela_buffer.reset(cairo_create(olpa_tela.get()));
}

} // namespace

void olpa_gfx_define_console(OlpaEscritor escritor) {
  saida_console = escritor ? escritor : escreve_stdout;
}
void olpa_gfx_define_trace(OlpaEscritor escritor) {
  saida_trace = escritor ? escritor : escreve_stdout;
}
void olpa_gfx_define_espera(OlpaEsperador e) {
  esperador = e ? e : dorme;
}
void olpa_gfx_define_mudancas(std::atomic<uint32_t> *contador) {
  mudancas = contador;
}
void olpa_gfx_define_pixels(unsigned char *pixels) {
  memoria_pixels = pixels;
}
void olpa_gfx_define_ultima_imagem(unsigned char *argb, char *caminho) {
  ultima_argb = argb && caminho ? argb : nullptr;
  ultima_caminho = argb && caminho ? caminho : nullptr;
}

void olpa_gfx_defs(void) {
  g_strlcpy(olpa_arquivo_exportar, OLPA_ARQUIVO_PADRAO, sizeof olpa_arquivo_exportar);
  olpa_arquivo_gravamanual = 0;
}

// ---------------------------------------------------------------- canvas

void inicia(void) {
  olpa_estado.relato.chamou_inicia = 1;
  olpa_estado.relato.tela_da_execucao = 1;
  olpa_r = olpa_g = olpa_b = 255;
  olpa_alpha = 100;
  olpa_x = 320;
  olpa_y = 240;
  const double inicio = olpa_agora_ms();
  abre_tela();
  cairo_set_source_rgba(tela(), 0, 0, 0, 1.0);
  cairo_rectangle(tela(), 0, 0, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA);
  cairo_fill(tela());
  tempos.abre += olpa_agora_ms() - inicio;
  cairo_set_source_rgba(tela(), 1.0, 1.0, 1.0, 1.0);
  mudou();
}

void inicia_arquivo(const char *nome) {
  Lendo lendo("inicia_arquivo", __builtin_return_address(0));
  if (!define_exportar("inicia_arquivo", nome))
    return;
  olpa_arquivo_gravamanual = 1;
  inicia();
}

void grava_tela(const char *nome) {
  Lendo lendo("grava_tela", __builtin_return_address(0));
  if (!define_exportar("grava_tela", nome) || !tela())
    return;
  grava_exportar();
}

void termina(void) {
  olpa_estado.relato.chamou_termina = 1;
  if (!tela())
    return;
  if (!olpa_arquivo_gravamanual) {
    trace("[arq-s] %s\n", olpa_arquivo_exportar);
    grava_exportar();
  }
  olpa_gfx_fecha_tela();
}

void escreve_console(const char *texto) {
  Lendo lendo("escreve_console", __builtin_return_address(0));
  if (texto)
    saida_console(texto, strlen(texto));
}

void espera(int milissegundos) {
  const int ms = milissegundos < 0 ? 0 : std::min(milissegundos, OLPA_ESPERA_MAXIMA);
  if (ms != milissegundos && !espera_avisada) {
    espera_avisada = true;
    const std::string aviso = "[olpa] espera(" + std::to_string(milissegundos) +
                              "): o tempo vai de 0 a " + std::to_string(OLPA_ESPERA_MAXIMA) +
                              " milissegundos; vale " + std::to_string(ms) + ".\n";
    saida_console(aviso.data(), aviso.size());
  }
  esperador(ms);
}

// ---------------------------------------------------------------- pen and lines

void anda_ate(int x, int y) {
  olpa_x = x;
  olpa_y = y;
  if (tela())
    cairo_move_to(tela(), x, y);
}

// 32-bit wrap-around, as the pen's integer addition is meant, without the
// undefined behaviour of signed overflow.
static int soma(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

void anda(int dx, int dy) {
  olpa_x = soma(olpa_x, dx);
  olpa_y = soma(olpa_y, dy);
  if (tela())
    cairo_move_to(tela(), olpa_x, olpa_y);
}

void linha(int x1, int y1, int x2, int y2) {
  if (!tela())
    return olpa_relato_sem_tela();
  olpa_relato_traco(tela(), x1, y1, x2, y2);
  cairo_move_to(tela(), x1, y1);
  cairo_line_to(tela(), x2, y2);
  olpa_x = x2;
  olpa_y = y2;
  cairo_stroke(tela());
  mudou();
}

void linha_ate(int dx, int dy) {
  if (!tela())
    return olpa_relato_sem_tela();
  olpa_relato_traco(tela(), olpa_x, olpa_y, static_cast<double>(olpa_x) + dx,
                    static_cast<double>(olpa_y) + dy);
  cairo_move_to(tela(), olpa_x, olpa_y);
  cairo_rel_line_to(tela(), dx, dy);
  cairo_stroke(tela());
  mudou();
}

void retangulo(int x, int y, int largura, int altura) {
  if (!tela())
    return;
  cairo_rectangle(tela(), x, y, largura, altura);
  cairo_stroke(tela());
  mudou();
}

void traco(int largura) {
  if (tela())
    cairo_set_line_width(tela(), largura);
}

void origem(int x, int y) {
  if (tela())
    cairo_translate(tela(), x, y);
}

void escala(int sx, int sy) {
  if (tela())
    cairo_scale(tela(), sx, sy);
}

void rotaciona(int graus) {
  if (tela())
    cairo_rotate(tela(), (graus * 3.141592653589793) / 180.0);
}

// ---------------------------------------------------------------- colour

float _olpa_normaliza(float valor, float maximo_destino, float maximo_origem) {
  return valor * maximo_destino / maximo_origem;
}

void cor(int r, int g, int b) {
  const int valores[] = {r, g, b};
  olpa_relato_cor("cor", valores, 3, __builtin_return_address(0));
  olpa_r = r;
  olpa_g = g;
  olpa_b = b;
  aplica_cor();
}

void cor_e_opacidade(int r, int g, int b, int a) {
  const int valores[] = {r, g, b, a};
  olpa_relato_cor("cor_e_opacidade", valores, 4, __builtin_return_address(0));
  olpa_r = r;
  olpa_g = g;
  olpa_b = b;
  olpa_alpha = a;
  aplica_cor();
}

void opacidade(int a) {
  olpa_relato_cor("opacidade", &a, 1, __builtin_return_address(0));
  olpa_alpha = a;
  aplica_cor();
}

// ---------------------------------------------------------------- state hand-over

void olpa_gfx_fecha_tela(void) {
  olpa_tela_buffer.reset();
  olpa_tela.reset();
}

const OlpaGfxTempos &olpa_gfx_tempos(void) {
  return tempos;
}

void olpa_gfx_nova_execucao(void) {
  tempos = OlpaGfxTempos{};
  olpa_estado.png_gravado = 0;
  olpa_estado.png_falhou = 0;
  olpa_relato_comeca(tela() != nullptr);
  espera_avisada = false;
}
int olpa_gfx_png_gravado(void) {
  return olpa_estado.png_gravado;
}
int olpa_gfx_png_falhou(void) {
  return olpa_estado.png_falhou;
}

const OlpaEstado &olpa_gfx_exporta_estado(void) {
  OlpaEstado &e = olpa_estado;
  e.tela_aberta = e.tela_com_erro = 0;
  memset(e.matriz, 0, sizeof e.matriz);
  e.largura_traco = 0;
  memset(e.fonte, 0, sizeof e.fonte);
  cairo_t *cr = tela();
  if (!cr)
    return e;
  e.tela_aberta = 1;
  e.tela_com_erro = cairo_status(cr) != CAIRO_STATUS_SUCCESS;
  if (e.tela_com_erro)
    return e;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  const double valores[6] = {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
  memcpy(e.matriz, valores, sizeof valores);
  e.largura_traco = cairo_get_line_width(cr);
  if (cairo_pattern_get_rgba(cairo_get_source(cr), &e.fonte[0], &e.fonte[1], &e.fonte[2],
                             &e.fonte[3]) != CAIRO_STATUS_SUCCESS)
    e.fonte[0] = e.fonte[1] = e.fonte[2] = e.fonte[3] = 1.0;
  return e;
}

namespace {

// The canvas part of a state taken back: the drawing context as it was, or,
// when anything in it is not a number, the context in its error state.
void retoma_tela(const OlpaEstado &e) {
  olpa_gfx_fecha_tela();
  if (!e.tela_aberta)
    return;
  abre_tela();
  cairo_t *cr = tela();
  bool valido = !e.tela_com_erro && std::isfinite(e.largura_traco);
  for (double v : e.matriz)
    valido = valido && std::isfinite(v);
  for (double v : e.fonte)
    valido = valido && std::isfinite(v);
  if (!valido) {
    cairo_scale(cr, 0, 0); // same error state a singular matrix leaves
    return;
  }
  cairo_matrix_t m;
  cairo_matrix_init(&m, e.matriz[0], e.matriz[1], e.matriz[2], e.matriz[3], e.matriz[4],
                    e.matriz[5]);
  cairo_set_matrix(cr, &m);
  cairo_set_line_width(cr, e.largura_traco);
  cairo_set_source_rgba(cr, e.fonte[0], e.fonte[1], e.fonte[2], e.fonte[3]);
}

} // namespace

bool olpa_gfx_exportar_valido(const char *caminho) {
  const size_t n = caminho ? strnlen(caminho, OLPA_CAMINHO_MAX) : OLPA_CAMINHO_MAX;
  return n < OLPA_CAMINHO_MAX && n > sizeof PASTA_TELAS - 1 &&
         g_utf8_validate(caminho, static_cast<gssize>(n), nullptr) &&
         strncmp(caminho, PASTA_TELAS, sizeof PASTA_TELAS - 1) == 0 &&
         !sobe_pasta(caminho + sizeof PASTA_TELAS - 1);
}

void olpa_gfx_importa_estado(const OlpaEstado &e) {
  // The state may come from a program that wrote over its own memory:
  // take nothing on trust.
  if (&e != &olpa_estado)
    olpa_estado = e;
  olpa_arquivo_exportar[OLPA_CAMINHO_MAX - 1] = '\0';
  if (!olpa_gfx_exportar_valido(olpa_arquivo_exportar))
    g_strlcpy(olpa_arquivo_exportar, ARQUIVO_PADRAO, sizeof olpa_arquivo_exportar);
  olpa_estado.gravamanual = olpa_estado.gravamanual != 0;
  olpa_estado.png_gravado = olpa_estado.png_gravado != 0;
  olpa_estado.png_falhou = olpa_estado.png_falhou != 0;
  olpa_relato_normaliza(&olpa_estado.relato);
  retoma_tela(olpa_estado);
}
