// The program's pictures, drawn in code at any size: the two state images (the target is not
// running / is running) and the application icon. Drawing them at the size the system asks for
// keeps them sharp at every DPI; the same code draws the exe's .ico at build time (IconArtIco.h).
#pragma once

#include <cstdint>
#include <vector>

namespace telvaro {

enum class IconArt { NotRunning, Running, Application };

// Straight (not premultiplied) 0xAARRGGBB pixels, rows from the top.
struct IconImage {
  int size = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                  static_cast<std::size_t>(x)];
  }
};

// Anti-aliased; size 1 to 256.
IconImage DrawIcon(IconArt art, int size);

// The image the status line's state selects: 1 = running, anything else = not running.
constexpr IconArt StateArt(int imageIndex) {
  return imageIndex == 1 ? IconArt::Running : IconArt::NotRunning;
}

// The sizes of the exe's icon resource.
inline constexpr int kApplicationIconSizes[] = {16, 20, 24, 32, 48, 256};

}  // namespace telvaro
