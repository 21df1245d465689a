// XA sound through real sectors of builder-made STR files: our encoder
// writes it, our decoder and FFmpeg's read it back.
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/audio_track.h"
#include "base/bytes.h"
#include "str/str_document.h"
#include "tests/support/audio.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

class XaStrTest : public ::testing::Test {
 protected:
  void SetUp() override { path = test::TempPath("xa.str"); }
  void TearDown() override {
    CloseStrFile(doc);
    std::filesystem::remove(path);
  }
  // A double-speed movie with an audio sector every 8 sectors, then its
  // sound replaced by `left`/`right` through the audio hook, in place.
  void BuildWithSound(int coding, const std::vector<int16_t>& left,
                      const std::vector<int16_t>& right, int frames = 60) {
    test::MovieRecipe m;
    m.Frames = frames;
    m.ChunkPattern = {9, 9, 9, 8};
    m.AudioCoding = coding;
    m.AudioChannel = 1;
    m.Interleave = IsStereo(coding) && !IsHalfRate(coding) ? 8 : 16;
    test::BuildMovie(m).Write(path);
    ASSERT_EQ(OpenStrFile(doc, path), 0);
    before = test::ReadFileBytes(path);
    test::ArraySource source(left, right);
    XaEncoderState encoder;
    XaEncodeSetup(encoder, source, IsHalfRate(coding) ? 18900 : 37800, IsStereo(coding) ? 2 : 1);
    hook.Install([&](uint8_t* image) {
      XaEncodeSector(encoder, image);
      return 1;
    });
    doc.CurrentSector = 0;
    while (ReadFrame(doc) == 0) doc.CurrentSector = doc.NextSector;
    hook.Remove();
  }

  std::string path;
  CollectingHost sink;
  AudioSectorHook hook;
  StrDocument doc{sink, &hook};
  std::vector<uint8_t> before;
};

TEST_F(XaStrTest, SoundRoundTripsThroughTheFile) {
  auto left = test::MakeSignal(test::Signal::kSpeechLike, 80000, 37800, 12000);
  auto right = test::MakeSignal(test::Signal::kSine1k, 80000, 37800, 8000);
  BuildWithSound(kCoding378Stereo, left, right);
  // Only the audio data areas changed; the video sectors are as they were.
  auto after = test::ReadFileBytes(path);
  ASSERT_EQ(after.size(), before.size());
  for (int s = 0; s < doc.SectorCount; s++) {
    size_t at = 44 + size_t(s) * 2352;
    bool audio = IsAudioSector(Subheader::Parse(&before[at + 20]));
    if (audio) continue;
    ASSERT_TRUE(std::equal(&before[at], &before[at + 2352], &after[at])) << s;
  }
  XaDecoderState decoder;
  XaSetOutputFormat(decoder, 37800, 2, 16);
  auto track = DecodeAudioTrack(doc, decoder, 1);
  EXPECT_GT(track.Sectors, 40);
  std::vector<double> want, got;
  for (size_t i = 2; i < track.Pcm.size() / 2; i++)
    got.push_back(int16_t(GetU16(&track.Pcm[2 * i])));
  for (size_t i = 0; want.size() < got.size(); i++) {  // the source is silent past its end
    want.push_back(i < left.size() ? left[i] / 2.0 : 0);
    want.push_back(i < right.size() ? right[i] / 2.0 : 0);
  }
  EXPECT_GT(test::SnrDb(want, got), 35.0);
}

