// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures for grading, as pixels in memory (640 x 480 ARGB32 as cairo holds
// them, a row every OLPA_TELA_STRIDE bytes): a PNG read without trusting the
// file, and pixels written as one.
#pragma once

#include "olpagfx.h"

#include <string>
#include <vector>

using Pixels = std::vector<unsigned char>;

// The picture at `caminho`, when it is a regular file (no link followed,
// nothing waited on) holding a PNG of 640 x 480; false otherwise, with the
// reason in Portuguese in *motivo.
bool figura_le(const std::string &caminho, Pixels *pixels, std::string *motivo);

// Writes `pixels` as PNG; false with the reason in *motivo.
bool figura_grava(const unsigned char *pixels, const std::string &caminho, std::string *motivo);
// The same in two steps, for a picture many learners share, encoded once:
// the PNG's bytes, and those bytes written at `caminho` (replaced whole).
std::string figura_codifica(const unsigned char *pixels);
bool figura_grava_png(const std::string &png, const std::string &caminho, std::string *motivo);
// A picture file of the report that is the same as `existente` (one written
// in this grading): a second name of that file where the file system has
// them (no disk space, no file made), its bytes written otherwise.
bool figura_grava_igual(const std::string &existente, const std::string &png,
                        const std::string &caminho, std::string *motivo);

// A checksum of a picture's pixels: the same picture, the same text.
std::string figura_soma(const unsigned char *pixels);
