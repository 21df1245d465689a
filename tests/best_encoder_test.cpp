// The best-quality encoder: its kernels against their plain references and
// against exact arithmetic, and whole frames: within capacity whatever the
// picture, better than the exact encoder, and read alike by FFmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/bytes.h"
#include "convert/frame_codec.h"
#include "mdec/best_encoder.h"
#include "str/str_document.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using Block = std::array<int16_t, 64>;

// ---- Forward transform --------------------------------------------------

Block RandomSamples(std::mt19937& random) {
  Block b;
  // Smooth, noisy and extreme blocks: the range the colour conversion gives.
  const int kind = int(random() % 3);
  std::uniform_int_distribution<int> any(-2056, 2040);
  const int base = any(random);
  for (int i = 0; i < 64; i++) {
    int v = kind == 0 ? base + (i % 8) * 20 - (i / 8) * 13 : kind == 1 ? any(random)
                                                                       : (i & 1 ? 2040 : -2056);
    b[size_t(i)] = int16_t(std::clamp(v, -2056, 2040));
  }
  return b;
}

TEST(BestTransformTest, FastMatchesReferenceBitForBit) {
  std::mt19937 random(11);
  for (int t = 0; t < 20000; t++) {
    const Block in = RandomSamples(random);
    Block a, b;
    BestForwardDctReference(in.data(), a.data());
    BestForwardDctFast(in.data(), b.data());
    ASSERT_EQ(a, b) << t;
  }
}

TEST(BestTransformTest, WithinTwoSixteenthsOfTheExactTransform) {
  // In coefficient sixteenths: half the orthonormal DCT of the samples.
  std::mt19937 random(12);
  double cosines[8][8];
  for (int k = 0; k < 8; k++)
    for (int n = 0; n < 8; n++)
      cosines[k][n] = (k == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * n + 1) * k * M_PI / 16);
  for (int t = 0; t < 2000; t++) {
    const Block in = RandomSamples(random);
    Block got;
    BestForwardDctFast(in.data(), got.data());
    for (int k = 0; k < 8; k++)
      for (int l = 0; l < 8; l++) {
        double sum = 0;
        for (int i = 0; i < 8; i++)
          for (int j = 0; j < 8; j++) sum += cosines[k][i] * cosines[l][j] * in[size_t(i * 8 + j)];
        ASSERT_NEAR(got[size_t(k * 8 + l)], sum / 2, 2.0) << t << " " << k << "," << l;
      }
  }
  // A flat block is its DC alone: 4 x the sample.
  Block flat, out;
  flat.fill(160);
  BestForwardDctFast(flat.data(), out.data());
  EXPECT_EQ(out[0], 640);
  for (int i = 1; i < 64; i++) EXPECT_EQ(out[size_t(i)], 0) << i;
}

// ---- Rate-distortion quantization ---------------------------------------

Block ToScan(const Block& natural) {
  Block s;
  for (int k = 0; k < 64; k++) s[size_t(k)] = natural[ZigzagOrder[size_t(k)]];
  return s;
}

// Coefficient blocks as the encoder sees them: transformed random and
// picture blocks, and a few with very large values.
std::vector<Block> CoefficientBlocks() {
  std::vector<Block> blocks;
  std::mt19937 random(13);
  for (int t = 0; t < 600; t++) {
    Block c;
    BestForwardDctReference(RandomSamples(random).data(), c.data());
    blocks.push_back(c);
  }
  auto bgr = test::NaturalPicture(160, 96, 4);
  for (int y0 = 0; y0 < 96; y0 += 8)
    for (int x0 = 0; x0 < 160; x0 += 8) {
      Block s, c;
      for (int i = 0; i < 8; i++)
        for (int j = 0; j < 8; j++) {
          const uint8_t* p = &bgr[(size_t(y0 + i) * 160 + size_t(x0 + j)) * 3];
          s[size_t(i * 8 + j)] = int16_t(16 * (0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]) - 2048);
        }
      BestForwardDctReference(s.data(), c.data());
      blocks.push_back(c);
    }
  return blocks;
}

struct RdCase {
  int Scale;
  int64_t Lambda;
  int Weight;
};

