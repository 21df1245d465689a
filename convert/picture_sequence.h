// A numbered picture sequence (frames/%04d.png) looked over before it is
// read: every number from the first to the last present, and no picture
// larger than a frame can be.
#pragma once

#include <string>

#include "base/host.h"

namespace belmora {

struct SequenceProblem {
  enum Kind { kNone, kMissing, kTooLarge } What = kNone;
  std::string File;  // the first missing picture, or the one too large
  int Width = 0, Height = 0;
};

// Looks at the folder and at each picture's header (PNG and BMP; others are
// left to their decoder), nothing more.
SequenceProblem CheckPictureSequence(const std::string& pattern, int maxDimension);

// Reports (and returns true) when `path` is a picture sequence with a
// picture missing or too large for a frame.
bool RefuseBadSequence(Host& host, const std::string& path);

}  // namespace belmora
