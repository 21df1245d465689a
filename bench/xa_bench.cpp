// XA ADPCM: sectors decoded and encoded per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "str/sector.h"
#include "tests/support/audio.h"
#include "xa/xa_codec.h"

namespace {

using namespace belmora;

std::vector<uint8_t> EncodedSector(int coding) {
  auto sound = test::MakeSignal(test::Signal::kSpeechLike, 4032, 37800, 12000);
  test::ArraySource source(sound, sound);
  XaEncoderState enc;
  XaEncodeSetup(enc, source, 37800, IsStereo(coding) ? 2 : 1);
  std::vector<uint8_t> image(kSectorImageSize, 0);
  image[3] = uint8_t(coding);
  XaEncodeSector(enc, image.data());
  return image;
}

void BM_XaDecodeSector(benchmark::State& state) {
  int coding = int(state.range(0));
  int rate = int(state.range(1));
  auto image = EncodedSector(coding);
  XaDecoderState dec;
  XaSetOutputFormat(dec, rate == 0 ? (IsHalfRate(coding) ? 18900 : 37800) : rate, 2, 16);
  std::vector<uint8_t> out(XaMaxOutputBytes(dec));
  for (auto _ : state) {
    int32_t n;
    XaDecodeSector(dec, image.data(), out.data(), n);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());  // sectors
}
BENCHMARK(BM_XaDecodeSector)
    ->ArgNames({"coding", "rate"})
    ->Args({kCoding378Stereo, 0})
    ->Args({kCoding378Stereo, 44100})
    ->Args({kCoding378Mono, 0})
    ->Args({kCoding189Mono, 44100});

void BM_XaEncodeSector(benchmark::State& state) {
  int channels = int(state.range(0));
  auto sound = test::MakeSignal(test::Signal::kSpeechLike, 1 << 20, 37800, 12000);
  XaEncoderState enc;
  std::vector<uint8_t> image(kSectorImageSize, 0);
  // A source that loops over the signal, so that every sector has sound.
  struct Loop : SamplePairSource {
    const std::vector<int16_t>* s;
    size_t at = 0;
    int NextSample(int16_t& l, int16_t& r) override {
      l = (*s)[at];
      r = (*s)[(at + 999) % s->size()];
      at = (at + 1) % s->size();
      return 0;
    }
    void SetTargetRate(int) override {}
  } loop;
  loop.s = &sound;
  XaEncodeSetup(enc, loop, 37800, channels);
  for (auto _ : state) {
    XaEncodeSector(enc, image.data());
    benchmark::DoNotOptimize(image.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_XaEncodeSector)->ArgName("channels")->Arg(2)->Arg(1);

}  // namespace
