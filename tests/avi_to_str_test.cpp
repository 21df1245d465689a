#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <filesystem>
#include <random>

#include "convert/avi_to_str.h"
#include "convert/str_to_avi.h"
#include "media/avi_reader.h"
#include "platform/media_writer.h"
#include "base/bytes.h"
#include "convert/new_str_dialog.h"
#include "str/new_str.h"
#include "tests/support/audio.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/recording_host.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

constexpr int kW = 320, kH = 240;

// The choices of a conversion as options records: the defaults, changed
// by the test.
struct TestChooser : AviToStrChooser {
  Status ChooseNewStr(NewStrOptions& o) override {
    o = NewStrOptions{};
    if (editNewStr) editNewStr(o);
    return newStrAnswer;
  }
  Status ChooseSettings(const StrDocument& doc, const AviToStrInputs& in,
                        AviToStrOptions& o) override {
    o = DefaultAviToStrOptions(doc, in, rebuild);
    if (edit) edit(o);
    chosen = o;
    return settingsAnswer;
  }
  // What the dialogs answer: kCancelled as a user's cancel.
  Status newStrAnswer = Status::kOk, settingsAnswer = Status::kOk;
  std::optional<bool> ResizeAnswer() override { return resize; }

  bool rebuild = false;
  std::optional<bool> resize;
  std::function<void(NewStrOptions&)> editNewStr;
  std::function<void(AviToStrOptions&)> edit;
  AviToStrOptions chosen;
};

// AVI frame i is flat grey at level 20 + 10 (i mod 20), readable after coding.
std::vector<uint8_t> GreyRows(int i) {
  return std::vector<uint8_t>(size_t(kW) * kH * 3, uint8_t(20 + 10 * (i % 20)));
}
int FrameOfGrey(int level) {
  return (level - 20 + 5) / 10;
}

class AviToStrTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override {
    CloseStrFile(doc);
    std::filesystem::remove_all(dir);
  }
  // An AVI of `frames` grey frames at `fps`, with 44.1 kHz stereo speech-like sound when asked.
  std::string MakeAvi(int frames, int fps, bool sound, bool natural = false) {
    std::string path = dir + "/in.avi";
    MediaWriter w;
    WaveFormat f = WaveFormat::Pcm(44100, 2, 16);
    PcmFormatInfo in{44100, 2, 16};
    EXPECT_EQ(w.Open(path, kW, kH, uint32_t(fps), 1, CompressOptions{}, sound ? &f : nullptr,
                     sound ? &in : nullptr),
              MediaError::kNone);
    left = test::MakeSignal(test::Signal::kSine1k, 44100 * frames / fps, 44100, 9000);
    right = test::MakeSignal(test::Signal::kSpeechLike, 44100 * frames / fps, 44100, 9000);
    for (int i = 0; i < frames; i++) {
      if (natural) {
        auto top = test::NaturalPicture(kW, kH, i);
        std::vector<uint8_t> rows(top.size());
        for (int y = 0; y < kH; y++)
          std::memcpy(&rows[size_t(kH - 1 - y) * kW * 3], &top[size_t(y) * kW * 3], kW * 3);
        pictures.push_back(top);
        w.WriteVideo(rows.data());
      } else {
        w.WriteVideo(GreyRows(i).data());
      }
    }
    if (sound) {
      std::vector<uint8_t> pcm(left.size() * 4);
      for (size_t i = 0; i < left.size(); i++) {
        PutU16(&pcm[4 * i], uint16_t(left[i]));
        PutU16(&pcm[4 * i + 2], uint16_t(right[i]));
      }
      w.WriteAudio(pcm.data(), pcm.size());
    }
    EXPECT_TRUE(w.Close());
    return path;
  }
  // Writes the movie to `str` and opens it.
  void OpenMovie(const test::MovieRecipe& m) {
    test::BuildMovie(m).Write(str);
    ASSERT_EQ(OpenStrFile(doc, str), 0);
  }
  AviToStrContext Context() {
    return AviToStrContext{doc, codec, encoder, numbering, ui, start, end, ImagePosition{}};
  }
  // The green level at (x, y) of the frame at or after `sector`, decoded.
  int LevelAt(int32_t sector, int x = 100, int y = 100) {
    doc.CurrentSector = sector;
    EXPECT_EQ(ReadAndDecodeFrame(codec, doc), 0);
    return codec.Image.Pixels[(size_t(y) * codec.Image.Width + x) * 3 + 1];
  }

  std::string dir = test::TempPath("a2s");
  std::string str = dir + "/movie.str";
  test::RecordingHost ui;
  AudioSectorHook hook;
  StrDocument doc{ui, &hook};
  FrameCodec codec;
  XaEncoderState encoder;
  FrameNumbering numbering;
  AviToStrSettings settings;
  TestChooser chooser;
  int32_t start = 0, end = 0;
  std::vector<int16_t> left, right;
  std::vector<std::vector<uint8_t>> pictures;
};

