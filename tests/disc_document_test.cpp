// Files inside disc images opened as STR documents ("IMAGE.cue::/MOVIE/OPEN.STR"):
// what the commands see through such a path is what they see in the same
// STR as a loose file; edits stay inside the file's sectors, keep the
// image's addresses and leave the sectors' checksums valid; nothing that
// would change the file's length is done.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>

#include "base/bytes.h"
#include "base/messages.h"
#include "str/cd_sector.h"
#include "str/disc_document.h"
#include "str/disc_image.h"
#include "str/journal.h"
#include "str/str_document.h"
#include "tests/support/avi_builder.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/disc_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/cli_command.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

namespace fs = std::filesystem;
using test::DiscBuilder;
using test::ReadFileBytes;
using test::RunCommand;
using test::RunResult;
using test::SectorImage;

using test::Cli;
using test::FailingAfter;

std::string Text(const Message& m, const std::string& what) {
  return FormatMessage(m, what.c_str());
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, int64_t from, int64_t size) {
  return {v.begin() + from, v.begin() + from + size};
}

// Two movies with sound and an XA file, as 2336-byte sector images.
struct Contents {
  std::vector<SectorImage> Open, End, Music;
};

Contents MakeContents() {
  Contents c;
  std::mt19937 random(11);
  test::MovieRecipe open;
  open.Riff = false;
  open.Frames = 12;
  open.ChunkPattern = {9, 9, 9, 8};
  open.Width = 160;
  open.Height = 112;
  open.AudioCoding = kCoding378Stereo;
  open.AudioChannel = 1;
  open.TrailingFillers = 2;
  open.Bitstream = [&](int) {
    return test::EncodeLevels(test::RandomLevels(160, 112, random), 2, 2);
  };
  c.Open = test::SectorImagesOf(test::BuildMovie(open));

  test::MovieRecipe end;
  end.Riff = false;
  end.Frames = 6;
  end.ChunkPattern = {3};
  end.Width = 64;
  end.Height = 48;
  end.AudioCoding = kCoding189Mono;
  end.AudioChannel = 0;
  end.Interleave = 6;
  end.AudioPhase = 5;
  end.Bitstream = [&](int) { return test::EncodeLevels(test::RandomLevels(64, 48, random), 3, 2); };
  c.End = test::SectorImagesOf(test::BuildMovie(end));

  test::StrBuilder music(2352, false);
  for (int i = 0; i < 24; i++) music.AddAudio(i % 2, kCoding378Stereo, uint8_t(0x10 + i));
  c.Music = test::SectorImagesOf(music);
  return c;
}

DiscBuilder MakeBuilder(const Contents& c) {
  DiscBuilder b;
  const std::string cnf = "BOOT = cdrom:\\SLPS_000.00;1\r\n";
  b.AddDataFile("/SYSTEM.CNF", {cnf.begin(), cnf.end()});
  b.AddSectorFile("/MOVIE/OPEN.STR", c.Open);
  b.AddSectorFile("/MOVIE/END.STR", c.End);
  b.AddSectorFile("/SOUND/MUSIC.XA", c.Music);
  b.SetTrailingSectors(4);
  return b;
}

// The raw image as a disc holds it: every sector with its EDC and ECC.
std::vector<uint8_t> SealedRawBytes(const DiscBuilder& b) {
  auto raw = b.RawBytes();
  for (size_t at = 0; at < raw.size(); at += kRawSectorSize)
    SealRawSector(&raw[at], int32_t(at / kRawSectorSize) + kFirstDataAddress, true);
  return raw;
}

class DiscDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    contents = MakeContents();
    builder = std::make_unique<DiscBuilder>(MakeBuilder(contents));
    original = SealedRawBytes(*builder);
    test::WriteFileBytes(bin, original);
    const std::string cueText = DiscBuilder::CueText("disc.bin");
    test::WriteFileBytes(cue, {cueText.begin(), cueText.end()});
  }
  void TearDown() override { fs::remove_all(dir); }

  // The stored bytes of a file of the image, and where they start.
  int64_t Start(const std::string& path) const { return builder->Placement(path).Lsn * 2352; }
  int64_t Length(const std::string& path) const { return builder->Placement(path).Sectors * 2352; }
  // The file cut out of the image as a loose raw-sector file.
  std::string Loose(const std::string& path, const std::string& name) {
    const std::string to = dir + "/" + name;
    test::WriteFileBytes(to, Slice(ReadFileBytes(bin), Start(path), Length(path)));
    return to;
  }
  // Every byte of the image outside `path`'s sectors as it was.
  void ExpectOnlyInside(const std::string& path) {
    const auto now = ReadFileBytes(bin);
    ASSERT_EQ(now.size(), original.size());
    const int64_t from = Start(path), to = from + Length(path);
    EXPECT_TRUE(std::equal(now.begin(), now.begin() + from, original.begin()));
    EXPECT_TRUE(std::equal(now.begin() + to, now.end(), original.begin() + to));
  }

  std::string dir = test::TempPath("discdoc");
  std::string bin = dir + "/disc.bin", cue = dir + "/disc.cue";
  Contents contents;
  std::unique_ptr<DiscBuilder> builder;
  std::vector<uint8_t> original;
};

TEST_F(DiscDocumentTest, OpensTheFilesExtentInTheImagesLayout) {
  CollectingHost host;
  StrDocument doc(host);
  ASSERT_EQ(OpenStrFile(doc, cue + "::/movie/open.str;1", true), 0)
      << (host.texts.empty() ? "" : host.texts.back());
  EXPECT_EQ(doc.Path, FullPath(cue) + "::/MOVIE/OPEN.STR");
  EXPECT_EQ(doc.DiskPath(), FullPath(bin));
  EXPECT_EQ(doc.Layout(), kLayout2352Raw);
  EXPECT_FALSE(doc.HasRiffHeader);
  EXPECT_EQ(doc.SectorCount, int32_t(contents.Open.size()));
  EXPECT_EQ(doc.PictureWidth, 160);
  EXPECT_EQ(doc.AudioChannelCount, 1);
  EXPECT_EQ(doc.AudioChannels[0], 1);
  EXPECT_EQ(doc.FirstAddress, builder->Placement("/MOVIE/OPEN.STR").Lsn + kFirstDataAddress);
  EXPECT_TRUE(doc.File.Restricted());
  EXPECT_EQ(doc.File.Size(), Length("/MOVIE/OPEN.STR"));
  // Nothing past the extent is read or written, and its length stays.
  uint8_t b[16];
  EXPECT_TRUE(doc.File.ReadAt(doc.File.Size() - 16, b, 16));
  EXPECT_FALSE(doc.File.ReadAt(doc.File.Size() - 15, b, 16));
  EXPECT_FALSE(doc.File.ReadAt(-1, b, 1));
  CloseStrFile(doc);

  ASSERT_EQ(OpenStrFile(doc, bin + "::/MOVIE/END.STR"), 0)
      << (host.texts.empty() ? "" : host.texts.back());
  EXPECT_FALSE(doc.ReadOnly);
  EXPECT_EQ(doc.SectorCount, int32_t(contents.End.size()));
  EXPECT_EQ(doc.PictureWidth, 64);
  EXPECT_FALSE(doc.File.WriteAt(doc.File.Size() - 8, b, 16));
  EXPECT_FALSE(doc.File.Truncate(0));
  EXPECT_TRUE(doc.File.Truncate(doc.File.Size()));
  EXPECT_EQ(ReadFileBytes(bin), original);
}

