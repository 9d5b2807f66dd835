// SPDX-License-Identifier: GPL-3.0-or-later
// Text in and out of olpa: a code file read and decoded the one way both the
// window's "Abrir" and olpa-rodar take it, and a program's text made safe to
// show on a terminal.
#include "olpa_comum.h"
#include "olpaparser.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

namespace {

// UTF-8 as it is; anything else is taken for a program written by an older
// Windows editor.
std::string em_utf8(const std::string &bytes) {
  if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
    return bytes;
  for (const char *origem : {"WINDOWS-1252", "ISO-8859-1"}) {
    OlpaTexto texto(g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", origem,
                              nullptr, nullptr, nullptr));
    if (texto)
      return texto.get();
  }
  return {};
}

// A lone CR (old Mac editors) ends a line as LF does; CR LF stays as it is.
std::string fins_de_linha(std::string texto) {
  for (size_t i = 0; (i = texto.find('\r', i)) != std::string::npos; i++)
    if (i + 1 == texto.size() || texto[i + 1] != '\n')
      texto[i] = '\n';
  return texto;
}

std::string motivo_de_errno(int erro) {
  switch (erro) {
  case ENOENT:
    return "o arquivo não existe";
  case EACCES:
  case EPERM:
    return "sem permissão para ler";
  case EISDIR:
    return "é uma pasta";
  default:
    return g_strerror(erro);
  }
}

} // namespace

bool parser_le_codigo(const char *caminho, std::string *texto, std::string *motivo) {
  // Never blocks on a pipe or a device: only a regular file is read.
  const int fd = open(caminho, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *motivo = motivo_de_errno(errno);
    return false;
  }
  struct stat info;
  std::string bytes;
  bool ok = fstat(fd, &info) == 0;
  if (!ok || !S_ISREG(info.st_mode)) {
    *motivo = ok && S_ISDIR(info.st_mode) ? "é uma pasta" : "não é um arquivo comum";
    ok = false;
  }
  // One byte more than may be taken, to see a file that grew past the limit.
  char bloco[65536];
  for (ssize_t n; ok && (n = read(fd, bloco, sizeof bloco)) != 0;) {
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      *motivo = motivo_de_errno(errno);
      ok = false;
    } else if (bytes.size() + static_cast<size_t>(n) > PARSER_LIMITE_CODIGO) {
      *motivo = "é grande demais (mais de 1 MiB)";
      ok = false;
    } else {
      bytes.append(bloco, static_cast<size_t>(n));
    }
  }
  close(fd);
  return ok && parser_decodifica_codigo(bytes, texto, motivo);
}

bool parser_decodifica_codigo(const std::string &bytes, std::string *texto, std::string *motivo) {
  if (bytes.size() > PARSER_LIMITE_CODIGO) {
    *motivo = "é grande demais (mais de 1 MiB)";
    return false;
  }
  if (bytes.empty()) {
    *motivo = "está vazio";
    return false;
  }
  if (memchr(bytes.data(), '\0', bytes.size())) {
    *motivo = "tem bytes nulos: não é um programa";
    return false;
  }
  *texto = fins_de_linha(em_utf8(bytes));
  if (texto->size() > PARSER_LIMITE_CODIGO) {
    *motivo = "é grande demais (mais de 1 MiB)";
    return false;
  }
  return true;
}

namespace {

std::string codigo(const char *formato, unsigned valor) {
  char texto[16];
  g_snprintf(texto, sizeof texto, formato, valor);
  return texto;
}

} // namespace

std::string parser_escapa_controles(const std::string &texto) {
  std::string saida;
  saida.reserve(texto.size());
  const char *p = texto.c_str(), *fim = p + texto.size();
  while (p < fim) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7f && c < 0x80)) {
      saida += *p++;
      continue;
    }
    if (c < 0x80) {
      saida += codigo("\\x%02x", c);
      p++;
      continue;
    }
    // C1 controls (U+0080 to U+009F) steer some terminals as ESC does.
    const gunichar u = g_utf8_get_char_validated(p, fim - p);
    const char *proximo = u == static_cast<gunichar>(-1) || u == static_cast<gunichar>(-2)
                              ? p + 1
                              : g_utf8_next_char(p);
    if (u >= 0x80 && u <= 0x9f)
      saida += codigo("\\u%04x", u);
    else if (proximo == p + 1)
      saida += codigo("\\x%02x", c);
    else
      saida.append(p, proximo);
    p = proximo;
  }
  return saida;
}
