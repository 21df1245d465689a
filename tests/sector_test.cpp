#include <gtest/gtest.h>

#include <cstring>

#include "base/bytes.h"
#include "str/sector.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::FrameRecipe;
using test::MinimalBitstream;
using test::StrBuilder;

std::vector<uint8_t> OneFrame(int sectorSize, bool riff = true, int version = 2) {
  StrBuilder b(sectorSize, riff);
  FrameRecipe f;
  f.Width = 304;
  f.Height = 224;
  f.Bitstream = MinimalBitstream(1, version);
  b.AddFrame(f);
  return b.Bytes();
}

TEST(SectorLayoutTest, DetectsEachLayoutAndPictureSize) {
  struct Case {
    int size;
    bool riff;
    SectorLayout layout;
  } cases[] = {{2048, false, kLayout2048},
               {2336, false, kLayout2336},
               {2352, true, kLayout2352},
               {2352, false, kLayout2352Raw}};
  for (const Case& c : cases) {
    auto bytes = OneFrame(c.size, c.riff);
    auto d = DetectLayout(bytes);
    ASSERT_TRUE(d) << c.size;
    EXPECT_EQ(d->Layout, c.layout) << c.size;
    EXPECT_EQ(d->HasRiffHeader, c.size == 2352 && c.riff);
    EXPECT_EQ(d->Width, 304);
    EXPECT_EQ(d->Height, 224);
    EXPECT_FALSE(d->FirstSectorSkipped);
  }
}

TEST(SectorLayoutTest, MdecVersionDecidesDetectionOf2048And2336) {
  for (int size : {2048, 2336}) {
    for (int version : {0, 1, 2, 3, 4}) {
      bool expected = version == 2 || version == 3;
      EXPECT_EQ(bool(DetectLayout(OneFrame(size, false, version))), expected)
          << size << " version " << version;
    }
  }
}

TEST(SectorLayoutTest, RiffIsAcceptedWhateverFollows) {
  std::vector<uint8_t> b(2048, 0xAB);
  std::memcpy(b.data(), "RIFF", 4);
  b[62] = 0x48;  // sector 0 is a video sector
  auto d = DetectLayout(b);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->Layout, kLayout2352);
  EXPECT_EQ(d->Width, 0xABAB);
}

TEST(SectorLayoutTest, AudioFirstSectorIsRecognisedWithoutPictureSize) {
  for (int size : {2336, 2352}) {
    StrBuilder b(size);
    b.AddAudio(1, kCoding378Stereo);
    b.AddFrame(FrameRecipe{});
    auto d = DetectLayout(b.Bytes());
    ASSERT_TRUE(d) << size;
    EXPECT_TRUE(d->FirstSectorSkipped);
    EXPECT_EQ(d->Width, 0);
    EXPECT_EQ(d->Height, 0);
  }
}

TEST(SectorLayoutTest, UnknownDataIsRefused) {
  std::vector<uint8_t> zeros(2048, 0);
  EXPECT_FALSE(DetectLayout(zeros));
  std::vector<uint8_t> text(2048, 'x');
  EXPECT_FALSE(DetectLayout(text));
  EXPECT_FALSE(DetectLayout({}));
  // A short file is judged on what it has.
  auto frame = OneFrame(2048);
  EXPECT_TRUE(DetectLayout(std::span(frame).first(40)));
  EXPECT_FALSE(DetectLayout(std::span(frame).first(30)));
}

TEST(SubheaderTest, Classification) {
  EXPECT_TRUE(IsSkippedSector({1, 0, 0, 0}));  // filler, by the value-equals-1 rule
  EXPECT_FALSE(IsSkippedSector({0, 0, 0, 0}));
  EXPECT_FALSE(IsSkippedSector({1, 1, 0, 0}));
  EXPECT_FALSE(IsSkippedSector(kVideoSubheader));
  EXPECT_TRUE(IsAudioSector({1, 1, 0x64, 1}));
  EXPECT_TRUE(IsSkippedSector({1, 1, 0x64, 1}));
  for (uint8_t submode : {0x24, 0x10}) {
    EXPECT_TRUE(IsSkippedSector({1, 1, submode, 0}));
    EXPECT_FALSE(IsAudioSector({1, 1, submode, 0}));
  }
  EXPECT_FALSE(IsAudioSector({1, 1, 0x70, 0}));  // trigger set
}

TEST(SubheaderTest, InterleaveFollowsCodingAndSpeed) {
  EXPECT_EQ(InterleaveFor(1, kCoding378Stereo), 4);
  EXPECT_EQ(InterleaveFor(2, kCoding378Stereo), 8);
  EXPECT_EQ(InterleaveFor(1, kCoding378Mono), 8);
  EXPECT_EQ(InterleaveFor(2, kCoding378Mono), 16);
  EXPECT_EQ(InterleaveFor(1, kCoding189Stereo), 8);
  EXPECT_EQ(InterleaveFor(2, kCoding189Stereo), 16);
  EXPECT_EQ(InterleaveFor(1, kCoding189Mono), 16);
  EXPECT_EQ(InterleaveFor(2, kCoding189Mono), 32);
}

TEST(SectorFormatTest, CdxaHeaderBytes) {
  const uint8_t expected[44] = {'R', 'I', 'F',  'F',  0x10, 0x20, 0,   0,    'C',  'D', 'X',
                                'A', 'f', 'm',  't',  ' ',  16,   0,   0,    0,    0,   0,
                                0,   0,   0x3D, 0x55, 'X',  'A',  1,   0,    0,    0,   0,
                                0,   0,   0,    'd',  'a',  't',  'a', 0x30, 0x40, 0,   0};
  auto h = MakeCdxaHeader(0x2010, 0x4030);
  EXPECT_EQ(0, std::memcmp(h.data(), expected, 44));
}

TEST(SectorFormatTest, ChunkHeaderFieldOffsets) {
  uint8_t raw[32];
  for (int i = 0; i < 32; i++) raw[i] = uint8_t(i * 7 + 1);
  auto h = VideoChunkHeader::Parse(raw);
  EXPECT_EQ(h.Status, GetU16(raw));
  EXPECT_EQ(h.ChunkCount, GetU16(raw + 6));
  EXPECT_EQ(h.FrameDataSize, GetU32(raw + 12));
  EXPECT_EQ(h.Height, GetU16(raw + 18));
  EXPECT_EQ(h.MdecHeader[0], raw[20]);
  EXPECT_EQ(h.Reserved, GetU32(raw + 28));
  uint8_t back[32];
  h.Store(back);
  EXPECT_EQ(0, std::memcmp(raw, back, 32));
}

}  // namespace
}  // namespace belmora
