// SPDX-License-Identifier: GPL-3.0-or-later
// The functions learners' programs call: the canvas's life and its
// pictures, the console, the pen, lines, transformations, colour. Each notes
// its call first, when the run is recorded.
#include "olpagfx_interno.h"

#include "olpa_funcoes.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <glib.h>

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

const char RAIZ_TELAS[] = "../telas"; // beneath it no link is followed

// Whether `nome` has a ".." component: a picture stays inside the canvas folder.
bool sobe_pasta(const char *nome) {
  for (const char *p = nome; (p = strstr(p, "..")) != nullptr; p += 2)
    if ((p == nome || p[-1] == '/') && (p[2] == '\0' || p[2] == '/'))
      return true;
  return false;
}

cairo_t *tela() {
  return olpa_gfx_contexto();
}

// A picture that was not written: the run fails, after this "[erro]" line.
void falha_figura(const std::string &mensagem) {
  olpa_estado.png_falhou = 1;
  olpa_gfx_console("[erro] " + mensagem + "\n");
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
  if (sizeof OLPA_PASTA_TELAS - 1 + strlen(nome) >= OLPA_CAMINHO_MAX) {
    falha_figura(std::string(funcao) + ": nome de arquivo longo demais (no máximo " +
                 std::to_string(OLPA_CAMINHO_MAX - sizeof OLPA_PASTA_TELAS) + " caracteres).");
    return false;
  }
  if (sobe_pasta(nome)) {
    falha_figura(std::string(funcao) + ": o nome \"" + nome +
                 "\" sai da pasta telas (\"..\" não é permitido).");
    return false;
  }
  g_snprintf(olpa_arquivo_exportar, sizeof olpa_arquivo_exportar, "%s%s", OLPA_PASTA_TELAS, nome);
  olpa_gfx_trace("[arq-n] %s\n", olpa_arquivo_exportar);
  return true;
}

void grava_exportar_agora() {
  char motivo[256];
  OlpaAmbiente &a = olpa_ambiente;
  if (a.ultima_caminho)
    a.ultima_caminho[0] = '\0';
  if (olpa_gfx_grava_png(olpa_tela.get(), olpa_arquivo_exportar, motivo, sizeof motivo,
                         RAIZ_TELAS)) {
    olpa_estado.png_gravado = 1;
    if (a.ultima_caminho) {
      memcpy(a.ultima_argb, cairo_image_surface_get_data(olpa_tela.get()), OLPA_TELA_BYTES);
      g_strlcpy(a.ultima_caminho, olpa_arquivo_exportar, OLPA_CAMINHO_MAX);
    }
    return;
  }
  falha_figura(std::string("não foi possível gravar a imagem \"") + olpa_arquivo_exportar +
               "\": " + motivo + ".");
}

void grava_exportar() {
  if (olpa_ambiente.ensaio)
    return;
  const double inicio = olpa_agora_ms();
  grava_exportar_agora();
  olpa_ambiente.tempos.grava += olpa_agora_ms() - inicio;
}

// A fresh canvas: black, the pen white and in the middle.
void abre_nova_tela() {
  olpa_estado.relato.chamou_inicia = 1;
  olpa_estado.relato.tela_da_execucao = 1;
  olpa_r = olpa_g = olpa_b = 255;
  olpa_alpha = 100;
  olpa_x = 320;
  olpa_y = 240;
  const double inicio = olpa_agora_ms();
  olpa_gfx_abre_tela();
  cairo_set_source_rgba(tela(), 0, 0, 0, 1.0);
  cairo_rectangle(tela(), 0, 0, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA);
  cairo_fill(tela());
  olpa_ambiente.tempos.abre += olpa_agora_ms() - inicio;
  cairo_set_source_rgba(tela(), 1.0, 1.0, 1.0, 1.0);
  olpa_gfx_mudou();
}

} // namespace

bool olpa_gfx_exportar_valido(const char *caminho) {
  const size_t n = caminho ? strnlen(caminho, OLPA_CAMINHO_MAX) : OLPA_CAMINHO_MAX;
  return n < OLPA_CAMINHO_MAX && n > sizeof OLPA_PASTA_TELAS - 1 &&
         g_utf8_validate(caminho, static_cast<gssize>(n), nullptr) &&
         strncmp(caminho, OLPA_PASTA_TELAS, sizeof OLPA_PASTA_TELAS - 1) == 0 &&
         !sobe_pasta(caminho + sizeof OLPA_PASTA_TELAS - 1);
}

// ---------------------------------------------------------------- canvas

void inicia(void) {
  OLPA_ANOTA();
  abre_nova_tela();
}

void inicia_arquivo(const char *nome) {
  Lendo lendo("inicia_arquivo", __builtin_return_address(0));
  OLPA_ANOTA_TEXTO(nome);
  if (!define_exportar("inicia_arquivo", nome))
    return olpa_registro_recusou();
  olpa_arquivo_gravamanual = 1;
  abre_nova_tela();
}

