#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "base/bytes.h"
#include "base/messages.h"
#include "str/disc_image.h"
#include "tests/support/disc_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

namespace fs = std::filesystem;
using test::DiscBuilder;
using test::SectorImage;

std::string Msg(const char* format, const std::string& what) {
  char text[1024];
  std::snprintf(text, sizeof text, format, what.c_str());
  return text;
}

// A missing file's message: its name and the system's reason.
std::string Unreadable(const std::string& path) {
  char text[1024];
  std::snprintf(text, sizeof text, msg::kCannotRead.Text, path.c_str(), std::strerror(ENOENT));
  return text;
}

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

// A fresh folder for one test's files.
std::string TempDir(const std::string& name) {
  std::string dir = test::TempPath(name);
  fs::create_directories(dir);
  return dir;
}

// The loose files the test discs hold, as 2336-byte sector images.
struct Contents {
  std::vector<SectorImage> Open, End, Music, Hidden;
  std::string SystemCnf = "BOOT = cdrom:\\SLPS_000.00;1\r\nTCB = 4\r\n";
  int OpenAudioSectors = 0;
};

Contents MakeContents() {
  Contents c;
  test::MovieRecipe open;
  open.Riff = false;
  open.Frames = 12;
  open.ChunkPattern = {7};
  open.AudioCoding = kCoding378Stereo;
  open.AudioChannel = 1;
  open.Interleave = 8;
  open.AudioPhase = 7;
  c.Open = test::SectorImagesOf(test::BuildMovie(open));
  for (const SectorImage& s : c.Open) c.OpenAudioSectors += s[6] == 0x64;

  test::MovieRecipe end;
  end.Riff = false;
  end.Frames = 5;
  end.ChunkPattern = {3};
  end.Width = 304;
  end.Height = 224;
  end.AudioCoding = kCoding189Mono;
  end.AudioChannel = 0;
  end.Interleave = 6;
  end.AudioPhase = 5;
  end.Bitstream = [](int) { return test::MinimalBitstream(1, 3); };
  c.End = test::SectorImagesOf(test::BuildMovie(end));

  // Two channels: 0 in two sectors of three, 1 in the third.
  test::StrBuilder music(2352, false);
  for (int i = 0; i < 24; i++) {
    if (i % 3 == 2)
      music.AddAudio(1, kCoding189Stereo, 0x11);
    else
      music.AddAudio(0, kCoding378Stereo, 0x22);
  }
  c.Music = test::SectorImagesOf(music);

  test::MovieRecipe hidden;
  hidden.Riff = false;
  hidden.Frames = 3;
  hidden.ChunkPattern = {2};
  hidden.Width = 160;
  hidden.Height = 112;
  c.Hidden = test::SectorImagesOf(test::BuildMovie(hidden));
  return c;
}

DiscBuilder MakeBuilder(const Contents& c) {
  DiscBuilder b;
  b.AddDataFile("/SYSTEM.CNF", Bytes(c.SystemCnf));
  b.AddSectorFile("/MOVIE/OPEN.STR", c.Open);
  b.AddSectorFile("/MOVIE/END.STR", c.End);
  b.AddSectorFile("/SOUND/MUSIC.XA", c.Music);
  b.AddUnlisted(c.Hidden);
  b.SetTrailingSectors(3);
  return b;
}

enum class Form { kIso, kBinCue, kBinOnly };

std::string FormName(Form f) {
  return f == Form::kIso ? "Iso" : f == Form::kBinCue ? "BinCue" : "BinOnly";
}

// Writes the disc in `form` into `dir`; returns the path to open.
std::string WriteDisc(const DiscBuilder& b, Form form, const std::string& dir) {
  switch (form) {
    case Form::kIso:
      b.WriteIso(dir + "/DISC.ISO");
      return dir + "/DISC.ISO";
    case Form::kBinCue:
      b.WriteBinCue(dir + "/disc.bin", dir + "/disc.cue");
      return dir + "/disc.cue";
    case Form::kBinOnly:
      test::WriteFileBytes(dir + "/disc.bin", b.RawBytes());
      return dir + "/disc.bin";
  }
  return {};
}

std::vector<uint8_t> ReadRange(const std::string& path, int64_t offset, int64_t size) {
  const auto all = test::ReadFileBytes(path);
  if (offset < 0 || offset + size > int64_t(all.size())) return {};
  return {all.begin() + offset, all.begin() + offset + size};
}

class DiscImageFormTest : public ::testing::TestWithParam<Form> {
 protected:
  void SetUp() override {
    contents_ = MakeContents();
    builder_ = std::make_unique<DiscBuilder>(MakeBuilder(contents_));
    dir_ = TempDir("disc");
    path_ = WriteDisc(*builder_, GetParam(), dir_);
    ASSERT_TRUE(image_.Open(path_)) << image_.LastError();
  }
  void TearDown() override { fs::remove_all(dir_); }
  bool Raw() const { return GetParam() != Form::kIso; }

  Contents contents_;
  std::unique_ptr<DiscBuilder> builder_;
  std::string dir_, path_;
  DiscImage image_;
};

