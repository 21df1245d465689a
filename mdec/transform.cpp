#include "mdec/transform.h"

#include <algorithm>

#include "mdec/tables.h"

#if defined(BELMORA_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace belmora {

namespace {

inline int16_t Wrap16(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }
inline int16_t Sat16(int32_t v) { return int16_t(std::clamp(v, -32768, 32767)); }
inline int32_t Wrap32(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }
inline int32_t Hi16(int32_t v) { return v >> 16; }

// The packed tables: 4 x T, laid out as the packed passes read them.
struct PackedTables {
  // First pass: one 8-lane vector per (output row, k), the coefficient repeated.
  alignas(16) int16_t InverseFirst[8][8][8];
  alignas(16) int16_t ForwardFirst[8][8][8];
  // Second pass: one 8-coefficient row per output column.
  alignas(16) int16_t InverseSecond[8][8];
  alignas(16) int16_t ForwardSecond[8][8];
};

PackedTables MakePackedTables() {
  PackedTables t{};
  const auto& T = TransformMatrix;
  for (int r = 0; r < 8; r++) {
    for (int k = 0; k < 8; k++) {
      for (int lane = 0; lane < 8; lane++) {
        t.InverseFirst[r][k][lane] = int16_t(4 * T[k][r]);
        t.ForwardFirst[r][k][lane] = int16_t(4 * T[r][k]);
      }
      t.InverseSecond[r][k] = int16_t(4 * T[k][r]);
      t.ForwardSecond[r][k] = int16_t(4 * T[r][k]);
    }
  }
  return t;
}

const PackedTables& Tables() {
  alignas(16) static const PackedTables tables = MakePackedTables();
  return tables;
}

void PackedPortable(int16_t* b, const int16_t (&first)[8][8][8], const int16_t (&second)[8][8]) {
  int16_t in[64];
  for (int i = 0; i < 64; i++) in[i] = Wrap16(int32_t(uint32_t(uint16_t(b[i])) << 4));
  int16_t temp[8][8];
  for (int r = 0; r < 8; r++) {
    for (int c = 0; c < 8; c++) {
      int32_t acc = 0;
      for (int k = 0; k < 8; k++) acc = Sat16(acc + Hi16(in[k * 8 + c] * first[r][k][0]));
      temp[r][c] = int16_t(acc);
    }
  }
  for (int r = 0; r < 8; r++) {
    const int16_t* t = temp[r];
    for (int c = 0; c < 8; c++) {
      const int16_t* a = second[c];
      int32_t s[4];
      for (int p = 0; p < 4; p++)
        s[p] = Wrap32(int64_t(t[2 * p]) * a[2 * p] + int64_t(t[2 * p + 1]) * a[2 * p + 1]);
      b[r * 8 + c] = Wrap16(Sat16(Hi16(s[0]) + Hi16(s[2])) + Sat16(Hi16(s[1]) + Hi16(s[3])));
    }
  }
}

#if defined(BELMORA_HAVE_SSE2)
void PackedSse2(int16_t* b, const int16_t (&first)[8][8][8], const int16_t (&second)[8][8]) {
  __m128i in[8];
  for (int k = 0; k < 8; k++)
    in[k] = _mm_slli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * k)), 4);
  __m128i temp[8];
  for (int r = 0; r < 8; r++) {
    __m128i acc = _mm_setzero_si128();
    for (int k = 0; k < 8; k++) {
      __m128i coef = _mm_load_si128(reinterpret_cast<const __m128i*>(first[r][k]));
      acc = _mm_adds_epi16(acc, _mm_mulhi_epi16(in[k], coef));
    }
    temp[r] = acc;
  }
  __m128i rows[8];
  for (int c = 0; c < 8; c++) rows[c] = _mm_load_si128(reinterpret_cast<const __m128i*>(second[c]));
  for (int r = 0; r < 8; r++) {
    // For each column: the four pair sums, their high halves, and the sums
    // of pairs 0+2 and 1+3 in lanes 0 and 1.
    __m128i q[8];
    for (int c = 0; c < 8; c++) {
      __m128i h = _mm_srai_epi32(_mm_madd_epi16(temp[r], rows[c]), 16);
      q[c] = _mm_add_epi32(h, _mm_shuffle_epi32(h, _MM_SHUFFLE(1, 0, 3, 2)));
    }
    // Gather lanes 0 and 1 of columns c and c+1; saturate to 16 bits.
    __m128i p01 = _mm_unpacklo_epi64(q[0], q[1]), p23 = _mm_unpacklo_epi64(q[2], q[3]);
    __m128i p45 = _mm_unpacklo_epi64(q[4], q[5]), p67 = _mm_unpacklo_epi64(q[6], q[7]);
    __m128i lo = _mm_packs_epi32(p01, p23);  // c0a c0b c1a c1b c2a c2b c3a c3b
    __m128i hi = _mm_packs_epi32(p45, p67);
    // Add each a/b pair with 16-bit wrap.
    __m128i sumLo = _mm_add_epi16(lo, _mm_srli_epi32(lo, 16));
    __m128i sumHi = _mm_add_epi16(hi, _mm_srli_epi32(hi, 16));
    // Keep the low 16 bits of every 32-bit lane and pack them.
    sumLo = _mm_srai_epi32(_mm_slli_epi32(sumLo, 16), 16);
    sumHi = _mm_srai_epi32(_mm_slli_epi32(sumHi, 16), 16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 8 * r), _mm_packs_epi32(sumLo, sumHi));
  }
}
#endif

}  // namespace

