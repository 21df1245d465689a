// Files as games lay them out: several movies in one file, frames that lost
// a sector or whose chunk header is garbled. Every reader walks one movie
// and every frame of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "convert/frame_codec.h"
#include "str/str_document.h"
#include "tests/support/avi_builder.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/cli_command.h"
#include "tests/support/disc_builder.h"
#include "tests/support/disc_files.h"
#include "tests/support/image_compare.h"
#include "tests/support/run.h"

namespace belmora {
namespace {

namespace fs = std::filesystem;
using test::DiscFileKind;
using test::RunCommand;

struct ExpectedMovie {
  int Channel, Width, Height, Frames, FirstNumber, LastNumber, AudioChannel;
  std::vector<int> Damaged;
};

struct KindCase {
  const char* Name;
  DiscFileKind Kind;
  std::vector<ExpectedMovie> Movies;
};

const std::vector<KindCase>& Kinds() {
  static const std::vector<KindCase> kinds = {
      {"clean", DiscFileKind::kClean, {{0, 320, 240, 43, 1, 43, 0, {}}}},
      {"interleaved",
       DiscFileKind::kInterleaved,
       {{0, 320, 240, 43, 1, 43, 0, {}}, {1, 256, 224, 43, 1, 43, 1, {}}}},
      {"lost sector", DiscFileKind::kLostSector, {{0, 320, 240, 43, 1, 43, 0, {11}}}},
      {"back to back",
       DiscFileKind::kBackToBack,
       {{0, 320, 240, 43, 1, 43, 0, {}}, {0, 320, 240, 43, 1, 43, 0, {}}}},
      {"size change",
       DiscFileKind::kSizeChange,
       {{0, 320, 240, 20, 1, 20, 0, {}}, {0, 320, 224, 23, 21, 43, 0, {}}}},
      {"garbled header", DiscFileKind::kGarbledHeader, {{0, 320, 240, 43, 1, 43, 0, {11}}}},
  };
  return kinds;
}

std::string WriteKind(DiscFileKind kind, const std::string& name) {
  const std::string path = test::TempPath(name + ".str");
  test::BuildDiscFile(kind).Write(path);
  return path;
}

std::vector<std::string> SortedFiles(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(MoviesTest, InfoListsEveryMovieWithItsDamagedFrames) {
  for (const KindCase& c : Kinds()) {
    SCOPED_TRACE(c.Name);
    const std::string path = WriteKind(c.Kind, "info");
    auto r = RunCommand(test::Cli({"info", path, "--json"}));
    ASSERT_EQ(r.Status, 0) << r.Err;
    auto j = nlohmann::json::parse(r.Out);
    ASSERT_EQ(j["Movies"].size(), c.Movies.size());
    // The keys of old describe movie 1.
    EXPECT_EQ(j["FrameCount"], c.Movies[0].Frames);
    EXPECT_EQ(j["PictureWidth"], c.Movies[0].Width);
    EXPECT_EQ(j["FirstFrameNumber"], c.Movies[0].FirstNumber);
    EXPECT_EQ(j["LastFrameNumber"], c.Movies[0].LastNumber);
    for (size_t i = 0; i < c.Movies.size(); i++) {
      const ExpectedMovie& e = c.Movies[i];
      const auto& m = j["Movies"][i];
      EXPECT_EQ(m["Index"], int(i) + 1);
      EXPECT_EQ(m["Channel"], e.Channel);
      EXPECT_EQ(m["Width"], e.Width);
      EXPECT_EQ(m["Height"], e.Height);
      EXPECT_EQ(m["Frames"], e.Frames);
      EXPECT_EQ(m["FirstFrameNumber"], e.FirstNumber);
      EXPECT_EQ(m["LastFrameNumber"], e.LastNumber);
      EXPECT_EQ(m["Version"], 2);
      EXPECT_EQ(m["AudioChannel"], e.AudioChannel);
      EXPECT_EQ(m["DamagedFrames"].get<std::vector<int>>(), e.Damaged);
      EXPECT_LE(m["FirstSector"].get<int>(), m["LastSector"].get<int>());
    }
    // The text says the same, with the chunks present of a damaged frame.
    auto text = RunCommand(test::Cli({"info", path}));
    ASSERT_EQ(text.Status, 0) << text.Err;
    const bool listed = c.Movies.size() > 1 || !c.Movies[0].Damaged.empty();
    EXPECT_EQ(text.Out.find("Movie 1:") != std::string::npos, listed) << text.Out;
    if (!c.Movies[0].Damaged.empty()) {
      EXPECT_NE(text.Out.find("11 (3/4)"), std::string::npos) << text.Out;
    }
    // check lists the same damaged frames beside its sectors (the builder
    // leaves the framing unsealed, so the sectors' own verdict is not asked).
    auto check = RunCommand(test::Cli({"check", path, "--json"}));
    ASSERT_TRUE(check.Err.empty()) << check.Err;
    std::vector<int> checked;
    const auto checkJson = nlohmann::json::parse(check.Out);
    for (const auto& f : checkJson["DamagedFrames"]) {
      EXPECT_LT(f["ChunksPresent"].get<int>(), f["ChunkCount"].get<int>());
      checked.push_back(f["FrameNumber"]);
    }
    std::vector<int> damaged;
    for (const ExpectedMovie& e : c.Movies) damaged.insert(damaged.end(), e.Damaged.begin(), e.Damaged.end());
    EXPECT_EQ(checked, damaged);
    auto checkText = RunCommand(test::Cli({"check", path}));
    EXPECT_EQ(checkText.Out.find("lack sectors: 11 (3/4)") != std::string::npos, !damaged.empty())
        << checkText.Out;
    // A movie that is not there is refused, naming the count.
    auto missing = RunCommand(test::Cli({"info", path, "--movie", "3"}));
    EXPECT_NE(missing.Status, 0);
    EXPECT_NE(missing.Err.find(std::to_string(c.Movies.size())), std::string::npos) << missing.Err;
    fs::remove(path);
  }
}

// The viewer's Next and Prev reach every frame of every movie, both ways,
// a frame whose first chunk was lost included.
TEST(MoviesTest, NextAndPrevReachEveryFrame) {
  std::vector<std::pair<const char*, DiscFileKind>> kinds;
  for (const KindCase& c : Kinds()) kinds.push_back({c.Name, c.Kind});
  kinds.push_back({"lost first chunk", DiscFileKind::kLostFirstChunk});
  for (const auto& [name, kind] : kinds) {
    SCOPED_TRACE(name);
    const std::string path = WriteKind(kind, "steps");
    CollectingHost host;
    StrDocument doc(host);
    ASSERT_EQ(OpenStrFile(doc, path, true), 0);
    for (int m = 0; m < int(doc.Movies.size()); m++) {
      ASSERT_EQ(SelectMovie(doc, m), 0);
      std::vector<uint32_t> forward, backward;
      while (doc.CurrentSector <= doc.LastFrameSector && ReadFrame(doc) == 0) {
        forward.push_back(doc.ChunkHeader.FrameNumber);
        if (doc.CurrentSector == doc.LastFrameSector) break;
        doc.CurrentSector = doc.NextSector;
      }
      do {
        ASSERT_EQ(ReadFrame(doc), 0);
        backward.insert(backward.begin(), doc.ChunkHeader.FrameNumber);
      } while (FindPreviousFrame(doc) == 0);
      EXPECT_EQ(forward.size(), doc.Movies[size_t(m)].Frames.size());
      EXPECT_EQ(backward, forward);
    }
    fs::remove(path);
  }
}

// Stretches without a frame longer than one search are walked past by
// every reader: decode and export-frames see all 43 frames.
TEST(MoviesTest, ReadersWalkPastLongStretchesWithoutFrames) {
  const std::string path = WriteKind(DiscFileKind::kLongGap, "gap");
  const std::string dir = test::TempPath("gap-frames");
  auto decoded = RunCommand(test::Cli({"decode", path}));
  EXPECT_EQ(decoded.Status, 0) << decoded.Err;
  EXPECT_NE(decoded.Out.find("43 frames decoded"), std::string::npos) << decoded.Out;
  auto exported = RunCommand(test::Cli({"export-frames", path, dir}));
  EXPECT_EQ(exported.Status, 0) << exported.Err;
  EXPECT_EQ(SortedFiles(dir).size(), 43u);
  fs::remove_all(dir);
  fs::remove(path);
}

// Every movie decodes whole; a damaged frame is concealed, listed, and the
// frames around it are exactly those of the clean file.
TEST(MoviesTest, DecodeWalksEveryFrameOfTheChosenMovie) {
  const std::string cleanPath = WriteKind(DiscFileKind::kClean, "clean");
  const std::string cleanDir = test::TempPath("clean-frames");
  auto clean = RunCommand(test::Cli({"decode", cleanPath, "--out", cleanDir}));
  ASSERT_EQ(clean.Status, 0) << clean.Err;
  EXPECT_EQ(clean.Err, "");
  const auto cleanFrames = SortedFiles(cleanDir);
  ASSERT_EQ(cleanFrames.size(), 43u);

  for (const KindCase& c : Kinds()) {
    const std::string path = WriteKind(c.Kind, "decode");
    for (size_t movie = 1; movie <= c.Movies.size(); movie++) {
      SCOPED_TRACE(std::string(c.Name) + ", movie " + std::to_string(movie));
      const std::string dir = test::TempPath("frames");
      auto r = RunCommand(test::Cli(
          {"decode", path, "--movie", std::to_string(movie), "--out", dir, "--threads", "3"}));
      ASSERT_EQ(r.Status, 0) << r.Err;
      const ExpectedMovie& e = c.Movies[movie - 1];
      EXPECT_NE(r.Out.find(std::to_string(e.Frames) + " frames decoded, 0 failed"),
                std::string::npos)
          << r.Out;
      // One line names the movie used where there are several; the
      // damaged frames are listed with their chunks present.
      EXPECT_EQ(r.Err.find("ムービー " + std::to_string(movie)) != std::string::npos,
                c.Movies.size() > 1)
          << r.Err;
      EXPECT_EQ(r.Err.find("11 (3/4)") != std::string::npos, !e.Damaged.empty()) << r.Err;
      const auto frames = SortedFiles(dir);
      ASSERT_EQ(int(frames.size()), e.Frames);
      if (!e.Damaged.empty()) {
        for (int i = 0; i < 43; i++) {
          const bool same = test::ReadFileBytes(frames[size_t(i)]) ==
                            test::ReadFileBytes(cleanFrames[size_t(i)]);
          EXPECT_EQ(same, i != test::kDamagedFrameNumber - 1) << "frame " << i;
        }
      }
      fs::remove_all(dir);
    }
    fs::remove(path);
  }
  fs::remove_all(cleanDir);
  fs::remove(cleanPath);
}

// The concealed frame: what its intact chunks hold, the rest the frame
// before; grey where there is no frame before.
TEST(MoviesTest, DamagedFrameKeepsThePictureBeforeWhereItsChunksAreLost) {
  const std::string path = WriteKind(DiscFileKind::kLostSector, "conceal");
  CollectingHost host;
  StrDocument doc(host);
  ASSERT_EQ(OpenStrFile(doc, path, true), 0);
  FrameCodec codec;
  std::vector<uint8_t> before;
  for (int i = 0; i < 11; i++) {
    before = codec.Image.Pixels;
    ASSERT_EQ(ReadAndDecodeFrame(codec, doc), 0);
    EXPECT_EQ(doc.FrameDamaged, i == 10);
    if (i < 10) doc.CurrentSector = doc.NextSector;
  }
  EXPECT_EQ(doc.ChunkHeader.FrameNumber, 11u);
  EXPECT_EQ(doc.ChunksPresent, 0b1011u);
  EXPECT_EQ(doc.IntactBytes(), size_t(2 * kChunkPayloadSize));
  // Macroblocks go column by column: the last columns come after the lost
  // chunk and are kept as they were; the first ones are the frame's own.
  const size_t row = 320 * 3, column = 16 * 3;
  const auto& now = codec.Image.Pixels;
  ASSERT_EQ(now.size(), before.size());
  bool firstSame = true;
  for (size_t y = 0; y < 240; y++) {
    const size_t last = y * row + row - column;
    EXPECT_TRUE(std::equal(now.begin() + long(last), now.begin() + long(last + column),
                           before.begin() + long(last)))
        << "row " << y;
    firstSame &= std::equal(now.begin() + long(y * row), now.begin() + long(y * row + column),
                            before.begin() + long(y * row));
  }
  EXPECT_FALSE(firstSame);
  // Read on its own, the frame has nothing before it: grey.
  FrameCodec fresh;
  ASSERT_EQ(DecodeCurrentFrame(fresh, doc), 0);
  EXPECT_EQ(fresh.Image.Pixels.back(), kConcealGrey);

  // As every reader shows it, the frame is the same whichever way it was
  // reached: stepping back from two frames on (the picture at hand then is
  // a later frame's), or read on its own.
  const std::vector<uint8_t> forward = now;
  const int32_t damagedAt = doc.CurrentSector;
  for (int i = 0; i < 2; i++) {
    doc.CurrentSector = doc.NextSector;
    ASSERT_EQ(ReadAndDecodeFrame(codec, doc), 0);
  }
  for (int i = 0; i < 2; i++) {
    ASSERT_EQ(FindPreviousFrame(doc), 0);
    ASSERT_EQ(ReadFrame(doc), 0);
    ASSERT_EQ(DecodeFrameAsShown(codec, doc), 0);
  }
  EXPECT_EQ(doc.CurrentSector, damagedAt);
  EXPECT_TRUE(doc.FrameDamaged);
  EXPECT_EQ(codec.Image.Pixels, forward);
  FrameCodec alone;
  ASSERT_EQ(DecodeFrameAsShown(alone, doc), 0);
  EXPECT_EQ(alone.Image.Pixels, forward);
  EXPECT_EQ(doc.CurrentSector, damagedAt);
  CloseStrFile(doc);
  fs::remove(path);
}

// Chunks out of order and repeated are gathered by their numbers.
TEST(MoviesTest, ChunksOutOfOrderAndRepeatedMakeTheSameFrame) {
  const auto bits = test::DiscFrameBitstream(320, 240, 0, 1);
  test::FrameRecipe f;
  f.Chunks = 4;
  f.Channel = 0;
  f.Bitstream = bits;
  struct Case {
    const char* Name;
    std::vector<int> Order;
  };
  const Case cases[] = {{"in order", {0, 1, 2, 3}},
                        {"out of order", {0, 2, 1, 3}},
                        {"repeated", {0, 1, 1, 2, 3}},
                        {"first chunk late", {1, 0, 2, 3}}};
  std::vector<uint8_t> reference;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    test::StrBuilder b(2352);
    for (int chunk : c.Order) b.AddChunk(f, chunk);
    test::FrameRecipe next = f;
    next.Number = 2;
    b.AddFrame(next);
    for (int i = 0; i < 32; i++) b.AddFiller();  // the opening scans read 32 sectors
    const std::string path = test::TempPath("order.str");
    b.Write(path);
    CollectingHost host;
    StrDocument doc(host);
    ASSERT_EQ(OpenStrFile(doc, path, true), 0);
    FrameCodec codec;
    ASSERT_EQ(ReadAndDecodeFrame(codec, doc), 0);
    EXPECT_FALSE(doc.FrameDamaged);
    EXPECT_EQ(doc.ChunkHeader.FrameNumber, 1u);
    if (reference.empty()) reference = codec.Image.Pixels;
    EXPECT_EQ(codec.Image.Pixels, reference);
    CloseStrFile(doc);
    fs::remove(path);
  }
}

// The sound data of a WAV file (after its 44-byte header).
std::vector<uint8_t> WavData(const std::string& path) {
  auto bytes = test::ReadFileBytes(path);
  return bytes.size() > 44 ? std::vector<uint8_t>(bytes.begin() + 44, bytes.end())
                           : std::vector<uint8_t>{};
}

// The frame count an AVI file declares in its main header.
uint32_t AviTotalFrames(const std::string& path) {
  const auto bytes = test::ReadFileBytes(path);
  for (size_t at = 0; at + 32 <= bytes.size(); at++)
    if (std::equal(bytes.begin() + long(at), bytes.begin() + long(at + 4), "avih"))
      return uint32_t(bytes[at + 24]) | uint32_t(bytes[at + 25]) << 8 |
             uint32_t(bytes[at + 26]) << 16 | uint32_t(bytes[at + 27]) << 24;
  return 0;
}

// A lost sector or a garbled header costs its frame only: the sound and the
// AVI's frames are those of the clean file. The second movie exports at its
// own size with its own sound.
TEST(MoviesTest, ExportsSeeEveryFrameAndTheMoviesOwnSound) {
  std::map<std::string, std::string> files;
  for (auto [name, kind] : {std::pair{"clean", DiscFileKind::kClean},
                            std::pair{"lost", DiscFileKind::kLostSector},
                            std::pair{"garbled", DiscFileKind::kGarbledHeader},
                            std::pair{"interleaved", DiscFileKind::kInterleaved}})
    files[name] = WriteKind(kind, name);
  auto wav = [&](const std::string& name, const std::string& movie) {
    const std::string out = test::TempPath(name + movie + ".wav");
    auto r = RunCommand(test::Cli({"export-wav", files[name], "--movie", movie, "-o", out,
                                   "--rate", "44100", "--channels", "2"}));
    EXPECT_EQ(r.Status, 0) << r.Err;
    auto data = WavData(out);
    fs::remove(out);
    return data;
  };
  auto avi = [&](const std::string& name, const std::string& movie) {
    const std::string out = test::TempPath(name + movie + ".avi");
    auto r = RunCommand(test::Cli({"export-avi", files[name], "--movie", movie, "-o", out,
                                   "--arate", "44100", "--achannels", "2", "--abits", "16"}));
    EXPECT_EQ(r.Status, 0) << r.Err;
    return out;
  };
  const auto cleanSound = wav("clean", "1");
  ASSERT_FALSE(cleanSound.empty());
  EXPECT_EQ(wav("lost", "1"), cleanSound);
  EXPECT_EQ(wav("garbled", "1"), cleanSound);
  const auto first = wav("interleaved", "1"), second = wav("interleaved", "2");
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);

