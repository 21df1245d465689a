// The vector colour conversion, included by the files that build its
// variants (SSE2, and SSSE3 in a file compiled for it). Everything here has
// internal linkage, so that code built for SSSE3 is never shared with the
// SSE2 variant.
#pragma once

#include "mdec/colour.h"

#if defined(BELMORA_HAVE_SSE2)
#include <emmintrin.h>
#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif

#include <cstring>

namespace belmora {
namespace {

inline __m128i Load8(const int16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Truncating division of signed 16-bit lanes by 2^shift.
template <int shift>
inline __m128i DivPow2(__m128i x) {
  __m128i bias = _mm_and_si128(_mm_srai_epi16(x, 15), _mm_set1_epi16((1 << shift) - 1));
  return _mm_srai_epi16(_mm_add_epi16(x, bias), shift);
}

// Truncating division of signed 32-bit lanes by 32.
inline __m128i Div32By32(__m128i p) {
  __m128i bias = _mm_and_si128(_mm_srai_epi32(p, 31), _mm_set1_epi32(31));
  return _mm_srai_epi32(_mm_add_epi32(p, bias), 5);
}

// (factor * x) / 32 with truncation, for 16-bit x whose product needs 32 bits.
inline __m128i Scale32(__m128i x, int16_t factor) {
  __m128i f = _mm_set1_epi16(factor);
  __m128i lo = _mm_mullo_epi16(x, f), hi = _mm_mulhi_epi16(x, f);
  return _mm_packs_epi32(Div32By32(_mm_unpacklo_epi16(lo, hi)),
                         Div32By32(_mm_unpackhi_epi16(lo, hi)));
}

// Clamps the first `count` (4 or 8) lanes of blue, green and red to bytes
// and writes them as `count` 3-byte pixels.
inline void StorePixels(uint8_t* out, __m128i blue, __m128i green, __m128i red, int count) {
  const __m128i zero = _mm_setzero_si128();
  __m128i b = _mm_packus_epi16(blue, blue), g = _mm_packus_epi16(green, green);
  __m128i r = _mm_packus_epi16(red, red);
  __m128i bg = _mm_unpacklo_epi8(b, g), r0 = _mm_unpacklo_epi8(r, zero);
  // Pixels as b g r 0; then drop every fourth byte: two pixels per 64 bits
  // first, then the 64-bit halves side by side.
  const __m128i low24 = _mm_set1_epi64x(0xFFFFFF);
  auto squeeze = [&](__m128i p) {
    __m128i pairs =
        _mm_or_si128(_mm_and_si128(p, low24), _mm_slli_epi64(_mm_srli_epi64(p, 32), 24));
    const __m128i low48 = _mm_set_epi64x(0, 0xFFFFFFFFFFFF);
    return _mm_or_si128(_mm_and_si128(pairs, low48),
                        _mm_srli_si128(_mm_andnot_si128(low48, pairs), 2));
  };
  __m128i first = squeeze(_mm_unpacklo_epi16(bg, r0));  // pixels 0..3 in 12 bytes
  if (count == 4) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), first);
    uint32_t tail = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(first, 8)));
    std::memcpy(out + 8, &tail, 4);
    return;
  }
  __m128i second = squeeze(_mm_unpackhi_epi16(bg, r0));  // pixels 4..7
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   _mm_or_si128(first, _mm_slli_si128(second, 12)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm_srli_si128(second, 4));
}

#if defined(__SSSE3__)
// StorePixels with two byte shuffles per 16 output bytes.
inline void StorePixelsShuffled(uint8_t* out, __m128i blue, __m128i green, __m128i red,
                                int count) {
  __m128i b = _mm_packus_epi16(blue, blue), g = _mm_packus_epi16(green, green);
  __m128i r = _mm_packus_epi16(red, red);
  __m128i bg = _mm_unpacklo_epi8(b, g);  // b0 g0 b1 g1 .. b7 g7
  const __m128i bgFirst = _mm_setr_epi8(0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1, 10);
  const __m128i rFirst = _mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1);
  __m128i first = _mm_or_si128(_mm_shuffle_epi8(bg, bgFirst), _mm_shuffle_epi8(r, rFirst));
  if (count == 4) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), first);
    uint32_t tail = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(first, 8)));
    std::memcpy(out + 8, &tail, 4);
    return;
  }
  const __m128i bgSecond =
      _mm_setr_epi8(11, -1, 12, 13, -1, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i rSecond =
      _mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1);
  __m128i second = _mm_or_si128(_mm_shuffle_epi8(bg, bgSecond), _mm_shuffle_epi8(r, rSecond));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), second);
}
#endif

