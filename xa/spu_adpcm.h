// SPU-ADPCM, the sound chip's own ADPCM, as some movies carry it: 16-byte
// sound units (a parameter byte, a flag byte, 14 bytes of 4-bit samples,
// low nibble first) of 28 samples each, with five prediction filters.
// Final Fantasy VIII and its kin put a channel's units in one sector each:
// the left channel's sector then the right channel's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace belmora {

inline constexpr int kSpuUnitSize = 16;
inline constexpr int kSpuSamplesPerUnit = 28;
inline constexpr int kSpuFilters = 5;

// The last two samples of a channel; zero at the start of a stream.
struct SpuAdpcmHistory {
  int32_t S1 = 0;
  int32_t S2 = 0;
};

// Decodes `count` units into count x 28 samples.
void SpuAdpcmDecode(SpuAdpcmHistory& history, const uint8_t* units, int count, int16_t* samples);
// Encodes count x 28 samples into `count` units, choosing for each unit the
// filter and range of least squared error. The flag byte of each unit is
// left as it is.
void SpuAdpcmEncode(SpuAdpcmHistory& history, const int16_t* samples, int count,
                    uint8_t* units);

// Final Fantasy VIII's movie sound: 105 units (1680 bytes) at byte 368 of
// each sound sector's 2048 bytes of user data, 2940 samples of one channel
// at 44100 Hz.
inline constexpr int kFf8SoundOffset = 368;
inline constexpr int kFf8SoundUnits = 105;
inline constexpr int kFf8SoundRate = 44100;
inline constexpr int kFf8SoundSamples = kFf8SoundUnits * kSpuSamplesPerUnit;

// A frame's two sound sectors (user data) into 2940 interleaved left/right
// frames; and back, keeping everything in the sectors but the units' own
// bytes.
void Ff8SoundDecode(SpuAdpcmHistory history[2], const uint8_t* leftSector,
                    const uint8_t* rightSector, int16_t* interleaved);
void Ff8SoundEncode(SpuAdpcmHistory history[2], const int16_t* interleaved, uint8_t* leftSector,
                    uint8_t* rightSector);

}  // namespace belmora
