// Our MDEC decoder against FFmpeg's, on builder-made 2352-byte STR files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "convert/frame_codec.h"
#include "str/str_document.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

TEST(FfmpegVideoTest, DecodesLikeFfmpeg) {
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const int kFrames = 12;
  test::MovieRecipe m;
  m.Frames = kFrames;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  std::mt19937 random(77);
  const int scales[] = {1, 2, 4, 8, 13, 31};
  m.Bitstream = [&](int frame) {
    int detail = 2 + frame % 4 * 2, scale = scales[frame % 6];
    auto levels = test::RandomLevels(320, 240, random, detail);
    // Keep every picture within range: the two decoders round and place
    // chroma differently, so their luma only agrees where no channel clips.
    for (auto& mb : levels)
      for (int b = 0; b < 6; b++) {
        mb[b][0] = int16_t((mb[b][0] / 2) & ~3);
        int budget = b < 2 ? 40 : 120;  // sum of dequantized AC magnitudes
        for (int k = 1; k < 64; k++) {
          int step = QuantMatrix[ZigzagOrder[k]] * scale / 16 + 1;
          int allowed = budget / step;
          mb[b][k] = int16_t(std::clamp<int>(mb[b][k], -allowed, allowed));
          budget -= std::abs(mb[b][k]) * step;
        }
      }
    return test::EncodeLevels(levels, 2 + frame % 2, scale);
  };
  std::string path = test::TempPath("cross.str"), raw = test::TempPath("cross.raw");
  test::BuildMovie(m).Write(path);

  auto r = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-i", path, "-an", "-f", "rawvideo",
                             "-pix_fmt", "bgr24", raw});
  ASSERT_EQ(r.Status, 0) << r.Err;
  auto theirs = test::ReadFileBytes(raw);
  const size_t frameBytes = 320 * 240 * 3;
  ASSERT_EQ(theirs.size(), frameBytes * kFrames);

  CollectingHost sink;
  StrDocument doc(sink);
  ASSERT_EQ(OpenStrFile(doc, path, true), 0);
  for (bool packed : {true, false}) {
    FrameCodec codec;
    codec.Codec.Init({(packed) ? TransformVariant::kPacked : TransformVariant::kScalar});
    doc.CurrentSector = 0;
    double worst = 99;
    for (int f = 0; f < kFrames; f++) {
      ASSERT_EQ(ReadAndDecodeFrame(codec, doc), 0) << f;
      double psnr = test::LumaPsnr(codec.Image.Pixels.data(), 320 * 3,
                                   theirs.data() + f * frameBytes, 320 * 3, 320, 240);
      EXPECT_GT(psnr, 40.0) << "frame " << f << (packed ? " packed" : " scalar");
      worst = std::min(worst, psnr);
      doc.CurrentSector = doc.NextSector;
    }
    RecordProperty(packed ? "WorstPsnrPacked" : "WorstPsnrScalar", std::to_string(worst));
    std::printf("worst luma PSNR against ffmpeg (%s): %.2f dB\n", packed ? "packed" : "scalar",
                worst);
  }
  CloseStrFile(doc);
  std::filesystem::remove(path);
  std::filesystem::remove(raw);
}

}  // namespace
}  // namespace belmora
