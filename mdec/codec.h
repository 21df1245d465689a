// The MDEC codec: bytes of a frame's bitstream in, picture out, and a
// picture in, bitstream out. It knows nothing of files or documents.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/frame_view.h"
#include "mdec/colour.h"
#include "mdec/frame_image.h"
#include "mdec/tables.h"
#include "mdec/transform.h"

namespace belmora {

inline constexpr uint16_t kMdecMagic = 0x3800;
inline constexpr int kMaxFrameDimension = 4096;
// Room for the longest encoding a trial may write before it is stopped.
inline constexpr int kTrialBufferSize = 41984;

struct MdecFrameHeader {
  uint16_t CodeCount = 0;
  uint16_t Magic = 0;
  uint16_t QuantScale = 0;
  uint16_t Version = 0;
  static MdecFrameHeader Parse(const uint8_t* p);
  void Store(uint8_t* p) const;
};

// Byte offset of the frame header in a frame buffer (0, or 40 when the magic
// sits at 42), or -1 when there is none.
int LocateFrameHeader(const uint8_t* buffer, size_t size);

// One block's quantized levels, non-zero AC levels only (scan position,
// level), positions rising.
struct SparseBlock {
  int16_t Dc = 0;
  uint8_t Count = 0;
  uint8_t Position[63];
  int16_t Level[63];
};

// What an encoding asks for: the frame's size, its MDEC version and the
// bytes its chunks hold.
struct EncodeRequest {
  int Width = 0;
  int Height = 0;
  int Version = 2;
  int Capacity = 0;
};

// The encoding chosen: the bitstream (Length bytes, header included, in a
// buffer of kTrialBufferSize bytes), its quantizer scale, and the scales tried.
struct EncodedFrame {
  std::vector<uint8_t> Bytes;
  int Length = 0;
  int Scale = 0;
  std::vector<int> Trials;
};

enum class EncodeStatus { kOk, kNoMemory, kNoScaleFits, kBadSize };

// The macroblock columns and rows a request covers; false when its size or
// capacity cannot be encoded or the picture does not cover those macroblocks.
inline bool MacroblockGrid(const FrameView& picture, const EncodeRequest& request, int& columns,
                           int& rows) {
  if (request.Width <= 0 || request.Height <= 0 || request.Width > kMaxFrameDimension ||
      request.Height > kMaxFrameDimension || request.Capacity <= 0)
    return false;
  columns = (request.Width + 15) / 16;
  rows = (request.Height + 15) / 16;
  return picture.Width >= columns * 16 && picture.Height >= rows * 16;
}

class MdecCodec {
 public:
  struct Settings {
    TransformVariant Transforms = TransformVariant::kPacked;
    // False selects the plain reference steps: the same pictures and
    // decisions bit for bit, found the slow way.
    bool FastPaths = true;
  };

  MdecCodec() { Init({}); }
  // Codec start-up: the transform variant and the decoder's lookup.
  void Init(const Settings& settings);

  // Decodes `frame` (a frame buffer: header, codes) of width x height pixels
  // into `image`, laid out anew when its size differs; half the width with
  // `halfWidth`. -1 when the frame is not decodable.
  [[nodiscard]] int DecodeFrame(std::span<const uint8_t> frame, int width, int height,
                                bool halfWidth, FrameImage& image);
  // DecodeFrame for a frame of which only the first `intactBytes` bytes are
  // as stored (the rest was lost): the macroblocks that can be read from
  // them are decoded, the others left as the image holds them. Returns the
  // macroblocks decoded (column by column, from the first), or -1 when not
  // even the frame's header is there.
  [[nodiscard]] int DecodeFramePart(std::span<const uint8_t> frame, int width, int height,
                                    bool halfWidth, FrameImage& image, size_t intactBytes);

  // Encodes `picture` (blue-green-red, top row first, covering the padded
  // frame area) at the smallest quantizer scale whose encoding is shorter
  // than the capacity.
  [[nodiscard]] EncodeStatus EncodeFrame(const FrameView& picture, const EncodeRequest& request,
                                         EncodedFrame& out);

