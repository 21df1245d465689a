#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "base/bytes.h"
#include "str/str_document.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::BuildMovie;
using test::FrameRecipe;
using test::MovieRecipe;
using test::ReadFileBytes;
using test::StrBuilder;
using test::TempPath;
using test::WriteFileBytes;

class StrDocumentTest : public ::testing::Test {
 protected:
  void TearDown() override {
    CloseStrFile(doc);
    for (auto& p : paths) std::filesystem::remove(p);
  }
  std::string Save(const StrBuilder& b) {
    paths.push_back(TempPath("doc.str"));
    b.Write(paths.back());
    return paths.back();
  }
  std::string SaveBytes(const std::vector<uint8_t>& bytes) {
    paths.push_back(TempPath("doc.str"));
    WriteFileBytes(paths.back(), bytes);
    return paths.back();
  }
  int Open(const StrBuilder& b) { return OpenStrFile(doc, Save(b)); }

  CollectingHost sink;
  AudioSectorHook hook;
  StrDocument doc{sink, &hook};
  std::vector<std::string> paths;
};

// Double speed, 15 frames per second, 37.8 kHz stereo: an audio sector
// every 8 sectors from sector 7, frames of 9, 9, 9 and 8 video sectors.
MovieRecipe DoubleSpeedMovie(int sectorSize, bool riff = true) {
  MovieRecipe m;
  m.SectorSize = sectorSize;
  m.Riff = riff;
  m.Frames = 70;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  m.Interleave = 8;
  m.AudioPhase = 7;
  m.TrailingFillers = 5;
  return m;
}

// Single speed, 15 frames per second: audio every 4 sectors from sector 3.
MovieRecipe SingleSpeedMovie(int sectorSize) {
  MovieRecipe m = DoubleSpeedMovie(sectorSize);
  m.ChunkPattern = {4, 4, 4, 3};
  m.Interleave = 4;
  m.AudioPhase = 3;
  return m;
}

struct LayoutCase {
  int SectorSize;
  bool Riff;
  int DataOffset;
};
void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.SectorSize << (c.Riff ? " RIFF" : "");
}

