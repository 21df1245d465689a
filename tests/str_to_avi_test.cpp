#include <gtest/gtest.h>

#include <cmath>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "convert/str_to_avi.h"
#include "media/avi_reader.h"
#include "base/bytes.h"
#include "convert/frame_codec.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/recording_host.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

// Frame i is flat grey with luma DC 8 i - 200, so that a decoded pixel tells
// which frame it came from.
std::vector<uint8_t> NumberedFrame(int i, int width, int height) {
  int mbs = ((width + 15) / 16) * ((height + 15) / 16);
  std::vector<test::MacroblockLevels> levels(static_cast<size_t>(mbs));
  for (auto& m : levels)
    for (int b = 2; b < 6; b++) m[b][0] = int16_t(8 * i - 200);
  return test::EncodeLevels(levels, 2, 1);
}
int FrameOfPixel(uint8_t green) {
  return ((green - 128) * 4 + 200) / 8;
}

class StrToAviTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override {
    CloseStrFile(doc);
    std::filesystem::remove_all(dir);
  }
  // A double-speed 15 fps movie of `frames` numbered frames with 37.8 kHz
  // stereo sound on channel 1.
  void Open(int frames = 20, int width = 320, int height = 240, int channel = 1) {
    test::MovieRecipe m;
    m.Frames = frames;
    m.ChunkPattern = {9, 9, 9, 8};
    m.Width = uint16_t(width);
    m.Height = uint16_t(height);
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = channel;
    m.Bitstream = [=](int f) { return NumberedFrame(f, width, height); };
    test::BuildMovie(m).Write(str);
    ASSERT_EQ(OpenStrFile(doc, str), 0);
    doc.CurrentSector = 0;
    ASSERT_EQ(ReadFrame(doc), 0);
    o = DefaultStrToAviOptions(doc, codec.HalfWidthView);
    o.OutputPath = avi;
    form.FirstSector = 0;
    form.LastSector = doc.LastFrameSector;
    form.OutputPath = avi;
    form.FormShow(doc, codec.HalfWidthView);
  }
  Result<StrToAviCounts> Run() { return ConvertStrToAvi(o, doc, codec, decoder, ui); }
  // The source frame shown by each AVI frame, read at (x, y).
  std::vector<int> AviFrames(int x = 10, int y = 10) {
    TAviIo reader;
    EXPECT_EQ(reader.Open(avi), 0) << reader.LastError;
    std::vector<int> out;
    while (TBmpIo* img = reader.NextFrame()) {
      uint8_t px[4];
      img->GetPixel(x, y, px);
      out.push_back(FrameOfPixel(px[1]));
    }
    return out;
  }

  std::string dir = test::TempPath("s2a");
  std::string str = dir + "/movie.str", avi = dir + "/out.avi";
  test::RecordingHost ui;
  StrDocument doc{ui};
  FrameCodec codec;
  XaDecoderState decoder;
  StrToAviOptions o;
  StrToAviDialogModel form;
};

TEST_F(StrToAviTest, FrameTimingFollowsTheRate) {
  Open(12);
  auto r = Run();
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(AviFrames(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  o.VideoRate = 7.5;  // half: every other frame; the last one comes
  EXPECT_TRUE(Run().Ok());  // after a read past the end fails
  EXPECT_EQ(AviFrames(), (std::vector<int>{0, 2, 4, 6, 8, 10, 11}));
  EXPECT_EQ(ui.messages.back(), "STRの読み取りエラー");
  o.VideoRate = 30;  // double: each frame twice
  EXPECT_TRUE(Run().Ok());
  auto doubled = AviFrames();
  ASSERT_GE(doubled.size(), 22u);
  EXPECT_EQ(std::vector<int>(doubled.begin(), doubled.begin() + 6),
            (std::vector<int>{0, 1, 1, 2, 2, 3}));
  EXPECT_FALSE(ui.progressShown);
  EXPECT_EQ(ui.progress.back(), 100);
  EXPECT_EQ(ui.label.rfind("Setor Nº. : ", 0), 0u) << ui.label;
}

TEST_F(StrToAviTest, OneFrameRangeGivesNoFrames) {
  Open(6);
  o.FirstSector = o.LastSector = 20;
  auto r = Run();
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r->FramesWritten, 0);
}

TEST_F(StrToAviTest, PicturePlacement) {
  Open(6, 256, 224);
  o.VideoWidth = 320;
  o.VideoHeight = 240;
  ASSERT_TRUE(Run().Ok());
  TAviIo reader;
  ASSERT_EQ(reader.Open(avi), 0);
  TBmpIo* img = reader.NextFrame();
  ASSERT_NE(img, nullptr);
  uint8_t px[4];
  img->GetPixel(250, 100, px);  // the picture
  EXPECT_GT(px[1], 50);
  img->GetPixel(300, 100, px);  // 64 black columns on the right
  EXPECT_EQ(px[1], 0);
  img->GetPixel(100, 10, px);  // a black band of 16 lines above
  EXPECT_EQ(px[1], 0);
  img->GetPixel(100, 20, px);
  EXPECT_GT(px[1], 50);
}

TEST_F(StrToAviTest, SoundPerSectorAndOtherChannels) {
  Open(20);
  auto r = Run();
  ASSERT_TRUE(r.Ok());
  EXPECT_GT(r->AudioSectors, 20);
  TAviIo reader;
  ASSERT_EQ(reader.Open(avi), 0);
  ASSERT_TRUE(reader.HasAudio);
  // Each sector gives 2016 frames at 37.8 kHz, 2352 at 44.1 kHz (the two
  // rates in the ratio 6:7); all of it is in the stream.
  std::vector<uint8_t> sound(size_t(r->AudioSectors) * 2352 * 4 + 4096);
  int bytes = reader.ReadAudio(sound.data(), int(sound.size()));
  EXPECT_EQ(bytes, r->AudioSectors * 2352 * 4);
  CloseStrFile(doc);
  // Sound of another channel than the one selected: an empty audio stream.
  Open(20, 320, 240, 3);
  doc.AudioChannels[0] = 5;  // (the export reads the channel from the document)
  r = Run();
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r->AudioSectors, 0);
  ASSERT_EQ(reader.Open(avi), 0);
  EXPECT_TRUE(reader.HasAudio);
  EXPECT_EQ(reader.ReadAudio(sound.data(), 4096), 0);
}

