#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "mdec/tables.h"
#include "mdec/transform.h"

namespace belmora {
namespace {

TEST(TransformTablesTest, MatrixFollowsItsFormula) {
  for (int k = 0; k < 8; k++)
    for (int n = 0; n < 8; n++) {
      double a = k == 0 ? 1 : std::sqrt(2.0);
      EXPECT_EQ(TransformMatrix[k][n],
                std::lround(4096 * a * std::cos((2 * n + 1) * k * M_PI / 16)));
    }
  std::set<int> seen(ZigzagOrder.begin(), ZigzagOrder.end());
  EXPECT_EQ(seen.size(), 64u);
  const uint8_t start[] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25};
  for (int i = 0; i < 12; i++) EXPECT_EQ(ZigzagOrder[i], start[i]);
  EXPECT_EQ(ZigzagOrder[62], 62);
  EXPECT_EQ(QuantMatrix[0], 2);
  EXPECT_EQ(QuantMatrix[63], 83);
  EXPECT_EQ(QuantMatrix[8], 16);
}

using Block = std::array<int16_t, 64>;

Block Transformed(Block b, void (*f)(int16_t*)) {
  f(b.data());
  return b;
}
void InverseScalarFull(int16_t* b) {
  InverseTransformScalar(b, false);
}

TEST(TransformTest, DcOnlyBlockIsFlat) {
  for (int level : {0, 1, -1, 100, -100, 2047, -2047, 1000}) {
    Block b{};
    b[0] = int16_t(level);
    Block s = Transformed(b, InverseScalarFull);
    Block p = Transformed(b, InverseTransformPackedPortable);
    for (int i = 0; i < 64; i++) {
      ASSERT_EQ(s[i], level) << level;
      ASSERT_EQ(p[i], level) << level;
    }
  }
  // 2048 wraps in the packed variant's initial shift; the scalar does not.
  Block b{};
  b[0] = 2048;
  EXPECT_EQ(Transformed(b, InverseScalarFull)[0], 2048);
  EXPECT_EQ(Transformed(b, InverseTransformPackedPortable)[0], -2048);
}

TEST(TransformTest, HandComputedSingleCoefficient) {
  // Coefficient 64 at row 1, column 0. Scalar: X[r][c] = trunc(64 T[1][r] / 4096).
  // Packed: floor(T[1][r] / 16) * 16384 / 65536, floored: r = 0 gives 88,
  // r = 7 gives -89 where the scalar truncates to -88.
  Block b{};
  b[8] = 64;
  Block s = Transformed(b, InverseScalarFull);
  Block p = Transformed(b, InverseTransformPackedPortable);
  EXPECT_EQ(s[0], 88);
  EXPECT_EQ(s[7 * 8 + 3], -88);
  EXPECT_EQ(p[0], 88);
  EXPECT_EQ(p[7 * 8 + 3], -89);
  for (int r = 0; r < 8; r++)
    for (int c = 1; c < 8; c++) EXPECT_EQ(s[r * 8 + c], s[r * 8]);
}

TEST(TransformTest, ForwardOfFlatBlockIsDcTimes64) {
  Block b;
  b.fill(-100);
  Block s = Transformed(b, ForwardTransformScalar);
  Block p = Transformed(b, ForwardTransformPackedPortable);
  EXPECT_EQ(s[0], -6400);
  EXPECT_EQ(p[0], -6400);
  for (int i = 1; i < 64; i++) EXPECT_EQ(s[i], 0) << i;  // (the packed passes floor: not 0)
}

TEST(TransformTest, HalfWidthComputesEvenColumnsOnly) {
  std::mt19937 random(1);
  Block b;
  for (auto& v : b) v = int16_t(int(random() % 401) - 200);
  Block full = Transformed(b, InverseScalarFull);
  Block half = b;
  InverseTransformScalar(half.data(), true);
  for (int r = 0; r < 8; r++)
    for (int c = 0; c < 8; c++)
      EXPECT_EQ(half[r * 8 + c], c % 2 == 0 ? full[r * 8 + c] : b[r * 8 + c]);
}

#if defined(BELMORA_HAVE_SSE2)
// The SSE2 and portable packed transforms agree bit for bit, also where
// values wrap in the shift and sums saturate.
TEST(TransformTest, PackedSse2MatchesPortable) {
  std::mt19937 random(42);
  for (int round = 0; round < 20000; round++) {
    Block b{};
    int kind = round % 4;
    for (auto& v : b) {
      if (kind == 0) v = int16_t(int(random() % 4096) - 2048);  // in range
      if (kind == 1) v = int16_t(random());                     // anything: wraps
      if (kind == 2) v = int16_t(random() % 3 == 0 ? (random() % 2 ? 2047 : -2048) : 0);
      if (kind == 3) v = int16_t(random() % 8 == 0 ? int(random() % 1024) - 512 : 0);
    }
    ASSERT_EQ(Transformed(b, InverseTransformPackedSse2),
              Transformed(b, InverseTransformPackedPortable))
        << round;
    ASSERT_EQ(Transformed(b, ForwardTransformPackedSse2),
              Transformed(b, ForwardTransformPackedPortable))
        << round;
  }
}
#endif

TEST(QuantizeTest, TruncatesTowardZero) {
  Blocks6 coefs{}, levels{};
  // Natural index 8 has matrix entry 16, scan position 2.
  coefs[0][8] = -17;
  coefs[1][8] = -15;
  coefs[2][0] = -17;  // DC: divided by 16 only
  coefs[3][8] = 15;
  Quantize(coefs, levels, 1);
  EXPECT_EQ(levels[0][2], -1);
  EXPECT_EQ(levels[1][2], 0);
  EXPECT_EQ(levels[2][0], -1);
  EXPECT_EQ(levels[3][2], 0);
  // Two truncating divisions: (-100 / 16) / 3 = -6 / 3 = -2.
  coefs[4][8] = -100;
  Quantize(coefs, levels, 3);
  EXPECT_EQ(levels[4][2], -2);
}

TEST(QuantizeTest, DequantizeScalesAndWraps) {
  Blocks6 levels{}, coefs{};
  levels[0][2] = -1;    // natural 8, matrix 16
  levels[0][1] = -1;    // natural 1, matrix 16
  levels[1][3] = -1;    // natural 16, matrix 19
  levels[2][0] = 321;   // DC copied
  levels[3][63] = 500;  // 500 * 83 * 20 / 16 = 51875 -> wraps
  Dequantize(levels, coefs, 1);
  EXPECT_EQ(coefs[0][8], -1);
  EXPECT_EQ(coefs[0][1], -1);
  EXPECT_EQ(coefs[1][16], -1);
  EXPECT_EQ(coefs[2][0], 321);
  Dequantize(levels, coefs, 20);
  EXPECT_EQ(coefs[3][63], int16_t(51875 - 65536));
  // The 32-bit product wraps before the division.
  levels[3][63] = 511;
  Dequantize(levels, coefs, 65535);
  int32_t product = int32_t(uint32_t(511u * 83u * 65535u));
  EXPECT_EQ(coefs[3][63], int16_t(uint16_t(uint32_t(product / 16))));
}

}  // namespace
}  // namespace belmora
