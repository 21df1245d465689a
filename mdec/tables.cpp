#include "mdec/tables.h"

#include <string_view>
#include <utility>

namespace belmora {

namespace {

constexpr uint32_t LeftAligned(std::string_view bits) {
  uint32_t v = 0;
  for (char c : bits) v = v << 1 | uint32_t(c == '1');
  return v << (32 - bits.size());
}
constexpr uint32_t MaskOf(int length) {
  return length == 0 ? 0 : ~uint32_t(0) << (32 - length);
}

constexpr DcSizeRow DcRow(std::string_view code, int size) {
  int32_t mask = ((1 << size) - 1) * 4;
  return {LeftAligned(code),
          MaskOf(int(code.size())),
          int32_t(code.size()),
          size,
          mask,
          size == 0 ? 0 : (1 << (size - 1)) * 4,
          -mask};
}

}  // namespace

const std::array<DcSizeRow, 12> DcSizeTableLuma = {
    DcRow("100", 0),     DcRow("00", 1),       DcRow("01", 2),         DcRow("101", 3),
    DcRow("110", 4),     DcRow("1110", 5),     DcRow("11110", 6),      DcRow("111110", 7),
    DcRow("1111110", 8), DcRow("11111110", 9), DcRow("111111110", 10), DcRow("1111111110", 11)};

const std::array<DcSizeRow, 12> DcSizeTableChroma = {
    DcRow("00", 0),       DcRow("01", 1),        DcRow("10", 2),          DcRow("110", 3),
    DcRow("1110", 4),     DcRow("11110", 5),     DcRow("111110", 6),      DcRow("1111110", 7),
    DcRow("11111110", 8), DcRow("111111110", 9), DcRow("1111111110", 10), DcRow("1111111111", 11)};

namespace {

struct Pair {
  std::string_view Bits;  // without the sign bit
  int Run;
  int Level;
};

// The dct_coeff_next codes of MPEG-1 video (run 0 level 1 as 11).
constexpr Pair kPairs[] = {
    {"11", 0, 1},
    {"011", 1, 1},
    {"0100", 0, 2},
    {"0101", 2, 1},
    {"00101", 0, 3},
    {"00111", 3, 1},
    {"00110", 4, 1},
    {"000110", 1, 2},
    {"000111", 5, 1},
    {"000101", 6, 1},
    {"000100", 7, 1},
    {"0000110", 0, 4},
    {"0000100", 2, 2},
    {"0000111", 8, 1},
    {"0000101", 9, 1},
    {"00100110", 0, 5},
    {"00100001", 0, 6},
    {"00100101", 1, 3},
    {"00100100", 3, 2},
    {"00100111", 10, 1},
    {"00100011", 11, 1},
    {"00100010", 12, 1},
    {"00100000", 13, 1},
    {"0000001010", 0, 7},
    {"0000001100", 1, 4},
    {"0000001011", 2, 3},
    {"0000001111", 4, 2},
    {"0000001001", 5, 2},
    {"0000001110", 14, 1},
    {"0000001101", 15, 1},
    {"0000001000", 16, 1},
    {"000000011101", 0, 8},
    {"000000011000", 0, 9},
    {"000000010011", 0, 10},
    {"000000010000", 0, 11},
    {"000000011011", 1, 5},
    {"000000010100", 2, 4},
    {"000000011100", 3, 3},
    {"000000010010", 4, 3},
    {"000000011110", 6, 2},
    {"000000010101", 7, 2},
    {"000000010001", 8, 2},
    {"000000011111", 17, 1},
    {"000000011010", 18, 1},
    {"000000011001", 19, 1},
    {"000000010111", 20, 1},
    {"000000010110", 21, 1},
    {"0000000011010", 0, 12},
    {"0000000011001", 0, 13},
    {"0000000011000", 0, 14},
    {"0000000010111", 0, 15},
    {"0000000010110", 1, 6},
    {"0000000010101", 1, 7},
    {"0000000010100", 2, 5},
    {"0000000010011", 3, 4},
    {"0000000010010", 5, 3},
    {"0000000010001", 9, 2},
    {"0000000010000", 10, 2},
    {"0000000011111", 22, 1},
    {"0000000011110", 23, 1},
    {"0000000011101", 24, 1},
    {"0000000011100", 25, 1},
    {"0000000011011", 26, 1},
    {"00000000011111", 0, 16},
    {"00000000011110", 0, 17},
    {"00000000011101", 0, 18},
    {"00000000011100", 0, 19},
    {"00000000011011", 0, 20},
    {"00000000011010", 0, 21},
    {"00000000011001", 0, 22},
    {"00000000011000", 0, 23},
    {"00000000010111", 0, 24},
    {"00000000010110", 0, 25},
    {"00000000010101", 0, 26},
    {"00000000010100", 0, 27},
    {"00000000010011", 0, 28},
    {"00000000010010", 0, 29},
    {"00000000010001", 0, 30},
    {"00000000010000", 0, 31},
    {"000000000011000", 0, 32},
    {"000000000010111", 0, 33},
    {"000000000010110", 0, 34},
    {"000000000010101", 0, 35},
    {"000000000010100", 0, 36},
    {"000000000010011", 0, 37},
    {"000000000010010", 0, 38},
    {"000000000010001", 0, 39},
    {"000000000010000", 0, 40},
    {"000000000011111", 1, 8},
    {"000000000011110", 1, 9},
    {"000000000011101", 1, 10},
    {"000000000011100", 1, 11},
    {"000000000011011", 1, 12},
    {"000000000011010", 1, 13},
    {"000000000011001", 1, 14},
    {"0000000000010011", 1, 15},
    {"0000000000010010", 1, 16},
    {"0000000000010001", 1, 17},
    {"0000000000010000", 1, 18},
    {"0000000000010100", 6, 3},
    {"0000000000011010", 11, 2},
    {"0000000000011001", 12, 2},
    {"0000000000011000", 13, 2},
    {"0000000000010111", 14, 2},
    {"0000000000010110", 15, 2},
    {"0000000000010101", 16, 2},
    {"0000000000011111", 27, 1},
    {"0000000000011110", 28, 1},
    {"0000000000011101", 29, 1},
    {"0000000000011100", 30, 1},
    {"0000000000011011", 31, 1},
};
static_assert(std::size(kPairs) == 111);

constexpr std::array<AcCodeRow, kAcRows> MakeAcCodeTable() {
  // By code length, then run, then level (an insertion sort: stable, and
  // usable at compile time).
  std::array<Pair, std::size(kPairs)> pairs{};
  for (size_t i = 0; i < pairs.size(); i++) pairs[i] = kPairs[i];
  auto before = [](const Pair& a, const Pair& b) {
    if (a.Bits.size() != b.Bits.size()) return a.Bits.size() < b.Bits.size();
    if (a.Run != b.Run) return a.Run < b.Run;
    return a.Level < b.Level;
  };
  for (size_t i = 1; i < pairs.size(); i++)
    for (size_t j = i; j > 0 && before(pairs[j], pairs[j - 1]); j--) std::swap(pairs[j], pairs[j - 1]);
  std::array<AcCodeRow, kAcRows> rows{};
  int n = 0;
  rows[n++] = {LeftAligned("10"), MaskOf(2), 2, 0, 0};  // end of block
  for (const Pair& p : pairs) {
    if (n == kAcEscapeRow) rows[n++] = {LeftAligned("000001"), MaskOf(6), 6, -1, 0};
    int length = int(p.Bits.size()) + 1;
    uint32_t code = LeftAligned(p.Bits);
    rows[n++] = {code, MaskOf(length), length, p.Run, p.Level};
    rows[n++] = {code | (uint32_t(1) << (32 - length)), MaskOf(length), length, p.Run, -p.Level};
  }
  return rows;
}

// Fills `table` from rows [first, last] for indices [from, 255], each index
// standing for its `bits` top bits.
constexpr std::array<AcCodeRow, kAcRows> kAcCodeTable = MakeAcCodeTable();

constexpr bool FillDecodeTable(std::array<AcDecodeEntry, 256>& table, int bits, int from,
                               int first, int last) {
  const auto& rows = kAcCodeTable;
  for (int index = from; index < 256; index++) {
    uint32_t w = uint32_t(index) << (32 - bits);
    bool found = false;
    for (int r = first; r <= last && !found; r++) {
      if ((w & rows[r].Mask) != rows[r].Code) continue;
      table[index] = {uint8_t(rows[r].Length), int8_t(rows[r].Run), int16_t(rows[r].Level)};
      found = true;
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace

namespace {

// The decoding tables, built and checked at compile time: every filled index
// must find its row.
struct BuiltTables {
  AcDecodeTables Tables{};
  bool Complete = false;
};
constexpr BuiltTables BuildAcDecodeTables() {
  BuiltTables b;
  b.Complete = FillDecodeTable(b.Tables.ByTop9, 9, 8, 3, 47) &&
               FillDecodeTable(b.Tables.ByTop14, 14, 32, 48, 127) &&
               FillDecodeTable(b.Tables.ByTop17, 17, 32, 128, 223);
  return b;
}
constexpr BuiltTables kBuilt = BuildAcDecodeTables();
static_assert(kBuilt.Complete, "an AC code table index matches no row");

}  // namespace

const std::array<AcCodeRow, kAcRows>& AcCodeTable() {
  return kAcCodeTable;
}

const AcDecodeTables& AcDecodeTablesBuilt() {
  return kBuilt.Tables;
}

namespace {
constexpr std::array<AcDecodeEntry, 512> WidenFirstTable(const AcDecodeTables& tables) {
  std::array<AcDecodeEntry, 512> wide{};
  for (int i = 0; i < 256; i++) wide[i] = tables.ByTop9[i];
  for (int i = 256; i < 384; i++) wide[i] = {2, kEndOfBlockRun, 0};
  for (int i = 384; i < 448; i++) wide[i] = {3, 0, 1};
  for (int i = 448; i < 512; i++) wide[i] = {3, 0, -1};
  return wide;
}
constexpr std::array<AcDecodeEntry, 512> kFirstLookup = WidenFirstTable(kBuilt.Tables);
}  // namespace

const std::array<AcDecodeEntry, 512>& WideFirstLookup() {
  return kFirstLookup;
}

}  // namespace belmora
