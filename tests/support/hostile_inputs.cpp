#include "tests/support/hostile_inputs.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/bytes.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/disc_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "tests/support/xa_builder.h"

namespace belmora::test {

namespace fs = std::filesystem;

namespace {
void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool WriteSharedDirectories(const std::string& path) {
  DiscBuilder b;
  std::string at;
  std::vector<std::string> dirs;
  for (int k = 1; k <= 24; k++) {
    char name[8];
    std::snprintf(name, sizeof name, "/D%02d", k);
    at += name;
    dirs.push_back(at);
    b.AddDataFile(at + "/X", {1, 2, 3});
  }
  auto iso = b.IsoBytes();
  for (size_t k = 0; k + 1 < dirs.size(); k++) {
    const auto here = b.Placement(dirs[k]), next = b.Placement(dirs[k + 1]);
    uint8_t* records = &iso[size_t(here.Lsn) * 2048];
    bool patched = false;
    for (size_t r = 0; r < 2048 && records[r] != 0; r += records[r]) {
      if (records[r + 32] >= 1 && records[r + 33] == 'X') {
        records[r + 25] |= 2;  // a directory
        PutU32(&records[r + 2], uint32_t(next.Lsn));
        for (int i = 0; i < 4; i++) records[r + 6 + size_t(i)] = uint8_t(next.Lsn >> (24 - 8 * i));
        patched = true;
      }
    }
    if (!patched) return false;
  }
  uint8_t* records = &iso[size_t(b.Placement(dirs.back()).Lsn) * 2048];
  for (size_t r = 0; r < 2048 && records[r] != 0; r += records[r])
    if (records[r + 32] >= 1 && records[r + 33] == 'X') records[r + 33] = 0xC9;
  WriteFileBytes(path, iso);
  return true;
}
}  // namespace

std::vector<uint8_t> HostileMovie() {
  MovieRecipe m;
  m.Frames = 12;
  m.ChunkPattern = {9, 9, 9, 8};
  m.Width = 160;
  m.Height = 112;
  m.AudioCoding = kCoding378Stereo;
  m.TrailingFillers = 2;
  std::mt19937 random(5);
  m.Bitstream = [&](int) { return EncodeLevels(RandomLevels(160, 112, random), 2, 2); };
  return BuildMovie(m).Bytes();
}

bool WriteHostileInputs(const std::string& dir, const std::vector<uint8_t>& movie) {
  if (!WriteSharedDirectories(dir + "/shared.iso")) return false;

  fs::create_directories(dir + "/many");
  for (int i = 0; i < 2000; i++) WriteFileBytes(dir + "/many/f" + std::to_string(i), {});
  DiscBuilder small;
  small.AddDataFile("/A.TXT", {1, 2, 3});
  small.WriteBinCue(dir + "/many/disc.bin", dir + "/many/ignored.cue");
  std::string cue;
  for (int i = 0; i < 20000; i++) cue += "FILE \"missing" + std::to_string(i) + ".bin\" BINARY\n";
  cue += DiscBuilder::CueText("disc.bin");
  WriteText(dir + "/many/big.cue", cue);

  WriteText(dir + "/huge.ass",
            "[Script Info]\nScriptType: v4.00+\nPlayResX: 160\nPlayResY: 112\n\n[V4+ Styles]\n"
            "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
            "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
            "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
            "Style: Default,sans-serif,100000,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,"
            "0,100000,100000,0,0,1,5000,0,2,10,10,10,1\n\n[Events]\n"
            "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
            "Dialogue: 0,0:00:00.00,0:10:00.00,Default,,0,0,0,,{\\fscx100000\\fscy100000"
            "\\bord9000\\blur500}" +
                std::string(501, 'W') + "\n");
  std::string srt;
  for (int i = 0; i < 100000; i++)
    srt += std::to_string(i + 1) + "\n00:00:00,000 --> 00:10:00,000\nline " + std::to_string(i) +
           "\n\n";
  WriteText(dir + "/many.srt", srt);

  const std::string seq = dir + "/seq";
  fs::create_directories(seq);
  for (int i = 0; i < 6; i++)
    WriteBgrBmp(seq + "/" + std::to_string(i) + ".bmp", NaturalPicture(160, 112, i), 160, 112);
  auto huge = ReadFileBytes(seq + "/3.bmp");
  PutU32(&huge[18], 16000);
  PutU32(&huge[22], 16000);
  WriteFileBytes(seq + "/3.bmp", huge);

  WriteFileBytes(dir + "/caf\xE9.str", movie);
  return true;
}

void WriteHugePng(const std::string& png) {
  std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                'I', 'H', 'D', 'R', 0, 0, 0x3E, 0x80, 0, 0, 0x3E, 0x80, 8, 2, 0, 0, 0};
  bytes.resize(2 << 20, 0);  // 2 MB of picture data behind it
  WriteFileBytes(png, bytes);
}

