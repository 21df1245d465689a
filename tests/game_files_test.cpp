// Files in the game layouts, driven from the command line as a user would:
// recognised at open and named by `info`, every frame decoded by the
// exports, one frame replaced in place by `import-bmp`. Only that frame's
// video sectors change (their EDC and ECC with them); sound sectors,
// camera data and unknown fields stay; a layout that is only read refuses
// the edit and changes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <nlohmann/json.hpp>

#include "base/bytes.h"
#include "media/avi_reader.h"
#include "media/wav_reader.h"
#include "media/wav_writer.h"
#include "str/cd_sector.h"
#include "str/sector.h"
#include "tests/support/game_layouts.h"
#include "tests/support/audio.h"
#include "tests/support/avi_builder.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/image_compare.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::RunCommand;

// Luma PSNR of a 24-bit BMP we wrote against `picture`.
double BmpPsnr(const std::string& bmp, const std::vector<uint8_t>& picture, int width,
               int height) {
  const auto out = test::ReadFileBytes(bmp);
  const size_t row = size_t(width) * 3;
  if (out.size() != 54 + row * size_t(height)) return 0;
  std::vector<uint8_t> ours(row * size_t(height));
  for (int y = 0; y < height; y++)  // bottom row first in the file
    std::memcpy(&ours[size_t(y) * row], &out[54 + size_t(height - 1 - y) * row], row);
  return test::LumaPsnr(ours.data(), row, picture.data(), row, width, height);
}

// Luma PSNR of frame `index` as export-bmp writes it against `picture`.
double ExportedPsnr(const std::string& str, int index, const std::string& bmp,
                    const std::vector<uint8_t>& picture, int width, int height) {
  auto r = RunCommand({BELMORA_CLI, "export-bmp", str, "--frame", std::to_string(index), "-o",
                       bmp, "--force"});
  if (r.Status != 0) {
    ADD_FAILURE() << r.Err;
    return 0;
  }
  return BmpPsnr(bmp, picture, width, height);
}

std::vector<uint8_t> SectorOf(const std::vector<uint8_t>& file, int n) {
  return {file.begin() + n * 2352L, file.begin() + (n + 1) * 2352L};
}

