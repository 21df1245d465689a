#include "xa/spu_adpcm.h"

#include <algorithm>
#include <limits>

namespace belmora {

namespace {

// The filter coefficients in units of 1/64 (0, 0.9375, 1.796875, 1.53125,
// 1.90625 for the last sample; 0, 0, -0.8125, -0.859375, -0.9375 for the one
// before). Filter numbers past the table predict nothing.
constexpr int32_t kK0[kSpuFilters] = {0, 60, 115, 98, 122};
constexpr int32_t kK1[kSpuFilters] = {0, 0, -52, -55, -60};

inline int32_t Predict(int filter, int32_t s1, int32_t s2) {
  return (kK0[filter] * s1 + kK1[filter] * s2 + 32) >> 6;
}

inline int32_t Clamp16(int32_t v) { return std::clamp(v, -32768, 32767); }

inline int Nibble(const uint8_t* unit, int k) {
  const uint8_t byte = unit[2 + k / 2];
  const int n = k % 2 == 0 ? byte & 0x0F : byte >> 4;
  return n >= 8 ? n - 16 : n;
}

}  // namespace

void SpuAdpcmDecode(SpuAdpcmHistory& h, const uint8_t* units, int count, int16_t* samples) {
  for (int u = 0; u < count; u++) {
    const uint8_t* unit = units + u * kSpuUnitSize;
    const int range = unit[0] & 0x0F;
    int filter = unit[0] >> 4;
    if (filter >= kSpuFilters) filter = 0;
    for (int k = 0; k < kSpuSamplesPerUnit; k++) {
      // The nibble at the top of a 16-bit value, shifted down by the range.
      const int32_t shifted = int32_t(int16_t(uint16_t(Nibble(unit, k) * 4096))) >> range;
      const int32_t v = Clamp16(shifted + Predict(filter, h.S1, h.S2));
      h.S2 = h.S1;
      h.S1 = v;
      *samples++ = int16_t(v);
    }
  }
}

void SpuAdpcmEncode(SpuAdpcmHistory& h, const int16_t* samples, int count, uint8_t* units) {
  for (int u = 0; u < count; u++, samples += kSpuSamplesPerUnit) {
    uint8_t* unit = units + u * kSpuUnitSize;
    int64_t bestError = std::numeric_limits<int64_t>::max();
    int bestFilter = 0, bestRange = 0;
    int8_t bestNibbles[kSpuSamplesPerUnit] = {};
    SpuAdpcmHistory bestHistory = h;
    for (int filter = 0; filter < kSpuFilters; filter++) {
      for (int range = 0; range <= 12; range++) {
        const int shift = 12 - range;
        SpuAdpcmHistory t = h;
        int8_t nibbles[kSpuSamplesPerUnit];
        int64_t error = 0;
        for (int k = 0; k < kSpuSamplesPerUnit && error < bestError; k++) {
          const int32_t p = Predict(filter, t.S1, t.S2);
          const int32_t e = int32_t(samples[k]) - p;
          const int32_t n = std::clamp((e + ((1 << shift) >> 1)) >> shift, -8, 7);
          const int32_t v = Clamp16((n << shift) + p);
          error += int64_t(v - samples[k]) * (v - samples[k]);
          nibbles[k] = int8_t(n);
          t.S2 = t.S1;
          t.S1 = v;
        }
        if (error < bestError) {
          bestError = error;
          bestFilter = filter;
          bestRange = range;
          std::copy(nibbles, nibbles + kSpuSamplesPerUnit, bestNibbles);
          bestHistory = t;
        }
      }
    }
    unit[0] = uint8_t(bestFilter << 4 | bestRange);
    for (int k = 0; k < kSpuSamplesPerUnit; k += 2)
      unit[2 + k / 2] = uint8_t((bestNibbles[k] & 0x0F) | (bestNibbles[k + 1] & 0x0F) << 4);
    h = bestHistory;
  }
}

void Ff8SoundDecode(SpuAdpcmHistory history[2], const uint8_t* left, const uint8_t* right,
                    int16_t* interleaved) {
  int16_t channel[kFf8SoundSamples];
  const uint8_t* sectors[2] = {left, right};
  for (int c = 0; c < 2; c++) {
    SpuAdpcmDecode(history[c], sectors[c] + kFf8SoundOffset, kFf8SoundUnits, channel);
    for (int i = 0; i < kFf8SoundSamples; i++) interleaved[2 * i + c] = channel[i];
  }
}

void Ff8SoundEncode(SpuAdpcmHistory history[2], const int16_t* interleaved, uint8_t* left,
                    uint8_t* right) {
  int16_t channel[kFf8SoundSamples];
  uint8_t* sectors[2] = {left, right};
  for (int c = 0; c < 2; c++) {
    for (int i = 0; i < kFf8SoundSamples; i++) channel[i] = interleaved[2 * i + c];
    SpuAdpcmEncode(history[c], channel, kFf8SoundUnits, sectors[c] + kFf8SoundOffset);
  }
}

}  // namespace belmora
