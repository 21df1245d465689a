#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "base/bytes.h"
#include "str/sector.h"
#include "tests/support/audio.h"
#include "xa/xa_codec.h"

namespace belmora {
namespace {

using test::ArraySource;
using test::MakeSignal;
using test::Signal;

std::vector<uint8_t> Image(int coding) {
  std::vector<uint8_t> image(kSectorImageSize, 0);
  AudioSubheader(1, coding).Store(image.data());
  AudioSubheader(1, coding).Store(image.data() + 4);
  return image;
}

// One sector whose every unit has the parameter byte `p` and every nibble `n`.
std::vector<uint8_t> UniformSector(int coding, uint8_t p, int n) {
  auto image = Image(coding);
  for (int g = 0; g < kXaGroups; g++) {
    uint8_t* group = &image[8 + g * kXaGroupSize];
    std::memset(group, p, 16);
    std::memset(group + 16, (n & 15) | (n & 15) << 4, 112);
  }
  return image;
}

std::vector<int16_t> Decode(XaDecoderState& st, const std::vector<uint8_t>& image) {
  std::vector<uint8_t> out(XaMaxOutputBytes(st));
  int32_t bytes = 0;
  XaDecodeSector(st, image.data(), out.data(), bytes);
  EXPECT_LE(size_t(bytes), out.size());
  std::vector<int16_t> s(size_t(bytes) / 2);
  for (size_t i = 0; i < s.size(); i++) s[i] = int16_t(GetU16(&out[2 * i]));
  return s;
}

TEST(XaDecoderTest, UnitScaleAndClamp) {
  XaDecoderState st;
  int16_t samples[kXaSamplesPerSector];
  auto seven = UniformSector(kCoding378Mono, 0x00, 7);
  XaDecodeMono(st, seven.data() + 8, samples);
  EXPECT_EQ(samples[0], 14336);
  EXPECT_EQ(st.LeftS1, 7 << 16);
  auto minus8 = UniformSector(kCoding378Mono, 0x00, -8);
  XaDecodeMono(st, minus8.data() + 8, samples);
  EXPECT_EQ(samples[0], -16384);
  // Filter 1 accumulates: the output clamps at 32700, the history does not.
  XaDecoderState acc;
  auto rising = UniformSector(kCoding378Mono, 0x10, 7);
  XaDecodeMono(acc, rising.data() + 8, samples);
  EXPECT_EQ(samples[kXaSamplesPerSector - 1], 32700);
  EXPECT_GT(acc.LeftS1 >> 5, 32700);
  // Filters 4..15 predict nothing.
  for (int filter = 4; filter < 16; filter++) {
    XaDecoderState f;
    f.LeftS1 = 12345 << 5;
    auto s = UniformSector(kCoding378Mono, uint8_t(filter << 4 | 4), 3);
    XaDecodeMono(f, s.data() + 8, samples);
    EXPECT_EQ(samples[0], (3 << 12) >> 5) << filter;  // range 4: no prediction added
  }
}

TEST(XaDecoderTest, PathologicalDataStaysDefined) {
  // Saturating filters on random data: the histories wrap rather than
  // overflow undefinedly (the sanitizer build checks).
  std::mt19937 random(8);
  XaDecoderState st;
  XaSetOutputFormat(st, 44100, 2, 16);
  for (int i = 0; i < 300; i++) {
    auto image = Image(i % 2 ? kCoding378Stereo : kCoding189Mono);
    for (size_t k = 8; k < image.size(); k++) image[k] = uint8_t(random());
    if (i % 3 == 0)
      for (int g = 0; g < kXaGroups; g++) std::memset(&image[8 + g * 128], 0x20, 16);
    Decode(st, image);
  }
}

TEST(XaDecoderTest, TwoValueDelayAndExactCountAtEqualRates) {
  XaDecoderState st;
  XaSetOutputFormat(st, 37800, 1, 16);
  auto image = UniformSector(kCoding378Mono, 0x00, 7);
  auto first = Decode(st, image);
  ASSERT_EQ(first.size(), 4032u);
  EXPECT_EQ(first[0], 0);
  EXPECT_EQ(first[1], 0);
  EXPECT_EQ(first[2], 14336);
  auto second = Decode(st, UniformSector(kCoding378Mono, 0x00, 1));
  ASSERT_EQ(second.size(), 4032u);
  EXPECT_EQ(second[0], 14336);  // the last two values of the sector before
  EXPECT_EQ(second[1], 14336);
  EXPECT_EQ(second[2], 2048);
  // Stereo: one zero frame first.
  XaDecoderState stereo;
  XaSetOutputFormat(stereo, 37800, 2, 16);
  auto s = Decode(stereo, UniformSector(kCoding378Stereo, 0x00, 7));
  ASSERT_EQ(s.size(), 4032u);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], 0);
  EXPECT_EQ(s[2], 14336);
}