TEST_P(DiscImageFormTest, ListsEveryEntryWhereTheBuilderPutIt) {
  const DataTrack& t = image_.Track();
  EXPECT_EQ(t.SectorSize, Raw() ? 2352 : 2048);
  EXPECT_EQ(t.DataOffset, Raw() ? 24 : 0);
  EXPECT_EQ(t.FileOffset, 0);
  EXPECT_EQ(t.StartLba, 0);
  EXPECT_EQ(t.SectorCount, builder_->SectorCount());
  EXPECT_EQ(fs::path(t.FilePath).filename(), GetParam() == Form::kIso ? "DISC.ISO" : "disc.bin");

  // Each directory followed by its contents, in the directory's (name) order.
  std::vector<std::string> paths;
  for (const DiscEntry& e : image_.Entries()) paths.push_back(e.Path);
  EXPECT_EQ(paths, (std::vector<std::string>{"/MOVIE", "/MOVIE/END.STR", "/MOVIE/OPEN.STR",
                                             "/SOUND", "/SOUND/MUSIC.XA", "/SYSTEM.CNF"}));
  for (const test::DiscPlacement& p : builder_->Placements()) {
    SCOPED_TRACE(p.Path);
    const DiscEntry* e = image_.Find(p.Path);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->IsDirectory, p.IsDirectory);
    EXPECT_EQ(e->Lsn, p.Lsn);
    EXPECT_EQ(e->Size, p.Size);
    EXPECT_EQ(e->Sectors, p.Sectors);
  }
  EXPECT_EQ(image_.Find("/SYSTEM.CNF")->Size, contents_.SystemCnf.size());
  EXPECT_EQ(image_.Find("/MOVIE/OPEN.STR")->Sectors, int64_t(contents_.Open.size()));
  // The XA records, as libiso9660 hands them over.
  EXPECT_EQ(image_.Find("/MOVIE/OPEN.STR")->Xa, (XaRecord{0x3555, 1}));
  EXPECT_EQ(image_.Find("/SYSTEM.CNF")->Xa, (XaRecord{0x0D55, 0}));
  EXPECT_EQ(image_.Find("/SOUND")->Xa, (XaRecord{0x8D55, 0}));
}

TEST_P(DiscImageFormTest, FindsPathsWithoutRegardToCase) {
  const DiscEntry* open = image_.Find("/MOVIE/OPEN.STR");
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(image_.Find("/movie/open.str"), open);
  EXPECT_EQ(image_.Find("Movie/Open.Str"), open);
  EXPECT_EQ(image_.Find("/MOVIE/OPEN.STR;1"), open);
  EXPECT_EQ(image_.Find("\\MOVIE\\OPEN.STR"), open);
  EXPECT_EQ(image_.Find("/sound/"), image_.Find("/SOUND"));
  EXPECT_EQ(image_.Find("/MOVIE/OPEN"), nullptr);
  EXPECT_EQ(image_.Find("/OPEN.STR"), nullptr);

  EXPECT_FALSE(image_.Locate("/MOVIE/GONE.STR"));
  EXPECT_EQ(image_.LastError(), Msg(msg::kDiscFileNotFound.Text, "/MOVIE/GONE.STR"));
  auto x = image_.Locate("/movie/end.str");
  ASSERT_TRUE(x);
  EXPECT_EQ(x->FirstLba, image_.Find("/MOVIE/END.STR")->Lsn);
}

TEST_P(DiscImageFormTest, ExtentsPointAtTheFilesOwnBytes) {
  for (auto [path, sectors] :
       {std::pair{"/MOVIE/OPEN.STR", &contents_.Open}, std::pair{"/MOVIE/END.STR", &contents_.End},
        std::pair{"/SOUND/MUSIC.XA", &contents_.Music}}) {
    SCOPED_TRACE(path);
    const FileExtent x = image_.ExtentOf(*image_.Find(path));
    EXPECT_EQ(x.ImagePath, image_.Track().FilePath);
    EXPECT_EQ(x.SectorSize, Raw() ? 2352 : 2048);
    EXPECT_EQ(x.DataOffset, Raw() ? 24 : 0);
    EXPECT_EQ(x.FirstLba, builder_->Placement(path).Lsn);
    ASSERT_EQ(x.SectorCount, int64_t(sectors->size()));
    const auto stored = ReadRange(x.ImagePath, x.ByteOffset, x.SectorCount * x.SectorSize);
    ASSERT_EQ(stored.size(), size_t(x.SectorCount * x.SectorSize));
    if (!Raw()) {
      EXPECT_EQ(stored, test::UserDataOf(*sectors));
      continue;
    }
    for (int64_t n = 0; n < x.SectorCount; n++) {
      const uint8_t* s = &stored[size_t(n * 2352)];
      ASSERT_EQ(std::memcmp(s + 16, (*sectors)[size_t(n)].data(), kSectorImageSize), 0) << n;
      ASSERT_EQ(std::memcmp(s, kSyncHeader.data(), 12), 0);
      // BCD minute, second, frame of lba + 150, then mode 2.
      const int64_t a = x.FirstLba + n + 150;
      const auto bcd = [](int64_t v) { return uint8_t(v / 10 << 4 | v % 10); };
      ASSERT_EQ(s[12], bcd(a / 4500));
      ASSERT_EQ(s[13], bcd(a / 75 % 60));
      ASSERT_EQ(s[14], bcd(a % 75));
      ASSERT_EQ(s[15], 2);
    }
  }
  // A Form 1 data file's user data.
  const FileExtent cnf = image_.ExtentOf(*image_.Find("/SYSTEM.CNF"));
  EXPECT_EQ(ReadRange(cnf.ImagePath, cnf.ByteOffset + cnf.DataOffset,
                      int64_t(contents_.SystemCnf.size())),
            Bytes(contents_.SystemCnf));
}