class OpenLayoutTest : public StrDocumentTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(OpenLayoutTest, OpensDoubleAndSingleSpeedMovies) {
  const LayoutCase& c = GetParam();
  {
    // A file shorter than the sectors the opening scan looks at.
    MovieRecipe tiny;
    tiny.SectorSize = c.SectorSize;
    tiny.Riff = c.Riff;
    tiny.Frames = 2;
    tiny.ChunkPattern = {4};
    ASSERT_EQ(Open(BuildMovie(tiny)), 0) << (sink.texts.empty() ? "" : sink.texts[0]);
    EXPECT_EQ(doc.LastFrameNumber, 2);
    CloseStrFile(doc);
  }
  for (int speed : {2, 1}) {
    SCOPED_TRACE(speed);
    MovieRecipe m =
        speed == 2 ? DoubleSpeedMovie(c.SectorSize, c.Riff) : SingleSpeedMovie(c.SectorSize);
    m.Riff = c.Riff;
    if (c.SectorSize == 2048) {
      // No audio sectors in this layout; ten sectors a frame at double speed.
      m.AudioCoding = -1;
      m.ChunkPattern = {10};
    }
    StrBuilder b = BuildMovie(m);
    ASSERT_EQ(Open(b), 0) << (sink.texts.empty() ? "" : sink.texts[0]);
    EXPECT_EQ(doc.SectorSize, c.SectorSize);
    EXPECT_EQ(doc.DataOffset, c.DataOffset);
    EXPECT_EQ(doc.HasRiffHeader, c.SectorSize == 2352 && c.Riff);
    EXPECT_EQ(doc.SectorCount, b.SectorCount());
    EXPECT_EQ(doc.PictureWidth, 320);
    EXPECT_EQ(doc.PaddedHeight, 240);
    EXPECT_EQ(doc.MacroblockColumns, 20);
    EXPECT_EQ(doc.MacroblockRows, 15);
    EXPECT_EQ(doc.FirstFrameNumber, 1);
    EXPECT_EQ(doc.LastFrameNumber, 70);
    EXPECT_EQ(doc.TrailingSectors, 5);
    EXPECT_EQ(doc.CurrentSector, 0);
    EXPECT_FALSE(doc.ReadOnly);
    if (c.SectorSize == 2048) {
      EXPECT_EQ(doc.SpeedFactor, 2);
      EXPECT_EQ(doc.AudioChannelCount, 0);
      EXPECT_EQ(doc.LastFrameSector, 69 * 10);
      EXPECT_EQ(doc.FramesPerSecond, 15.0);
      CloseStrFile(doc);
      break;
    }
    EXPECT_EQ(doc.SpeedFactor, speed);
    EXPECT_EQ(doc.FramesPerSecond, 15.0);
    ASSERT_EQ(doc.AudioChannelCount, 1);
    EXPECT_EQ(doc.AudioChannels[0], 1);
    EXPECT_EQ(doc.AudioCodings[0], kCoding378Stereo);
    // The last frame starts where the 70th frame's first chunk was put.
    doc.CurrentSector = doc.LastFrameSector;
    ASSERT_EQ(ReadFrame(doc), 0);
    EXPECT_EQ(doc.ChunkHeader.FrameNumber, 70u);
    EXPECT_EQ(doc.NextSector, doc.SectorCount - 5);
    CloseStrFile(doc);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, OpenLayoutTest,
                         ::testing::Values(LayoutCase{2048, false, 0}, LayoutCase{2336, false, 8},
                                           LayoutCase{2352, true, 68}, LayoutCase{2352, false, 24}),
                         [](const auto& info) {
                           return std::to_string(info.param.SectorSize) +
                                  (info.param.SectorSize == 2352 && !info.param.Riff ? "Raw" : "");
                         });

TEST_F(StrDocumentTest, RateEstimateRoundsToHalves) {
  // Seven sectors a frame at double speed: 150 / 7 = 21.43, shown as 21.5.
  MovieRecipe m;
  m.SectorSize = 2048;
  m.Riff = false;
  m.Frames = 80;
  m.ChunkPattern = {7};
  ASSERT_EQ(Open(BuildMovie(m)), 0);
  EXPECT_EQ(doc.FramesPerSecond, 21.5);
}

TEST_F(StrDocumentTest, RateEstimateUsesAllFramesOfAShortFile) {
  MovieRecipe m;
  m.SectorSize = 2048;
  m.Frames = 12;
  m.ChunkPattern = {5};
  ASSERT_EQ(Open(BuildMovie(m)), 0);
  EXPECT_EQ(doc.FramesPerSecond, 30.0);  // 12 × 150 / 60
}

TEST_F(StrDocumentTest, FirstAudioSectorDecidesSpeedWithoutAnAudioPair) {
  // One audio sector only: the position rule applies (n = 8 for 37.8 kHz
  // stereo; audio at sector 20 > 8 gives single speed, at 5 double speed).
  for (int at : {20, 5}) {
    StrBuilder b(2336);
    for (int i = 0; i < 40; i++) {
      if (i == at) b.AddAudio(1, kCoding378Stereo);
      FrameRecipe f;
      f.Number = uint32_t(i + 1);
      b.AddFrame(f);
    }
    ASSERT_EQ(Open(b), 0);
    EXPECT_EQ(doc.SpeedFactor, at == 20 ? 1 : 2) << at;
    CloseStrFile(doc);
  }
}

TEST_F(StrDocumentTest, AudioInterleaveDecidesSpeedOverEarlyAudio) {
  // 18.9 kHz mono at single speed: every 16 sectors, the first at sector 2.
  // The position rule alone (n = 32 > 2) would call this double speed.
  MovieRecipe m = SingleSpeedMovie(2352);
  m.AudioCoding = kCoding189Mono;
  m.Interleave = 16;
  m.AudioPhase = 2;
  ASSERT_EQ(Open(BuildMovie(m)), 0);
  EXPECT_EQ(doc.SpeedFactor, 1);
  CloseStrFile(doc);
  m.Interleave = 32;
  ASSERT_EQ(Open(BuildMovie(m)), 0);
  EXPECT_EQ(doc.SpeedFactor, 2);
}

TEST_F(StrDocumentTest, ListsAudioChannelsInOrderOfAppearance) {
  StrBuilder b(2352);
  const int channels[] = {3, 0, 5};
  const int codings[] = {kCoding378Stereo, kCoding189Mono, kCoding378Mono};
  for (int i = 0; i < 40; i++) {
    if (i % 4 == 0) b.AddAudio(channels[(i / 4) % 3], codings[(i / 4) % 3]);
    FrameRecipe f;
    f.Number = uint32_t(i);
    b.AddFrame(f);
  }
  ASSERT_EQ(Open(b), 0);
  ASSERT_EQ(doc.AudioChannelCount, 3);
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(doc.AudioChannels[k], channels[k]);
    EXPECT_EQ(doc.AudioCodings[k], codings[k]);
  }
}

