// SPDX-License-Identifier: GPL-3.0-or-later
// Texts for people: file names shown safely, numbers the Brazilian way.
#include "textos.h"

#include <cstdio>

#include <glib.h>

std::string texto_utf8(const std::string &bruto) {
  if (g_utf8_validate(bruto.data(), static_cast<gssize>(bruto.size()), nullptr))
    return bruto;
  char *valido = g_utf8_make_valid(bruto.data(), static_cast<gssize>(bruto.size()));
  std::string texto = valido;
  g_free(valido);
  return texto;
}

std::string texto_de_uma_linha(const std::string &bruto) {
  std::string saida;
  for (const char c : texto_utf8(bruto)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n')
      saida += "\\n";
    else if (c == '\t')
      saida += "\\t";
    else if (c == '\r')
      saida += "\\r";
    else if (u < 0x20 || u == 0x7f) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\x%02x", u);
      saida += esc;
    } else {
      saida += c;
    }
  }
  // C1 controls (U+0080-U+009F) steer some terminals too.
  std::string limpa;
  for (const char *p = saida.c_str(); *p; p = g_utf8_next_char(p)) {
    const gunichar u = g_utf8_get_char(p);
    const char *q = g_utf8_next_char(p);
    if (u >= 0x80 && u <= 0x9f) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(u));
      limpa += esc;
    } else {
      limpa.append(p, static_cast<size_t>(q - p));
    }
  }
  return limpa;
}

size_t texto_largura(const std::string &texto) {
  return static_cast<size_t>(g_utf8_strlen(texto.c_str(), static_cast<gssize>(texto.size())));
}

std::string texto_alinhado(const std::string &texto, size_t largura) {
  const size_t tem = texto_largura(texto);
  return tem >= largura ? texto : texto + std::string(largura - tem, ' ');
}

std::string texto_numero(long n) {
  std::string digitos = std::to_string(n < 0 ? -n : n);
  for (int i = static_cast<int>(digitos.size()) - 3; i > 0; i -= 3)
    digitos.insert(static_cast<size_t>(i), ".");
  return n < 0 ? "-" + digitos : digitos;
}

std::string texto_porcentagem(double porcento) {
  if (porcento > 0 && porcento < 0.005)
    return "< 0,01%";
  char texto[32];
  snprintf(texto, sizeof texto, "%.2f", porcento);
  std::string s = texto;
  const size_t ponto = s.find('.');
  if (ponto != std::string::npos)
    s[ponto] = ',';
  return s + "%";
}

std::string texto_nome_base(const std::string &caminho) {
  char *base = g_path_get_basename(caminho.c_str());
  std::string nome = base;
  g_free(base);
  const size_t ponto = nome.rfind('.');
  if (ponto != std::string::npos && ponto > 0)
    nome.erase(ponto);
  return nome;
}

std::string texto_nome_seguro(const std::string &nome) {
  const std::string valido = texto_utf8(nome);
  std::string seguro;
  size_t caracteres = 0;
  for (const char *p = valido.c_str(); *p && caracteres < 60; p = g_utf8_next_char(p)) {
    const gunichar u = g_utf8_get_char(p);
    if (g_unichar_isalnum(u) || u == '-' || u == '_')
      seguro.append(p, static_cast<size_t>(g_utf8_next_char(p) - p));
    else
      seguro += '_';
    caracteres++;
  }
  return seguro.empty() ? "arquivo" : seguro;
}