  std::map<std::string, std::string> avis;
  for (const char* name : {"clean", "lost", "garbled"}) avis[name] = avi(name, "1");
  avis["second"] = avi("interleaved", "2");
  // The frames the AVIs declare: those of the clean file; one per STR
  // frame, all 43, when asked for frame by frame.
  ASSERT_GT(AviTotalFrames(avis["clean"]), 0u);
  for (const char* name : {"lost", "garbled"})
    EXPECT_EQ(AviTotalFrames(avis[name]), AviTotalFrames(avis["clean"])) << name;
  for (const char* name : {"clean", "lost", "garbled"}) {
    const std::string out = test::TempPath(std::string(name) + "-exact.avi");
    auto r = RunCommand(test::Cli({"export-avi", files[name], "-o", out, "--frame-exact"}));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(AviTotalFrames(out), 43u) << name;
    fs::remove(out);
  }
  if (test::HaveTool("ffprobe") && test::HaveTool("ffmpeg")) {
    auto probe = [](const std::string& path) {
      auto r = RunCommand({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                           "-show_entries", "stream=width,height,nb_read_frames", "-of", "csv=p=0",
                           path});
      EXPECT_EQ(r.Status, 0) << r.Err;
      return r.Out;
    };
    const std::string clean = probe(avis["clean"]);
    EXPECT_EQ(clean.rfind("320,240,", 0), 0u) << clean;
    EXPECT_EQ(probe(avis["lost"]), clean);
    EXPECT_EQ(probe(avis["garbled"]), clean);
    EXPECT_EQ(probe(avis["second"]).rfind("256,224,", 0), 0u);
    // The second movie's AVI carries the sound of its own channel.
    const std::string raw = test::TempPath("second.pcm");
    auto r = RunCommand({"ffmpeg", "-v", "error", "-y", "-i", avis["second"], "-vn", "-f", "s16le",
                         "-ar", "44100", "-ac", "2", raw});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto pcm = test::ReadFileBytes(raw);
    const size_t n = std::min({pcm.size(), second.size(), first.size()});
    ASSERT_GT(n, 1000u);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + long(n), second.begin()));
    EXPECT_FALSE(std::equal(pcm.begin(), pcm.begin() + long(n), first.begin()));
    fs::remove(raw);
  }
  for (auto& [name, path] : avis) fs::remove(path);
  for (auto& [name, path] : files) fs::remove(path);
}