  // Bitstream level. Positions count 16-bit words from the buffer start.
  void SetVersion(int version) { version_ = version; }
  void ResetPredictors() { predictors_ = {0, 0, 0}; }
  // Decodes six blocks of levels (zigzag order); returns the next unread
  // word, or -1 on an invalid code.
  int DecodeMacroblock(const uint8_t* buffer, size_t size, int position, bool first,
                       Blocks6& levels);
  // Writes six blocks of levels; returns the position of the word being filled.
  int EncodeMacroblock(uint8_t* buffer, size_t size, int position, int& codes, bool first,
                       const Blocks6& levels);
  int WriteFrameEnd(uint8_t* buffer, size_t size, int position);
  // The encoder's (run, level) -> code row, by direct lookup and by the
  // linear table search it stands for; -1 for a pair without a code.
  static int FindAcRowLinear(int run, int level);
  static int FindAcRow(int run, int level);

  // The stages every bitstream variant shares. StoreLevels: six blocks of
  // zigzag levels, each dequantized with its own scale, transformed and
  // colour-converted into macroblock (column, row) of the image.
  // AnalyseMacroblock: the picture's macroblock (column, row) as six blocks
  // of transformed samples divided by 4, in natural order.
  void StoreLevels(const Blocks6& levels, const std::array<int, 6>& scales, FrameImage& image,
                   int column, int row, bool halfWidth);
  void AnalyseMacroblock(const FrameView& picture, int column, int row, Blocks6& coefficients);

 private:
  // The fast reader of a frame's codes: a 64-bit window, valid bits at the
  // top, refilled 32 bits at a time when no more than 32 are left.
  struct WideReader {
    WideReader(const uint8_t* buffer, size_t size);
    void Refill();
    const uint8_t* Buffer;
    size_t Size;
    size_t At = 0;  // byte offset of the next word not in the window
    uint64_t Window = 0;
    int Bits = 0;
  };
  // DecodeMacroblock's codes, stored as natural-order dequantized
  // coefficients (scaledByScan[k] = QuantMatrix[ZigzagOrder[k]] x scale);
  // false on an invalid code.
  bool DecodeMacroblockWide(WideReader& reader, const uint32_t* scaledByScan, Blocks6& out);
  int EncodeSparseMacroblock(uint8_t* buffer, size_t size, int position, int& codes, bool first,
                             const SparseBlock* blocks);
  // The decoding of DecodeFrame and DecodeFramePart: -1 when not decodable,
  // else the macroblocks stored (all of them, or those read from the first
  // `intactBytes` bytes; `complete` tells which).
  int DecodeMacroblocks(std::span<const uint8_t> frame, int width, int height, bool halfWidth,
                        FrameImage& image, size_t intactBytes, bool& complete);
  void StoreMacroblock(FrameImage& image, int column, int row, bool halfWidth) const;
  void StoreMacroblockReference(FrameImage& image, int column, int row, bool halfWidth) const;
  void Analyse(const FrameView& picture, int columns, int rows);
  int Trial(int q, uint8_t* buffer, int capacity);
  int CountTrial(int q, int capacity);

  Settings settings_;
  TransformSet transforms_{};
  ColourStore colourStore_ = nullptr;
  int version_ = 2;
  std::array<uint32_t, 3> predictors_{};  // Cr, Cb, Y; wrapping arithmetic
  alignas(16) Blocks6 coefs_{};           // levels in zigzag order
  alignas(16) Blocks6 work_{};            // natural-order coefficients, then samples
  // Per block: the highest scan position decoded.
  std::array<uint8_t, 6> lastScan_{};
  // Reader window and writer accumulator.
  uint32_t window_ = 0;
  int windowBits_ = 0;
  uint32_t accumulator_ = 0;
  int pendingBits_ = 0;

  // The encoder's working storage, kept from frame to frame.
  struct EncoderScratch {
    std::vector<int16_t> Coefficients;   // macroblocks x 384, transformed / 4
    std::vector<SparseBlock> Quotients;  // macroblocks x 6: DC level, AC after the matrix
    std::vector<uint8_t> Trial;          // the trial buffer being written
  } scratch_;
};

}  // namespace belmora