TEST(XaDecoderTest, ResamplingIsContinuousAcrossSectors) {
  // 37800 Hz mono to 44100 Hz: 4704 frames per sector, 14112 over three.
  XaDecoderState st;
  XaSetOutputFormat(st, 44100, 1, 16);
  size_t total = 0;
  std::vector<int16_t> all;
  auto signal = MakeSignal(Signal::kSine1k, 4032 * 3, 37800, 8000);
  XaEncoderState enc;
  ArraySource source(signal, signal);
  XaEncodeSetup(enc, source, 37800, 1);
  for (int i = 0; i < 3; i++) {
    auto image = Image(kCoding378Mono);
    XaEncodeSector(enc, image.data());
    auto out = Decode(st, image);
    total += out.size();
    all.insert(all.end(), out.begin(), out.end());
  }
  EXPECT_EQ(total, 3u * 4704);
  // No jumps at the sector joins: the 1 kHz sine at 44.1 kHz moves at most
  // 2 pi 1000 / 44100 * 4000 = 570 per sample.
  for (size_t i = 1; i < all.size(); i++) ASSERT_LT(std::abs(all[i] - all[i - 1]), 700) << i;
}

TEST(XaDecoderTest, OutputFormats) {
  // 18900 Hz mono to 44100 Hz stereo: both channels carry the same value.
  XaDecoderState st;
  XaSetOutputFormat(st, 44100, 2, 16);
  auto out = Decode(st, UniformSector(kCoding189Mono, 0x10, 1));
  for (size_t i = 0; i + 1 < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]);
  // Mono from stereo: (a + b) / 2 toward zero; the first frame comes from
  // the carried pair, set here to a = -3, b = 0.
  XaDecoderState m;
  XaSetOutputFormat(m, 37800, 1, 16);
  m.Carried[0] = -3;
  m.Carried[1] = 0;
  auto mono = Decode(m, UniformSector(kCoding378Stereo, 0x00, 0));
  EXPECT_EQ(mono[0], -1);
  // 8-bit: value / 256 + 128.
  XaDecoderState e;
  XaSetOutputFormat(e, 37800, 2, 8);
  std::vector<uint8_t> bytes(XaMaxOutputBytes(e));
  int32_t n = 0;
  auto image = UniformSector(kCoding378Stereo, 0x00, 7);
  XaDecodeSector(e, image.data(), bytes.data(), n);
  EXPECT_EQ(n, 4032);
  EXPECT_EQ(bytes[0], 128);
  EXPECT_EQ(bytes[2], 14336 / 256 + 128);
  // The bits-per-sample field of CodingInfo is ignored.
  XaDecoderState a, b;
  auto plain = UniformSector(kCoding378Stereo, 0x13, 5);
  auto marked = plain;
  marked[3] |= 0x10;
  EXPECT_EQ(Decode(a, plain), Decode(b, marked));
}

TEST(XaEncoderTest, SilenceAndFullScale) {
  XaEncoderState st;
  st.Left[0] = 5000;  // whatever the history
  ArraySource silence(std::vector<int16_t>(4032, 0), std::vector<int16_t>(4032, 0));
  XaEncodeSetup(st, silence, 37800, 2);
  EXPECT_EQ(silence.targetRate, 37800);
  auto image = Image(kCoding378Stereo);
  std::memset(&image[8 + 2304], 0xAB, 24);
  XaEncodeSector(st, image.data());
  for (int g = 0; g < kXaGroups; g++) {
    for (int b = 0; b < 16; b++) ASSERT_EQ(image[8 + g * 128 + b], 0x0C);  // range 12
    for (int b = 16; b < 128; b++) ASSERT_EQ(image[8 + g * 128 + b], 0);
  }
  for (int b = 2304; b < 2328; b++) EXPECT_EQ(image[8 + b], 0xAB);  // left alone

  int32_t full[28];
  for (int k = 0; k < 28; k++) full[k] = (k % 2 ? -32767 : 32767) * 8;
  int32_t history[2] = {0, 0};
  auto r = XaTrialEncode(full, 0, history);
  EXPECT_EQ(r.Parameter, 0x01);  // shift 14, range 1
  EXPECT_EQ(r.Nibbles[0], 7);
  EXPECT_EQ(r.Nibbles[1], 8);  // -8
}

