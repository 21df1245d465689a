// Inputs the fuzz targets (fuzz/) found, each rebuilt here from its
// description: every one must be refused or read cleanly, never crash,
// overflow or allocate what the file cannot hold.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>

#include "base/messages.h"
#include "base/bytes.h"
#include "media/avi_reader.h"
#include "media/bmp_io.h"
#include "media/wav_reader.h"
#include "media/wav_writer.h"
#include "mdec/codec.h"
#include "platform/media_writer.h"
#include "str/cd_sector.h"
#include "str/disc_image.h"
#include "tests/support/game_layouts.h"
#include "str/str_document.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/disc_builder.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

TEST(FuzzFindingsTest, FrameSizesBelowZeroAreNotDecodable) {
  const std::vector<uint8_t> frame = test::MinimalBitstream();
  MdecCodec codec;
  FrameImage image;
  // Once a (width + 15) / 16 of a negative size reached the picture's allocation.
  for (auto [w, h] : {std::pair{16, -1}, {-1, 16}, {-32768, 16}, {16, -4096}}) {
    for (bool fast : {true, false}) {
      codec.Init({TransformVariant::kPacked, fast});
      EXPECT_EQ(codec.DecodeFrame(frame, w, h, false, image), -1) << w << "x" << h;
    }
  }
}

class BmpFindingsTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path); }
  int Load(const std::vector<uint8_t>& bytes) {
    test::WriteFileBytes(path, bytes);
    return bmp.ReadBmp(path, sink);
  }
  std::string path = test::TempPath("found.bmp");
  CollectingHost sink;
  TBmpIo bmp;
};

// A file that could not be read: its name and the reason.
std::string CannotRead(const std::string& path, const std::string& why) {
  return FormatMessage(msg::kCannotRead, path.c_str(), why.c_str());
}

TEST_F(BmpFindingsTest, HeightOfMinusTwoToThe31IsRefused) {
  test::BmpRecipe picture;
  auto bytes = test::BmpBytes(picture);
  PutU32(&bytes[22], uint32_t(INT_MIN));  // its row count cannot be negated
  EXPECT_EQ(Load(bytes), -1);
  EXPECT_EQ(sink.texts, (std::vector<std::string>{CannotRead(
                            path, "BMPの大きさが正しくありません。(16 x -2147483648)")}));
}

TEST_F(BmpFindingsTest, ImageSizeBeyondTheFileAllocatesOnlyTheRows) {
  // A 25 x 17 top-down picture whose header claims 2,952,790,151 bytes of pixels.
  test::BmpRecipe picture;
  picture.Width = 25;
  picture.Height = 17;
  picture.TopDown = true;
  picture.ImageSizeField = 0xB0000087;
  picture.Pixel = [](int x, int y) { return uint32_t(x * 10 << 16 | y * 15); };
  ASSERT_EQ(Load(test::BmpBytes(picture)), 0);
  EXPECT_EQ(bmp.Pixels.size(), size_t(bmp.Stride()) * 17);
  uint8_t px[4];
  bmp.GetPixel(24, 16, px);
  EXPECT_EQ(px[2], 240);
  EXPECT_EQ(px[0], 240);
}

TEST_F(BmpFindingsTest, RowsBeyondTheFileAreRefusedBeforeAllocating) {
  // 20000 x 20000 at 24 bits: 1.2 GB of rows promised by a file of 60 bytes.
  test::BmpRecipe picture;
  auto bytes = test::BmpBytes(picture);
  PutU32(&bytes[18], 20000);
  PutU32(&bytes[22], 20000);
  bytes.resize(60);
  EXPECT_EQ(Load(bytes), -1);
  EXPECT_EQ(sink.texts, (std::vector<std::string>{CannotRead(path, msg::kFileEndsEarly)}));
}