// Edits keep to their movie: the second movie's frame changes its own
// sectors only; a frame that lost a sector is not written over.
TEST(MoviesTest, ImportsTouchOnlyTheirMovieAndNoDamagedFrame) {
  const std::string bmp = test::TempPath("picture.bmp");
  test::BmpRecipe spec;
  spec.Width = 256;
  spec.Height = 224;
  spec.Pixel = [](int x, int y) { return uint32_t(x * 0x010203 + y * 0x030201) & 0xFFFFFF; };
  test::WriteBmp(bmp, spec);

  const std::string interleaved = WriteKind(DiscFileKind::kInterleaved, "edit");
  const auto before = test::ReadFileBytes(interleaved);
  auto r = RunCommand(test::Cli({"import-bmp", interleaved, "--movie", "2", "--frame", "5", bmp}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto after = test::ReadFileBytes(interleaved);
  ASSERT_EQ(after.size(), before.size());
  int changed = 0;
  for (size_t at = 44; at + 2352 <= before.size(); at += 2352) {
    if (std::equal(before.begin() + long(at), before.begin() + long(at + 2352),
                   after.begin() + long(at)))
      continue;
    changed++;
    const uint8_t* sub = &before[at + 20];
    EXPECT_EQ(sub[1], 1) << "sector " << (at - 44) / 2352;  // channel 1
    EXPECT_EQ(sub[2] & 0x70, 0x40);                           // video
  }
  EXPECT_GT(changed, 0);
  if (test::HaveTool("ffprobe")) {
    for (const char* stream : {"v:0", "v:1"}) {
      auto p = RunCommand({"ffprobe", "-v", "error", "-count_frames", "-select_streams", stream,
                           "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0",
                           interleaved});
      EXPECT_EQ(p.Out, "43\n") << stream << p.Err;
    }
  }

  // A video with its sound into movie 2: its pictures and its own sound
  // channel change, movie 1's sectors and sound stay byte for byte.
  const std::string voiced = test::TempPath("voiced.avi");
  test::AviRecipe clip2;
  clip2.Frames = 43;
  clip2.Width = 256;
  clip2.Height = 224;
  test::WriteTestAvi(voiced, clip2);
  const auto beforeSound = test::ReadFileBytes(interleaved);
  auto dubbed = RunCommand(
      test::Cli({"import-avi", interleaved, voiced, "--movie", "2", "--audio", "reencode"}));
  ASSERT_EQ(dubbed.Status, 0) << dubbed.Err;
  const auto afterSound = test::ReadFileBytes(interleaved);
  ASSERT_EQ(afterSound.size(), beforeSound.size());
  int videoChanged = 0, soundChanged = 0;
  for (size_t at = 44; at + 2352 <= beforeSound.size(); at += 2352) {
    if (std::equal(beforeSound.begin() + long(at), beforeSound.begin() + long(at + 2352),
                   afterSound.begin() + long(at)))
      continue;
    const uint8_t* sub = &beforeSound[at + 20];
    EXPECT_EQ(sub[1], 1) << "sector " << (at - 44) / 2352;  // channel 1 only
    ((sub[2] & 0x04) ? soundChanged : videoChanged)++;
  }
  EXPECT_GT(videoChanged, 0);
  EXPECT_GT(soundChanged, 0);
  fs::remove(voiced);

  const std::string lost = WriteKind(DiscFileKind::kLostSector, "lost");
  const auto lostBytes = test::ReadFileBytes(lost);
  const std::string clip = test::TempPath("clip.avi");
  ASSERT_EQ(RunCommand(test::Cli({"export-avi", lost, "-o", clip, "--no-audio"})).Status, 0);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"import-bmp", lost, "--frame", "10", bmp},
        std::vector<std::string>{"import-avi", lost, clip, "--audio", "keep"}}) {
    SCOPED_TRACE(command[0]);
    auto refused = RunCommand(test::Cli(command));
    EXPECT_EQ(refused.Status, 1) << refused.Err;
    EXPECT_NE(refused.Err.find("11 (3/4)"), std::string::npos) << refused.Err;
    EXPECT_EQ(test::ReadFileBytes(lost), lostBytes);
  }
  // Laying the frames out anew, or growing or shrinking the file, would move
  // the other movie of an interleaved file: refused, nothing written.
  const auto interleavedBytes = test::ReadFileBytes(interleaved);
  for (const auto& [option, audio] : {std::pair{"--rebuild", "18.9-stereo"},
                                      std::pair{"--resize=yes", "keep"}}) {
    SCOPED_TRACE(option);
    auto refused = RunCommand(test::Cli({"import-avi", interleaved, clip, "--audio", audio, option}));
    EXPECT_EQ(refused.Status, 1) << refused.Err;
    EXPECT_NE(refused.Err.find("交互"), std::string::npos) << refused.Err;
    EXPECT_EQ(test::ReadFileBytes(interleaved), interleavedBytes);
  }
  // Asked to, the import leaves the damaged frame as it is.
  auto skipped =
      RunCommand(test::Cli({"import-avi", lost, clip, "--audio", "keep", "--skip-damaged"}));
  EXPECT_EQ(skipped.Status, 0) << skipped.Err;
  const auto edited = test::ReadFileBytes(lost);
  EXPECT_NE(edited, lostBytes);
  CollectingHost host;
  StrDocument doc(host);
  ASSERT_EQ(OpenStrFile(doc, lost, true), 0);
  ASSERT_EQ(doc.Movies.size(), 1u);
  EXPECT_EQ(DamagedFramesText(doc.Movies[0].Frames), "11 (3/4)");
  CloseStrFile(doc);
  for (const auto& path : {bmp, interleaved, lost, clip}) fs::remove(path);
}

