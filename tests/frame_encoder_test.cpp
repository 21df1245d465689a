#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "convert/frame_bmp.h"
#include "convert/frame_codec.h"
#include "base/bytes.h"
#include "str/cd_sector.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

// A 24-bit holder of a BGR picture (top row first).
TBmpIo Holder(const std::vector<uint8_t>& bgr, int width, int height) {
  TBmpIo h;
  h.Header.Width = width;
  h.Header.Height = height;
  h.Header.BitCount = 24;
  CollectingHost sink;
  h.AllocPixels(sink);
  for (int y = 0; y < height; y++)
    std::memcpy(&h.Pixels[size_t(height - 1 - y) * h.Stride()], &bgr[size_t(y) * width * 3],
                size_t(width) * 3);
  return h;
}

std::vector<uint8_t> Flat(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
  std::vector<uint8_t> bgr(size_t(width) * height * 3);
  for (size_t i = 0; i < bgr.size(); i += 3) {
    bgr[i] = b;
    bgr[i + 1] = g;
    bgr[i + 2] = r;
  }
  return bgr;
}

class FrameEncoderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    CloseStrFile(doc);
    std::filesystem::remove(path);
  }
  // A 2352 file of `frames` frames of `chunks` chunks; the first frame read.
  void Open(int width, int height, int chunks, int version = 2, int frames = 6) {
    test::MovieRecipe m;
    m.Frames = frames;
    m.ChunkPattern = {chunks};
    m.Width = uint16_t(width);
    m.Height = uint16_t(height);
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = 1;
    m.Bitstream = [version](int) { return test::MinimalBitstream(1, version); };
    test::BuildMovie(m).Write(path);
    ASSERT_EQ(OpenStrFile(doc, path), 0);
    doc.CurrentSector = 0;
    ASSERT_EQ(ReadFrame(doc), 0);
  }

  std::string path = test::TempPath("enc.str");
  CollectingHost sink;
  StrDocument doc{sink};
  FrameCodec codec;
  FrameNumbering numbering;
  EncodeResult result;
};

TEST_F(FrameEncoderTest, GreyMacroblockGivesTheKnownBytes) {
  for (int version : {2, 3}) {
    SCOPED_TRACE(version);
    Open(16, 16, 1, version, 40);
    TBmpIo grey = Holder(Flat(16, 16, 128, 128, 128), 16, 16);
    ASSERT_EQ(EncodeFrame(codec, doc, grey, numbering, &result), 0);
    EXPECT_EQ(result.Trials, (std::vector<int>{8, 4, 2, 1}));
    EXPECT_EQ(result.Scale, 1);
    std::vector<uint16_t> words;
    for (int i = 0; i < int(doc.ChunkHeader.FrameDataSize); i += 2)
      words.push_back(GetU16(&doc.FrameBuffer[size_t(i)]));
    if (version == 2) {
      EXPECT_EQ(doc.ChunkHeader.FrameDataSize, 20u);
      EXPECT_EQ(words, (std::vector<uint16_t>{0x0020, 0x3800, 0x0001, 0x0002, 0x0020, 0x0200,
                                              0x2002, 0x0020, 0x027F, 0xC000}));
    } else {
      EXPECT_EQ(doc.ChunkHeader.FrameDataSize, 16u);
      EXPECT_EQ(words, (std::vector<uint16_t>{0x0020, 0x3800, 0x0001, 0x0003, 0x2294, 0xA52F,
                                              0xFC00, 0x0000}));
    }
    for (int i = 20; i < 2016; i++) ASSERT_EQ(doc.FrameBuffer[size_t(i)], 0) << i;
    EXPECT_EQ(0, std::memcmp(doc.ChunkHeader.MdecHeader.data(), doc.FrameBuffer.data(), 8));
    CloseStrFile(doc);
  }
}