TEST_P(DiscImageFormTest, ClassifiesEachFile) {
  TrackSectorReader reader(image_.Track());
  ASSERT_TRUE(reader.IsOpen());
  auto classify = [&](const char* path) {
    const DiscEntry* e = image_.Find(path);
    return ClassifySectors(reader, e->Lsn, e->Sectors);
  };
  const ContentInfo open = classify("/MOVIE/OPEN.STR");
  EXPECT_EQ(open.Kind, ContentKind::kStrVideo);
  EXPECT_EQ(open.Sectors, int64_t(contents_.Open.size()));
  EXPECT_EQ(open.Frames, 12);
  EXPECT_EQ(open.Width, 320);
  EXPECT_EQ(open.Height, 240);
  EXPECT_EQ(open.MdecVersion, 2);
  const ContentInfo end = classify("/MOVIE/END.STR");
  EXPECT_EQ(end.Kind, ContentKind::kStrVideo);
  EXPECT_EQ(end.Frames, 5);
  EXPECT_EQ(end.Width, 304);
  EXPECT_EQ(end.Height, 224);
  EXPECT_EQ(end.MdecVersion, 3);
  const ContentInfo music = classify("/SOUND/MUSIC.XA");
  EXPECT_EQ(classify("/SYSTEM.CNF").Kind, ContentKind::kOther);
  if (Raw()) {
    EXPECT_EQ(open.Channels,
              (std::vector<AudioChannelInfo>{{1, kCoding378Stereo, contents_.OpenAudioSectors}}));
    EXPECT_EQ(DescribeContent(open),
              "STR video: 12 frames 320x240 MDEC v2, audio ch 1 37.8 kHz stereo");
    ASSERT_EQ(end.Channels.size(), 1u);
    EXPECT_EQ(end.Channels[0].CodingInfo, kCoding189Mono);
    EXPECT_EQ(music.Kind, ContentKind::kXaAudio);
    EXPECT_EQ(music.Channels,
              (std::vector<AudioChannelInfo>{{0, kCoding378Stereo, 16}, {1, kCoding189Stereo, 8}}));
    EXPECT_EQ(DescribeContent(music),
              "XA audio: ch 0 37.8 kHz stereo 16 sectors, ch 1 18.9 kHz stereo 8 sectors");
  } else {
    // 2048-byte sectors keep no subheaders: no sector is audio.
    EXPECT_TRUE(open.Channels.empty());
    EXPECT_EQ(DescribeContent(open), "STR video: 12 frames 320x240 MDEC v2, no audio");
    EXPECT_EQ(music.Kind, ContentKind::kOther);
  }
}

TEST_P(DiscImageFormTest, ScanFindsTheMovieNoFileCovers) {
  TrackSectorReader reader(image_.Track());
  std::vector<SectorExtent> covered;
  for (const DiscEntry& e : image_.Entries()) covered.push_back({e.Lsn, e.Sectors});
  const auto runs = FindUncoveredRuns(reader, covered);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].First, builder_->UnlistedLsn(0));
  EXPECT_EQ(runs[0].Count, int64_t(contents_.Hidden.size()));
  EXPECT_EQ(runs[0].Info.Kind, ContentKind::kStrVideo);
  EXPECT_EQ(runs[0].Info.Frames, 3);
  EXPECT_EQ(runs[0].Info.Width, 160);

  // Without the directory's word every movie is a run of its own.
  const auto all = FindUncoveredRuns(reader, {});
  std::set<int64_t> starts;
  for (const ContentRun& r : all) starts.insert(r.First);
  EXPECT_TRUE(starts.count(image_.Find("/MOVIE/OPEN.STR")->Lsn));
  EXPECT_TRUE(starts.count(builder_->UnlistedLsn(0)));
}

INSTANTIATE_TEST_SUITE_P(Forms, DiscImageFormTest,
                         ::testing::Values(Form::kIso, Form::kBinCue, Form::kBinOnly),
                         [](const auto& info) { return FormName(info.param); });

TEST(DiscImageTest, ScanTellsMoviesFromAudio) {
  const Contents c = MakeContents();
  DiscBuilder b;
  b.AddSectorFile("/MOVIE/OPEN.STR", c.Open);
  b.AddUnlisted(c.End);    // a movie with its audio
  b.AddUnlisted(c.Music);  // audio alone
  const std::string dir = TempDir("scan");
  DiscImage image;
  ASSERT_TRUE(image.Open(WriteDisc(b, Form::kBinCue, dir))) << image.LastError();
  TrackSectorReader reader(image.Track());
  std::vector<SectorExtent> covered;
  for (const DiscEntry& e : image.Entries()) covered.push_back({e.Lsn, e.Sectors});
  const auto runs = FindUncoveredRuns(reader, covered);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].First, b.UnlistedLsn(0));
  EXPECT_EQ(runs[0].Count, int64_t(c.End.size()));
  EXPECT_EQ(runs[0].Info.Kind, ContentKind::kStrVideo);
  EXPECT_EQ(runs[0].Info.Channels.size(), 1u);
  EXPECT_EQ(runs[1].First, b.UnlistedLsn(1));
  EXPECT_EQ(runs[1].Count, int64_t(c.Music.size()));
  EXPECT_EQ(runs[1].Info.Kind, ContentKind::kXaAudio);
  fs::remove_all(dir);
}

