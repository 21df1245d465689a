#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "mdec/codec.h"
#include "base/bytes.h"
#include "tests/support/mdec_builder.h"

namespace belmora {
namespace {

using test::EncodeLevels;
using test::MacroblockLevels;

std::vector<uint16_t> Words(const std::vector<uint8_t>& bytes, size_t from = 8) {
  std::vector<uint16_t> w;
  for (size_t i = from; i + 1 < bytes.size(); i += 2) w.push_back(GetU16(&bytes[i]));
  return w;
}

TEST(AcCodeTableTest, RowsFollowTheLayout) {
  const auto& rows = AcCodeTable();
  EXPECT_EQ(rows[0].Length, 2);
  EXPECT_EQ(rows[0].Code, 0x80000000u);
  EXPECT_EQ(rows[1].Length, 3);
  EXPECT_EQ(rows[1].Level, 1);
  EXPECT_EQ(rows[2].Level, -1);
  EXPECT_EQ(rows[1].Code, 0xC0000000u);
  EXPECT_EQ(rows[2].Code, 0xE0000000u);
  EXPECT_EQ(rows[kAcEscapeRow].Run, -1);
  EXPECT_EQ(rows[kAcEscapeRow].Length, 6);
  EXPECT_EQ(rows[kAcEscapeRow].Code, 0x04000000u);
  for (int r = 3; r < kAcRows; r++) {
    if (r == kAcEscapeRow) continue;
    int len = rows[r].Length;
    if (r <= 47) {
      EXPECT_TRUE(len >= 4 && len <= 9) << r;
    } else if (r <= 127) {
      EXPECT_TRUE(len >= 11 && len <= 14) << r;
    } else {
      EXPECT_TRUE(len >= 15 && len <= 17) << r;
    }
  }
  // Each pair: positive row first, the negative one next with the sign bit set.
  for (int r = 1; r < kAcRows; r += 2) {
    if (r == kAcEscapeRow) r++;
    EXPECT_GT(rows[r].Level, 0) << r;
    EXPECT_EQ(rows[r + 1].Run, rows[r].Run);
    EXPECT_EQ(rows[r + 1].Level, -rows[r].Level);
    EXPECT_EQ(rows[r + 1].Code, rows[r].Code | (1u << (32 - rows[r].Length)));
  }
}

TEST(AcCodeTableTest, CodesArePrefixFreeAndPairsUnique) {
  const auto& rows = AcCodeTable();
  std::set<std::pair<int, int>> pairs;
  for (int a = 0; a < kAcRows; a++) {
    if (rows[a].Run >= 0 && a > 0) {
      EXPECT_TRUE(pairs.insert({rows[a].Run, rows[a].Level}).second);
    }
    for (int b = 0; b < kAcRows; b++) {
      if (a == b) continue;
      uint32_t shorter = std::min(rows[a].Mask, rows[b].Mask);
      EXPECT_NE(rows[a].Code & shorter, rows[b].Code & shorter) << a << " vs " << b;
    }
  }
  EXPECT_EQ(pairs.size(), 222u);
  // Run 0 levels 1..40 and run 1 levels 1..18 are all there.
  for (int l = 1; l <= 40; l++) EXPECT_TRUE(pairs.count({0, l})) << l;
  for (int l = 1; l <= 18; l++) EXPECT_TRUE(pairs.count({1, l})) << l;
}

TEST(AcCodeTableTest, DecodeTablesAndLookupMatchLinearSearch) {
  const AcDecodeTables& t = AcDecodeTablesBuilt();
  for (int i = 0; i < 8; i++) EXPECT_EQ(t.ByTop9[i].Length, 0);
  for (int i = 8; i < 256; i++) EXPECT_GT(t.ByTop9[i].Length, 0);
  for (int run = -2; run < 70; run++)
    for (int level = -600; level <= 600; level++)
      ASSERT_EQ(MdecCodec::FindAcRow(run, level), MdecCodec::FindAcRowLinear(run, level))
          << run << "," << level;
}

TEST(MdecBitstreamTest, ZeroMacroblockMatchesTheKnownWords) {
  std::vector<MacroblockLevels> one(1);
  auto v2 = EncodeLevels(one, 2, 1);
  EXPECT_EQ(Words(v2), (std::vector<uint16_t>{0x0020, 0x0200, 0x2002, 0x0020, 0x027F, 0xC000}));
  EXPECT_EQ(GetU16(&v2[0]), 32);  // 12 codes
  EXPECT_EQ(GetU16(&v2[2]), 0x3800);
  auto v3 = EncodeLevels(one, 3, 1);
  EXPECT_EQ(Words(v3), (std::vector<uint16_t>{0x2294, 0xA52F, 0xFC00}));
}

TEST(MdecBitstreamTest, EscapeForPairsOutsideTheTable) {
  // Cr block: DC 0, run 0 level 41 -> 000001 000000 0000101001, then EOB.
  std::vector<MacroblockLevels> one(1);
  one[0][0][1] = 41;
  auto bits = EncodeLevels(one, 2, 1);
  auto w = Words(bits);
  // 0000000000 000001 | 000000 0000101001 | 10 ...
  EXPECT_EQ(w[0], 0x0001);
  EXPECT_EQ(w[1], 0x0029);
  EXPECT_EQ(w[2] >> 14, 2);
}

MdecCodec ReadyCodec() {
  return MdecCodec();
}

// Decodes all macroblocks of a bitstream made by EncodeLevels.
std::vector<MacroblockLevels> DecodeAll(MdecCodec& c, const std::vector<uint8_t>& bits,
                                        size_t count, int version, bool* ok = nullptr) {
  c.SetVersion(version);
  c.ResetPredictors();
  std::vector<MacroblockLevels> out;
  int pos = 0;
  alignas(16) Blocks6 levels;
  for (size_t i = 0; i < count; i++) {
    pos = c.DecodeMacroblock(bits.data() + 8, bits.size() - 8, pos, i == 0, levels);
    if (pos < 0) {
      if (ok) *ok = false;
      return out;
    }
    MacroblockLevels m;
    for (int b = 0; b < 6; b++) std::memcpy(m[b].data(), levels[b], 128);
    out.push_back(m);
  }
  if (ok) *ok = true;
  return out;
}

TEST(MdecBitstreamTest, RandomMacroblocksRoundTripInBothVersions) {
  std::mt19937 random(11);
  MdecCodec c = ReadyCodec();
  for (int version : {2, 3}) {
    for (int round = 0; round < 20; round++) {
      auto mbs = test::RandomLevels(64, 48, random, 30);
      // Also every table pair and big escapes.
      std::uniform_int_distribution<int> any(-512, 511);
      for (auto& m : mbs) m[3][63] = int16_t(any(random));
      auto bits = EncodeLevels(mbs, version, 3);
      bool ok;
      auto back = DecodeAll(c, bits, mbs.size(), version, &ok);
      ASSERT_TRUE(ok);
      ASSERT_EQ(back, mbs) << "version " << version;
    }
  }
}

TEST(MdecBitstreamTest, EveryTableCodeDecodes) {
  MdecCodec c = ReadyCodec();
  const auto& rows = AcCodeTable();
  std::vector<MacroblockLevels> mbs;
  for (int r = 1; r < kAcRows; r++) {
    if (rows[r].Run < 0) continue;
    MacroblockLevels m{};
    m[2][1 + rows[r].Run] = int16_t(rows[r].Level);
    mbs.push_back(m);
  }
  auto bits = EncodeLevels(mbs, 2, 1);
  bool ok;
  EXPECT_EQ(DecodeAll(c, bits, mbs.size(), 2, &ok), mbs);
  EXPECT_TRUE(ok);
}

TEST(MdecBitstreamTest, Version3DcRoundsAndCarriesThePredictor) {
  MdecCodec c = ReadyCodec();
  std::vector<MacroblockLevels> mbs(3);
  const int16_t dcs[3] = {7, 13, -6};  // not multiples of 4
  for (int i = 0; i < 3; i++)
    for (int b = 0; b < 6; b++) mbs[i][b][0] = dcs[i];
  auto bits = EncodeLevels(mbs, 3, 1);
  auto back = DecodeAll(c, bits, 3, 3);
  ASSERT_EQ(back.size(), 3u);
  // d = 7 -> 8; then 13 - 8 = 5 -> 4 (12); then -6 - 12 = -18 -> -16 (-4).
  EXPECT_EQ(back[0][2][0], 8);
  EXPECT_EQ(back[1][2][0], 12);
  EXPECT_EQ(back[2][2][0], -4);
  EXPECT_EQ(back[2][0][0], -4);
}

TEST(MdecBitstreamTest, VersionsZeroToTwoDecodeAlike) {
  std::mt19937 random(5);
  auto mbs = test::RandomLevels(32, 32, random);
  auto bits = EncodeLevels(mbs, 2, 1);
  MdecCodec c = ReadyCodec();
  for (int v : {0, 1, 2}) EXPECT_EQ(DecodeAll(c, bits, mbs.size(), v), mbs) << v;
}

TEST(MdecBitstreamTest, InvalidStreamsFailInsideTheBlock) {
  MdecCodec c = ReadyCodec();
  alignas(16) Blocks6 levels;
  c.SetVersion(2);
  // Twelve zero bits where an AC code should be.
  std::vector<uint8_t> zeros(64, 0);
  EXPECT_EQ(c.DecodeMacroblock(zeros.data(), zeros.size(), 0, true, levels), -1);
  // A run that would move past position 63: escape with run 63 after DC.
  std::vector<MacroblockLevels> one(1);
  one[0][0][63] = 5;  // run 62 at position 1: allowed
  auto ok = EncodeLevels(one, 2, 1);
  EXPECT_GE(c.DecodeMacroblock(ok.data() + 8, ok.size() - 8, 0, true, levels), 0);
  // Patch the escape's run field from 62 to 63.
  auto bad = ok;
  uint16_t w1 = GetU16(&bad[8 + 2]);
  PutU16(&bad[8 + 2], w1 | 0x0400);
  EXPECT_EQ(c.DecodeMacroblock(bad.data() + 8, bad.size() - 8, 0, true, levels), -1);
  // Version 3, luma DC prefix of ten 1-bits.
  c.SetVersion(3);
  std::vector<uint8_t> v3(8, 0);  // 00 10 00 10, then 1111111111
  PutU16(&v3[0], 0x22FF);
  PutU16(&v3[2], 0xC000);
  EXPECT_EQ(c.DecodeMacroblock(v3.data(), v3.size(), 0, true, levels), -1);
}

TEST(MdecBitstreamTest, HostileBytesNeverReadOutsideTheBuffer) {
  std::mt19937 random(3);
  MdecCodec c = ReadyCodec();
  alignas(16) Blocks6 levels;
  FrameImage image;
  for (int round = 0; round < 2000; round++) {
    std::vector<uint8_t> bytes(random() % 40);
    for (auto& b : bytes) b = uint8_t(random());
    c.SetVersion(round % 2 ? 3 : 2);
    int pos = 0;
    for (int mb = 0; mb < 4 && pos >= 0; mb++)
      pos = c.DecodeMacroblock(bytes.data(), bytes.size(), pos, mb == 0, levels);
    // The whole frame, through the decoder's dequantizing fast path.
    std::vector<uint8_t> frame = {0, 0, 0, 0x38, 0xFF, 0xFF, uint8_t(round % 2 ? 3 : 2), 0};
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    (void)c.DecodeFrame(frame, 32, 32, round % 4 < 2, image);
  }
}

TEST(MdecBitstreamTest, HeaderIsFoundAtOffsetZeroOrForty) {
  std::vector<uint8_t> b(100, 0);
  EXPECT_EQ(LocateFrameHeader(b.data(), b.size()), -1);
  PutU16(&b[42], 0x3800);
  EXPECT_EQ(LocateFrameHeader(b.data(), b.size()), 40);
  PutU16(&b[2], 0x3800);
  EXPECT_EQ(LocateFrameHeader(b.data(), b.size()), 0);
  EXPECT_EQ(LocateFrameHeader(b.data(), 4), -1);
}

}  // namespace
}  // namespace belmora