TEST_F(AviToStrTest, NewFileLayout) {
  std::string avi = MakeAvi(30, 15, true);
  auto c = Context();
  ASSERT_TRUE(CreateStrFromAvi(c, str, avi, chooser).Ok())
      << (ui.messages.empty() ? "" : ui.messages[0]);
  // 2336 sectors at double speed by default, 37.8 kHz stereo from 44.1 kHz sound.
  EXPECT_EQ(doc.SectorSize, 2336);
  EXPECT_EQ(doc.AudioCodings[0], kCoding378Stereo);
  auto bytes = test::ReadFileBytes(str);
  // Audio every 8th sector from sector 7; frames of 9, 9, 9, 8 video sectors.
  std::vector<int> videoPerFrame;
  int count = 0;
  for (int s = 0; s < 40; s++) {
    Subheader sub = Subheader::Parse(&bytes[size_t(s) * 2336 + 4]);
    EXPECT_EQ(IsAudioSector(sub), s % 8 == 7) << s;
    if (!IsAudioSector(sub)) count++;
    if (s % 10 == 9) {
      videoPerFrame.push_back(count);
      count = 0;
    }
  }
  EXPECT_EQ(videoPerFrame, (std::vector<int>{9, 9, 9, 8}));
  // 30 AVI frames and 15 tail frames: T = 300 + 150 sectors, frames at 0, 10, ..., 450.
  CloseStrFile(doc);
  ASSERT_EQ(OpenStrFile(doc, str), 0);
  int frames = 0;
  doc.CurrentSector = 0;
  while (ReadFrame(doc) == 0) {
    frames++;
    doc.CurrentSector = doc.NextSector;
  }
  EXPECT_EQ(frames, 46);
  EXPECT_EQ(doc.LastFrameNumber, 10015);  // tail frames numbered from Nº Quadro 10000
  EXPECT_LT(LevelAt(doc.LastFrameSector), 5);  // black after the AVI's end
  EXPECT_EQ(FrameOfGrey(LevelAt(100)), 10);
}

// A front end that shows no previews (the command line) gets the same file,
// without the encodings being decoded again for it.
TEST_F(AviToStrTest, SameFileWithoutPreviews) {
  std::string avi = MakeAvi(20, 15, true);
  auto c = Context();
  ASSERT_TRUE(CreateStrFromAvi(c, str, avi, chooser).Ok());
  CloseStrFile(doc);
  EXPECT_GT(ui.framesShown, 0);
  const std::string quiet = dir + "/quiet.str";
  ui.wantsPreviews = false;
  ui.framesShown = 0;
  auto c2 = Context();
  ASSERT_TRUE(CreateStrFromAvi(c2, quiet, avi, chooser).Ok());
  CloseStrFile(doc);
  EXPECT_EQ(ui.framesShown, 0);
  EXPECT_EQ(test::ReadFileBytes(quiet), test::ReadFileBytes(str));
}

