// The translator's workflow: fit reports and dry runs, frame-exact round
// trips that touch only changed frames, burned-in subtitles, and the sound
// of multi-channel XA files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "base/bytes.h"
#include "convert/avi_to_str.h"
#include "convert/fit_report.h"
#include "convert/frame_codec.h"
#include "convert/subtitle.h"
#include "convert/xa_channels.h"
#include "media/wav_reader.h"
#include "media/wav_writer.h"
#include "platform/media_reader.h"
#include "platform/media_writer.h"
#include "platform/subtitle_renderer.h"
#include "str/journal.h"
#include "str/str_document.h"
#include "str/xa_file.h"
#include "tests/support/audio.h"
#include "tests/support/avi_builder.h"
#include "tests/support/image_compare.h"
#include "tests/support/recording_host.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "tests/support/xa_builder.h"
#include "xa/xa_codec.h"

namespace belmora {
namespace {

using test::ReadFileBytes;
using test::RunCommand;
using test::RunResult;

constexpr int kW = 160, kH = 112;

RunResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), {BELMORA_CLI, "--quiet"});
  return RunCommand(args);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every frame of an STR: its decoded picture (full width, top row first)
// and the sectors its chunks occupy.
struct DecodedFrame {
  std::vector<uint8_t> Pixels;
  int Stride = 0;
  std::vector<int32_t> Sectors;
};

std::vector<DecodedFrame> DecodeAll(const std::string& path) {
  CollectingHost host;
  StrDocument doc(host);
  std::vector<DecodedFrame> frames;
  if (OpenStrFile(doc, path, true) != 0) return frames;
  FrameCodec codec;
  doc.CurrentSector = 0;
  while (doc.CurrentSector <= doc.LastFrameSector && ReadFrame(doc) == 0) {
    DecodedFrame f;
    if (DecodeCurrentFrame(codec, doc) == 0) {
      f.Pixels = codec.Image.Pixels;
      f.Stride = codec.Image.Stride();
    }
    f.Sectors.assign(doc.ChunkSectors.begin(), doc.ChunkSectors.begin() + doc.ChunkHeader.ChunkCount);
    frames.push_back(std::move(f));
    doc.CurrentSector = doc.NextSector;
  }
  return frames;
}

// A 43-frame movie made by the program's own encoder from a 42-frame 20 fps
// video: 7.5 sectors a frame at double speed, so frames sit 7 and 8 sectors
// apart, and the last one starts at the video's end.
class TranslatorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = test::TempPath("translator");
    std::filesystem::create_directories(dir_);
    test::AviRecipe recipe;
    recipe.Frames = 42;
    recipe.Fps = 20;
    recipe.Width = kW;
    recipe.Height = kH;
    test::WriteTestAvi(dir_ + "/source.avi", recipe, &pictures_);
    auto r = Cli({"new", dir_ + "/movie.str", dir_ + "/source.avi", "--tail-frames", "0"});
    ASSERT_EQ(r.Status, 0) << r.Err;
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

  std::string Copy(const std::string& name) {
    const std::string to = dir_ + "/" + name;
    std::filesystem::copy_file(dir_ + "/movie.str", to,
                               std::filesystem::copy_options::overwrite_existing);
    return to;
  }
  std::string Path(const std::string& name) { return dir_ + "/" + name; }

  static std::string dir_;
  static std::vector<std::vector<uint8_t>> pictures_;
};
std::string TranslatorTest::dir_;
std::vector<std::vector<uint8_t>> TranslatorTest::pictures_;

