#include "apoio.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef OLPA_INIT_PNG
#error "OLPA_INIT_PNG must name the built start picture"
#endif

std::string imagem_inicial_construida() {
  return OLPA_INIT_PNG;
}

RaizTemporaria::RaizTemporaria() {
  char modelo[] = "/tmp/olpa-teste-XXXXXX";
  if (!g_mkdtemp(modelo))
    throw std::runtime_error("mkdtemp");
  raiz = modelo;
  bin = raiz + "/bin";
  telas = raiz + "/telas";
  exemplos = raiz + "/exemplos";
  g_mkdir_with_parents((bin + "/olpalib").c_str(), 0755);
  g_mkdir_with_parents(telas.c_str(), 0755);
  g_mkdir_with_parents(exemplos.c_str(), 0755);
  escreve_arquivo(bin + "/olpalib/init.png", le_arquivo(OLPA_INIT_PNG));
  char *atual = g_get_current_dir();
  anterior = atual;
  g_free(atual);
  if (chdir(bin.c_str()) != 0)
    throw std::runtime_error("chdir");
}

RaizTemporaria::~RaizTemporaria() {
  if (chdir(anterior.c_str()) != 0)
    return;
  const std::string comando = "chmod -R u+w '" + raiz + "' 2>/dev/null; rm -rf '" + raiz + "'";
  if (system(comando.c_str()) != 0)
    fprintf(stderr, "could not remove %s\n", raiz.c_str());
}

OlpaSurface le_png(const std::string &caminho) {
  OlpaSurface s(cairo_image_surface_create_from_png(caminho.c_str()));
  if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS)
    return nullptr;
  return s;
}

uint32_t pixel(cairo_surface_t *s, int x, int y) {
  cairo_surface_flush(s);
  const unsigned char *dados = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  return *reinterpret_cast<const uint32_t *>(dados + y * stride + 4 * x);
}

long compara(cairo_surface_t *a, cairo_surface_t *b, const std::string &diff) {
  const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
  if (w != cairo_image_surface_get_width(b) || h != cairo_image_surface_get_height(b))
    return -1;
  OlpaSurface marcas(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  long diferentes = 0;
  cairo_surface_flush(marcas.get());
  unsigned char *m = cairo_image_surface_get_data(marcas.get());
  const int ms = cairo_image_surface_get_stride(marcas.get());
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const bool igual = pixel(a, x, y) == pixel(b, x, y);
      diferentes += !igual;
      *reinterpret_cast<uint32_t *>(m + y * ms + 4 * x) =
          igual ? (0xff000000u | ((pixel(a, x, y) >> 2) & 0x3f3f3f)) : 0xffff0000u;
    }
  cairo_surface_mark_dirty(marcas.get());
  if (diferentes && !diff.empty())
    cairo_surface_write_to_png(marcas.get(), diff.c_str());
  return diferentes;
}

long conta_diferentes_de(cairo_surface_t *s, uint32_t fundo) {
  long n = 0;
  for (int y = 0; y < cairo_image_surface_get_height(s); y++)
    for (int x = 0; x < cairo_image_surface_get_width(s); x++)
      n += pixel(s, x, y) != fundo;
  return n;
}

ResultadoProcesso executa_processo(const std::vector<std::string> &argv) {
  std::vector<const char *> args;
  for (const std::string &a : argv)
    args.push_back(a.c_str());
  args.push_back(nullptr);
  ResultadoProcesso r;
  gchar *saida = nullptr, *erros = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, const_cast<gchar **>(args.data()), nullptr, G_SPAWN_DEFAULT, nullptr,
                    nullptr, &saida, &erros, &status, nullptr))
    return r;
  r.saida = saida;
  r.erros = erros;
  g_free(saida);
  g_free(erros);
  r.codigo = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string le_arquivo(const std::string &caminho) {
  gchar *dados = nullptr;
  gsize n = 0;
  if (!g_file_get_contents(caminho.c_str(), &dados, &n, nullptr))
    return {};
  std::string s(dados, n);
  g_free(dados);
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
