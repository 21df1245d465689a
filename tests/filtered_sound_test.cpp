// The filtered resampler for the best-quality conversion: a video's sound
// at 44.1 kHz through it and the XA codec comes out as well as the same
// sound given at the XA rate directly, where linear interpolation folds
// what lies above the new Nyquist frequency back into the sound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/bytes.h"
#include "media/avi_reader.h"
#include "media/filtered_wav_io.h"
#include "platform/media_writer.h"
#include "platform/pcm_resampler.h"
#include "str/sector.h"
#include "tests/support/audio.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "xa/xa_codec.h"

namespace belmora {
namespace {

// Pink-like noise as a sum of sines whose amplitudes fall as 1/sqrt(f),
// evaluated exactly at any rate. Nothing lies between `gapLow` and
// `gapHigh` Hz, so the sound at a lower rate is defined exactly: the
// components below the gap.
struct PinkSines {
  struct Sine {
    double Frequency, Amplitude, Phase[2];
  };
  std::vector<Sine> Sines;
  PinkSines(double top, double gapLow, double gapHigh, double peak) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> phase(0, 2 * M_PI);
    double total = 0;
    for (double f = 30; f < top; f *= 1.04) {
      if (f >= gapLow && f < gapHigh) continue;
      Sines.push_back({f, 1 / std::sqrt(f), {phase(random), phase(random)}});
      total += 1 / std::sqrt(f);
    }
    // Crest: random phases keep the peak near a few times the RMS.
    for (Sine& s : Sines) s.Amplitude *= peak * 6 / total;
  }
  // `frames` stereo frames at `rate`, the components below `limit` only.
  std::vector<int16_t> Render(int rate, int frames, double limit) const {
    std::vector<int16_t> out(size_t(frames) * 2);
    for (int c = 0; c < 2; c++)
      for (int i = 0; i < frames; i++) {
        double v = 0;
        for (const Sine& s : Sines)
          if (s.Frequency < limit)
            v += s.Amplitude * std::sin(2 * M_PI * s.Frequency * i / rate + s.Phase[c]);
        out[size_t(i) * 2 + size_t(c)] = int16_t(std::lround(std::clamp(v, -32767.0, 32767.0)));
      }
    return out;
  }
};

// XA sound through `source` at `rate` stereo, decoded again: `sectors`
// sectors of interleaved frames.
std::vector<int16_t> ThroughXa(SamplePairSource& source, int rate, int sectors) {
  const int coding = rate == 37800 ? kCoding378Stereo : kCoding189Stereo;
  XaEncoderState encoder;
  XaEncodeSetup(encoder, source, rate, 2);
  XaDecoderState decoder;
  XaSetOutputFormat(decoder, rate, 2, 16);
  std::vector<int16_t> out;
  std::vector<uint8_t> image(kSectorImageSize), pcm(XaMaxOutputBytes(decoder));
  for (int s = 0; s < sectors; s++) {
    std::fill(image.begin(), image.end(), 0);
    AudioSubheader(1, coding).Store(image.data());
    AudioSubheader(1, coding).Store(image.data() + 4);
    XaEncodeSector(encoder, image.data());
    int32_t bytes = 0;
    XaDecodeSector(decoder, image.data(), pcm.data(), bytes);
    for (int i = 0; i + 1 < bytes; i += 2) out.push_back(int16_t(GetU16(&pcm[size_t(i)])));
  }
  return out;
}

// SNR of `got` against `want`, both interleaved, over `frames` frames
// from `skip` on, with the least-squares gain (the decoder gives half
// scale) and the best of a few frames of lag (the decoder's resampler
// starts with one frame it carries).
double Snr(const std::vector<int16_t>& want, const std::vector<int16_t>& got, size_t skip,
           size_t frames) {
  double best = -100;
  for (size_t lag = 0; lag <= 4; lag++) {
    double wg = 0, gg = 0;
    for (size_t i = skip * 2; i < (skip + frames) * 2; i++) {
      wg += double(want[i]) * got[i + 2 * lag];
      gg += double(got[i + 2 * lag]) * got[i + 2 * lag];
    }
    const double gain = gg > 0 ? wg / gg : 0;
    std::vector<double> a, b;
    for (size_t i = skip * 2; i < (skip + frames) * 2; i++) {
      a.push_back(want[i]);
      b.push_back(got[i + 2 * lag] * gain);
    }
    best = std::max(best, test::SnrDb(a, b));
  }
  return best;
}

class FilteredSoundTest : public ::testing::Test {
 protected:
  void SetUp() override { path = test::TempPath("pink.avi"); }
  void TearDown() override { std::filesystem::remove(path); }

  // A 1 x 1 video of `seconds` with `pcm` (stereo 16-bit) at `rate`.
  void WriteAvi(const std::vector<int16_t>& pcm, int rate, int seconds) {
    MediaWriter w;
    WaveFormat f = WaveFormat::Pcm(uint32_t(rate), 2, 16);
    PcmFormatInfo in{rate, 2, 16};
    ASSERT_EQ(w.Open(path, 16, 16, 15, 1, CompressOptions{}, &f, &in), MediaError::kNone);
    std::vector<uint8_t> frame(16 * 16 * 3, 0x40);
    for (int i = 0; i < 15 * seconds; i++) w.WriteVideo(frame.data());
    std::vector<uint8_t> bytes(pcm.size() * 2);
    for (size_t i = 0; i < pcm.size(); i++) PutU16(&bytes[2 * i], uint16_t(pcm[i]));
    w.WriteAudio(bytes.data(), bytes.size());
    ASSERT_TRUE(w.Close());
  }

