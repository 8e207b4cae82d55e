#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "shell/IconArt.h"
#include "shell/WindowLayout.h"

namespace telvaro {
namespace {

std::uint32_t Alpha(std::uint32_t argb) { return argb >> 24; }
std::uint32_t Rgb(std::uint32_t argb) { return argb & 0xFFFFFF; }

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint32_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8;
}

TEST(IconArt, EveryPictureAtEverySizeHasAClearEdgeAndASolidMiddle) {
  for (IconArt art : {IconArt::NotRunning, IconArt::Running, IconArt::Application}) {
    for (int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
      const IconImage image = DrawIcon(art, size);
      ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(size * size));
      EXPECT_EQ(Alpha(image.At(0, 0)), 0u) << size << ": the corner shows the taskbar";
      EXPECT_EQ(Alpha(image.At(size / 2, size / 2)), 255u) << size;
      // Anti-aliased: some pixels lie between transparent and opaque.
      bool partial = false;
      for (std::uint32_t p : image.pixels) partial |= Alpha(p) > 0 && Alpha(p) < 255;
      EXPECT_TRUE(partial) << size;
    }
  }
}

TEST(IconArt, TheTwoStateImagesAreToldApartByTheirBadge) {
  // A point of the badge away from the handset: its colour carries the meaning.
  const IconImage off = DrawIcon(StateArt(0), 32);
  const IconImage on = DrawIcon(StateArt(1), 32);
  EXPECT_EQ(Rgb(off.At(8, 24)), 0xC63232u) << "red: not running";
  EXPECT_EQ(Rgb(on.At(8, 24)), 0x2E9E48u) << "green: running";
  EXPECT_EQ(StateArt(7), IconArt::NotRunning);
  // The handset shows: a light pixel on the handle.
  std::set<std::uint32_t> colours;
  for (std::uint32_t p : on.pixels) {
    if (Alpha(p) == 255) colours.insert(Rgb(p));
  }
  EXPECT_TRUE(colours.count(0xFFFFFF)) << "the white handset";
}

TEST(IconArt, SizesOutsideTheIconRangeAreRefused) {
  EXPECT_THROW(DrawIcon(IconArt::Running, 0), std::invalid_argument);
  EXPECT_THROW(DrawIcon(IconArt::Running, 257), std::invalid_argument);
}

TEST(IcoFile, HoldsEverySizeAs32BitImagesWithTheirMasks) {
  std::vector<IconImage> images;
  for (int size : kApplicationIconSizes) images.push_back(DrawIcon(IconArt::Application, size));
  const std::vector<std::uint8_t> file = IcoFile(images);
  ASSERT_GE(file.size(), 6u);
  EXPECT_EQ(Le16(file, 0), 0u);
  EXPECT_EQ(Le16(file, 2), 1u) << "an icon";
  ASSERT_EQ(Le16(file, 4), 6u);
  std::size_t expectedOffset = 6 + 16 * 6;
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::size_t entry = 6 + 16 * i;
    const auto size = static_cast<std::uint32_t>(images[i].size);
    EXPECT_EQ(file[entry], size == 256 ? 0u : size) << "0 means 256";
    EXPECT_EQ(Le16(file, entry + 6), 32u) << "bits per pixel";
    const std::uint32_t bytes = Le32(file, entry + 8);
    const std::uint32_t offset = Le32(file, entry + 12);
    EXPECT_EQ(offset, expectedOffset);
    const std::uint32_t maskRow = (size + 31) / 32 * 4;
    EXPECT_EQ(bytes, 40 + size * size * 4 + maskRow * size);
    ASSERT_LE(offset + bytes, file.size());
    EXPECT_EQ(Le32(file, offset + 4), size);
    EXPECT_EQ(Le32(file, offset + 8), 2 * size) << "colour rows and mask rows";
    // The first stored row is the picture's bottom row; its first pixel is a transparent corner
    // and so is its mask bit.
    EXPECT_EQ(Le32(file, offset + 40), images[i].At(0, images[i].size - 1));
    EXPECT_TRUE(file[offset + 40 + size * size * 4] & 0x80);
    // The middle pixel, stored with its alpha.
    const std::uint32_t mid = size / 2;
    const std::size_t midAt = offset + 40 + ((size - 1 - mid) * size + mid) * 4;
    EXPECT_EQ(Le32(file, midAt), images[i].At(static_cast<int>(mid), static_cast<int>(mid)));
    expectedOffset += bytes;
  }
  EXPECT_EQ(file.size(), expectedOffset);
}

struct ScaleCase {
  int dpi;
  LayoutRect checkBox;
  int clientWidth;
  int clientHeight;
};

TEST(WindowLayout, ScalesEveryRectangleToTheDpi) {
  const ScaleCase cases[] = {
      {96, {8, 8, 121, 25}, 210, 117},
      {120, {10, 10, 151, 31}, 263, 146},  // 151.25, 31.25, 262.5 and 146.25 rounded
      {144, {12, 12, 182, 38}, 315, 176},  // 181.5, 37.5, 175.5 rounded up
      {192, {16, 16, 242, 50}, 420, 234},
  };
  for (const ScaleCase& c : cases) {
    EXPECT_EQ(ScaleForDpi(layout::kAutoRun, c.dpi), c.checkBox) << c.dpi;
    EXPECT_EQ(ScaleForDpi(layout::kClientWidth, c.dpi), c.clientWidth) << c.dpi;
    EXPECT_EQ(ScaleForDpi(layout::kClientHeight, c.dpi), c.clientHeight) << c.dpi;
    // The status bar ends at the client's bottom at every DPI, give or take the rounding.
    const LayoutRect status = ScaleForDpi(layout::kStatusBar, c.dpi);
    EXPECT_LE(std::abs(status.y + status.height - c.clientHeight), 1) << c.dpi;
  }
  EXPECT_EQ(ScaleForDpi(-3, 144), -5) << "halves away from zero, as MulDiv";
  EXPECT_EQ(SaneDpi(0), 96);
  EXPECT_EQ(SaneDpi(288), 288);
}

}  // namespace
}  // namespace telvaro