// A cue sheet as disc tools write them: CRLF lines, a byte order mark,
// remarks, a quoted name with spaces in other case than on disk, the data
// track a few sectors into its file and an audio track after it.
TEST(DiscImageTest, CueSheetPlacesTheTrackInItsFile) {
  const Contents c = MakeContents();
  DiscBuilder b = MakeBuilder(c);
  const std::string dir = TempDir("cue");
  constexpr int kLead = 5, kAudio = 40;
  std::vector<uint8_t> bin(kLead * 2352, 0);
  const auto track = b.RawBytes(kLead);
  bin.insert(bin.end(), track.begin(), track.end());
  bin.resize(bin.size() + kAudio * 2352, 0x5A);
  test::WriteFileBytes(dir + "/game disc.bin", bin);
  const int64_t dataEnd = kLead + b.SectorCount();
  auto msf = [](int64_t s) {
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", int(s / 4500), int(s / 75 % 60), int(s % 75));
    return std::string(t);
  };
  const std::string cue =
      "\xEF\xBB\xBFREM made by hand\r\nFILE \"Game Disc.BIN\" BINARY\r\n"
      "  TRACK 01 MODE2/2352\r\n    INDEX 00 00:00:00\r\n    INDEX 01 " +
      msf(kLead) + "\r\n  TRACK 02 AUDIO\r\n    INDEX 00 " + msf(dataEnd) + "\r\n    INDEX 01 " +
      msf(dataEnd + 2) + "\r\n";
  test::WriteFileBytes(dir + "/game.cue", Bytes(cue));

  DiscImage image;
  ASSERT_TRUE(image.Open(dir + "/game.cue")) << image.LastError();
  const DataTrack& t = image.Track();
  EXPECT_EQ(fs::path(t.FilePath).filename(), "game disc.bin");
  EXPECT_EQ(t.FileOffset, kLead * 2352);
  EXPECT_EQ(t.StartLba, kLead);
  EXPECT_EQ(t.SectorCount, b.SectorCount());
  ASSERT_EQ(image.Entries().size(), b.Placements().size());
  const FileExtent x = *image.Locate("/MOVIE/OPEN.STR");
  EXPECT_EQ(x.FirstLba, kLead + b.Placement("/MOVIE/OPEN.STR").Lsn);
  EXPECT_EQ(x.ByteOffset, x.FirstLba * 2352);
  const auto first = ReadRange(x.ImagePath, x.ByteOffset, 2352);
  ASSERT_EQ(first.size(), 2352u);
  EXPECT_EQ(std::memcmp(first.data() + 16, c.Open[0].data(), kSectorImageSize), 0);

  // The scan stops where the audio track starts.
  TrackSectorReader reader(t);
  std::vector<SectorExtent> covered;
  for (const DiscEntry& e : image.Entries()) covered.push_back({e.Lsn, e.Sectors});
  EXPECT_EQ(FindUncoveredRuns(reader, covered).size(), 1u);
  SectorHead h;
  EXPECT_FALSE(reader.ReadHead(b.SectorCount(), h));
  fs::remove_all(dir);
}

TEST(DiscImageTest, ParsesCueSheets) {
  int bad = 0;
  auto cue = ParseCueSheet(
      "FILE data.bin BINARY\n TRACK 1 mode1/2048\n  PREGAP 00:02:00\n  INDEX 1 00:00:00\n"
      "FILE \"/abs/track 2.bin\" BINARY\n TRACK 02 AUDIO\n  INDEX 01 00:01:74\n",
      "/some/folder", bad);
  ASSERT_TRUE(cue);
  ASSERT_EQ(cue->Tracks.size(), 2u);
  EXPECT_EQ(cue->Tracks[0].Mode, "MODE1/2048");
  EXPECT_EQ(cue->Tracks[0].File, "/some/folder/data.bin");
  EXPECT_EQ(cue->Tracks[0].Pregap, 150);
  EXPECT_EQ(cue->Tracks[0].Index0, -1);
  EXPECT_EQ(cue->Tracks[1].File, "/abs/track 2.bin");
  EXPECT_EQ(cue->Tracks[1].Index1, 149);

  for (auto [text, line] :
       {std::pair{"TRACK 01 MODE2/2352\n", 1},  // no FILE yet
        std::pair{"FILE a.bin BINARY\nTRACK 01\n", 2},
        std::pair{"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", 3},
        std::pair{"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", 2}}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseCueSheet(text, "/", bad));
    EXPECT_EQ(bad, line);
  }
}

