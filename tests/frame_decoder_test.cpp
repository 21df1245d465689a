#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "convert/frame_codec.h"
#include "base/bytes.h"
#include "str/str_document.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::EncodeLevels;
using test::MacroblockLevels;

class FrameDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.FrameBuffer.assign(kFrameBufferSize, 0);
  }
  // Puts a frame bitstream into the document as ReadFrame would.
  void Load(const std::vector<uint8_t>& bits, int width, int height) {
    std::fill(doc.FrameBuffer.begin(), doc.FrameBuffer.end(), 0);
    std::memcpy(doc.FrameBuffer.data(), bits.data(), bits.size());
    doc.ChunkHeader.Width = uint16_t(width);
    doc.ChunkHeader.Height = uint16_t(height);
  }
  const uint8_t* Pixel(int x, int y) {
    return &codec.Image.Pixels[(size_t(y) * codec.Image.Width + x) * 3];
  }

  CollectingHost sink;
  StrDocument doc{sink};
  FrameCodec codec;
};

TEST_F(FrameDecoderTest, GreyMacroblockDecodesToGrey) {
  for (bool packed : {true, false}) {
    codec.Codec.Init({(packed) ? TransformVariant::kPacked : TransformVariant::kScalar});
    Load(EncodeLevels(std::vector<MacroblockLevels>(1), 2, 1), 16, 16);
    ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 16; x++)
        for (int k = 0; k < 3; k++) ASSERT_EQ(Pixel(x, y)[k], 128);
  }
  EXPECT_TRUE(sink.texts.empty());
}

TEST_F(FrameDecoderTest, ImageHeaderDescribesTopDownPicture) {
  Load(EncodeLevels(std::vector<MacroblockLevels>(35), 2, 1), 100, 72);
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  const auto& h = codec.Image.Header;
  EXPECT_EQ(GetU32(&h[0]), 40u);
  EXPECT_EQ(int32_t(GetU32(&h[4])), 112);
  EXPECT_EQ(int32_t(GetU32(&h[8])), -80);
  EXPECT_EQ(GetU16(&h[12]), 1);
  EXPECT_EQ(GetU16(&h[14]), 24);
  EXPECT_EQ(GetU32(&h[16]), 0u);
  EXPECT_EQ(GetU32(&h[20]), 112u * 80 * 3);
  EXPECT_EQ(codec.Image.Pixels.size(), 112u * 80 * 3);
  EXPECT_EQ(doc.PictureWidth, 100);
  EXPECT_EQ(doc.PaddedWidth, 112);
}

TEST_F(FrameDecoderTest, MacroblocksRunColumnByColumn) {
  // 100 x 72: 7 columns, 5 rows; macroblock i gets luma DC 8 i - 128.
  std::vector<MacroblockLevels> mbs(35);
  for (int i = 0; i < 35; i++)
    for (int b = 2; b < 6; b++) mbs[i][b][0] = int16_t(8 * i - 128);
  Load(EncodeLevels(mbs, 2, 1), 100, 72);
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  for (int c = 0; c < 7; c++)
    for (int r = 0; r < 5; r++) {
      int i = c * 5 + r;
      int expected = (8 * i - 128) / 4 + 128;
      EXPECT_EQ(Pixel(16 * c + 5, 16 * r + 9)[1], expected) << c << "," << r;
    }
}

TEST_F(FrameDecoderTest, ColourConversionFollowsTheIntegerFormulas) {
  // Cr and Cb DC levels give flat chroma; luma DC -600 darkens to Y' = -22.
  std::vector<MacroblockLevels> mbs(1);
  mbs[0][0][0] = 200;                              // Cr' = 50
  mbs[0][1][0] = -120;                             // Cb' = -30
  for (int b = 2; b < 6; b++) mbs[0][b][0] = 100;  // Y' = 153
  mbs[0][5][0] = -600;                             // beyond version 2's 10-bit DC
  Load(EncodeLevels(mbs, 3, 1), 16, 16);
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  const uint8_t* p = Pixel(0, 0);
  EXPECT_EQ(p[0], 153 + (57 * -30) / 32);            // 153 - 53
  EXPECT_EQ(p[1], 153 - (11 * -30 + 23 * 50) / 32);  // 153 - 25
  EXPECT_EQ(p[2], 153 + (45 * 50) / 32);             // 153 + 70
  const uint8_t* dark = Pixel(15, 15);               // Y3
  EXPECT_EQ(dark[0], 0);
  EXPECT_EQ(dark[1], 0);
  EXPECT_EQ(dark[2], 48);  // -22 + 70
}

TEST_F(FrameDecoderTest, SizeChangeClearsSameSizeKeeps) {
  Load(EncodeLevels(std::vector<MacroblockLevels>(1), 2, 1), 16, 16);
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  codec.Image.Pixels[0] = 7;
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  EXPECT_EQ(codec.Image.Pixels[0], 128);  // rewritten by the frame
  // Half width leaves the right half alone: the same size keeps old pixels.
  std::fill(codec.Image.Pixels.begin(), codec.Image.Pixels.end(), 9);
  codec.HalfWidthView = true;
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  EXPECT_EQ(Pixel(7, 3)[0], 128);
  EXPECT_EQ(Pixel(8, 3)[0], 9);
  codec.HalfWidthView = false;
  Load(EncodeLevels(std::vector<MacroblockLevels>(2), 2, 1), 16, 32);
  codec.HalfWidthView = true;
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  EXPECT_EQ(Pixel(8, 20)[0], 0);  // new size: cleared
}

