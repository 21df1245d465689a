// Saving the decoded picture as a BMP file, as the frame export writes it.
#pragma once

#include <string>
#include <vector>

#include "base/host.h"
#include "base/status.h"
#include "convert/fit_report.h"
#include "convert/frame_codec.h"

namespace belmora {

// The BMP bytes of the picture as shown: padded size, half the width with
// `halfWidth`, 24 bits, bottom row first.
std::vector<uint8_t> FrameBmpBytes(const FrameImage& image, bool halfWidth);

// Writes FrameBmpBytes of the picture as shown to `path`; kFailed (reported)
// when the file cannot be created or written.
Status SaveFrameBmp(const FrameCodec& codec, const std::string& path, Host& host);

// Where imported pictures are placed: the main window's image offsets, the
// position dialog's values negated (frame pixel (x, y) takes picture pixel
// (x + ImageOffsetX, y + ImageOffsetY)).
struct ImagePosition {
  int32_t ImageOffsetX = 0;
  int32_t ImageOffsetY = 0;
  static ImagePosition FromDialog(int de, int ate) { return {-de, -ate}; }
};

// Encodes the BMP at `path` into the current frame in place, under a
// rollback journal, and decodes the result into the picture. kFailed when
// the BMP cannot be read, the frame cannot be encoded or written (each
// reported where found; the file is then as it was). With `fit` the frame
// is encoded and noted through it (and `result` is not filled).
Status ImportFrameBmp(FrameCodec& codec, StrDocument& doc, FrameNumbering& numbering,
                      const std::string& path, const ImagePosition& position,
                      EncodeResult* result = nullptr, FrameFitter* fit = nullptr);

}  // namespace belmora