TEST_F(FrameEncoderTest, SearchOrderAndCapacity) {
  // Noisier and noisier pictures: into 10 chunks until the scale found is
  // 6, then into 4 chunks until none up to 15 fits.
  std::mt19937 random(5);
  bool sawSix = false, sawRound2 = false;
  for (int chunks : {10, 4}) {
    Open(320, 240, chunks);
    const int capacity = chunks * 2016;
    for (int amplitude = 4; amplitude < 256; amplitude += 3) {
      auto bgr = test::NaturalPicture(320, 240, 1);
      for (auto& v : bgr)
        v = uint8_t(std::clamp<int>(v + int(random() % (amplitude + 1)) - amplitude / 2, 0, 255));
      TBmpIo picture = Holder(bgr, 320, 240);
      doc.CurrentSector = 0;
      ASSERT_EQ(ReadFrame(doc), 0);
      ASSERT_EQ(EncodeFrame(codec, doc, picture, numbering, &result), 0);
      EXPECT_LE(result.Bytes, capacity - 2);  // a 10-chunk frame takes at most 20158 bytes
      EXPECT_EQ(doc.ChunkHeader.FrameDataSize, uint32_t((result.Bytes + 3) & ~3));
      for (int i = result.Bytes; i < capacity; i++) ASSERT_EQ(doc.FrameBuffer[size_t(i)], 0);
      if (result.Scale == 6 && !sawSix) {
        EXPECT_EQ(result.Trials, (std::vector<int>{8, 4, 6, 5, 5}));
        sawSix = true;
      }
      if (result.Scale > 16 && !sawRound2) {
        ASSERT_GE(result.Trials.size(), 6u);
        EXPECT_EQ(std::vector<int>(result.Trials.begin(), result.Trials.begin() + 6),
                  (std::vector<int>{8, 12, 14, 15, 15, 24}));
        sawRound2 = true;
      }
      if (chunks == 10 ? sawSix : sawRound2) break;
    }
    CloseStrFile(doc);
  }
  EXPECT_TRUE(sawSix);
  EXPECT_TRUE(sawRound2);
}

TEST_F(FrameEncoderTest, RoundTripQuality) {
  Open(320, 240, 18);
  auto bgr = test::NaturalPicture(320, 240, 3);
  // Smooth it: the sky and the disc only.
  for (int y = 180; y < 240; y++)
    for (int x = 0; x < 320; x++)
      std::memcpy(&bgr[(size_t(y) * 320 + x) * 3], &bgr[(size_t(179) * 320 + x) * 3], 3);
  TBmpIo picture = Holder(bgr, 320, 240);
  ASSERT_EQ(EncodeAndStoreFrame(codec, doc, picture, numbering, &result), 0);
  double psnr = test::LumaPsnr(codec.Image.Pixels.data(), 320 * 3, bgr.data(), 320 * 3, 320, 240);
  std::printf("encode/decode luma PSNR at scale %d: %.1f dB\n", result.Scale, psnr);
  EXPECT_GT(psnr, 35.0);
}

TEST_F(FrameEncoderTest, FastPathMatchesReference) {
  std::mt19937 random(1);
  for (int round = 0; round < 8; round++) {
    int width = 48 + int(random() % 6) * 16 - int(random() % 15),
        height = 32 + int(random() % 4) * 16;
    Open(width, height, 1 + round % 3, 2 + round % 2, 40);
    auto bgr = test::NaturalPicture(width, height, round);
    TBmpIo picture = Holder(bgr, width, height);
    picture.XOffset = int(random() % 9) - 4;
    picture.YOffset = int(random() % 9) - 4;
    const auto transforms =
        (round % 4 < 2) ? TransformVariant::kPacked : TransformVariant::kScalar;
    std::vector<std::vector<uint8_t>> outputs;
    for (bool fast : {false, true}) {
      codec.Codec.Init({transforms, fast});
      doc.CurrentSector = 0;
      ASSERT_EQ(ReadFrame(doc), 0);
      ASSERT_EQ(EncodeFrame(codec, doc, picture, numbering, &result), 0);
      outputs.push_back(
          std::vector<uint8_t>(doc.FrameBuffer.begin(), doc.FrameBuffer.begin() + 2016));
    }
    ASSERT_EQ(outputs[0], outputs[1]) << round;
    CloseStrFile(doc);
  }
}

TEST_F(FrameEncoderTest, NoFittingScaleLeavesTheFrameAlone) {
  Open(320, 240, 1, 2, 40);  // 300 macroblocks of 10-bit DCs in one chunk
  auto buffer = doc.FrameBuffer;
  auto header = doc.ChunkHeader;
  TBmpIo picture = Holder(test::NaturalPicture(320, 240, 2), 320, 240);
  EXPECT_EQ(EncodeFrame(codec, doc, picture, numbering, &result), -1);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], msg::kNoScaleFits.Text);
  EXPECT_EQ(doc.FrameBuffer, buffer);
  EXPECT_EQ(doc.ChunkHeader, header);
  EXPECT_EQ(result.Trials, (std::vector<int>{8, 12, 14, 15, 15}));  // then the largest scale, alone
}

