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

int MdecCodec::DecodeMacroblock(const uint8_t* buffer, size_t size, int position, bool first,
                                Blocks6& levels) {
  Blocks6& blocks = levels;
  uint32_t w = window_;
  int n = windowBits_;
  int pos = position;
  if (first) {
    w = WordAt(buffer, size, pos) << 16 | WordAt(buffer, size, pos + 1);
    n = 32;
    pos += 2;
  }
  // Keeps at least 17 valid bits, enough for the longest code.
  auto refill = [&] {
    while (n <= 16) {
      w |= WordAt(buffer, size, pos++) << (16 - n);
      n += 16;
    }
  };
  auto consume = [&](int k) {
    w <<= k;
    n -= k;
  };
  std::memset(blocks, 0, sizeof(Blocks6));
  const bool v3 = version_ >= 3;
  const auto& firstLookup = WideFirstLookup();
  const auto& tables = AcDecodeTablesBuilt();
  for (int blk = 0; blk < 6; blk++) {
    int16_t* out = blocks[blk];
    // DC.
    if (!v3) {
      out[0] = int16_t(int32_t(w) >> 22);
      consume(10);
    } else {
      const auto& table = blk < 2 ? DcSizeTableChroma : DcSizeTableLuma;
      const DcSizeRow* row = nullptr;
      for (const DcSizeRow& r : table) {
        if ((w & r.PrefixMask) == r.Code) {
          row = &r;
          break;
        }
      }
      if (!row) return -1;  // ten 1-bits in luma: the end marker, not a DC
      consume(row->PrefixLength);
      refill();
      int32_t value = int32_t(w >> (30 - row->Size)) & row->ValueMask;
      if ((value & row->SignTest) == 0) value += row->NegativeAdjust;
      consume(row->Size);
      uint32_t& predictor = predictors_[blk < 2 ? blk : 2];
      predictor += uint32_t(value);
      out[0] = int16_t(uint16_t(predictor));
    }
    refill();
    // AC codes up to the end of block. The first table, indexed by the top
    // nine bits, also holds end of block and the two 3-bit codes.
    int k = 1;
    for (;;) {
      AcDecodeEntry e = firstLookup[w >> 23];
      int level;
      if (e.Length == 0) {                // six or more leading zeros
        if (w >= 0x00800000u)
          e = tables.ByTop14[w >> 18];
        else if (w >= 0x00100000u)
          e = tables.ByTop17[w >> 15];
        if (e.Length == 0) return -1;
        level = e.Level;
      } else if (e.Run == kEndOfBlockRun) {
        consume(2);
        refill();
        lastScan_[blk] = uint8_t(k - 1);
        break;
      } else if (e.Run < 0) {  // escape: 6-bit run, 10-bit level
        e.Run = int8_t((w >> 20) & 0x3F);
        consume(12);
        refill();
        level = int32_t(w) >> 22;
        e.Length = 10;
      } else {
        level = e.Level;
      }
      k += e.Run;
      if (k > 63) return -1;  // a run past the end of the block
      out[k] = int16_t(level);
      k++;
      consume(e.Length);
      refill();
    }
  }
  window_ = w;
  windowBits_ = n;
  return pos;
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