// Our second movie against FFmpeg's second video stream.
TEST(MoviesTest, SecondInterleavedMovieDecodesLikeFfmpeg) {
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const std::string path = WriteKind(DiscFileKind::kInterleaved, "ffmpeg");
  const std::string raw = test::TempPath("second.raw");
  auto r = RunCommand({"ffmpeg", "-v", "error", "-y", "-i", path, "-map", "0:v:1", "-f",
                       "rawvideo", "-pix_fmt", "bgr24", raw});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto theirs = test::ReadFileBytes(raw);
  const size_t frameBytes = 256 * 224 * 3;
  ASSERT_EQ(theirs.size(), frameBytes * 43);

  CollectingHost host;
  StrDocument doc(host);
  ASSERT_EQ(OpenStrFile(doc, path, true), 0);
  ASSERT_EQ(SelectMovie(doc, 1), 0);
  FrameCodec codec;
  double worst = 99;
  for (int f = 0; f < 43; f++) {
    ASSERT_EQ(ReadAndDecodeFrame(codec, doc), 0) << f;
    EXPECT_EQ(doc.ChunkHeader.Width, 256);
    worst = std::min(worst, test::LumaPsnr(codec.Image.Pixels.data(), 256 * 3,
                                           theirs.data() + f * frameBytes, 256 * 3, 256, 224));
    doc.CurrentSector = doc.NextSector;
  }
  EXPECT_GE(worst, 40.0);
  std::printf("worst luma PSNR of movie 2 against ffmpeg: %.2f dB\n", worst);
  CloseStrFile(doc);
  fs::remove(path);
  fs::remove(raw);
}

