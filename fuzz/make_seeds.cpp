// Writes the fuzz targets' seed inputs, one folder per target, from the
// builders the tests use: STR files of every layout with sound and movies in
// every game layout, MDEC frames
// of versions 2 and 3, XA sectors, BMPs of 1 to 32 bits and small AVIs.
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "mdec/codec.h"
#include "platform/media_writer.h"
#include "str/journal.h"
#include "str/sector.h"
#include "str/sector_file.h"
#include "tests/support/audio.h"
#include "media/wav_writer.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/disc_builder.h"
#include "tests/support/game_movie_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "xa/xa_codec.h"

using namespace belmora;
namespace fs = std::filesystem;

namespace {

void Put(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  test::WriteFileBytes((dir / name).string(), bytes);
}

// The little-endian parameter fields some targets read before their file.
struct Prefix {
  std::vector<uint8_t> Bytes;
  Prefix& U8(uint32_t v) {
    Bytes.push_back(uint8_t(v));
    return *this;
  }
  Prefix& U16(uint32_t v) { return U8(v).U8(v >> 8); }
  Prefix& U32(uint32_t v) { return U16(v).U16(v >> 16); }
  std::vector<uint8_t> Then(const std::vector<uint8_t>& rest) const {
    std::vector<uint8_t> out = Bytes;
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
  }
};

// One frame's bitstream: random levels, or the encoder's own output for a
// natural picture.
std::vector<uint8_t> FrameBits(int width, int height, int version, int seed, bool fromEncoder) {
  if (!fromEncoder) {
    std::mt19937 random{uint32_t(seed)};
    return test::EncodeLevels(test::RandomLevels(width, height, random, 4), version, 2);
  }
  const int pw = (width + 15) / 16 * 16, ph = (height + 15) / 16 * 16;
  std::vector<uint8_t> picture = test::NaturalPicture(pw, ph, seed);
  MdecCodec codec;
  EncodedFrame out;
  const EncodeRequest request{width, height, version, 2 * kChunkPayloadSize};
  if (codec.EncodeFrame({picture.data(), pw, ph, pw * 3}, request, out) != EncodeStatus::kOk)
    throw std::runtime_error("seed frame does not fit");
  out.Bytes.resize(size_t(out.Length));
  return out.Bytes;
}

struct StrSeed {
  std::string Name;
  int SectorSize;
  bool Riff;
  int Frames;
  uint16_t Width, Height;
  int AudioCoding;  // -1: none
  int Interleave, AudioPhase, TrailingFillers;
};

void StrSeeds(const fs::path& dir) {
  const StrSeed seeds[] = {
      {"2352-riff-stereo378-double.str", 2352, true, 6, 48, 32, kCoding378Stereo, 8, 7, 2},
      {"2352-raw-stereo189.str", 2352, false, 5, 32, 32, kCoding189Stereo, 8, 3, 1},
      {"2336-mono189-single.str", 2336, true, 5, 64, 48, kCoding189Mono, 8, 5, 0},
      {"2336-mono378-audio-first.str", 2336, true, 4, 32, 16, kCoding378Mono, 4, 0, 1},
      {"2048-video-only.str", 2048, true, 6, 48, 48, -1, 8, 7, 0},
      {"2352-riff-silent.str", 2352, true, 3, 16, 16, -1, 8, 7, 3},
  };
  int seed = 1;
  for (const StrSeed& s : seeds) {
    std::vector<std::vector<uint8_t>> bits;
    test::MovieRecipe m;
    m.SectorSize = s.SectorSize;
    m.Riff = s.Riff;
    m.Frames = s.Frames;
    m.Width = s.Width;
    m.Height = s.Height;
    m.AudioCoding = s.AudioCoding;
    m.AudioChannel = 1;
    m.Interleave = s.Interleave;
    m.AudioPhase = s.AudioPhase;
    m.TrailingFillers = s.TrailingFillers;
    m.ChunkPattern.clear();
    for (int f = 0; f < s.Frames; f++) {
      bits.push_back(FrameBits(s.Width, s.Height, 2 + f % 2, seed++, f % 3 == 2));
      m.ChunkPattern.push_back(int((bits.back().size() + kChunkPayloadSize - 1) / kChunkPayloadSize));
    }
    m.Bitstream = [&](int f) { return bits[size_t(f)]; };
    Put(dir, s.Name, test::BuildMovie(m).Bytes());
  }
  // A few frames of each game layout, as small as the layout lets them be.
  struct GameSeed {
    const char* Name;
    test::GameMovieRecipe Recipe;
  };
  const GameSeed games[] = {
      {"game-version1.str", {GameFormat::kVersion1, 3, 160, 112, 3, false}},
      {"game-ff7-camera.str", {GameFormat::kFf7, 2, 160, 112, 3, true}},
      {"game-ff8.str", {GameFormat::kFf8, 2, 320, 224, 8, false}},
      {"game-ff8-sound-only.str", {GameFormat::kFf8, 3, 320, 224, 0, false}},
      {"game-ff9.str", {GameFormat::kFf9, 2, 320, 224, 8, false}},
      {"game-chrono-cross.str", {GameFormat::kChronoCross, 3, 160, 112, 4, false}},
      {"game-lain.str", {GameFormat::kLain, 2, 160, 112, 3, false}},
      {"game-iki.str", {GameFormat::kIki, 3, 160, 112, 3, false}},
  };
  for (const GameSeed& g : games) test::WriteGameMovie(g.Recipe, (dir / g.Name).string());
}

void MdecSeeds(const fs::path& dir) {
  struct Case {
    int Width, Height, Version, Flags;
    bool FromEncoder;
  };
  const Case cases[] = {{16, 16, 2, 0, false}, {48, 32, 3, 1, false}, {64, 48, 2, 2, true},
                        {40, 24, 3, 3, true},  {32, 64, 3, 0, true},  {96, 16, 2, 1, false}};
  int seed = 100;
  for (const Case& c : cases) {
    auto bits = FrameBits(c.Width, c.Height, c.Version, seed++, c.FromEncoder);
    auto prefix = Prefix().U16(uint32_t(c.Width)).U16(uint32_t(c.Height)).U8(uint32_t(c.Flags));
    Put(dir, "v" + std::to_string(c.Version) + "-" + std::to_string(c.Width) + "x" +
                 std::to_string(c.Height) + "-" + std::to_string(c.Flags) + ".mdec",
        prefix.Then(bits));
  }
  // The frame header 40 bytes in, as some frame buffers carry it.
  auto bits = FrameBits(32, 32, 2, seed++, false);
  bits.insert(bits.begin(), 40, 0);
  Put(dir, "v2-header-at-40.mdec", Prefix().U16(32).U16(32).U8(0).Then(bits));
}

void XaSeeds(const fs::path& dir) {
  const int codings[] = {kCoding378Stereo, kCoding378Mono, kCoding189Stereo, kCoding189Mono};
  const int32_t rates[] = {44100, 37800, 22050, 8000};
  for (int i = 0; i < 4; i++) {
    const int coding = codings[i];
    const int rate = IsHalfRate(coding) ? 18900 : 37800, channels = IsStereo(coding) ? 2 : 1;
    const int count = 2 * kXaSamplesPerSector;
    test::ArraySource source(test::MakeSignal(test::Signal::kSpeechLike, count, rate, 12000, 1 + i),
                             test::MakeSignal(test::Signal::kSine1k, count, rate, 9000, 5 + i));
    XaEncoderState encoder;
    XaEncodeSetup(encoder, source, rate, channels);
    std::vector<uint8_t> sectors;
    for (int s = 0; s < 2; s++) {
      std::vector<uint8_t> image(kSectorImageSize, 0);
      AudioSubheader(1, coding).Store(image.data());
      AudioSubheader(1, coding).Store(image.data() + 4);
      XaEncodeSector(encoder, image.data());
      sectors.insert(sectors.end(), image.begin(), image.end());
    }
    // Each output format once: mono or stereo, 8 or 16 bits.
    Put(dir, "coding" + std::to_string(coding) + "-to-" + std::to_string(rates[i]) + ".xa",
        Prefix().U32(uint32_t(rates[i])).U8(uint32_t(i)).Then(sectors));
  }
}

void BmpSeeds(const fs::path& dir) {
  auto palette = [](int n) {
    std::vector<std::array<uint8_t, 4>> p;
    for (int i = 0; i < n; i++)
      p.push_back({uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 5), 0});
    return p;
  };
  auto gradient = [](int bits) {
    return [bits](int x, int y) -> uint32_t {
      switch (bits) {
        case 1: return uint32_t((x + y) & 1);
        case 4: return uint32_t((x * 3 + y) & 15);
        case 8: return uint32_t((x * 13 + y * 7) & 255);
        case 16: return uint32_t((x * 1021 + y * 331) & 0xFFFF);
        default: return uint32_t(x * 9 << 16 | y * 11 << 8 | (x ^ y) * 5);
      }
    };
  };
  struct Case {
    int Bits;
    bool TopDown;
    uint32_t Compression;
    std::array<uint32_t, 3> Masks;
  };
  const Case cases[] = {
      {1, false, 0, {}},   {4, true, 0, {}},  {8, false, 0, {}},
      {16, false, 0, {}},  {16, true, 3, {0xF800, 0x07E0, 0x001F}},
      {24, false, 0, {}},  {24, true, 0, {}}, {32, false, 0, {}},
      {32, false, 3, {0x00FF0000, 0x0000FF00, 0x000000FF}},
  };
  int n = 0;
  for (const Case& c : cases) {
    test::BmpRecipe picture;
    picture.Width = 13 + 2 * n;
    picture.Height = 11 + n;
    picture.BitCount = c.Bits;
    picture.TopDown = c.TopDown;
    picture.Compression = c.Compression;
    picture.Masks = c.Masks;
    if (c.Bits <= 8) picture.Palette = palette(1 << c.Bits);
    picture.Pixel = gradient(c.Bits);
    // Image offsets and a frame size; some seeds move the picture.
    auto prefix = Prefix().U16(uint32_t(n % 3 == 1 ? -5 : 0)).U16(uint32_t(n % 3 == 2 ? 7 : 0));
    prefix.U8(uint32_t(n % 2)).U8(uint32_t(n % 3));
    Put(dir,
        std::to_string(c.Bits) + "bit-" + (c.TopDown ? "topdown" : "bottomup") +
            (c.Compression == 3 ? "-bitfields" : "") + ".bmp",
        prefix.Then(test::BmpBytes(picture)));
    n++;
  }
}

