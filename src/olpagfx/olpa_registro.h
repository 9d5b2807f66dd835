// SPDX-License-Identifier: GPL-3.0-or-later
// The record of a run: every call a program makes of a learner function,
// with its arguments as the program evaluated them and the return address
// into the program. The process that runs the program writes it into
// memory its host provides; the host reads it once the program is over, as
// a program may have written over it: nothing in it is taken on trust.
// GTK-free.
#pragma once

#include "olpagfx.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How much a record holds: calls, and bytes of their texts (file names,
// console text). Calls past these are counted, not kept; texts past them
// are kept empty, and marked as cut.
struct OlpaRegistroMedidas {
  uint32_t chamadas = 1000000;
  uint32_t textos = 1 << 20;
};
// Bytes of one text kept at most: any name a picture can have, whole.
constexpr uint32_t OLPA_REGISTRO_TEXTO_MAX = OLPA_CAMINHO_MAX;

// ------------------------------------------------------------ the memory

// As both processes lay it out: this header, the canvas's pixels as the run
// began (OLPA_TELA_BYTES, when a canvas was open then), the calls
// (OlpaEntrada, `chamadas` of them), the texts (`textos` bytes).
struct OlpaRegistroCabecalho {
  uint64_t chamadas;     // calls made in this run, kept or not
  uint32_t guardadas;    // calls kept (entries written)
  uint32_t textos;       // bytes of text written
  uint32_t tela_inicial; // the pixels hold the canvas open as the run began
  uint32_t reservado;
  OlpaEstado inicio; // the drawing state as the run began
};
// One call: the return address (its low 48 bits), the flags (OLPA_TEXTO_...)
// and the function's index in OLPA_FUNCOES (the top byte), in one word; its
// integer arguments, or for a text, where the text is and its length.
struct OlpaEntrada {
  uint64_t palavra;
  int32_t valores[4];
};
constexpr uint64_t OLPA_ENTRADA_ENDERECO = (uint64_t{1} << 48) - 1;
constexpr int OLPA_ENTRADA_BANDEIRAS = 48, OLPA_ENTRADA_FUNCAO = 56; // their shifts
constexpr uint8_t OLPA_TEXTO_NULO = 1;    // the program handed a null pointer
constexpr uint8_t OLPA_TEXTO_CORTADO = 2; // only the text's beginning was kept
constexpr uint8_t OLPA_RECUSADO = 4;      // a picture's name refused: the call did nothing

// Where each part begins (the header at 0), and the size of it all (a
// multiple of 64).
struct OlpaRegistroPartes {
  size_t pixels, entradas, textos, fim;
};
OlpaRegistroPartes olpa_registro_partes(const OlpaRegistroMedidas &medidas);
// Bytes of memory a record of that size takes.
size_t olpa_registro_tamanho(const OlpaRegistroMedidas &medidas = {});

// ------------------------------------------------------------ recording

// Memory to record into (olpa_registro_tamanho bytes, 64-byte aligned), or
// null: no recording. Each run (olpa_gfx_nova_execucao) starts it afresh,
// keeping the drawing state and open canvas it begins with.
void olpa_registro_define(void *memoria, const OlpaRegistroMedidas &medidas = {});
// Told of each call as it is noted, before the function does anything else
// (so the canvas is as the call before left it): its step, from 1, kept or
// not. Where a run can be paused before its next call. Null: none.
using OlpaEscuta = void (*)(uint64_t passo);
void olpa_registro_define_escuta(OlpaEscuta escuta);

// ------------------------------------------------------------ reading

// A record read back: checked, and copied out of the memory it was written in.
struct OlpaRegistro {
  uint64_t chamadas = 0;             // calls made, kept or not
  std::vector<OlpaEntrada> entradas; // the calls kept, each valid
  std::string textos;
  OlpaEstado inicio{};                     // as the run began (made sane when replayed)
  std::vector<unsigned char> tela_inicial; // the canvas open as the run began; empty: none
  std::vector<uint64_t> enderecos;         // the distinct return addresses (just past each
                                           // call: its line is that of the byte before), sorted
  std::vector<int> linhas;                 // ... and the program's line of each, once given
  bool fechado = false; // a call that was none was met: nothing past it is ever read
};
// Reads the record in `memoria` (laid out for `medidas`): counts bounded,
// every call checked; the calls kept stop before the first one that is not a
// call of a learner function (a program wrote over them).
void olpa_registro_le(const void *memoria, const OlpaRegistroMedidas &medidas,
                      OlpaRegistro *registro);
// The same while the program may still be running (or after, once more):
// what `registro` holds already is kept as it was read, and the calls and
// texts written since are added, checked the same way. The lines must be
// given again when new addresses came (registro.linhas is then empty).
void olpa_registro_le_mais(const void *memoria, const OlpaRegistroMedidas &medidas,
                           OlpaRegistro *registro);

// One call, as the program made it.
struct OlpaChamada {
  uint8_t funcao = 0;     // index in OLPA_FUNCOES
  int valores[4] = {};    // integer arguments, as the function received them
  uint64_t de_onde = 0;   // the return address into the program
  uint8_t bandeiras = 0;  // OLPA_TEXTO_..., OLPA_RECUSADO
  std::string_view texto; // a text argument, as far as it was kept
};
OlpaChamada olpa_registro_chamada(const OlpaRegistro &registro, uint32_t indice);

// The program's lines of the addresses (registro.enderecos, in that order),
// as the host found them (0: not in the program's code).
void olpa_registro_define_linhas(OlpaRegistro *registro, const std::vector<int> &linhas);
// The line of call `indice` (from 0); 0 when not known.
int olpa_registro_linha(const OlpaRegistro &registro, uint32_t indice);

// "passo N · linha L: nome(arg, arg)": call `indice` (step indice + 1) with
// its integers as the function received them and texts in double quotes,
// escaped as C writes them ("…" after a text cut short).
std::string olpa_registro_passo(const OlpaRegistro &registro, uint32_t indice);
// "nome(arg, arg)" alone.
std::string olpa_registro_chamada_texto(const OlpaRegistro &registro, uint32_t indice);
// The closing line: "[olpa] N passos\n", and how many calls were not kept.
std::string olpa_registro_fim(const OlpaRegistro &registro);
// The whole list, as olpa-rodar --passos prints it: a step a line, then the
// closing line.
std::string olpa_registro_lista(const OlpaRegistro &registro);
