// The decoder's fast bitstream step: the same codes as DecodeMacroblock,
// read through a 64-bit window that is refilled 32 bits at a time, so that
// one refill covers any code (an escape with its level is 22 bits), and
// stored straight as dequantized natural-order coefficients.
#include <bit>
#include <cstring>

#include "mdec/codec.h"

#if defined(BELMORA_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace belmora {

MdecCodec::WideReader::WideReader(const uint8_t* buffer, size_t size)
    : Buffer(buffer), Size(size) {
  Refill();
  Refill();
}

void MdecCodec::WideReader::Refill() {
  // Two 16-bit little-endian words, the first one high; words past the end
  // of the buffer read as zero, as in DecodeMacroblock.
  uint32_t two;
  if (At + 4 <= Size) {
    uint8_t b[4];
    std::memcpy(b, Buffer + At, 4);
    two = uint32_t(b[0]) << 16 | uint32_t(b[1]) << 24 | uint32_t(b[2]) | uint32_t(b[3]) << 8;
  } else {
    auto word = [&](size_t at) {
      return at + 1 < Size ? uint32_t(Buffer[at] | Buffer[at + 1] << 8) : 0u;
    };
    two = word(At) << 16 | word(At + 2);
  }
  Window |= uint64_t(two) << (32 - Bits);
  Bits += 32;
  At += 4;
}

bool MdecCodec::DecodeMacroblockWide(WideReader& reader, const uint32_t* scaledByScan,
                                     Blocks6& blocks) {
  uint64_t w = reader.Window;
  int n = reader.Bits;
  // The reader's position is kept here, in a register, while the block is
  // read: the stores of coefficients cannot then be taken to change it.
  const uint8_t* const buffer = reader.Buffer;
  const size_t size = reader.Size;
  size_t at = reader.At;
  // At least 33 valid bits after this.
  auto refill = [&] {
    if (n <= 32) {
      if (at + 4 <= size) {  // the usual case, kept inline
        // Bytes b0 b1 b2 b3 are the words b1b0 and b3b2, the first one
        // high: the little-endian load turned by 16 bits.
        uint32_t le;
        std::memcpy(&le, buffer + at, 4);
        if constexpr (std::endian::native == std::endian::big)
          le = le >> 24 | (le >> 8 & 0xFF00u) | (le << 8 & 0xFF0000u) | le << 24;
        const uint32_t two = std::rotl(le, 16);
        w |= uint64_t(two) << (32 - n);
        n += 32;
        at += 4;
        return;
      }
      reader.Window = w;
      reader.Bits = n;
      reader.At = at;
      reader.Refill();
      w = reader.Window;
      n = reader.Bits;
      at = reader.At;
    }
  };
  auto consume = [&](int k) {
    w <<= k;
    n -= k;
  };
#if defined(BELMORA_HAVE_SSE2)
  // Plain vector stores: cheaper than a string store for 768 bytes.
  for (int i = 0; i < 48; i++)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&blocks[0][0]) + i, _mm_setzero_si128());
#else
  std::memset(blocks, 0, sizeof(Blocks6));
#endif
  const bool v3 = version_ >= 3;
  const auto& firstLookup = WideFirstLookup();
  const auto& tables = AcDecodeTablesBuilt();
  for (int blk = 0; blk < 6; blk++) {
    int16_t* out = blocks[blk];
    refill();
    uint32_t top = uint32_t(w >> 32);
    // DC: a prefix and size bits, at most 21 bits in all.
    if (!v3) {
      out[0] = int16_t(int32_t(top) >> 22);
      consume(10);
    } else {
      const auto& table = blk < 2 ? DcSizeTableChroma : DcSizeTableLuma;
      const DcSizeRow* row = nullptr;
      for (const DcSizeRow& r : table) {
        if ((top & r.PrefixMask) == r.Code) {
          row = &r;
          break;
        }
      }
      if (!row) return false;  // ten 1-bits in luma: the end marker, not a DC
      top <<= row->PrefixLength;
      int32_t value = int32_t(top >> (30 - row->Size)) & row->ValueMask;
      if ((value & row->SignTest) == 0) value += row->NegativeAdjust;
      consume(row->PrefixLength + row->Size);
      uint32_t& predictor = predictors_[blk < 2 ? blk : 2];
      predictor += uint32_t(value);
      out[0] = int16_t(uint16_t(predictor));
    }
    // AC codes up to the end of block (see DecodeMacroblock).
    int k = 1;
    for (;;) {
      refill();
      top = uint32_t(w >> 32);
      AcDecodeEntry e = firstLookup[top >> 23];
      int level;
      if (e.Length == 0) {
        if (top >= 0x00800000u)
          e = tables.ByTop14[top >> 18];
        else if (top >= 0x00100000u)
          e = tables.ByTop17[top >> 15];
        if (e.Length == 0) return false;
        level = e.Level;
      } else if (e.Run == kEndOfBlockRun) {
        consume(2);
        lastScan_[blk] = uint8_t(k - 1);
        break;
      } else if (e.Run < 0) {  // escape: 6-bit run, 10-bit level
        e.Run = int8_t((top >> 20) & 0x3F);
        level = int32_t(top << 12) >> 22;
        e.Length = 22;
      } else {
        level = e.Level;
      }
      k += e.Run;
      if (k > 63) return false;  // a run past the end of the block
      // The signed 32-bit product, wrapped as the arithmetic prescribes.
      out[ZigzagOrder[k]] =
          int16_t(uint16_t(uint32_t(int32_t(uint32_t(level) * scaledByScan[k]) / 16)));
      k++;
      consume(e.Length);
    }
  }
  reader.Window = w;
  reader.Bits = n;
  reader.At = at;
  return true;
}

}  // namespace belmora