// info, decode, export-bmp, export-avi and export-wav through IMAGE::PATH print and
// write exactly what they do for the same STR as a loose file.
TEST_F(DiscDocumentTest, CommandsSeeWhatTheySeeInTheLooseFile) {
  for (const std::string inner : {"/MOVIE/OPEN.STR", "/MOVIE/END.STR"}) {
    SCOPED_TRACE(inner);
    const std::string loose = Loose(inner, "loose.str");
    for (const std::string& image : {cue, bin}) {
      const std::string path = image + "::" + inner;
      SCOPED_TRACE(path);
      auto a = RunCommand(Cli({"info", "--json", path}));
      auto b = RunCommand(Cli({"info", "--json", loose}));
      ASSERT_EQ(a.Status, 0) << a.Err;
      ASSERT_EQ(b.Status, 0) << b.Err;
      auto ja = nlohmann::json::parse(a.Out), jb = nlohmann::json::parse(b.Out);
      EXPECT_EQ(ja["Path"], FullPath(image) + "::" + inner);
      ja.erase("Path");
      jb.erase("Path");
      EXPECT_EQ(ja, jb);
      EXPECT_GT(ja["FrameCount"].get<int>(), 4);

      fs::remove_all(dir + "/fa");
      fs::remove_all(dir + "/fb");
      a = RunCommand(Cli({"decode", path, "--out", dir + "/fa"}));
      b = RunCommand(Cli({"decode", loose, "--out", dir + "/fb"}));
      ASSERT_EQ(a.Status, 0) << a.Err;
      EXPECT_EQ(a.Out, b.Out);
      int frames = 0;
      for (const auto& e : fs::directory_iterator(dir + "/fb")) {
        frames++;
        EXPECT_EQ(ReadFileBytes(dir + "/fa/" + e.path().filename().string()),
                  ReadFileBytes(e.path().string()));
      }
      EXPECT_EQ(frames, ja["FrameCount"].get<int>());

      a = RunCommand(Cli({"export-bmp", path, "--frame", "2", "-o", dir + "/a.bmp", "--force"}));
      b = RunCommand(Cli({"export-bmp", loose, "--frame", "2", "-o", dir + "/b.bmp", "--force"}));
      ASSERT_EQ(a.Status, 0) << a.Err;
      EXPECT_EQ(ReadFileBytes(dir + "/a.bmp"), ReadFileBytes(dir + "/b.bmp"));

      a = RunCommand(Cli({"export-avi", path, "-o", dir + "/a.avi", "--force"}));
      b = RunCommand(Cli({"export-avi", loose, "-o", dir + "/b.avi", "--force"}));
      ASSERT_EQ(a.Status, 0) << a.Err;
      EXPECT_EQ(ReadFileBytes(dir + "/a.avi"), ReadFileBytes(dir + "/b.avi"));

      a = RunCommand(Cli({"export-wav", path, "-o", dir + "/a.wav", "--force"}));
      b = RunCommand(Cli({"export-wav", loose, "-o", dir + "/b.wav", "--force"}));
      ASSERT_EQ(a.Status, b.Status) << a.Err << b.Err;
      EXPECT_EQ(ReadFileBytes(dir + "/a.wav"), ReadFileBytes(dir + "/b.wav"));
    }
  }
  // An output over the image itself is refused.
  auto r = RunCommand(
      Cli({"export-bmp", cue + "::/MOVIE/OPEN.STR", "--frame", "0", "-o", bin, "--force"}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(ReadFileBytes(bin), original);
}

// The sound-only file of the image: listed, exported and re-encoded in
// place like the loose file, only its own channel's sectors changing.
TEST_F(DiscDocumentTest, SoundOnlyFileWorksAsTheLooseFile) {
  const std::string inner = "/SOUND/MUSIC.XA", path = cue + "::" + inner;
  const std::string loose = Loose(inner, "loose.xa");
  auto a = RunCommand(Cli({"info", "--json", path}));
  auto b = RunCommand(Cli({"info", "--json", loose}));
  ASSERT_EQ(a.Status, 0) << a.Err;
  ASSERT_EQ(b.Status, 0) << b.Err;
  auto ja = nlohmann::json::parse(a.Out), jb = nlohmann::json::parse(b.Out);
  ja.erase("Path");
  jb.erase("Path");
  EXPECT_EQ(ja, jb);

  a = RunCommand(Cli({"export-wav", path, "--channel", "1", "-o", dir + "/a.wav"}));
  b = RunCommand(Cli({"export-wav", loose, "--channel", "1", "-o", dir + "/b.wav"}));
  ASSERT_EQ(a.Status, 0) << a.Err;
  ASSERT_EQ(b.Status, 0) << b.Err;
  EXPECT_EQ(ReadFileBytes(dir + "/a.wav"), ReadFileBytes(dir + "/b.wav"));

  a = RunCommand(Cli({"import-wav", path, dir + "/a.wav", "--channel", "1"}));
  b = RunCommand(Cli({"import-wav", loose, dir + "/b.wav", "--channel", "1"}));
  ASSERT_EQ(a.Status, 0) << a.Err;
  ASSERT_EQ(b.Status, 0) << b.Err;
  ExpectOnlyInside(inner);
  EXPECT_EQ(Slice(ReadFileBytes(bin), Start(inner), Length(inner)), ReadFileBytes(loose));
  EXPECT_FALSE(JournalExists(bin));
}

// An in-place import changes the frame's sectors' user data and their EDC
// and ECC, as the same import does in the loose file, and nothing else:
// every sector keeps its sync, address and subheaders, and checks valid.
TEST_F(DiscDocumentTest, ImportBmpChangesOnlyTheFramesUserDataAndChecksums) {
  const std::string inner = "/MOVIE/OPEN.STR";
  const std::string loose = Loose(inner, "loose.str");
  const std::string bmp = dir + "/in.bmp";
  test::WriteBgrBmp(bmp, test::NaturalPicture(160, 112, 3), 160, 112);

  auto a = RunCommand(Cli({"import-bmp", cue + "::" + inner, "--frame", "3", bmp}));
  auto b = RunCommand(Cli({"import-bmp", loose, "--frame", "3", bmp}));
  ASSERT_EQ(a.Status, 0) << a.Err;
  ASSERT_EQ(b.Status, 0) << b.Err;
  EXPECT_EQ(a.Out, b.Out);
  EXPECT_FALSE(JournalExists(bin));
  ExpectOnlyInside(inner);
  const auto now = ReadFileBytes(bin);
  const int64_t start = Start(inner);
  EXPECT_EQ(Slice(now, start, Length(inner)), ReadFileBytes(loose));

  const int64_t lsn = builder->Placement(inner).Lsn;
  int changed = 0;
  for (int64_t n = 0; n < builder->Placement(inner).Sectors; n++) {
    SCOPED_TRACE(n);
    const uint8_t* was = &original[size_t(start + n * 2352)];
    const uint8_t* is = &now[size_t(start + n * 2352)];
    EXPECT_TRUE(CheckRawSector(is, int32_t(lsn + n) + kFirstDataAddress).Valid());
    if (std::memcmp(was, is, 2352) == 0) continue;
    changed++;
    EXPECT_EQ(std::memcmp(was, is, 24), 0);  // sync, address, subheaders
    EXPECT_EQ(is[18] & kSubmodeForm2, 0);    // a video sector: Form 1
  }
  EXPECT_EQ(changed, 8);  // frame 3: eight chunks
  // The frame reads back as the loose file's does.
  a = RunCommand(Cli({"export-bmp", cue + "::" + inner, "--frame", "3", "-o", dir + "/a.bmp"}));
  b = RunCommand(Cli({"export-bmp", loose, "--frame", "3", "-o", dir + "/b.bmp"}));
  ASSERT_EQ(a.Status, 0) << a.Err;
  EXPECT_EQ(ReadFileBytes(dir + "/a.bmp"), ReadFileBytes(dir + "/b.bmp"));
}

// Every edit of a movie inside an image, tried (--dry-run) and for real,
// does what it does to the same movie as a loose file: a trial prints the
// same and changes nothing; the real edit leaves the movie's sectors as the
// loose file's and everything else of the image as it was.
TEST_F(DiscDocumentTest, EveryEditAndTrialWorksAsOnTheLooseFile) {
  const std::string inner = "/MOVIE/OPEN.STR", path = cue + "::" + inner;
  test::WriteBgrBmp(dir + "/in.bmp", test::NaturalPicture(160, 112, 3), 160, 112);
  const std::string srt = "1\n00:00:00,000 --> 00:00:00,300\nTrial\n";
  test::WriteFileBytes(dir + "/in.srt", {srt.begin(), srt.end()});
  test::AviRecipe v;
  v.Width = 160;
  v.Height = 112;
  v.Frames = 12;
  test::WriteTestAvi(dir + "/in.avi", v);
  const std::string wav = dir + "/in.wav";
  ASSERT_EQ(RunCommand(Cli({"export-wav", path, "--channel", "1", "--rate", "37800", "-o", wav})).Status, 0);
  struct Edit {
    const char* name;
    std::vector<std::string> args;  // after the file
  };
  const Edit edits[] = {
      {"subtitle", {dir + "/in.srt"}},
      {"import-bmp", {"--frame", "3", dir + "/in.bmp"}},
      {"import-avi", {dir + "/in.avi", "--audio", "reencode"}},
      {"import-wav", {wav, "--channel", "1"}},
  };
  for (const Edit& e : edits) {
    for (const bool trial : {true, false}) {
      SCOPED_TRACE(std::string(e.name) + (trial ? " --dry-run" : ""));
      test::WriteFileBytes(bin, original);
      const std::string loose = Loose(inner, "loose.str");
      auto command = [&](const std::string& file) {
        std::vector<std::string> args = {e.name, file};
        args.insert(args.end(), e.args.begin(), e.args.end());
        if (trial) args.push_back("--dry-run");
        return RunCommand(Cli(args));
      };
      const auto a = command(path), b = command(loose);
      ASSERT_EQ(a.Status, 0) << a.Err;
      ASSERT_EQ(b.Status, 0) << b.Err;
      auto withoutPaths = [](std::string text, const std::string& file) {
        for (size_t at; (at = text.find(file)) != std::string::npos;) text.erase(at, file.size());
        return text;
      };
      EXPECT_EQ(withoutPaths(a.Out, path), withoutPaths(b.Out, loose));
      EXPECT_FALSE(JournalExists(bin));
      if (trial) {
        EXPECT_EQ(ReadFileBytes(bin), original);
        EXPECT_EQ(Slice(original, Start(inner), Length(inner)), ReadFileBytes(loose));
      } else {
        ExpectOnlyInside(inner);
        const auto now = ReadFileBytes(bin);
        EXPECT_NE(now, original);
        EXPECT_EQ(Slice(now, Start(inner), Length(inner)), ReadFileBytes(loose));
      }
    }
  }
}

// Laying frames out anew inside the same sectors is allowed; a change of the
// file's length is refused before anything is written.
TEST_F(DiscDocumentTest, ImportAviKeepsTheFilesLength) {
  const std::string path = cue + "::/MOVIE/OPEN.STR";
  test::AviRecipe v;
  v.Width = 160;
  v.Height = 112;
  v.Frames = 30;  // longer than the movie
  test::WriteTestAvi(dir + "/long.avi", v);
  v.Frames = 4;
  test::WriteTestAvi(dir + "/short.avi", v);

  const std::string refused = Text(msg::kImageFixedLength, FullPath(cue) + "::/MOVIE/OPEN.STR");
  for (const char* avi : {"/long.avi", "/short.avi"}) {
    for (bool rebuild : {false, true}) {
      SCOPED_TRACE(std::string(avi) + (rebuild ? " rebuild" : ""));
      std::vector<std::string> args = {"import-avi", path, dir + avi, "--resize", "yes"};
      if (rebuild) args.push_back("--rebuild");
      auto r = RunCommand(Cli(args));
      EXPECT_EQ(r.Status, 1);
      EXPECT_NE(r.Err.find(refused), std::string::npos) << r.Err;
      EXPECT_EQ(ReadFileBytes(bin), original);
      EXPECT_FALSE(JournalExists(bin));
    }
  }

  // In the same sectors: the frames' pictures and the sound replaced.
  auto r = RunCommand(Cli({"import-avi", path, dir + "/long.avi", "--audio", "reencode"}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  ExpectOnlyInside("/MOVIE/OPEN.STR");
  auto now = ReadFileBytes(bin);
  EXPECT_NE(now, original);
  const int64_t start = Start("/MOVIE/OPEN.STR"), lsn = builder->Placement("/MOVIE/OPEN.STR").Lsn;
  for (int64_t n = 0; n < int64_t(contents.Open.size()); n++) {
    const uint8_t* s = &now[size_t(start + n * 2352)];
    EXPECT_EQ(std::memcmp(s, &original[size_t(start + n * 2352)], 16), 0) << n;
    EXPECT_TRUE(CheckRawSector(s, int32_t(lsn + n) + kFirstDataAddress).Valid()) << n;
  }
  EXPECT_FALSE(JournalExists(bin));
}

// Laying the frames out anew writes whole sectors: each takes the address
// the image gives its place, and its EDC and ECC.
TEST_F(DiscDocumentTest, RebuiltSectorsKeepTheImagesAddresses) {
  const std::string inner = "/MOVIE/OPEN.STR";
  const std::string path = cue + "::" + inner;
  test::AviRecipe v;
  v.Width = 160;
  v.Height = 112;
  v.Frames = 8;
  test::WriteTestAvi(dir + "/in.avi", v);
  const auto info = nlohmann::json::parse(RunCommand(Cli({"info", "--json", path})).Out);
  // Up to the last frame but one: the laid-out frames end inside the file.
  const int to = info["LastFrameSector"].get<int>() - 20;
  auto r = RunCommand(Cli({"import-avi", path, dir + "/in.avi", "--rebuild", "--to",
                           std::to_string(to), "--audio", "37.8-stereo", "--channel", "1"}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  ExpectOnlyInside(inner);
  const auto now = ReadFileBytes(bin);
  const int64_t start = Start(inner), lsn = builder->Placement(inner).Lsn;
  int rewritten = 0;
  for (int64_t n = 0; n < int64_t(contents.Open.size()); n++) {
    const uint8_t* s = &now[size_t(start + n * 2352)];
    rewritten += std::memcmp(s, &original[size_t(start + n * 2352)], 2352) != 0;
    EXPECT_EQ(std::memcmp(s, &original[size_t(start + n * 2352)], 16), 0) << n;
    EXPECT_TRUE(CheckRawSector(s, int32_t(lsn + n) + kFirstDataAddress).Valid()) << n;
  }
  EXPECT_GT(rewritten, to / 2);
  r = RunCommand(Cli({"decode", path}));
  EXPECT_EQ(r.Status, 0) << r.Err;
}

// A frame laid out past the file's last sector would lengthen it: refused,
// and the edit rolled back.
TEST_F(DiscDocumentTest, AWritePastTheFileIsRolledBack) {
  const std::string path = cue + "::/MOVIE/END.STR";
  test::AviRecipe v;
  v.Width = 64;
  v.Height = 48;
  v.Frames = 10;
  test::WriteTestAvi(dir + "/slow.avi", v);
  // Frames of 15 sectors at double speed: the second runs past the file's end.
  auto r = RunCommand(Cli({"import-avi", path, dir + "/slow.avi", "--rebuild", "--fps", "10"}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find(Text(msg::kImageFixedLength, FullPath(cue) + "::/MOVIE/END.STR")),
            std::string::npos)
      << r.Err;
  EXPECT_EQ(ReadFileBytes(bin), original);
  EXPECT_FALSE(JournalExists(bin));
}

// Writes that fail part way leave the image as it was (rolled back at once
// or by recover) or complete.
TEST_F(DiscDocumentTest, FailedWritesRollTheImageBack) {
  const std::string path = cue + "::/MOVIE/OPEN.STR";
  const std::string bmp = dir + "/in.bmp";
  test::WriteBgrBmp(bmp, test::NaturalPicture(160, 112, 5), 160, 112);
  ASSERT_EQ(RunCommand(Cli({"import-bmp", path, "--frame", "1", bmp})).Status, 0);
  const auto complete = ReadFileBytes(bin);
  int failures = 0;
  for (long bytes : {0L, 2000L, 9000L, 30000L, 60000L}) {
    SCOPED_TRACE(bytes);
    test::WriteFileBytes(bin, original);
    auto r = RunCommand(FailingAfter(bytes, {"import-bmp", path, "--frame", "1", bmp}));
    if (r.Status == 0) {
      EXPECT_EQ(ReadFileBytes(bin), complete);
      continue;
    }
    failures++;
    EXPECT_EQ(r.Status, 1);
    if (JournalExists(bin)) {
      // The journal is the image's: named by the cue, the bin or the path inside.
      EXPECT_EQ(RunCommand(Cli({"info", path})).Status, 1);
      ASSERT_EQ(RunCommand(Cli({"recover", cue})).Status, 0);
    }
    EXPECT_EQ(ReadFileBytes(bin), original);
  }
  EXPECT_GE(failures, 3);
}

// An edit cut off without its rollback (a crash) leaves the image's journal:
// the commands refuse the image until recover puts it back.
TEST_F(DiscDocumentTest, AnInterruptedEditIsRecoveredFromTheImagesJournal) {
  const std::string path = cue + "::/MOVIE/OPEN.STR";
  {
    CollectingHost host;
    StrDocument doc(host);
    ASSERT_EQ(OpenStrFile(doc, path), 0);
    ASSERT_TRUE(doc.File.BeginJournal());
    ASSERT_EQ(ReadFrame(doc), 0);
    std::fill(doc.FrameBuffer.begin(), doc.FrameBuffer.end(), uint8_t(0x5A));
    ASSERT_EQ(WriteFrame(doc), 0);
  }  // gone without committing or rolling back
  ASSERT_TRUE(JournalExists(bin));
  EXPECT_NE(ReadFileBytes(bin), original);
  auto r = RunCommand(Cli({"info", path}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("recover " + FullPath(bin)), std::string::npos) << r.Err;
  r = RunCommand(Cli({"recover", path}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFileBytes(bin), original);
  EXPECT_FALSE(JournalExists(bin));
  EXPECT_EQ(RunCommand(Cli({"info", path})).Status, 0);
}

// What cannot be opened says why, exits 1 and writes nothing.
TEST_F(DiscDocumentTest, ImagesThatCannotBeOpenedSayWhy) {
  const std::string bmp = dir + "/in.bmp";
  test::WriteBgrBmp(bmp, test::NaturalPicture(160, 112, 1), 160, 112);
  auto writeText = [&](const std::string& name, const std::string& text) {
    test::WriteFileBytes(dir + "/" + name, {text.begin(), text.end()});
    return dir + "/" + name;
  };
  const std::string audioCue =
      writeText("audio.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  const std::string missingCue = writeText(
      "missing.cue", "FILE \"gone.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n");
  // A directory whose extent lies past the end of the image.
  auto damaged = original;
  const int64_t root = builder->Placement("/MOVIE").Lsn - 1;
  uint8_t* records = &damaged[size_t(root * 2352 + 24)];
  for (size_t at = 0; records[at] != 0; at += records[at])
    if (records[at + 32] == 5 && std::memcmp(&records[at + 33], "MOVIE", 5) == 0)
      PutU32(&records[at + 2], uint32_t(builder->SectorCount() + 50));
  test::WriteFileBytes(dir + "/damaged.bin", damaged);
  const std::string damagedBin = dir + "/damaged.bin";

  // The image's reason, given with the path asked for where it does not
  // name the image.
  auto named = [](const std::string& path, const std::string& why) {
    return FormatMessage(msg::kCannotOpenNamed, path.c_str(), why.c_str());
  };
  const std::string missingPath = missingCue + "::/MOVIE/OPEN.STR";
  const std::string gonePath = cue + "::/MOVIE/GONE.STR";
  const struct {
    std::string Path, Message;
  } cases[] = {
      {audioCue + "::/MOVIE/OPEN.STR", Text(msg::kDiscFirstTrackAudio, audioCue)},
      {missingPath, named(missingPath, Text(msg::kCueFileMissing, dir + "/gone.bin"))},
      {damagedBin + "::/MOVIE/OPEN.STR", Text(msg::kDiscDirectoryDamaged, FullPath(damagedBin))},
      {gonePath, named(gonePath, Text(msg::kDiscFileNotFound, "/MOVIE/GONE.STR"))},
      {cue + "::/MOVIE", Text(msg::kDiscIsDirectory, FullPath(cue) + "::/MOVIE")},
      {dir + "/none.bin::/MOVIE/OPEN.STR",
       FormatMessage(msg::kCannotRead, (dir + "/none.bin").c_str(), std::strerror(ENOENT))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", c.Path},
          std::vector<std::string>{"import-bmp", c.Path, "--frame", "0", bmp}}) {
      auto r = RunCommand(Cli(args));
      EXPECT_EQ(r.Status, 1);
      EXPECT_EQ(r.Err, c.Message + "\n");
    }
  }
  EXPECT_EQ(ReadFileBytes(bin), original);
  EXPECT_EQ(ReadFileBytes(damagedBin), damaged);
  EXPECT_FALSE(JournalExists(bin));
  // The XA file has no pictures to show.
  auto r = RunCommand(Cli({"import-bmp", cue + "::/SOUND/MUSIC.XA", "--frame", "0", bmp}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(ReadFileBytes(bin), original);
}

// The 2048-byte form: an ISO made by a mastering tool from the movies' user
// data opens its files in the 2048 layout.
TEST_F(DiscDocumentTest, IsoFilesOpenInThe2048Layout) {
  std::vector<std::string> tool;
  if (test::HaveTool("genisoimage"))
    tool = {"genisoimage", "-quiet"};
  else if (test::HaveTool("xorriso"))
    tool = {"xorriso", "-as", "mkisofs", "-quiet"};
  else
    GTEST_SKIP() << "neither genisoimage nor xorriso is installed";
  const std::string root = dir + "/root", iso = dir + "/disc.iso";
  fs::create_directories(root + "/MOVIE");
  // 2048-byte sectors keep no subheaders: movies without sound sectors.
  std::mt19937 random(5);
  test::MovieRecipe m;
  m.SectorSize = 2048;
  m.Riff = false;
  m.Frames = 9;
  m.ChunkPattern = {9, 8};
  m.Width = 160;
  m.Height = 112;
  m.Bitstream = [&](int) { return test::EncodeLevels(test::RandomLevels(160, 112, random), 2, 2); };
  test::BuildMovie(m).Write(root + "/MOVIE/OPEN.STR");
  m.Frames = 3;
  test::BuildMovie(m).Write(root + "/MOVIE/END.STR");
  tool.insert(tool.end(), {"-o", iso, root});
  auto made = RunCommand(tool);
  ASSERT_EQ(made.Status, 0) << made.Err;
  const auto isoBefore = ReadFileBytes(iso);
  DiscImage image;
  ASSERT_TRUE(image.Open(iso)) << image.LastError();
  const FileExtent x = *image.Locate("/MOVIE/OPEN.STR");
  const std::string loose = root + "/MOVIE/OPEN.STR";

  const std::string path = iso + "::/MOVIE/OPEN.STR";
  auto a = RunCommand(Cli({"info", "--json", path}));
  auto b = RunCommand(Cli({"info", "--json", loose}));
  ASSERT_EQ(b.Status, 0) << b.Err;
  ASSERT_EQ(a.Status, 0) << a.Err;
  auto ja = nlohmann::json::parse(a.Out), jb = nlohmann::json::parse(b.Out);
  EXPECT_EQ(ja["SectorSize"], 2048);
  ja.erase("Path");
  jb.erase("Path");
  EXPECT_EQ(ja, jb);
  a = RunCommand(Cli({"decode", path}));
  b = RunCommand(Cli({"decode", loose}));
  ASSERT_EQ(a.Status, 0) << a.Err;
  EXPECT_EQ(a.Out, b.Out);

  const std::string bmp = dir + "/in.bmp";
  test::WriteBgrBmp(bmp, test::NaturalPicture(160, 112, 2), 160, 112);
  a = RunCommand(Cli({"import-bmp", path, "--frame", "5", bmp}));
  b = RunCommand(Cli({"import-bmp", loose, "--frame", "5", bmp}));
  ASSERT_EQ(a.Status, 0) << a.Err;
  const auto isoAfter = ReadFileBytes(iso);
  ASSERT_EQ(isoAfter.size(), isoBefore.size());
  const int64_t end = x.ByteOffset + x.SectorCount * 2048;
  EXPECT_TRUE(std::equal(isoAfter.begin(), isoAfter.begin() + x.ByteOffset, isoBefore.begin()));
  EXPECT_TRUE(std::equal(isoAfter.begin() + end, isoAfter.end(), isoBefore.begin() + end));
  EXPECT_EQ(Slice(isoAfter, x.ByteOffset, x.SectorCount * 2048), ReadFileBytes(loose));
  EXPECT_NE(isoAfter, isoBefore);
}

}  // namespace
}  // namespace belmora
