// The FFmpeg-backed media services: our AVI writer read back by our reader,
// and checked by ffprobe.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/messages.h"
#include "media/avi_reader.h"
#include "media/wav_writer.h"
#include "platform/media_writer.h"
#include "base/bytes.h"
#include "tests/support/audio.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

constexpr int kW = 64, kH = 48, kStride = 64 * 3;

// Frame f as bottom-up 24-bit rows.
std::vector<uint8_t> FrameRows(int f) {
  auto top = test::NaturalPicture(kW, kH, f);
  std::vector<uint8_t> rows(size_t(kStride) * kH);
  for (int y = 0; y < kH; y++)
    std::memcpy(&rows[size_t(kH - 1 - y) * kStride], &top[size_t(y) * kStride], kStride);
  return rows;
}

std::vector<uint8_t> Pcm(int samples, int channels) {
  auto s = test::MakeSignal(test::Signal::kSpeechLike, samples * channels, 44100, 9000);
  std::vector<uint8_t> bytes(s.size() * 2);
  for (size_t i = 0; i < s.size(); i++) PutU16(&bytes[2 * i], uint16_t(s[i]));
  return bytes;
}

class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  // Writes `frames` frames at 15 fps and, with audio, 44.1 kHz stereo sound.
  std::string Write(const std::string& name, const CompressOptions& video, int frames,
                    const std::vector<uint8_t>* pcm, const WaveFormat* format = nullptr) {
    std::string path = dir + "/" + name;
    MediaWriter w;
    WaveFormat pcmFormat = WaveFormat::Pcm(44100, 2, 16);
    PcmFormatInfo in{44100, 2, 16};
    EXPECT_EQ(w.Open(path, kW, kH, 150000, 10000, video,
                     pcm ? (format ? format : &pcmFormat) : nullptr, pcm ? &in : nullptr),
              MediaError::kNone);
    for (int f = 0; f < frames; f++) {
      EXPECT_TRUE(w.WriteVideo(FrameRows(f).data()));
      if (pcm) {  // sound in pieces of one frame's length
        size_t piece = 44100 / 15 * 4, at = size_t(f) * piece;
        if (at < pcm->size()) {
          EXPECT_TRUE(w.WriteAudio(pcm->data() + at, std::min(piece, pcm->size() - at)));
        }
      }
    }
    EXPECT_TRUE(w.Close());
    return path;
  }
  std::string dir = test::TempPath("media");
};

// A file that could not be read: its name and the reason.
std::string CannotRead(const std::string& path, const std::string& why) {
  return FormatMessage(msg::kCannotRead, path.c_str(), why.c_str());
}

