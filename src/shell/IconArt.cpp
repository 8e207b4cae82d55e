#include "shell/IconArt.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace telvaro {

namespace {

struct Point {
  double x = 0;
  double y = 0;
};

// Distance from p to the segment a-b.
double SegmentDistance(Point p, Point a, Point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double t =
      std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// A handset: a curved handle bowing to the upper right, with the ear piece at its upper-left end
// and the mouth piece at its lower-right end, both turned towards the speaker's face. Unit
// coordinates, y downwards.
bool InHandset(Point p) {
  static constexpr Point kCentre{0.24, 0.76};  // of the handle's arc
  static constexpr double kRadius = 0.40;
  static constexpr Point kEar{0.30, 0.365};
  static constexpr Point kMouth{0.635, 0.70};
  const double dx = p.x - kCentre.x;
  const double dy = p.y - kCentre.y;
  // Between the two ends' directions from the centre (both up and to the right of it).
  const bool inSector = dx * (kEar.y - kCentre.y) - dy * (kEar.x - kCentre.x) <= 0 &&
                        dx * (kMouth.y - kCentre.y) - dy * (kMouth.x - kCentre.x) >= 0;
  if (inSector && std::abs(std::hypot(dx, dy) - kRadius) <= 0.075) return true;
  // The pieces: short thick bars across the handle's ends, pointing at the centre.
  auto piece = [&](Point end) {
    const double ux = (kCentre.x - end.x) / kRadius;
    const double uy = (kCentre.y - end.y) / kRadius;
    return SegmentDistance(p, {end.x - 0.02 * ux, end.y - 0.02 * uy},
                           {end.x + 0.14 * ux, end.y + 0.14 * uy}) <= 0.115;
  };
  return piece(kEar) || piece(kMouth);
}

bool InBadge(IconArt art, Point p) {
  if (art != IconArt::Application) return std::hypot(p.x - 0.5, p.y - 0.5) <= 0.47;
  // A rounded square.
  constexpr double kInset = 0.03;
  constexpr double kRadius = 0.2;
  const double cx = std::clamp(p.x, kInset + kRadius, 1 - kInset - kRadius);
  const double cy = std::clamp(p.y, kInset + kRadius, 1 - kInset - kRadius);
  return std::hypot(p.x - cx, p.y - cy) <= kRadius;
}

struct Colours {
  std::uint32_t badge;
  std::uint32_t handset;
};

Colours ColoursOf(IconArt art) {
  switch (art) {
    case IconArt::Running:
      return {0x2E9E48, 0xFFFFFF};  // white handset on green
    case IconArt::Application:
      return {0x1F4E8C, 0xFFFFFF};  // white handset on the logo's blue
    case IconArt::NotRunning:
    default:
      return {0xC63232, 0xD8D8D8};  // grey handset on red
  }
}

std::uint32_t Channel(std::uint32_t rgb, int shift) { return (rgb >> shift) & 0xFF; }

}  // namespace

IconImage DrawIcon(IconArt art, int size) {
  if (size < 1 || size > 256) throw std::invalid_argument("icon size out of range");
  // Each pixel is sampled on a 4 x 4 grid: the share of samples inside gives the coverage.
  constexpr int kGrid = 4;
  const Colours colours = ColoursOf(art);
  IconImage image{size, std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int inBadge = 0;
      int inHandset = 0;
      for (int sy = 0; sy < kGrid; ++sy) {
        for (int sx = 0; sx < kGrid; ++sx) {
          const Point p{(x + (sx + 0.5) / kGrid) / size, (y + (sy + 0.5) / kGrid) / size};
          if (!InBadge(art, p)) continue;
          ++inBadge;
          if (InHandset(p)) ++inHandset;
        }
      }
      std::uint32_t argb = 0;
      if (inBadge > 0) {
        // The handset lies inside the badge: blend it over the badge, the badge's edge is alpha.
        std::uint32_t rgb = 0;
        for (int shift : {16, 8, 0}) {
          const std::uint32_t c = (Channel(colours.badge, shift) * (inBadge - inHandset) +
                                   Channel(colours.handset, shift) * inHandset +
                                   static_cast<std::uint32_t>(inBadge) / 2) /
                                  static_cast<std::uint32_t>(inBadge);
          rgb |= c << shift;
        }
        const std::uint32_t alpha =
            (255u * static_cast<std::uint32_t>(inBadge) + kGrid * kGrid / 2) / (kGrid * kGrid);
        argb = alpha << 24 | rgb;
      }
      image.pixels[static_cast<std::size_t>(y) * size + x] = argb;
    }
  }
  return image;
}

}  // namespace telvaro