TEST_F(AviToStrTest, FrameChoiceFollowsTheTimes) {
  // STR frames 10 sectors apart at double speed, AVI at 15 fps (d = 66 ms):
  // frames take the AVI frames 0, 0, 2, 3, 4, ...
  std::string avi = MakeAvi(12, 15, false);
  test::MovieRecipe m;
  m.SectorSize = 2336;
  m.Riff = false;
  m.Frames = 12;
  m.ChunkPattern = {10};
  m.Bitstream = [](int) { return test::MinimalBitstream(); };
  ASSERT_NO_FATAL_FAILURE(OpenMovie(m));
  start = 0;
  end = 50;  // before the last frame: no length question
  auto c = Context();
  ASSERT_TRUE(ConvertAviToStr(c, avi, chooser).Ok());
  EXPECT_TRUE(ui.questions.empty());
  std::vector<int> chosen;
  for (int s = 0; s <= 50; s += 10) chosen.push_back(FrameOfGrey(LevelAt(s)));
  EXPECT_EQ(chosen, (std::vector<int>{0, 0, 2, 3, 4, 5}));
}

TEST_F(AviToStrTest, InPlaceKeepsEverythingOutsideTheSelection) {
  std::string avi = MakeAvi(40, 15, true);
  test::MovieRecipe m;
  m.Frames = 30;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  std::mt19937 random(3);
  m.Bitstream = [&](int) {
    return test::EncodeLevels(test::RandomLevels(kW, kH, random, 2), 2, 4);
  };
  test::BuildMovie(m).Write(str);
  auto before = test::ReadFileBytes(str);
  ASSERT_EQ(OpenStrFile(doc, str), 0);
  start = 50;
  end = 150;
  auto c = Context();
  ASSERT_TRUE(ConvertAviToStr(c, avi, chooser).Ok());
  CloseStrFile(doc);
  auto after = test::ReadFileBytes(str);
  ASSERT_EQ(after.size(), before.size());
  // Frames start at 0, 10, 20, ...: the selection is sectors 50 to 159.
  for (size_t i = 0; i < after.size(); i++) {
    int64_t sector = (int64_t(i) - 44) / 2352;
    if (sector >= 50 && sector < 160) continue;
    ASSERT_EQ(after[i], before[i]) << "byte " << i << " of sector " << sector;
  }
  EXPECT_NE(after, before);
}

// The sound of a conversion does not depend on what ran before it: the same
// import into two copies, one after the other with one encoder record (as
// the application keeps it), gives the same bytes.
TEST_F(AviToStrTest, EachRunStartsFromSilence) {
  std::string avi = MakeAvi(40, 15, true);
  test::MovieRecipe m;
  m.Frames = 20;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  test::BuildMovie(m).Write(str);
  const std::string second = dir + "/second.str";
  std::filesystem::copy_file(str, second);
  chooser.resize = false;
  for (const std::string& path : {str, second}) {
    ASSERT_EQ(OpenStrFile(doc, path), 0);
    start = 0;
    end = doc.LastFrameSector;
    auto c = Context();
    ASSERT_TRUE(ConvertAviToStr(c, avi, chooser).Ok());
    CloseStrFile(doc);
  }
  EXPECT_NE(encoder.Left[0] | encoder.Left[1] | encoder.Right[0] | encoder.Right[1], 0);
  EXPECT_EQ(test::ReadFileBytes(str), test::ReadFileBytes(second));
}

TEST_F(AviToStrTest, NoAudioLeavesAudioSectorsAlone) {
  std::string avi = MakeAvi(20, 15, true);
  test::MovieRecipe m;
  m.SectorSize = 2336;
  m.Riff = false;
  m.Frames = 20;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  test::BuildMovie(m).Write(str);
  auto before = test::ReadFileBytes(str);
  ASSERT_EQ(OpenStrFile(doc, str), 0);
  start = 0;
  end = 100;
  chooser.edit = [](AviToStrOptions& o) { o.NoAudio = true; };
  auto c = Context();
  ASSERT_TRUE(ConvertAviToStr(c, avi, chooser).Ok());
  CloseStrFile(doc);
  auto after = test::ReadFileBytes(str);
  for (int s = 0; s < int(after.size() / 2336); s++) {
    if (!IsAudioSector(Subheader::Parse(&before[size_t(s) * 2336 + 4]))) continue;
    ASSERT_TRUE(std::equal(&before[size_t(s) * 2336], &before[size_t(s) * 2336 + 2336],
                           &after[size_t(s) * 2336]))
        << s;
  }
}

