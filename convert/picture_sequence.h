// A numbered picture sequence (frames/%04d.png) looked over before it is
// read: every number from the first to the last present, and no picture
// larger than a frame can be.
#pragma once

#include <string>

#include "base/host.h"
#include "base/input_file.h"

namespace belmora {

struct SequenceProblem {
  // kTooLarge: a picture larger than a frame (Width x Height); kUnreadable:
  // a file that is not a regular file, or larger than kMaxPictureBytes
  // (Read says which).
  enum Kind { kNone, kMissing, kTooLarge, kUnreadable } What = kNone;
  std::string File;  // the first missing picture, or the one refused
  int Width = 0, Height = 0;
  InputStatus Read;
};

// Looks at the folder, at each picture's size and at its header (PNG and
// BMP; others are left to their decoder), nothing more.
SequenceProblem CheckPictureSequence(const std::string& pattern, int maxDimension);

// Reports (and returns true) when `path` is a picture sequence with a
// picture missing or too large for a frame.
bool RefuseBadSequence(Host& host, const std::string& path);

}  // namespace belmora
