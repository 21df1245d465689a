// belmora-cli check, and the framing of the files our writers make: sync,
// address, mode, EDC and ECC, confirmed by the independent Python checker
// and by FFmpeg.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>

#include "str/cd_sector.h"
#include "str/sector.h"
#include "tests/support/avi_builder.h"
#include "tests/support/cli_command.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::RunCommand;
using test::RunResult;

class SectorCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir);
    test::AviRecipe recipe;
    recipe.Frames = 12;
    test::WriteTestAvi(avi, recipe);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  RunResult Cli(const std::vector<std::string>& args) {
    std::vector<std::string> command = {BELMORA_CLI, "--quiet"};
    command.insert(command.end(), args.begin(), args.end());
    return RunCommand(command);
  }
  void MustRun(const std::vector<std::string>& args) {
    RunResult r = Cli(args);
    ASSERT_EQ(r.Status, 0) << args[0] << ": " << r.Out << r.Err;
  }
  nlohmann::json CheckJson(const std::string& path, int expectStatus = 0) {
    RunResult r = Cli({"check", path, "--json"});
    EXPECT_EQ(r.Status, expectStatus) << r.Out << r.Err;
    return nlohmann::json::parse(r.Out);
  }
  // The independent checker, when python3 is there.
  void PythonAccepts(const std::string& path, int sectorSize) {
    if (!test::HaveTool("python3")) return;
    std::vector<std::string> cmd = {"python3", BELMORA_ECMA130_CHECK, path, "--sector",
                                    std::to_string(sectorSize)};
    if (sectorSize == 2352) cmd.insert(cmd.end(), {"--first-lba", "150"});
    RunResult r = RunCommand(cmd);
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
  }
  // A builder movie with the framing left as zeros, as the builders write
  // it (not valid on a disc).
  std::string CorpusFile(const std::string& name, int sectorSize) {
    test::MovieRecipe m;
    m.SectorSize = sectorSize;
    m.Frames = 8;
    m.ChunkPattern = {9, 9, 9, 8};
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = 1;
    std::mt19937 random(3);
    m.Bitstream = [&](int) {
      return test::EncodeLevels(test::RandomLevels(320, 240, random), 2, 2);
    };
    const std::string path = dir + "/" + name;
    test::BuildMovie(m).Write(path);
    return path;
  }

  const std::string dir = test::TempPath("sector_check");
  const std::string avi = dir + "/in.avi";
};

TEST_F(SectorCheckTest, NewFilesOfEveryLayoutAreValid) {
  for (int sector : {2352, 2336, 2048}) {
    SCOPED_TRACE(sector);
    const std::string out = dir + "/new" + std::to_string(sector) + ".str";
    MustRun({"new", out, avi, "--sector", std::to_string(sector)});
    nlohmann::json j = CheckJson(out);
    EXPECT_EQ(j["SectorSize"], sector);
    EXPECT_EQ(j["BadCount"], 0);
    if (sector == 2048) {
      EXPECT_FALSE(j["Checkable"]);
      continue;
    }
    EXPECT_GT(j["Kinds"]["video"]["Sectors"], 0);
    EXPECT_EQ(j["Kinds"]["video"]["Valid"], j["Kinds"]["video"]["Sectors"]);
    EXPECT_EQ(j["Kinds"]["video"]["EccOk"], j["Kinds"]["video"]["Sectors"]);
    EXPECT_GT(j["Kinds"]["audio"]["Sectors"], 0);
    EXPECT_EQ(j["Kinds"]["audio"]["Valid"], j["Kinds"]["audio"]["Sectors"]);
    PythonAccepts(out, sector);
    if (sector == 2352 && test::HaveTool("ffmpeg")) {
      RunResult r = RunCommand({"ffmpeg", "-v", "error", "-i", out, "-f", "null", "-"});
      EXPECT_EQ(r.Status, 0) << r.Err;
      // FFmpeg's STR reader ends every file with an I/O error line; no
      // other complaint is expected.
      EXPECT_EQ(r.Err.find("shift"), std::string::npos) << r.Err;
      EXPECT_EQ(r.Err.find("nvalid"), std::string::npos) << r.Err;
    }
  }
}

TEST_F(SectorCheckTest, FindsAndFixesBadFramingWithoutTouchingData) {
  for (int sector : {2352, 2336}) {
    SCOPED_TRACE(sector);
    const std::string path = CorpusFile("corpus" + std::to_string(sector) + ".str", sector);
    const std::vector<uint8_t> before = test::ReadFileBytes(path);
    nlohmann::json j = CheckJson(path, 1);
    const int sectors = j["SectorCount"];
    // Zero framing: every raw sector is bad; of sector images, the video
    // ones (a zero Form 2 EDC is allowed).
    const int bad = j["BadCount"];
    EXPECT_EQ(bad, sector == 2352 ? sectors : int(j["Kinds"]["video"]["Sectors"]));
    EXPECT_EQ(j["FirstBad"].size(), 20u);

    // Without --fix nothing changes; with it every sector is repaired.
    EXPECT_EQ(test::ReadFileBytes(path), before);
    RunResult r = Cli({"check", path, "--fix"});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("Rewrote the framing of " + std::to_string(bad) + " sectors"),
              std::string::npos)
        << r.Out;
    j = CheckJson(path);
    EXPECT_EQ(j["BadCount"], 0);
    PythonAccepts(path, sector);

    // Subheaders and user data as they were; only framing bytes differ.
    const std::vector<uint8_t> after = test::ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    const size_t start = sector == 2352 ? 44 : 0, skip = sector == 2352 ? 16 : 0;
    for (int n = 0; n < sectors; n++) {
      const size_t s = start + size_t(n) * size_t(sector) + skip;
      const bool form2 = before[s + 2] & kSubmodeForm2;
      const size_t covered = form2 ? 2332 : 2056;
      ASSERT_TRUE(std::equal(before.begin() + s, before.begin() + s + covered, after.begin() + s))
          << "sector " << n;
    }
  }
}

