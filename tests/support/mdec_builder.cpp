#include "tests/support/mdec_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace belmora::test {

std::vector<uint8_t> FlatBitstream(int width, int height, int version) {
  const size_t count = size_t((width + 15) / 16) * size_t((height + 15) / 16);
  return EncodeLevels(std::vector<MacroblockLevels>(count, MacroblockLevels{}), version, 1);
}

std::vector<uint8_t> EncodeLevels(const std::vector<MacroblockLevels>& macroblocks, int version,
                                  int scale) {
  MdecCodec codec;
  codec.SetVersion(version);
  codec.ResetPredictors();
  alignas(16) Blocks6 levels;
  std::vector<uint8_t> out(8 + macroblocks.size() * 2400 + 64, 0);
  int position = 4;  // words; the header takes the first four
  int codes = 0;
  for (size_t i = 0; i < macroblocks.size(); i++) {
    for (int b = 0; b < 6; b++) std::memcpy(levels[b], macroblocks[i][b].data(), 128);
    position = codec.EncodeMacroblock(out.data(), out.size(), position, codes, i == 0, levels);
  }
  if (macroblocks.empty()) codes = 0;
  position = codec.WriteFrameEnd(out.data(), out.size(), position);
  out.resize(size_t(position) * 2 + 2);
  MdecFrameHeader h{uint16_t(((codes + 63) >> 1) & 0xFFE0), kMdecMagic, uint16_t(scale),
                    uint16_t(version)};
  h.Store(out.data());
  return out;
}

std::vector<MacroblockLevels> RandomLevels(int width, int height, std::mt19937& random,
                                           int detail) {
  int columns = (width + 15) / 16, rows = (height + 15) / 16;
  std::vector<MacroblockLevels> mbs;
  std::uniform_int_distribution<int> position(1, 63), small(-6, 6), coin(0, 99);
  double phase = std::uniform_real_distribution<double>(0, 6.28)(random);
  for (int c = 0; c < columns; c++) {
    for (int r = 0; r < rows; r++) {
      MacroblockLevels m{};
      for (int b = 0; b < 6; b++) {
        double x = c + (b >= 2 ? ((b - 2) & 1) * 0.5 : 0), y = r + (b >= 4 ? 0.5 : 0);
        double wave = std::sin(x * 0.4 + phase) * std::cos(y * 0.3 - phase);
        int dc = b < 2 ? int(wave * 60) : int(wave * 300);
        m[b][0] = int16_t(dc & ~3);
        int count = coin(random) % (detail + 1);
        for (int k = 0; k < count; k++) {
          int level = small(random);
          if (coin(random) < 3) level *= 12;  // past the table: escape codes
          int at = b < 2 ? 1 + position(random) / 3 : position(random);  // chroma: lower band
          m[b][at] = int16_t(level);
        }
      }
      mbs.push_back(m);
    }
  }
  return mbs;
}

}  // namespace belmora::test

namespace belmora::test {

std::vector<uint8_t> NaturalPicture(int width, int height, int seed) {
  std::vector<uint8_t> bgr(size_t(width) * height * 3);
  std::mt19937 random{uint32_t(seed)};
  std::uniform_real_distribution<double> unit(0, 1);
  double cx = width * (0.3 + 0.4 * unit(random)), cy = height * (0.3 + 0.4 * unit(random));
  double radius = std::min(width, height) * (0.15 + 0.15 * unit(random));
  double shift = seed * 7.0;
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      double sky = 120 + 80 * std::sin((y + shift) * 0.013) + 30 * std::cos(x * 0.021);
      double r = sky * 0.6, g = sky * 0.8, b = sky;
      double dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy < radius * radius) {  // a disc with shading
        double shade = 1 - (dx * dx + dy * dy) / (radius * radius) * 0.5;
        r = 220 * shade, g = 140 * shade, b = 60 * shade;
      }
      if (y > height * 3 / 4) {  // textured ground
        double t = 60 + 40 * unit(random);
        r = t + 30, g = t + 20, b = t;
      }
      if (x > width * 5 / 6 && (x / 3) % 2 == 0) r = g = b = 230;  // fine stripes
      uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(std::clamp(b, 0.0, 255.0));
      p[1] = uint8_t(std::clamp(g, 0.0, 255.0));
      p[2] = uint8_t(std::clamp(r, 0.0, 255.0));
    }
  }
  return bgr;
}

}  // namespace belmora::test
