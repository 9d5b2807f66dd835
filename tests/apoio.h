// Shared test support: a temporary run tree, PNG decoding and pixel checks.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "olpagfx.h"

// A temporary run tree (raiz/bin with olpalib/init.png, raiz/telas,
// raiz/exemplos); the working directory is raiz/bin while it lives.
struct RaizTemporaria {
  RaizTemporaria();
  ~RaizTemporaria();
  RaizTemporaria(const RaizTemporaria &) = delete;
  RaizTemporaria &operator=(const RaizTemporaria &) = delete;
  std::string raiz, bin, telas, exemplos;
  std::string anterior;
};

// Path of the start picture made by the build (absolute).
std::string imagem_inicial_construida();

// Decodes a PNG; null surface when it cannot be read.
OlpaSurface le_png(const std::string &caminho);
// The pixel at (x, y) as 0xAARRGGBB (premultiplied, as cairo holds it).
uint32_t pixel(cairo_surface_t *s, int x, int y);
// Number of pixels that differ; writes a diff image (red where they differ)
// to `diff` when any does.
long compara(cairo_surface_t *a, cairo_surface_t *b, const std::string &diff);
// Number of pixels that are not `fundo`.
long conta_diferentes_de(cairo_surface_t *s, uint32_t fundo);

// Runs a program to its end; its exit code (-1 when it did not exit) and outputs.
struct ResultadoProcesso {
  int codigo = -1;
  std::string saida, erros;
};
ResultadoProcesso executa_processo(const std::vector<std::string> &argv);

std::string le_arquivo(const std::string &caminho);
void escreve_arquivo(const std::string &caminho, const std::string &conteudo);
bool existe(const std::string &caminho);