TEST_F(MediaTest, RawFramesAndPcmReadBackExactly) {
  auto pcm = Pcm(44100 / 15 * 10 - 77, 2);  // not a whole number of frames' worth
  std::string path = Write("raw.avi", CompressOptions{}, 10, &pcm);
  TAviIo avi;
  ASSERT_EQ(avi.Open(path), 0) << avi.LastError;
  EXPECT_TRUE(avi.HasVideo);
  EXPECT_TRUE(avi.HasAudio);
  EXPECT_DOUBLE_EQ(avi.FrameRate, 15.0);
  EXPECT_EQ(avi.FrameDurationMs, 66);
  EXPECT_EQ(avi.LengthMs(), 666);
  EXPECT_TRUE(avi.Video().Raw);
  EXPECT_EQ(avi.Image.Header.BitCount, 24);
  EXPECT_EQ(avi.PcmFormat, WaveFormat::Pcm(44100, 2, 16));
  for (int f = 0; f < 10; f++) {
    int time = -1;
    TBmpIo* img = avi.NextFrame(&time);
    ASSERT_NE(img, nullptr) << f << " " << avi.LastError;
    EXPECT_EQ(time, f * 10000 * 1000 / 150000);
    ASSERT_EQ(img->Pixels, FrameRows(f)) << f;
  }
  int time = 0;
  EXPECT_EQ(avi.NextFrame(&time), nullptr);  // the end: the time of the index tried
  EXPECT_EQ(time, 666);
  std::vector<uint8_t> sound(pcm.size() + 1000, 0xEE);
  int got = 0;
  for (size_t at = 0; at < sound.size(); at += 4096) {
    int n = avi.ReadAudio(&sound[at], int(std::min<size_t>(4096, sound.size() - at)));
    ASSERT_GE(n, 0);
    got += n;
  }
  EXPECT_EQ(size_t(got), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), sound.begin()));
  EXPECT_TRUE(
      std::all_of(sound.begin() + long(pcm.size()), sound.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(MediaTest, CompressedVideoAndAudio) {
  auto pcm = Pcm(44100, 2);
  for (const char* fcc : {"MJPG", "FFV1", "FMP4"}) {
    SCOPED_TRACE(fcc);
    CompressOptions video;
    video.fccHandler = FourCC({fcc[0], fcc[1], fcc[2], fcc[3], 0});
    if (!FindVideoCompressor(video.fccHandler)) continue;
    WaveFormat adpcm;
    for (const auto& tag : AudioFormatTags())
      if (tag.Tag == 2)
        for (const auto& f : tag.Formats)
          if (f.nSamplesPerSec == 44100 && f.nChannels == 2) adpcm = f;
    std::string path = Write(std::string(fcc) + ".avi", video, 8, &pcm, &adpcm);
    TAviIo avi;
    ASSERT_EQ(avi.Open(path), 0) << avi.LastError;
    EXPECT_FALSE(avi.Video().Raw);
    EXPECT_TRUE(avi.HasAudio);
    for (int f = 0; f < 8; f++) {
      TBmpIo* img = avi.NextFrame();
      ASSERT_NE(img, nullptr) << f;
      double psnr =
          test::LumaPsnr(img->Pixels.data(), kStride, FrameRows(f).data(), kStride, kW, kH);
      EXPECT_GT(psnr, std::string(fcc) == "FFV1" ? 90.0 : 28.0) << f;
    }
    // The ADPCM sound decodes back close to what went in.
    std::vector<uint8_t> back(pcm.size());
    ASSERT_GT(avi.ReadAudio(back.data(), int(back.size())), int(pcm.size() / 2));
    std::vector<double> want, got;
    const size_t written = 8 * (44100 / 15 * 4);  // what Write gave the writer
    for (size_t i = 0; i + 1 < written; i += 2) {
      want.push_back(int16_t(GetU16(&pcm[i])));
      got.push_back(int16_t(GetU16(&back[i])));
    }
    EXPECT_GT(test::SnrDb(want, got), 15.0);
  }
}

TEST_F(MediaTest, FfprobeAgreesWithWhatWeWrote) {
  if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  auto pcm = Pcm(44100 / 2, 2);
  for (const char* fcc : {"DIB ", "MJPG", "FFV1"}) {
    SCOPED_TRACE(fcc);
    CompressOptions video;
    video.fccHandler = FourCC({fcc[0], fcc[1], fcc[2], fcc[3], 0});
    std::string path = Write("probe.avi", video, 12, &pcm);
    auto r = test::RunCommand(
        {"ffprobe", "-v", "error", "-count_frames", "-show_streams", "-of", "json", path});
    ASSERT_EQ(r.Status, 0) << r.Err;
    auto j = nlohmann::json::parse(r.Out);
    ASSERT_EQ(j["streams"].size(), 2u);
    auto v = j["streams"][0], a = j["streams"][1];
    EXPECT_EQ(v["codec_type"], "video");
    EXPECT_EQ(v["width"], kW);
    EXPECT_EQ(v["height"], kH);
    EXPECT_EQ(v["r_frame_rate"], "15/1");
    EXPECT_EQ(v["nb_read_frames"], "12");
    EXPECT_EQ(a["codec_type"], "audio");
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_EQ(a["channels"], 2);
    EXPECT_EQ(a["codec_name"], "pcm_s16le");
    if (std::string(fcc) != "DIB ") continue;
    // Uncompressed rows are stored bottom-up: FFmpeg sees the picture upright.
    auto raw = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-i", path, "-frames:v", "1", "-f",
                                 "rawvideo", "-pix_fmt", "bgr24", dir + "/first.raw"});
    ASSERT_EQ(raw.Status, 0) << raw.Err;
    EXPECT_EQ(test::ReadFileBytes(dir + "/first.raw"), test::NaturalPicture(kW, kH, 0));
  }
}

