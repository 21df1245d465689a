#include "mdec/transform.h"

#include <algorithm>
#include <array>

#include "mdec/tables.h"

#if defined(BELMORA_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace belmora {

namespace {

inline int16_t Wrap16(int32_t v) {
  return int16_t(uint16_t(uint32_t(v)));
}
inline int16_t Sat16(int32_t v) {
  return int16_t(std::clamp(v, -32768, 32767));
}
inline int32_t Wrap32(int64_t v) {
  return int32_t(uint32_t(uint64_t(v)));
}
inline int32_t Hi16(int32_t v) {
  return v >> 16;
}

// The packed tables of one direction: 4 x T, laid out as the passes read them.
struct PackedDirection {
  // First pass: one 8-lane vector per (output row, k), the coefficient repeated.
  alignas(16) int16_t First[8][8][8];
  // Second pass: one 8-coefficient row per output column ...
  alignas(16) int16_t Second[8][8];
  // ... and the same rows regrouped for four columns at a time: for columns
  // 4h..4h+3, the coefficient pair p of each column.
  alignas(16) int16_t Pairs[2][4][8];
};
struct PackedTables {
  PackedDirection Inverse;
  PackedDirection Forward;
};

void FillDirection(PackedDirection& d, bool inverse) {
  const auto& T = TransformMatrix;
  for (int r = 0; r < 8; r++)
    for (int k = 0; k < 8; k++) {
      int16_t v = int16_t(4 * (inverse ? T[k][r] : T[r][k]));
      for (int lane = 0; lane < 8; lane++) d.First[r][k][lane] = v;
      d.Second[r][k] = v;
    }
  for (int h = 0; h < 2; h++)
    for (int p = 0; p < 4; p++)
      for (int i = 0; i < 4; i++) {
        d.Pairs[h][p][2 * i] = d.Second[4 * h + i][2 * p];
        d.Pairs[h][p][2 * i + 1] = d.Second[4 * h + i][2 * p + 1];
      }
}

PackedTables MakePackedTables() {
  PackedTables t{};
  FillDirection(t.Inverse, true);
  FillDirection(t.Forward, false);
  return t;
}

// The vector loads need the tables on 16-byte boundaries.
static_assert(alignof(PackedDirection) >= 16);

const PackedTables& Tables() {
  static const PackedTables tables = MakePackedTables();
  return tables;
}

// Input rows at and beyond `inputRows` must be zero: they add nothing to the
// saturating first pass, which skips them.
void PackedPortable(int16_t* b, const PackedDirection& d, int inputRows) {
  int16_t in[64];
  for (int i = 0; i < 64; i++) in[i] = Wrap16(int32_t(uint32_t(uint16_t(b[i])) << 4));
  int16_t temp[8][8];
  for (int r = 0; r < 8; r++) {
    for (int c = 0; c < 8; c++) {
      int32_t acc = 0;
      for (int k = 0; k < inputRows; k++) acc = Sat16(acc + Hi16(in[k * 8 + c] * d.First[r][k][0]));
      temp[r][c] = int16_t(acc);
    }
  }
  for (int r = 0; r < 8; r++) {
    const int16_t* t = temp[r];
    for (int c = 0; c < 8; c++) {
      const int16_t* a = d.Second[c];
      int32_t s[4];
      for (int p = 0; p < 4; p++)
        s[p] = Wrap32(int64_t(t[2 * p]) * a[2 * p] + int64_t(t[2 * p + 1]) * a[2 * p + 1]);
      b[r * 8 + c] = Wrap16(Sat16(Hi16(s[0]) + Hi16(s[2])) + Sat16(Hi16(s[1]) + Hi16(s[3])));
    }
  }
}

#if defined(BELMORA_HAVE_SSE2)
inline __m128i Load(const int16_t* p) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

void PackedSse2(int16_t* b, const PackedDirection& d, int inputRows) {
  // First pass with the eight output rows side by side, so that the
  // saturating sums do not wait on one another.
  __m128i acc[8];
#pragma GCC unroll 8
  for (int r = 0; r < 8; r++) acc[r] = _mm_setzero_si128();
  for (int k = 0; k < inputRows; k++) {
    __m128i in = _mm_slli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * k)), 4);
#pragma GCC unroll 8
    for (int r = 0; r < 8; r++)
      acc[r] = _mm_adds_epi16(acc[r], _mm_mulhi_epi16(in, Load(d.First[r][k])));
  }
