// Writes a small sample disc image: a BIN of raw Mode 2 sectors, sealed with
// their EDC and ECC, and its cue sheet, holding two STR movies and an XA
// file (and SYSTEM.CNF), made by the test builders.
#include <cstdio>
#include <filesystem>
#include <random>

#include "str/cd_sector.h"
#include "tests/support/disc_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

int main(int argc, char** argv) {
  using namespace belmora;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-sample-disc OUT.bin   (OUT.cue is written beside it)\n");
    return 2;
  }
  std::mt19937 random(1);
  test::MovieRecipe open;
  open.Riff = false;
  open.Frames = 30;
  open.ChunkPattern = {9, 9, 9, 8};
  open.AudioCoding = kCoding378Stereo;
  open.AudioChannel = 1;
  open.Bitstream = [&](int frame) {
    return test::EncodeLevels(test::RandomLevels(320, 240, random), 2 + frame % 2, 2);
  };
  test::MovieRecipe end = open;
  end.Frames = 20;
  end.ChunkPattern = {3};
  end.Width = 160;
  end.Height = 112;
  end.AudioCoding = kCoding189Mono;
  end.AudioChannel = 0;
  end.Interleave = 16;
  end.AudioPhase = 5;
  end.Bitstream = [&](int) {
    return test::EncodeLevels(test::RandomLevels(160, 112, random), 3, 2);
  };
  test::StrBuilder music(2352, false);
  for (int i = 0; i < 64; i++) music.AddAudio(i % 2, kCoding189Stereo, uint8_t(i));

  test::DiscBuilder disc;
  const std::string cnf = "BOOT = cdrom:\\SLPS_000.00;1\r\nTCB = 4\r\n";
  disc.AddDataFile("/SYSTEM.CNF", {cnf.begin(), cnf.end()});
  disc.AddSectorFile("/MOVIE/OPEN.STR", test::SectorImagesOf(test::BuildMovie(open)));
  disc.AddSectorFile("/MOVIE/END.STR", test::SectorImagesOf(test::BuildMovie(end)));
  disc.AddSectorFile("/SOUND/MUSIC.XA", test::SectorImagesOf(music));
  disc.SetTrailingSectors(8);

  auto raw = disc.RawBytes();
  for (size_t at = 0; at < raw.size(); at += kRawSectorSize)
    SealRawSector(&raw[at], int32_t(at / kRawSectorSize) + kFirstDataAddress, true);
  const std::filesystem::path bin = argv[1];
  test::WriteFileBytes(bin.string(), raw);
  const std::string cue = test::DiscBuilder::CueText(bin.filename().string());
  std::filesystem::path cuePath = bin;
  cuePath.replace_extension(".cue");
  test::WriteFileBytes(cuePath.string(), {cue.begin(), cue.end()});
  return 0;
}