// A small AVI (uncompressed frames, 16-bit PCM) with one field of a stream
// format changed afterwards: `stream` 0 is the video's BITMAPINFOHEADER,
// 1 the sound's WAVEFORMATEX; the field is 32 bits at `offset` in it.
class AviFindingsTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path); }
  void WriteWith(int stream, size_t offset, uint32_t value) {
    {
      MediaWriter w;
      const WaveFormat format = WaveFormat::Pcm(11025, 1, 16);
      const PcmFormatInfo pcm{11025, 1, 16};
      ASSERT_EQ(w.Open(path, 16, 16, 15, 1, CompressOptions{}, &format, &pcm), MediaError::kNone);
      std::vector<uint8_t> rows(16 * 16 * 3, 0x40), sound(11025 / 15 * 2, 0);
      for (int f = 0; f < 3; f++) {
        ASSERT_TRUE(w.WriteVideo(rows.data()));
        ASSERT_TRUE(w.WriteAudio(sound.data(), sound.size()));
      }
      ASSERT_TRUE(w.Close());
    }
    auto bytes = test::ReadFileBytes(path);
    size_t at = 0;
    for (int n = 0; n <= stream; n++, at += 4) {
      const uint8_t tag[4] = {'s', 't', 'r', 'f'};
      auto it = std::search(bytes.begin() + long(at), bytes.end(), tag, tag + 4);
      ASSERT_NE(it, bytes.end());
      at = size_t(it - bytes.begin());
    }
    // `at` is 4 past the tag now: the chunk's size, then its body.
    PutU32(&bytes[at + 4 + offset], value);
    test::WriteFileBytes(path, bytes);
  }
  std::string path = test::TempPath("found.avi");
  TAviIo avi;
};

TEST_F(AviFindingsTest, TheUnchangedFileReads) {
  WriteWith(1, 4, 11025);  // the sound rate as it was
  ASSERT_EQ(avi.Open(path), 0) << avi.LastError;
  EXPECT_TRUE(avi.HasAudio);
  EXPECT_NE(avi.NextFrame(), nullptr);
}

TEST_F(AviFindingsTest, PicturesTooLargeToAllocateAreRefused) {
  for (uint32_t width : {1u << 29, 0x7FFFFFFFu, 20000000u}) {
    WriteWith(0, 4, width);
    EXPECT_EQ(avi.Open(path), -1) << width;
    EXPECT_FALSE(avi.LastError.empty());
  }
  // The file the fuzzer found (minimised): a stream header for Motion JPEG
  // and a stream format of text, from which FFmpeg takes a width of
  // 1,394,627,666 (once overflowing the row size computed in int) and finds
  // no picture to correct it by.
  const char* hex =
      "52494646d8220000415649207374726838000000766964734d4a50470001000000000000"
      "00000000010000000f00000000000000040000002f030000ffffffff5800000000000000"
      "20001800737472662800002a20535441525420534352495054696d61672a2a2a2a2a004a"
      "554e4b181000000400002a2a2a2a004a55494d415f4144";
  std::vector<uint8_t> bytes;
  for (const char* p = hex; p[0] && p[1]; p += 2)
    bytes.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
  ASSERT_EQ(bytes.size(), 131u);
  test::WriteFileBytes(path, bytes);
  EXPECT_EQ(avi.Open(path), -1);
  EXPECT_FALSE(avi.LastError.empty());
}

TEST_F(AviFindingsTest, AbsurdSoundRatesAreRefused) {
  // 524,288,002 Hz once overflowed the byte rate computed in int.
  for (uint32_t rate : {524288002u, 0x7FFFFFFFu, 768001u}) {
    WriteWith(1, 4, rate);
    EXPECT_EQ(avi.Open(path), -1) << rate;
    EXPECT_FALSE(avi.LastError.empty());
  }
  EXPECT_EQ(WaveFormat::Pcm(0x7FFFFFFF, 2, 16).nAvgBytesPerSec, uint32_t(int64_t(0x7FFFFFFF) * 4));
}

// Chunks of a WAV file whose sizes come within 8 bytes of 4 GiB: the step to
// the next chunk once wrapped around to nothing, and the reader went on
// forever; they end the walk now.
TEST(FuzzFindingsTest, WavChunkSizesNearFourGibEndTheWalk) {
  const std::string path = test::TempPath("found.wav");
  for (const uint32_t size : {0xFFFFFFF8u, 0xFFFFFFF7u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                                  'L', 'I', 'S', 'T', 0, 0, 0, 0};
    PutU32(&bytes[16], size);
    bytes.resize(64, 0);
    test::WriteFileBytes(path, bytes);
    WavData wav;
    EXPECT_FALSE(ReadWavFile(path, wav).Ok()) << size;
  }
  // The sound of a data chunk before such a chunk is read as ever.
  std::vector<uint8_t> good = WavHeader(22050, 1, 16, 4);
  good.insert(good.end(), {1, 0, 2, 0});
  const std::vector<uint8_t> junk = {'J', 'U', 'N', 'K', 0xF8, 0xFF, 0xFF, 0xFF};
  good.insert(good.end(), junk.begin(), junk.end());
  test::WriteFileBytes(path, good);
  WavData wav;
  ASSERT_TRUE(ReadWavFile(path, wav).Ok());
  EXPECT_EQ(wav.Samples, (std::vector<int16_t>{1, 2}));
  std::filesystem::remove(path);
}

