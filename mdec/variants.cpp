// The bitstream variants: their code tables, bit readers and writers, frame
// headers, and the encoders' scale search. Dequantization, transforms and
// colour conversion are MdecCodec's.
#include "mdec/variants.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "mdec/colour.h"

namespace belmora {

// ---- Shared back and front ends -------------------------------------------

void MdecCodec::StoreLevels(const Blocks6& levels, const std::array<int, 6>& scales,
                            FrameImage& image, int column, int row, bool halfWidth) {
  for (int b = 0; b < 6; b++) DequantizeBlock(levels[b], work_[b], scales[b]);
  transforms_.Inverse(work_, halfWidth);
  colourStore_(work_, image, column, row, halfWidth);
}

void MdecCodec::AnalyseMacroblock(const FrameView& picture, int column, int row,
                                  Blocks6& coefficients) {
  PictureToSamples(picture.Pixels, size_t(picture.Stride), 16 * column, 16 * row, work_);
  transforms_.Forward(work_);
  for (int b = 0; b < 6; b++)
    for (int i = 0; i < 64; i++) coefficients[b][i] = int16_t(work_[b][i] / 4);
}

namespace {

using MacroblockLevels = std::array<std::array<int16_t, 64>, 6>;

// ---- Variable-length code tables ------------------------------------------

constexpr int kEscapeRun = -1;
constexpr int kEndRun = 64;

struct VlcEntry {
  uint8_t Length = 0;  // 0: no code starts with these bits
  int8_t Run = 0;      // kEscapeRun, kEndRun, or a run of zeros
  int16_t Level = 0;
};

struct VlcCode {
  uint32_t Bits = 0;  // right-aligned, sign bit excluded
  uint8_t Length = 0;
};

// A decoding table indexed by the next 17 bits (the longest code, sign
// included) and the encoder's (run, magnitude) -> code.
struct VlcTable {
  std::vector<VlcEntry> ByTop17;
  VlcCode Codes[64][64] = {};
  VlcCode End, Escape;

