// The decoded picture: a 40-byte BITMAPINFOHEADER (negative height, rows top
// down) and 24-bit blue-green-red pixels, its size padded to 16.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/frame_view.h"

namespace belmora {

struct FrameImage {
  std::array<uint8_t, 40> Header{};
  std::vector<uint8_t> Pixels;
  int Width = 0;   // padded width
  int Height = 0;  // padded height

  // Sets the header for the size; reallocates and clears the pixels.
  void LayOut(int paddedWidth, int paddedHeight);
  void SetHeader(int paddedWidth, int paddedHeight);
  int Stride() const { return Width * 3; }
  // The picture as shown: the left half of each row with `halfWidth`.
  FrameView View(bool halfWidth) const {
    return {Pixels.data(), halfWidth ? Width / 2 : Width, Height, Stride()};
  }
};

}  // namespace belmora
