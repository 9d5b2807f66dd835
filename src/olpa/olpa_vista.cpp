// SPDX-License-Identifier: GPL-3.0-or-later
// The image view's canvas pictures. A run's picture (or a frame of it) is
// copied into one of two surfaces made once, in cairo's own format, so
// that showing it is a copy and a redraw: no picture allocated, converted
// or paged in per run. Their memory is touched when they are made, and is
// kept out of any child forked from here.
#include "olpa.h"

#include "olpagfx.h"

#include <cstring>

#include <sys/mman.h>

namespace {

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
  if (gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem)) != GTK_IMAGE_SURFACE)
    return nullptr;
  cairo_surface_t *s = nullptr;
  g_object_get(olpa_imagem, "surface", &s, nullptr);
  if (s)
    cairo_surface_destroy(s); // the view keeps its own reference
  return s;
}

bool mostra_um_dos_quadros() {
  return mostrado >= 0 && superficie_mostrada() == quadros[mostrado].superficie;
}

} // namespace

void olpa_vista_prepara(void) {
  for (Quadro &q : quadros)
    if (!q.superficie && !cria(&q))
      return;
}

void olpa_vista_mostra(const unsigned char *argb) {
  olpa_vista_prepara();
  const int proximo = mostra_um_dos_quadros() ? 1 - mostrado : 0;
  Quadro &q = quadros[proximo];
  if (!q.superficie || cairo_surface_status(q.superficie) != CAIRO_STATUS_SUCCESS) {
    GdkPixbuf *vazio = nullptr;
    gtk_image_set_from_pixbuf(GTK_IMAGE(olpa_imagem), vazio);
    return;
  }
  cairo_surface_flush(q.superficie);
  memcpy(q.pixels, argb, OLPA_TELA_BYTES);
  cairo_surface_mark_dirty(q.superficie); // nothing cached of what it held
  gtk_image_set_from_surface(GTK_IMAGE(olpa_imagem), q.superficie);
  mostrado = proximo;
}

GdkPixbuf *olpa_vista_pixbuf(void) {
  switch (gtk_image_get_storage_type(GTK_IMAGE(olpa_imagem))) {
  case GTK_IMAGE_PIXBUF:
    return GDK_PIXBUF(g_object_ref(gtk_image_get_pixbuf(GTK_IMAGE(olpa_imagem))));
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
