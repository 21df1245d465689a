#include "tests/support/mdec_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace belmora::test {

std::vector<uint8_t> EncodeLevels(const std::vector<MacroblockLevels>& macroblocks, int version,
                                  int scale) {
  MdecCodec codec;
  codec.Version = version;
  codec.ResetPredictors();
  std::vector<uint8_t> out(8 + macroblocks.size() * 2400 + 64, 0);
  int position = 4;  // words; the header takes the first four
  int codes = 0;
  for (size_t i = 0; i < macroblocks.size(); i++) {
    for (int b = 0; b < 6; b++) std::memcpy(codec.Coefs[b], macroblocks[i][b].data(), 128);
    position = codec.EncodeMacroblock(out.data(), out.size(), position, codes, i == 0);
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

std::vector<MacroblockLevels> LevelsFromPicture(const std::vector<uint8_t>& bgr, int width,
                                                int height, int scale) {
  int columns = (width + 15) / 16, rows = (height + 15) / 16;
  std::vector<MacroblockLevels> out;
  alignas(16) Blocks6 samples, levels;
  for (int c = 0; c < columns; c++) {
    for (int r = 0; r < rows; r++) {
      std::memset(samples, 0, sizeof samples);
      for (int q = 0; q < 4; q++) {
        for (int i = 0; i < 8; i++) {
          for (int j = 0; j < 8; j++) {
            int x = 16 * c + (q & 1) * 8 + j, y = 16 * r + (q >> 1) * 8 + i;
            int bl = 0, gr = 0, rd = 0;
            if (x < width && y < height) {
              const uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
              bl = p[0], gr = p[1], rd = p[2];
            }
            int luma = (77 * rd + 150 * gr + 29 * bl) / 256;
            int cb = (-43 * rd - 85 * gr + 128 * bl) / 256;
            int cr = (128 * rd - 107 * gr - 21 * bl) / 256;
            samples[2 + q][i * 8 + j] = int16_t(4 * luma - 512);
            int at = (i / 2 + (q >= 2 ? 4 : 0)) * 8 + j / 2 + ((q & 1) ? 4 : 0);
            samples[1][at] = int16_t(samples[1][at] + cb);
            samples[0][at] = int16_t(samples[0][at] + cr);
          }
        }
      }
      ForwardTransform(samples, true);
      for (auto& block : samples)
        for (auto& v : block) v = int16_t(v / 4);
      Quantize(samples, levels, scale);
      MacroblockLevels m;
      for (int b = 0; b < 6; b++) std::memcpy(m[b].data(), levels[b], 128);
      out.push_back(m);
    }
  }
  return out;
}

}  // namespace belmora::test