TEST_F(StrDocumentTest, AudioFirstFileTakesPictureSizeFromFirstFrame) {
  MovieRecipe m = DoubleSpeedMovie(2336, false);
  m.AudioPhase = 0;  // audio at 0, 8, 16, ...
  m.Width = 256;
  m.Height = 224;
  ASSERT_EQ(Open(BuildMovie(m)), 0);
  EXPECT_EQ(doc.PictureWidth, 256);
  EXPECT_EQ(doc.PictureHeight, 224);
  EXPECT_EQ(doc.SpeedFactor, 2);
  EXPECT_EQ(doc.CurrentSector, 1);
  EXPECT_EQ(doc.FirstFrameNumber, 1);
}

TEST_F(StrDocumentTest, AudioOnlyFileKeepsPictureSizeZero) {
  StrBuilder b(2352);
  for (int i = 0; i < 64; i++) b.AddAudio(1, kCoding378Stereo);
  // The rate estimate and last-frame search need one frame somewhere.
  b.AddFrame(FrameRecipe{});
  ASSERT_EQ(Open(b), 0);
  EXPECT_EQ(doc.PaddedWidth, 0);
  EXPECT_EQ(doc.CurrentSector, 0);
}

TEST_F(StrDocumentTest, RefusesFileWithoutFrameStartInFirst40Sectors) {
  StrBuilder b(2352);
  FrameRecipe tail;
  tail.Chunks = 2;
  b.AddChunk(tail, 1);  // a chunk tail gives the picture size but starts nothing
  for (int i = 0; i < 39; i++) b.AddAudio(1, kCoding378Stereo);
  for (int i = 0; i < 5; i++) b.AddFrame(FrameRecipe{});
  EXPECT_EQ(Open(b), -1);
  EXPECT_FALSE(doc.IsOpen());
}

TEST_F(StrDocumentTest, UnknownFormatIsReported) {
  std::vector<uint8_t> junk(100000, 'q');
  EXPECT_EQ(OpenStrFile(doc, SaveBytes(junk)), -1);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], "不明なフォーマットです。");
  EXPECT_EQ(sink.captions[0], "メッセージ");
  EXPECT_FALSE(doc.IsOpen());
}

TEST_F(StrDocumentTest, MissingFileFailsSilently) {
  EXPECT_EQ(OpenStrFile(doc, "/nonexistent/dir/file.str"), -1);
  EXPECT_TRUE(sink.texts.empty());
}

TEST_F(StrDocumentTest, CutOffLastFrameIsPassedOver) {
  StrBuilder b(2048, false);
  for (int i = 0; i < 5; i++) {
    FrameRecipe f;
    f.Number = uint32_t(i + 1);
    f.Chunks = 3;
    b.AddFrame(f);
  }
  FrameRecipe last;
  last.Number = 6;
  last.Chunks = 3;
  b.AddChunk(last, 0);
  b.AddChunk(last, 1);
  ASSERT_EQ(Open(b), 0);
  EXPECT_EQ(doc.LastFrameNumber, 5);
  EXPECT_EQ(doc.LastFrameSector, 12);
  EXPECT_EQ(doc.TrailingSectors, 2);
}

TEST_F(StrDocumentTest, FrameSearchAndPrevious) {
  StrBuilder b(2048, false);
  for (int i = 0; i < 6; i++) {
    FrameRecipe f;
    f.Number = uint32_t(i + 1);
    f.Chunks = 3;
    b.AddFrame(f);
  }
  ASSERT_EQ(Open(b), 0);
  EXPECT_EQ(FindPreviousFrame(doc), -1);  // first frame at sector 0
  EXPECT_EQ(doc.CurrentSector, 0);
  ASSERT_EQ(FindFrameStart(doc, 4), 0);
  EXPECT_EQ(doc.CurrentSector, 6);
  ASSERT_EQ(FindPreviousFrame(doc), 0);
  EXPECT_EQ(doc.CurrentSector, 3);
  // Started inside a frame, ReadFrame moves on to the next frame's start.
  doc.CurrentSector = 7;
  ASSERT_EQ(ReadFrame(doc), 0);
  EXPECT_EQ(doc.CurrentSector, 9);
  EXPECT_EQ(doc.ChunkHeader.FrameNumber, 4u);
}

