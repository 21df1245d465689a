#include <cstring>

#include "mdec/codec.h"
#include "base/bytes.h"

namespace belmora {

MdecFrameHeader MdecFrameHeader::Parse(const uint8_t* p) {
  return {GetU16(p), GetU16(p + 2), GetU16(p + 4), GetU16(p + 6)};
}

void MdecFrameHeader::Store(uint8_t* p) const {
  PutU16(p, CodeCount);
  PutU16(p + 2, Magic);
  PutU16(p + 4, QuantScale);
  PutU16(p + 6, Version);
}

int LocateFrameHeader(const uint8_t* buffer, size_t size) {
  if (size >= 8 && GetU16(buffer + 2) == kMdecMagic) return 0;
  if (size >= 48 && GetU16(buffer + 42) == kMdecMagic) return 40;
  return -1;
}

namespace {

// Words past the end of the buffer read as zero, which ends in an invalid code.
inline uint32_t WordAt(const uint8_t* buffer, size_t size, int position) {
  size_t at = size_t(position) * 2;
  return at + 1 < size ? uint32_t(buffer[at] | buffer[at + 1] << 8) : 0;
}

inline void StoreWord(uint8_t* buffer, size_t size, int position, uint32_t word) {
  size_t at = size_t(position) * 2;
  if (at + 1 < size) PutU16(buffer + at, word);
}

}  // namespace

namespace {

// The codes' bit window: at least 17 valid bits after Refill, enough for
// the longest code.
struct BitWindow {
  const uint8_t* Buffer;
  size_t Size;
  uint32_t W;
  int N;
  int Pos;

