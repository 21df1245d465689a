#include "tests/support/image_compare.h"

#include <cmath>

namespace belmora::test {

double LumaPsnr(const uint8_t* a, size_t strideA, const uint8_t* b, size_t strideB, int w, int h) {
  double sum = 0;
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      const uint8_t* p = a + y * strideA + x * 3;
      const uint8_t* q = b + y * strideB + x * 3;
      double la = 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
      double lb = 0.114 * q[0] + 0.587 * q[1] + 0.299 * q[2];
      sum += (la - lb) * (la - lb);
    }
  }
  double mse = sum / (double(w) * h);
  return mse < 1e-10 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace belmora::test
