// STR files laid out the way games lay them out on their discs: several
// movies interleaved or back to back, a picture size that changes, frames
// that lost a sector or whose chunk header is garbled. 2352-byte sectors,
// double speed, 18.9 kHz stereo sound every 16 sectors of each channel.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/str_builder.h"

namespace belmora::test {

enum class DiscFileKind {
  kClean,          // one movie: 43 frames of 320x240 on video channel 0, sound channel 0
  kInterleaved,    // kClean sector by sector with 43 frames of 256x224 on channel 1 (sound 1)
  kLostSector,     // kClean without the sector of chunk 2 of frame 11
  kBackToBack,     // kClean, then 43 more frames numbered again from 1
  kSizeChange,     // kClean, its frames 21 to 43 at 320x224
  kGarbledHeader,  // kClean with the chunk header of chunk 1 of frame 11 garbled
  kLostFirstChunk,  // kClean without the sector of chunk 0 of frame 11
  kLongGap,         // kClean with 400 sectors of nothing before frame 11
  kStrayChunk,      // kClean with chunk 1 of frame 20 numbered 99
  kStrayFrame,      // kClean with every chunk of frame 20 numbered 99
  kStrayLow,        // kClean with every chunk of frame 20 numbered 3
  kSwappedFrames,   // kClean with the sectors of frames 20 and 21 swapped
};

inline constexpr int kDiscMovieFrames = 43;
inline constexpr int kDamagedFrameNumber = 11;
inline constexpr int kDiscFrameChunks = 4;
// The frame whose number is astray in kStrayChunk, kStrayFrame and kStrayLow.
inline constexpr int kStrayFrameNumber = 20;

// The bitstream of frame `index` (from 0) of a movie of the given size:
// picture-like, within range (so that FFmpeg agrees with it closely), at
// most four chunks long. `seed` tells movies apart.
std::vector<uint8_t> DiscFrameBitstream(int width, int height, int index, int seed);

StrBuilder BuildDiscFile(DiscFileKind kind);

}  // namespace belmora::test