TEST(DiscImageTest, FailuresGiveTheirMessages) {
  const std::string dir = TempDir("bad");
  DiscImage image;
  auto writeText = [&](const std::string& name, const std::string& text) {
    test::WriteFileBytes(dir + "/" + name, Bytes(text));
    return dir + "/" + name;
  };

  EXPECT_FALSE(image.Open(dir + "/none.iso"));
  EXPECT_EQ(image.LastError(), Unreadable(dir + "/none.iso"));

  const std::string cueMissing = writeText(
      "missing.cue", "FILE \"gone.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n");
  EXPECT_FALSE(image.Open(cueMissing));
  EXPECT_EQ(image.LastError(), Msg(msg::kCueFileMissing.Text, dir + "/gone.bin"));

  test::WriteFileBytes(dir + "/music.bin", std::vector<uint8_t>(2352 * 40, 0));
  const std::string audio =
      writeText("audio.cue",
                "FILE \"music.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                "  TRACK 02 MODE2/2352\n    INDEX 01 00:00:20\n");
  EXPECT_FALSE(image.Open(audio));
  EXPECT_EQ(image.LastError(), Msg(msg::kDiscFirstTrackAudio.Text, audio));

  const std::string noTrack = writeText("empty.cue", "REM nothing here\n");
  EXPECT_FALSE(image.Open(noTrack));
  EXPECT_EQ(image.LastError(), Msg(msg::kCueNoTrack.Text, noTrack));

  const std::string badLine =
      writeText("bad.cue", "FILE \"music.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 1:2\n");
  EXPECT_FALSE(image.Open(badLine));
  char expect[1024];
  std::snprintf(expect, sizeof expect, msg::kCueBadLine.Text, badLine.c_str(), 3);
  EXPECT_EQ(image.LastError(), expect);

  const std::string mode = writeText(
      "cdi.cue", "FILE \"music.bin\" BINARY\n  TRACK 01 CDI/2352\n    INDEX 01 00:00:00\n");
  EXPECT_FALSE(image.Open(mode));
  EXPECT_EQ(image.LastError(), Msg(msg::kCueUnsupportedMode.Text, "CDI/2352"));

  // A track too far into its file for libiso9660 to find its volume.
  const Contents c = MakeContents();
  DiscBuilder b = MakeBuilder(c);
  std::vector<uint8_t> bin(75 * 2352, 0);
  const auto raw = b.RawBytes(75);
  bin.insert(bin.end(), raw.begin(), raw.end());
  test::WriteFileBytes(dir + "/late.bin", bin);
  const std::string late = writeText(
      "late.cue", "FILE \"late.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:01:00\n");
  EXPECT_FALSE(image.Open(late));
  EXPECT_EQ(image.LastError(), Msg(msg::kDiscTrackOffset.Text, late));

  // No primary volume descriptor: plain data, and a disc with it wiped.
  const std::string junk = dir + "/junk.bin";
  test::WriteFileBytes(junk, std::vector<uint8_t>(2352 * 40, 0x41));
  EXPECT_FALSE(image.Open(junk));
  EXPECT_EQ(image.LastError(), Msg(msg::kDiscNoVolume.Text, junk));
  auto iso = b.IsoBytes();
  std::fill_n(iso.begin() + 16 * 2048, 2048, 0);
  test::WriteFileBytes(dir + "/wiped.iso", iso);
  EXPECT_FALSE(image.Open(dir + "/wiped.iso"));
  EXPECT_EQ(image.LastError(), Msg(msg::kDiscNoVolume.Text, dir + "/wiped.iso"));
  auto bin2 = b.RawBytes();
  std::fill_n(bin2.begin() + 16 * 2352 + 24, 2048, 0);
  test::WriteFileBytes(dir + "/wiped.bin", bin2);
  const std::string wipedCue = writeText("wiped.cue", DiscBuilder::CueText("wiped.bin"));
  EXPECT_FALSE(image.Open(wipedCue));
  EXPECT_EQ(image.LastError(), Msg(msg::kDiscNoVolume.Text, wipedCue));

  // Directories whose extent lies past the end of the image: the root
  // (in the volume descriptor) and a subdirectory (in the root's records).
  const uint32_t beyond = uint32_t(b.SectorCount() + 100);
  auto rootGone = b.IsoBytes();
  PutU32(&rootGone[16 * 2048 + 156 + 2], beyond);
  test::WriteFileBytes(dir + "/root.iso", rootGone);
  EXPECT_FALSE(image.Open(dir + "/root.iso"));
  EXPECT_EQ(image.LastError(), Msg(msg::kDiscDirectoryDamaged.Text, dir + "/root.iso"));
  EXPECT_TRUE(image.Entries().empty());

  auto subGone = b.RawBytes();
  const int64_t root = b.Placement("/MOVIE").Lsn - 1;  // the root directory comes just before
  uint8_t* records = &subGone[size_t(root * 2352 + 24)];
  bool patched = false;
  for (size_t at = 0; records[at] != 0; at += records[at]) {
    if (records[at + 32] == 5 && std::memcmp(&records[at + 33], "MOVIE", 5) == 0) {
      PutU32(&records[at + 2], beyond);
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  test::WriteFileBytes(dir + "/sub.bin", subGone);
  EXPECT_FALSE(image.Open(dir + "/sub.bin"));
  EXPECT_EQ(image.LastError(), Msg(msg::kDiscDirectoryDamaged.Text, dir + "/sub.bin"));
  fs::remove_all(dir);
}

TEST(DiscImageTest, SplitsImagePaths) {
  EXPECT_EQ(SplitImagePath("GAME.bin::/MOVIE/OPEN.STR"),
            (ImagePath{"GAME.bin", "/MOVIE/OPEN.STR"}));
  EXPECT_EQ(SplitImagePath("/discs/a::b/game.cue::/XA/M1.XA"),
            (ImagePath{"/discs/a::b/game.cue", "/XA/M1.XA"}));
  EXPECT_EQ(SplitImagePath("c.iso::/"), (ImagePath{"c.iso", "/"}));
  EXPECT_EQ(SplitImagePath("x.iso::/a::/b"), (ImagePath{"x.iso", "/a::/b"}));
  EXPECT_FALSE(SplitImagePath("/movies/open.str"));
  EXPECT_FALSE(SplitImagePath("game.bin::MOVIE"));
  EXPECT_FALSE(SplitImagePath("::/MOVIE/OPEN.STR"));
}

// Discs made by a real mastering tool list the same files at the places its
// directory gives, each extent holding the file's bytes.
TEST(DiscImageTest, ReadsIsosMadeByMasteringTools) {
  std::vector<std::vector<std::string>> tools;
  if (test::HaveTool("genisoimage")) tools.push_back({"genisoimage", "-quiet"});
  if (test::HaveTool("xorriso")) tools.push_back({"xorriso", "-as", "mkisofs", "-quiet"});
  if (tools.empty()) GTEST_SKIP() << "neither genisoimage nor xorriso is installed";
  const Contents c = MakeContents();
  const std::string dir = TempDir("tool");
  const std::map<std::string, std::vector<uint8_t>> files = {
      {"/MOVIE/OPEN.STR", test::UserDataOf(c.Open)},
      {"/MOVIE/END.STR", test::UserDataOf(c.End)},
      {"/SOUND/MUSIC.XA", test::UserDataOf(c.Music)},
      {"/SYSTEM.CNF", Bytes(c.SystemCnf)}};
  for (const auto& [path, bytes] : files) {
    fs::create_directories(fs::path(dir + "/root" + path).parent_path());
    test::WriteFileBytes(dir + "/root" + path, bytes);
  }
  for (std::vector<std::string> command : tools) {
    SCOPED_TRACE(command[0]);
    const std::string iso = dir + "/" + command[0] + ".iso";
    command.insert(command.end(), {"-o", iso, dir + "/root"});
    auto r = test::RunCommand(command);
    ASSERT_EQ(r.Status, 0) << r.Err;
    DiscImage image;
    ASSERT_TRUE(image.Open(iso)) << image.LastError();
    EXPECT_EQ(image.Track().SectorSize, 2048);
    std::set<std::string> listed;
    for (const DiscEntry& e : image.Entries()) listed.insert(e.Path);
    EXPECT_EQ(listed, (std::set<std::string>{"/MOVIE", "/MOVIE/END.STR", "/MOVIE/OPEN.STR",
                                             "/SOUND", "/SOUND/MUSIC.XA", "/SYSTEM.CNF"}));
    for (const auto& [path, bytes] : files) {
      const DiscEntry* e = image.Find(path);
      ASSERT_NE(e, nullptr) << path;
      EXPECT_EQ(e->Size, bytes.size()) << path;
      EXPECT_FALSE(e->Xa) << path;
      const FileExtent x = image.ExtentOf(*e);
      EXPECT_EQ(ReadRange(x.ImagePath, x.ByteOffset, int64_t(bytes.size())), bytes) << path;
    }
    TrackSectorReader reader(image.Track());
    const DiscEntry* open = image.Find("/MOVIE/OPEN.STR");
    EXPECT_EQ(ClassifySectors(reader, open->Lsn, open->Sectors).Frames, 12);
  }
  fs::remove_all(dir);
}

// Another ISO 9660 reader finds the builder's files where it says it put them.
TEST(DiscBuilderTest, IsoinfoAgreesWithThePlacements) {
  if (!test::HaveTool("isoinfo")) GTEST_SKIP() << "isoinfo is not installed";
  const DiscBuilder b = MakeBuilder(MakeContents());
  const std::string iso = test::TempPath("placed.iso");
  b.WriteIso(iso);
  auto r = test::RunCommand({"isoinfo", "-l", "-i", iso});
  ASSERT_EQ(r.Status, 0) << r.Err;
  // Lines like "----------   0    0    0      29 Jan  1 2024 [     23 00]  SYSTEM.CNF;1 ".
  std::map<std::string, std::pair<int64_t, uint32_t>> listed;  // name: extent, size
  std::istringstream lines(r.Out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream w(line);
    std::string perms, month, bracket, flags, name;
    int owner, group, links, day, year;
    int64_t extent;
    uint32_t size;
    if (w >> perms >> owner >> group >> links >> size >> month >> day >> year >> bracket >>
        extent >> flags >> name)
      listed[name] = {extent, size};
  }
  for (const test::DiscPlacement& p : b.Placements()) {
    if (p.IsDirectory) continue;
    const std::string name = p.Path.substr(p.Path.rfind('/') + 1) + ";1";
    ASSERT_TRUE(listed.count(name)) << name << "\n" << r.Out;
    EXPECT_EQ(listed[name].first, p.Lsn) << name;
    EXPECT_EQ(listed[name].second, p.Size) << name;
  }
  fs::remove(iso);
}

// Sector heads made by hand, for the rules themselves.
class HeadReader : public SectorReader {
 public:
  int64_t SectorCount() const override { return int64_t(heads.size()); }
  bool ReadHead(int64_t n, SectorHead& out) override {
    if (n == failAt) return false;
    out = heads[size_t(n)];
    return true;
  }
  std::vector<SectorHead> heads;
  int64_t failAt = -1;
};

SectorHead Chunk(int chunk, int chunks, uint16_t status = 0x0160, uint16_t type = 0x8001,
                 Subheader sub = kVideoSubheader) {
  SectorHead h;
  h.HasSubheader = true;
  h.Sub = sub;
  VideoChunkHeader c;
  c.Status = status;
  c.Type = type;
  c.ChunkNumber = uint16_t(chunk);
  c.ChunkCount = uint16_t(chunks);
  c.Width = 64;
  c.Height = 48;
  c.MdecHeader = {0, 0, 0, 0x38, 1, 0, 2, 0};
  c.Store(h.UserData.data());
  return h;
}
SectorHead Audio(int channel, int coding) {
  SectorHead h;
  h.HasSubheader = true;
  h.Sub = AudioSubheader(channel, coding);
  return h;
}
SectorHead Plain(Subheader sub) {
  SectorHead h;
  h.HasSubheader = true;
  h.Sub = sub;
  return h;
}

TEST(DiscContentTest, SectorRoles) {
  EXPECT_EQ(RoleOf(Chunk(0, 1)), SectorRole::kVideo);
  EXPECT_TRUE(IsFrameStart(Chunk(0, 20)));
  EXPECT_FALSE(IsFrameStart(Chunk(1, 2)));
  EXPECT_EQ(RoleOf(Chunk(1, 2)), SectorRole::kVideo);
  EXPECT_EQ(RoleOf(Chunk(0, 21)), SectorRole::kOther);  // more chunks than a frame holds
  EXPECT_EQ(RoleOf(Chunk(0, 0)), SectorRole::kOther);
  EXPECT_EQ(RoleOf(Chunk(3, 3)), SectorRole::kOther);
  EXPECT_EQ(RoleOf(Chunk(0, 4, 0x0150)), SectorRole::kOther);
  EXPECT_EQ(RoleOf(Chunk(0, 4, 0x8060)), SectorRole::kVideo);  // only the status nibble counts
  EXPECT_EQ(RoleOf(Chunk(0, 4, 0x0160, 0x8002)), SectorRole::kOther);
  // Skipped sectors are never video, whatever their data says.
  EXPECT_EQ(RoleOf(Chunk(0, 4, 0x0160, 0x8001, {1, 1, 0x28, 0})), SectorRole::kOther);
  EXPECT_EQ(RoleOf(Chunk(0, 4, 0x0160, 0x8001, kFillerSubheader)), SectorRole::kOther);
  EXPECT_EQ(RoleOf(Chunk(0, 4, 0x0160, 0x8001, {0, 0, 0, 0})), SectorRole::kVideo);
  EXPECT_EQ(RoleOf(Audio(3, kCoding189Mono)), SectorRole::kAudio);
  EXPECT_EQ(RoleOf(Plain({0, 0, 0x64, 0})), SectorRole::kAudio);
  EXPECT_EQ(RoleOf(Plain({0, 0, 0x74, 0})), SectorRole::kOther);  // trigger set
  EXPECT_EQ(RoleOf(Plain({0, 0, 0x08, 0})), SectorRole::kOther);  // data, zero header
  // Without a subheader only the chunk header speaks.
  SectorHead bare = Chunk(0, 2);
  bare.HasSubheader = false;
  bare.Sub = {1, 1, 0x64, 1};
  EXPECT_TRUE(IsFrameStart(bare));
}

TEST(DiscContentTest, ClassifiesRunsOfHeads) {
  HeadReader r;
  r.heads = {Audio(2, kCoding378Mono),
             Chunk(0, 2),
             Chunk(1, 2),
             Audio(0, kCoding189Stereo),
             Chunk(0, 1, 0x0160, 0x8001),
             Audio(2, kCoding378Stereo),
             Plain(kFillerSubheader)};
  ContentInfo all = ClassifySectors(r, 0, 100);
  EXPECT_EQ(all.Kind, ContentKind::kStrVideo);
  EXPECT_EQ(all.Sectors, 7);
  EXPECT_EQ(all.Frames, 2);
  EXPECT_EQ(all.VideoSectors, 3);
  EXPECT_EQ(all.AudioSectors, 3);
  EXPECT_EQ(all.Width, 64);
  EXPECT_EQ(all.MdecVersion, 2);
  // Ordered by channel; each keeps its first sector's coding.
  EXPECT_EQ(all.Channels,
            (std::vector<AudioChannelInfo>{{0, kCoding189Stereo, 1}, {2, kCoding378Mono, 2}}));

  EXPECT_EQ(ClassifySectors(r, 5, 2).Kind, ContentKind::kXaAudio);  // audio and a filler
  EXPECT_EQ(ClassifySectors(r, 2, 1).Kind, ContentKind::kOther);    // a chunk without its start
  EXPECT_EQ(ClassifySectors(r, 2, 2).Kind, ContentKind::kOther);    // audio beside a stray chunk
  EXPECT_EQ(DescribeContent(ClassifySectors(r, 2, 2)), "other");
  r.failAt = 4;
  const ContentInfo cut = ClassifySectors(r, 0, 7);
  EXPECT_EQ(cut.Sectors, 4);
  EXPECT_EQ(cut.Frames, 1);
}

TEST(DiscContentTest, FindsRunsOutsideCoveredExtents) {
  HeadReader r;
  const SectorHead other = Plain({0, 0, 0x08, 0});
  r.heads = {other,       Chunk(0, 2), Chunk(1, 2), other,       Audio(1, 1),
             Audio(1, 1), Chunk(0, 1), Audio(1, 1), Chunk(0, 1), Chunk(0, 1)};
  auto runs = FindUncoveredRuns(r, {});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].First, 1);
  EXPECT_EQ(runs[0].Count, 2);
  EXPECT_EQ(runs[1].First, 4);
  EXPECT_EQ(runs[1].Count, 6);  // closed by the end of the track
  EXPECT_EQ(runs[1].Info.Frames, 3);

  // A covered extent cuts a run; one covering a whole run removes it.
  runs = FindUncoveredRuns(r, {{6, 2}, {0, 3}, {9, 0}});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].First, 4);
  EXPECT_EQ(runs[0].Count, 2);
  EXPECT_EQ(runs[0].Info.Kind, ContentKind::kXaAudio);
  EXPECT_EQ(runs[1].First, 8);
  EXPECT_EQ(runs[1].Count, 2);

  r.failAt = 5;
  runs = FindUncoveredRuns(r, {});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].First, 4);
  EXPECT_EQ(runs[1].Count, 1);
}

