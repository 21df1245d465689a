// Builds MDEC bitstreams from quantized levels, for tests and samples.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "mdec/codec.h"

namespace belmora::test {

// Levels of one macroblock: six blocks (Cr, Cb, Y0..Y3) in zigzag order.
using MacroblockLevels = std::array<std::array<int16_t, 64>, 6>;

// A whole frame bitstream (header, codes, end marker) for macroblocks given
// in column-major order.
std::vector<uint8_t> EncodeLevels(const std::vector<MacroblockLevels>& macroblocks, int version,
                                  int scale);

// Random picture-like levels for a width x height frame: DC levels follow a
// smooth pattern (multiples of 4, so version 3 keeps them exactly), AC levels
// are sparse, a few of them large enough to need the escape.
std::vector<MacroblockLevels> RandomLevels(int width, int height, std::mt19937& random,
                                           int detail = 8);

// The smallest frame that decodes: every block its DC level 0 (mid-grey)
// and nothing else.
std::vector<uint8_t> FlatBitstream(int width, int height, int version = 2);

// A natural-looking 24-bit BGR picture (top row first): soft gradients,
// shapes with hard edges, some texture and fine stripes. `seed` varies it.
std::vector<uint8_t> NaturalPicture(int width, int height, int seed);

}  // namespace belmora::test
