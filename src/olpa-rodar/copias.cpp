// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-ins whose code is the same but for spaces, tabs and line ends: the
// report shows them side by side and leaves the judging to the teacher.
#include "turma.h"

#include <map>

#include <glib.h>

namespace {

// The code without any white space: what two copies still share when one
// was re-indented.
std::string sem_espacos(const std::string &codigo) {
  std::string s;
  s.reserve(codigo.size());
  for (const char c : codigo)
    if (!g_ascii_isspace(c))
      s += c;
  return s;
}

} // namespace

void copias_agrupa(Turma *t) {
  std::map<std::string, std::vector<size_t>> por_codigo;
  for (size_t i = 0; i < t->correcoes.size(); i++) {
    t->correcoes[i].mesmo_codigo = 0;
    const std::string chave = sem_espacos(t->correcoes[i].codigo);
    if (!chave.empty())
      por_codigo[chave].push_back(i);
  }
  // Numbered in the order of each group's first file, whatever the map's order.
  std::map<size_t, std::vector<size_t>> grupos;
  for (const auto &[chave, arquivos] : por_codigo)
    if (arquivos.size() > 1)
      grupos[arquivos.front()] = arquivos;
  t->copias.clear();
  for (const auto &[primeiro, arquivos] : grupos) {
    t->copias.push_back(arquivos);
    for (size_t i : arquivos)
      t->correcoes[i].mesmo_codigo = static_cast<int>(t->copias.size());
  }
}

std::vector<size_t> copias_do_grupo(const Turma &t, size_t i) {
  std::vector<size_t> outros;
  const int grupo = t.correcoes[i].mesmo_codigo;
  if (grupo > 0 && static_cast<size_t>(grupo) <= t.copias.size())
    for (size_t k : t.copias[static_cast<size_t>(grupo) - 1])
      if (k != i)
        outros.push_back(k);
  return outros;
}

bool copias_igual_ao_modelo(const Turma &t, size_t i) {
  const std::string modelo = sem_espacos(t.modelo_codigo);
  return !modelo.empty() && sem_espacos(t.correcoes[i].codigo) == modelo;
}
