#include "tests/support/bmp_builder.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "tests/support/run.h"

namespace belmora::test {

std::vector<uint8_t> BmpBytes(const BmpRecipe& s) {
  const int stride = (s.BitCount * s.Width + 31) / 32 * 4;
  const bool masks = s.Compression == 3;
  const size_t table = masks ? 12 : s.Palette.size() * 4;
  const size_t offset = 54 + table;
  std::vector<uint8_t> pixels(size_t(stride) * size_t(s.Height), 0);
  for (int y = 0; y < s.Height; y++) {
    uint8_t* row = &pixels[size_t(s.TopDown ? y : s.Height - 1 - y) * size_t(stride)];
    for (int x = 0; x < s.Width; x++) {
      uint32_t v = s.Pixel(x, y);
      switch (s.BitCount) {
        case 1:
          if (v & 1) row[x / 8] |= uint8_t(0x80 >> (x % 8));
          break;
        case 4:
          row[x / 2] |= uint8_t(x % 2 == 0 ? (v & 15) << 4 : v & 15);
          break;
        case 8:
          row[x] = uint8_t(v);
          break;
        case 16:
          PutU16(&row[2 * x], v);
          break;
        case 24:
          row[3 * x] = uint8_t(v);
          row[3 * x + 1] = uint8_t(v >> 8);
          row[3 * x + 2] = uint8_t(v >> 16);
          break;
        case 32:
          PutU32(&row[4 * x], v);
          break;
      }
    }
  }
  pixels.resize(pixels.size() - std::min(s.CutPixelBytes, pixels.size()));
  std::vector<uint8_t> out(offset, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutU32(&out[2], uint32_t(offset + pixels.size()));
  PutU32(&out[10], uint32_t(offset));
  PutU32(&out[14], 40);
  PutU32(&out[18], uint32_t(s.Width));
  PutU32(&out[22], uint32_t(s.TopDown ? -s.Height : s.Height));
  PutU16(&out[26], 1);
  PutU16(&out[28], uint32_t(s.BitCount));
  PutU32(&out[30], s.Compression);
  PutU32(&out[34], uint32_t(s.ImageSizeField >= 0 ? s.ImageSizeField : int64_t(stride) * s.Height));
  PutU32(&out[46], uint32_t(s.ColorsUsedField >= 0 ? s.ColorsUsedField : int(s.Palette.size())));
  if (masks) {
    for (int i = 0; i < 3; i++) PutU32(&out[54 + 4 * i], s.Masks[size_t(i)]);
  } else {
    for (size_t i = 0; i < s.Palette.size(); i++)
      std::memcpy(&out[54 + 4 * i], s.Palette[i].data(), 4);
  }
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

void WriteBmp(const std::string& path, const BmpRecipe& recipe) {
  WriteFileBytes(path, BmpBytes(recipe));
}

void WriteBgrBmp(const std::string& path, const std::vector<uint8_t>& bgr, int width, int height) {
  BmpRecipe s;
  s.Width = width;
  s.Height = height;
  s.Pixel = [&](int x, int y) {
    const uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  };
  WriteBmp(path, s);
}

}  // namespace belmora::test