TEST_F(AviToStrTest, ShorteningA2352FileSetsTheRiffSizes) {
  std::string avi = MakeAvi(10, 15, false);
  test::MovieRecipe m;
  m.Frames = 30;
  m.ChunkPattern = {10};
  m.TrailingFillers = 3;
  ASSERT_NO_FATAL_FAILURE(OpenMovie(m));
  start = 0;
  end = doc.LastFrameSector;
  ui.answerYes = true;
  auto c = Context();
  ASSERT_TRUE(ConvertAviToStr(c, avi, chooser).Ok());
  ASSERT_EQ(ui.questions.size(), 1u);  // asked, as the chooser has no answer
  EXPECT_EQ(ui.questions[0], msg::kShorten.Text);
  // 10 frames of 15 fps plus 15 tail frames at double speed: T = 100 + 150 = 250.
  CloseStrFile(doc);
  auto bytes = test::ReadFileBytes(str);
  const size_t e = 44 + size_t(doc.SectorCount) * 2352;
  EXPECT_EQ(bytes.size(), e);
  EXPECT_EQ(GetU32(&bytes[4]), e - 8);
  EXPECT_EQ(GetU32(&bytes[40]), e - 44);
  EXPECT_EQ(doc.TrailingSectors, 3);
  EXPECT_LT(bytes.size(), 44u + 303 * 2352);
}

TEST_F(AviToStrTest, CancelWhileLengthening) {
  std::string avi = MakeAvi(60, 15, false);
  test::MovieRecipe m;
  m.SectorSize = 2336;
  m.Riff = false;
  m.Frames = 10;
  m.ChunkPattern = {10};
  m.TrailingFillers = 2;
  ASSERT_NO_FATAL_FAILURE(OpenMovie(m));
  start = 0;
  end = doc.LastFrameSector;
  ui.answerYes = true;
  ui.cancelAfter = 15;
  auto c = Context();
  c.Threads = 1;  // with more, the frames laid out ahead are finished too
  const Result<int> converted = ConvertAviToStr(c, avi, chooser);
  ASSERT_EQ(converted.status(), Status::kCancelled);
  EXPECT_EQ(*converted, 15);
  EXPECT_EQ(ui.questions[0], msg::kLengthen.Text);
  // 15 frames converted: the file ends after frame 15's sectors and two fillers.
  EXPECT_EQ(doc.SectorCount, 150 + 2);
  EXPECT_EQ(int64_t(std::filesystem::file_size(str)), int64_t(152) * 2336);
}

TEST_F(AviToStrTest, CancelWhileLengtheningOnSeveralThreads) {
  std::string avi = MakeAvi(60, 15, false);
  test::MovieRecipe m;
  m.SectorSize = 2336;
  m.Riff = false;
  m.Frames = 10;
  m.ChunkPattern = {10};
  m.TrailingFillers = 2;
  ASSERT_NO_FATAL_FAILURE(OpenMovie(m));
  start = 0;
  end = doc.LastFrameSector;
  ui.answerYes = true;
  ui.cancelAfter = 15;
  auto c = Context();
  c.Threads = 3;
  const Result<int> converted = ConvertAviToStr(c, avi, chooser);
  ASSERT_EQ(converted.status(), Status::kCancelled);
  // The frames laid out ahead of the stop are finished too: whole frames of
  // ten sectors, then the two fillers, and nothing after them.
  EXPECT_EQ(doc.SectorCount, *converted * 10 + 2);
  EXPECT_GE(doc.SectorCount, 150 + 2);
  EXPECT_LT(doc.SectorCount, 600);
  EXPECT_EQ((doc.SectorCount - 2) % 10, 0);
  EXPECT_EQ(int64_t(std::filesystem::file_size(str)), int64_t(doc.SectorCount) * 2336);
  EXPECT_EQ(doc.LastFrameSector, doc.SectorCount - 2 - 10);
}