std::vector<RdCase> RdCases() {
  std::vector<RdCase> cases;
  for (int scale : {1, 2, 3, 5, 9, 40, 1000})
    for (int64_t lambda : {int64_t(0), int64_t(1), int64_t(740) * scale * scale / 4,
                           int64_t(740) * scale * scale, int64_t(740) * scale * scale * 8,
                           int64_t(1) << 40})
      for (int weight : {12, 16}) cases.push_back({scale, lambda, weight});
  return cases;
}

TEST(RdQuantizeTest, FastMatchesReferenceBitForBit) {
  const auto blocks = CoefficientBlocks();
  int compared = 0;
  for (const RdCase& c : RdCases()) {
    const RdScale scale(c.Scale);
    for (size_t b = 0; b < blocks.size(); b += 3) {
      int16_t want[64] = {}, got[64] = {};
      const RdBlockOutcome a =
          RdQuantizeBlockReference(blocks[b].data(), scale, c.Lambda, c.Weight, want);
      RdCandidate candidates[63];
      int64_t zero;
      const Block scan = ToScan(blocks[b]);
      const int n = RdPrepareBlock(scan.data(), scale, candidates, zero);
      const RdBlockOutcome f = RdQuantizeBlockFast(candidates, n, zero, c.Lambda, c.Weight, got);
      ASSERT_EQ(a, f) << "scale " << c.Scale << " lambda " << c.Lambda << " block " << b;
      ASSERT_EQ(0, std::memcmp(want + 1, got + 1, 63 * sizeof(int16_t)))
          << "scale " << c.Scale << " lambda " << c.Lambda << " block " << b;
      compared++;
    }
  }
  EXPECT_GT(compared, 10000);
}

// The bits and the distortion an outcome reports are those of its levels.
TEST(RdQuantizeTest, OutcomeIsWhatTheLevelsCost) {
  const auto blocks = CoefficientBlocks();
  const auto& rows = AcCodeTable();
  for (const RdCase& c : RdCases()) {
    const RdScale scale(c.Scale);
    for (size_t b = 0; b < blocks.size(); b += 7) {
      int16_t levels[64] = {};
      const RdBlockOutcome o =
          RdQuantizeBlockReference(blocks[b].data(), scale, c.Lambda, c.Weight, levels);
      int bits = 2, previous = 0;
      int64_t distortion = 0;
      for (int k = 1; k < 64; k++) {
        const int z = ZigzagOrder[size_t(k)];
        const int32_t coef = blocks[b][size_t(z)];
        const int level = levels[k];
        ASSERT_GE(level, -512);
        ASSERT_LE(level, 511);
        ASSERT_TRUE(level == 0 || (level < 0) == (coef < 0)) << "sign kept";
        const int32_t decoded = (level < 0 ? -1 : 1) * scale.Reconstruct(z, std::abs(level));
        distortion += int64_t(c.Weight) * (coef - decoded) * (coef - decoded);
        if (level == 0) continue;
        const int run = k - previous - 1, row = MdecCodec::FindAcRow(run, level);
        bits += row >= 0 ? rows[size_t(row)].Length : 22;
        previous = k;
      }
      ASSERT_EQ(o.Bits, bits) << b;
      ASSERT_EQ(o.Distortion, distortion) << b;
    }
  }
}

TEST(RdQuantizeTest, FreeBitsKeepTheNearestLevelsAndDearBitsNone) {
  const auto blocks = CoefficientBlocks();
  const RdScale scale(2);
  for (size_t b = 0; b < blocks.size(); b += 5) {
    int16_t levels[64] = {};
    RdQuantizeBlockReference(blocks[b].data(), scale, 0, 16, levels);
    for (int k = 1; k < 64; k++) {
      const int z = ZigzagOrder[size_t(k)];
      const int32_t a = std::abs(int32_t(blocks[b][size_t(z)]));
      const int32_t error = std::abs(a - scale.Reconstruct(z, std::abs(levels[k])));
      // No other level comes closer.
      for (int l = 0; l <= 511; l++)
        ASSERT_GE(std::abs(a - scale.Reconstruct(z, l)), error) << b << " " << k << " " << l;
    }
    RdCandidate candidates[63];
    int64_t zero;
    const Block scan = ToScan(blocks[b]);
    const int n = RdPrepareBlock(scan.data(), scale, candidates, zero);
    const RdBlockOutcome o = RdQuantizeBlockFast(candidates, n, zero, int64_t(1) << 45, 16, levels);
    EXPECT_EQ(o.Bits, 2);
    for (int k = 1; k < 64; k++) ASSERT_EQ(levels[k], 0);
  }
}