const void* PackedTablesAddress() { return &Tables(); }

void Dequantize(const Blocks6& levels, Blocks6& coefs, int scale) {
  for (int blk = 0; blk < 6; blk++) {
    const int16_t* l = levels[blk];
    int16_t* c = coefs[blk];
    c[0] = l[0];
    for (int k = 1; k < 64; k++) {
      int z = ZigzagOrder[k];
      int32_t product = Wrap32(int64_t(l[k]) * QuantMatrix[z] * scale);
      c[z] = Wrap16(product / 16);
    }
  }
}

void Quantize(const Blocks6& coefs, Blocks6& levels, int scale) {
  for (int blk = 0; blk < 6; blk++) {
    const int16_t* c = coefs[blk];
    int16_t* l = levels[blk];
    l[0] = int16_t(c[0] / 16);
    for (int k = 1; k < 64; k++) {
      int z = ZigzagOrder[k];
      l[k] = int16_t((c[z] / QuantMatrix[z]) / scale);
    }
  }
}

void InverseTransformScalar(int16_t* b, bool evenColumnsOnly) {
  const auto& T = TransformMatrix;
  int16_t temp[8][8];
  for (int j = 0; j < 8; j++) {
    for (int n = 0; n < 8; n++) {
      int16_t acc = 0;
      for (int i = 7; i >= 0; i--) acc = Wrap16(acc + (T[i][j] * b[i * 8 + n]) / 4096);
      temp[j][n] = acc;
    }
  }
  int step = evenColumnsOnly ? 2 : 1;
  for (int r = 0; r < 8; r++) {
    for (int c = 0; c < 8; c += step) {
      int32_t sum = 0;
      for (int k = 0; k < 8; k++) sum += temp[r][k] * T[k][c];
      b[r * 8 + c] = Wrap16(sum / 4096);
    }
  }
}

void ForwardTransformScalar(int16_t* b) {
  const auto& T = TransformMatrix;
  int16_t temp[8][8];
  for (int j = 0; j < 8; j++) {
    for (int n = 0; n < 8; n++) {
      int16_t acc = 0;
      for (int i = 7; i >= 0; i--) acc = Wrap16(acc + (T[j][i] * b[i * 8 + n]) / 4096);
      temp[j][n] = acc;
    }
  }
  for (int r = 0; r < 8; r++) {
    for (int c = 0; c < 8; c++) {
      int32_t sum = 0;
      for (int k = 0; k < 8; k++) sum += temp[r][k] * T[c][k];
      b[r * 8 + c] = Wrap16(sum / 4096);
    }
  }
}

void InverseTransformPackedPortable(int16_t* b) {
  PackedPortable(b, Tables().InverseFirst, Tables().InverseSecond);
}
void ForwardTransformPackedPortable(int16_t* b) {
  PackedPortable(b, Tables().ForwardFirst, Tables().ForwardSecond);
}
#if defined(BELMORA_HAVE_SSE2)
void InverseTransformPackedSse2(int16_t* b) {
  PackedSse2(b, Tables().InverseFirst, Tables().InverseSecond);
}
void ForwardTransformPackedSse2(int16_t* b) {
  PackedSse2(b, Tables().ForwardFirst, Tables().ForwardSecond);
}
void InverseTransformPacked(int16_t* b) { InverseTransformPackedSse2(b); }
void ForwardTransformPacked(int16_t* b) { ForwardTransformPackedSse2(b); }
#else
void InverseTransformPacked(int16_t* b) { InverseTransformPackedPortable(b); }
void ForwardTransformPacked(int16_t* b) { ForwardTransformPackedPortable(b); }
#endif

void InverseTransform(Blocks6& blocks, bool packed, bool halfWidth) {
  for (int blk = 0; blk < 6; blk++) {
    if (packed)
      InverseTransformPacked(blocks[blk]);
    else
      InverseTransformScalar(blocks[blk], halfWidth && blk >= 2);
  }
}

void ForwardTransform(Blocks6& blocks, bool packed) {
  for (int blk = 0; blk < 6; blk++) {
    if (packed)
      ForwardTransformPacked(blocks[blk]);
    else
      ForwardTransformScalar(blocks[blk]);
  }
}

}  // namespace belmora