// An interleaved file inside a disc image: ls lists its movies, and
// IMAGE::PATH takes --movie like a file on its own; an import into movie 2
// changes only channel 1's video sectors of the image.
TEST(MoviesTest, MoviesOfAFileInsideADiscImage) {
  const auto riff = test::BuildDiscFile(DiscFileKind::kInterleaved).Bytes();
  std::vector<test::SectorImage> sectors((riff.size() - 44) / 2352);
  for (size_t i = 0; i < sectors.size(); i++)
    std::memcpy(sectors[i].data(), &riff[44 + i * 2352 + 16], kSectorImageSize);
  test::DiscBuilder disc;
  disc.AddSectorFile("/MOVIE/TWO.STR", sectors);
  const std::string dir = test::TempPath("image");
  fs::create_directories(dir);
  const std::string bin = dir + "/disc.bin", cue = dir + "/disc.cue";
  disc.WriteBinCue(bin, cue);
  const std::string inner = cue + "::/MOVIE/TWO.STR";

  auto ls = RunCommand(test::Cli({"ls", cue, "--json"}));
  ASSERT_EQ(ls.Status, 0) << ls.Err;
  const auto entries = nlohmann::json::parse(ls.Out);
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [](const auto& e) { return e["Path"] == "/MOVIE/TWO.STR"; });
  ASSERT_NE(it, entries.end());
  ASSERT_EQ((*it)["Movies"].size(), 2u);
  EXPECT_EQ((*it)["Movies"][1]["Channel"], 1);
  EXPECT_EQ((*it)["Movies"][1]["Width"], 256);

  auto info = RunCommand(test::Cli({"info", inner, "--movie", "2", "--json"}));
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_EQ(nlohmann::json::parse(info.Out)["PictureWidth"], 256);
  EXPECT_NE(info.Err.find("2"), std::string::npos) << "says which movie of how many";

  const std::string bmp = dir + "/picture.bmp";
  test::BmpRecipe picture;
  picture.Width = 256;
  picture.Height = 224;
  test::WriteBmp(bmp, picture);
  const auto before = test::ReadFileBytes(bin);
  auto r = RunCommand(test::Cli({"import-bmp", inner, "--movie", "2", "--frame", "5", bmp}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto after = test::ReadFileBytes(bin);
  ASSERT_EQ(after.size(), before.size());
  int changed = 0;
  for (size_t at = 0; at + 2352 <= before.size(); at += 2352) {
    if (std::equal(before.begin() + long(at), before.begin() + long(at + 2352),
                   after.begin() + long(at)))
      continue;
    changed++;
    EXPECT_EQ(before[at + 16 + 1], 1) << "sector " << at / 2352;  // channel 1
    EXPECT_EQ(before[at + 16 + 2] & 0x70, 0x40);                 // video
  }
  EXPECT_GT(changed, 0);
  fs::remove_all(dir);
}

// One frame number astray is not a new movie: a chunk of frame 20 numbered
// 99, the whole frame numbered 99 or 3, or frames 20 and 21 swapped. The
// movie keeps every frame, info and check name the frame out of sequence
// (or damaged, for the lone chunk), and decode, export-wav and export-avi
// of the default movie take all of it, with no word of a second movie.
TEST(MoviesTest, OneStrayFrameNumberIsNotANewMovie) {
  const std::string cleanPath = WriteKind(DiscFileKind::kClean, "clean-sound");
  auto cleanSound = RunCommand(test::Cli({"export-wav", cleanPath, "-o", cleanPath + ".wav"}));
  ASSERT_EQ(cleanSound.Status, 0) << cleanSound.Err;
  struct Case {
    const char* Name;
    DiscFileKind Kind;
    std::vector<int> OutOfOrder, Damaged;
    int LastNumber;
  };
  const std::vector<Case> cases = {
      {"a chunk numbered 99", DiscFileKind::kStrayChunk, {}, {20}, 43},
      {"a frame numbered 99", DiscFileKind::kStrayFrame, {99}, {}, 43},
      {"a frame numbered 3", DiscFileKind::kStrayLow, {3}, {}, 43},
      {"two frames swapped", DiscFileKind::kSwappedFrames, {21}, {}, 43},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = WriteKind(c.Kind, "stray");
    auto info = RunCommand(test::Cli({"info", path, "--json"}));
    ASSERT_EQ(info.Status, 0) << info.Err;
    const auto j = nlohmann::json::parse(info.Out);
    ASSERT_EQ(j["Movies"].size(), 1u) << info.Out;
    EXPECT_EQ(j["FrameCount"], 43);
    EXPECT_EQ(j["Movies"][0]["Frames"], 43);
    EXPECT_EQ(j["Movies"][0]["LastFrameNumber"], c.LastNumber);
    EXPECT_EQ(j["Movies"][0]["DamagedFrames"].get<std::vector<int>>(), c.Damaged);
    EXPECT_EQ(j["Movies"][0]["OutOfOrderFrames"].get<std::vector<int>>(), c.OutOfOrder);
    auto text = RunCommand(test::Cli({"info", path}));
    if (!c.OutOfOrder.empty()) {
      EXPECT_NE(text.Out.find("out of sequence: " + std::to_string(c.OutOfOrder[0])),
                std::string::npos)
          << text.Out;
    }
    auto check = RunCommand(test::Cli({"check", path, "--json"}));
    const auto checkJson = nlohmann::json::parse(check.Out);
    std::vector<int> listed;
    for (const auto& f : checkJson["OutOfOrderFrames"]) listed.push_back(f["FrameNumber"]);
    EXPECT_EQ(listed, c.OutOfOrder) << check.Out;

    auto decoded = RunCommand(test::Cli({"decode", path}));
    EXPECT_EQ(decoded.Status, 0) << decoded.Err;
    EXPECT_NE(decoded.Out.find("43 frames decoded"), std::string::npos) << decoded.Out;
    auto sound = RunCommand(test::Cli({"export-wav", path, "-o", path + ".wav"}));
    EXPECT_EQ(sound.Status, 0) << sound.Err;
    EXPECT_EQ(sound.Out, cleanSound.Out);
    auto avi = RunCommand(test::Cli({"export-avi", path, "-o", path + ".avi"}));
    EXPECT_EQ(avi.Status, 0) << avi.Err;
    for (const auto* r : {&info, &decoded, &sound, &avi})
      EXPECT_EQ(r->Err.find("ムービー 1 を使います"), std::string::npos) << r->Err;
    for (const std::string& f : {path, path + ".wav", path + ".avi"}) fs::remove(f);
  }
  fs::remove(cleanPath);
  fs::remove(cleanPath + ".wav");
}

}  // namespace
}  // namespace belmora
