// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures for grading: a 640 x 480 PNG read without trusting the file, and
// written back.
#pragma once

#include "olpagfx.h"

#include <string>

// The picture at `caminho` as a 640 x 480 ARGB32 surface, when it is a regular
// file (no link followed, nothing waited on) holding a PNG of that size; null
// otherwise, with the reason in Portuguese in *motivo.
OlpaSurface figura_le(const std::string &caminho, std::string *motivo);
// The same for the file open at `fd` (left open).
OlpaSurface figura_le_fd(int fd, std::string *motivo);

// Writes `figura` as PNG; false with the reason in *motivo.
bool figura_grava(cairo_surface_t *figura, const std::string &caminho, std::string *motivo);

// A checksum of a picture's pixels: the same picture, the same text.
std::string figura_soma(cairo_surface_t *figura);
