// SPDX-License-Identifier: GPL-3.0-or-later
// What the case runner, the fuzzer and the window test share: pictures as
// plain pixels, files, a throw-away run tree, and one press of "Rodar"
// without the window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct OlpaRegistro;

struct Imagem {
  int largura = 0, altura = 0;
  std::vector<uint32_t> pixels; // 0xAARRGGBB, not premultiplied, row after row
  uint32_t em(int x, int y) const { return pixels[static_cast<size_t>(y) * largura + x]; }
};
bool le_png(const std::string &caminho, Imagem *imagem);
// 8-bit RGBA rows (a GdkPixbuf's, say) as an Imagem.
Imagem de_rgba(const unsigned char *rgba, int largura, int altura, int stride, int canais);
// Pixels that differ (-1 when the sizes do); when any do and `diferenca` is
// given, writes there a picture that shows them red over the dimmed `a`.
long compara(const Imagem &a, const Imagem &b, const std::string &diferenca = "");

std::string le_arquivo(const std::string &caminho);
// The first line where `obtido` differs from `esperado`, both shown (a long
// line cut).
std::string primeira_diferenca(const std::string &esperado, const std::string &obtido);
// A string GLib allocated, as a std::string; frees it.
std::string glib(char *texto);
void escreve_arquivo(const std::string &caminho, const std::string &conteudo);
bool existe(const std::string &caminho);

// raiz/bin (the working directory while it lives), raiz/telas, raiz/exemplos.
struct RaizTemporaria {
  RaizTemporaria();
  ~RaizTemporaria();
  RaizTemporaria(const RaizTemporaria &) = delete;
  RaizTemporaria &operator=(const RaizTemporaria &) = delete;
  std::string raiz, anterior;
};

// What one press of "Rodar" leaves: the console text, the outcome, whether
// the console turned to its error look, and the editor lines marked (errors
// and warnings).
struct Rodada {
  int resultado = 0;
  std::string console;
  bool erro = false;
  std::vector<int> linhas;
  std::vector<int> avisos;
  bool figura_gravada = false; // a picture written at the export path
  std::string caminho;         // the export path
  // What the image view shows after it (640 x 480 ARGB32 as cairo holds
  // it; empty: the start picture), and the record of the program's calls.
  std::vector<unsigned char> vista;
  std::shared_ptr<const OlpaRegistro> registro;
};
Rodada roda(const std::string &codigo);
// The record as `olpa-rodar --passos` lists it after the console.
std::string lista_de_passos(const Rodada &r);
// Before the first run (and before a zygote is made): the analyser of this
// build, and the compiler's warnings left to it.
void prepara_analise();
