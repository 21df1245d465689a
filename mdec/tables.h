// The fixed tables of the MDEC codec: DC size codes, AC run/level codes and
// their decoding tables, zigzag scan, quantizer matrix, transform matrix.
#pragma once

#include <array>
#include <cstdint>

namespace belmora {

struct DcSizeRow {
  uint32_t Code;        // left-aligned in 32 bits
  uint32_t PrefixMask;  // covers the prefix
  int32_t PrefixLength;
  int32_t Size;
  int32_t ValueMask;       // (2^size - 1) * 4
  int32_t SignTest;        // 2^(size-1) * 4, 0 for size 0
  int32_t NegativeAdjust;  // -(2^size - 1) * 4
};

extern const std::array<DcSizeRow, 12> DcSizeTableLuma;
extern const std::array<DcSizeRow, 12> DcSizeTableChroma;

struct AcCodeRow {
  uint32_t Code;  // left-aligned in 32 bits, sign bit included
  uint32_t Mask;
  int32_t Length;  // sign bit included
  int32_t Run;     // -1 marks the escape row
  int32_t Level;
};

inline constexpr int kAcRows = 224;
inline constexpr int kAcEscapeRow = 23;
// Row 0 end of block, rows 1 and 2 run 0 level +1 and -1, row 23 the escape;
// rows grouped by code length as the bitstream description gives them.
const std::array<AcCodeRow, kAcRows>& AcCodeTable();

struct AcDecodeEntry {
  uint8_t Length = 0;  // 0: no code starts here
  int8_t Run = 0;      // -1: escape
  int16_t Level = 0;
};

// The three direct lookup tables, indexed by the top 9, 14 and 17 bits.
struct AcDecodeTables {
  std::array<AcDecodeEntry, 256> ByTop9;
  std::array<AcDecodeEntry, 256> ByTop14;
  std::array<AcDecodeEntry, 256> ByTop17;
};

// Builds the tables; false when a filled index finds no row (a table bug).
bool BuildAcDecodeTables(AcDecodeTables& out);

// The first table widened to all 512 nine-bit indices: end of block (run
// kEndOfBlockRun), run 0 level +1 and -1, and the ByTop9 entries; indices
// 0..7 stay empty (the longer tables decide).
inline constexpr int8_t kEndOfBlockRun = 64;
std::array<AcDecodeEntry, 512> WidenFirstTable(const AcDecodeTables& tables);

extern const std::array<uint8_t, 64> ZigzagOrder;  // natural index of each scan position
extern const std::array<int32_t, 64> QuantMatrix;  // natural order; entry 0 unused
extern const std::array<std::array<int16_t, 8>, 8> TransformMatrix;  // T[k][n]

}  // namespace belmora