void AviSeeds(const fs::path& dir) {
  constexpr int kW = 32, kH = 24, kFrames = 4;
  struct Case {
    const char* Name;
    const char* Video;
    int Rate, Channels, Bits;  // sound; 0: none
  };
  const Case cases[] = {{"raw-pcm16-mono.avi", "DIB ", 11025, 1, 16},
                        {"raw-pcm8-stereo.avi", "DIB ", 8000, 2, 8},
                        {"mjpg-silent.avi", "MJPG", 0, 0, 0}};
  for (const Case& c : cases) {
    CompressOptions video;
    video.fccHandler = FourCC({c.Video[0], c.Video[1], c.Video[2], c.Video[3], 0});
    if (!FindVideoCompressor(video.fccHandler)) continue;
    const std::string path = (dir / c.Name).string();
    WaveFormat format = WaveFormat::Pcm(c.Rate, c.Channels, c.Bits);
    PcmFormatInfo pcm{c.Rate, c.Channels, c.Bits};
    MediaWriter w;
    if (w.Open(path, kW, kH, 15, 1, video, c.Rate ? &format : nullptr, c.Rate ? &pcm : nullptr) !=
        MediaError::kNone)
      throw std::runtime_error(std::string("cannot write ") + c.Name);
    const int stride = (kW * 3 + 3) / 4 * 4;
    for (int f = 0; f < kFrames; f++) {
      std::vector<uint8_t> rows(size_t(stride) * kH);
      for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW * 3; x++) rows[size_t(y) * stride + x] = uint8_t(x * 5 + y * 9 + f * 40);
      if (!w.WriteVideo(rows.data())) throw std::runtime_error("video write");
      if (c.Rate) {
        std::vector<uint8_t> sound(size_t(c.Rate / 15) * size_t(pcm.BlockAlign()));
        for (size_t i = 0; i < sound.size(); i++) sound[i] = uint8_t(i * 7 + f);
        if (!w.WriteAudio(sound.data(), sound.size())) throw std::runtime_error("audio write");
      }
    }
    if (!w.Close()) throw std::runtime_error("close");
  }
}

