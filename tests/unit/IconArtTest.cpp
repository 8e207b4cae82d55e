#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "shell/IconArt.h"
#include "shell/IconArtIco.h"
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
std::uint32_t Be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// A PNG read back as a decoder reads it: every chunk's CRC checked, the IDAT data inflated and
// unfiltered into 0xAARRGGBB pixels. Empty, with a failure recorded, when anything is off.
std::vector<std::uint32_t> DecodePng(const std::vector<std::uint8_t>& png, int size) {
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || !std::equal(signature.begin(), signature.end(), png.begin())) {
    ADD_FAILURE() << "no PNG signature";
    return {};
  }
  std::vector<std::uint8_t> compressed;
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = Be32(png, at);
    if (at + 12 + length > png.size()) break;
    const std::string type(png.begin() + at + 4, png.begin() + at + 8);
    types.push_back(type);
    const uLong crc = crc32(0L, png.data() + at + 4, length + 4);
    EXPECT_EQ(Be32(png, at + 8 + length), crc) << type << " CRC";
    if (type == "IHDR") {
      EXPECT_EQ(Be32(png, at + 8), static_cast<std::uint32_t>(size)) << "width";
      EXPECT_EQ(Be32(png, at + 12), static_cast<std::uint32_t>(size)) << "height";
      EXPECT_EQ(std::vector<std::uint8_t>(png.begin() + at + 16, png.begin() + at + 21),
                (std::vector<std::uint8_t>{8, 6, 0, 0, 0}))
          << "8-bit RGBA, deflate, adaptive filters, not interlaced";
    }
    if (type == "IDAT")
      compressed.insert(compressed.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  const std::size_t stride = static_cast<std::size_t>(size) * 4;
  std::vector<std::uint8_t> raw((stride + 1) * static_cast<std::size_t>(size) + 1);
  uLongf rawSize = raw.size();
  if (uncompress(raw.data(), &rawSize, compressed.data(), compressed.size()) != Z_OK ||
      rawSize != raw.size() - 1) {
    ADD_FAILURE() << "the image data does not inflate to " << size << " rows";
    return {};
  }
  std::vector<std::uint8_t> previous(stride, 0), row(stride);
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < size; ++y) {
    const std::uint8_t* in = &raw[static_cast<std::size_t>(y) * (stride + 1)];
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= 4 ? row[i - 4] : 0, b = previous[i], c = i >= 4 ? previous[i - 4] : 0;
      const int p = a + b - c;
      const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c)
                            ? a
                            : (std::abs(p - b) <= std::abs(p - c) ? b : c);
      const int predicted[] = {0, a, b, (a + b) / 2, paeth};
      if (in[0] > 4) {
        ADD_FAILURE() << "filter " << int{in[0]} << " in row " << y;
        return {};
      }
      row[i] = static_cast<std::uint8_t>(in[1 + i] + predicted[in[0]]);
    }
    for (std::size_t x = 0; x < stride; x += 4) {
      pixels.push_back(static_cast<std::uint32_t>(row[x + 3]) << 24 | row[x] << 16 |
                       row[x + 1] << 8 | row[x + 2]);
    }
    previous = row;
  }
  return pixels;
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

TEST(IcoFile, HoldsTheSmallSizesAs32BitBitmapsWithMasksAndTheLargeOneAsPng) {
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
    EXPECT_EQ(Le16(file, entry + 6), 32u) << "bits per pixel, for the group entry";
    const std::uint32_t bytes = Le32(file, entry + 8);
    const std::uint32_t offset = Le32(file, entry + 12);
    EXPECT_EQ(offset, expectedOffset);
    ASSERT_LE(offset + bytes, file.size());
    expectedOffset += bytes;
    if (images[i].size >= kPngIconSize) {
      const std::vector<std::uint8_t> stored(file.begin() + offset, file.begin() + offset + bytes);
      EXPECT_EQ(stored, PngFile(images[i])) << size;
      continue;
    }
    const std::uint32_t maskRow = (size + 31) / 32 * 4;
    EXPECT_EQ(bytes, 40 + size * size * 4 + maskRow * size);
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
  }
  EXPECT_EQ(file.size(), expectedOffset);
  // The reason for the PNG: the large image no longer dwarfs the program.
  EXPECT_LT(file.size(), 64u * 1024);
}

TEST(PngFile, DecodesToExactlyThePixelsDrawn) {
  struct Case {
    IconArt art;
    int size;
  };
  const Case cases[] = {{IconArt::Application, 256},
                        {IconArt::Running, 48},
                        {IconArt::NotRunning, 17},
                        {IconArt::Application, 1}};
  for (const Case& c : cases) {
    const IconImage image = DrawIcon(c.art, c.size);
    EXPECT_EQ(DecodePng(PngFile(image), c.size), image.pixels) << c.size;
  }
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
