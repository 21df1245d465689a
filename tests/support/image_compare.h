// Picture comparisons for the cross-checks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace belmora::test {

// PSNR in dB of the BT.601 luma of two BGR pictures of w x h pixels with
// the given row strides; 99 for identical pictures.
double LumaPsnr(const uint8_t* a, size_t strideA, const uint8_t* b, size_t strideB, int w, int h);

}  // namespace belmora::test