// Journals left by edits that never finished: overwrites, a file grown and
// one shortened, each with the length of the file it belongs to in front.
void JournalSeeds(const fs::path& dir) {
  const std::string file = (fs::temp_directory_path() / "belmora-journal-seed.bin").string();
  struct Edit {
    uint16_t Length;
    int64_t WriteAt;
    size_t WriteSize;
    int64_t TruncateTo;  // -1: none
  };
  const Edit edits[] = {{4000, 100, 500, -1}, {4000, 3900, 400, -1}, {6000, 10, 50, 2500},
                        {2352, 0, 2352, -1}};
  int n = 0;
  for (const Edit& e : edits) {
    std::vector<uint8_t> bytes(e.Length);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = uint8_t(i * 7 + 3);
    test::WriteFileBytes(file, bytes);
    {
      SectorFile f;
      if (!f.Open(file, SectorFile::Mode::kReadWrite) || !f.BeginJournal())
        throw std::runtime_error("cannot journal " + file);
      std::vector<uint8_t> junk(e.WriteSize, 0xA5);
      if (!f.WriteAt(e.WriteAt, junk.data(), junk.size()) ||
          (e.TruncateTo >= 0 && !f.Truncate(e.TruncateTo)))
        throw std::runtime_error("cannot write " + file);
      // Closed without a commit, as a killed edit leaves it.
    }
    Put(dir, "journal" + std::to_string(n++), Prefix().U16(e.Length).Then(
        test::ReadFileBytes(JournalPath(file))));
    fs::remove(JournalPath(file));
  }
  fs::remove(file);
}