#pragma GCC unroll 8
  for (int r = 0; r < 8; r++) {
    // Each coefficient pair of the row, broadcast: pair sums for four
    // columns per multiply-add.
    const __m128i x0 = _mm_shuffle_epi32(acc[r], 0x00), x1 = _mm_shuffle_epi32(acc[r], 0x55);
    const __m128i x2 = _mm_shuffle_epi32(acc[r], 0xAA), x3 = _mm_shuffle_epi32(acc[r], 0xFF);
    __m128i even[2], odd[2];
#pragma GCC unroll 2
    for (int h = 0; h < 2; h++) {
      __m128i s0 = _mm_srai_epi32(_mm_madd_epi16(x0, Load(d.Pairs[h][0])), 16);
      __m128i s1 = _mm_srai_epi32(_mm_madd_epi16(x1, Load(d.Pairs[h][1])), 16);
      __m128i s2 = _mm_srai_epi32(_mm_madd_epi16(x2, Load(d.Pairs[h][2])), 16);
      __m128i s3 = _mm_srai_epi32(_mm_madd_epi16(x3, Load(d.Pairs[h][3])), 16);
      even[h] = _mm_add_epi32(s0, s2);
      odd[h] = _mm_add_epi32(s1, s3);
    }
    __m128i out = _mm_add_epi16(_mm_packs_epi32(even[0], even[1]), _mm_packs_epi32(odd[0], odd[1]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 8 * r), out);
  }
}
#endif

}  // namespace

void DequantizeBlock(const int16_t* l, int16_t* c, int scale) {
  c[0] = l[0];
  for (int k = 1; k < 64; k++) {
    int z = ZigzagOrder[k];
    int32_t product = Wrap32(int64_t(l[k]) * QuantMatrix[z] * scale);
    c[z] = Wrap16(product / 16);
  }
}

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

namespace {
// Input rows at and beyond `inputRows` must be zero (they add nothing).
void InverseScalarRows(int16_t* b, bool evenColumnsOnly, int inputRows) {
  const auto& T = TransformMatrix;
  int16_t temp[8][8];
  for (int j = 0; j < 8; j++) {
    for (int n = 0; n < 8; n++) {
      int16_t acc = 0;
      for (int i = inputRows - 1; i >= 0; i--) acc = Wrap16(acc + (T[i][j] * b[i * 8 + n]) / 4096);
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

}  // namespace

void InverseTransformScalar(int16_t* b, bool evenColumnsOnly) {
  InverseScalarRows(b, evenColumnsOnly, 8);
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
  PackedPortable(b, Tables().Inverse, 8);
}
void ForwardTransformPackedPortable(int16_t* b) {
  PackedPortable(b, Tables().Forward, 8);
}
#if defined(BELMORA_HAVE_SSE2)
void InverseTransformPackedSse2(int16_t* b) {
  PackedSse2(b, Tables().Inverse, 8);
}
void ForwardTransformPackedSse2(int16_t* b) {
  PackedSse2(b, Tables().Forward, 8);
}
void InverseTransformPacked(int16_t* b) {
  InverseTransformPackedSse2(b);
}
void ForwardTransformPacked(int16_t* b) {
  ForwardTransformPackedSse2(b);
}
#else
void InverseTransformPacked(int16_t* b) {
  InverseTransformPackedPortable(b);
}
void ForwardTransformPacked(int16_t* b) {
  ForwardTransformPackedPortable(b);
}
#endif

namespace {

// The last natural row that scan positions 0..k reach, plus one.
constexpr std::array<uint8_t, 64> MakeScanRows() {
  std::array<uint8_t, 64> rows{};
  int reached = 0;
  for (int k = 0; k < 64; k++) {
    reached = std::max(reached, ZigzagOrder[k] / 8 + 1);
    rows[k] = uint8_t(reached);
  }
  return rows;
}
constexpr std::array<uint8_t, 64> kScanRows = MakeScanRows();

void InverseBlockScalar(int16_t* b, bool evenColumnsOnly, int last) {
  if (last == 0) {  // DC only: a flat block
    const int16_t v = b[0];
    if (evenColumnsOnly) {
      for (int i = 0; i < 64; i += 2) b[i] = v;
    } else {
      std::fill(b, b + 64, v);
    }
    return;
  }
  InverseScalarRows(b, evenColumnsOnly, kScanRows[last]);
}

void InverseBlockPacked(int16_t* b, bool, int last) {
  if (last == 0) {
    // A DC-only block is flat; the packed variant's initial shift wraps large levels.
    std::fill(b, b + 64, int16_t(Wrap16(int32_t(uint32_t(uint16_t(b[0])) << 4)) >> 4));
    return;
  }
#if defined(BELMORA_HAVE_SSE2)
  PackedSse2(b, Tables().Inverse, kScanRows[last]);
#else
  PackedPortable(b, Tables().Inverse, kScanRows[last]);
#endif
}

void InverseScalar6(Blocks6& blocks, bool halfWidth) {
  for (int blk = 0; blk < 6; blk++) InverseTransformScalar(blocks[blk], halfWidth && blk >= 2);
}
void InversePacked6(Blocks6& blocks, bool) {
  for (auto& block : blocks) InverseTransformPacked(block);
}
void ForwardScalar6(Blocks6& blocks) {
  for (auto& block : blocks) ForwardTransformScalar(block);
}
void ForwardPacked6(Blocks6& blocks) {
  for (auto& block : blocks) ForwardTransformPacked(block);
}

}  // namespace

TransformSet SelectTransforms(TransformVariant variant) {
  if (variant == TransformVariant::kScalar)
    return {&InverseBlockScalar, &InverseScalar6, &ForwardScalar6};
  return {&InverseBlockPacked, &InversePacked6, &ForwardPacked6};
}

}  // namespace belmora
