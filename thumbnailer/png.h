// PNG files of 8-bit red-green-blue pictures, compressed with zlib.
#pragma once

#include <cstdint>
#include <vector>

namespace belmora::thumbnailer {

// The bytes of a PNG file of the picture (`rgb`: width x height pixels,
// top row first, no padding).
std::vector<uint8_t> PngBytes(const std::vector<uint8_t>& rgb, int width, int height);

}  // namespace belmora::thumbnailer