void grava_tela(const char *nome) {
  Lendo lendo("grava_tela", __builtin_return_address(0));
  OLPA_ANOTA_TEXTO(nome);
  if (!define_exportar("grava_tela", nome))
    return olpa_registro_recusou();
  if (tela())
    grava_exportar();
}

void termina(void) {
  OLPA_ANOTA();
  olpa_estado.relato.chamou_termina = 1;
  if (!tela())
    return;
  if (!olpa_arquivo_gravamanual) {
    olpa_gfx_trace("[arq-s] %s\n", olpa_arquivo_exportar);
    grava_exportar();
  }
  olpa_gfx_fecha_tela();
}

void escreve_console(const char *texto) {
  Lendo lendo("escreve_console", __builtin_return_address(0));
  OLPA_ANOTA_TEXTO(texto);
  if (texto)
    olpa_ambiente.console(texto, strlen(texto));
}

void espera(int milissegundos) {
  OLPA_ANOTA(milissegundos);
  static const OlpaFaixa &faixa = OLPA_FUNCOES[olpa_funcao_indice("espera")].faixas[0];
  const int ms = olpa_faixa_limita(faixa, milissegundos);
  if (ms != milissegundos && !olpa_ambiente.espera_avisada) {
    olpa_ambiente.espera_avisada = true;
    olpa_gfx_console("[olpa] espera(" + std::to_string(milissegundos) +
                     "): " + olpa_faixa_texto(faixa) + "; vale " + std::to_string(ms) + ".\n");
  }
  olpa_ambiente.esperador(ms);
}

// ---------------------------------------------------------------- pen and lines

void anda_ate(int x, int y) {
  OLPA_ANOTA(x, y);
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
  OLPA_ANOTA(dx, dy);
  olpa_x = soma(olpa_x, dx);
  olpa_y = soma(olpa_y, dy);
  if (tela())
    cairo_move_to(tela(), olpa_x, olpa_y);
}

void linha(int x1, int y1, int x2, int y2) {
  OLPA_ANOTA(x1, y1, x2, y2);
  if (!tela())
    return olpa_relato_sem_tela();
  olpa_relato_traco(tela(), x1, y1, x2, y2);
  cairo_move_to(tela(), x1, y1);
  cairo_line_to(tela(), x2, y2);
  olpa_x = x2;
  olpa_y = y2;
  cairo_stroke(tela());
  olpa_gfx_mudou();
}

void linha_ate(int dx, int dy) {
  OLPA_ANOTA(dx, dy);
  if (!tela())
    return olpa_relato_sem_tela();
  olpa_relato_traco(tela(), olpa_x, olpa_y, static_cast<double>(olpa_x) + dx,
                    static_cast<double>(olpa_y) + dy);
  cairo_move_to(tela(), olpa_x, olpa_y);
  cairo_rel_line_to(tela(), dx, dy);
  cairo_stroke(tela());
  olpa_gfx_mudou();
}

void retangulo(int x, int y, int largura, int altura) {
  if (!tela())
    return;
  cairo_rectangle(tela(), x, y, largura, altura);
  cairo_stroke(tela());
  olpa_gfx_mudou();
}

void traco(int largura) {
  OLPA_ANOTA(largura);
  if (tela())
    cairo_set_line_width(tela(), largura);
}

void origem(int x, int y) {
  OLPA_ANOTA(x, y);
  if (tela())
    cairo_translate(tela(), x, y);
}

void escala(int sx, int sy) {
  OLPA_ANOTA(sx, sy);
  if (tela())
    cairo_scale(tela(), sx, sy);
}

void rotaciona(int graus) {
  OLPA_ANOTA(graus);
  if (tela())
    cairo_rotate(tela(), (graus * 3.141592653589793) / 180.0);
}

// ---------------------------------------------------------------- colour

float _olpa_normaliza(float valor, float maximo_destino, float maximo_origem) {
  return valor * maximo_destino / maximo_origem;
}

static void aplica_cor() {
  const float red = _olpa_normaliza(olpa_r, 1, 255);
  const float green = _olpa_normaliza(olpa_g, 1, 255);
  const float blue = _olpa_normaliza(olpa_b, 1, 255);
  const float alpha = _olpa_normaliza(olpa_alpha, 1, 100);
  if (tela())
    cairo_set_source_rgba(tela(), red, green, blue, alpha);
}

void cor(int r, int g, int b) {
  OLPA_ANOTA(r, g, b);
  const int valores[] = {r, g, b};
  olpa_relato_cor("cor", valores, 3, __builtin_return_address(0));
  olpa_r = r;
  olpa_g = g;
  olpa_b = b;
  aplica_cor();
}

void cor_e_opacidade(int r, int g, int b, int a) {
  OLPA_ANOTA(r, g, b, a);
  const int valores[] = {r, g, b, a};
  olpa_relato_cor("cor_e_opacidade", valores, 4, __builtin_return_address(0));
  olpa_r = r;
  olpa_g = g;
  olpa_b = b;
  olpa_alpha = a;
  aplica_cor();
}

void opacidade(int a) {
  OLPA_ANOTA(a);
  olpa_relato_cor("opacidade", &a, 1, __builtin_return_address(0));
  olpa_alpha = a;
  aplica_cor();
}