TEST(RdQuantizeTest, LargeLevelsEscapeWithinTenBits) {
  // Scan positions 1 and 2 (natural 1 and 8) have matrix entry 16: at
  // scale 1 a level is a coefficient sixteenth count / 16.
  Block c{};
  c[1] = 8000;   // level 500
  c[8] = -8300;  // -518: held at -512
  c[16] = 8300;  // scan position 3, matrix 19: 436.8, 437 is nearest
  c[9] = 8300;   // scan position 4, matrix 16: 518, held at 511
  for (bool fast : {false, true}) {
    int16_t levels[64] = {};
    RdBlockOutcome o;
    if (fast) {
      RdCandidate candidates[63];
      int64_t zero;
      const Block scan = ToScan(c);
      const int n = RdPrepareBlock(scan.data(), RdScale(1), candidates, zero);
      o = RdQuantizeBlockFast(candidates, n, zero, 100, 16, levels);
    } else {
      o = RdQuantizeBlockReference(c.data(), RdScale(1), 100, 16, levels);
    }
    EXPECT_EQ(levels[1], 500);
    EXPECT_EQ(levels[2], -512);
    EXPECT_EQ(levels[3], 437);
    EXPECT_EQ(levels[4], 511);
    EXPECT_EQ(o.Bits, 4 * 22 + 2);  // four escapes and the end of block
  }
  EXPECT_EQ(AcCodeBits(0, 500), 22);
  EXPECT_EQ(AcCodeBits(0, 1), 3);
  EXPECT_EQ(AcCodeBits(31, 1), 17);
  EXPECT_EQ(AcCodeBits(32, 1), 22);
  EXPECT_EQ(AcCodeBits(1, 18), 17);
  EXPECT_EQ(AcCodeBits(1, 19), 22);
}

TEST(RdQuantizeTest, CodeLengthsAreTheTables) {
  const auto& rows = AcCodeTable();
  for (int run = 0; run < 63; run++)
    for (int level = 1; level <= 60; level++) {
      const int row = MdecCodec::FindAcRowLinear(run, level);
      EXPECT_EQ(AcCodeBits(run, level), row >= 0 ? rows[size_t(row)].Length : 22)
          << run << " " << level;
      // The fast programme counts on this: a longer run never codes shorter.
      if (run > 0) {
        EXPECT_GE(AcCodeBits(run, level), AcCodeBits(run - 1, level)) << run << " " << level;
      }
    }
}

// ---- Whole frames ---------------------------------------------------------

std::vector<uint8_t> RandomPicture(std::mt19937& random, int width, int height) {
  const int kind = int(random() % 4);
  if (kind == 0) return test::NaturalPicture(width, height, int(random() % 100));
  std::vector<uint8_t> bgr(size_t(width) * height * 3);
  if (kind == 1) {  // noise: the hardest to fit
    for (auto& v : bgr) v = uint8_t(random());
  } else if (kind == 2) {  // flat
    const uint8_t b = uint8_t(random()), g = uint8_t(random()), r = uint8_t(random());
    for (size_t i = 0; i < bgr.size(); i += 3) bgr[i] = b, bgr[i + 1] = g, bgr[i + 2] = r;
  } else {  // saturated stripes
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++)
        for (int c = 0; c < 3; c++)
          bgr[(size_t(y) * width + x) * 3 + c] = ((x / (1 + c) + y / 3) & 1) ? 255 : 0;
  }
  return bgr;
}

// The picture as the frame codec hands it over: its padded area.
std::vector<uint8_t> Padded(const std::vector<uint8_t>& bgr, int width, int height) {
  const int pw = (width + 15) / 16 * 16, ph = (height + 15) / 16 * 16;
  std::vector<uint8_t> out(size_t(pw) * ph * 3, 0);
  for (int y = 0; y < height; y++)
    std::memcpy(&out[size_t(y) * pw * 3], &bgr[size_t(y) * width * 3], size_t(width) * 3);
  return out;
}

