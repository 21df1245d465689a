// The picture holder: an uncompressed device-independent bitmap with an
// image offset, filled from a BMP file, from a decoded video frame, or blank.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "base/messages.h"

namespace belmora {

struct BitmapInfoHeader {
  uint32_t Size = 40;
  int32_t Width = 1;
  int32_t Height = 1;  // positive: rows stored bottom-up
  uint16_t Planes = 1;
  uint16_t BitCount = 24;
  uint32_t Compression = 0;
  uint32_t ImageSize = 4;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ColorsUsed = 0;
  uint32_t ColorsImportant = 0;

  static BitmapInfoHeader Parse(const uint8_t* p);
  void Store(uint8_t* p) const;
};

inline constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;
// The largest width or height of a BMP the holder takes.
inline constexpr int32_t kMaxBmpDimension = 32768;


class TBmpIo {
 public:
  BitmapInfoHeader Header;
  std::array<std::array<uint8_t, 4>, 256> Palette{};  // blue, green, red, reserved
  std::vector<uint8_t> Pixels;
  int32_t XOffset = 0;
  int32_t YOffset = 0;
  // Channel masks of bit-field pictures as stored (red, green, blue); zero
  // when the picture has none.
  std::array<uint32_t, 3> Masks{};

  int ReadBmp(const std::string& path, Host& host);
  // Takes a DIB header followed by its palette (at most 256 entries).
  int CopyDibHeader(const uint8_t* dib);
  // A black picture of the size and bit count set in Header.
  int AllocPixels(Host& host);
  // The colour of frame pixel (x, y): blue, green, red, and (for palette
  // pictures) the palette's fourth byte. Outside the picture: black.
  void GetPixel(int x, int y, uint8_t out[4]) const;

  int32_t Stride() const;
  int32_t Rows() const {
    const int64_t h = Header.Height;
    return int32_t(std::min<int64_t>(h < 0 ? -h : h, INT32_MAX));
  }
  bool TopDown() const { return Header.Height < 0; }
};

// The frame's padded area as 24-bit BGR, top row first, exactly as GetPixel
// gives it pixel by pixel (the fourth byte is dropped).
void ReadFramePixels(const TBmpIo& bmp, int width, int height, uint8_t* bgr);

}  // namespace belmora