TEST_F(StrToAviTest, CompressedAudioAndVideo) {
  Open(15);
  WaveFormat adpcm;
  for (const auto& tag : AudioFormatTags())
    if (tag.Tag == 2)
      for (const auto& f : tag.Formats)
        if (f.nSamplesPerSec == 44100 && f.nChannels == 2) adpcm = f;
  form.AudioFormatChosen(ChooserResult::kChosen, adpcm, ui);
  EXPECT_EQ(form.DecodeFormat, WaveFormat::Pcm(44100, 2, 16));
  EXPECT_EQ(form.AcmSelCaption, "Microsoft ADPCM");
  CompressOptions mjpeg;
  mjpeg.fccHandler = FourCC("MJPG");
  form.CompressorChosen(mjpeg, "Motion JPEG");
  form.FormClose();
  o = form.Options();  // what the dialog asks for
  auto r = Run();
  ASSERT_TRUE(r.Ok());
  TAviIo reader;
  ASSERT_EQ(reader.Open(avi), 0) << reader.LastError;
  EXPECT_FALSE(reader.Video().Raw);
  EXPECT_TRUE(reader.HasAudio);
  EXPECT_EQ(AviFrames().size(), 15u);
}

TEST_F(StrToAviTest, CancelLeavesAShorterValidFile) {
  Open(20);
  ui.cancelAfter = 4;
  auto r = Run();
  EXPECT_EQ(r.status(), Status::kCancelled);
  EXPECT_EQ(r->FramesWritten, 4);
  EXPECT_EQ(AviFrames().size(), 4u);
}

TEST_F(StrToAviTest, RefusesToOverwriteTheMovieAndBadRates) {
  Open(6);
  auto before = test::ReadFileBytes(str);
  o.OutputPath = str;
  EXPECT_EQ(Run().status(), Status::kFailed);
  EXPECT_EQ(ui.messages.back(), msg::kSameFile.Text);
  EXPECT_EQ(test::ReadFileBytes(str), before);
  o.OutputPath = avi;
  for (double rate : {-5.0, 200000.0, HUGE_VAL}) {
    o.VideoRate = rate;
    EXPECT_EQ(Run().status(), Status::kFailed) << rate;
    EXPECT_FALSE(std::filesystem::exists(avi));
  }
  EXPECT_EQ(VideoScaleFor(15), 10000u);
  EXPECT_EQ(VideoScaleFor(29.97), 5005u);
}

