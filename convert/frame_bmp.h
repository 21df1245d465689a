// Saving the decoded picture as a BMP file, as the frame export writes it.
#pragma once

#include <string>
#include <vector>

#include "mdec/codec.h"
#include "platform/message_sink.h"

namespace belmora {

inline constexpr const char* kMsgCannotCreateFile = "ファイルがオープンできません。";

// The BMP bytes of the picture as shown: padded size, half the width with
// `halfWidth`, 24 bits, bottom row first.
std::vector<uint8_t> FrameBmpBytes(const FrameImage& image, bool halfWidth);

// Writes FrameBmpBytes to `path`; reports a file that cannot be created.
int SaveFrameBmp(const MdecCodec& codec, const std::string& path, MessageSink& sink);

}  // namespace belmora