TEST(GameFilesTest, EachLayoutOpensDecodesAndTakesAFrameInItsOwnSectors) {
  for (const test::GameMovieRecipe& c : test::kEveryGameLayout) {
    const GameFormatInfo& info = InfoOf(c.Format);
    SCOPED_TRACE(info.Name);
    const test::GameMovieFile file = test::WriteGameMovie(c);
    const std::string dir = test::TempPath("game");
    std::filesystem::create_directories(dir);

    auto r = RunCommand({BELMORA_CLI, "info", "--json", file.Path});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto j = nlohmann::json::parse(r.Out);
    EXPECT_EQ(j["Format"], info.Name);
    EXPECT_EQ(j["FrameCount"], 4);
    EXPECT_EQ(j["PictureWidth"], c.Width);
    EXPECT_EQ(j["PictureHeight"], c.Height);
    // The version the frames say, not what the chunk headers keep (FF7's
    // camera data, iki's picture size); none for Lain's and iki's codings.
    const int version = info.Frames == FrameCoding::kVersion1   ? 1
                        : info.Frames == FrameCoding::kStandard ? 2
                                                                : 0;
    EXPECT_EQ(j["Movies"][0]["Version"], version);
    r = RunCommand({BELMORA_CLI, "info", file.Path});
    EXPECT_NE(r.Out.find(info.Name), std::string::npos) << r.Out;

    // Every reader decodes the frames: export-bmp, and decode on its own threads.
    r = RunCommand({BELMORA_CLI, "decode", file.Path, "--out", dir + "/decoded"});
    EXPECT_NE(r.Out.find("4 frames decoded, 0 failed"), std::string::npos) << r.Out << r.Err;
    for (int f = 0; f < 4; f++) {
      EXPECT_GE(ExportedPsnr(file.Path, f, dir + "/f.bmp", file.Pictures[size_t(f)], c.Width,
                             c.Height),
                35.0)
          << "frame " << f;
      char name[32];
      std::snprintf(name, sizeof name, "/decoded/%06d.bmp", f);
      EXPECT_GE(BmpPsnr(dir + name, file.Pictures[size_t(f)], c.Width, c.Height), 35.0)
          << "decode, frame " << f;
    }

    // Frame 2 replaced by a new picture.
    const auto before = test::ReadFileBytes(file.Path);
    const std::vector<uint8_t> next = test::NaturalPicture(c.Width, c.Height, 77);
    test::WriteBgrBmp(dir + "/new.bmp", next, c.Width, c.Height);
    r = RunCommand({BELMORA_CLI, "import-bmp", file.Path, "--frame", "2", dir + "/new.bmp"});
    if (!info.PictureWritable) {
      EXPECT_NE(r.Status, 0);
      EXPECT_NE(r.Err.find(info.Name), std::string::npos) << r.Err;
      EXPECT_EQ(test::ReadFileBytes(file.Path), before);
      std::filesystem::remove_all(dir);
      continue;
    }
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto after = test::ReadFileBytes(file.Path);
    ASSERT_EQ(after.size(), before.size());
    const std::vector<int>& edited = file.FrameSectors[2];
    int changed = 0;
    for (int n = 0; n < int(before.size() / 2352); n++) {
      const bool same = SectorOf(before, n) == SectorOf(after, n);
      const bool ofFrame = std::find(edited.begin(), edited.end(), n) != edited.end();
      if (!ofFrame) {
        EXPECT_TRUE(same) << "sector " << n << " is not the frame's";
      }
      changed += !same;
    }
    EXPECT_GT(changed, 0);
    for (const auto& [sector, byte] : file.Kept)
      EXPECT_EQ(after[size_t(sector) * 2352 + 24 + size_t(byte)],
                before[size_t(sector) * 2352 + 24 + size_t(byte)])
          << "sector " << sector << " byte " << byte;
    if (c.Camera) {
      // The camera data still opens the frame (chunk 0's payload).
      const size_t at = size_t(edited[0]) * 2352 + 24 + size_t(info.PayloadOffset);
      EXPECT_TRUE(std::equal(file.Camera.begin(), file.Camera.end(), after.begin() + long(at)));
    }
    EXPECT_GE(ExportedPsnr(file.Path, 2, dir + "/f.bmp", next, c.Width, c.Height), 35.0);
    EXPECT_GE(ExportedPsnr(file.Path, 3, dir + "/f.bmp", file.Pictures[3], c.Width, c.Height),
              35.0);

    // A video over every frame: only video sectors change.
    const double fps = nlohmann::json::parse(
        RunCommand({BELMORA_CLI, "info", "--json", file.Path}).Out)["FramesPerSecond"];
    std::vector<std::vector<uint8_t>> clip;
    test::WriteTestAvi(dir + "/clip.avi",
                       {4, int(fps), c.Width, c.Height, true, 0, 2}, &clip);
    r = RunCommand({BELMORA_CLI, "import-avi", file.Path, dir + "/clip.avi", "--audio", "keep"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto video = test::ReadFileBytes(file.Path);
    for (int sound : file.SoundSectors)
      EXPECT_TRUE(SectorOf(after, sound) == SectorOf(video, sound)) << "sound sector " << sound;
    EXPECT_GE(ExportedPsnr(file.Path, 3, dir + "/f.bmp", clip[3], c.Width, c.Height), 30.0);
    // Every sector written is sealed again.
    r = RunCommand({BELMORA_CLI, "check", file.Path});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    std::filesystem::remove_all(dir);
  }
}

// Final Fantasy VII's chunk headers are standard ones but for bytes 20 to
// 27: a standard movie whose chunk headers carry no copy of the frame
// header (all zero there) is still a standard one, decoded as before.
TEST(GameFilesTest, StandardMovieWithoutHeaderCopiesStaysStandard) {
  const std::string dir = test::TempPath("nocopy");
  std::filesystem::create_directories(dir);
  test::MovieRecipe m;
  m.Frames = 6;
  m.ChunkPattern = {9};
  std::mt19937 random(3);
  m.Bitstream = [&](int frame) {
    return test::EncodeLevels(test::RandomLevels(320, 240, random), 2 + frame % 2, 2);
  };
  const std::vector<uint8_t> clean = test::BuildMovie(m).Bytes();
  std::vector<uint8_t> bare = clean;
  for (size_t at = 44 + 24; at + 2048 <= bare.size(); at += 2352)
    if (GetU32(&bare[at]) == 0x80010160) std::fill(&bare[at + 20], &bare[at + 28], 0);
  test::WriteFileBytes(dir + "/clean.str", clean);
  test::WriteFileBytes(dir + "/bare.str", bare);
  auto r = RunCommand({BELMORA_CLI, "info", "--json", dir + "/bare.str"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(nlohmann::json::parse(r.Out)["Format"], InfoOf(GameFormat::kStandard).Name);
  for (const char* name : {"clean", "bare"}) {
    r = RunCommand({BELMORA_CLI, "decode", dir + "/" + name + ".str", "--out", dir + "/" + name});
    EXPECT_NE(r.Out.find("6 frames decoded, 0 failed"), std::string::npos) << r.Out << r.Err;
  }
  for (int f = 0; f < 6; f++) {
    char name[32];
    std::snprintf(name, sizeof name, "/%06d.bmp", f);
    EXPECT_EQ(test::ReadFileBytes(dir + "/clean" + name), test::ReadFileBytes(dir + "/bare" + name))
        << "frame " << f;
  }
  std::filesystem::remove_all(dir);
}

// The sound of the layouts that carry their own: exported as a stereo WAV
// of its rate, and replaced in place from one (only the sound sectors'
// units change), exported again close to what was put in.
TEST(GameFilesTest, OwnSoundIsExportedAndReplacedInItsOwnCoding) {
  struct Case {
    GameFormat Format;
    int VideoSectors;  // 0: the movie is sound only
  };
  const Case cases[] = {{GameFormat::kFf8, 8},
                        {GameFormat::kFf8, 0},
                        {GameFormat::kFf9, 8},
                        {GameFormat::kChronoCross, 4}};
  for (const auto& [format, videoSectors] : cases) {
    const GameFormatInfo& info = InfoOf(format);
    SCOPED_TRACE(std::string(info.Name) + (videoSectors ? "" : ", sound only"));
    const bool fixed = format == GameFormat::kFf8 || format == GameFormat::kFf9;
    const test::GameMovieFile file =
        test::WriteGameMovie({format, 4, fixed ? 320 : 160, fixed ? 224 : 112, videoSectors});
    auto r = RunCommand({BELMORA_CLI, "info", "--json", file.Path});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(nlohmann::json::parse(r.Out)["Format"], info.Name);
    // Video in real-time Form 2 sectors is not XA sound.
    EXPECT_TRUE(nlohmann::json::parse(r.Out)["AudioChannels"].empty()) << r.Out;
    const std::string dir = test::TempPath("gamesound");
    std::filesystem::create_directories(dir);
    r = RunCommand({BELMORA_CLI, "export-wav", file.Path, "-o", dir + "/old.wav"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    WavData old;
    ASSERT_TRUE(ReadWavFile(dir + "/old.wav", old).Ok());
    EXPECT_EQ(old.Rate, 44100);
    EXPECT_EQ(old.Channels, 2);
    EXPECT_EQ(old.Frames(), 4 * 2940);

    // A tone on the left, another on the right.
    const auto left = test::MakeSignal(test::Signal::kSine1k, int(old.Frames()), 44100, 8000);
    const auto right = test::MakeSignal(test::Signal::kSpeechLike, int(old.Frames()), 44100, 6000);
    std::vector<int16_t> pairs;
    for (size_t i = 0; i < left.size(); i++) {
      pairs.push_back(left[i]);
      pairs.push_back(right[i]);
    }
    WavStreamWriter wav;
    ASSERT_TRUE(wav.Open(dir + "/new.wav", 44100, 2, 16));
    ASSERT_TRUE(wav.Write(reinterpret_cast<const uint8_t*>(pairs.data()), pairs.size() * 2));
    ASSERT_TRUE(wav.Close());
    const auto before = test::ReadFileBytes(file.Path);
    r = RunCommand({BELMORA_CLI, "import-wav", file.Path, dir + "/new.wav"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto after = test::ReadFileBytes(file.Path);
    ASSERT_EQ(after.size(), before.size());
    for (int n = 0; n < int(before.size() / 2352); n++) {
      const bool sound = std::find(file.SoundSectors.begin(), file.SoundSectors.end(), n) !=
                         file.SoundSectors.end();
      if (!sound) {
        EXPECT_TRUE(SectorOf(before, n) == SectorOf(after, n)) << "sector " << n;
      }
    }
    r = RunCommand({BELMORA_CLI, "export-wav", file.Path, "-o", dir + "/back.wav"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    WavData back;
    ASSERT_TRUE(ReadWavFile(dir + "/back.wav", back).Ok());
    ASSERT_EQ(back.Samples.size(), pairs.size());
    std::vector<double> want[2], got[2];
    for (size_t i = 0; i < pairs.size(); i++) {
      want[i % 2].push_back(pairs[i]);
      got[i % 2].push_back(back.Samples[i]);
    }
    EXPECT_GE(test::SnrDb(want[0], got[0]), 30.0);
    EXPECT_GE(test::SnrDb(want[1], got[1]), 30.0);
    // Every sector written is sealed again.
    r = RunCommand({BELMORA_CLI, "check", file.Path});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    std::filesystem::remove_all(dir);
  }
}

// A layout's own sound goes into the AVI as export-wav decodes it: at its
// own rate, the same samples, counted among the audio sectors; asked at
// another rate and in one channel, resampled to the same length.
TEST(GameFilesTest, OwnSoundGoesIntoTheAvi) {
  const test::GameMovieRecipe recipes[] = {{GameFormat::kFf8, 6, 320, 224, 8, false},
                                           {GameFormat::kFf9, 6, 320, 224, 8, false},
                                           {GameFormat::kChronoCross, 6, 160, 112, 4, false}};
  const std::string dir = test::TempPath("gameavi");
  std::filesystem::create_directories(dir);
  for (const test::GameMovieRecipe& recipe : recipes) {
    SCOPED_TRACE(InfoOf(recipe.Format).Name);
    const test::GameMovieFile file = test::WriteGameMovie(recipe);
    auto r = RunCommand({BELMORA_CLI, "export-wav", file.Path, "-o", dir + "/own.wav", "--force"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    WavData wav;
    ASSERT_TRUE(ReadWavFile(dir + "/own.wav", wav).Ok());
    ASSERT_GT(wav.Frames(), 0);

    r = RunCommand({BELMORA_CLI, "export-avi", file.Path, "-o", dir + "/own.avi", "--force"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string sectors = "; " + std::to_string(file.SoundSectors.size()) + " audio sectors";
    EXPECT_NE(r.Out.find(sectors), std::string::npos) << r.Out;
    TAviIo avi;
    ASSERT_EQ(avi.Open(dir + "/own.avi"), 0) << avi.LastError;
    ASSERT_TRUE(avi.HasAudio);
    EXPECT_EQ(int(avi.PcmFormat.nSamplesPerSec), wav.Rate);
    EXPECT_EQ(avi.PcmFormat.nChannels, 2);
    std::vector<int16_t> sound(wav.Samples.size() + 4096);
    const int bytes =
        avi.ReadAudio(reinterpret_cast<uint8_t*>(sound.data()), int(sound.size() * 2));
    ASSERT_EQ(bytes, int(wav.Samples.size() * 2));
    sound.resize(wav.Samples.size());
    EXPECT_TRUE(sound == wav.Samples);
    avi.Close();

    r = RunCommand({BELMORA_CLI, "export-avi", file.Path, "-o", dir + "/mono.avi", "--arate",
                    "22050", "--achannels", "1", "--force"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    ASSERT_EQ(avi.Open(dir + "/mono.avi"), 0) << avi.LastError;
    ASSERT_TRUE(avi.HasAudio);
    const int frames =
        avi.ReadAudio(reinterpret_cast<uint8_t*>(sound.data()), int(sound.size() * 2)) / 2;
    EXPECT_NEAR(frames, double(wav.Frames()) * 22050 / wav.Rate, 2);
    avi.Close();
    std::filesystem::remove(file.Path);
  }
  std::filesystem::remove_all(dir);
}

// A sound sector whose chip pitch gives no rate a movie plays (4 to 48 kHz)
// is damage, through every command: info and export-wav never give its
// pitch as a rate, and the WAV keeps the rate of the sound around it.
TEST(GameFilesTest, SoundPitchesOutsideWhatMoviesPlayAreDamage) {
  const struct {
    uint32_t Pitch;
    const char* Shown;  // what the pitch taken as a rate would be
  } cases[] = {{0xFFFFFFFF, "1002438667"}, {0x100000, "11289600"}, {0x0173, "3994"}};
  const std::string dir = test::TempPath("pitch");
  std::filesystem::create_directories(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Pitch);
    test::GameMovieFile file = test::WriteGameMovie({GameFormat::kFf8, 4, 320, 224, 8});
    ASSERT_FALSE(file.SoundSectors.empty());
    auto bytes = test::ReadFileBytes(file.Path);
    const int n = file.SoundSectors[0];
    PutU32(&bytes[size_t(n) * 2352 + 24 + 256 + 28], c.Pitch);
    SealRawSector(&bytes[size_t(n) * 2352], int32_t(kFirstDataAddress + n), true);
    test::WriteFileBytes(file.Path, bytes);
    for (const bool json : {false, true}) {
      auto r = RunCommand(json ? std::vector<std::string>{BELMORA_CLI, "info", "--json", file.Path}
                               : std::vector<std::string>{BELMORA_CLI, "info", file.Path});
      EXPECT_EQ(r.Status, 0) << r.Err;
      std::string digits;
      for (char ch : r.Out)
        if (ch != ',' && ch != '.') digits += ch;
      EXPECT_EQ(digits.find(c.Shown), std::string::npos) << r.Out;
    }
    auto r = RunCommand({BELMORA_CLI, "export-wav", file.Path, "-o", dir + "/out.wav", "--force"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    WavData wav;
    ASSERT_TRUE(ReadWavFile(dir + "/out.wav", wav).Ok());
    EXPECT_EQ(wav.Rate, 44100);
    std::filesystem::remove(file.Path);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace belmora
