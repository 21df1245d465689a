#include "thumbnailer/png.h"

#include <zlib.h>

#include <cstring>
#include <string>

namespace belmora::thumbnailer {
namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// A chunk: its length, type, data and the CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutU32(out, uint32_t(data.size()));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0, out.data() + typeAt, uInt(out.size() - typeAt));
  PutU32(out, uint32_t(crc));
}

}  // namespace

std::vector<uint8_t> PngBytes(const std::vector<uint8_t>& rgb, int width, int height) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> out(kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  PutU32(header, uint32_t(width));
  PutU32(header, uint32_t(height));
  // 8 bits, truecolour, deflate, adaptive filtering, no interlace.
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutChunk(out, "IHDR", header);
  // Each row behind its filter byte (0: none).
  const size_t row = size_t(width) * 3;
  std::vector<uint8_t> raw;
  raw.reserve((row + 1) * size_t(height));
  for (int y = 0; y < height; y++) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + ptrdiff_t(row * size_t(y)),
               rgb.begin() + ptrdiff_t(row * size_t(y + 1)));
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK) return {};
  packed.resize(packedSize);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

}  // namespace belmora::thumbnailer
