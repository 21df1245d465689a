#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "str/sector.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::BuildMovie;
using test::MovieRecipe;
using test::RunCommand;

struct InfoCase {
  int SectorSize;
  bool Riff;
  int Speed;
};
void PrintTo(const InfoCase& c, std::ostream* os) {
  *os << c.SectorSize << (c.Riff ? " RIFF " : " ") << c.Speed << "x";
}

class CliInfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(CliInfoTest, ReportsBuilderMovie) {
  const InfoCase& c = GetParam();
  MovieRecipe m;
  m.SectorSize = c.SectorSize;
  m.Riff = c.Riff;
  m.Frames = 40;
  m.FirstNumber = 5;
  m.Width = 304;
  m.Height = 224;
  m.TrailingFillers = 3;
  if (c.SectorSize != 2048) {
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = 1;
    m.Interleave = c.Speed == 2 ? 8 : 4;
    m.AudioPhase = c.Speed == 2 ? 7 : 3;
    m.ChunkPattern = c.Speed == 2 ? std::vector<int>{9, 9, 9, 8} : std::vector<int>{4, 4, 4, 3};
  } else {
    m.ChunkPattern = {10};
  }
  std::string path = test::TempPath("info.str");
  BuildMovie(m).Write(path);

  auto r = RunCommand({BELMORA_CLI, "info", path, "--json"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  auto j = nlohmann::json::parse(r.Out);
  EXPECT_EQ(j["SectorSize"], c.SectorSize);
  EXPECT_EQ(j["DataOffset"], c.SectorSize == 2048   ? 0
                             : c.SectorSize == 2336 ? 8
                             : c.Riff               ? 68
                                                    : 24);
  EXPECT_EQ(j["SpeedFactor"], c.SectorSize == 2048 ? 2 : c.Speed);
  EXPECT_EQ(j["FramesPerSecond"], 15.0);
  EXPECT_EQ(j["FirstFrameNumber"], 5);
  EXPECT_EQ(j["LastFrameNumber"], 44);
  EXPECT_EQ(j["TrailingSectors"], 3);
  EXPECT_EQ(j["PictureWidth"], 304);
  EXPECT_EQ(j["PictureHeight"], 224);
  EXPECT_EQ(j["FrameCount"], 40);
  if (c.SectorSize == 2048) {
    EXPECT_TRUE(j["AudioChannels"].empty());
  } else {
    ASSERT_EQ(j["AudioChannels"].size(), 1u);
    EXPECT_EQ(j["AudioChannels"][0]["Channel"], 1);
    EXPECT_EQ(j["AudioChannels"][0]["CodingInfo"], kCoding378Stereo);
  }

  auto text = RunCommand({BELMORA_CLI, "info", path});
  ASSERT_EQ(text.Status, 0);
  EXPECT_NE(text.Out.find("304 x 224"), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("Frames:             40"), std::string::npos) << text.Out;
  std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Layouts, CliInfoTest,
                         ::testing::Values(InfoCase{2048, false, 2}, InfoCase{2336, false, 1},
                                           InfoCase{2336, false, 2}, InfoCase{2352, true, 1},
                                           InfoCase{2352, true, 2}, InfoCase{2352, false, 1}),
                         [](const auto& info) {
                           const InfoCase& c = info.param;
                           return std::to_string(c.SectorSize) + (c.Riff ? "" : "NoRiff") + "x" +
                                  std::to_string(c.Speed);
                         });

TEST(CliTest, FailuresGiveMessageAndStatus) {
  std::string path = test::TempPath("junk.str");
  test::WriteFileBytes(path, std::vector<uint8_t>(5000, 'q'));
  auto r = RunCommand({BELMORA_CLI, "info", path});
  EXPECT_NE(r.Status, 0);
  EXPECT_NE(r.Err.find("不明なフォーマットです。"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("オープンできません。"), std::string::npos) << r.Err;
  std::filesystem::remove(path);

  auto missing = RunCommand({BELMORA_CLI, "info", "/no/such/file.str"});
  EXPECT_NE(missing.Status, 0);
  EXPECT_NE(missing.Err.find("オープンできません。"), std::string::npos);
}

// A movie whose frames read (whole chunks, a standard header) but whose
// bitstream decodes in no layout: info says so, every picture export
// refuses it before writing anything, where it once wrote black frames and
// said it was done.
TEST(CliTest, AMovieWhoseFramesDecodeInNoLayoutIsSaidAndNotExported) {
  test::MovieRecipe m;
  m.Frames = 4;
  m.ChunkPattern = {2};
  m.Bitstream = [](int) {
    std::vector<uint8_t> bits = test::MinimalBitstream(2, 2);
    std::fill(bits.begin() + 8, bits.end(), uint8_t(0xFF));  // ten 1-bits: no DC
    bits.resize(4000, 0xFF);
    return bits;
  };
  const std::string path = test::TempPath("undecodable.str"), out = test::TempPath("undecodable");
  test::BuildMovie(m).Write(path);
  const std::string said = "この動画のフレームはどの形式でも復号できません。";

  auto info = RunCommand({BELMORA_CLI, "info", path, "--json"});
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_EQ(nlohmann::json::parse(info.Out)["FramesDecode"], false);
  auto text = RunCommand({BELMORA_CLI, "info", path});
  EXPECT_NE(text.Err.find(path + ": " + said), std::string::npos) << text.Err;

  const std::vector<std::vector<std::string>> exports = {
      {"export-avi", path, "-o", out + ".avi"},
      {"decode", path, "--out", out},
      {"export-frames", path, out},
      {"export-bmp", path, "--frame", "1", "-o", out + ".bmp"},
  };
  for (const auto& args : exports) {
    SCOPED_TRACE(args[0]);
    std::vector<std::string> line = {BELMORA_CLI};
    line.insert(line.end(), args.begin(), args.end());
    auto r = RunCommand(line);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find(said), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("完了しました"), std::string::npos) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(out + ".avi"));
    EXPECT_FALSE(std::filesystem::exists(out + ".bmp"));
    EXPECT_FALSE(std::filesystem::exists(out + "/000000.bmp"));
  }
  std::filesystem::remove_all(out);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace belmora

namespace belmora {
namespace {

TEST(CliDecodeTest, DecodesEveryFrameAndWritesBmps) {
  test::MovieRecipe m;
  m.Frames = 6;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  std::mt19937 random(4);
  m.Bitstream = [&](int) { return test::EncodeLevels(test::RandomLevels(320, 240, random), 2, 2); };
  std::string path = test::TempPath("dec.str"), out = test::TempPath("frames");
  test::BuildMovie(m).Write(path);

  auto r = RunCommand({BELMORA_CLI, "decode", path, "--out", out});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "6 frames decoded, 0 failed\n");
  auto first = test::ReadFileBytes(out + "/000000.bmp");
  EXPECT_EQ(first.size(), 230454u);
  EXPECT_TRUE(std::filesystem::exists(out + "/000005.bmp"));
  EXPECT_FALSE(std::filesystem::exists(out + "/000006.bmp"));

  auto half = RunCommand({BELMORA_CLI, "decode", path, "--half", "--scalar", "--from", "20", "--to",
                          "40", "--out", out + "/half"});
  ASSERT_EQ(half.Status, 0) << half.Err;
  EXPECT_EQ(half.Out, "3 frames decoded, 0 failed\n");  // frames at sectors 20, 30 and 40
  EXPECT_EQ(test::ReadFileBytes(out + "/half/000000.bmp").size(), 54u + 160 * 240 * 3);

  // Several threads give the same pictures as one.
  auto one = RunCommand({BELMORA_CLI, "decode", path, "--threads", "1", "--out", out + "/one"});
  auto three = RunCommand({BELMORA_CLI, "decode", path, "--threads", "3", "--out", out + "/three"});
  ASSERT_EQ(one.Status, 0);
  ASSERT_EQ(three.Out, one.Out);
  for (int i = 0; i < 6; i++) {
    char name[16];
    std::snprintf(name, sizeof name, "/%06d.bmp", i);
    EXPECT_EQ(test::ReadFileBytes(out + "/one" + name), test::ReadFileBytes(out + "/three" + name));
  }

  EXPECT_NE(RunCommand({BELMORA_CLI, "decode", "/no/such.str"}).Status, 0);
  std::filesystem::remove_all(out);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace belmora

namespace belmora {
namespace {

TEST(CliFormatsTest, ListsBothCatalogues) {
  auto r = RunCommand({BELMORA_CLI, "formats"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("DIB "), std::string::npos);
  EXPECT_NE(r.Out.find("MJPG"), std::string::npos);
  EXPECT_NE(r.Out.find("0x0001  PCM"), std::string::npos);
  EXPECT_NE(r.Out.find("44100 Hz, 16 Bit.; Estéreo"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("22050 Hz, 8 Bit.; ﾓﾉﾗﾙ"), std::string::npos);
}

}  // namespace
}  // namespace belmora

namespace belmora {
namespace {

TEST(CliExportAviTest, DefaultsAndOptions) {
  test::MovieRecipe m;
  m.Frames = 40;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  std::mt19937 random(2);
  m.Bitstream = [&](int) {
    return test::EncodeLevels(test::RandomLevels(320, 240, random, 2), 2, 4);
  };
  std::string path = test::TempPath("exp.str"), avi = test::TempPath("exp.avi");
  test::BuildMovie(m).Write(path);

  auto r = RunCommand({BELMORA_CLI, "export-avi", path, "-o", avi});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("40 frames written at 15 fps, 320 x 240"), std::string::npos) << r.Out;
  EXPECT_NE(r.Err.find("100%"), std::string::npos);  // the progress line

  // An existing output is replaced only when asked to.
  auto refused = RunCommand({BELMORA_CLI, "export-avi", path, "-o", avi, "--rate", "5"});
  EXPECT_EQ(refused.Status, 1);
  EXPECT_NE(refused.Err.find("--force"), std::string::npos) << refused.Err;
  r = RunCommand({BELMORA_CLI, "export-avi", path, "-o", avi, "--rate", "5", "--size", "160x120",
                  "--half", "--no-audio", "--vcodec", "MJPG", "--quality", "8000", "--from", "100",
                  "--to", "200", "--force"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("at 5 fps, 160 x 120; 0 audio sectors"), std::string::npos) << r.Out;

  r = RunCommand({BELMORA_CLI, "export-avi", path, "-o", avi, "--atag", "Microsoft ADPCM",
                  "--arate", "22050", "--achannels", "1", "--speed", "1", "--force"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("at 15 fps"), std::string::npos) << r.Out;  // the rate estimated at open

  EXPECT_NE(RunCommand({BELMORA_CLI, "export-avi", path, "-o", path}).Status,
            0);  // never over the movie
  EXPECT_NE(RunCommand({BELMORA_CLI, "export-avi", path, "-o", avi, "--vcodec", "XXXX"}).Status, 0);
  std::filesystem::remove(avi);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace belmora

#include "platform/media_writer.h"

namespace belmora {
namespace {

TEST(CliImportAviTest, NewThenReplaceInPlace) {
  std::string dir = test::TempPath("cliavi");
  std::filesystem::create_directories(dir);
  std::string avi = dir + "/in.avi", str = dir + "/new.str";
  {
    MediaWriter w;
    WaveFormat f = WaveFormat::Pcm(22050, 1, 16);
    PcmFormatInfo in{22050, 1, 16};
    ASSERT_EQ(w.Open(avi, 160, 112, 15, 1, CompressOptions{}, &f, &in), MediaError::kNone);
    std::vector<uint8_t> rows(160 * 112 * 3);
    for (int i = 0; i < 20; i++) {
      std::fill(rows.begin(), rows.end(), uint8_t(10 * i));
      w.WriteVideo(rows.data());
    }
    std::vector<uint8_t> pcm(22050 * 2, 0);
    w.WriteAudio(pcm.data(), pcm.size());
    ASSERT_TRUE(w.Close());
  }
  auto r = RunCommand({BELMORA_CLI, "new", str, avi, "--sector", "2352", "--speed", "1",
                       "--trailing", "5", "--tail-frames", "0", "--mdec", "3"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  auto info = RunCommand({BELMORA_CLI, "info", str, "--json"});
  ASSERT_EQ(info.Status, 0) << info.Err;
  auto j = nlohmann::json::parse(info.Out);
  EXPECT_EQ(j["SectorSize"], 2352);
  EXPECT_EQ(j["SpeedFactor"], 1);
  EXPECT_EQ(j["PictureWidth"], 160);
  EXPECT_EQ(j["TrailingSectors"], 5);
  EXPECT_EQ(j["AudioChannels"][0]["CodingInfo"], kCoding189Mono);  // 22.05 kHz mono sound
  EXPECT_GE(j["FrameCount"], 20);

  auto before = test::ReadFileBytes(str);
  auto in = RunCommand({BELMORA_CLI, "import-avi", str, avi, "--from", "0", "--to", "20", "--audio",
                        "keep", "--renumber", "5,1,7"});
  ASSERT_EQ(in.Status, 0) << in.Err;
  auto after = test::ReadFileBytes(str);
  EXPECT_EQ(after.size(), before.size());
  EXPECT_NE(after, before);

  EXPECT_NE(RunCommand({BELMORA_CLI, "import-avi", str, dir + "/missing.avi"}).Status, 0);
  EXPECT_NE(RunCommand({BELMORA_CLI, "import-avi", str, avi, "--rebuild", "--fps", "0"}).Status, 0);
  EXPECT_EQ(test::ReadFileBytes(str), after);  // refused runs change nothing
  auto missing = RunCommand({BELMORA_CLI, "new", dir + "/x.str", dir + "/missing.avi"});
  EXPECT_NE(missing.Status, 0);
  EXPECT_NE(missing.Err.find(dir + "/missing.avi が読み取れません (No such file or directory)"),
            std::string::npos)
      << missing.Err;
  EXPECT_FALSE(std::filesystem::exists(dir + "/x.str"));  // the new file is removed again
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace belmora

namespace belmora {
namespace {

// Into a log or a pipe, progress comes as whole lines, one per tenth of the
// way; --quiet leaves only the messages.
TEST(CliProgressTest, LinesPerTenthOnANonTerminalAndNoneWhenQuiet) {
  MovieRecipe m;
  m.Frames = 60;
  m.ChunkPattern = {10};
  m.Bitstream = [](int) { return test::FlatBitstream(320, 240); };
  std::string path = test::TempPath("progress.str"), avi = test::TempPath("progress.avi");
  BuildMovie(m).Write(path);
  auto r = RunCommand({BELMORA_CLI, "export-avi", path, "-o", avi});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err.find('\r'), std::string::npos);
  int lines = 0;
  std::istringstream in(r.Err);
  for (std::string line; std::getline(in, line);) {
    ASSERT_NE(line.find("%  Setor Nº. : "), std::string::npos) << line;
    lines++;
  }
  EXPECT_GE(lines, 10);
  EXPECT_LE(lines, 12);
  EXPECT_NE(r.Err.find("100%"), std::string::npos) << r.Err;
  auto quiet = RunCommand({BELMORA_CLI, "--quiet", "export-avi", path, "-o", avi, "--force"});
  ASSERT_EQ(quiet.Status, 0) << quiet.Err;
  EXPECT_EQ(quiet.Err, "");
  auto after = RunCommand({BELMORA_CLI, "export-avi", path, "-o", avi, "-q", "--force"});
  EXPECT_EQ(after.Err, "");
  std::filesystem::remove(path);
  std::filesystem::remove(avi);
}

}  // namespace
}  // namespace belmora