// Directories whose recorded size runs far past the image: libiso9660
// allocated the size (4 GiB for the root's) before reading a byte. They are
// damage now, refused before the allocation.
TEST(FuzzFindingsTest, DirectorySizesBeyondTheImageAreRefused) {
  test::DiscBuilder b;
  b.AddDataFile("/DATA/FILE.BIN", std::vector<uint8_t>(3000, 7));
  const std::string path = test::TempPath("found.iso");
  for (const bool root : {true, false}) {
    auto iso = b.IsoBytes();
    if (root) {
      PutU32(&iso[16 * 2048 + 156 + 10], 0xFFFFF000u);
    } else {
      uint8_t* records = &iso[size_t(b.Placement("/DATA").Lsn - 1) * 2048];
      for (size_t at = 0; records[at] != 0; at += records[at])
        if (records[at + 32] == 4 && std::memcmp(&records[at + 33], "DATA", 4) == 0)
          PutU32(&records[at + 10], 0xFFFFF000u);
    }
    test::WriteFileBytes(path, iso);
    DiscImage image;
    EXPECT_FALSE(image.Open(path)) << root;
    EXPECT_NE(image.LastError().find(path), std::string::npos) << image.LastError();
  }
  std::filesystem::remove(path);
}

// A game frame whose own first bytes disagree with the copy its chunk
// headers keep (its 0x3800 word, version or width changed) is written back
// as read, as a kept frame given a new number is. The copy used to follow
// the frame's bytes and the sectors no longer read as the format: the frame
// was lost. Now the copy stays and the frame reads back as it was.
TEST(FuzzFindingsTest, GameFramesWrittenBackAsReadStayReadable) {
  struct Case {
    GameFormat Format;
    int VideoSectors;
    int Byte;  // of the frame, changed so that it no longer matches the copy
  };
  const Case cases[] = {
      {GameFormat::kVersion1, 3, 3},     // the 0x3800 word
      {GameFormat::kChronoCross, 4, 3},  // the 0x3800 word
      {GameFormat::kLain, 3, 6},         // the version word, 0 in Lain
      {GameFormat::kIki, 3, 4},          // the width
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(InfoOf(c.Format).Name);
    const test::GameMovieFile movie = test::WriteGameMovie({c.Format, 2, 160, 112, c.VideoSectors});
    auto bytes = test::ReadFileBytes(movie.Path);
    const int first = movie.FrameSectors[0][0];
    uint8_t* raw = &bytes[size_t(first) * 2352];
    raw[test::kGameMovieUserData + InfoOf(c.Format).PayloadOffset + c.Byte] ^= 0x03;
    SealRawSector(raw, kFirstDataAddress + first, true);
    test::WriteFileBytes(movie.Path, bytes);

    CollectingHost sink;
    std::vector<uint8_t> asRead;
    {
      StrDocument doc(sink);
      ASSERT_EQ(OpenStrFile(doc, movie.Path), 0) << (sink.texts.empty() ? "" : sink.texts[0]);
      ASSERT_EQ(FormatOf(doc.Format), c.Format);
      doc.CurrentSector = 0;
      ASSERT_EQ(ReadFrame(doc), 0);
      ASSERT_FALSE(doc.FrameDamaged);
      asRead.assign(doc.FrameBuffer.begin(), doc.FrameBuffer.begin() + doc.ChunkHeader.FrameDataSize);
      doc.ChunkHeader.FrameNumber = 7;
      ASSERT_EQ(WriteFrame(doc), 0) << (sink.texts.empty() ? "" : sink.texts[0]);
      CloseStrFile(doc);
    }
    StrDocument doc(sink);
    ASSERT_EQ(OpenStrFile(doc, movie.Path), 0);
    EXPECT_EQ(FormatOf(doc.Format), c.Format);
    doc.CurrentSector = 0;
    ASSERT_EQ(ReadFrame(doc), 0);
    EXPECT_FALSE(doc.FrameDamaged);
    EXPECT_TRUE(std::equal(asRead.begin(), asRead.end(), doc.FrameBuffer.begin()));
    CloseStrFile(doc);
    std::filesystem::remove(movie.Path);
  }
}

}  // namespace
}  // namespace belmora
