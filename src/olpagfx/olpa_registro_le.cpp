// SPDX-License-Identifier: GPL-3.0-or-later
// A record read back by the host, and each call as a line of text. The
// memory is copied once and every count and call checked in the copy: the
// program that wrote it may have written anything there, and may still be
// writing.
#include "olpa_registro.h"

#include "olpa_funcoes.h"

#include <algorithm>
#include <cstring>

#include <glib.h>

namespace {

constexpr uint8_t BANDEIRAS = OLPA_TEXTO_NULO | OLPA_TEXTO_CORTADO | OLPA_RECUSADO;

uint8_t funcao_de(const OlpaEntrada &e) {
  return static_cast<uint8_t>(e.palavra >> OLPA_ENTRADA_FUNCAO);
}
uint8_t bandeiras_de(const OlpaEntrada &e) {
  return static_cast<uint8_t>(e.palavra >> OLPA_ENTRADA_BANDEIRAS);
}

// Whether `e` is a call of a learner function as the recording writes one,
// its text (if it takes one) inside the `textos` kept.
bool valida(const OlpaEntrada &e, size_t textos) {
  const uint8_t funcao = funcao_de(e), bandeiras = bandeiras_de(e);
  if (funcao >= OLPA_NUM_FUNCOES || (bandeiras & ~BANDEIRAS))
    return false;
  const OlpaAssinatura &a = olpa_funcao_assinatura(funcao);
  if (a.quantos < 0) // not one of the library's own
    return false;
  if (a.quantos == 0 || !a.texto[0])
    return bandeiras == 0;
  if (bandeiras & OLPA_TEXTO_NULO)
    return true;
  const auto inicio = static_cast<uint32_t>(e.valores[0]);
  const auto tamanho = static_cast<uint32_t>(e.valores[1]);
  return inicio <= textos && tamanho <= textos - inicio && tamanho <= OLPA_REGISTRO_TEXTO_MAX;
}

// `texto` as C writes it between double quotes: what is not printable
// escaped, and any byte that is not UTF-8 as an octal escape.
std::string escapa(std::string_view texto) {
  static const std::string altos = [] {
    std::string bytes;
    for (int b = 0x80; b <= 0xff; b++)
      bytes += static_cast<char>(b);
    return bytes;
  }();
  std::string saida;
  while (!texto.empty()) {
    const char *fim = nullptr;
    g_utf8_validate(texto.data(), static_cast<gssize>(texto.size()), &fim);
    size_t valido = static_cast<size_t>(fim - texto.data());
    if (valido > 0) {
      char *escapado = g_strescape(std::string(texto.substr(0, valido)).c_str(), altos.c_str());
      saida += escapado;
      g_free(escapado);
    }
    if (valido < texto.size()) {
      char octal[8];
      g_snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(texto[valido]));
      saida += octal;
      valido++;
    }
    texto.remove_prefix(valido);
  }
  return saida;
}

// A text cut short loses the bytes of a last character it cut in two.
std::string_view sem_caractere_partido(std::string_view texto) {
  const char *fim = nullptr;
  g_utf8_validate(texto.data(), static_cast<gssize>(texto.size()), &fim);
  const size_t valido = static_cast<size_t>(fim - texto.data());
  return valido + 4 > texto.size() &&
                 g_utf8_get_char_validated(fim, texto.size() - valido) == static_cast<gunichar>(-2)
             ? texto.substr(0, valido)
             : texto;
}

} // namespace

void olpa_registro_le(const void *memoria, const OlpaRegistroMedidas &m, OlpaRegistro *r) {
  *r = OlpaRegistro{};
  olpa_registro_le_mais(memoria, m, r);
}

