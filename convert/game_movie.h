// The frames and sound of game movie layouts, read from and written into
// the user data of their own sectors: each format's layout with its codecs.
// The callers hand in the sectors of one frame; nothing here opens a file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mdec/variants.h"
#include "str/layouts/movie_layout.h"
#include "xa/spu_adpcm.h"

namespace belmora {

// The codec of the layout's frames.
const BitstreamCodec& CodecOf(const MovieLayout& layout);

// Decodes the frame whose video sectors (user data, in any order) are
// given, at the picture size their chunk headers give. -1 when they are not
// the video sectors of one frame of the format, or the frame does not decode.
int DecodeGameFrame(MdecCodec& codec, const MovieLayout& layout,
                    std::span<const std::span<const uint8_t>> videoSectors, bool halfWidth,
                    FrameImage& image);

enum class GameWrite { kOk, kNotAFrame, kReadOnly, kNoFit, kNoMemory };
struct GameFrameWrite {
  GameWrite Result = GameWrite::kNotAFrame;
  int Scale = 0;   // the quantizer scale chosen
  int Length = 0;  // bytes of the new frame
};
// Encodes `picture` (blue-green-red, covering the padded frame) in the
// format's own coding into the frame's own sectors, keeping what the format
// keeps (camera data, unknown fields, the frame's version); the sectors are
// changed only when everything fits.
GameFrameWrite ReplaceGameFrame(MdecCodec& codec, const MovieLayout& layout,
                                std::span<const std::span<uint8_t>> videoSectors,
                                const FrameView& picture);

// The SPU-ADPCM sound of one sound sector into `samples` (appended); its
// rate in Hz, or 0 when the sector holds no sound. `history` runs on from
// the channel's previous sector.
int DecodeGameSound(const MovieLayout& layout, std::span<const uint8_t> soundSector,
                    SpuAdpcmHistory& history, std::vector<int16_t>& samples);
// Encodes samples into the sector's units in place (as many as it holds:
// Size / 16 x 28); false, the sector unchanged, when it holds no sound or
// too few samples are given.
bool ReplaceGameSound(const MovieLayout& layout, std::span<uint8_t> soundSector, SpuAdpcmHistory& history,
                      std::span<const int16_t> samples);

}  // namespace belmora
