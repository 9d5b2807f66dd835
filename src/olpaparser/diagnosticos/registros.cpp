// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter of message tables: records read once from their file,
// matched in order, their texts filled in with what the message held.
#include "registros.h"

#include <glib.h>

namespace {

struct LiberaRegex {
  void operator()(GRegex *r) const { g_regex_unref(r); }
};

// "(?<nome>": the names of a pattern's captures, in order.
std::vector<std::string> capturas_de(const std::string &padrao) {
  std::vector<std::string> nomes;
  for (size_t i = padrao.find("(?<"); i != std::string::npos; i = padrao.find("(?<", i + 3)) {
    const size_t fim = padrao.find('>', i);
    if (fim != std::string::npos && padrao[i + 3] != '=' && padrao[i + 3] != '!')
      nomes.push_back(padrao.substr(i + 3, fim - i - 3));
  }
  return nomes;
}

bool satisfaz(const Registro &r, const Partes &condicoes) {
  for (const auto &[chave, valor] : condicoes) {
    auto i = r.chaves.find(chave);
    if (valor.empty() ? i != r.chaves.end() : i == r.chaves.end() || i->second != valor)
      return false;
  }
  return true;
}

} // namespace

const std::string &Registro::chave(const std::string &nome, const std::string &padrao) const {
  auto i = chaves.find(nome);
  return i == chaves.end() ? padrao : i->second;
}

Registros registros_le(const char *texto) {
  Registros tabela;
  GKeyFile *arquivo = g_key_file_new();
  GError *erro = nullptr;
  if (!g_key_file_load_from_data(arquivo, texto, static_cast<gsize>(-1), G_KEY_FILE_NONE, &erro)) {
    tabela.erro = erro->message;
    g_error_free(erro);
    g_key_file_free(arquivo);
    return tabela;
  }
  gchar **grupos = g_key_file_get_groups(arquivo, nullptr);
  for (gchar **g = grupos; *g; g++) {
    Registro r;
    r.nome = *g;
    gchar **chaves = g_key_file_get_keys(arquivo, *g, nullptr, nullptr);
    for (gchar **c = chaves; c && *c; c++) {
      // A pattern as written (its backslashes are its own); the other keys
      // with the file's escapes (\n, \\) read.
      gchar *valor = g_strcmp0(*c, "padrao") == 0 ? g_key_file_get_value(arquivo, *g, *c, nullptr)
                                                  : g_key_file_get_string(arquivo, *g, *c, nullptr);
      r.chaves[*c] = valor ? valor : "";
      g_free(valor);
    }
    g_strfreev(chaves);
    const std::string padrao = r.chave("padrao");
    if (!padrao.empty()) {
      GRegex *regex = g_regex_new(("^(?:" + padrao + ")$").c_str(),
                                  static_cast<GRegexCompileFlags>(G_REGEX_OPTIMIZE),
                                  static_cast<GRegexMatchFlags>(0), &erro);
      if (!regex) {
        tabela.erro += "[" + r.nome + "] " + erro->message + "\n";
        g_clear_error(&erro);
        continue;
      }
      r.padrao.reset(regex, LiberaRegex());
      r.capturas = capturas_de(padrao);
    }
    tabela.registros.push_back(std::move(r));
  }
  g_strfreev(grupos);
  g_key_file_free(arquivo);
  return tabela;
}

namespace {

bool casa(GRegex *regex, const std::vector<std::string> &capturas, const std::string &texto,
          Partes *partes) {
  GMatchInfo *casamento = nullptr;
  const bool casou =
      g_regex_match(regex, texto.c_str(), static_cast<GRegexMatchFlags>(0), &casamento);
  if (casou)
    for (const std::string &nome : capturas) {
      gchar *parte = g_match_info_fetch_named(casamento, nome.c_str());
      (*partes)[nome] = parte ? parte : "";
      g_free(parte);
    }
  g_match_info_free(casamento);
  return casou;
}

} // namespace

bool registros_casa(const std::string &padrao, const std::string &texto, Partes *partes) {
  GRegex *regex = g_regex_new(("^(?:" + padrao + ")$").c_str(), static_cast<GRegexCompileFlags>(0),
                              static_cast<GRegexMatchFlags>(0), nullptr);
  if (!regex)
    return false;
  const bool casou = casa(regex, capturas_de(padrao), texto, partes);
  g_regex_unref(regex);
  return casou;
}

const Registro *registros_procura(const Registros &tabela, const std::string &mensagem,
                                  const Partes &condicoes, Partes *partes,
                                  const std::function<bool(const Registro &, Partes *)> &aceita) {
  for (const Registro &r : tabela.registros) {
    if (!satisfaz(r, condicoes))
      continue;
    Partes achadas = *partes;
    if (r.padrao && !casa(r.padrao.get(), r.capturas, mensagem, &achadas))
      continue;
    if (aceita && !aceita(r, &achadas))
      continue;
    *partes = std::move(achadas);
    return &r;
  }
  return nullptr;
}

std::string registros_preenche(const Registros &tabela, const std::string &modelo,
                               const Partes &partes) {
  std::string texto;
  for (size_t i = 0; i < modelo.size(); i++) {
    const size_t fim = modelo.compare(i, 2, "${") == 0 ? modelo.find('}', i) : std::string::npos;
    if (fim == std::string::npos) {
      texto += modelo[i];
      continue;
    }
    std::string nome = modelo.substr(i + 2, fim - i - 2), filtro;
    if (const size_t d = nome.find(':'); d != std::string::npos)
      filtro = nome.substr(d + 1), nome.resize(d);
    auto p = partes.find(nome);
    std::string valor = p == partes.end() ? "" : p->second;
    if (!filtro.empty()) {
      Partes dentro{{"valor", valor}};
      if (const Registro *r = registros_procura(tabela, valor, {{"tabela", filtro}}, &dentro))
        valor = registros_preenche(tabela, r->chave("texto"), dentro);
    }
    texto += valor;
    i = fim;
  }
  return texto;
}
