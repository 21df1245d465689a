// Frames to and from BMP files from the command line, checked by FFmpeg.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "base/bytes.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::RunCommand;

class CliBmpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir);
    test::MovieRecipe m;
    m.Frames = 8;
    m.ChunkPattern = {9, 9, 9, 8};
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = 1;
    std::mt19937 random(6);
    m.Bitstream = [&](int) {
      return test::EncodeLevels(test::RandomLevels(320, 240, random), 2, 2);
    };
    test::BuildMovie(m).Write(str);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string dir = test::TempPath("bmpdir");
  std::string str = dir + "/movie.str";
};

TEST_F(CliBmpTest, ImportedFramesDecodeCloseToTheirBmps) {
  std::vector<std::vector<uint8_t>> pictures;
  for (int f = 0; f < 8; f++) {
    pictures.push_back(test::NaturalPicture(320, 240, 10 + f));
    std::string bmp = dir + "/in" + std::to_string(f) + ".bmp";
    test::WriteBgrBmp(bmp, pictures.back(), 320, 240);
    auto r = RunCommand({BELMORA_CLI, "import-bmp", str, "--frame", std::to_string(f), bmp});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("quantizer scale"), std::string::npos);
  }
  // Our own decode, through export-bmp.
  auto ex = RunCommand({BELMORA_CLI, "export-bmp", str, "--frame", "5", "-o", dir + "/out.bmp"});
  ASSERT_EQ(ex.Status, 0) << ex.Err;
  auto out = test::ReadFileBytes(dir + "/out.bmp");
  ASSERT_EQ(out.size(), 230454u);
  std::vector<uint8_t> ours(320 * 240 * 3);
  for (int y = 0; y < 240; y++)  // bottom row first in the file
    std::memcpy(&ours[size_t(y) * 960], &out[54 + size_t(239 - y) * 960], 960);
  EXPECT_GT(test::LumaPsnr(ours.data(), 960, pictures[5].data(), 960, 320, 240), 30.0);

  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  std::string raw = dir + "/frames.raw";
  auto r = RunCommand({"ffmpeg", "-v", "error", "-y", "-i", str, "-an", "-f", "rawvideo",
                       "-pix_fmt", "bgr24", raw});
  ASSERT_EQ(r.Status, 0) << r.Err;
  auto theirs = test::ReadFileBytes(raw);
  ASSERT_EQ(theirs.size(), 8u * 320 * 240 * 3);
  for (int f = 0; f < 8; f++) {
    double psnr =
        test::LumaPsnr(&theirs[size_t(f) * 230400], 960, pictures[size_t(f)].data(), 960, 320, 240);
    std::printf("frame %d: ffmpeg's decode against the BMP, luma PSNR %.1f dB\n", f, psnr);
    EXPECT_GT(psnr, 30.0) << f;
  }
}

TEST_F(CliBmpTest, FailedImportChangesNothing) {
  auto before = test::ReadFileBytes(str);
  test::WriteFileBytes(dir + "/bad.bmp", std::vector<uint8_t>(64, 'z'));
  auto r = RunCommand({BELMORA_CLI, "import-bmp", str, "--sector", "0", dir + "/bad.bmp"});
  EXPECT_NE(r.Status, 0);
  EXPECT_NE(r.Err.find("BMP形式ではありません。"), std::string::npos) << r.Err;
  EXPECT_NE(RunCommand({BELMORA_CLI, "import-bmp", str, dir + "/bad.bmp"}).Status, 0);
  EXPECT_NE(
      RunCommand({BELMORA_CLI, "export-bmp", str, "--frame", "99", "-o", dir + "/x.bmp"}).Status,
      0);
  EXPECT_EQ(test::ReadFileBytes(str), before);
}

TEST_F(CliBmpTest, HalfWidthExport) {
  auto r = RunCommand(
      {BELMORA_CLI, "export-bmp", str, "--sector", "11", "--half", "-o", dir + "/h.bmp"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("sector 20"), std::string::npos) << r.Out;
  auto out = test::ReadFileBytes(dir + "/h.bmp");
  EXPECT_EQ(out.size(), 54u + 160 * 240 * 3);
  EXPECT_EQ(GetU32(&out[18]), 160u);
}

}  // namespace
}  // namespace belmora
