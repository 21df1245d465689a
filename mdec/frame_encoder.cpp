#include "mdec/frame_encoder.h"

#include <cstring>
#include <new>

#include "mdec/divider.h"
#include "base/bytes.h"

namespace belmora {

namespace {

const Divider& MatrixDivider(int z) {
  static const auto dividers = [] {
    std::array<Divider, 64> d;
    for (int i = 0; i < 64; i++) d[i] = Divider(uint32_t(QuantMatrix[i]));
    return d;
  }();
  return dividers[z];
}

// Colour conversion and forward transform of every macroblock (column-major)
// into the scratch: the transformed blocks divided by 4, and the parts of
// the quantization that do not depend on the scale.
void Analyse(MdecCodec& codec, const TBmpIo& picture) {
  auto& scratch = codec.Scratch;
  const int columns = codec.Columns, rows = codec.Rows;
  const int width = columns * 16, height = rows * 16;
  scratch.Pixels.resize(size_t(width) * size_t(height) * 3);
  uint8_t* bgr = scratch.Pixels.data();
  if (codec.UseFastPaths) {
    ReadFramePixels(picture, width, height, bgr);
  } else {
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) {
        uint8_t px[4] = {0, 0, 0, 0};
        picture.GetPixel(x, y, px);
        std::memcpy(&bgr[(size_t(y) * width + x) * 3], px, 3);
      }
  }
  scratch.Coefficients.resize(size_t(columns) * rows * 384);
  scratch.Quotients.resize(size_t(columns) * rows * 6);
  int16_t* store = scratch.Coefficients.data();
  SparseBlock* blocks = scratch.Quotients.data();
  for (int c = 0; c < columns; c++) {
    for (int r = 0; r < rows; r++, store += 384, blocks += 6) {
      Blocks6& w = codec.Work;
      std::memset(w[0], 0, 256);  // Cr and Cb
      for (int q = 0; q < 4; q++) {
        const int x0 = 16 * c + (q & 1) * 8, y0 = 16 * r + (q >> 1) * 8;
        for (int i = 0; i < 8; i++) {
          const uint8_t* p = &bgr[(size_t(y0 + i) * width + x0) * 3];
          int16_t* cbRow = w[1] + (i / 2 + (q >= 2 ? 4 : 0)) * 8 + ((q & 1) ? 4 : 0);
          int16_t* crRow = w[0] + (cbRow - w[1]);
          for (int j = 0; j < 8; j++, p += 3) {
            const int blue = p[0], green = p[1], red = p[2];
            const int luma = (77 * red + 150 * green + 29 * blue) / 256;
            const int cb = (-43 * red - 85 * green + 128 * blue) / 256;
            const int cr = (128 * red - 107 * green - 21 * blue) / 256;
            w[2 + q][i * 8 + j] = int16_t(4 * luma - 512);
            cbRow[j / 2] = int16_t(cbRow[j / 2] + cb);
            crRow[j / 2] = int16_t(crRow[j / 2] + cr);
          }
        }
      }
      ForwardTransform(w, codec.PackedTransformsEnabled);
      for (int b = 0; b < 6; b++) {
        int16_t* out = store + 64 * b;
        for (int i = 0; i < 64; i++) out[i] = int16_t(w[b][i] / 4);
        SparseBlock& blk = blocks[b];
        blk.Dc = int16_t(out[0] / 16);
        // Kept without branches: every value is written, the count moves
        // on only past non-zero ones.
        int count = 0;
        for (int k = 1; k < 64; k++) {
          const int z = ZigzagOrder[k];
          const int16_t g = int16_t(MatrixDivider(z).Divide(out[z]));
          blk.Position[count] = uint8_t(k);
          blk.Level[count] = g;
          count += g != 0;
        }
        blk.Count = uint8_t(count);
      }
    }
  }
}

// One trial at scale q into `buffer`; its length in bytes when it fits in
// `capacity`, else 0.
int Trial(MdecCodec& codec, int q, uint8_t* buffer, int capacity) {
  const auto& scratch = codec.Scratch;
  codec.ResetPredictors();
  const size_t macroblocks = scratch.Quotients.size() / 6;
  const Divider scale{uint32_t(q)};
  int position = 4;  // words: the header comes first
  int codes = 0;
  SparseBlock levels[6];
  for (size_t m = 0; m < macroblocks; m++) {
    if (codec.UseFastPaths) {
      for (int b = 0; b < 6; b++) {
        const SparseBlock& in = scratch.Quotients[m * 6 + b];
        SparseBlock& out = levels[b];
        out.Dc = in.Dc;
        int count = 0;
        for (int i = 0; i < in.Count; i++) {
          const int16_t level = int16_t(scale.Divide(in.Level[i]));
          out.Position[count] = in.Position[i];
          out.Level[count] = level;
          count += level != 0;
        }
        out.Count = uint8_t(count);
      }
      position =
          codec.EncodeSparseMacroblock(buffer, kTrialBufferSize, position, codes, m == 0, levels);
    } else {
      std::memcpy(codec.Work, &scratch.Coefficients[m * 384], sizeof codec.Work);
      Quantize(codec.Work, codec.Coefs, q);
      position = codec.EncodeMacroblock(buffer, kTrialBufferSize, position, codes, m == 0);
    }
    if (position * 2 + 2 >= capacity) return 0;
  }
  if (macroblocks == 0) codes = 0;
  position = codec.WriteFrameEnd(buffer, kTrialBufferSize, position);
  const int length = position * 2 + 2;
  if (length >= capacity) return 0;
  MdecFrameHeader h{uint16_t(((codes + 63) >> 1) & 0xFFE0), kMdecMagic, uint16_t(q),
                    uint16_t(codec.Version)};
  h.Store(buffer);
  return length;
}

}  // namespace