  std::string path;
};

// The XA rate, and where the sound has a gap: nothing between its ends.
struct RateCase {
  int Rate;
  double GapLow, GapHigh;
};

class FilteredRateTest : public FilteredSoundTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(FilteredRateTest, ResampledSoundIsAsGoodAsSoundAtTheXaRate) {
  // Components up to 21.5 kHz with a gap just below and above the new
  // Nyquist frequency: at the XA rate the sound is the part below the gap,
  // what lies above it must go.
  const RateCase c = GetParam();
  const PinkSines pink(21500, c.GapLow, c.GapHigh, 9000);
  // 2016 stereo frames a sector.
  const int seconds = 1, sectors = c.Rate * seconds / 2016 - 1;
  const auto atRate = pink.Render(c.Rate, c.Rate * seconds, c.GapLow);
  const auto at441 = pink.Render(44100, 44100 * seconds, 30000);

  // Directly at the XA rate.
  std::vector<int16_t> left(atRate.size() / 2), right(atRate.size() / 2);
  for (size_t i = 0; i < left.size(); i++) left[i] = atRate[2 * i], right[i] = atRate[2 * i + 1];
  test::ArraySource direct(left, right);
  const auto viaDirect = ThroughXa(direct, c.Rate, sectors);

  // From 44.1 kHz in a video file, through each resampler.
  WriteAvi(at441, 44100, seconds);
  TAviIo avi;
  ASSERT_EQ(avi.Open(path), 0);
  FilteredWavIo filtered;
  filtered.Attach(avi);
  const auto viaFiltered = ThroughXa(filtered, c.Rate, sectors);
  TAviIo avi2;
  ASSERT_EQ(avi2.Open(path), 0);
  TWavIo linear;
  linear.Attach(avi2);
  const auto viaLinear = ThroughXa(linear, c.Rate, sectors);

  const size_t skip = 1000, frames = viaDirect.size() / 2 - 2 * skip;
  const double d = Snr(atRate, viaDirect, skip, frames), f = Snr(atRate, viaFiltered, skip, frames),
               l = Snr(atRate, viaLinear, skip, frames);
  std::printf("XA SNR at %d Hz: %.2f dB given directly, %.2f dB filtered, %.2f dB linear\n", c.Rate,
              d, f, l);
  EXPECT_GT(f, d - 0.5);
  EXPECT_GT(f, l + 2.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, FilteredRateTest,
                         ::testing::Values(RateCase{37800, 17500, 20000},
                                           RateCase{18900, 8600, 10500}),
                         [](const auto& info) { return std::to_string(info.param.Rate); });

TEST(PcmResamplerTest, KeepsTimeAndLevel) {
  // A 1 kHz sine from 44.1 to 37.8 kHz: no delay, the same level, the
  // whole length once flushed.
  const int in = 44100, out = 37800, frames = 44100;
  std::vector<int16_t> sine(size_t(frames) * 2), got;
  for (int i = 0; i < frames; i++)
    sine[size_t(2 * i)] = sine[size_t(2 * i + 1)] =
        int16_t(std::lround(10000 * std::sin(2 * M_PI * 1000.0 * i / in)));
  PcmResampler r;
  ASSERT_TRUE(r.Open(in, out));
  for (int at = 0; at < frames; at += 1000)
    ASSERT_TRUE(r.Convert(&sine[size_t(at) * 2], std::min(1000, frames - at), got));
  ASSERT_TRUE(r.Flush(got));
  EXPECT_NEAR(double(got.size() / 2), double(out), 2);
  double noise = 0, signal = 0;
  for (size_t i = 1000; i + 1000 < got.size() / 2; i++) {
    const double want = 10000 * std::sin(2 * M_PI * 1000.0 * double(i) / out);
    signal += want * want;
    noise += (want - got[2 * i]) * (want - got[2 * i]);
  }
  EXPECT_GT(10 * std::log10(signal / noise), 60.0);
  EXPECT_FALSE(r.Open(0, out));
}

TEST_F(FilteredSoundTest, EndsWithZerosAndFollowsMonoSources) {
  // Mono 8-bit at 22.05 kHz: both channels the same, then zeros and 1.
  MediaWriter w;
  WaveFormat f = WaveFormat::Pcm(22050, 1, 8);
  PcmFormatInfo pcm{22050, 1, 8};
  ASSERT_EQ(w.Open(path, 16, 16, 15, 1, CompressOptions{}, &f, &pcm), MediaError::kNone);
  std::vector<uint8_t> frame(16 * 16 * 3, 0);
  for (int i = 0; i < 15; i++) w.WriteVideo(frame.data());
  std::vector<uint8_t> sound(22050);
  for (size_t i = 0; i < sound.size(); i++)
    sound[i] = uint8_t(128 + std::lround(100 * std::sin(2 * M_PI * 440.0 * double(i) / 22050)));
  w.WriteAudio(sound.data(), sound.size());
  ASSERT_TRUE(w.Close());
  TAviIo avi;
  ASSERT_EQ(avi.Open(path), 0);
  FilteredWavIo source;
  source.Attach(avi);
  source.SetTargetRate(18900);
  int pairs = 0, status = 0;
  int16_t l = 0, r = 0;
  double energy = 0;
  while ((status = source.NextSample(l, r)) == 0) {
    ASSERT_EQ(l, r);
    energy += double(l) * l;
    pairs++;
  }
  EXPECT_EQ(status, 1);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 0);
  EXPECT_NEAR(pairs, 18900, 4);
  // 100 / 128 of full scale, as an RMS of a sine.
  EXPECT_NEAR(std::sqrt(energy / pairs), 100 * 256 / std::sqrt(2.0), 300);
  EXPECT_EQ(source.NextSample(l, r), 1);
}

}  // namespace
}  // namespace belmora