void olpa_registro_le_mais(const void *memoria, const OlpaRegistroMedidas &m, OlpaRegistro *r) {
  if (!memoria || r->fechado)
    return;
  const auto *base = static_cast<const unsigned char *>(memoria);
  const OlpaRegistroPartes partes = olpa_registro_partes(m);
  OlpaRegistroCabecalho c;
  memcpy(&c, base, sizeof c);
  // What was read stays as it was read: the program may have written over
  // it since. Only the calls and texts past it are new.
  const size_t lidas = r->entradas.size();
  if (lidas == 0) {
    r->inicio = c.inicio;
    r->tela_inicial.clear();
    if (c.tela_inicial && c.inicio.tela_aberta)
      r->tela_inicial.assign(base + partes.pixels, base + partes.pixels + OLPA_TELA_BYTES);
  }
  const uint32_t guardadas = std::min(c.guardadas, m.chamadas);
  const size_t textos = std::min(c.textos, m.textos);
  if (textos > r->textos.size())
    r->textos.append(reinterpret_cast<const char *>(base + partes.textos) + r->textos.size(),
                     textos - r->textos.size());
  if (guardadas > lidas) {
    r->entradas.resize(guardadas);
    memcpy(r->entradas.data() + lidas, base + partes.entradas + sizeof(OlpaEntrada) * lidas,
           sizeof(OlpaEntrada) * (guardadas - lidas));
  }
  const auto invalida =
      std::find_if(r->entradas.begin() + static_cast<long>(lidas), r->entradas.end(),
                   [&](const OlpaEntrada &e) { return !valida(e, r->textos.size()); });
  if (invalida != r->entradas.end()) {
    r->entradas.erase(invalida, r->entradas.end());
    r->fechado = true;
  }
  r->chamadas = std::max({r->chamadas, c.chamadas, uint64_t{guardadas}});
  const size_t antes = r->enderecos.size();
  for (size_t i = lidas; i < r->entradas.size(); i++)
    r->enderecos.push_back(r->entradas[i].palavra & OLPA_ENTRADA_ENDERECO);
  std::sort(r->enderecos.begin(), r->enderecos.end());
  r->enderecos.erase(std::unique(r->enderecos.begin(), r->enderecos.end()), r->enderecos.end());
  if (r->enderecos.size() != antes) // lines are given for the addresses as they stand
    r->linhas.clear();
}

OlpaChamada olpa_registro_chamada(const OlpaRegistro &r, uint32_t indice) {
  OlpaChamada c;
  if (indice >= r.entradas.size())
    return c;
  const OlpaEntrada &e = r.entradas[indice];
  c.funcao = funcao_de(e);
  c.bandeiras = bandeiras_de(e);
  c.de_onde = e.palavra & OLPA_ENTRADA_ENDERECO;
  std::copy(e.valores, e.valores + 4, c.valores);
  const OlpaAssinatura &a = olpa_funcao_assinatura(c.funcao);
  if (a.quantos > 0 && a.texto[0] && !(c.bandeiras & OLPA_TEXTO_NULO))
    c.texto = std::string_view(r.textos).substr(static_cast<uint32_t>(e.valores[0]),
                                                static_cast<uint32_t>(e.valores[1]));
  return c;
}

void olpa_registro_define_linhas(OlpaRegistro *r, const std::vector<int> &linhas) {
  r->linhas = linhas;
  r->linhas.resize(r->enderecos.size());
}

int olpa_registro_linha(const OlpaRegistro &r, uint32_t indice) {
  if (indice >= r.entradas.size() || r.linhas.empty())
    return 0;
  const uint64_t endereco = r.entradas[indice].palavra & OLPA_ENTRADA_ENDERECO;
  const auto onde = std::lower_bound(r.enderecos.begin(), r.enderecos.end(), endereco);
  return onde == r.enderecos.end() ? 0 : std::max(0, r.linhas[onde - r.enderecos.begin()]);
}

std::string olpa_registro_chamada_texto(const OlpaRegistro &r, uint32_t indice) {
  const OlpaChamada c = olpa_registro_chamada(r, indice);
  const OlpaAssinatura &a = olpa_funcao_assinatura(c.funcao);
  std::string texto = std::string(OLPA_FUNCOES[c.funcao].nome) + "(";
  for (int i = 0; i < a.quantos; i++) {
    texto += i ? ", " : "";
    if (!a.texto[i])
      texto += std::to_string(c.valores[i]);
    else if (c.bandeiras & OLPA_TEXTO_NULO)
      texto += "NULL";
    else if (c.bandeiras & OLPA_TEXTO_CORTADO)
      texto += "\"" + escapa(sem_caractere_partido(c.texto)) + "\"…";
    else
      texto += "\"" + escapa(c.texto) + "\"";
  }
  return texto + ")";
}

std::string olpa_registro_passo(const OlpaRegistro &r, uint32_t indice) {
  const int linha = olpa_registro_linha(r, indice);
  return "passo " + std::to_string(uint64_t{indice} + 1) + " · linha " +
         (linha > 0 ? std::to_string(linha) : std::string("?")) + ": " +
         olpa_registro_chamada_texto(r, indice);
}

std::string olpa_registro_fim(const OlpaRegistro &r) {
  const size_t n = r.entradas.size();
  std::string texto = "[olpa] " + std::to_string(n) + (n == 1 ? " passo" : " passos");
  if (r.chamadas > n)
    texto += " (e mais " + std::to_string(r.chamadas - n) +
             (r.chamadas - n == 1 ? " que não foi guardado)" : " que não foram guardados)");
  return texto + "\n";
}

std::string olpa_registro_lista(const OlpaRegistro &r) {
  std::string lista;
  for (uint32_t i = 0; i < r.entradas.size(); i++)
    lista += olpa_registro_passo(r, i) + "\n";
  return lista + olpa_registro_fim(r);
}
