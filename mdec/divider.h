// Exact truncating division of 16-bit values by a fixed divisor, as one
// multiply and shift (for the encoder's quantization).
#pragma once

#include <bit>
#include <cstdint>

namespace belmora {

class Divider {
 public:
  Divider() = default;
  // divisor >= 1.
  explicit Divider(uint32_t divisor) {
    int bits = std::bit_width(divisor - 1);  // ceil(log2(divisor))
    shift_ = 16 + bits;
    multiplier_ = ((uint64_t(1) << shift_) + divisor - 1) / divisor;
  }
  // x / divisor, truncated toward zero, for |x| <= 65535.
  int32_t Divide(int32_t x) const {
    uint64_t magnitude = uint64_t(x < 0 ? -int64_t(x) : x);
    int32_t q = int32_t((magnitude * multiplier_) >> shift_);
    return x < 0 ? -q : q;
  }

 private:
  uint64_t multiplier_ = 1;
  int shift_ = 0;
};

}  // namespace belmora