template <bool kShuffle>
inline void StoreMacroblockSimd(const Blocks6& work, FrameImage& img, int column, int row,
                                bool half) {
  // Chroma terms for all 64 chroma samples, eight at a time. When every
  // quartered sample is within +-574 the products fit 16 bits exactly.
  alignas(16) int16_t termBlue[64], termGreen[64], termRed[64];
  __m128i cr[8], cb[8];
  __m128i high = _mm_setzero_si128(), low = _mm_setzero_si128();
  for (int i = 0; i < 8; i++) {
    cr[i] = DivPow2<2>(Load8(work[0] + 8 * i));
    cb[i] = DivPow2<2>(Load8(work[1] + 8 * i));
    high = _mm_max_epi16(high, _mm_max_epi16(cr[i], cb[i]));
    low = _mm_min_epi16(low, _mm_min_epi16(cr[i], cb[i]));
  }
  const bool small =
      _mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi16(high, _mm_set1_epi16(574)),
                                     _mm_cmplt_epi16(low, _mm_set1_epi16(-574)))) == 0;
  for (int i = 0; i < 8; i++) {
    __m128i blue, green, red;
    if (small) {
      blue = DivPow2<5>(_mm_mullo_epi16(cb[i], _mm_set1_epi16(57)));
      green = DivPow2<5>(_mm_add_epi16(_mm_mullo_epi16(cb[i], _mm_set1_epi16(11)),
                                       _mm_mullo_epi16(cr[i], _mm_set1_epi16(23))));
      red = DivPow2<5>(_mm_mullo_epi16(cr[i], _mm_set1_epi16(45)));
    } else {
      blue = Scale32(cb[i], 57);
      red = Scale32(cr[i], 45);
      // (11 cb + 23 cr) / 32: the sum in 32 bits before the division.
      __m128i f11 = _mm_set1_epi16(11), f23 = _mm_set1_epi16(23);
      __m128i a0 = _mm_unpacklo_epi16(_mm_mullo_epi16(cb[i], f11), _mm_mulhi_epi16(cb[i], f11));
      __m128i a1 = _mm_unpackhi_epi16(_mm_mullo_epi16(cb[i], f11), _mm_mulhi_epi16(cb[i], f11));
      __m128i b0 = _mm_unpacklo_epi16(_mm_mullo_epi16(cr[i], f23), _mm_mulhi_epi16(cr[i], f23));
      __m128i b1 = _mm_unpackhi_epi16(_mm_mullo_epi16(cr[i], f23), _mm_mulhi_epi16(cr[i], f23));
      green = _mm_packs_epi32(Div32By32(_mm_add_epi32(a0, b0)), Div32By32(_mm_add_epi32(a1, b1)));
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(termBlue + 8 * i), blue);
    _mm_store_si128(reinterpret_cast<__m128i*>(termGreen + 8 * i), green);
    _mm_store_si128(reinterpret_cast<__m128i*>(termRed + 8 * i), red);
  }
  const int stride = img.Stride();
  const int originX = half ? column * 8 : column * 16;
  const __m128i offset = _mm_set1_epi16(128);
  for (int q = 0; q < 4; q++) {
    const int16_t* y = work[2 + q];
    const int chromaRow0 = q >= 2 ? 4 : 0;
    const bool right = q & 1;
    const int x0 = originX + (right ? (half ? 4 : 8) : 0);
    const int y0 = row * 16 + (q >= 2 ? 8 : 0);
    for (int i = 0; i < 8; i++) {
      const int c = (chromaRow0 + i / 2) * 8;
      auto spread = [&](const int16_t* t) {
        __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(t + c));
        return right ? _mm_unpackhi_epi16(v, v) : _mm_unpacklo_epi16(v, v);
      };
      __m128i luma = _mm_add_epi16(DivPow2<2>(Load8(y + i * 8)), offset);
      __m128i blue = _mm_adds_epi16(luma, spread(termBlue));
      __m128i green = _mm_subs_epi16(luma, spread(termGreen));
      __m128i red = _mm_adds_epi16(luma, spread(termRed));
      uint8_t* line = img.Pixels.data() + size_t(y0 + i) * size_t(stride) + size_t(x0) * 3;
      if (half) {
        // Even lanes only: sign-extend them to 32 bits and pack back.
        auto even = [](__m128i v) {
          __m128i e = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
          return _mm_packs_epi32(e, e);
        };
        blue = even(blue);
        green = even(green);
        red = even(red);
      }
#if defined(__SSSE3__)
      if constexpr (kShuffle) {
        StorePixelsShuffled(line, blue, green, red, half ? 4 : 8);
        continue;
      }
#endif
      StorePixels(line, blue, green, red, half ? 4 : 8);
    }
  }
}

}  // namespace
}  // namespace belmora
#endif