TEST_F(StrDocumentTest, ReadFrameSkipsAudioBetweenChunksAndHandsItToTheHook) {
  StrBuilder b(2352);
  FrameRecipe f;
  f.Chunks = 3;
  f.Bitstream = test::MinimalBitstream();
  f.Bitstream.resize(3 * kChunkPayloadSize);
  for (size_t i = 8; i < f.Bitstream.size(); i++) f.Bitstream[i] = uint8_t(i * 13);
  b.AddChunk(f, 0);
  b.AddAudio(2, kCoding189Stereo, 0x5A);
  b.AddChunk(f, 1);
  b.AddChunk(f, 2);
  for (int i = 0; i < 40; i++) b.AddFrame(FrameRecipe{});
  ASSERT_EQ(Open(b), 0);

  int calls = 0;
  hook.Install([&](uint8_t* image) {
    calls++;
    EXPECT_EQ(image[1], 2);
    EXPECT_EQ(image[5], 2);
    EXPECT_EQ(image[3], kCoding189Stereo);
    EXPECT_EQ(image[8], 0x5A);
    EXPECT_EQ(image[kSectorImageSize - 1], 0x5A);
    return 0;
  });
  auto before = ReadFileBytes(doc.Path);
  doc.CurrentSector = 0;
  ASSERT_EQ(ReadFrame(doc), 0);
  hook.Remove();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(doc.ChunkSectors[0], 0);
  EXPECT_EQ(doc.ChunkSectors[1], 2);
  EXPECT_EQ(doc.ChunkSectors[2], 3);
  EXPECT_EQ(doc.NextSector, 4);
  EXPECT_EQ(doc.LayoutBaseSector, 4);
  EXPECT_EQ(doc.LastAudioSector, 1);
  EXPECT_EQ(doc.AudioInterleave, InterleaveFor(doc.SpeedFactor, kCoding189Stereo));
  EXPECT_EQ(doc.AudioSubheaderTemplate, AudioSubheader(2, kCoding189Stereo));
  EXPECT_EQ(doc.VideoSubheaderTemplate, kVideoSubheader);
  EXPECT_EQ(0, std::memcmp(doc.FrameBuffer.data(), f.Bitstream.data(), f.Bitstream.size()));
  EXPECT_EQ(ReadFileBytes(doc.Path), before);  // the hook returned 0
}

TEST_F(StrDocumentTest, HookResultOneWritesTheSectorImageBack) {
  for (int size : {2336, 2352}) {
    SCOPED_TRACE(size);
    StrBuilder b(size);
    FrameRecipe f;
    f.Chunks = 2;
    b.AddChunk(f, 0);
    b.AddAudio(1, kCoding378Stereo, 0x11);
    b.AddChunk(f, 1);
    for (int i = 0; i < 40; i++) b.AddFrame(FrameRecipe{});
    ASSERT_EQ(Open(b), 0);
    doc.SealSectors = false;  // the sector as given, checksums left alone
    auto before = ReadFileBytes(doc.Path);
    hook.Install([](uint8_t* image) {
      std::memset(image + 8, 0x77, kXaDataSize);
      return 1;
    });
    doc.CurrentSector = 0;
    ASSERT_EQ(ReadFrame(doc), 0);
    hook.Remove();
    auto after = ReadFileBytes(doc.Path);
    ASSERT_EQ(after.size(), before.size());
    int64_t data = SectorImageOffset(doc.Layout(), 1) + 8;
    for (size_t i = 0; i < after.size(); i++) {
      bool inside = int64_t(i) >= data && int64_t(i) < data + kXaDataSize;
      ASSERT_EQ(after[i], inside ? 0x77 : before[i]) << "byte " << i;
    }
    CloseStrFile(doc);
  }
}