TEST(XaEncoderTest, ParametersTwiceAndTiesToTheLowerFilter) {
  auto sine = MakeSignal(Signal::kSine1k, 2016, 37800, 12000);
  auto noise = MakeSignal(Signal::kNoise, 2016, 37800, 9000);
  ArraySource source(sine, noise);
  XaEncoderState st;
  XaEncodeSetup(st, source, 37800, 2);
  auto image = Image(kCoding378Stereo);
  XaEncodeSector(st, image.data());
  EXPECT_EQ(source.Consumed(), 2016u);
  for (int g = 0; g < kXaGroups; g++) {
    const uint8_t* h = &image[8 + g * 128];
    for (int b = 0; b < 4; b++) {
      EXPECT_EQ(h[b], h[b + 4]);
      EXPECT_EQ(h[8 + b], h[12 + b]);
    }
  }
  // A constant unit is predicted equally well by several filters; the
  // lowest with the smallest error wins.
  int32_t flat[28];
  for (int k = 0; k < 28; k++) flat[k] = 0;
  int32_t history[2] = {0, 0};
  EXPECT_EQ(XaEncodeUnit(flat, history).Parameter >> 4, 0);
}

TEST(XaEncoderTest, MonoOfOppositeChannelsIsSilence) {
  auto sine = MakeSignal(Signal::kSine1k, 4032, 37800, 10000);
  auto inverted = sine;
  for (auto& v : inverted) v = int16_t(-v);
  ArraySource source(sine, inverted);
  XaEncoderState st;
  XaEncodeSetup(st, source, 37800, 1);
  auto image = Image(kCoding378Mono);
  XaEncodeSector(st, image.data());
  EXPECT_EQ(source.Consumed(), 4032u);
  for (int g = 0; g < kXaGroups; g++)
    for (int b = 0; b < 16; b++) ASSERT_EQ(image[8 + g * 128 + b], 0x0C);
}

// Ranges above 12 are not valid XA: quiet sound is coded at range 12, and
// comes back no louder than it went in.
TEST(XaEncoderTest, QuietSoundStaysWithinValidRanges) {
  for (double amplitude : {0.0, 1.0, 3.0, 7.0, 40.0, 2000.0}) {
    auto left = MakeSignal(Signal::kNoise, 2016 * 8, 37800, amplitude, 3);
    auto right = MakeSignal(Signal::kSine1k, 2016 * 8, 37800, amplitude);
    ArraySource source(left, right);
    XaEncoderState encoder;
    XaEncodeSetup(encoder, source, 37800, 2);
    XaDecoderState decoder;
    XaSetOutputFormat(decoder, 37800, 2, 16);
    int peakIn = 0, peakOut = 0;
    for (int16_t v : left) peakIn = std::max(peakIn, std::abs(int(v)));
    for (int16_t v : right) peakIn = std::max(peakIn, std::abs(int(v)));
    for (int sector = 0; sector < 8; sector++) {
      auto image = Image(kCoding378Stereo);
      XaEncodeSector(encoder, image.data());
      for (int g = 0; g < kXaGroups; g++)
        for (int b = 0; b < 16; b++) ASSERT_LE(image[8 + g * 128 + b] & 0x0F, 12) << amplitude;
      std::vector<uint8_t> out(XaMaxOutputBytes(decoder));
      int32_t n = 0;
      XaDecodeSector(decoder, image.data(), out.data(), n);
      for (int32_t i = 0; i + 1 < n; i += 2)
        peakOut = std::max(peakOut, std::abs(int(int16_t(out[i] | out[i + 1] << 8))));
    }
    // Quiet units (once coded at range 13) come back no louder; the decoder
    // gives half the input's scale.
    if (amplitude < 8) {
      EXPECT_LE(2 * peakOut, peakIn + 2) << amplitude;
    }
  }
}

struct Quality {
  Signal signal;
  int coding;
};

// Encode then decode at the native rate; the output is half the input,
// two 16-bit values late.
double RoundTripSnr(Signal signal, int coding) {
  const bool stereo = coding & 1;
  const int rate = (coding & 4) ? 18900 : 37800;
  const int sectors = 40, perSector = stereo ? 2016 : 4032;
  auto left = MakeSignal(signal, sectors * perSector, rate, 12000, 3);
  auto right = MakeSignal(signal, sectors * perSector, rate, 9000, 4);
  if (!stereo) right = left;
  ArraySource source(left, right);
  XaEncoderState enc;
  XaEncodeSetup(enc, source, rate, stereo ? 2 : 1);
  XaDecoderState dec;
  XaSetOutputFormat(dec, rate, stereo ? 2 : 1, 16);
  std::vector<double> want, got;
  for (int s = 0; s < sectors; s++) {
    auto image = Image(coding);
    XaEncodeSector(enc, image.data());
    for (int16_t v : Decode(dec, image)) got.push_back(v);
  }
  for (int i = 0; i < sectors * perSector; i++) {
    want.push_back(left[size_t(i)] / 2.0);
    if (stereo) want.push_back(right[size_t(i)] / 2.0);
  }
  got.erase(got.begin(), got.begin() + 2);
  want.resize(got.size());
  return test::SnrDb(want, got);
}