  void Add(uint32_t bits, int length, int run, int level) {
    const int shift = 17 - length;
    const uint32_t first = bits << shift;
    for (uint32_t i = 0; i < (uint32_t(1) << shift); i++)
      ByTop17[first | i] = {uint8_t(length), int8_t(run), int16_t(level)};
  }
  // `bits` without the sign bit; both signs are added.
  void AddPair(std::string_view bits, int run, int level) {
    uint32_t v = 0;
    for (char c : bits) v = v << 1 | uint32_t(c == '1');
    const int length = int(bits.size());
    Add(v << 1, length + 1, run, level);
    Add(v << 1 | 1, length + 1, run, -level);
    Codes[run][level] = {v, uint8_t(length)};
  }
  VlcTable() : ByTop17(size_t(1) << 17) {
    Add(0b10, 2, kEndRun, 0);
    Add(0b000001, 6, kEscapeRun, 0);
    End = {0b10, 2};
    Escape = {0b000001, 6};
  }
};

struct PairText {
  std::string_view Bits;
  int Run;
  int Level;
};

// The standard run/level codes (version 2 and 3, and iki's AC codes), from
// the codec's own code table.
const VlcTable& StandardTable() {
  static const VlcTable table = [] {
    VlcTable t;
    const auto& rows = AcCodeTable();
    for (int r = 1; r < kAcRows; r++) {
      const AcCodeRow& row = rows[r];
      if (row.Run < 0 || row.Level <= 0) continue;
      const int length = row.Length - 1;
      const uint32_t bits = row.Code >> (32 - row.Length) >> 1;
      std::string text;
      for (int i = length - 1; i >= 0; i--) text.push_back((bits >> i) & 1 ? '1' : '0');
      t.AddPair(text, row.Run, row.Level);
    }
    return t;
  }();
  return table;
}

// Serial Experiments Lain's own codes: the same code words as the standard
// table, given to other run/level pairs (sign bit follows each).
constexpr PairText kLainPairs[] = {
    {"11", 0, 1},
    {"011", 0, 2},
    {"0100", 1, 1},
    {"0101", 0, 3},
    {"00101", 0, 4},
    {"00110", 2, 1},
    {"00111", 0, 5},
    {"000100", 0, 6},
    {"000101", 3, 1},
    {"000110", 1, 2},
    {"000111", 0, 7},
    {"0000100", 0, 8},
    {"0000101", 4, 1},
    {"0000110", 0, 9},
    {"0000111", 5, 1},
    {"00100000", 0, 10},
    {"00100001", 0, 11},
    {"00100010", 1, 3},
    {"00100011", 6, 1},
    {"00100100", 0, 12},
    {"00100101", 0, 13},
    {"00100110", 7, 1},
    {"00100111", 0, 14},
    {"0000001000", 0, 15},
    {"0000001001", 2, 2},
    {"0000001010", 8, 1},
    {"0000001011", 1, 4},
    {"0000001100", 0, 16},
    {"0000001101", 0, 17},
    {"0000001110", 9, 1},
    {"0000001111", 0, 18},
    {"000000010000", 0, 19},
    {"000000010001", 1, 5},
    {"000000010010", 0, 20},
    {"000000010011", 10, 1},
    {"000000010100", 0, 21},
    {"000000010101", 3, 2},
    {"000000010110", 12, 1},
    {"000000010111", 0, 23},
    {"000000011000", 0, 22},
    {"000000011001", 11, 1},
    {"000000011010", 0, 24},
    {"000000011011", 0, 28},
    {"000000011100", 0, 25},
    {"000000011101", 1, 6},
    {"000000011110", 2, 3},
    {"000000011111", 0, 27},
    {"0000000010000", 0, 26},
    {"0000000010001", 13, 1},
    {"0000000010010", 0, 29},
    {"0000000010011", 1, 7},
    {"0000000010100", 4, 2},
    {"0000000010101", 0, 31},
    {"0000000010110", 0, 30},
    {"0000000010111", 14, 1},
    {"0000000011000", 0, 32},
    {"0000000011001", 0, 33},
    {"0000000011010", 1, 8},
    {"0000000011011", 0, 35},
    {"0000000011100", 0, 34},
    {"0000000011101", 5, 2},
    {"0000000011110", 0, 36},
    {"0000000011111", 0, 37},
    {"00000000010000", 2, 4},
    {"00000000010001", 1, 9},
    {"00000000010010", 1, 24},
    {"00000000010011", 0, 38},
    {"00000000010100", 15, 1},
    {"00000000010101", 0, 39},
    {"00000000010110", 3, 3},
    {"00000000010111", 7, 3},
    {"00000000011000", 0, 40},
    {"00000000011001", 0, 41},
    {"00000000011010", 0, 42},
    {"00000000011011", 0, 43},
    {"00000000011100", 1, 10},
    {"00000000011101", 0, 44},
    {"00000000011110", 6, 2},
    {"00000000011111", 0, 45},
    {"000000000010000", 0, 47},
    {"000000000010001", 0, 46},
    {"000000000010010", 16, 1},
    {"000000000010011", 2, 5},
    {"000000000010100", 0, 48},
    {"000000000010101", 1, 11},
    {"000000000010110", 0, 49},
    {"000000000010111", 0, 51},
    {"000000000011000", 0, 50},
    {"000000000011001", 7, 2},
    {"000000000011010", 0, 52},
    {"000000000011011", 4, 3},
    {"000000000011100", 0, 53},
    {"000000000011101", 17, 1},
    {"000000000011110", 1, 12},
    {"000000000011111", 0, 55},
    {"0000000000010000", 0, 54},
    {"0000000000010001", 0, 56},
    {"0000000000010010", 0, 57},
    {"0000000000010011", 21, 1},
    {"0000000000010100", 0, 58},
    {"0000000000010101", 3, 4},
    {"0000000000010110", 1, 13},
    {"0000000000010111", 23, 1},
    {"0000000000011000", 8, 2},
    {"0000000000011001", 0, 59},
    {"0000000000011010", 2, 6},
    {"0000000000011011", 19, 1},
    {"0000000000011100", 0, 60},
    {"0000000000011101", 9, 2},
    {"0000000000011110", 24, 1},
    {"0000000000011111", 18, 1},
};

const VlcTable& LainTable() {
  static const VlcTable table = [] {
    VlcTable t;
    for (const PairText& p : kLainPairs) t.AddPair(p.Bits, p.Run, p.Level);
    return t;
  }();
  return table;
}

// ---- Bits ----------------------------------------------------------------

// Reads bits from the top down, either from 16-bit little-endian words (the
// standard and iki) or from plain bytes in order (Lain). Past the end of
// the data every bit reads as 0.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, bool littleEndianWords)
      : data_(data), size_(size), swap_(littleEndianWords ? 1 : 0) {
    Fill();
  }
  uint32_t Peek(int k) const { return uint32_t(window_ >> (64 - k)); }
  void Skip(int k) {
    window_ <<= k;
    bits_ -= k;
    Fill();
  }
  uint32_t Read(int k) {
    const uint32_t v = Peek(k);
    Skip(k);
    return v;
  }
  int32_t ReadSigned(int k) {
    const uint32_t v = Read(k);
    return int32_t(v << (32 - k)) >> (32 - k);
  }
  // Bytes of the stream taken so far, whole or in part.
  size_t Consumed() const { return at_ - size_t(bits_ / 8); }

