// SPDX-License-Identifier: GPL-3.0-or-later
// olpa-analisa: reads programs from standard input, one request at a time,
// and answers each with clang's findings on standard output. Confines
// itself before it reads the first program; whoever started it ends it
// (closing its input) or kills it when an analysis takes too long.
#include "analisa.h"

#include "analise_protocolo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

namespace {

// The requests and the answers, on descriptors of their own: clang reads a
// file named "-" from standard input, and a program may #include "-".
int pedidos = STDIN_FILENO, respostas = STDOUT_FILENO;

void separa_canais() {
  pedidos = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  respostas = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  const int nulo = open("/dev/null", O_RDWR | O_CLOEXEC);
  dup2(nulo, STDIN_FILENO);
  dup2(nulo, STDOUT_FILENO);
  close(nulo);
}

bool le_tudo(int fd, char *dados, size_t tamanho) {
  while (tamanho > 0) {
    const ssize_t n = read(fd, dados, tamanho);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    dados += n;
    tamanho -= static_cast<size_t>(n);
  }
  return true;
}

bool escreve_tudo(const std::string &texto) {
  const char *p = texto.data();
  size_t resta = texto.size();
  while (resta > 0) {
    const ssize_t n = write(respostas, p, resta);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    resta -= static_cast<size_t>(n);
  }
  return true;
}

// "analisa SEQ N\n", read a byte at a time: nothing of the text is read
// ahead of its length.
bool le_pedido(unsigned long *sequencia, size_t *tamanho) {
  std::string linha;
  char c;
  while (linha.size() < 64) {
    if (!le_tudo(pedidos, &c, 1))
      return false;
    if (c == '\n')
      break;
    linha += c;
  }
  unsigned long n = 0;
  if (sscanf(linha.c_str(), "analisa %lu %lu", sequencia, &n) != 2 || n > (8u << 20))
    return false;
  *tamanho = n;
  return true;
}

} // namespace

// olpa-analisa PASTA [--sem-isolar]: PASTA, made and removed by whoever
// starts it, is where clang keeps the preamble of a program's #includes,
// and the one place it may write.
int main(int argc, char **argv) {
  if (argc < 2 || !g_file_test(argv[1], G_FILE_TEST_IS_DIR)) {
    fprintf(stderr, "uso: olpa-analisa PASTA_TEMPORARIA [--sem-isolar]\n");
    return 2;
  }
  const bool isolar = !(argc > 2 && strcmp(argv[2], "--sem-isolar") == 0);
  setenv("TMPDIR", argv[1], 1);
  separa_canais();
  unidade_prepara();
  const std::string motivo = isolar ? isola_processo(argv[1]) : "";
  if (!escreve_tudo("pronto\t" + motivo + "\n"))
    return 1;
  unsigned long sequencia = 0;
  size_t tamanho = 0;
  while (le_pedido(&sequencia, &tamanho)) {
    std::string texto(tamanho, '\0');
    if (!le_tudo(pedidos, texto.data(), tamanho))
      break;
    if (!escreve_tudo(unidade_analisa(texto) + "fim\t" + std::to_string(sequencia) + "\n"))
      break;
  }
  // Its starter went away: what clang left in the folder goes (the folder,
  // its starter's to remove, may stay behind if it died).
  if (GDir *d = g_dir_open(argv[1], 0, nullptr)) {
    while (const char *nome = g_dir_read_name(d))
      unlink((std::string(argv[1]) + "/" + nome).c_str());
    g_dir_close(d);
  }
  return 0;
}