  void Refill() {
    while (N <= 16) {
      W |= WordAt(Buffer, Size, Pos++) << (16 - N);
      N += 16;
    }
  }
  void Consume(int k) {
    W <<= k;
    N -= k;
  }
};

// A version-3 DC difference: its size code, then its value. Null when the
// bits are the end marker (ten 1-bits in luma) or no size code.
inline const DcSizeRow* DcSizeOf(uint32_t w, bool chroma) {
  const auto& table = chroma ? DcSizeTableChroma : DcSizeTableLuma;
  for (const DcSizeRow& r : table)
    if ((w & r.PrefixMask) == r.Code) return &r;
  return nullptr;
}

// AC codes up to the end of block into `out` from position 1; the last
// position written in `lastScan`. False on a code that is no code or a run
// past the end of the block. The first table, indexed by the top nine bits,
// also holds end of block and the two 3-bit codes.
inline bool DecodeAcCodes(BitWindow& b, int16_t* out, uint8_t& lastScan) {
  const auto& firstLookup = WideFirstLookup();
  const auto& tables = AcDecodeTablesBuilt();
  int k = 1;
  for (;;) {
    AcDecodeEntry e = firstLookup[b.W >> 23];
    int level;
    if (e.Length == 0) {  // six or more leading zeros
      if (b.W >= 0x00800000u)
        e = tables.ByTop14[b.W >> 18];
      else if (b.W >= 0x00100000u)
        e = tables.ByTop17[b.W >> 15];
      if (e.Length == 0) return false;
      level = e.Level;
    } else if (e.Run == kEndOfBlockRun) {
      b.Consume(2);
      b.Refill();
      lastScan = uint8_t(k - 1);
      return true;
    } else if (e.Run < 0) {  // escape: 6-bit run, 10-bit level
      e.Run = int8_t((b.W >> 20) & 0x3F);
      b.Consume(12);
      b.Refill();
      level = int32_t(b.W) >> 22;
      e.Length = 10;
    } else {
      level = e.Level;
    }
    k += e.Run;
    if (k > 63) return false;  // a run past the end of the block
    out[k] = int16_t(level);
    k++;
    b.Consume(e.Length);
    b.Refill();
  }
}

}  // namespace

int MdecCodec::DecodeMacroblock(const uint8_t* buffer, size_t size, int position, bool first,
                                Blocks6& levels) {
  BitWindow b{buffer, size, window_, windowBits_, position};
  if (first) {
    b.W = WordAt(buffer, size, b.Pos) << 16 | WordAt(buffer, size, b.Pos + 1);
    b.N = 32;
    b.Pos += 2;
  }
  std::memset(levels, 0, sizeof(Blocks6));
  const bool v3 = version_ >= 3;
  for (int blk = 0; blk < 6; blk++) {
    int16_t* out = levels[blk];
    if (!v3) {
      out[0] = int16_t(int32_t(b.W) >> 22);
      b.Consume(10);
    } else {
      const DcSizeRow* row = DcSizeOf(b.W, blk < 2);
      if (!row) return -1;  // ten 1-bits in luma: the end marker, not a DC
      b.Consume(row->PrefixLength);
      b.Refill();
      int32_t value = int32_t(b.W >> (30 - row->Size)) & row->ValueMask;
      if ((value & row->SignTest) == 0) value += row->NegativeAdjust;
      b.Consume(row->Size);
      uint32_t& predictor = predictors_[blk < 2 ? blk : 2];
      predictor += uint32_t(value);
      out[0] = int16_t(uint16_t(predictor));
    }
    b.Refill();
    if (!DecodeAcCodes(b, out, lastScan_[blk])) return -1;
  }
  window_ = b.W;
  windowBits_ = b.N;
  return b.Pos;
}

int MdecCodec::FindAcRowLinear(int run, int level) {
  const auto& rows = AcCodeTable();
  for (int r = 1; r < kAcRows; r++)
    if (r != kAcEscapeRow && rows[r].Run == run && rows[r].Level == level) return r;
  return -1;
}

namespace {
// (run, level) -> row, for runs 0..31 and levels -40..40; -1 where the table
// has no code.
struct AcRowLookup {
  int16_t Row[32][81];
  AcRowLookup() {
    for (auto& r : Row)
      for (auto& v : r) v = -1;
    const auto& rows = AcCodeTable();
    for (int r = 1; r < kAcRows; r++) {
      if (rows[r].Run < 0) continue;
      int16_t& slot = Row[rows[r].Run][rows[r].Level + 40];
      if (slot < 0) slot = int16_t(r);
    }
  }
};

const AcRowLookup kAcRowLookup;

}  // namespace

int MdecCodec::FindAcRow(int run, int level) {
  if (run < 0 || run > 31 || level < -40 || level > 40) return -1;
  return kAcRowLookup.Row[run][level + 40];
}

int MdecCodec::EncodeMacroblock(uint8_t* buffer, size_t size, int position, int& codes,
                                bool first, const Blocks6& levels) {
  SparseBlock blocks[6];
  for (int blk = 0; blk < 6; blk++) {
    const int16_t* in = levels[blk];
    SparseBlock& b = blocks[blk];
    b.Dc = in[0];
    b.Count = 0;
    for (int k = 1; k < 64; k++) {
      if (in[k] == 0) continue;
      b.Position[b.Count] = uint8_t(k);
      b.Level[b.Count++] = in[k];
    }
  }
  return EncodeSparseMacroblock(buffer, size, position, codes, first, blocks);
}

int MdecCodec::EncodeSparseMacroblock(uint8_t* buffer, size_t size, int position, int& codes,
                                      bool first, const SparseBlock* blocks) {
  if (first) {
    accumulator_ = 0;
    pendingBits_ = 0;
    codes = 0;
  }
  uint32_t a = accumulator_;
  int n = pendingBits_;
  int pos = position;
  auto put = [&](uint32_t leftAligned, int length) {
    a |= leftAligned >> n;
    n += length;
    while (n >= 16) {  // a 17-bit code can leave 32 pending bits
      StoreWord(buffer, size, pos++, a >> 16);
      a <<= 16;
      n -= 16;
    }
  };
  const auto& rows = AcCodeTable();
  const bool v3 = version_ >= 3;
  for (int blk = 0; blk < 6; blk++) {
    const SparseBlock& b = blocks[blk];
    if (!v3) {
      put(uint32_t(b.Dc) << 22, 10);
    } else {
      uint32_t& predictor = predictors_[blk < 2 ? blk : 2];
      int32_t d = int32_t(b.Dc) - int32_t(predictor);
      int32_t D = (d + 2) & ~3;
      predictor += uint32_t(D);
      const auto& table = blk < 2 ? DcSizeTableChroma : DcSizeTableLuma;
      int32_t magnitude = D < 0 ? -D : D;
      const DcSizeRow* row = &table[11];
      for (const DcSizeRow& r : table) {
        if (r.ValueMask >= magnitude) {
          row = &r;
          break;
        }
      }
      put(row->Code, row->PrefixLength);
      if (row->Size > 0) {
        int32_t field = D >= 0 ? D / 4 : D / 4 + (1 << row->Size) - 1;
        put(uint32_t(field) << (32 - row->Size), row->Size);
      }
    }
    int previous = 0;
    for (int i = 0; i < b.Count; i++) {
      const int run = b.Position[i] - previous - 1, level = b.Level[i];
      previous = b.Position[i];
      const int r = FindAcRow(run, level);
      if (r >= 0) {
        put(rows[r].Code, rows[r].Length);
      } else {
        put((uint32_t(1) << 26) | uint32_t(run) << 20, 12);
        put((uint32_t(level) & 0x3FF) << 22, 10);
      }
    }
    put(rows[0].Code, 2);
    codes += 2 + b.Count;  // DC, the AC codes, end of block
  }
  StoreWord(buffer, size, pos, a >> 16);
  accumulator_ = a;
  pendingBits_ = n;
  return pos;
}

int MdecCodec::WriteFrameEnd(uint8_t* buffer, size_t size, int position) {
  uint32_t a = accumulator_;
  int n = pendingBits_;
  int pos = position;
  a |= (version_ >= 3 ? 0xFFC00000u : 0x7FC00000u) >> n;
  n += 12;
  if (n >= 16) {
    StoreWord(buffer, size, pos++, a >> 16);
    a <<= 16;
    n -= 16;
  }
  StoreWord(buffer, size, pos, a >> 16);
  accumulator_ = a;
  pendingBits_ = n;
  return pos;
}

}  // namespace belmora
