// SPDX-License-Identifier: GPL-3.0-or-later
// Why a file could not be written, in words a learner understands: one table
// for the code files and the pictures. GTK-free.
#pragma once

#include <glib.h>

// Null where there is no reason of our own; the caller then shows the
// system's message.
const char *olpa_motivo_arquivo(GFileError erro);
// The same for an errno value.
const char *olpa_motivo_errno(int erro);
