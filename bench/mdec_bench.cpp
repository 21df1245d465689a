// MDEC decoding: whole frames, the VLC decode alone, and each transform.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "convert/frame_codec.h"
#include "mdec/colour.h"
#include "str/str_document.h"
#include "tests/support/mdec_builder.h"

namespace {

using namespace belmora;

// A 320 x 240 frame: detail 6 is a typical picture, 24 a very detailed one.
std::vector<uint8_t> Frame(int detail, int version) {
  std::mt19937 random(5);
  return test::EncodeLevels(test::RandomLevels(320, 240, random, detail), version, 2);
}

void BM_DecodeFrame(benchmark::State& state) {
  CollectingHost sink;
  StrDocument doc(sink);
  FrameCodec codec;
  codec.Codec.Init({(state.range(1) != 0) ? TransformVariant::kPacked : TransformVariant::kScalar});
  auto bits = Frame(int(state.range(0)), 2);
  doc.FrameBuffer.assign(41984, 0);
  std::memcpy(doc.FrameBuffer.data(), bits.data(), std::min(bits.size(), doc.FrameBuffer.size()));
  doc.ChunkHeader.Width = 320;
  doc.ChunkHeader.Height = 240;
  for (auto _ : state) {
    if (DecodeCurrentFrame(codec, doc) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(codec.Image.Pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(bits.size()) + " bytes");
}
BENCHMARK(BM_DecodeFrame)
    ->ArgNames({"detail", "packed"})
    ->Args({6, 1})
    ->Args({24, 1})
    ->Args({6, 0})
    ->Args({24, 0});

void BM_VlcDecodeFrame(benchmark::State& state) {
  MdecCodec codec;
  int version = int(state.range(0));
  auto bits = Frame(12, version);
  bits.resize(bits.size() + 16, 0);
  alignas(16) Blocks6 levels;
  for (auto _ : state) {
    codec.SetVersion(version);
    codec.ResetPredictors();
    int pos = 0;
    for (int mb = 0; mb < 300; mb++)
      pos = codec.DecodeMacroblock(bits.data() + 8, bits.size() - 8, pos, mb == 0, levels);
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(state.iterations() * 300);
}
BENCHMARK(BM_VlcDecodeFrame)->ArgName("version")->Arg(2)->Arg(3);

template <void (*Transform)(int16_t*)>
void BM_Transform(benchmark::State& state) {
  std::mt19937 random(3);
  alignas(16) int16_t blocks[64][64];
  for (auto& b : blocks)
    for (auto& v : b) v = int16_t(int(random() % 512) - 256);
  for (auto _ : state) {
    for (auto& b : blocks) Transform(b);
    benchmark::DoNotOptimize(blocks);
  }
  state.SetItemsProcessed(state.iterations() * 64);
}
void InverseScalar(int16_t* b) {
  InverseTransformScalar(b, false);
}
void InverseScalarHalf(int16_t* b) {
  InverseTransformScalar(b, true);
}
BENCHMARK(BM_Transform<InverseScalar>)->Name("InverseScalar");
BENCHMARK(BM_Transform<InverseScalarHalf>)->Name("InverseScalarHalf");
BENCHMARK(BM_Transform<InverseTransformPackedPortable>)->Name("InversePackedPortable");
BENCHMARK(BM_Transform<ForwardTransformScalar>)->Name("ForwardScalar");
BENCHMARK(BM_Transform<ForwardTransformPackedPortable>)->Name("ForwardPackedPortable");
#if defined(BELMORA_HAVE_SSE2)
BENCHMARK(BM_Transform<InverseTransformPackedSse2>)->Name("InversePackedSse2");
BENCHMARK(BM_Transform<ForwardTransformPackedSse2>)->Name("ForwardPackedSse2");
#endif

// The whole decode of a frame by the plain reference steps (fast 0) and by
// the fast ones (fast 1): the codes, the transforms and the colour.
void BM_DecodeFramePaths(benchmark::State& state) {
  MdecCodec codec;
  codec.Init({TransformVariant::kPacked, state.range(0) != 0});
  auto bits = Frame(6, 2);
  FrameImage image;
  for (auto _ : state) {
    if (codec.DecodeFrame(bits, 320, 240, false, image) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.Pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeFramePaths)->ArgName("fast")->Arg(0)->Arg(1);

// Colour conversion of the 300 macroblocks of a 320 x 240 picture:
// variant 0 plain, 1 SSE2, 2 SSSE3, 3 AVX2 (when the processor has them).
void BM_ColourStore(benchmark::State& state) {
  ColourStore store = StoreMacroblockPlain;
#if defined(BELMORA_HAVE_SSE2)
  if (state.range(0) == 1) store = StoreMacroblockSse2;
  if (state.range(0) == 2) {
    if (!ProcessorHasSsse3()) {
      state.SkipWithError("no SSSE3");
      return;
    }
    store = StoreMacroblockSsse3;
  }
  if (state.range(0) == 3) {
    if (!ProcessorHasAvx2()) {
      state.SkipWithError("no AVX2");
      return;
    }
    store = StoreMacroblockAvx2;
  }
#endif
  std::mt19937 random(9);
  alignas(16) Blocks6 samples;
  for (auto& block : samples)
    for (auto& v : block) v = int16_t(int(random() % 1200) - 600);
  FrameImage image;
  image.LayOut(320, 240);
  for (auto _ : state) {
    for (int c = 0; c < 20; c++)
      for (int r = 0; r < 15; r++) store(samples, image, c, r, false);
    benchmark::DoNotOptimize(image.Pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * 300);
}
BENCHMARK(BM_ColourStore)->ArgName("variant")->Arg(0)->Arg(1)->Arg(2)->Arg(3);

// The encoder's colour conversion of a 320 x 240 picture: variant 0 plain,
// 1 SSE2.
void BM_PictureToSamples(benchmark::State& state) {
  auto convert = PictureToSamplesPlain;
#if defined(BELMORA_HAVE_SSE2)
  if (state.range(0) == 1) convert = PictureToSamplesSse2;
#endif
  std::mt19937 random(11);
  std::vector<uint8_t> picture(320 * 240 * 3);
  for (auto& v : picture) v = uint8_t(random());
  alignas(16) Blocks6 samples;
  for (auto _ : state) {
    for (int c = 0; c < 20; c++)
      for (int r = 0; r < 15; r++) convert(picture.data(), 320 * 3, 16 * c, 16 * r, samples);
    benchmark::DoNotOptimize(samples);
  }
  state.SetItemsProcessed(state.iterations() * 300);
}
BENCHMARK(BM_PictureToSamples)->ArgName("variant")->Arg(0)->Arg(1);

}  // namespace
