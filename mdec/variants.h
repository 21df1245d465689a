// The bitstream variants some games use for their frames, as codecs chosen
// once per movie. Every variant shares the quantization, the transforms and
// the colour conversion of MdecCodec; only the frame header and the way the
// levels are coded differ:
// - standard: versions 2 and 3 (MdecCodec's own paths, untouched);
// - version 1: a version-2 bitstream whose header says 1, written back as 1;
//   40 bytes in front of the header (camera data) are kept on re-encoding;
// - Lain: one quantizer scale for luma and one for chroma in the header, its
//   own run/level code table, bits read from a big-endian byte stream, the
//   escape level in 8 or 16 bits;
// - iki: the quantizer scale and DC level of every block in a compressed
//   table at the start of the frame, the AC codes as in version 2.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/codings.h"
#include "mdec/codec.h"

namespace belmora {

// The codings are named once, beside the layouts that use them.
using BitstreamKind = FrameCoding;

class BitstreamCodec {
 public:
  virtual ~BitstreamCodec() = default;
  virtual BitstreamKind Kind() const = 0;
  virtual const char* Name() const = 0;
  // Decodes `frame` (the frame's bytes as its chunks hold them) of width x
  // height pixels into `image`; -1 when the frame is not decodable.
  [[nodiscard]] virtual int Decode(MdecCodec& codec, std::span<const uint8_t> frame, int width,
                                   int height, bool halfWidth, FrameImage& image) const = 0;
  // Encodes `picture` into fewer than request.Capacity bytes. `replaced` is
  // the frame being replaced (may be empty): the bytes the variant keeps
  // come from it. out.Bytes holds out.Length bytes.
  [[nodiscard]] virtual EncodeStatus Encode(MdecCodec& codec, const FrameView& picture,
                                            const EncodeRequest& request,
                                            std::span<const uint8_t> replaced,
                                            EncodedFrame& out) const = 0;
};

const BitstreamCodec& BitstreamCodecFor(BitstreamKind kind);

// The highest quantizer scale an MDEC code can carry (6 bits).
inline constexpr int kMaxBlockScale = 63;

// Lain's frame: header fields, and its level codes (for tests and tools).
struct LainFrameHeader {
  uint8_t LumaScale = 0;
  uint8_t ChromaScale = 0;
  uint16_t Magic = kMdecMagic;  // the last movie keeps its frame number here
  uint16_t CodeCount = 0;
  uint16_t Version = 0;
};

// The iki table of block codes: the compressed form and its expansion.
// Expand gives false when the data runs out or refers before its start.
bool IkiExpand(std::span<const uint8_t> compressed, size_t expandedSize,
               std::vector<uint8_t>& expanded, size_t* consumed = nullptr);
std::vector<uint8_t> IkiCompress(std::span<const uint8_t> data);

// Decodes a frame's levels without the transforms: for each macroblock in
// bitstream order, six blocks of zigzag levels and their scales. For tests
// of the bit-level layouts.
struct DecodedLevels {
  std::vector<std::array<std::array<int16_t, 64>, 6>> Levels;
  std::vector<std::array<int, 6>> Scales;
};
bool DecodeVariantLevels(BitstreamKind kind, std::span<const uint8_t> frame, int macroblocks,
                         DecodedLevels& out);

}  // namespace belmora