TEST_F(FrameEncoderTest, NumberingAndBlackOutside) {
  Open(32, 32, 2, 2, 20);
  numbering = {true, 5, 1, 7};
  TBmpIo picture = Holder(Flat(8, 8, 255, 255, 255), 8, 8);
  std::vector<uint32_t> numbers;
  for (int i = 0; i < 5; i++) {
    ASSERT_EQ(EncodeFrame(codec, doc, picture, numbering), 0);
    numbers.push_back(doc.ChunkHeader.FrameNumber);
  }
  EXPECT_EQ(numbers, (std::vector<uint32_t>{5, 6, 7, 1, 2}));
  numbering.Renumber = false;
  doc.ChunkHeader.FrameNumber = 40;
  ASSERT_EQ(EncodeFrame(codec, doc, picture, numbering), 0);
  EXPECT_EQ(doc.ChunkHeader.FrameNumber, 40u);
  EXPECT_EQ(numbering.NextNumber, 1);  // 41 passes the limit 7: wrapped
  // The 8 x 8 white picture sits top-left; the rest of the frame is black.
  ASSERT_EQ(DecodeCurrentFrame(codec, doc), 0);
  EXPECT_GT(codec.Image.Pixels[(3 * 32 + 3) * 3], 240);
  EXPECT_LT(codec.Image.Pixels[(20 * 32 + 20) * 3], 10);
}

TEST_F(FrameEncoderTest, ImportRewritesOnlyTheFramesUserData) {
  Open(64, 48, 3, 2, 20);
  auto before = test::ReadFileBytes(path);
  doc.CurrentSector = 30;
  ASSERT_EQ(ReadFrame(doc), 0);
  std::vector<int32_t> sectors(doc.ChunkSectors.begin(), doc.ChunkSectors.begin() + 3);
  std::string bmp = test::TempPath("in.bmp");
  test::WriteBgrBmp(bmp, test::NaturalPicture(80, 60, 4), 80, 60);
  ASSERT_EQ(ImportFrameBmp(codec, doc, numbering, bmp, ImagePosition::FromDialog(10, 20), &result),
            Status::kOk);
  auto after = test::ReadFileBytes(path);
  ASSERT_EQ(after.size(), before.size());
  // The user data of the frame's sectors changes, and so do the EDC and ECC
  // behind it; those sectors check out whole.
  std::vector<bool> data(after.size(), false);
  for (int32_t s : sectors) {
    const int64_t at = UserDataOffset(doc.Layout(), s);
    for (int k = 0; k < 2048 + 280; k++) data[size_t(at + k)] = true;
    const SectorCheck check = CheckRawSector(&after[size_t(at - 24)]);
    EXPECT_TRUE(check.EdcOk && check.EccOk) << s;
  }
  size_t changed = 0;
  for (size_t i = 0; i < after.size(); i++) {
    if (data[i]) {
      changed += after[i] != before[i];
      continue;
    }
    ASSERT_EQ(after[i], before[i]) << i;
  }
  EXPECT_GT(changed, 100u);
  // De 10, Até 20: the picture's corner at frame pixel (10, 20).
  EXPECT_LT(codec.Image.Pixels[(size_t(15) * 64 + 5) * 3 + 1], 20);
  std::filesystem::remove(bmp);
}

}  // namespace
}  // namespace belmora

#include "mdec/divider.h"

namespace belmora {
namespace {

TEST(DividerTest, ExactTruncatingDivision) {
  std::vector<uint32_t> divisors = {1, 2, 3, 7, 16, 19, 22, 83, 100, 255, 256, 1000, 4097, 65535};
  for (int d : QuantMatrix) divisors.push_back(uint32_t(d));
  for (uint32_t d : divisors) {
    Divider div(d);
    for (int32_t x = -65535; x <= 65535; x++)
      ASSERT_EQ(div.Divide(x), x / int32_t(d)) << x << "/" << d;
  }
}

}  // namespace
}  // namespace belmora
