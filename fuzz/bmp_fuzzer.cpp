// A BMP file read as the BMP import reads it, then every pixel fetched with
// GetPixel and the frame area with ReadFramePixels, which must give what
// GetPixel gives pixel by pixel. The input starts with the image offsets
// (signed 16-bit each) and the frame's size in macroblocks (a byte each,
// 1 .. 64); the rest is the file.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "media/bmp_io.h"

using namespace belmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::InputFile file;
  fuzz::FieldReader in(data, size);
  const int xOffset = int16_t(in.U16());
  const int yOffset = int16_t(in.U16());
  const int width = 16 * (in.U8() % 64 + 1);
  const int height = 16 * (in.U8() % 64 + 1);
  file.Set(in.Rest(), in.RestSize());

  fuzz::QuietHost host;
  TBmpIo bmp;
  if (bmp.ReadBmp(file.Path(), host) != 0) {
    FUZZ_CHECK(host.messages > 0);
    return 0;
  }
  FUZZ_CHECK(bmp.Header.Width > 0 && bmp.Stride() > 0);

  // Every pixel of the picture, and a border of one pixel around it.
  uint8_t px[4];
  unsigned sum = 0;
  for (int64_t y = -1; y <= int64_t(bmp.Rows()); y++) {
    for (int64_t x = -1; x <= int64_t(bmp.Header.Width); x++) {
      bmp.GetPixel(int(x), int(y), px);
      const bool inside = x >= 0 && y >= 0 && x < bmp.Header.Width && y < bmp.Rows();
      if (!inside) FUZZ_CHECK(px[0] == 0 && px[1] == 0 && px[2] == 0 && px[3] == 0);
      sum += px[0] + px[1] + px[2] + px[3];
    }
  }
  (void)sum;

  bmp.XOffset = xOffset;
  bmp.YOffset = yOffset;
  std::vector<uint8_t> frame(size_t(width) * size_t(height) * 3);
  ReadFramePixels(bmp, width, height, frame.data());
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      bmp.GetPixel(x, y, px);
      FUZZ_CHECK(std::memcmp(&frame[(size_t(y) * size_t(width) + size_t(x)) * 3], px, 3) == 0);
    }
  }
  return 0;
}
