// SPDX-License-Identifier: GPL-3.0-or-later
// Writing and reading the events a child reports to the application.
#include "eventos.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <glib.h>

namespace {

// "BASE SIZE" of Evento::Base, "OFFSET LINE" of Evento::Linha.
void le_tabela(Evento e, const char *texto, TabelaDeLinhas *t) {
  char *fim = nullptr;
  const unsigned long long a = strtoull(texto, &fim, 10);
  const unsigned long long b = strtoull(fim, nullptr, 10);
  if (e == Evento::Base && t->base == 0 && a != 0 && b <= (1ull << 31)) {
    t->base = a;
    t->tamanho = b;
  } else if (e == Evento::Linha && t->base != 0 && a < t->tamanho && b >= 1 && b <= (1u << 30)) {
    t->linhas.push_back({static_cast<uint32_t>(a), static_cast<int>(b)});
  }
}

// " LINE TEXT" of a compiler message, its text escaped as C does.
void le_mensagem(Evento e, const std::string &resto, Eventos *eventos) {
  const size_t espaco = resto.find(' ', 1);
  if (espaco == std::string::npos)
    return;
  char *texto = g_strcompress(resto.c_str() + espaco + 1);
  eventos->mensagens.push_back(
      {e == Evento::Aviso, atoi(resto.c_str()), olpa_texto_valido(texto, strlen(texto))});
  g_free(texto);
}

} // namespace

std::string evento_linha(Evento evento, int linha) {
  std::string texto(1, static_cast<char>(evento));
  if (evento == Evento::Erro || evento == Evento::Aviso)
    texto += " " + std::to_string(linha);
  return texto + "\n";
}

std::string evento_tabela(const TabelaDeLinhas &tabela) {
  std::string texto = std::string(1, static_cast<char>(Evento::Base)) + " " +
                      std::to_string(tabela.base) + " " + std::to_string(tabela.tamanho) + "\n";
  for (const LinhaDoCodigo &l : tabela.linhas)
    texto += std::string(1, static_cast<char>(Evento::Linha)) + " " + std::to_string(l.inicio) +
             " " + std::to_string(l.linha) + "\n";
  return texto;
}

bool Eventos::tem(Evento evento) const {
  return std::find(vistos.begin(), vistos.end(), evento) != vistos.end();
}

std::string evento_mensagem(Evento evento, int linha, const std::string &texto) {
  std::string sem_fim = texto;
  while (!sem_fim.empty() && sem_fim.back() == '\n')
    sem_fim.pop_back();
  char *escapado = g_strescape(sem_fim.c_str(), "");
  std::string linha_do_evento = std::string(1, static_cast<char>(evento)) + " " +
                                std::to_string(linha) + " " + escapado + "\n";
  g_free(escapado);
  return linha_do_evento;
}

Eventos eventos_le(const std::string &texto) {
  Eventos eventos;
  eventos_le_desde(texto, 0, &eventos);
  std::stable_sort(
      eventos.tabela.linhas.begin(), eventos.tabela.linhas.end(),
      [](const LinhaDoCodigo &a, const LinhaDoCodigo &b) { return a.inicio < b.inicio; });
  return eventos;
}

size_t eventos_le_desde(const std::string &texto, size_t desde, Eventos *e) {
  Eventos &eventos = *e;
  size_t i = desde;
  for (size_t fim; (fim = texto.find('\n', i)) != std::string::npos; i = fim + 1) {
    if (fim == i)
      continue;
    // Any letter is kept; one no event has is never asked for.
    const Evento e = static_cast<Evento>(texto[i]);
    eventos.vistos.push_back(e);
    const int linha = atoi(texto.c_str() + i + 1);
    if (e == Evento::Erro && linha > 0)
      eventos.linhas_com_erro.push_back(linha);
    if (e == Evento::Aviso && linha > 0)
      eventos.linhas_com_aviso.push_back(linha);
    if (e == Evento::Erro || e == Evento::Aviso)
      le_mensagem(e, texto.substr(i + 1, fim - i - 1), &eventos);
    if (e == Evento::Base || e == Evento::Linha)
      le_tabela(e, texto.c_str() + i + 1, &eventos.tabela);
  }
  return i;
}