TEST_F(MediaTest, NoSoundAndBadFiles) {
  std::string path = Write("silent.avi", CompressOptions{}, 3, nullptr);
  TAviIo avi;
  ASSERT_EQ(avi.Open(path), 0);
  EXPECT_FALSE(avi.HasAudio);
  EXPECT_EQ(avi.PcmFormat, WaveFormat::Pcm(44100, 2, 16));
  uint8_t buffer[16];
  std::memset(buffer, 7, sizeof buffer);
  EXPECT_EQ(avi.ReadAudio(buffer, 16), 0);
  EXPECT_EQ(buffer[0], 7);
  TWavIo wav;
  wav.Attach(avi);
  int16_t l = 1, r = 1;
  EXPECT_EQ(wav.NextSample(l, r), 1);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 0);

  test::WriteFileBytes(dir + "/text.avi", std::vector<uint8_t>(5000, 'a'));
  EXPECT_EQ(avi.Open(dir + "/text.avi"), -1);
  EXPECT_EQ(avi.LastError, CannotRead(dir + "/text.avi", "AVIファイルがオープンできません。"));
  EXPECT_EQ(avi.Open(dir + "/missing.avi"), -1);
  EXPECT_EQ(avi.LastError, CannotRead(dir + "/missing.avi", std::strerror(ENOENT)));
  // A sound file has no video.
  std::string wavPath = dir + "/sound.wav";
  auto pcm = Pcm(8000, 2);
  auto wavFile = WavHeader(44100, 2, 16, uint32_t(pcm.size()));
  wavFile.insert(wavFile.end(), pcm.begin(), pcm.end());
  test::WriteFileBytes(wavPath, wavFile);
  EXPECT_EQ(avi.Open(wavPath), -1);
  EXPECT_EQ(avi.LastError, CannotRead(wavPath, "VIDEOが含まれていません。"));
  // A cut file opens or fails, but nothing worse.
  auto whole = test::ReadFileBytes(path);
  for (size_t cut : {size_t(100), whole.size() / 2, whole.size() - 10}) {
    test::WriteFileBytes(dir + "/cut.avi",
                         std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut)));
    if (avi.Open(dir + "/cut.avi") == 0)
      while (avi.NextFrame()) {
      }
  }
}

