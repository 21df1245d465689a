// Writes a small sample STR: 2352-byte sectors, double speed, 15 frames per
// second, 37.8 kHz stereo sound sectors, 320 x 240 pictures. Given a kind,
// one of the files as discs have them (see tests/support/disc_files.h).
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "tests/support/disc_files.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/str_builder.h"

int main(int argc, char** argv) {
  using belmora::test::DiscFileKind;
  const std::pair<const char*, DiscFileKind> kinds[] = {
      {"clean", DiscFileKind::kClean},
      {"interleaved", DiscFileKind::kInterleaved},
      {"lost-sector", DiscFileKind::kLostSector},
      {"back-to-back", DiscFileKind::kBackToBack},
      {"size-change", DiscFileKind::kSizeChange},
      {"garbled-header", DiscFileKind::kGarbledHeader}};
  if (argc == 3) {
    for (const auto& [name, kind] : kinds)
      if (std::strcmp(argv[2], name) == 0) {
        belmora::test::BuildDiscFile(kind).Write(argv[1]);
        return 0;
      }
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: make-sample-str OUT.str [clean|interleaved|lost-sector|back-to-back|"
                 "size-change|garbled-header]\n");
    return 2;
  }
  belmora::test::MovieRecipe m;
  m.Frames = 30;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = belmora::kCoding378Stereo;
  m.AudioChannel = 1;
  m.Interleave = 8;
  m.AudioPhase = 7;
  std::mt19937 random(1);
  m.Bitstream = [&](int frame) {
    return belmora::test::EncodeLevels(belmora::test::RandomLevels(320, 240, random), 2 + frame % 2,
                                       2);
  };
  belmora::test::BuildMovie(m).Write(argv[1]);
  return 0;
}
