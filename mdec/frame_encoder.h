// Encoding a picture into the current frame, in the sectors it occupies:
// the quantizer scale is searched until the frame fits.
#pragma once

#include <cstdint>
#include <vector>

#include "mdec/codec.h"
#include "media/bmp_io.h"
#include "str/str_document.h"

namespace belmora {

// How encoded frames are numbered; set up by the AVI-to-STR conversion and
// applied by every later encoding.
struct FrameNumbering {
  bool Renumber = false;
  int32_t NextNumber = 0;
  int32_t WrapNumber = 0;
  int32_t NumberLimit = 0;
};

// What an encoding chose, for callers that report it.
struct EncodeResult {
  int Scale = 0;
  int Bytes = 0;            // bitstream length, header included
  std::vector<int> Trials;  // scales tried, in order
};

inline constexpr const char* kMsgEncoderNoMemory = "メモリが確保できません。";
inline constexpr const char* kMsgNoScaleFits =
    "量子化スケールを最大にしても、フレームの領域に収まりません。";
inline constexpr int kTrialBufferSize = 41984;

// Encodes `picture` into the current frame: on success FrameBuffer and
// ChunkHeader hold the new frame; nothing is written to the file. On
// failure the frame, its buffer and header are unchanged.
int EncodeFrame(MdecCodec& codec, StrDocument& doc, const TBmpIo& picture,
                FrameNumbering& numbering, EncodeResult* result = nullptr);
// EncodeFrame, WriteFrame, and a fresh decode into the picture.
int EncodeAndStoreFrame(MdecCodec& codec, StrDocument& doc, const TBmpIo& picture,
                        FrameNumbering& numbering, EncodeResult* result = nullptr);

}  // namespace belmora
