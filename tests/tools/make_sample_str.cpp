// Writes a small sample STR: 2352-byte sectors, double speed, 15 frames per
// second, 37.8 kHz stereo sound sectors, 320 x 240 pictures. Given a kind,
// one of the files as discs have them (see tests/support/disc_files.h).
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "tests/support/disc_files.h"
#include "tests/support/game_movie_builder.h"
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
  // Movies in the layouts of games, 30 frames each.
  using belmora::GameFormat;
  const std::pair<const char*, belmora::test::GameMovieRecipe> games[] = {
      {"v1", {GameFormat::kVersion1, 30, 320, 240, 6, false}},
      {"ff7", {GameFormat::kFf7, 30, 320, 240, 6, true}},
      {"ff8", {GameFormat::kFf8, 30, 320, 224, 8, false}},
      {"ff8-sound", {GameFormat::kFf8, 30, 320, 224, 0, false}},
      {"ff9", {GameFormat::kFf9, 30, 320, 224, 8, false}},
      {"chrono-cross", {GameFormat::kChronoCross, 30, 320, 240, 8, false}},
      {"lain", {GameFormat::kLain, 30, 320, 240, 6, false}},
      {"iki", {GameFormat::kIki, 30, 320, 240, 6, false}}};
  if (argc == 3) {
    for (const auto& [name, recipe] : games)
      if (std::strcmp(argv[2], name) == 0) {
        belmora::test::WriteGameMovie(recipe, argv[1]);
        return 0;
      }
    for (const auto& [name, kind] : kinds)
      if (std::strcmp(argv[2], name) == 0) {
        belmora::test::BuildDiscFile(kind).Write(argv[1]);
        return 0;
      }
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: make-sample-str OUT.str [clean|interleaved|lost-sector|back-to-back|"
                 "size-change|garbled-header|v1|ff7|ff8|ff8-sound|ff9|chrono-cross|lain|iki]\n");
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
