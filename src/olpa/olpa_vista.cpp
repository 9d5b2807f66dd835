// SPDX-License-Identifier: GPL-3.0-or-later
// The image view's canvas pictures. A run's picture (or a frame of it) is
// copied into one of two surfaces made once, in cairo's own format, so
// that showing it is a copy and a redraw: no picture allocated, converted
// or paged in per run. Their memory is touched when they are made, and is
// kept out of any child forked from here.
#include "olpa_vista.h"

#include "olpa.h"
#include "olpagfx.h"
#include "olpaparser.h"

#include <cstdio>
#include <cstring>

#include <sys/mman.h>

namespace {

GtkWidget *imagem; // the view

struct Quadro {
  unsigned char *pixels = nullptr;
  cairo_surface_t *superficie = nullptr;
};
Quadro quadros[2];
int mostrado = -1; // the one the view shows when it shows one of them

bool cria(Quadro *q) {
  void *p =
      mmap(nullptr, OLPA_TELA_BYTES, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED)
    return false;
  madvise(p, OLPA_TELA_BYTES, MADV_DONTFORK);
  memset(p, 0, OLPA_TELA_BYTES); // its pages, now rather than at the first run
  q->pixels = static_cast<unsigned char *>(p);
  q->superficie = cairo_image_surface_create_for_data(
      q->pixels, CAIRO_FORMAT_ARGB32, OLPA_TELA_LARGURA, OLPA_TELA_ALTURA, OLPA_TELA_STRIDE);
  return cairo_surface_status(q->superficie) == CAIRO_STATUS_SUCCESS;
}

// The surface the view shows, if any (GTK 3 has no getter of its own).
cairo_surface_t *superficie_mostrada() {
  if (gtk_image_get_storage_type(GTK_IMAGE(imagem)) != GTK_IMAGE_SURFACE)
    return nullptr;
  cairo_surface_t *s = nullptr;
  g_object_get(imagem, "surface", &s, nullptr);
  if (s)
    cairo_surface_destroy(s); // the view keeps its own reference
  return s;
}

bool mostra_um_dos_quadros() {
  return mostrado >= 0 && superficie_mostrada() == quadros[mostrado].superficie;
}

void prepara() {
  for (Quadro &q : quadros)
    if (!q.superficie && !cria(&q))
      return;
}

void mostra(const unsigned char *argb) {
  prepara();
  const int proximo = mostra_um_dos_quadros() ? 1 - mostrado : 0;
  Quadro &q = quadros[proximo];
  if (!q.superficie || cairo_surface_status(q.superficie) != CAIRO_STATUS_SUCCESS) {
    GdkPixbuf *vazio = nullptr;
    gtk_image_set_from_pixbuf(GTK_IMAGE(imagem), vazio);
    return;
  }
  cairo_surface_flush(q.superficie);
  memcpy(q.pixels, argb, OLPA_TELA_BYTES);
  cairo_surface_mark_dirty(q.superficie); // nothing cached of what it held
  gtk_image_set_from_surface(GTK_IMAGE(imagem), q.superficie);
  mostrado = proximo;
}

} // namespace

void olpa_vista_liga(Olpa &janela) {
  imagem = janela.ui.olpa_imagem;
  prepara();
}

void olpa_mostra_imagem(const unsigned char *argb) {
  if (argb)
    mostra(argb);
  else
    gtk_image_set_from_file(GTK_IMAGE(imagem), OLPA_IMAGEM_INICIAL);
}

void olpa_vista_ouve(const ParserResultado &r, ParserMomento momento) {
  if (momento == ParserMomento::Tela) {
    olpa_mostra_imagem(r.quadro);
  } else if (momento == ParserMomento::Fim && r.sucesso) {
    const long tamanho = parser_tamanho_em_telas(r.caminho.c_str());
    printf("[tamanho] %s, %ld\n", r.caminho.c_str(), tamanho < 0 ? 0 : tamanho);
    fflush(stdout);
    olpa_mostra_imagem(r.figura);
  } else if (momento == ParserMomento::Fim && r.figura) { // stopped: what it drew until then
    olpa_mostra_imagem(r.figura);
  }
}

GdkPixbuf *olpa_vista_pixbuf(void) {
  switch (gtk_image_get_storage_type(GTK_IMAGE(imagem))) {
  case GTK_IMAGE_PIXBUF:
    return GDK_PIXBUF(g_object_ref(gtk_image_get_pixbuf(GTK_IMAGE(imagem))));
  case GTK_IMAGE_SURFACE: {
    cairo_surface_t *s = superficie_mostrada();
    cairo_surface_flush(s);
    return gdk_pixbuf_get_from_surface(s, 0, 0, cairo_image_surface_get_width(s),
                                       cairo_image_surface_get_height(s));
  }
  default:
    return nullptr;
  }
}