 private:
  void Fill() {
    while (bits_ <= 56) {
      const size_t j = at_ ^ swap_;
      const uint64_t byte = j < size_ ? data_[j] : 0;
      window_ |= byte << (56 - bits_);
      bits_ += 8;
      at_++;
    }
  }
  const uint8_t* data_;
  size_t size_;
  size_t swap_;
  uint64_t window_ = 0;
  int bits_ = 0;
  size_t at_ = 0;
};

class BitWriter {
 public:
  void Put(uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; i--) {
      acc_ = uint8_t(acc_ << 1 | ((bits >> i) & 1));
      if (++n_ == 8) {
        bytes_.push_back(acc_);
        acc_ = 0;
        n_ = 0;
      }
    }
  }
  size_t Bits() const { return bytes_.size() * 8 + size_t(n_); }
  // The stream padded with zero bits to whole 16-bit words, as bytes in
  // stream order or swapped into little-endian words.
  std::vector<uint8_t> Finish(bool littleEndianWords) {
    while (n_ != 0 || bytes_.size() % 2 != 0) Put(0, 1);
    if (littleEndianWords)
      for (size_t i = 0; i + 1 < bytes_.size(); i += 2) std::swap(bytes_[i], bytes_[i + 1]);
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint8_t acc_ = 0;
  int n_ = 0;
};

// ---- Levels --------------------------------------------------------------

enum class EscapeLevel { kTenBits, kLain };

// The AC codes of one block up to its end of block, into `out` (DC already
// stored). False on an invalid code or a run past the block.
bool ReadAcCodes(BitReader& bits, const VlcTable& table, EscapeLevel escape, int16_t* out,
                 int& codes) {
  int position = 1;
  for (;;) {
    const VlcEntry& e = table.ByTop17[bits.Peek(17)];
    if (e.Length == 0) return false;
    bits.Skip(e.Length);
    codes++;
    if (e.Run == kEndRun) return true;
    int run = e.Run, level = e.Level;
    if (e.Run == kEscapeRun) {
      run = int(bits.Read(6));
      if (escape == EscapeLevel::kTenBits) {
        level = bits.ReadSigned(10);
      } else {
        const uint32_t first = bits.Read(8);
        if (first == 0x00)
          level = int(bits.Read(8));
        else if (first == 0x80)
          level = int(bits.Read(8)) - 256;
        else
          level = int8_t(first);
      }
    }
    position += run;
    if (position > 63) return false;
    out[position++] = int16_t(level);
  }
}

void WriteAcCodes(BitWriter& bits, const VlcTable& table, EscapeLevel escape, const int16_t* in,
                  int& codes) {
  int run = 0;
  for (int k = 1; k < 64; k++) {
    int level = in[k];
    if (level == 0) {
      run++;
      continue;
    }
    const int magnitude = level < 0 ? -level : level;
    const VlcCode* code = magnitude < 64 && run < 64 ? &table.Codes[run][magnitude] : nullptr;
    if (code && code->Length) {
      bits.Put(code->Bits, code->Length);
      bits.Put(level < 0 ? 1 : 0, 1);
    } else {
      bits.Put(table.Escape.Bits, table.Escape.Length);
      bits.Put(uint32_t(run), 6);
      if (escape == EscapeLevel::kTenBits) {
        bits.Put(uint32_t(level) & 0x3FF, 10);
      } else {
        level = std::clamp(level, -255, 255);
        if (level >= -127 && level <= 127) {
          bits.Put(uint32_t(level) & 0xFF, 8);
        } else if (level > 0) {
          bits.Put(0x00, 8);
          bits.Put(uint32_t(level), 8);
        } else {
          bits.Put(0x80, 8);
          bits.Put(uint32_t(level + 256), 8);
        }
      }
    }
    codes++;
    run = 0;
  }
  bits.Put(table.End.Bits, table.End.Length);
  codes++;
}

// Quantization of one block with its own scale, as the standard encoder's.
void QuantizeBlock(const int16_t* coefficients, int16_t* levels, int scale) {
  levels[0] = int16_t(std::clamp(coefficients[0] / 16, -512, 511));
  for (int k = 1; k < 64; k++) {
    const int z = ZigzagOrder[k];
    levels[k] = int16_t(coefficients[z] / QuantMatrix[z] / scale);
  }
}

struct Grid {
  int Columns = 0;
  int Rows = 0;
  int Macroblocks() const { return Columns * Rows; }
};

bool GridOf(int width, int height, Grid& grid) {
  if (width <= 0 || height <= 0 || width > kMaxFrameDimension || height > kMaxFrameDimension)
    return false;
  grid = {(width + 15) / 16, (height + 15) / 16};
  return true;
}

// The transformed picture, once per encoding.
std::vector<MacroblockLevels> AnalysePicture(MdecCodec& codec, const FrameView& picture,
                                             const Grid& grid) {
  std::vector<MacroblockLevels> coefficients(size_t(grid.Macroblocks()));
  alignas(16) Blocks6 blocks;
  size_t m = 0;
  for (int c = 0; c < grid.Columns; c++)
    for (int r = 0; r < grid.Rows; r++, m++) {
      codec.AnalyseMacroblock(picture, c, r, blocks);
      for (int b = 0; b < 6; b++) std::memcpy(coefficients[m][b].data(), blocks[b], 128);
    }
  return coefficients;
}

// The smallest scale 1..63 whose encoding fits, found by halving; `encode`
// gives the encoding's length at a scale, 0 when it does not fit.
template <typename Encode>
int SmallestFittingScale(Encode encode, std::vector<int>& trials) {
  trials.push_back(kMaxBlockScale);
  if (encode(kMaxBlockScale) == 0) return 0;
  int lo = 1, hi = kMaxBlockScale;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    trials.push_back(mid);
    if (encode(mid) != 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

void Adopt(std::vector<uint8_t> bytes, EncodedFrame& out) {
  out.Length = int(bytes.size());
  bytes.resize(std::max<size_t>(bytes.size(), kTrialBufferSize), 0);
  out.Bytes = std::move(bytes);
}

// Encodes at the smallest scale that fits: `encode(scale, result)` gives the
// length (0 when it does not fit) and, with a result, writes the bytes.
template <typename Encode>
EncodeStatus EncodeAtSmallestScale(Encode& encode, EncodedFrame& out) {
  out.Trials.clear();
  const int q = SmallestFittingScale([&](int s) { return encode(s, nullptr); }, out.Trials);
  if (q == 0) return EncodeStatus::kNoScaleFits;
  std::vector<uint8_t> bytes;
  encode(q, &bytes);
  Adopt(std::move(bytes), out);
  out.Scale = q;
  return EncodeStatus::kOk;
}

// ---- Standard and version 1 ---------------------------------------------

class StandardCodec final : public BitstreamCodec {
 public:
  BitstreamKind Kind() const override { return BitstreamKind::kStandard; }
  const char* Name() const override { return "MDEC v2/v3"; }
  int Decode(MdecCodec& codec, std::span<const uint8_t> frame, int width, int height,
             bool halfWidth, FrameImage& image) const override {
    return codec.DecodeFrame(frame, width, height, halfWidth, image);
  }
  EncodeStatus Encode(MdecCodec& codec, const FrameView& picture, const EncodeRequest& request,
                      std::span<const uint8_t>, EncodedFrame& out) const override {
    return codec.EncodeFrame(picture, request, out);
  }
};

class Version1Codec final : public BitstreamCodec {
 public:
  BitstreamKind Kind() const override { return BitstreamKind::kVersion1; }
  const char* Name() const override { return "MDEC v1"; }
  int Decode(MdecCodec& codec, std::span<const uint8_t> frame, int width, int height,
             bool halfWidth, FrameImage& image) const override {
    // Versions 0 to 2 share the version-2 coding.
    return codec.DecodeFrame(frame, width, height, halfWidth, image);
  }
  EncodeStatus Encode(MdecCodec& codec, const FrameView& picture, const EncodeRequest& request,
                      std::span<const uint8_t> replaced, EncodedFrame& out) const override {
    // Data in front of the header (camera data) stays as it was.
    const size_t prefix = LocateFrameHeader(replaced.data(), replaced.size()) == 40 ? 40 : 0;
    EncodeRequest r = request;
    r.Version = 1;
    r.Capacity -= int(prefix);
    if (r.Capacity <= 0) return EncodeStatus::kBadSize;
    const EncodeStatus status = codec.EncodeFrame(picture, r, out);
    if (status != EncodeStatus::kOk || prefix == 0) return status;
    std::vector<uint8_t> bytes(replaced.begin(), replaced.begin() + long(prefix));
    bytes.insert(bytes.end(), out.Bytes.begin(), out.Bytes.begin() + out.Length);
    Adopt(std::move(bytes), out);
    return status;
  }
};

// ---- Lain ------------------------------------------------------------------

constexpr size_t kLainHeaderSize = 8;

LainFrameHeader ParseLainHeader(const uint8_t* p) {
  return {p[0], p[1], GetU16(p + 2), GetU16(p + 4), GetU16(p + 6)};
}

bool DecodeLainLevels(std::span<const uint8_t> frame, int macroblocks, DecodedLevels& out) {
  if (frame.size() < kLainHeaderSize) return false;
  const LainFrameHeader h = ParseLainHeader(frame.data());
  BitReader bits(frame.data() + kLainHeaderSize, frame.size() - kLainHeaderSize, false);
  out.Levels.assign(size_t(macroblocks), {});
  out.Scales.assign(size_t(macroblocks), {h.ChromaScale, h.ChromaScale, h.LumaScale,
                                          h.LumaScale, h.LumaScale, h.LumaScale});
  int codes = 0;
  for (auto& mb : out.Levels)
    for (auto& block : mb) {
      block[0] = int16_t(bits.ReadSigned(10));
      if (!ReadAcCodes(bits, LainTable(), EscapeLevel::kLain, block.data(), codes)) return false;
    }
  return true;
}

class LainCodec final : public BitstreamCodec {
 public:
  BitstreamKind Kind() const override { return BitstreamKind::kLain; }
  const char* Name() const override { return "Serial Experiments Lain"; }
  int Decode(MdecCodec& codec, std::span<const uint8_t> frame, int width, int height,
             bool halfWidth, FrameImage& image) const override {
    return DecodeWithLevels(codec, BitstreamKind::kLain, frame, width, height, halfWidth, image);
  }
  EncodeStatus Encode(MdecCodec& codec, const FrameView& picture, const EncodeRequest& request,
                      std::span<const uint8_t> replaced, EncodedFrame& out) const override {
    int columns = 0, rows = 0;
    if (!MacroblockGrid(picture, request, columns, rows)) return EncodeStatus::kBadSize;
    const Grid grid{columns, rows};
    // The magic word (the frame number in one movie) stays as it was.
    const uint16_t magic = replaced.size() >= 4 ? GetU16(replaced.data() + 2) : kMdecMagic;
    std::vector<MacroblockLevels> coefficients;
    try {
      coefficients = AnalysePicture(codec, picture, grid);
    } catch (const std::bad_alloc&) {
      return EncodeStatus::kNoMemory;
    }
    auto encode = [&](int q, std::vector<uint8_t>* result) {
      BitWriter bits;
      int codes = 0;
      int16_t levels[64];
      for (const auto& mb : coefficients)
        for (const auto& block : mb) {
          QuantizeBlock(block.data(), levels, q);
          bits.Put(uint32_t(levels[0]) & 0x3FF, 10);
          codes++;
          WriteAcCodes(bits, LainTable(), EscapeLevel::kLain, levels, codes);
        }
      const size_t length = kLainHeaderSize + (bits.Bits() + 15) / 16 * 2;
      if (length >= size_t(request.Capacity)) return 0;
      if (result) {
        std::vector<uint8_t> bytes(kLainHeaderSize);
        bytes[0] = uint8_t(q);
        bytes[1] = uint8_t(q);
        PutU16(&bytes[2], magic);
        PutU16(&bytes[4], uint32_t(codes));
        PutU16(&bytes[6], 0);
        const std::vector<uint8_t> stream = bits.Finish(false);
        bytes.insert(bytes.end(), stream.begin(), stream.end());
        *result = std::move(bytes);
      }
      return int(length);
    };
    return EncodeAtSmallestScale(encode, out);
  }

  static int DecodeWithLevels(MdecCodec& codec, BitstreamKind kind,
                              std::span<const uint8_t> frame, int width, int height,
                              bool halfWidth, FrameImage& image) {
    Grid grid;
    if (!GridOf(width, height, grid)) return -1;
    DecodedLevels levels;
    const bool ok = DecodeVariantLevels(kind, frame, grid.Macroblocks(), levels);
    if (image.Width != grid.Columns * 16 || image.Height != grid.Rows * 16)
      image.LayOut(grid.Columns * 16, grid.Rows * 16);
    if (!ok) return -1;
    alignas(16) Blocks6 blocks;
    size_t m = 0;
    for (int c = 0; c < grid.Columns; c++)
      for (int r = 0; r < grid.Rows; r++, m++) {
        for (int b = 0; b < 6; b++) std::memcpy(blocks[b], levels.Levels[m][b].data(), 128);
        codec.StoreLevels(blocks, levels.Scales[m], image, c, r, halfWidth);
      }
    return 0;
  }
};

// ---- iki -------------------------------------------------------------------

constexpr size_t kIkiHeaderSize = 10;

bool DecodeIkiLevels(std::span<const uint8_t> frame, int macroblocks, DecodedLevels& out) {
  if (frame.size() < kIkiHeaderSize || GetU16(frame.data() + 2) != kMdecMagic) return false;
  const size_t packed = GetU16(frame.data() + 8);
  if (kIkiHeaderSize + packed > frame.size()) return false;
  const size_t blocks = size_t(macroblocks) * 6;
  std::vector<uint8_t> table;
  if (!IkiExpand(frame.subspan(kIkiHeaderSize, packed), blocks * 2, table)) return false;
  BitReader bits(frame.data() + kIkiHeaderSize + packed, frame.size() - kIkiHeaderSize - packed,
                 true);
  out.Levels.assign(size_t(macroblocks), {});
  out.Scales.assign(size_t(macroblocks), {});
  int codes = 0;
  size_t index = 0;
  for (size_t m = 0; m < out.Levels.size(); m++)
    for (int b = 0; b < 6; b++, index++) {
      const uint16_t code = uint16_t(table[index] << 8 | table[index + blocks]);
      out.Scales[m][b] = code >> 10;
      out.Levels[m][b][0] = int16_t(int32_t(uint32_t(code) << 22) >> 22);
      if (!ReadAcCodes(bits, StandardTable(), EscapeLevel::kTenBits, out.Levels[m][b].data(),
                       codes))
        return false;
    }
  return true;
}

class IkiCodec final : public BitstreamCodec {
 public:
  BitstreamKind Kind() const override { return BitstreamKind::kIki; }
  const char* Name() const override { return "iki"; }
  int Decode(MdecCodec& codec, std::span<const uint8_t> frame, int width, int height,
             bool halfWidth, FrameImage& image) const override {
    return LainCodec::DecodeWithLevels(codec, BitstreamKind::kIki, frame, width, height,
                                       halfWidth, image);
  }
  EncodeStatus Encode(MdecCodec& codec, const FrameView& picture, const EncodeRequest& request,
                      std::span<const uint8_t>, EncodedFrame& out) const override {
    int columns = 0, rows = 0;
    if (!MacroblockGrid(picture, request, columns, rows)) return EncodeStatus::kBadSize;
    const Grid grid{columns, rows};
    std::vector<MacroblockLevels> coefficients;
    try {
      coefficients = AnalysePicture(codec, picture, grid);
    } catch (const std::bad_alloc&) {
      return EncodeStatus::kNoMemory;
    }
    const size_t blocks = coefficients.size() * 6;
    auto encode = [&](int q, std::vector<uint8_t>* result) {
      std::vector<uint8_t> table(blocks * 2);
      BitWriter bits;
      int codes = 0;
      int16_t levels[64];
      size_t index = 0;
      for (const auto& mb : coefficients)
        for (const auto& block : mb) {
          QuantizeBlock(block.data(), levels, q);
          const uint16_t code = uint16_t(q << 10 | (levels[0] & 0x3FF));
          table[index] = uint8_t(code >> 8);
          table[index + blocks] = uint8_t(code);
          index++;
          codes++;
          WriteAcCodes(bits, StandardTable(), EscapeLevel::kTenBits, levels, codes);
        }
      // The frame end of version 2 follows the last block.
      bits.Put(0x7FC, 12);
      // The compressed table is padded to whole 16-bit words; its size
      // field counts the padding.
      std::vector<uint8_t> packed = IkiCompress(table);
      if (packed.size() % 2) packed.push_back(0);
      const size_t length = kIkiHeaderSize + packed.size() + (bits.Bits() + 15) / 16 * 2;
      if (length >= size_t(request.Capacity) || packed.size() > 0xFFFF) return 0;
      if (result) {
        std::vector<uint8_t> bytes(kIkiHeaderSize);
        // The size of the MDEC codes in 32-bit words, rounded up as the
        // standard header has it.
        PutU16(&bytes[0], ((uint32_t(codes) + 63) >> 1) & 0xFFE0);
        PutU16(&bytes[2], kMdecMagic);
        PutU16(&bytes[4], uint32_t(request.Width));
        PutU16(&bytes[6], uint32_t(request.Height));
        PutU16(&bytes[8], uint32_t(packed.size()));
        bytes.insert(bytes.end(), packed.begin(), packed.end());
        const std::vector<uint8_t> stream = bits.Finish(true);
        bytes.insert(bytes.end(), stream.begin(), stream.end());
        *result = std::move(bytes);
      }
      return int(length);
    };
    return EncodeAtSmallestScale(encode, out);
  }
};

}  // namespace

// ---- iki table compression ---------------------------------------------------

// Flag bytes, lowest bit first, say for each item whether it is a literal
// byte (0) or a copy (1): a length byte (+3) and a distance byte (+1), or
// two distance bytes when the first has its top bit set (15 bits, +1).
bool IkiExpand(std::span<const uint8_t> in, size_t expandedSize, std::vector<uint8_t>& out,
               size_t* consumed) {
  out.clear();
  out.reserve(expandedSize);
  size_t at = 0;
  auto next = [&](uint32_t& v) {
    if (at >= in.size()) return false;
    v = in[at++];
    return true;
  };
  while (out.size() < expandedSize) {
    uint32_t flags;
    if (!next(flags)) return false;
    for (int i = 0; i < 8 && out.size() < expandedSize; i++, flags >>= 1) {
      uint32_t v;
      if (!next(v)) return false;
      if ((flags & 1) == 0) {
        out.push_back(uint8_t(v));
        continue;
      }
      const size_t length = v + 3;
      uint32_t distance;
      if (!next(distance)) return false;
      if (distance & 0x80) {
        uint32_t low;
        if (!next(low)) return false;
        distance = (distance & 0x7F) << 8 | low;
      }
      distance += 1;
      if (distance > out.size()) return false;
      for (size_t k = 0; k < length && out.size() < expandedSize; k++)
        out.push_back(out[out.size() - distance]);
    }
  }
  if (consumed) *consumed = at;
  return true;
}

std::vector<uint8_t> IkiCompress(std::span<const uint8_t> data) {
  constexpr size_t kMaxLength = 255 + 3, kMaxDistance = 0x8000;
  std::vector<uint8_t> out;
  size_t at = 0;
  while (at < data.size()) {
    const size_t flagsAt = out.size();
    out.push_back(0);
    for (int i = 0; i < 8 && at < data.size(); i++) {
      size_t bestLength = 0, bestDistance = 0;
      const size_t limit = std::min(kMaxLength, data.size() - at);
      for (size_t d = 1; d <= std::min(at, kMaxDistance); d++) {
        size_t n = 0;
        while (n < limit && data[at + n] == data[at + n - d]) n++;
        // Ties keep the nearer copy, whose distance may take one byte less.
        if (n > bestLength) {
          bestLength = n;
          bestDistance = d;
          if (n == limit) break;
        }
      }
      if (bestLength >= 3) {
        out[flagsAt] |= uint8_t(1 << i);
        out.push_back(uint8_t(bestLength - 3));
        const size_t d = bestDistance - 1;
        if (d < 0x80) {
          out.push_back(uint8_t(d));
        } else {
          out.push_back(uint8_t(0x80 | d >> 8));
          out.push_back(uint8_t(d));
        }
        at += bestLength;
      } else {
        out.push_back(data[at++]);
      }
    }
  }
  return out;
}

bool DecodeVariantLevels(BitstreamKind kind, std::span<const uint8_t> frame, int macroblocks,
                         DecodedLevels& out) {
  switch (kind) {
    case BitstreamKind::kLain:
      return DecodeLainLevels(frame, macroblocks, out);
    case BitstreamKind::kIki:
      return DecodeIkiLevels(frame, macroblocks, out);
    default:
      return false;
  }
}

const BitstreamCodec& BitstreamCodecFor(BitstreamKind kind) {
  static const StandardCodec standard;
  static const Version1Codec version1;
  static const LainCodec lain;
  static const IkiCodec iki;
  switch (kind) {
    case BitstreamKind::kVersion1:
      return version1;
    case BitstreamKind::kLain:
      return lain;
    case BitstreamKind::kIki:
      return iki;
    default:
      return standard;
  }
}

}  // namespace belmora
