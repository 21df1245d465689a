// Frame walking over a whole file: the cost of the sector scans.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "str/str_document.h"
#include "tests/support/str_builder.h"

namespace {

void BM_ReadFrameWalk(benchmark::State& state) {
  belmora::test::MovieRecipe m;
  m.Frames = 600;
  m.ChunkPattern = {9, 9, 9, 8};
  m.AudioCoding = belmora::kCoding378Stereo;
  std::string path = belmora::test::TempPath("bench.str");
  belmora::test::BuildMovie(m).Write(path);
  belmora::CollectingHost sink;
  belmora::StrDocument doc(sink);
  if (belmora::OpenStrFile(doc, path, true) != 0) state.SkipWithError("open failed");
  int frames = 0;
  for (auto _ : state) {
    doc.CurrentSector = 0;
    while (belmora::ReadFrame(doc) == 0) {
      doc.CurrentSector = doc.NextSector;
      frames++;
    }
  }
  state.SetItemsProcessed(frames);
  belmora::CloseStrFile(doc);
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadFrameWalk)->Unit(benchmark::kMillisecond);

}  // namespace
