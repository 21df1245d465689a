// Frame encoding: a natural-looking 320 x 240 picture into a 10-chunk frame.
#include <benchmark/benchmark.h>

#include <cstring>

#include "convert/frame_codec.h"
#include "tests/support/mdec_builder.h"

namespace {

using namespace belmora;

void BM_EncodeFrame(benchmark::State& state) {
  const int version = int(state.range(0));
  CollectingHost sink;
  StrDocument doc(sink);
  doc.FrameBuffer.assign(kFrameBufferSize, 0);
  doc.ChunkHeader.Width = 320;
  doc.ChunkHeader.Height = 240;
  doc.ChunkHeader.ChunkCount = 10;
  doc.ValidChunkSectors = 10;
  doc.ChunkHeader.MdecHeader[6] = uint8_t(version);
  FrameCodec codec;
  FrameNumbering numbering;
  auto bgr = test::NaturalPicture(320, 240, 7);
  TBmpIo picture;
  picture.Header.Width = 320;
  picture.Header.Height = 240;
  picture.AllocPixels(sink);
  for (int y = 0; y < 240; y++)
    std::memcpy(&picture.Pixels[size_t(239 - y) * 960], &bgr[size_t(y) * 960], 960);
  EncodeResult result;
  for (auto _ : state) {
    if (EncodeFrame(codec, doc, picture, numbering, &result) != 0) state.SkipWithError("failed");
    doc.ChunkHeader.MdecHeader[6] = uint8_t(version);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("scale " + std::to_string(result.Scale) + ", " +
                 std::to_string(result.Trials.size()) + " trials");
}
BENCHMARK(BM_EncodeFrame)->ArgName("version")->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