int EncodeFrame(MdecCodec& codec, StrDocument& doc, const TBmpIo& picture,
                FrameNumbering& numbering, EncodeResult* result) {
  VideoChunkHeader& header = doc.ChunkHeader;
  if (header.Width > kMaxFrameDimension || header.Height > kMaxFrameDimension ||
      header.ChunkCount == 0 || header.ChunkCount > doc.ValidChunkSectors) {
    MessageBoxF(*doc.Messages, kMsgFrameTooLarge, int(header.ChunkCount));
    return -1;
  }
  codec.UseFrameSize(header.Width, header.Height);
  codec.Image.SetHeader(codec.Columns * 16, codec.Rows * 16);
  if (doc.PictureWidth != header.Width || doc.PictureHeight != header.Height)
    doc.SetPictureSize(header.Width, header.Height);

  // The best trial so far, and the one being written (kept by the codec).
  std::vector<uint8_t> best;
  std::vector<uint8_t>& work = codec.Scratch.Trial;
  try {
    best.resize(kTrialBufferSize);
    work.resize(kTrialBufferSize);
    codec.Version = GetU16(&header.MdecHeader[6]);
    Analyse(codec, picture);
  } catch (const std::bad_alloc&) {
    MessageBoxF(*doc.Messages, "%s", kMsgEncoderNoMemory);
    return -1;
  }

  // Rounds of 16 scales, each a halving search: lo + 8, + 4, + 2, + 1, + 0.
  const int capacity = header.ChunkCount * kChunkPayloadSize;
  int bestLength = 0, bestScale = 0;
  if (result) result->Trials.clear();
  for (int base = 0; base <= 65535 && bestLength == 0; base += 16) {
    // At the largest scale every AC level is 0: the smallest encoding any
    // scale can give. When even that does not fit, no round will.
    if (base == 16 && Trial(codec, 65535, work.data(), capacity) == 0) break;
    int lo = base;
    for (int step = 16; step > 0; step /= 2) {
      const int q = lo + step / 2;
      if (q == 0 || q > 65535) continue;
      if (result) result->Trials.push_back(q);
      const int length = Trial(codec, q, work.data(), capacity);
      if (length == 0) {
        lo = q;
        continue;
      }
      best.swap(work);
      bestLength = length;
      bestScale = q;
    }
  }
  if (bestLength == 0) {
    MessageBoxF(*doc.Messages, "%s", kMsgNoScaleFits);
    return -1;
  }

  std::fill(best.begin() + bestLength, best.begin() + capacity, uint8_t(0));
  doc.FrameBuffer.swap(best);
  if (best.size() == kTrialBufferSize)
    work.swap(best);  // the old frame buffer: next time's trial buffer
  header.FrameDataSize = uint32_t((bestLength + 3) & ~3);
  std::memcpy(header.MdecHeader.data(), doc.FrameBuffer.data(), 8);
  if (numbering.Renumber) {
    header.FrameNumber = uint32_t(numbering.NextNumber);
    numbering.NextNumber = int32_t(uint32_t(numbering.NextNumber) + 1);
  } else {
    numbering.NextNumber = int32_t(header.FrameNumber + 1);
  }
  if (numbering.NextNumber > numbering.NumberLimit) numbering.NextNumber = numbering.WrapNumber;
  if (result) {
    result->Scale = bestScale;
    result->Bytes = bestLength;
  }
  return 0;
}

int EncodeAndStoreFrame(MdecCodec& codec, StrDocument& doc, const TBmpIo& picture,
                        FrameNumbering& numbering, EncodeResult* result) {
  if (RefuseIfReadOnly(doc)) return -1;
  if (EncodeFrame(codec, doc, picture, numbering, result) != 0) return -1;
  const int written = WriteFrame(doc);
  if (DecodeFrame(codec, doc) != 0) return -1;
  return written;
}

}  // namespace belmora