TEST(FitReportTest, SummaryCountsKeptFramesAndJudgesTheEncodedOnes) {
  FitReport report;
  report.Add({0, 10, 4032, 3, 3000, 38.5, false});
  report.Add({1, 18, 4032, 0, 2100, 99.0, true});
  report.Add({2, 25, 6048, 5, 5990, 31.25, false});
  report.Add({3, 33, 4032, 4, 4000, 35.0, false});
  const FitSummary s = report.Summary();
  EXPECT_EQ(s.Frames, 4);
  EXPECT_EQ(s.Reencoded, 3);
  EXPECT_EQ(s.Kept, 1);
  EXPECT_EQ(s.WorstIndex, 2);
  EXPECT_DOUBLE_EQ(s.WorstPsnr, 31.25);
  EXPECT_NEAR(s.MeanPsnr, (38.5 + 31.25 + 35.0) / 3, 1e-9);

  // CSV: a header, one row per frame, the summary last.
  std::istringstream csv(report.Csv());
  std::vector<std::string> lines;
  for (std::string l; std::getline(csv, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "index,first_sector,capacity,scale,bytes,psnr,kept");
  EXPECT_EQ(lines[2], "1,18,4032,0,2100,99.00,yes");
  EXPECT_EQ(lines[3], "2,25,6048,5,5990,31.25,no");
  EXPECT_EQ(lines[5].rfind("# frames 4,reencoded 3,kept 1,worst 2,worst_psnr 31.25", 0), 0u);

  auto j = nlohmann::json::parse(report.Json());
  ASSERT_EQ(j["frames"].size(), 4u);
  EXPECT_EQ(j["frames"][1]["kept"], true);
  EXPECT_EQ(j["frames"][2]["capacity"], 6048);
  EXPECT_EQ(j["summary"]["worst_index"], 2);
  EXPECT_EQ(j["summary"]["reencoded"], 3);

  // With nothing encoded, every frame counts.
  FitReport kept;
  kept.Add({0, 0, 2016, 2, 1000, 60.0, true});
  kept.Add({1, 8, 2016, 2, 1000, 50.0, true});
  EXPECT_EQ(kept.Summary().WorstIndex, 1);
  EXPECT_DOUBLE_EQ(kept.Summary().MeanPsnr, 55.0);
}

TEST(FitReportTest, LumaPsnrAgreesWithTheFloatingPointMeasure) {
  std::vector<uint8_t> a(kW * kH * 3), b;
  for (size_t i = 0; i < a.size(); i++) a[i] = uint8_t(i * 7 % 251);
  b = a;
  EXPECT_EQ(LumaPsnr(a.data(), kW * 3, b.data(), kW * 3, kW, kH), kPsnrIdentical);
  for (size_t i = 0; i < b.size(); i += 5) b[i] = uint8_t(b[i] ^ 0x0F);
  EXPECT_NEAR(LumaPsnr(a.data(), kW * 3, b.data(), kW * 3, kW, kH),
              test::LumaPsnr(a.data(), kW * 3, b.data(), kW * 3, kW, kH), 0.01);
}

TEST_F(TranslatorTest, ReportOfAnImportListsEveryFrameAndDryRunWritesNothing) {
  const std::string str = Copy("report.str");
  const auto before = ReadFileBytes(str);
  auto r = Cli({"import-avi", str, Path("source.avi"), "--dry-run", "--report", Path("r.csv")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFileBytes(str), before);  // a dry run writes nothing
  EXPECT_NE(r.Out.find("43 フレーム: 再エンコード 43"), std::string::npos) << r.Out;

  std::istringstream csv(ReadText(Path("r.csv")));
  std::vector<std::string> lines;
  for (std::string l; std::getline(csv, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 45u);
  EXPECT_EQ(lines[0], "index,first_sector,capacity,scale,bytes,psnr,kept");
  const auto frames = DecodeAll(str);
  ASSERT_EQ(frames.size(), 43u);
  for (int i = 0; i < 43; i++) {
    int index, sector, capacity, scale, bytes;
    double psnr;
    char kept[8] = {};
    ASSERT_EQ(std::sscanf(lines[size_t(i) + 1].c_str(), "%d,%d,%d,%d,%d,%lf,%7s", &index, &sector,
                          &capacity, &scale, &bytes, &psnr, kept),
              7);
    EXPECT_EQ(index, i);
    EXPECT_EQ(sector, frames[size_t(i)].Sectors[0]);
    EXPECT_EQ(capacity, int(frames[size_t(i)].Sectors.size()) * 2016);
    EXPECT_GE(scale, 1);
    EXPECT_LE(bytes, capacity);
    EXPECT_GT(psnr, 25.0);
    EXPECT_STREQ(kept, "no");
  }
  EXPECT_EQ(lines[44].rfind("# frames 43,reencoded 43,kept 0,", 0), 0u);

  // The same run for real gives the report's pictures, and a JSON report.
  r = Cli({"import-avi", str, Path("source.avi"), "--report", Path("r.json")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  auto j = nlohmann::json::parse(ReadText(Path("r.json")));
  ASSERT_EQ(j["frames"].size(), 43u);
  EXPECT_EQ(j["summary"]["frames"], 43);
  EXPECT_NE(ReadFileBytes(str), before);
}

TEST_F(TranslatorTest, DryRunOfNewAndImportBmpWriteNothing) {
  auto r = Cli({"new", Path("dry.str"), Path("source.avi"), "--tail-frames", "0", "--dry-run",
                "--report", Path("new.csv")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_FALSE(std::filesystem::exists(Path("dry.str")));
  EXPECT_FALSE(std::filesystem::exists(Path("dry.str.part")));
  EXPECT_NE(ReadText(Path("new.csv")).find("# frames 43,reencoded 43"), std::string::npos);

  const std::string str = Copy("bmp.str");
  const auto before = ReadFileBytes(str);
  r = Cli({"export-bmp", str, "-o", Path("f3.bmp"), "--frame", "3", "--force"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  r = Cli({"import-bmp", str, Path("f3.bmp"), "--frame", "5", "--dry-run", "--report",
           Path("bmp.csv")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFileBytes(str), before);
  EXPECT_NE(ReadText(Path("bmp.csv")).find("# frames 1,reencoded 1"), std::string::npos);
}

TEST_F(TranslatorTest, FrameExactExportReimportedWithOnlyChangedChangesNoByte) {
  const std::string str = Copy("exact.str");
  const auto before = ReadFileBytes(str);
  // Frame-exact: one AVI frame for every STR frame.
  auto r = Cli({"export-avi", str, "-o", Path("exact.avi"), "--frame-exact", "--force"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out.rfind("43 frames written", 0), 0u) << r.Out;

  r = Cli({"import-avi", str, Path("exact.avi"), "--only-changed", "--report", Path("oc.csv")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Err.find("1 フレームずつ対応させます"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadFileBytes(str), before);
  EXPECT_NE(ReadText(Path("oc.csv")).find("# frames 43,reencoded 0,kept 43"), std::string::npos);

  // Frame-exact import without keeping: every picture lands on its own frame.
  r = Cli({"import-avi", str, Path("exact.avi"), "--audio", "keep"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto original = DecodeAll(Path("movie.str")), now = DecodeAll(str);
  ASSERT_EQ(now.size(), original.size());
  int closerThanNext = 0;
  for (size_t i = 0; i < now.size(); i++) {
    const double same = test::LumaPsnr(now[i].Pixels.data(), size_t(now[i].Stride),
                                       original[i].Pixels.data(), size_t(original[i].Stride), kW, kH);
    EXPECT_GT(same, 30.0) << "frame " << i;
    if (i + 1 < now.size()) {
      const double next =
          test::LumaPsnr(now[i].Pixels.data(), size_t(now[i].Stride),
                         original[i + 1].Pixels.data(), size_t(original[i + 1].Stride), kW, kH);
      EXPECT_GE(same + 0.01, next) << "frame " << i;
      closerThanNext += same > next;
    }
  }
  EXPECT_GT(closerThanNext, 30);
}

TEST_F(TranslatorTest, OnlyChangedReencodesTheEditedFramesAlone) {
  const std::string str = Copy("edited.str");
  // Frames 5 and 6 replaced by other pictures: a 43-frame AVI of the
  // original frames except those two.
  const auto frames = DecodeAll(str);
  MediaWriter w;
  ASSERT_EQ(w.Open(Path("edited.avi"), kW, kH, 20, 1, CompressOptions{}, nullptr, nullptr),
            MediaError::kNone);
  for (int i = 0; i < 43; i++) {
    std::vector<uint8_t> rows(size_t(kW) * kH * 3);
    const auto& top = (i == 5 || i == 6) ? pictures_[size_t(30 + i)] : frames[size_t(i)].Pixels;
    const size_t stride = (i == 5 || i == 6) ? size_t(kW) * 3 : size_t(frames[size_t(i)].Stride);
    for (int y = 0; y < kH; y++)
      std::memcpy(&rows[size_t(kH - 1 - y) * kW * 3], &top[size_t(y) * stride], size_t(kW) * 3);
    w.WriteVideo(rows.data());
  }
  ASSERT_TRUE(w.Close());
  const auto before = ReadFileBytes(str);
  auto r = Cli({"import-avi", str, Path("edited.avi"), "--only-changed", "40"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto after = ReadFileBytes(str);
  ASSERT_EQ(after.size(), before.size());
  std::set<int32_t> allowed(frames[5].Sectors.begin(), frames[5].Sectors.end());
  allowed.insert(frames[6].Sectors.begin(), frames[6].Sectors.end());
  std::set<int32_t> changed;
  for (size_t i = 0; i < after.size(); i++)
    if (after[i] != before[i]) changed.insert(int32_t(i / 2336));
  EXPECT_FALSE(changed.empty());
  for (int32_t s : changed) EXPECT_TRUE(allowed.count(s)) << "sector " << s;
}

TEST_F(TranslatorTest, AVideoOneFrameShortIsNotTakenAsFrameExact) {
  // The video the movie was made from: 42 frames, into the movie's 43.
  const std::string str = Copy("short.str");
  auto r = Cli({"import-avi", str, Path("source.avi"), "--dry-run"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err.find("1 フレームずつ対応させます"), std::string::npos) << r.Err;
  // Asked for, it is done but the difference is told.
  r = Cli({"import-avi", str, Path("source.avi"), "--dry-run", "--frame-exact"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Err.find("(42)"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("(43)"), std::string::npos) << r.Err;
}

TEST_F(TranslatorTest, SubtitlesChangeExactlyTheFramesTheyShowOn) {
  const std::string str = Copy("subs.str");
  // Frame i is at i / 20 s: frames 10 to 20 show the line.
  {
    std::ofstream srt(Path("line.srt"));
    srt << "1\n00:00:00,475 --> 00:00:01,025\nOlá, 世界\n\n";
  }
  const auto before = ReadFileBytes(str);
  auto r = Cli({"subtitle", str, Path("line.srt"), "--dry-run", "--report", Path("subs.csv")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFileBytes(str), before);
  EXPECT_NE(ReadText(Path("subs.csv")).find("# frames 43,reencoded 11,kept 32"),
            std::string::npos);

  r = Cli({"subtitle", str, Path("line.srt")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto after = ReadFileBytes(str);
  ASSERT_EQ(after.size(), before.size());
  const auto original = DecodeAll(Path("movie.str")), now = DecodeAll(str);
  ASSERT_EQ(now.size(), 43u);
  std::map<int32_t, int> frameOf;
  for (int i = 0; i < 43; i++)
    for (int32_t s : original[size_t(i)].Sectors) frameOf[s] = i;
  std::set<int> changedFrames;
  for (size_t i = 0; i < after.size(); i++) {
    if (after[i] == before[i]) continue;
    const int32_t sector = int32_t(i / 2336);
    ASSERT_TRUE(frameOf.count(sector)) << "byte " << i << " outside every frame";
    changedFrames.insert(frameOf[sector]);
  }
  std::set<int> expected;
  for (int i = 10; i <= 20; i++) expected.insert(i);
  EXPECT_EQ(changedFrames, expected);

  // The text shows in the bottom band, and the rest of the picture stays close.
  for (int i : {10, 15, 20}) {
    const auto& a = now[size_t(i)];
    const auto& b = original[size_t(i)];
    const int band = kH * 3 / 4;
    const double bottom = test::LumaPsnr(a.Pixels.data() + size_t(band) * size_t(a.Stride),
                                         size_t(a.Stride),
                                         b.Pixels.data() + size_t(band) * size_t(b.Stride),
                                         size_t(b.Stride), kW, kH - band);
    const double top = test::LumaPsnr(a.Pixels.data(), size_t(a.Stride), b.Pixels.data(),
                                      size_t(b.Stride), kW, kH / 2);
    EXPECT_LT(bottom, 36.0) << "frame " << i;
    EXPECT_GT(top, 33.0) << "frame " << i;
    EXPECT_LT(bottom, top - 8) << "frame " << i;
  }
}

// A file with no readable event is refused, by the dry run as by the real
// one, with a message naming it; the STR stays as it was.
TEST_F(TranslatorTest, ASubtitleFileWithNoEventIsRefused) {
  const std::string str = Copy("no-events.str");
  const auto before = ReadFileBytes(str);
  const char* noEvent = "字幕として読める行がありません: ";
  const char* unreadable = "字幕ファイルが読み取れません: ";
  const struct {
    const char* name;
    std::string text;
    const char* said;
  } files[] = {
      {"garbage.srt", "this is not a subtitle file\n\x01\x02\x03\n", noEvent},
      {"empty.srt", "", noEvent},
      {"noise.ass", "\x89PNG\r\n\x1a\n garbage", unreadable},
      {"header-only.ass", "[Script Info]\nScriptType: v4.00+\n", noEvent},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    {
      std::ofstream out(Path(f.name), std::ios::binary);
      out << f.text;
    }
    for (bool dryRun : {true, false}) {
      std::vector<std::string> args = {"subtitle", str, Path(f.name)};
      if (dryRun) args.push_back("--dry-run");
      const auto r = Cli(args);
      EXPECT_EQ(r.Status, 1);
      EXPECT_NE(r.Err.find(f.said + Path(f.name)), std::string::npos)
          << r.Err;
    }
  }
  EXPECT_EQ(ReadFileBytes(str), before);
}

// A front end whose user stops the work after a few steps.
struct StoppingHost : test::RecordingHost {
  int polls = 0, limit = 0;
  bool CancelRequested() override { return ++polls > limit; }
};

// The settings offered, no change of length.
struct OfferedChoices : AviToStrChooser {
  Status ChooseNewStr(NewStrOptions&) override { return Status::kCancelled; }
  Status ChooseSettings(const StrDocument& doc, const AviToStrInputs& in,
                        AviToStrOptions& o) override {
    o = DefaultAviToStrOptions(doc, in, false);
    return Status::kOk;
  }
  std::optional<bool> ResizeAnswer() override { return false; }
};

// Every in-place edit that can be stopped (a video, subtitles, a sound
// channel) asks, once stopped, whether to keep what was done: "yes" keeps
// it, "no" puts the file back byte for byte; a message says which, and no
// journal is left.
TEST_F(TranslatorTest, AStoppedEditIsKeptOrPutBackAsTheUserAnswers) {
  {
    std::ofstream srt(Path("stop.srt"));
    srt << "1\n00:00:00,000 --> 00:00:02,100\nParar aqui\n\n";
  }
  std::string wav;
  {
    CollectingHost host;
    StrDocument doc(host);
    ASSERT_EQ(OpenStrFile(doc, Path("movie.str"), true), 0);
    const XaFileInfo info = ScanXaChannels(doc);
    ASSERT_FALSE(info.Channels.empty());
    wav = Path("channel.wav");
    ASSERT_EQ(ExportXaChannel(doc, info.Channels[0], wav, XaWavFormat{}, host), Status::kOk);
    CloseStrFile(doc);
  }
  enum class Edit { kVideo, kSubtitles, kSound };
  struct Row {
    const char* name;
    Edit edit;
    bool keep;
  };
  const Row rows[] = {
      {"video-back", Edit::kVideo, false},         {"video-keep", Edit::kVideo, true},
      {"subtitles-back", Edit::kSubtitles, false}, {"subtitles-keep", Edit::kSubtitles, true},
      {"sound-back", Edit::kSound, false},         {"sound-keep", Edit::kSound, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string str = Copy(std::string(row.name) + ".str");
    const auto before = ReadFileBytes(str);
    StoppingHost host;
    host.limit = 5;
    host.answerYes = row.keep;
    AudioSectorHook hook;
    StrDocument doc(host, &hook);
    ASSERT_EQ(OpenStrFile(doc, str), 0);
    FrameCodec codec;
    bool stopped = false;
    switch (row.edit) {
      case Edit::kVideo: {
        XaEncoderState encoder;
        FrameNumbering numbering;
        int32_t start = 0, end = doc.LastFrameSector / 2;
        AviToStrContext c{doc, codec, encoder, numbering, host, start, end, ImagePosition{}};
        c.Threads = 1;
        OfferedChoices choices;
        const Result<int> converted = ConvertAviToStr(c, Path("source.avi"), choices);
        ASSERT_TRUE(converted.has_value());  // the frame loop ran
        stopped = converted.status() == Status::kCancelled;
        break;
      }
      case Edit::kSubtitles: {
        SubtitleOptions options;
        options.Path = Path("stop.srt");
        FitReport report;
        FrameFitter fitter({&report, 0});
        stopped = BurnSubtitles(doc, codec, options, fitter, host).status() == Status::kCancelled;
        break;
      }
      case Edit::kSound: {
        const XaFileInfo info = ScanXaChannels(doc);
        stopped = ImportXaChannel(doc, info.Channels[0], wav, host) == Status::kCancelled;
        break;
      }
    }
    EXPECT_TRUE(stopped);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_NE(host.questions[0].find("ここまでの変更を残しますか"), std::string::npos);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_NE(host.messages.back().find(row.keep ? "ここまでの変更は残しました"
                                                 : "元のファイルに戻しました"),
              std::string::npos)
        << host.messages.back();
    EXPECT_EQ(doc.IsOpen(), row.keep);
    CloseStrFile(doc);
    const auto after = ReadFileBytes(str);
    EXPECT_EQ(after.size(), before.size());
    if (row.keep)
      EXPECT_NE(after, before);
    else
      EXPECT_EQ(after, before);
    EXPECT_FALSE(std::filesystem::exists(JournalPath(str)));
  }
}

TEST_F(TranslatorTest, SubtitlePreviewDrawsIntoTheVideoAndLeavesTheStr) {
  const std::string str = Copy("preview.str");
  {
    std::ofstream ass(Path("line.ass"));
    ass << "[Script Info]\nScriptType: v4.00+\nPlayResX: 160\nPlayResY: 112\n\n"
           "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, OutlineColour, "
           "Alignment, Outline\nStyle: Default,sans-serif,20,&H0000FFFF,&H00000000,8,2\n\n"
           "[Events]\nFormat: Layer, Start, End, Style, Text\n"
           "Dialogue: 0,0:00:00.00,0:00:00.50,Default,字幕\n";
  }
  const auto before = ReadFileBytes(str);
  auto r = Cli({"export-avi", str, "-o", Path("preview.avi"), "--frame-exact", "--subtitles",
                Path("line.ass"), "--force"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFileBytes(str), before);
  r = Cli({"export-avi", str, "-o", Path("plain.avi"), "--frame-exact", "--force"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  MediaReader plain, drawn;
  ASSERT_EQ(plain.Open(Path("plain.avi")), MediaError::kNone);
  ASSERT_EQ(drawn.Open(Path("preview.avi")), MediaError::kNone);
  std::vector<uint8_t> p, d;
  for (int i = 0; i < 12; i++) {
    ASSERT_TRUE(plain.ReadFrame(i, p));
    ASSERT_TRUE(drawn.ReadFrame(i, d));
    // A top-aligned line: shown on frames 0 to 9 only.
    EXPECT_EQ(p == d, i >= 10) << "frame " << i;
  }
}

TEST_F(TranslatorTest, ExportedPicturesReimportToTheSameFrames) {
  const std::string str = Copy("sequence.str");
  auto r = Cli({"export-frames", str, Path("png")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out.rfind("43 frames written", 0), 0u) << r.Out;
  ASSERT_TRUE(std::filesystem::exists(Path("png/000042.png")));
  r = Cli({"export-frames", str, Path("bmp"), "--format", "bmp", "--from", "30"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(std::filesystem::exists(Path("bmp/000000.bmp")));
  EXPECT_FALSE(std::filesystem::exists(Path("bmp/000042.bmp")));

  r = Cli({"import-avi", str, Path("png/%06d.png"), "--input-fps", "20", "--audio", "keep"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Err.find("1 フレームずつ対応させます"), std::string::npos) << r.Err;
  const auto original = DecodeAll(Path("movie.str")), now = DecodeAll(str);
  ASSERT_EQ(now.size(), original.size());
  for (size_t i = 0; i < now.size(); i++)
    EXPECT_GT(test::LumaPsnr(now[i].Pixels.data(), size_t(now[i].Stride),
                             original[i].Pixels.data(), size_t(original[i].Stride), kW, kH),
              33.0)
        << "frame " << i;

  // Numbered from 1: found by itself, the same 43 frames.
  std::filesystem::create_directories(Path("one"));
  for (int i = 0; i < 43; i++) {
    char from[32], to[32];
    std::snprintf(from, sizeof from, "png/%06d.png", i);
    std::snprintf(to, sizeof to, "one/f%03d.png", i + 1);
    std::filesystem::copy_file(Path(from), Path(to),
                               std::filesystem::copy_options::overwrite_existing);
  }
  r = Cli({"import-avi", str, Path("one/f%03d.png"), "--dry-run", "--report", Path("one.csv")});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Err.find("1 フレームずつ対応させます"), std::string::npos) << r.Err;
  EXPECT_NE(ReadText(Path("one.csv")).find("# frames 43,reencoded 43"), std::string::npos);
  r = Cli({"new", Path("fromseq.str"), Path("one/f%03d.png"), "--input-fps", "10",
           "--tail-frames", "0"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  // 43 pictures at 10 per second: 4.3 s, the last frame at the end.
  EXPECT_EQ(DecodeAll(Path("fromseq.str")).size(), 44u);
}

TEST(SubtitleRendererTest, SrtBecomesOneEventPerBlockWithItsMarkup) {
  const std::string ass = SrtToAss(
      "\xEF\xBB\xBF" "1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>Olá</i>\r\nmundo\r\n\r\n"
      "2\n00:01:00.250 --> 00:01:01,000\n日本語\n",
      320, 240, {});
  EXPECT_NE(ass.find("Dialogue: 0,0:00:01.00,0:00:02.50,Default,,0,0,0,,{\\i1}Olá{\\i0}\\Nmundo"),
            std::string::npos)
      << ass;
  EXPECT_NE(ass.find("Dialogue: 0,0:01:00.25,0:01:01.00,Default,,0,0,0,,日本語"),
            std::string::npos);
  // FFmpeg's style: white text with a black outline at the bottom centre,
  // laid out on 384 x 288.
  EXPECT_NE(ass.find("PlayResY: 288"), std::string::npos);
  EXPECT_NE(ass.find("Style: Default,Arial,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,"),
            std::string::npos);
  // A size asked for is in the picture's pixels: 20 of 240 rows.
  EXPECT_NE(SrtToAss("", 320, 240, {"Noto Sans CJK JP", 20}).find("Style: Default,Noto Sans CJK JP,24,"),
            std::string::npos);
}

TEST(SubtitleRendererTest, JapaneseAndPortugueseTextDrawsPixels) {
  const std::string path = test::TempPath("scripts.srt");
  {
    std::ofstream srt(path);
    srt << "1\n00:00:00,000 --> 00:00:01,000\nこんにちは、世界\n\n"
           "2\n00:00:02,000 --> 00:00:03,000\nAção, coração\n";
  }
  SubtitleRenderer r;
  ASSERT_TRUE(r.Load(path, 320, 240, {}));
  EXPECT_EQ(r.EventCount(), 2);
  for (int64_t ms : {500, 2500}) {
    std::vector<uint8_t> picture(320 * 240 * 3, 0);
    EXPECT_TRUE(r.Draw(ms, picture.data(), 320, 240, 960));
    int lit = 0;
    for (size_t i = 0; i < picture.size(); i += 3) lit += picture[i + 1] > 100;
    EXPECT_GT(lit, 40) << ms;
  }
  std::vector<uint8_t> picture(320 * 240 * 3, 0);
  EXPECT_FALSE(r.Draw(1500, picture.data(), 320, 240, 960));
  std::filesystem::remove(path);
}

// Our subtitles look as FFmpeg's subtitles filter draws the same file onto
// the same decoded (4:2:0) picture: an ASS script with an outline and a
// shadow at its own resolution, one at another resolution (scaled to the
// picture), and an SRT file in FFmpeg's style.
TEST(SubtitleRendererTest, DrawsAsFfmpegsSubtitlesFilter) {
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  constexpr int kW = 320, kH = 240;
  auto ass = [](int resX, int resY, const std::string& style, const std::string& text) {
    return "[Script Info]\nScriptType: v4.00+\nPlayResX: " + std::to_string(resX) +
           "\nPlayResY: " + std::to_string(resY) +
           "\nScaledBorderAndShadow: yes\n\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize, "
           "PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, "
           "StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, "
           "MarginL, MarginR, MarginV, Encoding\nStyle: Default," + style +
           "\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
           "Effect, Text\nDialogue: 0,0:00:00.00,0:00:05.00,Default,,0,0,0,," + text + "\n";
  };
  struct Case {
    std::string Name, File, Text;
  };
  const std::vector<Case> cases = {
      {"ASS at the picture's size", "a.ass",
       ass(320, 240, "Arial,16,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,100,100,0,0,"
                     "1,1.5,0.5,2,10,10,8,1", "Water, wave: AVAWAY {\\c&H40C0FF&}colour")},
      {"ASS at 1280 x 720", "b.ass",
       ass(1280, 720, "DejaVu Serif,52,&H0000FFFF,&H000000FF,&H00400000,&H00000000,-1,0,0,0,"
                      "100,100,0,0,1,3,0,8,20,20,30,1", "Kerning: To AV Wa\\Nsecond line")},
      {"SRT", "c.srt", "1\n00:00:00,000 --> 00:00:05,000\nHello, <i>world</i>: To AV\n"},
  };
  const std::string picture = test::TempPath("subs-picture.raw");
  // A colourful picture as a decoded movie frame is: 4:2:0, full range.
  auto r = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc2=size=320x240:rate=15", "-frames:v", "1", "-vf",
                             "format=yuvj420p,format=bgr24", "-f", "rawvideo", picture});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::vector<uint8_t> plain = test::ReadFileBytes(picture);
  ASSERT_EQ(plain.size(), size_t(kW * kH * 3));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = test::TempPath(c.File), theirs = test::TempPath("subs-ffmpeg.raw");
    std::ofstream(file) << c.Text;
    r = test::RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                          "testsrc2=size=320x240:rate=15", "-frames:v", "1", "-vf",
                          "format=yuvj420p,subtitles=" + file + ",format=bgr24", "-f", "rawvideo",
                          theirs});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::vector<uint8_t> expected = test::ReadFileBytes(theirs);
    ASSERT_EQ(expected.size(), plain.size());
    SubtitleRenderer renderer;
    ASSERT_TRUE(renderer.Load(file, kW, kH, {}));
    std::vector<uint8_t> ours = plain;
    ASSERT_TRUE(renderer.Draw(0, ours.data(), kW, kH, kW * 3));
    // The text's rows (those FFmpeg changed), in luma and in RGB.
    int top = kH, bottom = -1;
    for (int y = 0; y < kH; y++)
      if (std::memcmp(&plain[size_t(y) * kW * 3], &expected[size_t(y) * kW * 3], kW * 3) != 0) {
        top = std::min(top, y);
        bottom = y;
      }
    ASSERT_GE(bottom, top);
    const size_t at = size_t(top) * kW * 3;
    const int rows = bottom - top + 1;
    const double before = test::LumaPsnr(&plain[at], kW * 3, &expected[at], kW * 3, kW, rows);
    const double luma = test::LumaPsnr(&ours[at], kW * 3, &expected[at], kW * 3, kW, rows);
    double sum = 0;
    for (size_t i = at; i < at + size_t(rows) * kW * 3; i++)
      sum += (double(ours[i]) - expected[i]) * (double(ours[i]) - expected[i]);
    const double rgb = 10 * std::log10(255.0 * 255.0 * rows * kW * 3 / std::max(sum, 1e-9));
    std::printf("%s: rows %d-%d, luma %.2f dB (%.2f without the text), RGB %.2f dB\n",
                c.Name.c_str(), top, bottom, luma, before, rgb);
    EXPECT_GT(luma, 48.0);
    EXPECT_GT(rgb, 45.0);
    std::filesystem::remove(file);
    std::filesystem::remove(theirs);
  }
  std::filesystem::remove(picture);
}

// What a script may ask is bounded in the picture's pixels: an ordinary
// script passes through unchanged; a size given in a script of one row, a
// line whose glyphs would cover hundreds of pictures, a drawing far larger
// than the picture are each cut down (and said to be); a line cut keeps
// what comes before the cut.
TEST(SubtitleRendererTest, ScriptsAreBoundedByThePicture) {
  auto script = [](int playResY, const std::string& style, const std::string& text) {
    return "[Script Info]\nScriptType: v4.00+\nPlayResX: 160\nPlayResY: " +
           std::to_string(playResY) +
           "\n\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize, ScaleX, ScaleY, Outline\n"
           "Style: Default,sans-serif," + style + "\n\n[Events]\n"
           "Format: Layer, Start, End, Style, Text\n"
           "Dialogue: 0,0:00:00.00,0:00:09.00,Default," + text + "\n";
  };
  const std::string manyW(501, 'W');
  struct Case {
    std::string Name, Script;
    bool Changed;
    std::string Has, HasNot;
  };
  const std::vector<Case> cases = {
      {"ordinary SRT", SrtToAss("1\n00:00:00,000 --> 00:00:02,000\n<i>Olá</i>, mundo\n", 160, 112, {}),
       false, "{\\i1}Olá{\\i0}, mundo", ""},
      {"ordinary ASS", script(112, "20,100,100,2", "{\\an8\\fs30\\bord3\\blur2}Hello, {\\fscx150}world"),
       false, "Default,{\\an8\\fs30\\bord3\\blur2}Hello, {\\fscx150}world\n", ""},
      {"ordinary ASS at 1080 rows", script(1080, "60,100,100,4", "{\\frz10}A sign, turned"),
       false, "Default,{\\frz10}A sign, turned\n", ""},
      {"scaled 100000%", script(112, "100000,100000,100000,5000",
                                "{\\fscx100000\\fscy100000\\bord9000\\blur500}AB" + manyW),
       true, "Default,{\\fscx400\\fscy400\\bord28\\blur16}A\n", "AB"},
      {"scaled in exponent notation", script(112, "20,1e5,100,1", "{\\fscy1e5\\fs2E3}W"), true,
       "sans-serif,20,400,100,1", "e5"},
      {"a script of one row", script(1, "20,100,100,1", "Hello"), true, "sans-serif,2,100,100,0.25",
       ""},
      {"a long line", script(112, "20,100,100,1", "Hello " + std::string(4000, 'x')), true,
       "Default,Hello xxx", std::string(4000, 'x')},
      {"a drawing far larger than the picture",
       script(112, "20,100,100,1", "Before{\\p1}m 0 0 l 20000 0 20000 20000 0 20000{\\p0}After"),
       true, "Default,Before{\\p1}\n", "20000"},
      {"a small drawing", script(112, "20,100,100,1", "{\\p1}m 0 0 l 100 0 100 100 0 100{\\p0}"),
       false, "l 100 0 100 100", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    bool changed = false;
    const std::string bounded = BoundAssScript(c.Script, 160, 112, changed);
    EXPECT_EQ(changed, c.Changed) << bounded;
    if (!c.Changed) {
      EXPECT_EQ(bounded, c.Script);
    }
    EXPECT_NE(bounded.find(c.Has), std::string::npos) << bounded;
    if (!c.HasNot.empty()) {
      EXPECT_EQ(bounded.find(c.HasNot), std::string::npos) << bounded;
    }
  }
}

// Four channels of differing formats, interleaved.
class XaFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test::TempPath("xa");
    std::filesystem::create_directories(dir);
    const int codings[] = {0x01, 0x00, 0x05, 0x04};
    for (int k = 0; k < 4; k++) {
      test::XaChannelRecipe c;
      c.Channel = k * 3 + 1;
      c.Coding = codings[k];
      c.Sectors = 6 - k;
      const int count = 4032 * c.Sectors;
      c.Left = test::MakeSignal(test::Signal::kSine1k, count, 37800, 6000 + 1000 * k, k + 1);
      c.Right = test::MakeSignal(test::Signal::kSpeechLike, count, 37800, 5000, k + 7);
      recipe.Channels.push_back(c);
    }
    test::WriteFileBytes(path, test::BuildXaFile(recipe, &images));
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // The channel's samples as the decoder gives them at the sound's own rate.
  std::vector<int16_t> Decoded(const std::vector<std::vector<uint8_t>>& sectors, int coding) {
    XaDecoderState d;
    XaSetOutputFormat(d, IsHalfRate(coding) ? 18900 : 37800, IsStereo(coding) ? 2 : 1, 16);
    std::vector<uint8_t> out(XaMaxOutputBytes(d));
    std::vector<int16_t> samples;
    for (const auto& image : sectors) {
      int32_t n = 0;
      XaDecodeSector(d, image.data(), out.data(), n);
      for (int32_t i = 0; i < n; i += 2) samples.push_back(int16_t(GetU16(&out[size_t(i)])));
    }
    return samples;
  }

  std::string dir;
  std::string path = test::TempPath("four.xa");
  test::XaFileRecipe recipe;
  std::vector<std::vector<std::vector<uint8_t>>> images;
};

TEST_F(XaFileTest, InfoListsEveryChannelAndEachWavHoldsItsSamples) {
  auto r = Cli({"info", path, "--json"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  auto j = nlohmann::json::parse(r.Out);
  ASSERT_EQ(j["AudioChannels"].size(), 4u);
  for (int k = 0; k < 4; k++) {
    EXPECT_EQ(j["AudioChannels"][k]["Channel"], recipe.Channels[size_t(k)].Channel);
    EXPECT_EQ(j["AudioChannels"][k]["CodingInfo"], recipe.Channels[size_t(k)].Coding);
    EXPECT_EQ(j["AudioChannels"][k]["Sectors"], recipe.Channels[size_t(k)].Sectors);
  }
  r = Cli({"info", path});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("画像データが存在しません。"), std::string::npos);
  EXPECT_NE(r.Out.find("Audio channel:      10, 18.9 kHz mono, 3 sectors"), std::string::npos)
      << r.Out;

  r = Cli({"export-wav", path, "--all-channels", dir + "/all"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  for (int k = 0; k < 4; k++) {
    const auto& c = recipe.Channels[size_t(k)];
    char name[32];
    std::snprintf(name, sizeof name, "/all/channel_%02d.wav", c.Channel);
    WavData wav;
    ASSERT_TRUE(ReadWavFile(dir + name, wav).Ok()) << name;
    EXPECT_EQ(wav.Rate, IsHalfRate(c.Coding) ? 18900 : 37800);
    EXPECT_EQ(wav.Channels, IsStereo(c.Coding) ? 2 : 1);
    EXPECT_EQ(wav.Samples, Decoded(images[size_t(k)], c.Coding)) << name;
  }
  r = Cli({"export-wav", path, "--channel", "7", "-o", dir + "/seven.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  WavData seven;
  ASSERT_TRUE(ReadWavFile(dir + "/seven.wav", seven).Ok());
  EXPECT_EQ(seven.Samples, Decoded(images[2], 0x05));
  r = Cli({"export-wav", path, "--channel", "2", "-o", dir + "/two.wav"});
  EXPECT_EQ(r.Status, 1);
}

TEST_F(XaFileTest, ImportWavReplacesOneChannelInPlaceAndChecksItsLength) {
  // Channel 4 (37.8 kHz mono, 5 sectors) from a WAV of its own length.
  const int frames = 5 * 4032;
  auto tone = test::MakeSignal(test::Signal::kSine1k, frames, 37800, 4000, 99);
  std::vector<uint8_t> pcm(size_t(frames) * 2);
  for (int i = 0; i < frames; i++) PutU16(&pcm[size_t(i) * 2], uint16_t(tone[size_t(i)]));
  ASSERT_TRUE(WriteWavFile(dir + "/new.wav", 37800, 1, 16, pcm));
  pcm.resize(pcm.size() / 2);
  ASSERT_TRUE(WriteWavFile(dir + "/short.wav", 37800, 1, 16, pcm));

  const auto before = ReadFileBytes(path);
  auto r = Cli({"import-wav", path, dir + "/short.wav", "--channel", "4"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(ReadFileBytes(path), before);

  r = Cli({"import-wav", path, dir + "/new.wav", "--channel", "4"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto after = ReadFileBytes(path);
  ASSERT_EQ(after.size(), before.size());
  // Only channel 4's sectors changed, and they hold the new sound.
  CollectingHost host;
  StrDocument doc(host);
  ASSERT_EQ(OpenSectorFile(doc, path, true), 0);
  std::vector<std::vector<uint8_t>> sectors;
  for (int32_t n = 0; n < doc.SectorCount; n++) {
    Subheader sub;
    ASSERT_TRUE(ReadSubheader(doc, n, sub));
    const size_t at = size_t(n) * 2336;
    const bool same = std::equal(before.begin() + long(at), before.begin() + long(at + 2336),
                                 after.begin() + long(at));
    EXPECT_EQ(same, sub.Channel != 4) << "sector " << n;
    if (sub.Channel == 4) sectors.emplace_back(after.begin() + long(at), after.begin() + long(at + 2336));
  }
  ASSERT_EQ(sectors.size(), 5u);
  const auto decoded = Decoded(sectors, 0x00);
  ASSERT_EQ(decoded.size(), tone.size());
  // The decoder gives its sound two samples late (it carries them over).
  std::vector<double> want(tone.begin(), tone.end() - 2), got(decoded.begin() + 2, decoded.end());
  EXPECT_GT(test::SnrDb(want, got), 15.0);
}

TEST_F(XaFileTest, AChannelExportedAndImportedAgainKeepsItsLevel) {
  auto r = Cli({"export-wav", path, "--channel", "1", "-o", dir + "/one.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  r = Cli({"import-wav", path, dir + "/one.wav", "--channel", "1"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  r = Cli({"export-wav", path, "--channel", "1", "-o", dir + "/again.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  WavData first, again;
  ASSERT_TRUE(ReadWavFile(dir + "/one.wav", first).Ok());
  ASSERT_TRUE(ReadWavFile(dir + "/again.wav", again).Ok());
  ASSERT_EQ(first.Samples.size(), again.Samples.size());
  // Stereo: one more sample pair of delay; the level stays.
  std::vector<double> want(first.Samples.begin(), first.Samples.end() - 2),
      got(again.Samples.begin() + 2, again.Samples.end());
  EXPECT_GT(test::SnrDb(want, got), 12.0);
  double a = 0, b = 0;
  for (size_t i = 0; i < want.size(); i++) {
    a += want[i] * want[i];
    b += got[i] * got[i];
  }
  EXPECT_NEAR(std::sqrt(b / a), 1.0, 0.1);
}

}  // namespace
}  // namespace belmora