TEST_F(FrameDecoderTest, HalfWidthUsesEvenLumaColumns) {
  std::mt19937 random(9);
  auto mbs = test::RandomLevels(320, 240, random);
  auto bits = EncodeLevels(mbs, 3, 2);
  Load(bits, 320, 240);
  codec.Codec.Init({(false) ? TransformVariant::kPacked : TransformVariant::kScalar});
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  auto full = codec.Image.Pixels;
  codec.HalfWidthView = true;
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  int mismatches = 0;
  for (int y = 0; y < 240; y++)
    for (int x = 0; x < 160; x++)
      for (int k = 0; k < 3; k++)
        mismatches += Pixel(x, y)[k] != full[(size_t(y) * 320 + 2 * x) * 3 + k];
  EXPECT_EQ(mismatches, 0);
  for (int y = 0; y < 240; y++) EXPECT_EQ(Pixel(200, y)[1], full[(size_t(y) * 320 + 200) * 3 + 1]);
}

TEST_F(FrameDecoderTest, HeaderAtFortyDecodesTheSame) {
  std::mt19937 random(2);
  auto bits = EncodeLevels(test::RandomLevels(64, 32, random), 2, 4);
  Load(bits, 64, 32);
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  auto first = codec.Image.Pixels;
  std::vector<uint8_t> shifted(40, 0);
  shifted.insert(shifted.end(), bits.begin(), bits.end());
  Load(shifted, 64, 32);
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  EXPECT_EQ(codec.Image.Pixels, first);
}

TEST_F(FrameDecoderTest, UndecodableFramesFail) {
  Load(std::vector<uint8_t>(16, 0), 16, 16);  // no magic
  EXPECT_EQ(DecodeCurrentFrame(codec, doc), -1);
  Load(EncodeLevels(std::vector<MacroblockLevels>(1), 2, 1), 4097, 16);
  EXPECT_EQ(DecodeCurrentFrame(codec, doc), -1);
  EXPECT_EQ(codec.Image.Width, 0);  // nothing allocated for it
  auto bits = EncodeLevels(std::vector<MacroblockLevels>(1), 2, 1);
  Load(bits, 32, 16);  // two macroblocks, one coded: the reader runs dry
  EXPECT_EQ(DecodeCurrentFrame(codec, doc), -1);
}

TEST_F(FrameDecoderTest, ReadAndDecodeFrameResults) {
  test::StrBuilder b(2048, false);
  test::FrameRecipe good;
  good.Width = 16;
  good.Height = 16;
  good.Bitstream = EncodeLevels(std::vector<MacroblockLevels>(1), 2, 1);
  test::FrameRecipe bad = good;
  bad.Bitstream = test::MinimalBitstream();  // header, then no valid codes
  b.AddFrame(good);
  b.AddFrame(bad);
  b.AddFrame(good);
  std::string path = test::TempPath("rd.str");
  b.Write(path);
  ASSERT_EQ(OpenStrFile(doc, path), 0);
  doc.CurrentSector = 0;
  EXPECT_EQ(ReadAndDecodeFrame(codec, doc), 0);
  doc.CurrentSector = 1;
  EXPECT_EQ(ReadAndDecodeFrame(codec, doc), -2);
  doc.CurrentSector = 3;
  EXPECT_EQ(ReadAndDecodeFrame(codec, doc), -1);
  CloseStrFile(doc);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace belmora

namespace belmora {
namespace {

// The fast decoding path (sparse dequantization and transforms, vector
// colour conversion) gives the reference steps' pictures bit for bit.
TEST_F(FrameDecoderTest, FastPathMatchesReference) {
  std::mt19937 random(21);
  for (int round = 0; round < 24; round++) {
    int width = 16 + int(random() % 20) * 16 - int(random() % 16),
        height = 16 + int(random() % 8) * 16;
    auto levels = test::RandomLevels(width, height, random, int(random() % 30));
    // Some extreme levels: wraps in dequantization, saturation in the transforms.
    for (auto& mb : levels)
      if (random() % 4 == 0) mb[random() % 6][random() % 64] = int16_t(int(random() % 1024) - 512);
    auto bits = EncodeLevels(levels, 2 + round % 2, 1 + int(random() % 40));
    for (int variant = 0; variant < 4; variant++) {
      const auto transforms = (variant & 1) ? TransformVariant::kPacked : TransformVariant::kScalar;
      codec.HalfWidthView = variant & 2;
      Load(bits, width, height);
      codec.Codec.Init({transforms, false});
      codec.Image.LayOut(codec.Image.Width, codec.Image.Height);
      ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
      auto reference = codec.Image.Pixels;
      codec.Codec.Init({transforms, true});
      codec.Image.LayOut(codec.Image.Width, codec.Image.Height);
      ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
      ASSERT_EQ(codec.Image.Pixels, reference) << "round " << round << " variant " << variant;
    }
  }
}

}  // namespace
}  // namespace belmora
