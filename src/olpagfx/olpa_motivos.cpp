// SPDX-License-Identifier: GPL-3.0-or-later
// The Portuguese reasons for file errors, by GLib's file error codes.
#include "olpa_motivos.h"

#include <cerrno>

namespace {

struct Motivo {
  GFileError erro;
  const char *texto;
};

const Motivo MOTIVOS[] = {
    {G_FILE_ERROR_NOENT, "a pasta não existe"},
    {G_FILE_ERROR_NOTDIR, "a pasta não existe"},
    {G_FILE_ERROR_ACCES, "sem permissão para escrever"},
    {G_FILE_ERROR_PERM, "sem permissão para escrever"},
    {G_FILE_ERROR_ROFS, "o disco é somente leitura"},
    {G_FILE_ERROR_NOSPC, "o disco está cheio"},
    {G_FILE_ERROR_ISDIR, "existe uma pasta com esse nome"},
    {G_FILE_ERROR_NAMETOOLONG, "o nome é longo demais"},
    {G_FILE_ERROR_IO, "erro de leitura ou gravação no disco"},
    {G_FILE_ERROR_LOOP, "o caminho tem links em ciclo"},
};

} // namespace

const char *olpa_motivo_arquivo(GFileError erro) {
  for (const Motivo &m : MOTIVOS)
    if (m.erro == erro)
      return m.texto;
  return nullptr;
}

const char *olpa_motivo_errno(int erro) {
  // GLib has no code of its own for an exhausted quota: to the learner it is a full disk.
  return olpa_motivo_arquivo(g_file_error_from_errno(erro == EDQUOT ? ENOSPC : erro));
}
