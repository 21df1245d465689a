// The best-quality encoder: its kernels in the reference and the fast
// variant, and whole frames.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "mdec/best_encoder.h"
#include "tests/support/mdec_builder.h"

namespace {

using namespace belmora;

// The luma blocks of a natural-looking picture, as samples in sixteenths
// of a level less 128, and their coefficients.
struct Blocks {
  std::vector<std::array<int16_t, 64>> Samples, Coefs;
  Blocks() {
    auto bgr = test::NaturalPicture(320, 240, 3);
    for (int y0 = 0; y0 < 240; y0 += 8)
      for (int x0 = 0; x0 < 320; x0 += 8) {
        std::array<int16_t, 64> s{}, c{};
        for (int i = 0; i < 8; i++)
          for (int j = 0; j < 8; j++) {
            const uint8_t* p = &bgr[(size_t(y0 + i) * 320 + size_t(x0 + j)) * 3];
            s[size_t(i * 8 + j)] = int16_t(16 * (0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]) - 2048);
          }
        BestForwardDctReference(s.data(), c.data());
        Samples.push_back(s);
        Coefs.push_back(c);
      }
  }
};
const Blocks& TestBlocks() {
  static const Blocks b;
  return b;
}

void BM_BestForwardDct(benchmark::State& state) {
  const auto& blocks = TestBlocks().Samples;
  const auto dct = state.range(0) ? BestForwardDctFast : BestForwardDctReference;
  alignas(16) int16_t out[64];
  size_t i = 0;
  for (auto _ : state) {
    dct(blocks[i].data(), out);
    benchmark::DoNotOptimize(out);
    i = (i + 1) % blocks.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BestForwardDct)->ArgName("fast")->Arg(0)->Arg(1);

// One block's rate-distortion choice at scale 2 and a typical multiplier;
// the fast variant includes preparing the candidates.
void BM_RdQuantizeBlock(benchmark::State& state) {
  const auto& blocks = TestBlocks().Coefs;
  const RdScale scale(int(state.range(1)));
  const int64_t lambda = 740 * state.range(1) * state.range(1);
  int16_t levels[64];
  RdCandidate candidates[63];
  size_t i = 0;
  for (auto _ : state) {
    RdBlockOutcome o;
    if (state.range(0)) {
      int64_t zero;
      const int n = RdPrepareBlock(blocks[i].data(), scale, candidates, zero);
      o = RdQuantizeBlockFast(candidates, n, zero, lambda, 16, levels);
    } else {
      o = RdQuantizeBlockReference(blocks[i].data(), scale, lambda, 16, levels);
    }
    benchmark::DoNotOptimize(o);
    i = (i + 1) % blocks.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RdQuantizeBlock)
    ->ArgNames({"fast", "scale"})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Args({1, 4});

// A whole 320 x 240 frame into `chunks` chunks (9: double speed, 4: single
// speed), as the AVI conversion does frame after frame.
void BM_BestEncodeFrame(benchmark::State& state) {
  const int version = int(state.range(0)), chunks = int(state.range(1));
  std::vector<std::vector<uint8_t>> pictures;
  for (int seed = 0; seed < 4; seed++) pictures.push_back(test::NaturalPicture(320, 240, seed));
  BestEncoder encoder;
  EncodedFrame out;
  size_t i = 0;
  for (auto _ : state) {
    const FrameView view{pictures[i].data(), 320, 240, 960};
    if (encoder.EncodeFrame(view, {320, 240, version, chunks * 2016}, out) != EncodeStatus::kOk)
      state.SkipWithError("failed");
    i = (i + 1) % pictures.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("scale " + std::to_string(out.Scale) + ", " + std::to_string(out.Length) +
                 " bytes");
}
BENCHMARK(BM_BestEncodeFrame)
    ->ArgNames({"version", "chunks"})
    ->Args({2, 9})
    ->Args({3, 9})
    ->Args({2, 4})
    ->Unit(benchmark::kMillisecond);

}  // namespace
