#include "mdec/frame_encoder.h"

#include <cstring>
#include <new>

#include "mdec/divider.h"
#include "str/bytes.h"

namespace belmora {

namespace {

// The transformed picture: for every macroblock (column-major) its six
// blocks divided by 4, natural order; and for the fast trials the parts of
// Quantize that do not depend on the scale.
struct Analysis {
  std::vector<int16_t> Coefficients;  // macroblocks x 384
  // Per macroblock and block: the DC level, and the AC values after the
  // matrix division (zigzag position, value), non-zero ones only.
  struct Block {
    int16_t Dc = 0;
    uint8_t Count = 0;
    uint8_t Position[63];
    int16_t Value[63];
  };
  std::vector<Block> Blocks;  // macroblocks x 6
};

const Divider& MatrixDivider(int z) {
  static const auto dividers = [] {
    std::array<Divider, 64> d;
    for (int i = 0; i < 64; i++) d[i] = Divider(uint32_t(QuantMatrix[i]));
    return d;
  }();
  return dividers[z];
}

void Analyse(MdecCodec& codec, const TBmpIo& picture, Analysis& a) {
  const int columns = codec.Columns, rows = codec.Rows;
  const int width = columns * 16, height = rows * 16;
  std::vector<uint8_t> bgr(size_t(width) * size_t(height) * 3);
  if (codec.UseFastPaths) {
    ReadFramePixels(picture, width, height, bgr.data());
  } else {
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) {
        uint8_t px[4] = {0, 0, 0, 0};
        picture.GetPixel(x, y, px);
        std::memcpy(&bgr[(size_t(y) * width + x) * 3], px, 3);
      }
  }
  a.Coefficients.resize(size_t(columns) * rows * 384);
  a.Blocks.resize(size_t(columns) * rows * 6);
  int16_t* store = a.Coefficients.data();
  Analysis::Block* blocks = a.Blocks.data();
  for (int c = 0; c < columns; c++) {
    for (int r = 0; r < rows; r++, store += 384, blocks += 6) {
      Blocks6& w = codec.Work;
      std::memset(w[0], 0, 256);  // Cr and Cb
      for (int q = 0; q < 4; q++) {
        const int x0 = 16 * c + (q & 1) * 8, y0 = 16 * r + (q >> 1) * 8;
        for (int i = 0; i < 8; i++) {
          const uint8_t* p = &bgr[(size_t(y0 + i) * width + x0) * 3];
          for (int j = 0; j < 8; j++, p += 3) {
            const int blue = p[0], green = p[1], red = p[2];
            const int luma = (77 * red + 150 * green + 29 * blue) / 256;
            const int cb = (-43 * red - 85 * green + 128 * blue) / 256;
            const int cr = (128 * red - 107 * green - 21 * blue) / 256;
            w[2 + q][i * 8 + j] = int16_t(4 * luma - 512);
            const int at = (i / 2 + (q >= 2 ? 4 : 0)) * 8 + j / 2 + ((q & 1) ? 4 : 0);
            w[1][at] = int16_t(w[1][at] + cb);
            w[0][at] = int16_t(w[0][at] + cr);
          }
        }
      }
      ForwardTransform(w, codec.PackedTransformsEnabled);
      for (int b = 0; b < 6; b++) {
        int16_t* out = store + 64 * b;
        for (int i = 0; i < 64; i++) out[i] = int16_t(w[b][i] / 4);
        Analysis::Block& blk = blocks[b];
        blk.Dc = int16_t(out[0] / 16);
        blk.Count = 0;
        for (int k = 1; k < 64; k++) {
          const int z = ZigzagOrder[k];
          int16_t g = int16_t(MatrixDivider(z).Divide(out[z]));
          if (g == 0) continue;
          blk.Position[blk.Count] = uint8_t(k);
          blk.Value[blk.Count++] = g;
        }
      }
    }
  }
}

// One trial at scale q into `buffer`; its length in bytes when it fits in
// `capacity`, else 0.
int Trial(MdecCodec& codec, const Analysis& a, int q, uint8_t* buffer, int capacity) {
  codec.ResetPredictors();
  const size_t macroblocks = a.Blocks.size() / 6;
  const Divider scale{uint32_t(q)};
  int position = 4;  // words: the header comes first
  int codes = 0;
  for (size_t m = 0; m < macroblocks; m++) {
    if (codec.UseFastPaths) {
      std::memset(codec.Coefs, 0, sizeof codec.Coefs);
      for (int b = 0; b < 6; b++) {
        const Analysis::Block& blk = a.Blocks[m * 6 + b];
        codec.Coefs[b][0] = blk.Dc;
        for (int i = 0; i < blk.Count; i++)
          codec.Coefs[b][blk.Position[i]] = int16_t(scale.Divide(blk.Value[i]));
      }
    } else {
      std::memcpy(codec.Work, &a.Coefficients[m * 384], sizeof codec.Work);
      Quantize(codec.Work, codec.Coefs, q);
    }
    position = codec.EncodeMacroblock(buffer, kTrialBufferSize, position, codes, m == 0);
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

  Analysis analysis;
  std::vector<uint8_t> best, work;
  try {
    best.assign(kTrialBufferSize, 0);
    work.assign(kTrialBufferSize, 0);
    codec.Version = GetU16(&header.MdecHeader[6]);
    Analyse(codec, picture, analysis);
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
    if (base == 16 && Trial(codec, analysis, 65535, work.data(), capacity) == 0) break;
    int lo = base;
    for (int step = 16; step > 0; step /= 2) {
      const int q = lo + step / 2;
      if (q == 0 || q > 65535) continue;
      if (result) result->Trials.push_back(q);
      const int length = Trial(codec, analysis, q, work.data(), capacity);
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
