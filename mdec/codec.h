// The MDEC codec: its state (tables, bitstream reader and writer, DC
// predictors, the working macroblock) and the decoded picture.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mdec/tables.h"
#include "mdec/transform.h"
#include "platform/message_sink.h"

namespace belmora {

struct StrDocument;

inline constexpr uint16_t kMdecMagic = 0x3800;
inline constexpr int kMaxFrameDimension = 4096;

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

// The decoded picture: a 40-byte BITMAPINFOHEADER (negative height, rows
// top-down) and 24-bit blue-green-red pixels, padded to 16.
struct FrameImage {
  std::array<uint8_t, 40> Header{};
  std::vector<uint8_t> Pixels;
  int Width = 0;   // padded width
  int Height = 0;  // padded height

  // Sets the header for the size; reallocates and clears the pixels.
  void LayOut(int paddedWidth, int paddedHeight);
  void SetHeader(int paddedWidth, int paddedHeight);
  int Stride() const { return Width * 3; }
};

// One block's quantized levels, non-zero AC levels only (scan position,
// level), positions rising.
struct SparseBlock {
  int16_t Dc = 0;
  uint8_t Count = 0;
  uint8_t Position[63];
  int16_t Level[63];
};

class MdecCodec {
 public:
  // Codec start-up: packed-variant choice (with the table alignment check),
  // decoding tables (a failing self-check ends the program), picture layout.
  void Init(MessageSink& sink);

  // Bitstream level. Positions count 16-bit words from the buffer start.
  // Decodes six blocks of levels into Coefs; returns the next unread word,
  // or -1 on an invalid code.
  int DecodeMacroblock(const uint8_t* buffer, size_t size, int position, bool first);
  // The same, but writes the dequantized coefficients in natural order into
  // Work; scaledMatrix[z] = QuantMatrix[z] x scale.
  int DecodeMacroblockDequantized(const uint8_t* buffer, size_t size, int position, bool first,
                                  const uint32_t* scaledMatrix);
  // Writes the six blocks of Coefs; returns the position of the word being filled.
  int EncodeMacroblock(uint8_t* buffer, size_t size, int position, int& codes, bool first);
  // The same from the sparse form of the six blocks.
  int EncodeSparseMacroblock(uint8_t* buffer, size_t size, int position, int& codes, bool first,
                             const SparseBlock* blocks);
  int WriteFrameEnd(uint8_t* buffer, size_t size, int position);
  // Reference encoder step: the linear table search for (run, level).
  static int FindAcRowLinear(int run, int level);
  static int FindAcRow(int run, int level);

  void ResetPredictors() { DcPredictors = {0, 0, 0}; }

  // State, public as the codec's parts and its callers share it.
  AcDecodeTables DecodeTables;
  bool PackedTransformsEnabled = true;
  bool HalfWidthView = false;
  int Version = 2;
  std::array<uint32_t, 3> DcPredictors{};  // Cr, Cb, Y; wrapping arithmetic
  alignas(16) Blocks6 Coefs{};             // levels in zigzag order
  alignas(16) Blocks6 Work{};              // natural-order coefficients, then samples
  // Per block: the highest scan position decoded.
  std::array<uint8_t, 6> LastScan{};
  // The first AC lookup widened to 512 entries: end of block and the two
  // 3-bit codes included (built by Init from DecodeTables).
  std::array<AcDecodeEntry, 512> FirstLookup{};
  // Decode with the sparse transforms and vector colour conversion; false
  // selects the plain reference steps (same pictures, bit for bit).
  bool UseFastPaths = true;
  FrameImage Image;
  int CachedWidth = 0;
  int CachedHeight = 0;
  int Columns = 0;
  int Rows = 0;

  // Lays out the picture for a frame size when it differs from the cached one.
  void UseFrameSize(int width, int height);

  // The encoder's working storage, kept from frame to frame.
  struct EncoderScratch {
    std::vector<uint8_t> Pixels;         // the padded frame area, BGR
    std::vector<int16_t> Coefficients;   // macroblocks x 384, transformed / 4
    std::vector<SparseBlock> Quotients;  // macroblocks x 6: DC level, AC after the matrix
    std::vector<uint8_t> Trial;          // the trial buffer being written
  } Scratch;

 private:
  template <bool kDequantize>
  int DecodeMacroblockImpl(const uint8_t* buffer, size_t size, int position, bool first,
                           const uint32_t* scaledMatrix);

  // Reader window and writer accumulator.
  uint32_t window_ = 0;
  int windowBits_ = 0;
  uint32_t accumulator_ = 0;
  int pendingBits_ = 0;
};

inline constexpr const char* kMsgTableBug = "Oh! Bug!!";

// The frame-level operations of the viewer and the conversions.
void InitCodec(MdecCodec& codec, MessageSink& sink);
int DecodeFrame(MdecCodec& codec, StrDocument& doc);
int ReadAndDecodeFrame(MdecCodec& codec, StrDocument& doc);

// Colour conversion of the transformed macroblock in codec.Work into the
// picture at macroblock column c, row r (full or half width).
void StoreMacroblock(MdecCodec& codec, int column, int row);
void StoreMacroblockReference(MdecCodec& codec, int column, int row);

}  // namespace belmora
