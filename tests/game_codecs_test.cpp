// The bitstream variants of some games' movies and SPU-ADPCM sound: short
// frames written bit by bit from the published code tables decode to the
// known levels, and pictures and sound survive an encode -> decode trip.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "base/bytes.h"
#include "mdec/variants.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "xa/spu_adpcm.h"

namespace belmora {
namespace {

// "0101 1..." -> bytes, most significant bit first, zero-padded; spaces ignored.
std::vector<uint8_t> PackBits(const std::string& text) {
  std::vector<uint8_t> bytes;
  int n = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) bytes.push_back(0);
    if (c == '1') bytes.back() |= uint8_t(0x80 >> (n % 8));
    n++;
  }
  if (bytes.size() % 2) bytes.push_back(0);
  return bytes;
}

// The same bits as 16-bit little-endian words.
std::vector<uint8_t> PackWords(const std::string& text) {
  std::vector<uint8_t> bytes = PackBits(text);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  return bytes;
}

using Levels = std::array<std::array<int16_t, 64>, 6>;

Levels DcOnly(std::array<int16_t, 6> dc) {
  Levels l{};
  for (int b = 0; b < 6; b++) l[b][0] = dc[b];
  return l;
}

TEST(GameBitstreamTest, HandWrittenFramesDecodeToTheirLevels) {
  struct Case {
    const char* Name;
    BitstreamKind Kind;
    std::vector<uint8_t> Frame;
    Levels Expected;
    std::array<int, 6> Scales;
  };
  std::vector<Case> cases;

  {
    // Lain: luma scale 2, chroma scale 3; big-endian bits; 10-bit DC;
    // Cr: DC 5, 110 (0,+1), 0111 (0,-2), escape run 3 level -100 in 8 bits,
    // escape run 0 level 200 in 16 bits, 01000 (1,+1), end of block; the
    // other blocks a DC and end of block.
    std::vector<uint8_t> f = {2, 3, 0x00, 0x38, 12, 0, 0, 0};
    const auto bits = PackBits(
        "0000000101 110 0111 000001 000011 10011100 000001 000000 00000000 11001000 01000 10"
        "1111111101 10  0000000000 10  0000000001 10  1111111111 10  0000010000 10");
    f.insert(f.end(), bits.begin(), bits.end());
    Levels want = DcOnly({5, -3, 0, 1, -1, 16});
    want[0][1] = 1;
    want[0][2] = -2;
    want[0][6] = -100;
    want[0][7] = 200;
    want[0][9] = 1;
    cases.push_back({"lain", BitstreamKind::kLain, f, want, {3, 3, 2, 2, 2, 2}});
  }
  {
    // Lain's table differs from the standard one: 0100s is run 1 level 1
    // there (run 0 level 2 in the standard table); 0000 0000 0001 1111 s is
    // (18, 1); the 16-bit escape for negative levels: 1000 0000 then the
    // level + 256.
    std::vector<uint8_t> f = {1, 1, 0x00, 0x38, 0, 0, 0, 0};
    const auto bits = PackBits(
        "0000000000 01001 00000000000111111 000001 000001 10000000 00000001 10"
        "0000000000 10 0000000000 10 0000000000 10 0000000000 10 0000000000 10");
    f.insert(f.end(), bits.begin(), bits.end());
    Levels want = DcOnly({0, 0, 0, 0, 0, 0});
    want[0][2] = -1;
    want[0][21] = -1;
    want[0][23] = -255;
    cases.push_back({"lain table", BitstreamKind::kLain, f, want, {1, 1, 1, 1, 1, 1}});
  }
  {
    // iki: the block codes (scale 5 << 10 | DC) of one macroblock, high
    // bytes then low bytes, compressed as: flags 0x08, literals 14 17 14,
    // a copy of 3 bytes from distance 1, literals 01 FF 00 00; flags 0x00,
    // literals 00 02. Then the AC codes in 16-bit little-endian words:
    // Cr 110 (0,+1), 01001 (0,-2), end of block; five ends of block.
    std::vector<uint8_t> f = {14, 0, 0x00, 0x38, 16, 0, 16, 0, 13, 0};
    const std::vector<uint8_t> packed = {0x08, 0x14, 0x17, 0x14, 0x00, 0x00, 0x01,
                                         0xFF, 0x00, 0x00, 0x00, 0x00, 0x02};
    f.insert(f.end(), packed.begin(), packed.end());
    const auto words = PackWords("110 01001 10 10 10 10 10 10");
    EXPECT_EQ(words, (std::vector<uint8_t>{0xAA, 0xC9, 0x00, 0xA0}));
    f.insert(f.end(), words.begin(), words.end());
    Levels want = DcOnly({1, -1, 0, 0, 0, 2});
    want[0][1] = 1;
    want[0][2] = -2;
    cases.push_back({"iki", BitstreamKind::kIki, f, want, {5, 5, 5, 5, 5, 5}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    DecodedLevels got;
    ASSERT_TRUE(DecodeVariantLevels(c.Kind, c.Frame, 1, got));
    ASSERT_EQ(got.Levels.size(), 1u);
    EXPECT_EQ(got.Scales[0], c.Scales);
    for (int b = 0; b < 6; b++) EXPECT_EQ(got.Levels[0][b], c.Expected[b]) << "block " << b;
  }

  // Broken frames are refused: a code that no table has, a run past the
  // block, a compressed table that refers before its start or runs out.
  const std::vector<std::pair<BitstreamKind, std::vector<uint8_t>>> broken = {
      {BitstreamKind::kLain, [] {
         std::vector<uint8_t> f = {1, 1, 0, 0x38, 0, 0, 0, 0};
         auto b = PackBits("0000000000 000000000000000000");
         f.insert(f.end(), b.begin(), b.end());
         return f;
       }()},
      {BitstreamKind::kLain, [] {
         std::vector<uint8_t> f = {1, 1, 0, 0x38, 0, 0, 0, 0};
         auto b = PackBits("0000000000 000001 111111 00000001 10");
         f.insert(f.end(), b.begin(), b.end());
         return f;
       }()},
      {BitstreamKind::kIki, {0, 0, 0, 0x38, 16, 0, 16, 0, 3, 0, 0x01, 0x00, 0x05}},
      {BitstreamKind::kIki, {0, 0, 0, 0x38, 16, 0, 16, 0, 2, 0, 0x00, 0x14}},
  };
  for (const auto& [kind, frame] : broken) {
    DecodedLevels got;
    EXPECT_FALSE(DecodeVariantLevels(kind, frame, 1, got));
  }
}

TEST(GameBitstreamTest, IkiTableCompressionRoundTrips) {
  std::mt19937 random(7);
  // Runs, repeats far apart (two-byte distances), and noise.
  std::vector<uint8_t> data(3000);
  for (size_t i = 0; i < data.size(); i++)
    data[i] = i < 1000 ? uint8_t(0x14 + (i / 200) % 2) : i < 2000 ? data[i - 900] : uint8_t(random());
  const std::vector<uint8_t> packed = IkiCompress(data);
  EXPECT_LT(packed.size(), data.size() * 2 / 3);
  std::vector<uint8_t> back;
  size_t consumed = 0;
  ASSERT_TRUE(IkiExpand(packed, data.size(), back, &consumed));
  EXPECT_EQ(consumed, packed.size());
  EXPECT_EQ(back, data);
}

TEST(GameBitstreamTest, VersionOneFramesReadAsVersionTwoAndKeepTheirCameraData) {
  // One grey macroblock in version-2 coding, its header saying version 1,
  // alone and behind 40 bytes of camera data.
  std::vector<uint8_t> frame = {0x20, 0x00, 0x00, 0x38, 0x01, 0x00, 0x01, 0x00};
  for (uint16_t w : {0x0020, 0x0200, 0x2002, 0x0020, 0x027F, 0xC000}) {
    frame.push_back(uint8_t(w));
    frame.push_back(uint8_t(w >> 8));
  }
  std::vector<uint8_t> camera(40);
  for (int i = 0; i < 40; i++) camera[i] = uint8_t(0xC0 + i);
  std::vector<uint8_t> withCamera = camera;
  withCamera.insert(withCamera.end(), frame.begin(), frame.end());

  const BitstreamCodec& v1 = BitstreamCodecFor(BitstreamKind::kVersion1);
  MdecCodec codec;
  for (const auto& f : {frame, withCamera}) {
    FrameImage image;
    ASSERT_EQ(v1.Decode(codec, f, 16, 16, false, image), 0);
    for (uint8_t p : image.Pixels) ASSERT_EQ(p, 128);
  }

  const std::vector<uint8_t> picture = test::NaturalPicture(64, 48, 3);
  const FrameView view{picture.data(), 64, 48, 64 * 3};
  EncodedFrame out;
  ASSERT_EQ(v1.Encode(codec, view, {64, 48, 2, 2016 * 3}, withCamera, out), EncodeStatus::kOk);
  ASSERT_GT(out.Length, 48);
  EXPECT_TRUE(std::equal(camera.begin(), camera.end(), out.Bytes.begin()));
  EXPECT_EQ(GetU16(&out.Bytes[42]), kMdecMagic);
  EXPECT_EQ(GetU16(&out.Bytes[46]), 1);  // written back as version 1
  EXPECT_LT(out.Length, 2016 * 3);
}

TEST(GameBitstreamTest, EncodedPicturesDecodeAtGoodQuality) {
  struct Case {
    BitstreamKind Kind;
    int Width, Height, Capacity;
  };
  const Case cases[] = {
      {BitstreamKind::kStandard, 160, 112, 2016 * 8},
      {BitstreamKind::kVersion1, 160, 112, 2016 * 8},
      {BitstreamKind::kLain, 160, 112, 2016 * 8},
      {BitstreamKind::kIki, 160, 112, 2016 * 8},
      {BitstreamKind::kLain, 100, 72, 2016 * 4},
      {BitstreamKind::kIki, 100, 72, 2016 * 4},
      {BitstreamKind::kLain, 160, 112, 2016 * 2},
      {BitstreamKind::kIki, 160, 112, 2016 * 2},
      {BitstreamKind::kVersion1, 160, 112, 2016 * 2},
  };
  for (const Case& c : cases) {
    const BitstreamCodec& codec = BitstreamCodecFor(c.Kind);
    SCOPED_TRACE(codec.Name());
    const int pw = (c.Width + 15) / 16 * 16, ph = (c.Height + 15) / 16 * 16;
    const std::vector<uint8_t> picture = test::NaturalPicture(pw, ph, 11);
    const FrameView view{picture.data(), pw, ph, pw * 3};
    MdecCodec mdec;
    EncodedFrame out;
    const std::vector<uint8_t> none;
    ASSERT_EQ(codec.Encode(mdec, view, {c.Width, c.Height, 2, c.Capacity}, none, out),
              EncodeStatus::kOk);
    EXPECT_LT(out.Length, c.Capacity);
    // The headers: iki gives the picture size and a compressed table of
    // whole 16-bit words; Lain its luma and chroma scales and version 0.
    if (c.Kind == BitstreamKind::kIki) {
      EXPECT_EQ(GetU16(&out.Bytes[4]), c.Width);
      EXPECT_EQ(GetU16(&out.Bytes[6]), c.Height);
      EXPECT_EQ(GetU16(&out.Bytes[8]) % 2, 0);
    }
    if (c.Kind == BitstreamKind::kLain) {
      EXPECT_EQ(out.Bytes[0], out.Scale);
      EXPECT_EQ(out.Bytes[1], out.Scale);
      EXPECT_EQ(GetU16(&out.Bytes[2]), kMdecMagic);
      EXPECT_EQ(GetU16(&out.Bytes[6]), 0);
    }
    FrameImage image;
    const std::span<const uint8_t> bytes(out.Bytes.data(), size_t(out.Length));
    ASSERT_EQ(codec.Decode(mdec, bytes, c.Width, c.Height, false, image), 0);
    ASSERT_EQ(image.Width, pw);
    const double psnr =
        test::LumaPsnr(picture.data(), size_t(pw) * 3, image.Pixels.data(),
                       size_t(image.Stride()), c.Width, c.Height);
    EXPECT_GE(psnr, 35.0) << "scale " << out.Scale << ", " << out.Length << " bytes";
    // Too little room for even the coarsest encoding is said so.
    EXPECT_EQ(codec.Encode(mdec, view, {c.Width, c.Height, 2, 64}, none, out),
              EncodeStatus::kNoScaleFits);
  }
}

TEST(SpuAdpcmTest, UnitsDecodeAsTheFiltersSay) {
  struct Case {
    uint8_t Parameter;
    std::vector<int> Nibbles;
    std::vector<int16_t> Expected;
  };
  const Case cases[] = {
      // Filter 0, range 0: the nibble at the top of 16 bits.
      {0x00, {7, -8, 1}, {28672, -32768, 4096}},
      // Range 4 shifts it down by 4.
      {0x04, {7, -8, -1}, {1792, -2048, -256}},
      // Filter 1 (60/64 of the last sample, rounded), range 12.
      {0x1C, {7, 7, 7, 0}, {7, 14, 20, 19}},
      // Filter 2 (115/64, -52/64), range 12.
      {0x2C, {7, 0, 0}, {7, 13, 18}},
      // Filter numbers past the table predict nothing.
      {0x9C, {7, 7}, {7, 7}},
  };
  for (const Case& c : cases) {
    uint8_t unit[kSpuUnitSize] = {c.Parameter, 0x00};
    for (size_t k = 0; k < c.Nibbles.size(); k++)
      unit[2 + k / 2] |= uint8_t((c.Nibbles[k] & 0x0F) << (k % 2 ? 4 : 0));
    SpuAdpcmHistory h;
    int16_t out[kSpuSamplesPerUnit];
    SpuAdpcmDecode(h, unit, 1, out);
    for (size_t k = 0; k < c.Expected.size(); k++)
      EXPECT_EQ(out[k], c.Expected[k]) << int(c.Parameter) << " sample " << k;
  }
}

double SnrDb(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < a.size(); i++) {
    signal += double(a[i]) * a[i];
    noise += double(a[i] - b[i]) * (a[i] - b[i]);
  }
  return noise == 0 ? 99 : 10 * std::log10(signal / noise);
}

TEST(SpuAdpcmTest, SoundSurvivesEncodingInItsSectors) {
  // Two sectors' worth of two tones, left and right different.
  const int frames = kFf8SoundSamples * 2;
  std::vector<int16_t> pcm(size_t(frames) * 2);
  for (int i = 0; i < frames; i++) {
    pcm[2 * i] = int16_t(12000 * std::sin(i * 2 * M_PI * 440 / kFf8SoundRate));
    pcm[2 * i + 1] = int16_t(9000 * std::sin(i * 2 * M_PI * 1250 / kFf8SoundRate) +
                             3000 * std::sin(i * 2 * M_PI * 90 / kFf8SoundRate));
  }
  std::vector<uint8_t> sectors(4 * 2048);
  for (size_t i = 0; i < sectors.size(); i++) sectors[i] = uint8_t(i * 7);
  const std::vector<uint8_t> before = sectors;
  SpuAdpcmHistory enc[2], dec[2];
  std::vector<int16_t> back(pcm.size());
  for (int s = 0; s < 2; s++) {
    uint8_t* left = &sectors[size_t(s) * 4096];
    Ff8SoundEncode(enc, &pcm[size_t(s) * kFf8SoundSamples * 2], left, left + 2048);
    Ff8SoundDecode(dec, left, left + 2048, &back[size_t(s) * kFf8SoundSamples * 2]);
  }
  EXPECT_GE(SnrDb(pcm, back), 40.0);
  // Only the units' parameter and sample bytes changed: the sector header,
  // the bytes after the units and every unit's flag byte are as they were.
  for (size_t i = 0; i < sectors.size(); i++) {
    const size_t at = i % 2048;
    const bool unitByte = at >= size_t(kFf8SoundOffset) &&
                          at < size_t(kFf8SoundOffset + kFf8SoundUnits * kSpuUnitSize) &&
                          (at - kFf8SoundOffset) % kSpuUnitSize != 1;
    if (!unitByte) {
      ASSERT_EQ(sectors[i], before[i]) << i;
    }
  }
  // Silence encodes as silence.
  std::vector<int16_t> quiet(kSpuSamplesPerUnit * 3, 0), out(quiet.size(), 1);
  std::vector<uint8_t> units(3 * kSpuUnitSize, 0xFF);
  SpuAdpcmHistory h1, h2;
  SpuAdpcmEncode(h1, quiet.data(), 3, units.data());
  SpuAdpcmDecode(h2, units.data(), 3, out.data());
  EXPECT_EQ(out, quiet);
}

}  // namespace
}  // namespace belmora