std::vector<uint8_t> TextBytes(const std::string& s) {
  return {s.begin(), s.end()};
}

// Cue sheets: one track and two, pregaps, case-insensitive names, comments.
void CueSeeds(const fs::path& dir) {
  Put(dir, "one.cue", TextBytes(test::DiscBuilder::CueText("game.bin")));
  Put(dir, "mixed.cue",
      TextBytes("REM GENRE Game\r\nCATALOG 0000000000000\r\nFILE \"GAME.BIN\" BINARY\r\n"
                "  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n"
                "  TRACK 02 AUDIO\r\n    PREGAP 00:02:00\r\n    INDEX 00 10:20:30\r\n"
                "    INDEX 01 10:22:30\r\nFILE \"track 02.bin\" BINARY\r\n"
                "  TRACK 03 AUDIO\r\n    FLAGS DCP\r\n    INDEX 01 00:00:00\r\n"));
  Put(dir, "bom.cue", TextBytes("\xEF\xBB\xBF" "FILE disc.img BINARY\n  TRACK 1 MODE1/2048\n"
                                "  INDEX 1 00:00:00\n"));
}

// ISO images: files in nested folders, with and without XA records.
void IsoSeeds(const fs::path& dir) {
  for (const bool xa : {true, false}) {
    test::DiscBuilder b;
    b.SetXaRecords(xa);
    b.AddDataFile("/SYSTEM.CNF", TextBytes("BOOT = cdrom:\\SLPS_000.00;1\r\n"));
    b.AddDataFile("/DATA/A/B/FILE.BIN", std::vector<uint8_t>(5000, 7));
    b.AddDirectory("/EMPTY");
    Put(dir, xa ? "xa.iso" : "plain.iso", b.IsoBytes());
  }
}

// Subtitles: SRT with markup, and an ASS script with override tags.
void SubtitleSeeds(const fs::path& dir) {
  Put(dir, "lines.srt",
      Prefix().U8(0).Then(TextBytes("1\n00:00:00,000 --> 00:00:02,500\n<i>Hello</i>\nthere\n\n"
                                    "2\n00:00:01,000 --> 00:00:04,000\n{b}World{/b}\n")));
  Put(dir, "script.ass",
      Prefix().U8(1).Then(TextBytes(
          "[Script Info]\nScriptType: v4.00+\nPlayResX: 64\nPlayResY: 48\n\n[V4+ Styles]\n"
          "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
          "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
          "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
          "Style: Default,sans-serif,20,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,"
          "100,100,0,0,1,2,0,2,4,4,4,1\n\n[Events]\n"
          "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
          "Dialogue: 0,0:00:00.00,0:00:05.00,Default,,0,0,0,,{\\fscx150\\bord3\\blur2}Hi\n")));
}

// WAV files of every format the reader takes.
void WavSeeds(const fs::path& dir) {
  for (const int channels : {1, 2}) {
    for (const int bits : {8, 16}) {
      const uint32_t bytes = uint32_t(100 * channels * bits / 8);
      std::vector<uint8_t> wav = WavHeader(22050, channels, bits, bytes);
      for (uint32_t i = 0; i < bytes; i++) wav.push_back(uint8_t(i * 37));
      Put(dir, std::to_string(channels) + "ch-" + std::to_string(bits) + "bit.wav", wav);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fuzz-seeds OUT_DIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  try {
    for (const char* target :
         {"str", "mdec", "xa", "bmp", "avi", "journal", "cue", "iso", "subtitle", "wav"}) {
      fs::remove_all(out / target);
      fs::create_directories(out / target);
    }
    StrSeeds(out / "str");
    MdecSeeds(out / "mdec");
    XaSeeds(out / "xa");
    BmpSeeds(out / "bmp");
    AviSeeds(out / "avi");
    JournalSeeds(out / "journal");
    CueSeeds(out / "cue");
    IsoSeeds(out / "iso");
    SubtitleSeeds(out / "subtitle");
    WavSeeds(out / "wav");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-fuzz-seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