TEST_F(XaStrTest, FfmpegDecodesOurSound) {
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const std::pair<test::Signal, const char*> signals[] = {{test::Signal::kSine1k, "sine"},
                                                          {test::Signal::kNoise, "noise"},
                                                          {test::Signal::kSpeechLike, "speech"}};
  for (auto [signal, name] : signals) {
    for (int coding : {kCoding378Stereo, kCoding189Mono}) {
      SCOPED_TRACE(name);
      SCOPED_TRACE(coding);
      const int rate = IsHalfRate(coding) ? 18900 : 37800, channels = IsStereo(coding) ? 2 : 1;
      auto left = test::MakeSignal(signal, 80000, rate, 12000, 5);
      auto right = test::MakeSignal(signal, 80000, rate, 9000, 6);
      BuildWithSound(coding, left, right);
      XaDecoderState decoder;
      XaSetOutputFormat(decoder, rate, channels, 16);
      auto ours = DecodeAudioTrack(doc, decoder, 1).Pcm;
      CloseStrFile(doc);

      std::string raw = test::TempPath("xa.raw");
      auto r = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-i", path, "-vn", "-f", "s16le",
                                 "-acodec", "pcm_s16le", raw});
      ASSERT_EQ(r.Status, 0) << r.Err;
      auto theirs = test::ReadFileBytes(raw);
      std::filesystem::remove(raw);
      // Ours is at half scale and two values late.
      std::vector<double> a, b;
      size_t n = std::min(ours.size() / 2 - 2, theirs.size() / 2);
      ASSERT_GT(n, 30000u);
      int largest = 0;
      for (size_t i = 0; i < n; i++) {
        double mine = 2.0 * int16_t(GetU16(&ours[2 * (i + 2)]));
        double other = int16_t(GetU16(&theirs[2 * i]));
        a.push_back(other);
        b.push_back(mine);
        largest = std::max(largest, int(std::abs(mine - other)));
      }
      double snr = test::SnrDb(a, b);
      std::printf("ffmpeg cross-check, %s, coding %d: SNR %.1f dB, largest difference %d\n", name,
                  coding, snr, largest);
      EXPECT_GT(snr, 40.0);
    }
  }
}

TEST_F(XaStrTest, ExportWavCommand) {
  auto left = test::MakeSignal(test::Signal::kSine1k, 60000, 18900, 10000);
  BuildWithSound(kCoding189Mono, left, left);
  CloseStrFile(doc);
  std::string wav = test::TempPath("out.wav");
  auto r = test::RunCommand({BELMORA_CLI, "export-wav", path, "-o", wav, "--force"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("22050 Hz, 1 channel, 16 bits"), std::string::npos) << r.Out;
  auto bytes = test::ReadFileBytes(wav);
  ASSERT_GT(bytes.size(), 44u);
  EXPECT_EQ(GetU32(&bytes[24]), 22050u);
  EXPECT_EQ(GetU16(&bytes[22]), 1);
  EXPECT_EQ(GetU32(&bytes[40]), bytes.size() - 44);
  // Sectors decoded: every audio sector up to the last frame.
  int sectors = std::stoi(r.Out);
  EXPECT_GT(sectors, 20);
  EXPECT_EQ(
      GetU32(&bytes[40]) / 2, 0u + [&] {
        XaDecoderState d;
        XaSetOutputFormat(d, 22050, 1, 16);
        size_t total = 0;
        std::vector<uint8_t> out(XaMaxOutputBytes(d));
        auto image = std::vector<uint8_t>(kSectorImageSize, 0);
        image[3] = kCoding189Mono;
        for (int i = 0; i < sectors; i++) {
          int32_t n;
          XaDecodeSector(d, image.data(), out.data(), n);
          total += size_t(n) / 2;
        }
        return unsigned(total);
      }());

  auto stereo8 = test::RunCommand({BELMORA_CLI, "export-wav", path, "-o", wav, "--force", "--rate", "8000",
                                   "--channels", "2", "--bits", "8"});
  ASSERT_EQ(stereo8.Status, 0) << stereo8.Err;
  bytes = test::ReadFileBytes(wav);
  EXPECT_EQ(GetU16(&bytes[34]), 8);
  EXPECT_EQ(GetU16(&bytes[32]), 2);

  auto missing = test::RunCommand({BELMORA_CLI, "export-wav", path, "-o", wav, "--force", "--channel", "9"});
  EXPECT_NE(missing.Status, 0);
  std::filesystem::remove(wav);

  test::MovieRecipe silent;
  silent.SectorSize = 2336;
  silent.Frames = 10;
  test::BuildMovie(silent).Write(path);
  auto none = test::RunCommand({BELMORA_CLI, "export-wav", path, "-o", wav, "--force"});
  EXPECT_NE(none.Status, 0);
  EXPECT_NE(none.Err.find("音声データが存在しません。"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(wav));
}

}  // namespace
}  // namespace belmora