TEST_F(AviToStrTest, NumberingWraps) {
  std::string avi = MakeAvi(10, 15, false);
  test::MovieRecipe m;
  m.SectorSize = 2048;
  m.Riff = false;
  m.Frames = 20;
  m.ChunkPattern = {10};
  ASSERT_NO_FATAL_FAILURE(OpenMovie(m));
  start = 0;
  end = 60;
  chooser.edit = [](AviToStrOptions& o) {
    o.KeepFrameNumbers = false;
    o.StartNumber = 5;
    o.MinNumber = 1;
    o.MaxNumber = 7;
  };
  auto c = Context();
  ASSERT_TRUE(ConvertAviToStr(c, avi, chooser).Ok());
  std::vector<uint32_t> numbers;
  for (int s = 0; s <= 60; s += 10) {
    doc.CurrentSector = s;
    ASSERT_EQ(ReadFrame(doc), 0);
    numbers.push_back(doc.ChunkHeader.FrameNumber);
  }
  EXPECT_EQ(numbers, (std::vector<uint32_t>{5, 6, 7, 1, 2, 3, 4}));
}

// Settings refused (reported) and choices cancelled stop the run before
// anything is written: no frames converted, and a new file is removed.
TEST_F(AviToStrTest, RefusedSettingsChangeNothing) {
  std::string avi = MakeAvi(10, 15, false);
  test::MovieRecipe m;
  m.Frames = 12;
  m.ChunkPattern = {10};
  test::BuildMovie(m).Write(str);
  auto before = test::ReadFileBytes(str);
  chooser.rebuild = true;
  for (double fps : {0.0, -15.0, std::nan(""), 2.0}) {  // 2 fps: 75 sectors a frame
    chooser.edit = [fps](AviToStrOptions& o) { o.FrameRate = fps; };
    ASSERT_EQ(OpenStrFile(doc, str), 0);
    start = 0;
    end = doc.LastFrameSector;
    auto c = Context();
    const Result<int> converted = ConvertAviToStr(c, avi, chooser);
    EXPECT_EQ(converted.status(), Status::kFailed) << fps;
    EXPECT_FALSE(converted.has_value()) << fps;
    CloseStrFile(doc);
    EXPECT_EQ(test::ReadFileBytes(str), before) << fps;
  }
  // The settings or a new file's layout cancelled: said to be cancelled,
  // and nothing is left of a new file.
  chooser.edit = nullptr;
  chooser.settingsAnswer = Status::kCancelled;
  ASSERT_EQ(OpenStrFile(doc, str), 0);
  auto c = Context();
  const size_t said = ui.messages.size();
  const Result<int> cancelled = ConvertAviToStr(c, avi, chooser);
  EXPECT_EQ(cancelled.status(), Status::kCancelled);
  EXPECT_FALSE(cancelled.has_value());
  EXPECT_EQ(ui.messages.size(), said);
  CloseStrFile(doc);
  EXPECT_EQ(test::ReadFileBytes(str), before);
  for (Status* answer : {&chooser.settingsAnswer, &chooser.newStrAnswer}) {
    chooser.settingsAnswer = chooser.newStrAnswer = Status::kOk;
    *answer = Status::kCancelled;
    const std::string fresh = dir + "/fresh.str";
    auto n = Context();
    const Result<int> created = CreateStrFromAvi(n, fresh, avi, chooser);
    EXPECT_EQ(created.status(), Status::kCancelled);
    EXPECT_FALSE(created.has_value());
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_FALSE(std::filesystem::exists(fresh + ".part"));
  }
  chooser.settingsAnswer = chooser.newStrAnswer = Status::kOk;
  // A read-only document is refused before anything else.
  ASSERT_EQ(OpenStrFile(doc, str, true), 0);
  auto r = Context();
  EXPECT_EQ(ConvertAviToStr(r, avi, chooser).status(), Status::kFailed);
  EXPECT_EQ(ui.messages.back(), msg::kReadOnly.Text);
}