TEST_F(MediaTest, SampleSourceResamples) {
  // 18900 Hz from an 18900 Hz source: the output is the input.
  auto pcm = Pcm(6000, 2);
  std::string path = dir + "/s.avi";
  {
    MediaWriter w;
    PcmFormatInfo in{18900, 2, 16};
    WaveFormat f = WaveFormat::Pcm(18900, 2, 16);
    ASSERT_EQ(w.Open(path, kW, kH, 15, 1, CompressOptions{}, &f, &in), MediaError::kNone);
    w.WriteVideo(FrameRows(0).data());
    w.WriteAudio(pcm.data(), pcm.size());
    ASSERT_TRUE(w.Close());
  }
  TAviIo avi;
  ASSERT_EQ(avi.Open(path), 0) << avi.LastError;
  TWavIo wav;
  wav.Attach(avi);
  EXPECT_EQ(wav.TargetRate, 18900);
  for (int i = 0; i < 5000; i++) {
    int16_t l, r;
    wav.NextSample(l, r);
    ASSERT_EQ(l, int16_t(GetU16(&pcm[4 * size_t(i)]))) << i;
    ASSERT_EQ(r, int16_t(GetU16(&pcm[4 * size_t(i) + 2]))) << i;
  }
  // 44100 Hz to 37800: c/h steps through 63/378, 126/378, ... between A and B.
  auto ramp = std::vector<uint8_t>(4 * 3000);
  for (int i = 0; i < 3000; i++) {
    PutU16(&ramp[4 * size_t(i)], uint16_t(i * 10));
    PutU16(&ramp[4 * size_t(i) + 2], uint16_t(-i * 10));
  }
  {
    MediaWriter w;
    PcmFormatInfo in{44100, 2, 16};
    WaveFormat f = WaveFormat::Pcm(44100, 2, 16);
    ASSERT_EQ(w.Open(path, kW, kH, 15, 1, CompressOptions{}, &f, &in), MediaError::kNone);
    w.WriteVideo(FrameRows(0).data());
    w.WriteAudio(ramp.data(), ramp.size());
    ASSERT_TRUE(w.Close());
  }
  ASSERT_EQ(avi.Open(path), 0);
  TWavIo down;
  down.Attach(avi);
  down.SetTargetRate(37800);
  int fraction = 0, position = 0;
  for (int i = 0; i < 2000; i++) {
    int16_t l, r;
    down.NextSample(l, r);
    int c = fraction / 100;
    ASSERT_EQ(l, int16_t((position * 10 * (378 - c) + (position + 1) * 10 * c) / 378)) << i;
    fraction += 44100;
    position += fraction / 37800;
    fraction %= 37800;
  }
}

// Every entry of the two catalogues writes a file that reads back.
TEST_F(MediaTest, EveryCatalogueEntryWrites) {
  for (const auto& v : VideoCompressors()) {
    SCOPED_TRACE(v.Description);
    CompressOptions options;
    options.fccHandler = v.fccHandler;
    std::string path = Write("each.avi", options, 3, nullptr);
    TAviIo avi;
    ASSERT_EQ(avi.Open(path), 0) << avi.LastError;
    int frames = 0;
    while (TBmpIo* img = avi.NextFrame()) {
      EXPECT_GT(
          test::LumaPsnr(img->Pixels.data(), kStride, FrameRows(frames).data(), kStride, kW, kH),
          20.0);
      frames++;
    }
    EXPECT_EQ(frames, 3);
  }
  for (const auto& tag : AudioFormatTags()) {
    ASSERT_FALSE(tag.Formats.empty()) << tag.Name;
    const WaveFormat& format = tag.Formats.back();
    SCOPED_TRACE(tag.Name + " " + DescribeWaveFormat(format));
    auto suggested = SuggestPcmFormat(format);
    ASSERT_TRUE(suggested);
    PcmFormatInfo in{int(suggested->nSamplesPerSec), suggested->nChannels,
                     suggested->wBitsPerSample};
    std::string path = dir + "/sound.avi";
    MediaWriter w;
    ASSERT_EQ(w.Open(path, kW, kH, 15, 1, CompressOptions{}, &format, &in), MediaError::kNone);
    std::vector<uint8_t> silence(size_t(in.Rate) * in.BlockAlign(), 0);
    w.WriteVideo(FrameRows(0).data());
    ASSERT_TRUE(w.WriteAudio(silence.data(), silence.size()));
    ASSERT_TRUE(w.Close());
    TAviIo avi;
    ASSERT_EQ(avi.Open(path), 0) << avi.LastError;
    EXPECT_TRUE(avi.HasAudio);
    EXPECT_EQ(avi.PcmFormat.nSamplesPerSec, format.nSamplesPerSec);
  }
}