TEST_F(StrDocumentTest, ChunkCountLimit) {
  for (int chunks : {20, 21}) {
    StrBuilder b(2048, false);
    FrameRecipe big;
    big.Chunks = chunks;
    b.AddFrame(FrameRecipe{});
    b.AddFrame(big);
    b.AddFrame(FrameRecipe{});
    ASSERT_EQ(Open(b), 0);
    sink.texts.clear();
    doc.CurrentSector = 1;
    int r = ReadFrame(doc);
    if (chunks == 20) {
      EXPECT_EQ(r, 0);
      EXPECT_EQ(doc.NextSector, 21);
      EXPECT_TRUE(sink.texts.empty());
    } else {
      EXPECT_EQ(r, -1);
      ASSERT_EQ(sink.texts.size(), 1u);
      EXPECT_EQ(sink.texts[0], "フレームのサイズが大きすぎます。(21)");
    }
    CloseStrFile(doc);
  }
}

TEST_F(StrDocumentTest, ChunkZeroWithoutStatusIsNoFrameStart) {
  StrBuilder b(2048, false);
  b.AddFrame(FrameRecipe{});
  FrameRecipe odd;
  odd.Status = 0;
  odd.Number = 50;
  b.AddFrame(odd);
  FrameRecipe next;
  next.Number = 2;
  b.AddFrame(next);
  ASSERT_EQ(Open(b), 0);
  doc.CurrentSector = 1;
  ASSERT_EQ(ReadFrame(doc), 0);
  EXPECT_EQ(doc.CurrentSector, 2);
  EXPECT_EQ(doc.ChunkHeader.FrameNumber, 2u);
}

TEST_F(StrDocumentTest, NoFrameWithin150SectorsReturnsOne) {
  StrBuilder b(2352);
  b.AddFrame(FrameRecipe{});
  for (int i = 0; i < 160; i++) b.AddFiller();
  b.AddFrame(FrameRecipe{});
  ASSERT_EQ(Open(b), 0);
  doc.CurrentSector = 1;
  EXPECT_EQ(ReadFrame(doc), 1);
  EXPECT_EQ(doc.CurrentSector, 1);
}

TEST_F(StrDocumentTest, WriteFrameRewritesOnlyUserData) {
  for (int size : {2048, 2336, 2352}) {
    SCOPED_TRACE(size);
    MovieRecipe m = DoubleSpeedMovie(size);
    if (size == 2048) m.AudioCoding = -1;
    m.Frames = 8;
    ASSERT_EQ(Open(BuildMovie(m)), 0);
    doc.SealSectors = false;  // checksums left as they were
    auto before = ReadFileBytes(doc.Path);
    doc.CurrentSector = 0;
    ASSERT_EQ(ReadFrame(doc), 0);
    doc.CurrentSector = doc.NextSector;
    ASSERT_EQ(ReadFrame(doc), 0);
    ASSERT_EQ(WriteFrame(doc), 0);
    EXPECT_EQ(ReadFileBytes(doc.Path), before);  // unchanged frame, same bytes

    doc.FrameBuffer.assign(doc.FrameBuffer.size(), 0xEE);
    doc.ChunkHeader.FrameNumber = 999;
    ASSERT_EQ(WriteFrame(doc), 0);
    auto after = ReadFileBytes(doc.Path);
    ASSERT_EQ(after.size(), before.size());
    std::vector<bool> inFrame(after.size(), false);
    for (int j = 0; j < doc.ChunkHeader.ChunkCount; j++) {
      int64_t at = UserDataOffset(doc.Layout(), doc.ChunkSectors[j]);
      for (int k = 0; k < kUserDataSize; k++) inFrame[size_t(at + k)] = true;
      VideoChunkHeader h = VideoChunkHeader::Parse(&after[size_t(at)]);
      EXPECT_EQ(h.ChunkNumber, j);
      EXPECT_EQ(h.FrameNumber, 999u);
      EXPECT_EQ(after[size_t(at) + 100], 0xEE);
    }
    for (size_t i = 0; i < after.size(); i++) {
      if (inFrame[i]) continue;
      ASSERT_EQ(after[i], before[i]) << "byte " << i;
    }
    CloseStrFile(doc);
  }
}

