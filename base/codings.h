// How a movie's pictures and sound are coded: the codecs that exist, named
// here so that the layouts that use them and the codecs that read them
// share one vocabulary without knowing each other.
#pragma once

namespace belmora {

// The bitstream a frame's bytes are coded in; the MDEC codec has a variant
// for each.
enum class FrameCoding {
  kStandard,  // MDEC versions 2 and 3
  kVersion1,  // a version-2 bitstream whose header says 1
  kLain,      // Serial Experiments Lain's own code table and header
  kIki,       // per-block scales and DC levels in a compressed table
};

// The sound a movie's sound sectors carry.
enum class SoundCoding { kNone, kXaAdpcm, kSpuAdpcm };

}  // namespace belmora