TEST_F(SectorCheckTest, ReportsACorruptedSectorByKind) {
  const std::string out = dir + "/new.str";
  MustRun({"new", out, avi, "--encoder", "exact"});
  std::vector<uint8_t> bytes = test::ReadFileBytes(out);
  // A byte of sector 3's user data (a video sector in a new file of the
  // exact encoder's layout).
  const size_t at = 44 + 3 * 2352 + 24 + 500;
  ASSERT_FALSE(bytes[44 + 3 * 2352 + 18] & kSubmodeForm2);
  bytes[at] ^= 0x40;
  test::WriteFileBytes(out, bytes);

  RunResult r = Cli({"check", out});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Out.find("1 bad sectors"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("sector 3 (video): EDC, ECC wrong"), std::string::npos) << r.Out;

  // --fix recomputes the checksums over the data as it now is.
  MustRun({"check", out, "--fix"});
  std::vector<uint8_t> fixed = test::ReadFileBytes(out);
  EXPECT_EQ(fixed[at], bytes[at]);
  EXPECT_EQ(CheckJson(out)["BadCount"], 0);
}

TEST_F(SectorCheckTest, EditedFilesStayValidAndKeepTheirEndOfFileMark) {
  // A corpus-style file ripped from a disc: valid framing, its last audio
  // sector marked as the end of the file.
  test::StrBuilder b(2352);
  std::mt19937 random(5);
  int lastAudio = -1;
  for (int f = 0; f < 6; f++) {
    test::FrameRecipe frame;
    frame.Number = uint32_t(f + 1);
    frame.Chunks = 7;
    frame.Bitstream = test::EncodeLevels(test::RandomLevels(320, 240, random), 2, 3);
    b.AddFrame(frame);
    if (f < 5) {
      b.AddAudio(1, kCoding378Stereo, uint8_t(f));
    } else {
      lastAudio = b.SectorCount();
      b.AddRaw(Subheader{1, 1, uint8_t(kSubmodeRealTime | kSubmodeForm2 | kSubmodeAudio | 0x80),
                         kCoding378Stereo});
    }
  }
  const std::string path = dir + "/ripped.str";
  b.Write(path);
  MustRun({"check", path, "--fix"});

  MustRun({"import-avi", path, avi});
  EXPECT_EQ(CheckJson(path)["BadCount"], 0);
  PythonAccepts(path, 2352);
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  const size_t sub = 44 + size_t(lastAudio) * 2352 + 16;
  EXPECT_EQ(bytes[sub + 2], kSubmodeRealTime | kSubmodeForm2 | kSubmodeAudio | 0x80);
  EXPECT_EQ(bytes[sub + 6], bytes[sub + 2]);
}

TEST_F(SectorCheckTest, FailedFixIsRolledBack) {
  const std::string path = CorpusFile("failing.str", 2352);
  const std::vector<uint8_t> before = test::ReadFileBytes(path);
  for (long bytes : {0L, 5000L, 40000L}) {
    SCOPED_TRACE(bytes);
    RunResult r = RunCommand(test::FailingAfter(bytes, {"check", path, "--fix"}));
    EXPECT_EQ(r.Status, 1) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("書き込みエラー"), std::string::npos) << r.Err;
    // The disk stays full for the rollback too: the journal is kept, and
    // recover puts the file back once writes work again.
    MustRun({"recover", path});
    EXPECT_EQ(test::ReadFileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".belmora-journal"));
  }
}

TEST_F(SectorCheckTest, FixRefusesReadOnlyFilesAndUnknownFormats) {
  const std::string path = CorpusFile("ro.str", 2352);
  const std::vector<uint8_t> before = test::ReadFileBytes(path);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  // Root writes anywhere: run as nobody where we are root.
  std::vector<std::string> cmd;
  if (geteuid() == 0) {
    if (!test::HaveTool("setpriv")) GTEST_SKIP() << "setpriv not found";
    cmd = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  cmd.insert(cmd.end(), {BELMORA_CLI, "check", path, "--fix"});
  RunResult r = RunCommand(cmd);
  EXPECT_EQ(r.Status, 1) << r.Out << r.Err;
  EXPECT_NE(r.Err.find("読み取り専用"), std::string::npos) << r.Err;
  EXPECT_EQ(test::ReadFileBytes(path), before);

  const std::string text = dir + "/notes.txt";
  test::WriteFileBytes(text, std::vector<uint8_t>(3000, 'x'));
  r = Cli({"check", text});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("セクタの形式が分かりません"), std::string::npos) << r.Err;
}

}  // namespace
}  // namespace belmora
