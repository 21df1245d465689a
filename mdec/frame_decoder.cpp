#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "mdec/codec.h"

#include "base/bytes.h"
#include "mdec/colour.h"

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

void MdecCodec::Init(const Settings& settings) {
  settings_ = settings;
  transforms_ = SelectTransforms(settings.Transforms);
  colourStore_ = SelectColourStore();
}

void MdecCodec::StoreMacroblock(FrameImage& img, int column, int row, bool half) const {
  colourStore_(work_, img, column, row, half);
}

void MdecCodec::StoreMacroblockReference(FrameImage& img, int column, int row,
                                         bool half) const {
  StoreMacroblockPlain(work_, img, column, row, half);
}

int MdecCodec::DecodeFrame(std::span<const uint8_t> frame, int width, int height, bool halfWidth,
                           FrameImage& image) {
  bool complete = false;
  return DecodeMacroblocks(frame, width, height, halfWidth, image, frame.size(), complete) < 0 ||
                 !complete
             ? -1
             : 0;
}

int MdecCodec::DecodeFramePart(std::span<const uint8_t> frame, int width, int height,
                               bool halfWidth, FrameImage& image, size_t intactBytes) {
  bool complete = false;
  return DecodeMacroblocks(frame, width, height, halfWidth, image,
                           std::min(intactBytes, frame.size()), complete);
}

int MdecCodec::DecodeMacroblocks(std::span<const uint8_t> frame, int width, int height,
                                 bool halfWidth, FrameImage& image, size_t intactBytes,
                                 bool& complete) {
  complete = false;
  const uint8_t* buffer = frame.data();
  const size_t size = frame.size();
  int at = LocateFrameHeader(buffer, size);
  if (at < 0 || size_t(at) + 8 > intactBytes) return -1;
  MdecFrameHeader header = MdecFrameHeader::Parse(buffer + at);
  version_ = header.Version;
  ResetPredictors();
  if (width < 0 || height < 0 || width > kMaxFrameDimension || height > kMaxFrameDimension)
    return -1;
  const int columns = (width + 15) / 16, rows = (height + 15) / 16;
  if (image.Width != columns * 16 || image.Height != rows * 16) image.LayOut(columns * 16, rows * 16);

  const uint8_t* codes = buffer + at + 8;
  const size_t codeBytes = size - size_t(at) - 8;
  // Bits of the codes that were read as stored; a macroblock that needs
  // more is not stored.
  const uint64_t intactBits = uint64_t(intactBytes - size_t(at) - 8) * 8;
  const bool whole = intactBytes >= size;
  uint32_t scaledMatrix[64], scaledByScan[64];
  for (int z = 0; z < 64; z++) scaledMatrix[z] = uint32_t(QuantMatrix[z]) * header.QuantScale;
  for (int k = 0; k < 64; k++) scaledByScan[k] = scaledMatrix[ZigzagOrder[k]];
  int position = 0;
  bool first = true;
  int stored = 0;
  WideReader reader(codes, codeBytes);
  for (int c = 0; c < columns; c++) {
    for (int r = 0; r < rows; r++) {
      if (settings_.FastPaths) {
        if (!DecodeMacroblockWide(reader, scaledByScan, work_)) return whole ? -1 : stored;
        if (!whole && uint64_t(reader.At) * 8 - uint64_t(reader.Bits) > intactBits) return stored;
        for (int b = 0; b < 6; b++)
          transforms_.InverseBlock(work_[b], halfWidth && b >= 2, lastScan_[b]);
        StoreMacroblock(image, c, r, halfWidth);
      } else {
        position = DecodeMacroblock(codes, codeBytes, position, first, coefs_);
        if (position < 0) return whole ? -1 : stored;
        if (!whole && uint64_t(position) * 16 > intactBits) return stored;
        first = false;
        Dequantize(coefs_, work_, header.QuantScale);
        transforms_.Inverse(work_, halfWidth);
        StoreMacroblockReference(image, c, r, halfWidth);
      }
      stored++;
    }
  }
  complete = true;
  return stored;
}

}  // namespace belmora