TEST(BestEncoderTest, NeverOverrunsTheCapacity) {
  std::mt19937 random(21);
  BestEncoder encoder;
  MdecCodec decoder;
  int encoded = 0, refused = 0;
  for (int t = 0; t < 160; t++) {
    const int width = 16 + int(random() % 20) * 16 - int(random() % 16);
    const int height = 16 + int(random() % 15) * 16 - int(random() % 16);
    const int version = 2 + int(random() % 2);
    const int chunks = 1 + int(random() % 20);
    const int capacity = t % 5 == 0 ? 200 + int(random() % 4000) : chunks * 2016;
    const int pw = (width + 15) / 16 * 16, ph = (height + 15) / 16 * 16;
    const auto picture = Padded(RandomPicture(random, width, height), width, height);
    EncodedFrame out;
    const EncodeStatus status =
        encoder.EncodeFrame({picture.data(), pw, ph, pw * 3}, {width, height, version, capacity}, out);
    const int macroblocks = pw / 16 * (ph / 16);
    if (status == EncodeStatus::kNoScaleFits) {
      // Only when even the DC levels alone cannot fit: version 2 codes each
      // block in 12 bits; version 3 in at most 10 + 11 + 2.
      const int bitsPerBlock = version == 2 ? 12 : 23;
      EXPECT_GE(8 + (macroblocks * 6 * bitsPerBlock + 12) / 8, capacity - 2) << t;
      refused++;
      continue;
    }
    ASSERT_EQ(status, EncodeStatus::kOk) << t;
    encoded++;
    ASSERT_LT(out.Length, capacity) << t;
    ASSERT_EQ(out.Length % 2, 0);
    const MdecFrameHeader h = MdecFrameHeader::Parse(out.Bytes.data());
    EXPECT_EQ(h.Magic, kMdecMagic);
    EXPECT_EQ(h.Version, version);
    EXPECT_EQ(h.QuantScale, out.Scale);
    EXPECT_GE(out.Scale, 1);
    // The frame as it is stored: the encoding, zeros up to the capacity.
    std::vector<uint8_t> frame(kTrialBufferSize, 0);
    std::memcpy(frame.data(), out.Bytes.data(), size_t(out.Length));
    FrameImage image;
    ASSERT_EQ(decoder.DecodeFrame(frame, width, height, false, image), 0) << t;
  }
  EXPECT_GT(encoded, 120);
  EXPECT_GT(refused, 0);
}

TEST(BestEncoderTest, FastAndReferenceKernelsWriteTheSameFrames) {
  std::mt19937 random(22);
  for (int t = 0; t < 12; t++) {
    const int version = 2 + t % 2;
    const auto picture = RandomPicture(random, 64, 48);
    const EncodeRequest request{64, 48, version, 600 + 300 * (t % 4)};
    EncodedFrame fast, slow;
    BestEncoder f, s(BestEncoder::Settings{false});
    ASSERT_EQ(f.EncodeFrame({picture.data(), 64, 48, 192}, request, fast), EncodeStatus::kOk);
    ASSERT_EQ(s.EncodeFrame({picture.data(), 64, 48, 192}, request, slow), EncodeStatus::kOk);
    ASSERT_EQ(fast.Length, slow.Length) << t;
    EXPECT_EQ(fast.Scale, slow.Scale) << t;
    EXPECT_TRUE(std::equal(fast.Bytes.begin(), fast.Bytes.begin() + fast.Length, slow.Bytes.begin()))
        << t;
  }
}

// Decodes a frame buffer with our decoder into a 320 x 240 BGR picture.
std::vector<uint8_t> Decoded(const EncodedFrame& e) {
  std::vector<uint8_t> frame(kTrialBufferSize, 0);
  std::memcpy(frame.data(), e.Bytes.data(), size_t(e.Length));
  MdecCodec decoder;
  FrameImage image;
  EXPECT_EQ(decoder.DecodeFrame(frame, 320, 240, false, image), 0);
  return image.Pixels;
}

double RgbPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); i++) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  return 10 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

