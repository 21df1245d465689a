#include "mdec/colour.h"

#include <cstring>

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

bool ProcessorHasAvx2() {
  return __builtin_cpu_supports("avx2");
}
#endif

ColourStore SelectColourStore() {
#if defined(BELMORA_HAVE_SSE2)
  if (ProcessorHasAvx2()) return StoreMacroblockAvx2;
  return ProcessorHasSsse3() ? StoreMacroblockSsse3 : StoreMacroblockSse2;
#else
  return StoreMacroblockPlain;
#endif
}

void PictureToSamplesPlain(const uint8_t* bgr, size_t stride, int x, int y, Blocks6& w) {
  std::memset(w[0], 0, 256);  // Cr and Cb
  for (int q = 0; q < 4; q++) {
    const int x0 = x + (q & 1) * 8, y0 = y + (q >> 1) * 8;
    for (int i = 0; i < 8; i++) {
      const uint8_t* p = &bgr[size_t(y0 + i) * stride + size_t(x0) * 3];
      int16_t* cbRow = w[1] + (i / 2 + (q >= 2 ? 4 : 0)) * 8 + ((q & 1) ? 4 : 0);
      int16_t* crRow = w[0] + (cbRow - w[1]);
      for (int j = 0; j < 8; j++, p += 3) {
        const int blue = p[0], green = p[1], red = p[2];
        const int luma = (77 * red + 150 * green + 29 * blue) / 256;
        const int cb = (-43 * red - 85 * green + 128 * blue) / 256;
        const int cr = (128 * red - 107 * green - 21 * blue) / 256;
        w[2 + q][i * 8 + j] = int16_t(4 * luma - 512);
        cbRow[j / 2] = int16_t(cbRow[j / 2] + cb);
        crRow[j / 2] = int16_t(crRow[j / 2] + cr);
      }
    }
  }
}

#if defined(BELMORA_HAVE_SSE2)
void PictureToSamplesSse2(const uint8_t* bgr, size_t stride, int x, int y, Blocks6& w) {
  const __m128i ones = _mm_set1_epi16(1);
  // Every sum fits 16 bits: luma's unsigned (at most 65280), the chroma
  // terms' signed (within +-32640), so wrapping 16-bit arithmetic is exact.
  for (int row = 0; row < 16; row += 2) {
    __m128i cbSum = _mm_setzero_si128(), crSum = _mm_setzero_si128();
    for (int k = 0; k < 2; k++) {
      const int yy = row + k;
      const uint8_t* p = &bgr[size_t(y + yy) * stride + size_t(x) * 3];
      alignas(16) int16_t b[16], g[16], r[16];
      for (int j = 0; j < 16; j++) {
        b[j] = p[3 * j];
        g[j] = p[3 * j + 1];
        r[j] = p[3 * j + 2];
      }
      __m128i cbHalf[2], crHalf[2];
      for (int h = 0; h < 2; h++) {
        const __m128i vb = _mm_load_si128(reinterpret_cast<const __m128i*>(b + 8 * h));
        const __m128i vg = _mm_load_si128(reinterpret_cast<const __m128i*>(g + 8 * h));
        const __m128i vr = _mm_load_si128(reinterpret_cast<const __m128i*>(r + 8 * h));
        auto term = [&](int16_t fr, int16_t fg, int16_t fb) {
          return _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(vr, _mm_set1_epi16(fr)),
                                             _mm_mullo_epi16(vg, _mm_set1_epi16(fg))),
                               _mm_mullo_epi16(vb, _mm_set1_epi16(fb)));
        };
        const __m128i luma = _mm_srli_epi16(term(77, 150, 29), 8);
        const __m128i stored = _mm_sub_epi16(_mm_slli_epi16(luma, 2), _mm_set1_epi16(512));
        int16_t* out = w[2 + (yy >= 8 ? 2 : 0) + h] + (yy & 7) * 8;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), stored);
        cbHalf[h] = DivPow2<8>(term(-43, -85, 128));
        crHalf[h] = DivPow2<8>(term(128, -107, -21));
      }
      // Neighbouring pixels summed in pairs: chroma columns 0..7.
      cbSum = _mm_add_epi16(cbSum, _mm_packs_epi32(_mm_madd_epi16(cbHalf[0], ones),
                                                   _mm_madd_epi16(cbHalf[1], ones)));
      crSum = _mm_add_epi16(crSum, _mm_packs_epi32(_mm_madd_epi16(crHalf[0], ones),
                                                   _mm_madd_epi16(crHalf[1], ones)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w[1] + (row / 2) * 8), cbSum);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w[0] + (row / 2) * 8), crSum);
  }
}
#endif

void PictureToSamples(const uint8_t* bgr, size_t stride, int x, int y, Blocks6& samples) {
#if defined(BELMORA_HAVE_SSE2)
  PictureToSamplesSse2(bgr, stride, x, y, samples);
#else
  PictureToSamplesPlain(bgr, stride, x, y, samples);
#endif
}

}  // namespace belmora
