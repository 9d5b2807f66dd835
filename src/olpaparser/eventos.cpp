// Writing and reading the events a child reports to the application.
#include "eventos.h"

#include <algorithm>
#include <cstdlib>

std::string evento_linha(Evento evento, int linha) {
  std::string texto(1, static_cast<char>(evento));
  if (evento == Evento::Erro || evento == Evento::Aviso)
    texto += " " + std::to_string(linha);
  return texto + "\n";
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
  }
  return eventos;
}
