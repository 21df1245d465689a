// A picture to show or encode, borrowed from whoever holds it.
#pragma once

#include <cstdint>

namespace belmora {

// Blue-green-red, top row first.
struct FrameView {
  const uint8_t* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
  int Stride = 0;  // bytes per row
};

}  // namespace belmora
