// SPDX-License-Identifier: GPL-3.0-or-later
// Texts for people: file names shown safely, numbers the Brazilian way.
#include "textos.h"

#include <cstdio>

#include "olpa_comum.h"

#include <glib.h>

std::string texto_utf8(const std::string &bruto) {
  return olpa_texto_valido(bruto.data(), bruto.size());
}

namespace {

// Characters that reorder or hide the text around them (bidi overrides and
// isolates, the marks, the separators that break lines where none shows):
// a file name or a program's line could pass for another text with them.
bool invisivel_perigoso(gunichar u) {
  return u == 0x061c || u == 0x200e || u == 0x200f || (u >= 0x202a && u <= 0x202e) ||
         (u >= 0x2066 && u <= 0x2069) || u == 0x2028 || u == 0x2029 || u == 0xfeff;
}

// Valid UTF-8 with every control character and those invisible ones written
// as an escape one can see (\n, \t, \r, \xNN, \uNNNN); with `linhas`, line
// ends and tabs stay as they are.
std::string sem_controles(const std::string &bruto, bool linhas) {
  const std::string valido = texto_utf8(bruto);
  std::string saida;
  saida.reserve(valido.size());
  for (const char *p = valido.c_str(), *fim = p + valido.size(); p < fim; p = g_utf8_next_char(p)) {
    const gunichar u = g_utf8_get_char(p);
    char esc[16] = "";
    if (linhas && u == '\r')
      continue; // a line end of another system: the \n is enough
    if (!linhas && (u == '\n' || u == '\t' || u == '\r'))
      snprintf(esc, sizeof esc, "%s", u == '\n' ? "\\n" : u == '\t' ? "\\t" : "\\r");
    else if ((u < 0x20 && u != '\n' && u != '\t') || u == 0x7f)
      snprintf(esc, sizeof esc, "\\x%02x", static_cast<unsigned>(u));
    else if ((u >= 0x80 && u <= 0x9f) || invisivel_perigoso(u))
      snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(u));
    if (*esc)
      saida += esc;
    else
      saida.append(p, static_cast<size_t>(g_utf8_next_char(p) - p));
  }
  return saida;
}

} // namespace

std::string texto_de_uma_linha(const std::string &bruto) {
  return sem_controles(bruto, false);
}

std::string texto_de_varias_linhas(const std::string &bruto) {
  return sem_controles(bruto, true);
}

std::string texto_html(const std::string &bruto, bool linhas) {
  const std::string limpo = sem_controles(bruto, linhas);
  return OlpaTexto(g_markup_escape_text(limpo.c_str(), static_cast<gssize>(limpo.size()))).get();
}

std::string texto_celula(const std::string &bruto) {
  std::string texto = sem_controles(bruto, false);
  // A cell that begins so is a formula to a spreadsheet: the apostrophe makes it text.
  if (!texto.empty() && std::string("=+-@").find(texto[0]) != std::string::npos)
    texto.insert(0, "'");
  return texto;
}

std::string texto_decimal(double valor, int casas, char separador) {
  char texto[G_ASCII_DTOSTR_BUF_SIZE];
  const std::string formato = "%." + std::to_string(casas) + "f";
  g_ascii_formatd(texto, sizeof texto, formato.c_str(), valor);
  std::string s = texto;
  const size_t ponto = s.find('.');
  if (ponto != std::string::npos)
    s[ponto] = separador;
  return s;
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
  return texto_decimal(porcento, 2, ',') + "%";
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
