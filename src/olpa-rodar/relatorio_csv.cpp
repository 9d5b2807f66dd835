// SPDX-License-Identifier: GPL-3.0-or-later
// The report as a table, one row per file in the report's order. By default
// for the spreadsheet a teacher here opens it in: ";" between fields, a
// decimal comma, UTF-8 with a byte-order mark (so the accents are read as
// such), the verdicts in words and the learner's name first. For scripts, the
// international form: "," and a decimal point, the verdicts as identifiers,
// and the columns of old first, in their old places. Fields are quoted as RFC
// 4180 has them; no cell holds a control or bidi character, nor begins as a
// formula.
#include "turma.h"

#include "textos.h"

namespace {

struct Formato {
  char separador, decimal;
};

std::string campo(const std::string &bruto, const Formato &f) {
  const std::string texto = texto_celula(bruto);
  if (texto.find_first_of(std::string("\"") + f.separador) == std::string::npos)
    return texto;
  std::string citado = "\"";
  for (const char c : texto)
    citado += c == '"' ? std::string("\"\"") : std::string(1, c);
  return citado + "\"";
}

std::string linha(const std::vector<std::string> &campos, const Formato &f) {
  std::string s;
  for (size_t i = 0; i < campos.size(); i++)
    s += (i ? std::string(1, f.separador) : "") + campos[i];
  return s + "\r\n";
}

// A share of the drawing, in percent; empty when no picture was compared.
std::string parte(const Correcao &c, long pontos, int casas, const Formato &f) {
  if (!c.comparada || c.comparacao.desenho == 0)
    return c.comparada ? texto_decimal(0, casas, f.decimal) : "";
  return texto_decimal(100.0 * static_cast<double>(pontos) /
                           static_cast<double>(c.comparacao.desenho),
                       casas, f.decimal);
}

std::string numero(const Correcao &c, long n) {
  return c.comparada ? std::to_string(n) : "";
}

std::string grupo(const Correcao &c) {
  return c.mesmo_codigo ? std::to_string(c.mesmo_codigo) : "";
}

} // namespace

std::string relatorio_csv(const Turma &turma, bool internacional) {
  const Formato f = internacional ? Formato{',', '.'} : Formato{';', ','};
  std::string csv;
  if (internacional)
    csv =
        linha({"arquivo", "situacao", "pontos_diferentes", "porcentagem", "mensagem", "nome",
               "nota", "tipo", "faltando", "sobrando", "cor", "pontos_do_desenho", "mesmo_codigo"},
              f);
  else
    csv = "\xef\xbb\xbf" + linha({"nome", "arquivo", "situação", "nota", "diferença (%)", "tipo",
                                  "faltando (%)", "sobrando (%)", "cor (%)", "pontos diferentes",
                                  "pontos do desenho", "mesmo código", "mensagem"},
                                 f);
  const int casas = internacional ? 4 : 2;
  for (const Correcao &c : turma.correcoes) {
    const Comparacao &k = c.comparacao;
    const std::string nome = campo(texto_nome_base(c.arquivo), f), arquivo = campo(c.arquivo, f),
                      mensagem = campo(c.mensagem, f),
                      nota = texto_decimal(situacao_nota(c), 1, f.decimal),
                      tipo = c.comparada ? situacao_marca(k.principal()) : "";
    if (internacional)
      csv += linha({arquivo, situacao_nome(c.situacao), numero(c, k.diferentes()),
                    parte(c, k.diferentes(), casas, f), mensagem, nome, nota, tipo,
                    parte(c, k.faltando, casas, f), parte(c, k.sobrando, casas, f),
                    parte(c, k.cor, casas, f), numero(c, k.desenho), grupo(c)},
                   f);
    else
      csv += linha({nome, arquivo, situacao_rotulo(c.situacao), nota,
                    parte(c, k.diferentes(), casas, f), tipo, parte(c, k.faltando, casas, f),
                    parte(c, k.sobrando, casas, f), parte(c, k.cor, casas, f),
                    numero(c, k.diferentes()), numero(c, k.desenho), grupo(c), mensagem},
                   f);
  }
  return csv;
}