TEST_F(StrToAviTest, DialogDefaultsAndFallBacks) {
  Open(6);
  // Closed as it opened, the dialog asks for what the command line does by default.
  form.FormClose();
  const StrToAviOptions asked = form.Options();
  EXPECT_EQ(asked.VideoRate, o.VideoRate);
  EXPECT_EQ(std::pair(asked.VideoWidth, asked.VideoHeight), std::pair(o.VideoWidth, o.VideoHeight));
  EXPECT_EQ(asked.Audio, o.Audio);
  EXPECT_EQ(asked.AudioFormat, o.AudioFormat);
  EXPECT_EQ(std::tuple(asked.PcmRate, asked.PcmChannels, asked.PcmBits),
            std::tuple(o.PcmRate, o.PcmChannels, o.PcmBits));
  EXPECT_EQ(form.VRateEdit, "15");
  EXPECT_EQ(form.AFormEdit, "44100 Hz, 16 Bit.; Estéreo");
  EXPECT_TRUE(form.AEnableChecked);
  for (const char* bad : {"0", "-5", "641", "abc", ""}) {
    form.VWidthEdit = bad;
    form.FormClose();
    EXPECT_EQ(form.VideoWidth, 320) << bad;
  }
  form.VWidthEdit = "640";
  form.VHeightEdit = "480";
  form.FormClose();
  EXPECT_EQ(form.VideoWidth, 640);
  EXPECT_EQ(form.VideoHeight, 480);
  form.VHeightEdit = "481";
  form.VRateEdit = "x";
  form.NameEdit = "kept.avi";
  form.FormClose();
  EXPECT_EQ(form.VideoHeight, 240);
  EXPECT_EQ(form.VideoRate, 15.0);
  EXPECT_EQ(form.OutputPath, "kept.avi");
  form.VRateEdit = "12.5fps";
  form.FormClose();
  EXPECT_EQ(form.VideoRate, 12.5);
  // Half width offers half the frame.
  form.FormShow(doc, true);
  EXPECT_EQ(form.VWidthEdit, "160");
  // The audio offer follows the channel's coding.
  doc.AudioCodings[0] = kCoding189Stereo;
  form.FormShow(doc, false);
  EXPECT_EQ(form.AFormEdit, "22050 Hz, 16 Bit.; Estéreo");
  doc.AudioCodings[0] = kCoding378Mono;
  form.FormShow(doc, false);
  EXPECT_EQ(form.AFormEdit, "44100 Hz, 16 Bit.; ﾓﾉﾗﾙ");
  form.AudioFormatChosen(ChooserResult::kChosen, WaveFormat::Pcm(22050, 1, 8), ui);
  form.FormClose();
  EXPECT_EQ(form.PcmBits, 8);
  EXPECT_EQ(form.PcmRate, 22050);
  // The chooser's other results.
  ui.messages.clear();
  form.AudioFormatChosen(ChooserResult::kCancelled, WaveFormat{}, ui);
  form.AudioFormatChosen(ChooserResult::kNoDriver, WaveFormat{}, ui);
  form.AudioFormatChosen(ChooserResult::kError, WaveFormat{}, ui);
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"利用可能なドライバが存在しません", "エラーが発生しました"}));
  EXPECT_EQ(form.PcmBits, 8);  // unchanged
}

// A game layout's own sound is offered as XA channels are: enabled, at its
// own rate, in stereo; a layout without sound offers none.
TEST(StrToAviOfferTest, GameLayoutSoundIsOffered) {
  struct Case {
    test::GameMovieRecipe Recipe;
    bool Sound;
    const char* Offer;
  };
  const Case cases[] = {
      {{GameFormat::kFf8, 4, 320, 224, 8, false}, true, "44100 Hz, 16 Bit.; Estéreo"},
      {{GameFormat::kChronoCross, 4, 160, 112, 4, false}, true, "44100 Hz, 16 Bit.; Estéreo"},
      {{GameFormat::kVersion1, 4, 160, 112, 3, false}, false, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(InfoOf(c.Recipe.Format).Name);
    const test::GameMovieFile file = test::WriteGameMovie(c.Recipe);
    test::RecordingHost ui;
    StrDocument doc(ui);
    ASSERT_EQ(OpenMovieFile(doc, ui, file.Path, OpenMode::kReadOnly), 0);
    const StrToAviOptions o = DefaultStrToAviOptions(doc, false);
    EXPECT_EQ(o.Audio, c.Sound);
    StrToAviDialogModel form;
    form.FormShow(doc, false);
    EXPECT_EQ(form.AEnableChecked, c.Sound);
    EXPECT_EQ(form.AEnableEnabled, c.Sound);
    if (c.Offer) {
      EXPECT_EQ(form.AFormEdit, c.Offer);
      EXPECT_EQ(o.PcmRate, 44100);
      EXPECT_EQ(o.PcmChannels, 2);
    }
    CloseStrFile(doc);
    std::filesystem::remove(file.Path);
  }
}

TEST_F(StrToAviTest, FfmpegSeesWhatWeWrote) {
  if (!test::HaveTool("ffprobe") || !test::HaveTool("ffmpeg"))
    GTEST_SKIP() << "ffmpeg is not installed";
  Open(30);
  auto r = Run();
  ASSERT_TRUE(r.Ok());
  auto probe = test::RunCommand({"ffprobe", "-v", "error", "-count_frames", "-show_streams",
                                 "-show_format", "-of", "json", avi});
  ASSERT_EQ(probe.Status, 0);
  auto j = nlohmann::json::parse(probe.Out);
  auto v = j["streams"][0], a = j["streams"][1];
  EXPECT_EQ(v["nb_read_frames"], "30");
  EXPECT_EQ(v["r_frame_rate"], "15/1");
  EXPECT_EQ(v["width"], 320);
  EXPECT_EQ(a["sample_rate"], "44100");
  EXPECT_EQ(a["channels"], 2);
  EXPECT_NEAR(std::stod(j["format"]["duration"].get<std::string>()), 2.0, 0.15);
  // The last frame as FFmpeg decodes it is our picture.
  std::string raw = dir + "/last.raw";
  auto dec = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-sseof", "-0.05", "-i", avi,
                               "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgr24", raw});
  ASSERT_EQ(dec.Status, 0) << dec.Err;
  EXPECT_EQ(test::ReadFileBytes(raw), codec.Image.Pixels);
}

}  // namespace
}  // namespace belmora
