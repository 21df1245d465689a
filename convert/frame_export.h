// Every frame of a range written as a numbered picture (000000.png, ...),
// for editing in other tools and importing back as a sequence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/status.h"
#include "convert/frame_codec.h"
#include "str/str_document.h"

namespace belmora {

enum class PictureFormat { kPng, kBmp };

struct FrameExportOptions {
  std::string Dir;
  PictureFormat Format = PictureFormat::kPng;
  int32_t FirstSector = 0;
  int32_t LastSector = -1;  // -1: to the last frame
  // Pictures already in the folder under the names to be written are
  // replaced only when asked; none of `Inputs` is ever written over.
  bool Overwrite = false;
  std::vector<std::string> Inputs;
};

// The name of picture `index` in the folder ("%06d" and the format's extension).
std::string FramePictureName(int index, PictureFormat format);

// The number of pictures written; a user's stop keeps those written.
Result<int> ExportFrames(StrDocument& doc, FrameCodec& codec, const FrameExportOptions& options,
                         Host& host);

}  // namespace belmora