TEST_F(AviToStrTest, SettingsDialogDefaults) {
  test::MovieRecipe m;
  m.Frames = 50;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  test::BuildMovie(m).Write(str);
  ASSERT_EQ(OpenStrFile(doc, str), 0);
  doc.CurrentSector = 0;
  ASSERT_EQ(ReadFrame(doc), 0);
  settings.Inputs = {false, 29.97, 15, false};
  settings.FormShow(doc);
  EXPECT_EQ(settings.MaxNoEdit, "6");  // numbers 1 to 50
  EXPECT_EQ(settings.Label11, "方法");
  EXPECT_EQ(settings.AudioFormItems,
            (std::vector<std::string>{"圧縮して上書き", "元の音声のまま"}));
  EXPECT_EQ(settings.AudioFormSel, 1);  // the AVI has no sound
  EXPECT_EQ(settings.FPSEdit, "15");
  EXPECT_FALSE(settings.FPSEditEnabled);
  settings.AudioFormSel = 0;
  EXPECT_FALSE(settings.Button1Click(doc, ui));  // the warning, declined
  EXPECT_EQ(ui.questions.back(), msg::kNoAviSound.Text);
  settings.SectorChk = true;
  settings.SectorChkClick(doc);
  EXPECT_EQ(settings.Label11, "Tipo");
  EXPECT_EQ(settings.AudioFormSel, 3);  // "37.8kHz Stereo", as the file has
  EXPECT_EQ(settings.AudioFormItems[4], "Sem som ");
  EXPECT_EQ(settings.FPSEdit, "29.97");
  EXPECT_FALSE(settings.FrameOrgChk);
  EXPECT_TRUE(settings.NumberEditsEnabled);
  settings.FPSEdit = "fast";
  settings.AudioFormSel = 4;
  EXPECT_TRUE(settings.Button1Click(doc, ui));
  EXPECT_EQ(settings.Options.FrameRate, 0);
  EXPECT_TRUE(settings.Options.NoAudio);
  // A new file.
  settings.Inputs.IsNewFile = true;
  doc.FirstFrameNumber = 1;
  doc.LastFrameNumber = 10000;
  settings.FormShow(doc);
  EXPECT_TRUE(settings.SectorChk);
  EXPECT_FALSE(settings.SectorChkEnabled);
  EXPECT_EQ(settings.MaxNoEdit, "9900");
  EXPECT_EQ(settings.EndNoEdit, "10000");
}

// The dialog, accepted as it opens, asks for what the command line does by default.
TEST_F(AviToStrTest, UntouchedDialogGivesTheDefaults) {
  test::MovieRecipe m;
  m.Frames = 200;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = kCoding189Mono;
  m.AudioChannel = 3;
  m.Bitstream = [](int) { return test::MinimalBitstream(1, 3); };
  test::BuildMovie(m).Write(str);
  ASSERT_EQ(OpenStrFile(doc, str), 0);
  ASSERT_EQ(FindFrameStart(doc, 40), 0);
  for (bool rebuild : {false, true}) {
    for (bool sound : {false, true}) {
      settings.Inputs = {false, 23.976, 15, sound};
      settings.FormShow(doc);
      if (rebuild) {
        settings.SectorChk = true;
        settings.SectorChkClick(doc);
      }
      ui.answerYes = true;
      ASSERT_TRUE(settings.Button1Click(doc, ui));
      EXPECT_EQ(settings.Options, DefaultAviToStrOptions(doc, settings.Inputs, rebuild))
          << rebuild << sound;
    }
  }
  auto o = DefaultAviToStrOptions(doc, settings.Inputs, false);
  EXPECT_EQ(o.MdecVersion, 3);
  EXPECT_EQ(o.AudioChannel, 3);
  EXPECT_EQ(o.MaxNumber, 100);  // numbers 1 to 200
}

