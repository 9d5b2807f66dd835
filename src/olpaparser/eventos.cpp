// Writing and reading the events a child reports to the application.
#include "eventos.h"

#include <algorithm>
#include <cstdlib>

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

Eventos eventos_le(const std::string &texto) {
  Eventos eventos;
  for (size_t i = 0, fim; (fim = texto.find('\n', i)) != std::string::npos; i = fim + 1) {
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
    if (e == Evento::Base || e == Evento::Linha)
      le_tabela(e, texto.c_str() + i + 1, &eventos.tabela);
  }
  std::stable_sort(
      eventos.tabela.linhas.begin(), eventos.tabela.linhas.end(),
      [](const LinhaDoCodigo &a, const LinhaDoCodigo &b) { return a.inicio < b.inicio; });
  return eventos;
}