TEST(BestEncoderTest, BetterThanTheExactEncoderAtTheSameCapacity) {
  for (int version : {2, 3})
    for (int chunks : {4, 9}) {
      double gainLuma = 0, gainRgb = 0;
      for (int seed = 1; seed <= 4; seed++) {
        const auto picture = test::NaturalPicture(320, 240, seed);
        const FrameView view{picture.data(), 320, 240, 960};
        const EncodeRequest request{320, 240, version, chunks * 2016};
        EncodedFrame exact, best;
        MdecCodec codec;
        BestEncoder encoder;
        ASSERT_EQ(codec.EncodeFrame(view, request, exact), EncodeStatus::kOk);
        ASSERT_EQ(encoder.EncodeFrame(view, request, best), EncodeStatus::kOk);
        EXPECT_LT(best.Length, chunks * 2016);
        const auto e = Decoded(exact), b = Decoded(best);
        const double le = test::LumaPsnr(e.data(), 960, picture.data(), 960, 320, 240);
        const double lb = test::LumaPsnr(b.data(), 960, picture.data(), 960, 320, 240);
        EXPECT_GT(lb, le + 0.3) << "version " << version << ", " << chunks << " chunks, " << seed;
        gainLuma += lb - le;
        gainRgb += RgbPsnr(b, picture) - RgbPsnr(e, picture);
      }
      std::printf("version %d, %d chunks: best encoder %+.2f dB luma, %+.2f dB RGB\n", version,
                  chunks, gainLuma / 4, gainRgb / 4);
      EXPECT_GT(gainLuma / 4, 0.5);
      EXPECT_GT(gainRgb / 4, 0.3);
    }
}

// FFmpeg's decoder makes the same of the best encoder's frames as ours:
// luma PSNR against the source within 0.3 dB, frame by frame (FFmpeg's own
// output, its Y plane, against our pictures' luma).
TEST(BestEncoderTest, DecodesInFfmpegAsInOurDecoder) {
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const int kFrames = 8;
  std::vector<std::vector<uint8_t>> pictures;
  for (int f = 0; f < kFrames; f++) pictures.push_back(test::NaturalPicture(320, 240, 30 + f));
  test::MovieRecipe m;
  m.Frames = kFrames;
  m.ChunkPattern = {9, 9, 9, 8, 4, 4};
  BestEncoder encoder;
  m.Bitstream = [&](int f) {
    const int chunks = m.ChunkPattern[size_t(f) % m.ChunkPattern.size()];
    EncodedFrame out;
    EXPECT_EQ(encoder.EncodeFrame({pictures[size_t(f)].data(), 320, 240, 960},
                                  {320, 240, 2 + f % 2, chunks * 2016}, out),
              EncodeStatus::kOk);
    return std::vector<uint8_t>(out.Bytes.begin(), out.Bytes.begin() + out.Length);
  };
  const std::string path = test::TempPath("best.str"), raw = test::TempPath("best.yuv");
  test::BuildMovie(m).Write(path);
  auto r = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-i", path, "-an", "-f", "rawvideo",
                             "-pix_fmt", "yuvj420p", raw});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto theirs = test::ReadFileBytes(raw);
  const size_t frameBytes = 320 * 240 * 3 / 2;
  ASSERT_EQ(theirs.size(), frameBytes * kFrames);

  CollectingHost sink;
  StrDocument doc(sink);
  ASSERT_EQ(OpenStrFile(doc, path, true), 0);
  FrameCodec codec;
  doc.CurrentSector = 0;
  for (int f = 0; f < kFrames; f++) {
    ASSERT_EQ(ReadAndDecodeFrame(codec, doc), 0) << f;
    double ours = test::LumaPsnr(codec.Image.Pixels.data(), 960, pictures[size_t(f)].data(), 960,
                                 320, 240);
    double sum = 0;
    for (int i = 0; i < 320 * 240; i++) {
      const uint8_t* p = &pictures[size_t(f)][size_t(i) * 3];
      const double d = 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2] - theirs[frameBytes * size_t(f) + size_t(i)];
      sum += d * d;
    }
    const double ffmpeg = 10 * std::log10(255.0 * 255.0 * 320 * 240 / sum);
    std::printf("frame %d: luma PSNR %.2f dB in our decoder, %.2f dB in FFmpeg's\n", f, ours,
                ffmpeg);
    EXPECT_NEAR(ours, ffmpeg, 0.3) << f;
    doc.CurrentSector = doc.NextSector;
  }
  CloseStrFile(doc);
  std::filesystem::remove(path);
  std::filesystem::remove(raw);
}

}  // namespace
}  // namespace belmora
