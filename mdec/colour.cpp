#include "mdec/colour.h"

#include "mdec/colour_simd.h"

namespace belmora {

namespace {

inline uint8_t Clamp255(int v) {
  return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Chroma terms of one chroma sample, shared by the pixels it serves.
struct ChromaTerms {
  int Blue, Green, Red;
};
inline ChromaTerms TermsAt(const int16_t* cr, const int16_t* cb, int index) {
  int crq = cr[index] / 4, cbq = cb[index] / 4;
  return {(57 * cbq) / 32, (11 * cbq + 23 * crq) / 32, (45 * crq) / 32};
}
inline void PutPixel(uint8_t* p, int luma, const ChromaTerms& t) {
  int y = luma / 4 + 128;
  p[0] = Clamp255(y + t.Blue);
  p[1] = Clamp255(y - t.Green);
  p[2] = Clamp255(y + t.Red);
}

}  // namespace

void StoreMacroblockPlain(const Blocks6& work, FrameImage& img, int column, int row, bool half) {
  const int16_t* cr = work[0];
  const int16_t* cb = work[1];
  const int stride = img.Stride();
  const int originX = half ? column * 8 : column * 16;
  const int originY = row * 16;
  for (int q = 0; q < 4; q++) {
    const int16_t* y = work[2 + q];
    const int chromaRow0 = q >= 2 ? 4 : 0;
    const int chromaCol0 = (q & 1) ? 4 : 0;
    const int x0 = originX + ((q & 1) ? (half ? 4 : 8) : 0);
    const int y0 = originY + (q >= 2 ? 8 : 0);
    for (int i = 0; i < 8; i++) {
      uint8_t* line = img.Pixels.data() + size_t(y0 + i) * size_t(stride) + size_t(x0) * 3;
      const int chromaBase = (chromaRow0 + i / 2) * 8 + chromaCol0;
      if (half) {
        for (int j = 0; j < 4; j++)
          PutPixel(line + j * 3, y[i * 8 + 2 * j], TermsAt(cr, cb, chromaBase + j));
      } else {
        for (int j = 0; j < 8; j += 2) {
          ChromaTerms t = TermsAt(cr, cb, chromaBase + j / 2);
          PutPixel(line + j * 3, y[i * 8 + j], t);
          PutPixel(line + j * 3 + 3, y[i * 8 + j + 1], t);
        }
      }
    }
  }
}

#if defined(BELMORA_HAVE_SSE2)
void StoreMacroblockSse2(const Blocks6& work, FrameImage& img, int column, int row, bool half) {
  StoreMacroblockSimd<false>(work, img, column, row, half);
}

bool ProcessorHasSsse3() {
  return __builtin_cpu_supports("ssse3");
}
#endif

ColourStore SelectColourStore() {
#if defined(BELMORA_HAVE_SSE2)
  return ProcessorHasSsse3() ? StoreMacroblockSsse3 : StoreMacroblockSse2;
#else
  return StoreMacroblockPlain;
#endif
}

}  // namespace belmora
