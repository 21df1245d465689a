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

// The tables, built (and checked) when the program is compiled.
const AcDecodeTables& AcDecodeTablesBuilt();

// The first table widened to all 512 nine-bit indices: end of block (run
// kEndOfBlockRun), run 0 level +1 and -1, and the ByTop9 entries; indices
// 0..7 stay empty (the longer tables decide).
inline constexpr int8_t kEndOfBlockRun = 64;
const std::array<AcDecodeEntry, 512>& WideFirstLookup();

// Natural index of each scan position; the quantizer matrix in natural
// order (entry 0 unused); the transform matrix T[k][n].
inline constexpr std::array<uint8_t, 64> ZigzagOrder = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

inline constexpr std::array<int32_t, 64> QuantMatrix = {2,  16, 19, 22, 26, 27, 29, 34,  //
                                             16, 16, 22, 24, 27, 29, 34, 37,  //
                                             19, 22, 26, 27, 29, 34, 34, 38,  //
                                             22, 22, 26, 27, 29, 34, 37, 40,  //
                                             22, 26, 27, 29, 32, 35, 40, 48,  //
                                             26, 27, 29, 32, 35, 40, 48, 58,  //
                                             26, 27, 29, 34, 38, 46, 56, 69,  //
                                             27, 29, 35, 38, 46, 56, 69, 83};

inline constexpr std::array<std::array<int16_t, 8>, 8> TransformMatrix = {{
    {4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096},
    {5681, 4816, 3218, 1130, -1130, -3218, -4816, -5681},
    {5352, 2217, -2217, -5352, -5352, -2217, 2217, 5352},
    {4816, -1130, -5681, -3218, 3218, 5681, 1130, -4816},
    {4096, -4096, -4096, 4096, 4096, -4096, -4096, 4096},
    {3218, -5681, 1130, 4816, -4816, -1130, 5681, -3218},
    {2217, -5352, 5352, -2217, -2217, 5352, -5352, 2217},
    {1130, -3218, 4816, -5681, 5681, -4816, 3218, -1130},
}};

}  // namespace belmora
