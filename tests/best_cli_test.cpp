// --encoder best on the command line: the same sectors as the exact
// encoder writes, better pictures in them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "base/bytes.h"
#include "platform/media_writer.h"
#include "str/sector.h"
#include "tests/support/audio.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::RunCommand;

constexpr size_t kRawSector = 2352;
constexpr size_t kRiffHeader = 44;

class BestCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir);
    test::MovieRecipe m;
    m.Frames = 6;
    m.ChunkPattern = {9, 9, 9, 8};
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = 1;
    std::mt19937 random(8);
    m.Bitstream = [&](int) {
      return test::EncodeLevels(test::RandomLevels(320, 240, random), 2, 2);
    };
    test::BuildMovie(m).Write(str);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string Copy(const std::string& name) {
    std::string to = dir + "/" + name;
    std::filesystem::copy_file(str, to, std::filesystem::copy_options::overwrite_existing);
    return to;
  }
  void Run(const std::vector<std::string>& args) {
    std::vector<std::string> command = {BELMORA_CLI, "--quiet"};
    command.insert(command.end(), args.begin(), args.end());
    auto r = RunCommand(command);
    ASSERT_EQ(r.Status, 0) << args[0] << ": " << r.Err;
  }
  // Every frame of `path` through decode, top row first.
  std::vector<std::vector<uint8_t>> Decoded(const std::string& path) {
    const std::string out = dir + "/frames";
    std::filesystem::remove_all(out);
    Run({"decode", path, "--out", out});
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0;; i++) {
      char name[32];
      std::snprintf(name, sizeof name, "/%06d.bmp", i);
      if (!std::filesystem::exists(out + name)) break;
      auto bytes = test::ReadFileBytes(out + name);
      std::vector<uint8_t> top(320 * 240 * 3);
      if (bytes.size() == 230454u)
        for (int y = 0; y < 240; y++)
          std::memcpy(&top[size_t(y) * 960], &bytes[54 + size_t(239 - y) * 960], 960);
      frames.push_back(top);
    }
    return frames;
  }
  // A 320 x 240 15 fps AVI of natural pictures with 44.1 kHz stereo sound.
  void WriteAvi(int frames) {
    MediaWriter w;
    WaveFormat f = WaveFormat::Pcm(44100, 2, 16);
    PcmFormatInfo in{44100, 2, 16};
    ASSERT_EQ(w.Open(avi, 320, 240, 15, 1, CompressOptions{}, &f, &in), MediaError::kNone);
    for (int i = 0; i < frames; i++) {
      pictures.push_back(test::NaturalPicture(320, 240, 40 + i));
      std::vector<uint8_t> rows(320 * 240 * 3);
      for (int y = 0; y < 240; y++)
        std::memcpy(&rows[size_t(239 - y) * 960], &pictures.back()[size_t(y) * 960], 960);
      w.WriteVideo(rows.data());
    }
    auto left = test::MakeSignal(test::Signal::kNoise, 44100 * frames / 15, 44100, 9000);
    auto right = test::MakeSignal(test::Signal::kSpeechLike, 44100 * frames / 15, 44100, 9000);
    std::vector<uint8_t> pcm(left.size() * 4);
    for (size_t i = 0; i < left.size(); i++) {
      PutU16(&pcm[4 * i], uint16_t(left[i]));
      PutU16(&pcm[4 * i + 2], uint16_t(right[i]));
    }
    w.WriteAudio(pcm.data(), pcm.size());
    ASSERT_TRUE(w.Close());
  }

  std::string dir = test::TempPath("bestcli");
  std::string str = dir + "/movie.str";
  std::string avi = dir + "/video.avi";
  std::vector<std::vector<uint8_t>> pictures;
};

