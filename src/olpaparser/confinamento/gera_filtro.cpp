// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the header the runner loads its system-call filter from
// (filtro_gerado.h): the program libseccomp builds, and where in it the
// process id goes. The filter is built for two ids; they must differ only
// there, or the build stops.
//
// gera_filtro SAIDA
#include "filtro.h"

#include <cstdio>
#include <string>

namespace {

// Two ids no instruction of the filter holds for another reason (system-call
// numbers and ioctl requests are far from them).
constexpr uint32_t ID_A = 0x3abcde, ID_B = 0x3abcdf;

int falha(const char *motivo) {
  fprintf(stderr, "gera_filtro: %s\n", motivo);
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2)
    return falha("uso: gera_filtro SAIDA");
  const std::vector<sock_filter> a = filtro_monta(ID_A), b = filtro_monta(ID_B);
  if (a.empty() || a.size() != b.size())
    return falha("libseccomp não montou o filtro");
  std::string instrucoes, lugares;
  for (size_t i = 0; i < a.size(); i++) {
    const bool id = a[i].k != b[i].k;
    if (a[i].code != b[i].code || a[i].jt != b[i].jt || a[i].jf != b[i].jf ||
        (id && (a[i].k != ID_A || b[i].k != ID_B)))
      return falha("os dois filtros diferem em mais que o número do processo");
    char linha[64];
    snprintf(linha, sizeof linha, "    {0x%04x, %u, %u, 0x%08x},\n", a[i].code, a[i].jt, a[i].jf,
             a[i].k);
    instrucoes += linha;
    if (id)
      lugares += "    " + std::to_string(i) + ",\n";
  }
  if (lugares.empty())
    return falha("o número do processo não está no filtro");
  FILE *saida = fopen(argv[1], "w");
  if (!saida)
    return falha("não foi possível escrever a saída");
  fprintf(saida,
          "// Written by gera_filtro from filtro.cpp when olpa is built.\n"
          "#pragma once\n\n"
          "#include <cstdint>\n\n"
          "#include <linux/filter.h>\n\n"
          "constexpr sock_filter FILTRO_GERADO[] = {\n%s};\n"
          "// Instructions whose k is the process id (FILTRO_ID there).\n"
          "constexpr unsigned FILTRO_LUGARES_DO_ID[] = {\n%s};\n"
          "constexpr uint32_t FILTRO_ID = 0x%x;\n",
          instrucoes.c_str(), lugares.c_str(), ID_A);
  return fclose(saida) == 0 ? 0 : 1;
}
