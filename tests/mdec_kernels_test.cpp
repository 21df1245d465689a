// The codec's fast kernels against their plain references, bit for bit on
// random inputs; the streamed WAVE file against the one written at once.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "mdec/codec.h"
#include "mdec/colour.h"
#include "media/wav_writer.h"
#include "tests/support/mdec_builder.h"

namespace belmora {
namespace {

// Every colour variant this processor runs, named.
std::vector<std::pair<const char*, ColourStore>> ColourVariants() {
  std::vector<std::pair<const char*, ColourStore>> v;
#if defined(BELMORA_HAVE_SSE2)
  v.emplace_back("sse2", StoreMacroblockSse2);
  if (ProcessorHasSsse3()) v.emplace_back("ssse3", StoreMacroblockSsse3);
  if (ProcessorHasAvx2()) v.emplace_back("avx2", StoreMacroblockAvx2);
#endif
  v.emplace_back("selected", SelectColourStore());
  return v;
}

// Samples as the transforms leave them: mostly moderate, some anywhere in
// 16 bits (the vector code's wide-product path), for a whole macroblock.
TEST(ColourStoreTest, VariantsMatchPlainOnRandomSamples) {
  std::mt19937 random(41);
  alignas(16) Blocks6 samples;
  for (int round = 0; round < 400; round++) {
    const int spread = round % 3 == 0 ? 65536 : round % 3 == 1 ? 2400 : 600;
    for (auto& block : samples)
      for (auto& v : block) v = int16_t(int(random() % unsigned(spread)) - spread / 2);
    const bool half = round % 2;
    const int columns = 1 + int(random() % 4), rows = 1 + int(random() % 3);
    const int column = int(random() % unsigned(columns)), row = int(random() % unsigned(rows));
    FrameImage reference;
    reference.LayOut(columns * 16, rows * 16);
    for (auto& p : reference.Pixels) p = uint8_t(random());
    FrameImage expected = reference;
    StoreMacroblockPlain(samples, expected, column, row, half);
    for (const auto& [name, store] : ColourVariants()) {
      FrameImage image = reference;
      store(samples, image, column, row, half);
      ASSERT_EQ(image.Pixels, expected.Pixels) << name << " round " << round;
    }
  }
}

// The encoder's colour conversion, on random pictures and on the extremes
// (every channel 0 or 255), at every macroblock position of a picture.
TEST(PictureToSamplesTest, VariantsMatchPlain) {
  std::mt19937 random(53);
  const int width = 48, height = 32;
  const size_t stride = width * 3 + 5;
  std::vector<uint8_t> picture(stride * height);
  for (int round = 0; round < 60; round++) {
    for (auto& v : picture)
      v = round % 3 == 0 ? uint8_t(random() % 2 ? 255 : 0) : uint8_t(random());
    for (int y = 0; y + 16 <= height; y += 16) {
      for (int x = 0; x + 16 <= width; x += 16) {
        alignas(16) Blocks6 expected, got;
        PictureToSamplesPlain(picture.data(), stride, x, y, expected);
        std::memset(got, 0x5A, sizeof got);
        PictureToSamples(picture.data(), stride, x, y, got);
        ASSERT_EQ(std::memcmp(got, expected, sizeof got), 0) << "round " << round;
#if defined(BELMORA_HAVE_SSE2)
        std::memset(got, 0x5A, sizeof got);
        PictureToSamplesSse2(picture.data(), stride, x, y, got);
        ASSERT_EQ(std::memcmp(got, expected, sizeof got), 0) << "round " << round;
#endif
      }
    }
  }
}

// The fast decode (64-bit window, dequantizing as it reads) gives the
// reference decode's result and picture, also for damaged and cut-short
// frames, where the pixels of the macroblocks before the failure count too.
TEST(WideDecoderTest, MatchesReferenceOnIntactAndDamagedFrames) {
  std::mt19937 random(43);
  for (int round = 0; round < 120; round++) {
    const int width = 16 + int(random() % 12) * 16 - int(random() % 16);
    const int height = 16 + int(random() % 6) * 16;
    auto levels = test::RandomLevels(width, height, random, int(random() % 30));
    for (auto& mb : levels)  // escapes and wrapping products
      if (random() % 3 == 0) mb[random() % 6][random() % 64] = int16_t(int(random() % 1024) - 512);
    auto bits = test::EncodeLevels(levels, 2 + round % 2, 1 + int(random() % 40));
    switch (round % 4) {
      case 1:  // flipped bits
        for (int i = 0; i < 1 + round % 5; i++)
          bits[8 + random() % (bits.size() - 8)] ^= uint8_t(1 << (random() % 8));
        break;
      case 2:  // cut short, maybe in the middle of a word
        bits.resize(8 + random() % (bits.size() - 8));
        break;
      case 3:  // random bytes after the header
        for (size_t i = 8 + random() % (bits.size() - 8); i < bits.size(); i++)
          bits[i] = uint8_t(random());
        break;
      default:
        break;
    }
    for (const auto transforms : {TransformVariant::kPacked, TransformVariant::kScalar}) {
      for (const bool half : {false, true}) {
        MdecCodec reference, fast;
        reference.Init({transforms, false});
        fast.Init({transforms, true});
        FrameImage a, b;
        const int ra = reference.DecodeFrame(bits, width, height, half, a);
        const int rb = fast.DecodeFrame(bits, width, height, half, b);
        ASSERT_EQ(rb, ra) << "round " << round;
        ASSERT_EQ(b.Pixels, a.Pixels) << "round " << round << " half " << half;
      }
    }
  }
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(WavStreamWriterTest, SameFileAsWrittenAtOnceAndFailuresReported) {
  const auto folder = std::filesystem::temp_directory_path() / "belmora-wav-stream-test";
  std::filesystem::create_directories(folder);
  std::mt19937 random(47);
  // Pieces of every size, over the writer's buffer more than once.
  std::vector<uint8_t> data(3 * 1024 * 1024 + 777);
  for (auto& b : data) b = uint8_t(random());
  for (size_t total : {size_t(0), size_t(4), data.size()}) {
    WavStreamWriter stream;
    ASSERT_TRUE(stream.Open((folder / "stream.wav").string(), 37800, 2, 16));
    for (size_t at = 0; at < total;) {
      const size_t n = std::min<size_t>(total - at, random() % 70000);
      ASSERT_TRUE(stream.Write(data.data() + at, n));
      at += n;
    }
    ASSERT_TRUE(stream.Close());
    EXPECT_EQ(stream.DataBytes(), total);
    std::vector<uint8_t> part(data.begin(), data.begin() + long(total));
    ASSERT_TRUE(WriteWavFile((folder / "whole.wav").string(), 37800, 2, 16, part));
    EXPECT_EQ(FileBytes(folder / "stream.wav"), FileBytes(folder / "whole.wav")) << total;
  }
  WavStreamWriter missing;
  EXPECT_FALSE(missing.Open((folder / "no-such-folder" / "x.wav").string(), 44100, 2, 16));
  EXPECT_NE(missing.Error(), 0);
  EXPECT_FALSE(missing.Write(data.data(), 4));
  if (std::filesystem::exists("/dev/full")) {
    WavStreamWriter full;
    ASSERT_TRUE(full.Open("/dev/full", 44100, 2, 16));
    bool ok = true;
    for (int i = 0; i < 4 && ok; i++) ok = full.Write(data.data(), 1024 * 1024);
    ok = full.Close() && ok;
    EXPECT_FALSE(ok);
    EXPECT_EQ(full.Error(), ENOSPC);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace belmora
