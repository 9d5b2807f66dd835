// SPDX-License-Identifier: GPL-3.0-or-later
// Records as text that any bytes can be put in, and the numbers in them read
// without trusting them.
#include "registro.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include <glib.h>

void registro_campo(std::string *saida, const std::string &nome, const std::string &valor) {
  *saida += nome + " " + std::to_string(valor.size()) + "\n" + valor + "\n";
}

bool registro_le(const std::string &texto, size_t *posicao, Campos *campos,
                 const std::string &fim) {
  size_t p = *posicao;
  while (p < texto.size()) {
    const size_t espaco = texto.find(' ', p), quebra = texto.find('\n', p);
    if (espaco == std::string::npos || quebra == std::string::npos || espaco > quebra)
      return false;
    char *resto = nullptr;
    const unsigned long long n = g_ascii_strtoull(texto.c_str() + espaco + 1, &resto, 10);
    if (resto != texto.c_str() + quebra || n > texto.size() - quebra - 1 ||
        texto.size() - quebra - 1 - n < 1 || texto[quebra + 1 + n] != '\n')
      return false;
    const std::string nome = texto.substr(p, espaco - p);
    (*campos)[nome] = texto.substr(quebra + 1, n);
    p = quebra + 1 + n + 1;
    if (!fim.empty() && nome == fim)
      break;
  }
  *posicao = p;
  return true;
}

bool registro_numero(const std::string &texto, long minimo, long maximo, long *valor) {
  if (texto.empty() || !(g_ascii_isdigit(texto[0]) || texto[0] == '-'))
    return false;
  char *fim = nullptr;
  errno = 0;
  const long n = strtol(texto.c_str(), &fim, 10);
  if (errno || !fim || *fim || n < minimo || n > maximo)
    return false;
  *valor = n;
  return true;
}

std::string registro_lista(const std::vector<int> &numeros) {
  std::string s;
  for (int n : numeros)
    s += (s.empty() ? "" : " ") + std::to_string(n);
  return s;
}

bool registro_le_lista(const std::string &texto, long maximo, std::vector<int> *numeros) {
  numeros->clear();
  std::istringstream palavras(texto);
  for (std::string p; palavras >> p;) {
    long n = 0;
    if (!registro_numero(p, 1, maximo, &n))
      return false;
    numeros->push_back(static_cast<int>(n));
  }
  return true;
}

void registro_comparacao(std::string *saida, const Comparacao &c) {
  registro_campo(saida, "desenho", std::to_string(c.desenho));
  registro_campo(saida, "faltando", std::to_string(c.faltando));
  registro_campo(saida, "sobrando", std::to_string(c.sobrando));
  registro_campo(saida, "cor", std::to_string(c.cor));
  registro_campo(saida, "vazias",
                 std::string(c.modelo_vazio ? "1" : "0") + (c.aluno_vazio ? "1" : "0"));
}

bool registro_le_comparacao(const Campos &campos, Comparacao *c) {
  auto numero = [&](const char *nome, long *valor) {
    const auto i = campos.find(nome);
    return i != campos.end() && registro_numero(i->second, 0, COMPARA_PONTOS, valor);
  };
  const auto vazias = campos.find("vazias");
  if (!numero("desenho", &c->desenho) || !numero("faltando", &c->faltando) ||
      !numero("sobrando", &c->sobrando) || !numero("cor", &c->cor) || vazias == campos.end() ||
      vazias->second.size() != 2 || vazias->second.find_first_not_of("01") != std::string::npos ||
      c->diferentes() > c->desenho)
    return false;
  c->modelo_vazio = vazias->second[0] == '1';
  c->aluno_vazio = vazias->second[1] == '1';
  return true;
}