TEST_F(StrDocumentTest, ReadOnlyDocumentRefusesEveryWrite) {
  MovieRecipe m = DoubleSpeedMovie(2352);
  m.Frames = 6;
  std::string path = Save(BuildMovie(m));
  auto before = ReadFileBytes(path);
  ASSERT_EQ(OpenStrFile(doc, path, /*readOnly=*/true), 0);
  EXPECT_TRUE(doc.ReadOnly);
  doc.CurrentSector = 0;
  ASSERT_EQ(ReadFrame(doc), 0);
  EXPECT_EQ(WriteFrame(doc), -1);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(sink.texts[0], msg::kReadOnly.Text);
  hook.Install([](uint8_t*) { return 1; });
  doc.CurrentSector = doc.NextSector;
  EXPECT_EQ(ReadFrame(doc), -1);
  hook.Remove();
  EXPECT_EQ(ReadFileBytes(path), before);

  // Given a host of their own, the reads and writes report to it alone.
  const size_t said = sink.texts.size();
  CollectingHost other;
  doc.CurrentSector = 0;
  ASSERT_EQ(ReadFrame(doc, other), 0);
  EXPECT_EQ(WriteFrame(doc, other), -1);
  hook.Install([](uint8_t*) { return 1; });
  doc.CurrentSector = doc.NextSector;
  EXPECT_EQ(ReadFrame(doc, other), -1);
  hook.Remove();
  {
    DocumentEdit edit(doc, other);
    EXPECT_FALSE(edit.Ok());
  }
  EXPECT_EQ(sink.texts.size(), said);
  EXPECT_EQ(other.texts, std::vector<std::string>(3, msg::kReadOnly.Text));
  EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(StrDocumentTest, FileWithoutWritePermissionOpensReadOnly) {
  MovieRecipe m = DoubleSpeedMovie(2336);
  m.Frames = 6;
  std::string path = Save(BuildMovie(m));
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  std::filesystem::permissions(std::filesystem::path(path).parent_path(),
                               std::filesystem::perms::all);
  // Root may write anything; test as an ordinary user in a child process.
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        CollectingHost s;
        StrDocument d(s);
        if (OpenStrFile(d, path) != 0) _exit(4);
        if (!d.ReadOnly) _exit(5);
        d.CurrentSector = 0;
        if (ReadFrame(d) != 0 || WriteFrame(d) != -1) _exit(6);
        _exit(s.texts.size() == 1 && s.texts[0] == msg::kReadOnly.Text ? 0 : 7);
      },
      ::testing::ExitedWithCode(0), "");
}

// Cut and damaged files must fail cleanly or open; never read or write
// outside a buffer (the sanitizer build checks that).
TEST_F(StrDocumentTest, TruncatedAndCorruptFilesAreHandledSafely) {
  MovieRecipe m = DoubleSpeedMovie(2352);
  m.Frames = 12;
  auto good = BuildMovie(m).Bytes();
  std::mt19937 random(7);
  for (int round = 0; round < 60; round++) {
    auto bytes = good;
    if (round < 30) {
      bytes.resize(random() % bytes.size());
    } else {
      for (int k = 0; k < 40; k++) bytes[random() % bytes.size()] = uint8_t(random());
      // Make chunk headers hostile too.
      size_t at = 68 + 2352 * (random() % 20);
      PutU16(&bytes[at + 6], uint16_t(random()));
    }
    std::string path = SaveBytes(bytes);
    if (OpenStrFile(doc, path) == 0) {
      doc.CurrentSector = 0;
      for (int f = 0; f < 20 && ReadFrame(doc) == 0; f++) {
        // A frame that lacks chunks is refused: its sectors are not all known.
        ASSERT_EQ(WriteFrame(doc), doc.FrameDamaged ? -1 : 0);
        doc.CurrentSector = doc.NextSector;
      }
      (void)FindPreviousFrame(doc);
    }
    CloseStrFile(doc);
  }
}

TEST_F(StrDocumentTest, LongPathsWork) {
  std::string dir = TempPath(std::string(200, 'd'));
  std::filesystem::create_directories(dir + "/" + std::string(200, 'e'));
  std::string path = dir + "/" + std::string(200, 'e') + "/movie.str";
  MovieRecipe m = DoubleSpeedMovie(2048);
  m.AudioCoding = -1;
  m.Frames = 3;
  BuildMovie(m).Write(path);
  ASSERT_GT(path.size(), 400u);
  EXPECT_EQ(OpenStrFile(doc, path), 0);
  EXPECT_EQ(doc.Path, path);
  CloseStrFile(doc);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace belmora