TEST(CliLsTest, ListsAndScansADisc) {
  const Contents c = MakeContents();
  const DiscBuilder b = MakeBuilder(c);
  const std::string dir = TempDir("ls");
  const std::string cue = WriteDisc(b, Form::kBinCue, dir);

  auto text = test::RunCommand({BELMORA_CLI, "ls", cue});
  ASSERT_EQ(text.Status, 0) << text.Err;
  const auto open = b.Placement("/MOVIE/OPEN.STR");
  const std::string line = "/MOVIE/OPEN.STR  lsn " + std::to_string(open.Lsn) + "  " +
                           std::to_string(open.Size) +
                           " bytes  STR video: 12 frames 320x240 MDEC v2, audio ch 1 37.8 kHz "
                           "stereo\n";
  EXPECT_NE(text.Out.find(line), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("/SOUND/MUSIC.XA  lsn "), std::string::npos) << text.Out;
  EXPECT_EQ(text.Out.find("unlisted"), std::string::npos);
  EXPECT_EQ(std::count(text.Out.begin(), text.Out.end(), '\n'), 6);

  auto json = test::RunCommand({BELMORA_CLI, "ls", cue, "--json", "--scan"});
  ASSERT_EQ(json.Status, 0) << json.Err;
  const auto j = nlohmann::json::parse(json.Out);
  ASSERT_TRUE(j.is_array());
  ASSERT_EQ(j.size(), 7u);
  std::map<std::string, nlohmann::json> byPath;
  for (const auto& o : j)
    if (o["Path"].is_string()) byPath[o["Path"]] = o;
  const auto& o = byPath.at("/MOVIE/OPEN.STR");
  EXPECT_EQ(o["Lsn"], open.Lsn);
  EXPECT_EQ(o["Size"], open.Size);
  EXPECT_EQ(o["Sectors"], open.Sectors);
  EXPECT_EQ(o["Kind"], "str");
  EXPECT_EQ(o["ByteOffset"], open.Lsn * 2352);
  EXPECT_EQ(o["Frames"], 12);
  EXPECT_EQ(o["Width"], 320);
  EXPECT_EQ(o["AudioChannels"][0]["Channel"], 1);
  EXPECT_EQ(o["Xa"]["Attributes"], 0x3555);
  EXPECT_EQ(byPath.at("/MOVIE")["Kind"], "directory");
  EXPECT_EQ(byPath.at("/SOUND/MUSIC.XA")["Kind"], "xa");
  EXPECT_EQ(byPath.at("/SOUND/MUSIC.XA")["AudioChannels"].size(), 2u);
  EXPECT_EQ(byPath.at("/SYSTEM.CNF")["Kind"], "other");
  const auto& run = j.back();
  EXPECT_TRUE(run["Path"].is_null());
  EXPECT_EQ(run["Unlisted"], true);
  EXPECT_EQ(run["Lsn"], b.UnlistedLsn(0));
  EXPECT_EQ(run["Sectors"], c.Hidden.size());
  EXPECT_EQ(run["Kind"], "str");
  EXPECT_EQ(run["Frames"], 3);

  auto scan = test::RunCommand({BELMORA_CLI, "ls", "--scan", dir + "/disc.bin"});
  ASSERT_EQ(scan.Status, 0) << scan.Err;
  EXPECT_NE(scan.Out.find("(unlisted)  lsn " + std::to_string(b.UnlistedLsn(0)) + "  " +
                          std::to_string(c.Hidden.size()) +
                          " sectors  STR video: 3 frames 160x112 MDEC v2, no audio\n"),
            std::string::npos)
      << scan.Out;

  auto missing = test::RunCommand({BELMORA_CLI, "ls", dir + "/none.cue"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err,
            Unreadable(dir + "/none.cue") + "\n");
  auto inner = test::RunCommand({BELMORA_CLI, "ls", cue + "::/MOVIE/OPEN.STR"});
  EXPECT_EQ(inner.Status, 2);
  EXPECT_NE(test::RunCommand({BELMORA_CLI, "ls"}).Status, 0);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace belmora
