// Sector checksums: EDC of a Form 1 sector (2056 bytes) and its P/Q ECC,
// table-driven and reference versions; one item is one sector.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "str/cd_sector.h"

namespace {

std::vector<uint8_t> RandomSector() {
  std::mt19937 rng(1);
  std::vector<uint8_t> b(belmora::kRawSectorSize);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

template <uint32_t (*Edc)(const uint8_t*, size_t)>
void BM_Edc(benchmark::State& state) {
  auto sector = RandomSector();
  for (auto _ : state) benchmark::DoNotOptimize(Edc(sector.data() + 16, belmora::kForm1EdcOffset));
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * belmora::kForm1EdcOffset);
}
BENCHMARK(BM_Edc<belmora::ComputeEdc>)->Name("BM_EdcFast");
BENCHMARK(BM_Edc<belmora::ComputeEdcReference>)->Name("BM_EdcReference");

template <void (*Ecc)(const uint8_t*, const uint8_t*, uint8_t*)>
void BM_Ecc(benchmark::State& state) {
  auto sector = RandomSector();
  const uint8_t header[4] = {};
  uint8_t parity[belmora::kEccSize];
  for (auto _ : state) {
    Ecc(header, sector.data() + 16, parity);
    benchmark::DoNotOptimize(parity);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Ecc<belmora::ComputeEcc>)->Name("BM_EccFast");
BENCHMARK(BM_Ecc<belmora::ComputeEccReference>)->Name("BM_EccReference");

// Sealing a raw Form 1 sector: sync, header, EDC and ECC together.
void BM_SealForm1Sector(benchmark::State& state) {
  auto sector = RandomSector();
  sector[18] = 0x48;
  for (auto _ : state) {
    belmora::SealRawSector(sector.data(), 150, true);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SealForm1Sector);

}  // namespace