void WriteLargestInputs(const std::string& dir, int minutes) {
  std::string srt;
  for (int i = 0; i < 20000; i++) {
    char times[64];
    std::snprintf(times, sizeof times, "%02d:%02d:%02d,000 --> %02d:%02d:%02d,500", i / 3600,
                  i / 60 % 60, i % 60, i / 3600, i / 60 % 60, i % 60);
    srt += std::to_string(i + 1) + "\n" + times + "\nA line of dialogue, number " +
           std::to_string(i) + ",\nand a second line under it.\n\n";
  }
  WriteText(dir + "/big.srt", srt);

  DiscBuilder disc;
  disc.AddDataFile("/A.TXT", {1, 2, 3});
  disc.WriteBinCue(dir + "/big.bin", dir + "/unused.cue");
  std::string cue = "REM GENRE Game\nREM DATE 1999\nREM COMMENT \"a disc of 99 tracks\"\n"
                    "CATALOG 0000000000000\nPERFORMER \"Someone\"\nTITLE \"A Game\"\n";
  cue += DiscBuilder::CueText("big.bin");
  for (int t = 2; t <= 99; t++) {
    char track[256];
    std::snprintf(track, sizeof track,
                  "  TRACK %02d AUDIO\n    TITLE \"Track number %d of the game's music\"\n"
                  "    PERFORMER \"Someone\"\n    FLAGS DCP\n    ISRC AAAAA0000%03d\n"
                  "    INDEX 00 %02d:00:00\n    INDEX 01 %02d:02:00\n",
                  t, t, t, t / 2, t / 2);
    cue += track;
  }
  WriteText(dir + "/big.cue", cue);

  const int side = 4096;
  std::vector<uint8_t> bmp(54 + size_t(side) * side * 4);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutU32(&bmp[2], uint32_t(bmp.size()));
  PutU32(&bmp[10], 54);
  PutU32(&bmp[14], 40);
  PutU32(&bmp[18], side);
  PutU32(&bmp[22], side);
  PutU16(&bmp[26], 1);
  PutU16(&bmp[28], 32);
  for (size_t i = 54; i < bmp.size(); i++) bmp[i] = uint8_t(i * 7 / 4096);
  WriteFileBytes(dir + "/big.bmp", bmp);

  // 37.8 kHz stereo: 2016 sample frames a sector.
  XaChannelRecipe channel;
  channel.Sectors = minutes * 60 * 37800 / 2016;
  XaFileRecipe xa;
  xa.Channels = {channel};
  WriteFileBytes(dir + "/long.xa", BuildXaFile(xa));
  const uint32_t frames = uint32_t(channel.Sectors) * 2016;
  std::vector<uint8_t> wav(44 + size_t(frames) * 4);
  std::memcpy(&wav[0], "RIFF", 4);
  PutU32(&wav[4], uint32_t(wav.size() - 8));
  std::memcpy(&wav[8], "WAVEfmt ", 8);
  PutU32(&wav[16], 16);
  PutU16(&wav[20], 1);
  PutU16(&wav[22], 2);
  PutU32(&wav[24], 37800);
  PutU32(&wav[28], 37800 * 4);
  PutU16(&wav[32], 4);
  PutU16(&wav[34], 16);
  std::memcpy(&wav[36], "data", 4);
  PutU32(&wav[40], frames * 4);
  for (size_t i = 44; i + 1 < wav.size(); i += 2) PutU16(&wav[i], uint16_t((i / 4 % 200) * 60));
  WriteFileBytes(dir + "/long.wav", wav);
}

}  // namespace belmora::test
