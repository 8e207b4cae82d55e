// The exe's icon file, written at build time by tools/icongen from the pictures of IconArt.h.
// Build-machine code only: it compresses with zlib, which the exe does without.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/IconArt.h"

namespace telvaro {

// Images of this size and larger go into the .ico as PNG, the smaller ones as bitmaps.
inline constexpr int kPngIconSize = 256;

// A PNG file of `image`: 8-bit RGBA, not interlaced, deflate-compressed.
std::vector<std::uint8_t> PngFile(const IconImage& image);

// A .ico file holding `images` with alpha: the small ones as 32-bit bitmaps with an AND mask for
// old readers, the large ones as PNG.
std::vector<std::uint8_t> IcoFile(const std::vector<IconImage>& images);

}  // namespace telvaro