TEST_F(BestCliTest, ImportBmpChangesOnlyTheFramesVideoSectors) {
  const auto picture = test::NaturalPicture(320, 240, 9);
  test::WriteBgrBmp(dir + "/in.bmp", picture, 320, 240);
  const std::string exact = Copy("exact.str"), best = Copy("best.str");
  auto r = RunCommand(
      {BELMORA_CLI, "import-bmp", exact, "--frame", "2", dir + "/in.bmp", "--encoder", "exact"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  r = RunCommand(
      {BELMORA_CLI, "import-bmp", best, "--frame", "2", dir + "/in.bmp", "--encoder", "best"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("quantizer scale"), std::string::npos);

  const auto a = test::ReadFileBytes(exact), b = test::ReadFileBytes(best),
             before = test::ReadFileBytes(str);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(b.size(), before.size());
  int changed = 0;
  for (size_t at = kRiffHeader; at + kRawSector <= b.size(); at += kRawSector) {
    if (std::equal(&b[at], &b[at + kRawSector], &before[at])) continue;
    changed++;
    const Subheader sub = Subheader::Parse(&b[at + 16]);
    EXPECT_EQ(sub, kVideoSubheader) << "sector " << (at - kRiffHeader) / kRawSector;
    EXPECT_EQ(GetU32(&b[at + 24 + 8]), 3u) << "frame 2 (number 3)";
  }
  EXPECT_GT(changed, 0);
  EXPECT_LE(changed, 9);

  const auto e = Decoded(exact), g = Decoded(best);
  ASSERT_EQ(e.size(), 6u);
  ASSERT_EQ(g.size(), 6u);
  const double le = test::LumaPsnr(e[2].data(), 960, picture.data(), 960, 320, 240);
  const double lb = test::LumaPsnr(g[2].data(), 960, picture.data(), 960, 320, 240);
  std::printf("import-bmp luma PSNR: exact %.2f dB, best %.2f dB\n", le, lb);
  EXPECT_GT(lb, le + 1.0);
}

TEST_F(BestCliTest, NewFileKeepsTheExactEncodersLayout) {
  WriteAvi(12);
  const std::string exact = dir + "/exact.str", best = dir + "/best.str",
                    named = dir + "/named.str";
  const std::vector<std::string> settings = {"--sector", "2352", "--speed",       "2",
                                             "--fps",    "15",   "--audio",       "37.8-stereo",
                                             "--mdec",   "3",    "--tail-frames", "0"};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), settings.begin(), settings.end());
    return args;
  };
  Run(with({"new", exact, avi, "--encoder", "exact"}));
  Run(with({"new", best, avi}));
  Run(with({"new", named, avi, "--encoder", "best"}));
  EXPECT_EQ(test::ReadFileBytes(named), test::ReadFileBytes(best)) << "best is the default";

  const auto a = test::ReadFileBytes(exact), b = test::ReadFileBytes(best);
  ASSERT_EQ(a.size(), b.size());
  int audio = 0;
  for (size_t at = kRiffHeader; at + kRawSector <= b.size(); at += kRawSector) {
    // Same subheaders, and for video sectors the same chunk headers but
    // for the frame's data size and MDEC header copy.
    ASSERT_EQ(0, std::memcmp(&a[at + 16], &b[at + 16], 8)) << at;
    const Subheader sub = Subheader::Parse(&b[at + 16]);
    if (sub == kVideoSubheader) {
      EXPECT_EQ(0, std::memcmp(&a[at + 24], &b[at + 24], 12)) << at;
      EXPECT_EQ(0, std::memcmp(&a[at + 24 + 16], &b[at + 24 + 16], 4)) << at;
    } else if (IsAudioSector(sub)) {
      audio++;
    }
  }
  EXPECT_GT(audio, 0);
  double gain = 0;
  const auto e = Decoded(exact), g = Decoded(best);
  ASSERT_EQ(e.size(), g.size());
  ASSERT_GE(e.size(), 11u);
  for (size_t f = 1; f < 11; f++) {
    // The conversion shows each frame the picture its time falls on.
    double le = 0, lb = 0;
    for (size_t s = f - 1; s <= f + 1; s++) {
      le = std::max(le, test::LumaPsnr(e[f].data(), 960, pictures[s].data(), 960, 320, 240));
      lb = std::max(lb, test::LumaPsnr(g[f].data(), 960, pictures[s].data(), 960, 320, 240));
    }
    EXPECT_GT(lb, le) << f;
    gain += lb - le;
  }
  std::printf("new --encoder best: %+.2f dB luma on average\n", gain / 10);
  EXPECT_GT(gain / 10, 1.0);
}

TEST_F(BestCliTest, ImportAviInPlaceAndBadChoices) {
  WriteAvi(8);
  const std::string target = Copy("target.str");
  Run({"import-avi", target, avi, "--encoder", "best", "--mdec", "2"});
  EXPECT_EQ(test::ReadFileBytes(target).size(), test::ReadFileBytes(str).size());
  const auto frames = Decoded(target);
  ASSERT_EQ(frames.size(), 6u);
  for (const auto& got : frames) {
    double best = 0;
    for (const auto& p : pictures)
      best = std::max(best, test::LumaPsnr(got.data(), 960, p.data(), 960, 320, 240));
    EXPECT_GT(best, 35.0);
  }
  for (const char* command : {"import-bmp", "import-avi", "new"}) {
    auto r = RunCommand({BELMORA_CLI, command, dir + "/x.str", avi, "--encoder", "fancy"});
    EXPECT_NE(r.Status, 0) << command;
  }
}

}  // namespace
}  // namespace belmora