TEST(XaRoundTripTest, QualityOfEncodeThenDecode) {
  const std::pair<Signal, const char*> signals[] = {{Signal::kSine1k, "1 kHz sine"},
                                                    {Signal::kNoise, "white noise"},
                                                    {Signal::kSpeechLike, "speech-like"}};
  const std::pair<int, const char*> codings[] = {{kCoding378Stereo, "37.8 kHz stereo"},
                                                 {kCoding189Mono, "18.9 kHz mono"},
                                                 {kCoding378Mono, "37.8 kHz mono"},
                                                 {kCoding189Stereo, "18.9 kHz stereo"}};
  for (auto [signal, name] : signals) {
    for (auto [coding, format] : codings) {
      double snr = RoundTripSnr(signal, coding);
      std::printf("XA round trip SNR, %s at %s: %.1f dB\n", name, format, snr);
      EXPECT_GT(snr, signal == Signal::kNoise ? 10.0 : 25.0) << name << " " << format;
    }
  }
}

}  // namespace
}  // namespace belmora

namespace belmora {
namespace {

// The output layer as the arithmetic describes it, with plain integer
// divisions: the decoder's faster division must give the same bytes.
std::vector<uint8_t> ReferenceOutput(XaDecoderState& st, const std::vector<uint8_t>& image) {
  int coding = image[3], channels = (coding & 1) ? 2 : 1;
  int32_t inputRate = (coding & 4) ? 18900 : 37800;
  int16_t d[kXaSamplesPerSector];
  if (channels == 2)
    XaDecodeStereo(st, image.data() + 8, d);
  else
    XaDecodeMono(st, image.data() + 8, d);
  std::vector<int32_t> e = {st.Carried[0], st.Carried[1]};
  e.insert(e.end(), d, d + kXaSamplesPerSector);
  st.Carried[0] = d[4030];
  st.Carried[1] = d[4031];
  std::vector<uint8_t> out;
  int32_t n = kXaSamplesPerSector / channels;
  while (st.Position < n) {
    int32_t a = e[st.Position * channels], b = channels == 2 ? e[st.Position * channels + 1] : a;
    if (st.Fraction > 0) {
      int32_t c = e[(st.Position + 1) * channels];
      int32_t dd = channels == 2 ? e[(st.Position + 1) * channels + 1] : c;
      a = int32_t(a + int64_t(c - a) * st.Fraction / st.OutputRate);
      b = int32_t(b + int64_t(dd - b) * st.Fraction / st.OutputRate);
    }
    auto put16 = [&](int32_t v) {
      out.push_back(uint8_t(v));
      out.push_back(uint8_t(v >> 8));
    };
    if (st.OutputChannels == 1) {
      int32_t m = (a + b) / 2;
      if (st.OutputBits == 8)
        out.push_back(uint8_t(m / 256 + 128));
      else
        put16(m);
    } else if (st.OutputBits == 8) {
      out.push_back(uint8_t(a / 256 + 128));
      out.push_back(uint8_t(b / 256 + 128));
    } else {
      put16(a);
      put16(b);
    }
    st.Fraction += inputRate;
    st.Position += st.Fraction / st.OutputRate;
    st.Fraction %= st.OutputRate;
  }
  st.Position -= n;
  return out;
}

TEST(XaDecoderTest, ResamplerMatchesPlainArithmetic) {
  std::mt19937 random(12);
  const int rates[] = {44100, 22050, 37800, 18900, 48000, 8000, 11025, 44099, 96000, 192000};
  const int codings[] = {kCoding378Stereo, kCoding378Mono, kCoding189Stereo, kCoding189Mono};
  for (int rate : rates) {
    for (int format = 0; format < 4; format++) {
      XaDecoderState fast, plain;
      XaSetOutputFormat(fast, rate, format % 2 + 1, format < 2 ? 16 : 8);
      XaSetOutputFormat(plain, rate, format % 2 + 1, format < 2 ? 16 : 8);
      for (int s = 0; s < 6; s++) {
        auto image = Image(codings[random() % 4]);
        for (size_t k = 8; k < image.size(); k++) image[k] = uint8_t(random());
        // Loud, jumpy sound: the interpolation products get large.
        for (int g = 0; g < kXaGroups; g++)
          for (int u = 0; u < 16; u++) image[8 + g * 128 + u] = uint8_t(random() % 4);
        std::vector<uint8_t> out(XaMaxOutputBytes(fast));
        int32_t n = 0;
        XaDecodeSector(fast, image.data(), out.data(), n);
        out.resize(size_t(n));
        ASSERT_EQ(out, ReferenceOutput(plain, image)) << rate << " format " << format;
      }
    }
  }
}

}  // namespace
}  // namespace belmora
