// A small picture of a movie for file managers: the frame of its first
// second that shows the most (the least flat, so not the black one a fade
// begins with), scaled to fit a square.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/status.h"

namespace belmora {

// Files larger than this are not opened: opening reads the whole file to
// find its movies, and a thumbnail must come quickly.
inline constexpr int64_t kThumbnailMaxFileBytes = int64_t(512) << 20;
// The largest square asked for.
inline constexpr int kThumbnailMaxSize = 1024;

struct Thumbnail {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgb;  // red, green, blue; top row first, no padding
};

// The thumbnail of the movie in the file at `path` (its first movie), its
// longer side `size` pixels. kFailed (reported to `host`, naming the file)
// when the file is too large, cannot be opened, has no picture or none of
// the frames of its first second decodes.
Result<Thumbnail> MakeThumbnail(const std::string& path, int size, Host& host);

// Area-averaged scaling of a blue-green-red picture (`stride` bytes a row)
// to `width` x `height`, as red-green-blue.
std::vector<uint8_t> ScaledRgb(const uint8_t* bgr, int srcWidth, int srcHeight, size_t stride,
                               int width, int height);

}  // namespace belmora
