// SPDX-License-Identifier: GPL-3.0-or-later
#include "suporte.h"

#include "analise.h"
#include "olpa_registro.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <glib.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

bool le_png(const std::string &caminho, Imagem *imagem) {
  // Only regular files: a pipe a case leaves at a picture path must not hang the test.
  if (!g_file_test(caminho.c_str(), G_FILE_TEST_IS_REGULAR))
    return false;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, caminho.c_str()))
    return false;
  png.format = PNG_FORMAT_BGRA; // little-endian 0xAARRGGBB words
  imagem->largura = static_cast<int>(png.width);
  imagem->altura = static_cast<int>(png.height);
  imagem->pixels.assign(static_cast<size_t>(png.width) * png.height, 0);
  return png_image_finish_read(&png, nullptr, imagem->pixels.data(), 0, nullptr) != 0;
}

Imagem de_rgba(const unsigned char *rgba, int largura, int altura, int stride, int canais) {
  Imagem im{largura, altura, std::vector<uint32_t>(static_cast<size_t>(largura) * altura)};
  for (int y = 0; y < altura; y++)
    for (int x = 0; x < largura; x++) {
      const unsigned char *p = rgba + y * stride + x * canais;
      const uint32_t a = canais == 4 ? p[3] : 255;
      im.pixels[static_cast<size_t>(y) * largura + x] = a << 24 | p[0] << 16 | p[1] << 8 | p[2];
    }
  return im;
}

long compara(const Imagem &a, const Imagem &b, const std::string &diferenca) {
  if (a.largura != b.largura || a.altura != b.altura)
    return -1;
  long n = 0;
  std::vector<uint32_t> marcas(a.pixels.size());
  for (size_t i = 0; i < a.pixels.size(); i++) {
    const bool igual = a.pixels[i] == b.pixels[i];
    n += !igual;
    marcas[i] = igual ? 0xff000000u | ((a.pixels[i] >> 2) & 0x3f3f3f) : 0xffff0000u;
  }
  if (n && !diferenca.empty()) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(a.largura);
    png.height = static_cast<png_uint_32>(a.altura);
    png.format = PNG_FORMAT_BGRA;
    png_image_write_to_file(&png, diferenca.c_str(), 0, marcas.data(), 0, nullptr);
  }
  return n;
}

std::string le_arquivo(const std::string &caminho) {
  if (!g_file_test(caminho.c_str(), G_FILE_TEST_IS_REGULAR))
    return {};
  gchar *dados = nullptr;
  gsize n = 0;
  if (!g_file_get_contents(caminho.c_str(), &dados, &n, nullptr))
    return {};
  std::string s(dados, n);
  g_free(dados);
  return s;
}

std::string primeira_diferenca(const std::string &esperado, const std::string &obtido) {
  std::istringstream a(esperado), b(obtido);
  std::string la, lb;
  for (int n = 1;; n++) {
    const bool ha = !!std::getline(a, la), hb = !!std::getline(b, lb);
    if (ha != hb || la != lb)
      return "linha " + std::to_string(n) + "\n  esperado: " + (ha ? la.substr(0, 300) : "(nada)") +
             "\n  obtido:   " + (hb ? lb.substr(0, 300) : "(nada)");
  }
}

std::string glib(char *texto) {
  const std::string s = texto ? texto : "";
  g_free(texto);
  return s;
}

void escreve_arquivo(const std::string &caminho, const std::string &conteudo) {
  if (!g_file_set_contents(caminho.c_str(), conteudo.data(), static_cast<gssize>(conteudo.size()),
                           nullptr))
    throw std::runtime_error("could not write " + caminho);
}

bool existe(const std::string &caminho) {
  return g_file_test(caminho.c_str(), G_FILE_TEST_EXISTS);
}

RaizTemporaria::RaizTemporaria() {
  char modelo[] = "/tmp/olpa-teste-XXXXXX";
  if (!g_mkdtemp(modelo))
    throw std::runtime_error("mkdtemp");
  raiz = modelo;
  for (const char *pasta : {"/bin/olpalib", "/telas", "/exemplos"})
    g_mkdir_with_parents((raiz + pasta).c_str(), 0755);
  char *atual = g_get_current_dir();
  anterior = atual;
  g_free(atual);
  if (chdir((raiz + "/bin").c_str()) != 0)
    throw std::runtime_error("chdir");
}

RaizTemporaria::~RaizTemporaria() {
  // Whatever modes and depth a program left in it, as the grader removes its trees.
  if (chdir(anterior.c_str()) == 0 && !parser_remove_arvore(AT_FDCWD, raiz.c_str()))
    fprintf(stderr, "could not remove %s\n", raiz.c_str());
}

Rodada roda(const std::string &codigo) {
  // The run's own outcome, framing and all, as the window shows it.
  ParserResultado resultado;
  Rodada r;
  // The analyser's warnings too, however long they take: the same every time.
  analise_pede(codigo, nullptr, nullptr);
  r.resultado = parser_executa(codigo.c_str(), &resultado);
  analise_no_resultado(codigo, 60 * 1000, &resultado);
  r.console = resultado.texto;
  r.erro = resultado.aparencia_de_erro;
  r.linhas = resultado.marcas_erro;
  r.avisos = resultado.marcas_aviso;
  r.figura_gravada = resultado.figura_gravada;
  r.caminho = resultado.caminho;
  if (resultado.figura)
    r.vista.assign(resultado.figura, resultado.figura + OLPA_TELA_BYTES);
  r.registro = resultado.registro;
  return r;
}

std::string lista_de_passos(const Rodada &r) {
  return olpa_registro_lista(r.registro ? *r.registro : OlpaRegistro{});
}

void prepara_analise() {
  // The analyser of this build, beside the programs; the compiler's
  // warnings left to it, as the window and olpa-rodar do.
  setenv("OLPA_ANALISA", OLPA_BIN_DIR "/olpa-analisa", 0);
  parser_define_avisos_do_compilador(!analise_ligada(nullptr));
}