// Inputs that only FFmpeg's own tool makes here: a palette AVI, two video
// streams, an MP4 with sound in 5.1.
TEST_F(MediaTest, OtherContainersAndLayouts) {
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  auto make = [&](const std::string& name, std::vector<std::string> args) {
    std::vector<std::string> cmd = {"ffmpeg", "-v", "error", "-y"};
    cmd.insert(cmd.end(), args.begin(), args.end());
    cmd.push_back(dir + "/" + name);
    auto r = test::RunCommand(cmd);
    EXPECT_EQ(r.Status, 0) << r.Err;
    return dir + "/" + name;
  };
  TAviIo avi;
  // Uncompressed 8-bit frames come in their own format, with the palette.
  std::string pal = make("pal.avi", {"-f", "lavfi", "-i", "testsrc=size=32x24:rate=10", "-frames:v",
                                     "3", "-c:v", "rawvideo", "-pix_fmt", "pal8"});
  ASSERT_EQ(avi.Open(pal), 0) << avi.LastError;
  EXPECT_TRUE(avi.Video().Raw);
  EXPECT_EQ(avi.Image.Header.BitCount, 8);
  TBmpIo* img = avi.NextFrame();
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->Pixels.size(), 32u * 24);
  bool colourful = false;
  for (int x = 0; x < 32; x++) {
    uint8_t px[4];
    img->GetPixel(x, 12, px);
    colourful |= px[0] != px[1] || px[1] != px[2];
  }
  EXPECT_TRUE(colourful);
  // FFmpeg stores raw RGB rows top-down (a negative height): read upright.
  for (const char* format : {"bgr24", "pal8"}) {
    std::string file = make(std::string("td-") + format + ".avi",
                            {"-f", "lavfi", "-i", "testsrc=size=32x24:rate=10", "-frames:v", "1",
                             "-c:v", "rawvideo", "-pix_fmt", format});
    auto r = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-i", file, "-f", "rawvideo",
                               "-pix_fmt", "bgr24", dir + "/td.raw"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    ASSERT_EQ(avi.Open(file), 0) << avi.LastError;
    ASSERT_NE(avi.NextFrame(), nullptr);
    std::vector<uint8_t> ours(32 * 24 * 3);
    ReadFramePixels(avi.Image, 32, 24, ours.data());
    EXPECT_EQ(ours, test::ReadFileBytes(dir + "/td.raw")) << format;
  }
  // Two video streams: the later one is used.
  std::string two =
      make("two.avi", {"-f", "lavfi", "-i", "color=red:size=32x24:rate=5", "-f", "lavfi", "-i",
                       "color=blue:size=48x32:rate=5", "-frames:v", "4", "-map", "0", "-map", "1",
                       "-c:v", "rawvideo", "-pix_fmt", "bgr24"});
  ASSERT_EQ(avi.Open(two), 0) << avi.LastError;
  EXPECT_EQ(avi.Image.Header.Width, 48);
  ASSERT_NE(avi.NextFrame(), nullptr);
  uint8_t px[4];
  avi.Image.GetPixel(5, 5, px);
  EXPECT_GT(px[0], 200);  // blue
  // MP4 with 5.1 sound: decoded to 24 bits, the sound mixed down to stereo.
  std::string mp4 = make(
      "six.mp4", {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-f", "lavfi", "-i",
                  "sine=frequency=440:sample_rate=48000", "-t", "1", "-af",
                  "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:v", "mpeg4", "-c:a", "aac"});
  ASSERT_EQ(avi.Open(mp4), 0) << avi.LastError;
  EXPECT_FALSE(avi.Video().Raw);
  EXPECT_DOUBLE_EQ(avi.FrameRate, 25.0);
  EXPECT_EQ(avi.PcmFormat.nChannels, 2);
  EXPECT_EQ(avi.PcmFormat.nSamplesPerSec, 48000u);
  int frames = 0;
  while (avi.NextFrame()) frames++;
  EXPECT_EQ(frames, 25);
  std::vector<uint8_t> sound(48000 * 4);
  EXPECT_GT(avi.ReadAudio(sound.data(), int(sound.size())), 40000 * 4);
}

}  // namespace
}  // namespace belmora
