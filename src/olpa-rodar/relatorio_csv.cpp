// SPDX-License-Identifier: GPL-3.0-or-later
// The report as a table for spreadsheets and scripts: one row per file in the
// order given, fields quoted as RFC 4180 has them, valid UTF-8 throughout.
#include "turma.h"

#include "textos.h"

#include <glib.h>

namespace {

std::string campo(const std::string &bruto) {
  const std::string texto = texto_utf8(bruto);
  if (texto.find_first_of(",\"\r\n") == std::string::npos)
    return texto;
  std::string citado = "\"";
  for (const char c : texto)
    citado += c == '"' ? std::string("\"\"") : std::string(1, c);
  return citado + "\"";
}

} // namespace

std::string relatorio_csv(const Turma &turma) {
  std::string csv = "arquivo,situacao,pontos_diferentes,porcentagem,mensagem\r\n";
  for (const Correcao &c : turma.correcoes) {
    std::string pontos, porcentagem;
    if (c.pontos >= 0) {
      char texto[32];
      g_ascii_formatd(texto, sizeof texto, "%.4f", turma_porcentagem(c.pontos));
      pontos = std::to_string(c.pontos);
      porcentagem = texto;
    }
    csv += campo(c.arquivo) + "," + situacao_nome(c.situacao) + "," + pontos + "," + porcentagem +
           "," + campo(c.mensagem) + "\r\n";
  }
  return csv;
}
