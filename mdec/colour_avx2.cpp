// The AVX2 colour conversion; this file alone is compiled for AVX2 and is
// called only when the processor has it. A full-width macroblock row is
// worked sixteen pixels at a time: the left luma block's eight in the low
// half of each vector, the right block's in the high half, with the same
// arithmetic, lane for lane, as the SSE2 and SSSE3 variants.
#include "mdec/colour_simd.h"

#if defined(BELMORA_HAVE_SSE2) && defined(__AVX2__)
#include <immintrin.h>
#endif

namespace belmora {

#if defined(BELMORA_HAVE_SSE2)
#if defined(__AVX2__)
namespace {

template <int shift>
inline __m256i DivPow2x16(__m256i x) {
  __m256i bias = _mm256_and_si256(_mm256_srai_epi16(x, 15), _mm256_set1_epi16((1 << shift) - 1));
  return _mm256_srai_epi16(_mm256_add_epi16(x, bias), shift);
}

inline __m256i Div32By32x8(__m256i p) {
  __m256i bias = _mm256_and_si256(_mm256_srai_epi32(p, 31), _mm256_set1_epi32(31));
  return _mm256_srai_epi32(_mm256_add_epi32(p, bias), 5);
}

// (factor * x) / 32 truncated, with 32-bit products; lane order kept.
inline __m256i Scale32x16(__m256i x, int16_t factor) {
  __m256i f = _mm256_set1_epi16(factor);
  __m256i lo = _mm256_mullo_epi16(x, f), hi = _mm256_mulhi_epi16(x, f);
  return _mm256_packs_epi32(Div32By32x8(_mm256_unpacklo_epi16(lo, hi)),
                            Div32By32x8(_mm256_unpackhi_epi16(lo, hi)));
}

inline __m256i Load16(const int16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

void StoreFullWidth(const Blocks6& work, FrameImage& img, int column, int row) {
  // Chroma terms, two chroma rows (sixteen samples) at a time.
  __m256i cr[4], cb[4];
  __m256i high = _mm256_setzero_si256(), low = _mm256_setzero_si256();
  for (int i = 0; i < 4; i++) {
    cr[i] = DivPow2x16<2>(Load16(work[0] + 16 * i));
    cb[i] = DivPow2x16<2>(Load16(work[1] + 16 * i));
    high = _mm256_max_epi16(high, _mm256_max_epi16(cr[i], cb[i]));
    low = _mm256_min_epi16(low, _mm256_min_epi16(cr[i], cb[i]));
  }
  const bool small = _mm256_movemask_epi8(_mm256_or_si256(
                         _mm256_cmpgt_epi16(high, _mm256_set1_epi16(574)),
                         _mm256_cmpgt_epi16(_mm256_set1_epi16(-574), low))) == 0;
  alignas(32) int16_t termBlue[64], termGreen[64], termRed[64];
  for (int i = 0; i < 4; i++) {
    __m256i blue, green, red;
    if (small) {
      blue = DivPow2x16<5>(_mm256_mullo_epi16(cb[i], _mm256_set1_epi16(57)));
      green = DivPow2x16<5>(_mm256_add_epi16(_mm256_mullo_epi16(cb[i], _mm256_set1_epi16(11)),
                                             _mm256_mullo_epi16(cr[i], _mm256_set1_epi16(23))));
      red = DivPow2x16<5>(_mm256_mullo_epi16(cr[i], _mm256_set1_epi16(45)));
    } else {
      blue = Scale32x16(cb[i], 57);
      red = Scale32x16(cr[i], 45);
      // (11 cb + 23 cr) / 32: the sum in 32 bits before the division.
      __m256i f11 = _mm256_set1_epi16(11), f23 = _mm256_set1_epi16(23);
      __m256i cbLo = _mm256_mullo_epi16(cb[i], f11), cbHi = _mm256_mulhi_epi16(cb[i], f11);
      __m256i crLo = _mm256_mullo_epi16(cr[i], f23), crHi = _mm256_mulhi_epi16(cr[i], f23);
      __m256i s0 = _mm256_add_epi32(_mm256_unpacklo_epi16(cbLo, cbHi),
                                    _mm256_unpacklo_epi16(crLo, crHi));
      __m256i s1 = _mm256_add_epi32(_mm256_unpackhi_epi16(cbLo, cbHi),
                                    _mm256_unpackhi_epi16(crLo, crHi));
      green = _mm256_packs_epi32(Div32By32x8(s0), Div32By32x8(s1));
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(termBlue + 16 * i), blue);
    _mm256_store_si256(reinterpret_cast<__m256i*>(termGreen + 16 * i), green);
    _mm256_store_si256(reinterpret_cast<__m256i*>(termRed + 16 * i), red);
  }
  // Each chroma row's terms spread over sixteen pixels: samples 0..3 each
  // twice for the left block, 4..7 for the right.
  auto spread = [](const int16_t* t) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(t));
    return _mm256_set_m128i(_mm_unpackhi_epi16(v, v), _mm_unpacklo_epi16(v, v));
  };
  const __m256i offset = _mm256_set1_epi16(128);
  const __m256i bgFirst = _mm256_setr_epi8(0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1, 10,
                                           0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1, 10);
  const __m256i rFirst = _mm256_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4,
                                          -1, -1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1,
                                          4, -1);
  const __m256i bgSecond =
      _mm256_setr_epi8(11, -1, 12, 13, -1, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, 11, -1, 12,
                       13, -1, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i rSecond =
      _mm256_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, 5, -1, -1,
                       6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1);
  const int stride = img.Stride();
  for (int pair = 0; pair < 2; pair++) {  // luma blocks 0 and 1, then 2 and 3
    const int16_t* left = work[2 + 2 * pair];
    const int16_t* right = work[3 + 2 * pair];
    for (int i = 0; i < 8; i++) {
      const int c = (pair * 4 + i / 2) * 8;
      const __m256i y = _mm256_set_m128i(Load8(right + 8 * i), Load8(left + 8 * i));
      const __m256i luma = _mm256_add_epi16(DivPow2x16<2>(y), offset);
      const __m256i blue = _mm256_adds_epi16(luma, spread(termBlue + c));
      const __m256i green = _mm256_subs_epi16(luma, spread(termGreen + c));
      const __m256i red = _mm256_adds_epi16(luma, spread(termRed + c));
      const __m256i b = _mm256_packus_epi16(blue, blue), g = _mm256_packus_epi16(green, green);
      const __m256i r = _mm256_packus_epi16(red, red);
      const __m256i bg = _mm256_unpacklo_epi8(b, g);  // b0 g0 .. b7 g7 in each half
      const __m256i first =
          _mm256_or_si256(_mm256_shuffle_epi8(bg, bgFirst), _mm256_shuffle_epi8(r, rFirst));
      const __m256i second =
          _mm256_or_si256(_mm256_shuffle_epi8(bg, bgSecond), _mm256_shuffle_epi8(r, rSecond));
      uint8_t* line =
          img.Pixels.data() + size_t(row * 16 + pair * 8 + i) * size_t(stride) + size_t(column) * 48;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(line), _mm256_castsi256_si128(first));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(line + 16), _mm256_castsi256_si128(second));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(line + 24), _mm256_extracti128_si256(first, 1));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(line + 40), _mm256_extracti128_si256(second, 1));
    }
  }
}

}  // namespace
#endif

void StoreMacroblockAvx2(const Blocks6& work, FrameImage& img, int column, int row, bool half) {
#if defined(__AVX2__)
  if (!half) {
    StoreFullWidth(work, img, column, row);
    return;
  }
  StoreMacroblockSimd<true>(work, img, column, row, half);
#else
  StoreMacroblockSimd<false>(work, img, column, row, half);
#endif
}
#endif

}  // namespace belmora