TEST_F(AviToStrTest, NewStrDialog) {
  ASSERT_EQ(CreateStrFile(doc, str), 0);
  NewStrDialogModel form;
  form.FormShow();
  form.ComboBox2 = "2352(RIFF)";
  form.Edit1 = "0x60";
  form.Edit2 = "1FF";  // spills into the high byte
  form.Edit3 = "01h";
  form.Edit4 = "";
  form.Edit5 = "150";
  ASSERT_EQ(ApplyNewStrOptions(doc, form.OKButtonClick()), 0);
  EXPECT_EQ(doc.ChunkHeader.Status, uint16_t((0x1FF * 256) | 0x60));
  EXPECT_EQ(doc.ChunkHeader.Type, 0x0001);
  EXPECT_EQ(doc.TrailingSectors, 150);
  EXPECT_EQ(doc.SpeedFactor, 2);
  EXPECT_EQ(std::filesystem::file_size(str), 44u);  // the header, at once
  form.FormShow();
  EXPECT_EQ(form.ComboBox1, "2x");
  EXPECT_EQ(form.ComboBox2, "2336");
  EXPECT_EQ(form.Edit1 + form.Edit2 + form.Edit3 + form.Edit4 + form.Edit5, "600101800");
}

TEST_F(AviToStrTest, RoundTripAndFfmpeg) {
  std::string avi = MakeAvi(30, 15, true, true);
  auto c = Context();
  chooser.editNewStr = [](NewStrOptions& o) { o.Layout = kLayout2352; };
  ASSERT_TRUE(CreateStrFromAvi(c, str, avi, chooser).Ok());
  CloseStrFile(doc);
  // Back to AVI and compare.
  ASSERT_EQ(OpenStrFile(doc, str), 0);
  doc.CurrentSector = 0;
  ASSERT_EQ(ReadFrame(doc), 0);
  StrToAviOptions back = DefaultStrToAviOptions(doc, false);
  back.LastSector = 290;
  back.OutputPath = dir + "/back.avi";
  XaDecoderState decoder;
  ASSERT_TRUE(ConvertStrToAvi(back, doc, codec, decoder, ui).Ok());
  TAviIo result;
  ASSERT_EQ(result.Open(back.OutputPath), 0);
  double total = 0;
  for (int i = 0; i < 30; i++) {
    TBmpIo* img = result.NextFrame();
    ASSERT_NE(img, nullptr);
    std::vector<uint8_t> top(size_t(kW) * kH * 3);
    for (int y = 0; y < kH; y++)
      std::memcpy(&top[size_t(y) * kW * 3], &img->Pixels[size_t(kH - 1 - y) * kW * 3], kW * 3);
    total += test::LumaPsnr(top.data(), kW * 3, pictures[size_t(i)].data(), kW * 3, kW, kH);
  }
  std::printf("new STR round trip: mean luma PSNR %.1f dB\n", total / 30);
  EXPECT_GT(total / 30, 30.0);
  std::vector<uint8_t> sound(44100 * 4);
  ASSERT_GT(result.ReadAudio(sound.data(), int(sound.size())), 44100 * 3);
  // The sound comes back at the same rate (37.8 kHz in between), about half
  // a sector late; compare the left channel by SNR after lining it up.
  double best = -100;
  for (int lag = 0; lag < 4000; lag += 1) {
    std::vector<double> want, got;
    for (int i = 5000; i < 30000; i++) {
      want.push_back(left[size_t(i)] / 2.0);
      got.push_back(int16_t(GetU16(&sound[size_t(i + lag) * 4])));
    }
    best = std::max(best, test::SnrDb(want, got));
  }
  std::printf("new STR round trip: sound SNR %.1f dB\n", best);
  EXPECT_GT(best, 15.0);

  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  auto r = test::RunCommand({"ffmpeg", "-v", "error", "-i", str, "-f", "null", "-"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  auto probe = test::RunCommand({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
                                 "stream=codec_name,nb_read_frames", "-of", "csv=p=0", str});
  EXPECT_NE(probe.Out.find("mdec,46"), std::string::npos) << probe.Out;
  EXPECT_NE(probe.Out.find("adpcm_xa"), std::string::npos) << probe.Out;
}

}  // namespace
}  // namespace belmora
