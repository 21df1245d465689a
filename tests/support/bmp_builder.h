// Writes BMP files of any bit depth for the tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace belmora::test {

struct BmpRecipe {
  int Width = 16;
  int Height = 16;
  int BitCount = 24;
  bool TopDown = false;
  uint32_t Compression = 0;
  std::array<uint32_t, 3> Masks{};              // red, green, blue for compression 3
  int ColorsUsedField = -1;                     // -1: the palette's size
  int64_t ImageSizeField = -1;                  // -1: stride x height
  std::vector<std::array<uint8_t, 4>> Palette;  // blue, green, red, 0
  size_t CutPixelBytes = 0;                     // bytes missing at the end
  // Raw pixel value at (x, y), y from the top: palette index, 16-bit word,
  // or 0xRRGGBB for 24 and 32 bits.
  std::function<uint32_t(int x, int y)> Pixel = [](int, int) { return 0u; };
};

std::vector<uint8_t> BmpBytes(const BmpRecipe& recipe);
void WriteBmp(const std::string& path, const BmpRecipe& recipe);
// A 24-bit BMP of a BGR picture, top row first.
void WriteBgrBmp(const std::string& path, const std::vector<uint8_t>& bgr, int width, int height);

}  // namespace belmora::test
