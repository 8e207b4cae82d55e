#include "shell/IconArtIco.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace telvaro {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// PNG numbers are big-endian.
void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
}

void PutChunk(std::vector<std::uint8_t>& out, std::string_view type,
              const std::vector<std::uint8_t>& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  // The CRC covers the type and the data, not the length.
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
  PutBig32(out, static_cast<std::uint32_t>(crc));
}

std::uint8_t Paeth(int left, int up, int upLeft) {
  const int p = left + up - upLeft;
  const int pa = std::abs(p - left);
  const int pb = std::abs(p - up);
  const int pc = std::abs(p - upLeft);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(pb <= pc ? up : upLeft);
}

// Each row as its filter byte and the filtered bytes, the filter chosen per row by the smallest
// sum of the bytes read as signed values: the usual guess at what deflate packs best.
std::vector<std::uint8_t> FilteredRows(const IconImage& image) {
  constexpr int kPixelBytes = 4;
  const std::size_t stride = static_cast<std::size_t>(image.size) * kPixelBytes;
  std::vector<std::uint8_t> previous(stride, 0);
  std::vector<std::uint8_t> out;
  out.reserve((stride + 1) * static_cast<std::size_t>(image.size));
  for (int y = 0; y < image.size; ++y) {
    std::vector<std::uint8_t> row;
    row.reserve(stride);
    for (int x = 0; x < image.size; ++x) {
      const std::uint32_t argb = image.At(x, y);
      for (int shift : {16, 8, 0, 24}) row.push_back(static_cast<std::uint8_t>(argb >> shift));
    }
    // None, Sub, Up, Average and Paeth, in the order of their type numbers.
    constexpr std::size_t kFilters = 5;
    std::array<std::vector<std::uint8_t>, kFilters> candidates;
    std::array<long, kFilters> costs{};
    for (std::vector<std::uint8_t>& filtered : candidates) filtered.resize(stride);
    for (std::size_t i = 0; i < stride; ++i) {
      const int left = i >= kPixelBytes ? row[i - kPixelBytes] : 0;
      const int up = previous[i];
      const int upLeft = i >= kPixelBytes ? previous[i - kPixelBytes] : 0;
      const int predicted[kFilters] = {0, left, up, (left + up) / 2, Paeth(left, up, upLeft)};
      for (std::size_t filter = 0; filter < kFilters; ++filter) {
        const auto value = static_cast<std::uint8_t>(row[i] - predicted[filter]);
        candidates[filter][i] = value;
        costs[filter] += std::abs(static_cast<int>(static_cast<std::int8_t>(value)));
      }
    }
    const std::size_t best =
        static_cast<std::size_t>(std::min_element(costs.begin(), costs.end()) - costs.begin());
    out.push_back(static_cast<std::uint8_t>(best));
    out.insert(out.end(), candidates[best].begin(), candidates[best].end());
    previous = std::move(row);
  }
  return out;
}

std::vector<std::uint8_t> Deflated(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    throw std::runtime_error("zlib could not compress the icon");
  }
  out.resize(size);
  return out;
}

// BITMAPINFOHEADER, the colour rows and the AND mask, rows from the bottom.
std::vector<std::uint8_t> BitmapImage(const IconImage& image) {
  const auto n = static_cast<std::uint32_t>(image.size);
  const std::uint32_t maskStride = (n + 31) / 32 * 4;
  std::vector<std::uint8_t> out;
  Put32(out, 40);
  Put32(out, n);
  Put32(out, 2 * n);  // the colour rows and the mask rows
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);  // BI_RGB
  Put32(out, n * n * 4 + maskStride * n);
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  // BGRA in memory order.
  for (int y = image.size - 1; y >= 0; --y) {
    for (int x = 0; x < image.size; ++x) Put32(out, image.At(x, y));
  }
  // A set bit is transparent.
  for (int y = image.size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(maskStride, 0);
    for (int x = 0; x < image.size; ++x) {
      if ((image.At(x, y) >> 24) < 128) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> PngFile(const IconImage& image) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBig32(header, static_cast<std::uint32_t>(image.size));
  PutBig32(header, static_cast<std::uint32_t>(image.size));
  header.push_back(8);  // bits per channel
  header.push_back(6);  // RGBA
  header.push_back(0);  // deflate
  header.push_back(0);  // the adaptive filters
  header.push_back(0);  // not interlaced
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", Deflated(FilteredRows(image)));
  PutChunk(out, "IEND", {});
  return out;
}

std::vector<std::uint8_t> IcoFile(const std::vector<IconImage>& images) {
  std::vector<std::vector<std::uint8_t>> stored;
  stored.reserve(images.size());
  for (const IconImage& image : images) {
    stored.push_back(image.size >= kPngIconSize ? PngFile(image) : BitmapImage(image));
  }
  std::vector<std::uint8_t> out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const auto dim = static_cast<std::uint8_t>(images[i].size >= 256 ? 0 : images[i].size);
    out.push_back(dim);  // width, 0 meaning 256
    out.push_back(dim);  // height
    out.push_back(0);    // no palette
    out.push_back(0);    // reserved
    Put16(out, 1);       // planes
    Put16(out, 32);      // bits per pixel, which the resource compiler copies into the group
    Put32(out, static_cast<std::uint32_t>(stored[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(stored[i].size());
  }
  for (const std::vector<std::uint8_t>& image : stored)
    out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace telvaro
