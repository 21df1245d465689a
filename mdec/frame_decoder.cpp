#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "mdec/codec.h"
#include "str/bytes.h"
#include "str/str_document.h"

namespace belmora {

void FrameImage::SetHeader(int paddedWidth, int paddedHeight) {
  Header.fill(0);
  PutU32(&Header[0], 40);
  PutU32(&Header[4], uint32_t(paddedWidth));
  PutU32(&Header[8], uint32_t(-paddedHeight));
  PutU16(&Header[12], 1);
  PutU16(&Header[14], 24);
  PutU32(&Header[20], uint32_t(paddedWidth * paddedHeight * 3));
}

void FrameImage::LayOut(int paddedWidth, int paddedHeight) {
  Width = paddedWidth;
  Height = paddedHeight;
  SetHeader(paddedWidth, paddedHeight);
  Pixels.assign(size_t(paddedWidth) * size_t(paddedHeight) * 3, 0);
}

void MdecCodec::UseFrameSize(int width, int height) {
  if (width == CachedWidth && height == CachedHeight) return;
  CachedWidth = width;
  CachedHeight = height;
  Columns = (width + 15) / 16;
  Rows = (height + 15) / 16;
  Image.LayOut(Columns * 16, Rows * 16);
}

void MdecCodec::Init(MessageSink& sink) {
  auto address = reinterpret_cast<uintptr_t>(PackedTablesAddress());
  int misalignment = int(address % 16);
  PackedTransformsEnabled = true;  // every build has a packed implementation
  if (misalignment != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "offset err:%d", (20 - misalignment) / 4);
    sink.Show(text, "Debug");
    PackedTransformsEnabled = false;
  }
  if (!BuildAcDecodeTables(DecodeTables)) {
    sink.Show(kMsgTableBug, "error");
    std::exit(1);
  }
  Image.LayOut(Columns * 16, Rows * 16);
}

void InitCodec(MdecCodec& codec, MessageSink& sink) { codec.Init(sink); }

namespace {

inline uint8_t Clamp255(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Chroma terms of one chroma sample, shared by the pixels it serves.
struct ChromaTerms {
  int Blue, Green, Red;
};
inline ChromaTerms TermsAt(const int16_t* cr, const int16_t* cb, int index) {
  int crq = cr[index] / 4, cbq = cb[index] / 4;
  return {(57 * cbq) / 32, (11 * cbq + 23 * crq) / 32, (45 * crq) / 32};
}
inline void PutPixel(uint8_t* p, int luma, const ChromaTerms& t) {
  int y = luma / 4 + 128;
  p[0] = Clamp255(y + t.Blue);
  p[1] = Clamp255(y - t.Green);
  p[2] = Clamp255(y + t.Red);
}

}  // namespace

void StoreMacroblock(MdecCodec& codec, int column, int row) {
  FrameImage& img = codec.Image;
  const int16_t* cr = codec.Work[0];
  const int16_t* cb = codec.Work[1];
  const int stride = img.Stride();
  const bool half = codec.HalfWidthView;
  const int originX = half ? column * 8 : column * 16;
  const int originY = row * 16;
  for (int q = 0; q < 4; q++) {
    const int16_t* y = codec.Work[2 + q];
    const int chromaRow0 = q >= 2 ? 4 : 0;
    const int chromaCol0 = (q & 1) ? 4 : 0;
    const int x0 = originX + ((q & 1) ? (half ? 4 : 8) : 0);
    const int y0 = originY + (q >= 2 ? 8 : 0);
    for (int i = 0; i < 8; i++) {
      uint8_t* line = img.Pixels.data() + size_t(y0 + i) * size_t(stride) + size_t(x0) * 3;
      const int chromaBase = (chromaRow0 + i / 2) * 8 + chromaCol0;
      if (half) {
        for (int j = 0; j < 4; j++)
          PutPixel(line + j * 3, y[i * 8 + 2 * j], TermsAt(cr, cb, chromaBase + j));
      } else {
        for (int j = 0; j < 8; j += 2) {
          ChromaTerms t = TermsAt(cr, cb, chromaBase + j / 2);
          PutPixel(line + j * 3, y[i * 8 + j], t);
          PutPixel(line + j * 3 + 3, y[i * 8 + j + 1], t);
        }
      }
    }
  }
}

int DecodeFrame(MdecCodec& codec, StrDocument& doc) {
  const uint8_t* buffer = doc.FrameBuffer.data();
  const size_t size = doc.FrameBuffer.size();
  int at = LocateFrameHeader(buffer, size);
  if (at < 0) return -1;
  MdecFrameHeader header = MdecFrameHeader::Parse(buffer + at);
  codec.Version = header.Version;
  codec.ResetPredictors();

  int width = doc.ChunkHeader.Width, height = doc.ChunkHeader.Height;
  if (width > kMaxFrameDimension || height > kMaxFrameDimension) return -1;
  codec.UseFrameSize(width, height);
  if (doc.PictureWidth != width || doc.PictureHeight != height) doc.SetPictureSize(width, height);

  const uint8_t* codes = buffer + at + 8;
  const size_t codeBytes = size - size_t(at) - 8;
  int position = 0;
  bool first = true;
  for (int c = 0; c < codec.Columns; c++) {
    for (int r = 0; r < codec.Rows; r++) {
      position = codec.DecodeMacroblock(codes, codeBytes, position, first);
      if (position < 0) return -1;
      first = false;
      Dequantize(codec.Coefs, codec.Work, header.QuantScale);
      InverseTransform(codec.Work, codec.PackedTransformsEnabled, codec.HalfWidthView);
      StoreMacroblock(codec, c, r);
    }
  }
  return 0;
}

int ReadAndDecodeFrame(MdecCodec& codec, StrDocument& doc) {
  int r = ReadFrame(doc);
  if (r != 0) return r;
  return DecodeFrame(codec, doc) != 0 ? -2 : 0;
}

}  // namespace belmora
