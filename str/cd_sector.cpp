#include "str/cd_sector.h"

#include <cstring>

#include "base/bytes.h"
#include "str/sector.h"

namespace belmora {

namespace {

// ---- EDC -------------------------------------------------------------------

// P(x) with bits reversed: bit 31 - k holds the coefficient of x^k (x^32 implied).
constexpr uint32_t kEdcPolyReflected = 0xD8018001;

// kEdcTables[0][b]: the register after shifting in byte b from zero.
// kEdcTables[k][b]: the same followed by k zero bytes, so that eight bytes can
// be folded in with eight independent lookups.
constexpr std::array<std::array<uint32_t, 256>, 8> MakeEdcTables() {
  std::array<std::array<uint32_t, 256>, 8> t{};
  for (uint32_t b = 0; b < 256; b++) {
    uint32_t r = b;
    for (int bit = 0; bit < 8; bit++) r = (r >> 1) ^ ((r & 1) ? kEdcPolyReflected : 0);
    t[0][b] = r;
  }
  for (int k = 1; k < 8; k++)
    for (int b = 0; b < 256; b++) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  return t;
}
constexpr auto kEdcTables = MakeEdcTables();

// ---- GF(2^8) with x^8+x^4+x^3+x^2+1; alpha = x = 2 --------------------------

constexpr uint8_t GfMulAlpha(uint8_t a) {
  return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1D : 0));
}

// Multiplication by alpha, and division by 1 + alpha (the inverse of
// a -> a ^ alpha*a), for the fast ECC.
struct EccTables {
  std::array<uint8_t, 256> MulAlpha{};
  std::array<uint8_t, 256> DivOnePlusAlpha{};
};
constexpr EccTables MakeEccTables() {
  EccTables t;
  for (int a = 0; a < 256; a++) {
    t.MulAlpha[a] = GfMulAlpha(uint8_t(a));
    t.DivOnePlusAlpha[uint8_t(a ^ GfMulAlpha(uint8_t(a)))] = uint8_t(a);
  }
  return t;
}
constexpr EccTables kEccTables = MakeEccTables();

// Shift-and-add multiplication.
uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t p = 0;
  for (; b; b >>= 1, a = GfMulAlpha(a))
    if (b & 1) p ^= a;
  return p;
}
uint8_t GfPow(uint8_t a, int n) {
  uint8_t p = 1;
  while (n-- > 0) p = GfMul(p, a);
  return p;
}
// a^254 = a^-1 in a field of 256 elements.
uint8_t GfInverse(uint8_t a) {
  return GfPow(a, 254);
}

// The ECC sees the covered bytes as 16-bit words S(0)..S(1169): word n is
// bytes 2n and 2n + 1 after the header's first byte, and each of the two
// byte planes is coded on its own. Words 0..1031 are header and body, words
// 1032..1117 the P parity, words 1118..1169 the Q parity.
constexpr int kEccWords = 1170;
constexpr int kPWords = 43, kPRows = 24;  // P vector Np: S(43*Mp + Np), Mp = 0..25
constexpr int kQWords = 26, kQRows = 43;  // Q vector Nq: S((44*Mq + 43*Nq) mod 1118), Mq = 0..42
constexpr int kQSpan = 1118;              // words covered by the Q code

constexpr int kHeaderSize = 4;
constexpr int kCoveredByP = kHeaderSize + kEccBodySize;  // 2064 bytes
constexpr int kPColumns = 2 * kPWords;                   // 86 byte columns
constexpr int kQDiagonals = 2 * kQWords;                 // 52 byte diagonals

constexpr uint8_t kZeroHeader[kHeaderSize] = {};

// Parity bytes (p0, p1) that complete data d[0..k-1] to a codeword of the
// check matrix [1 1 ... 1; alpha^(k+1) alpha^k ... alpha 1]:
//   sum d_i + p0 + p1 = 0,  sum alpha^(k+1-i) d_i + alpha p0 + p1 = 0,
// so p0 = (S0 + S1) / (1 + alpha) and p1 = S0 + p0.
void SolveParity(const uint8_t* d, int k, uint8_t& p0, uint8_t& p1) {
  uint8_t s0 = 0, s1 = 0;
  for (int i = 0; i < k; i++) {
    s0 ^= d[i];
    s1 ^= GfMul(GfPow(2, k + 1 - i), d[i]);
  }
  p0 = GfMul(uint8_t(s0 ^ s1), GfInverse(3));
  p1 = uint8_t(s0 ^ p0);
}

}  // namespace

uint32_t ComputeEdc(const uint8_t* data, size_t size) {
  const auto& t = kEdcTables;
  uint32_t r = 0;
  for (; size >= 8; size -= 8, data += 8) {
    uint32_t a = GetU32(data) ^ r, b = GetU32(data + 4);
    r = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
        t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
  }
  for (; size > 0; size--, data++) r = (r >> 8) ^ t[0][(r ^ *data) & 0xFF];
  return r;
}

uint32_t ComputeEdcReference(const uint8_t* data, size_t size) {
  uint32_t r = 0;
  for (size_t i = 0; i < size; i++) {
    for (int bit = 0; bit < 8; bit++) {
      bool feedback = ((r ^ (data[i] >> bit)) & 1) != 0;
      r >>= 1;
      if (feedback) r ^= kEdcPolyReflected;
    }
  }
  return r;
}

// Both codes computed byte-wise: P byte column c (0..85) is bytes 86*r + c of
// the covered area, rows r = 0..23 then its parity rows 24 and 25; Q byte
// diagonal c (0..51) starts at byte 86*(c/2) + c%2 and steps 88 bytes (one
// row and one word) at a time, modulo the 2236 bytes of the Q span. Each sum
// S1 is gathered by Horner's rule, one table lookup a byte.
void ComputeEcc(const uint8_t* header, const uint8_t* body, uint8_t* parity) {
  const auto& mul = kEccTables.MulAlpha;
  const auto& div = kEccTables.DivOnePlusAlpha;
  uint8_t v[2 * kQSpan];
  std::memcpy(v, header, kHeaderSize);
  std::memcpy(v + kHeaderSize, body, kEccBodySize);

  uint8_t s0[kPColumns] = {}, s1[kPColumns] = {};
  for (int r = 0; r < kPRows; r++) {
    const uint8_t* row = v + r * kPColumns;
    for (int c = 0; c < kPColumns; c++) {
      s0[c] ^= row[c];
      s1[c] = mul[s1[c] ^ row[c]];
    }
  }
  for (int c = 0; c < kPColumns; c++) {
    uint8_t p0 = div[mul[s1[c]] ^ s0[c]];
    v[kCoveredByP + c] = p0;
    v[kCoveredByP + kPColumns + c] = uint8_t(p0 ^ s0[c]);
  }

  // Q: step m of every diagonal at once, so the 52 Horner chains overlap.
  uint8_t a[kQDiagonals] = {}, b[kQDiagonals] = {};
  for (int m = 0; m < kQRows; m++) {
    for (int w = 0, i = m * (kPColumns + 2) % (2 * kQSpan); w < kQWords; w++) {
      a[2 * w] ^= v[i];
      b[2 * w] = mul[b[2 * w] ^ v[i]];
      a[2 * w + 1] ^= v[i + 1];
      b[2 * w + 1] = mul[b[2 * w + 1] ^ v[i + 1]];
      i += kPColumns;
      if (i >= 2 * kQSpan) i -= 2 * kQSpan;
    }
  }
  uint8_t* q = parity + kEccPSize;
  for (int c = 0; c < kQDiagonals; c++) {
    uint8_t p0 = div[mul[b[c]] ^ a[c]];
    q[c] = p0;
    q[kQDiagonals + c] = uint8_t(p0 ^ a[c]);
  }
  std::memcpy(parity, v + kCoveredByP, kEccPSize);
}

void ComputeEccReference(const uint8_t* header, const uint8_t* body, uint8_t* parity) {
  uint8_t s[2 * kEccWords] = {};
  std::memcpy(s, header, kHeaderSize);
  std::memcpy(s + kHeaderSize, body, kEccBodySize);
  for (int plane = 0; plane < 2; plane++) {
    auto word = [&](int n) -> uint8_t& { return s[2 * n + plane]; };
    uint8_t d[kQRows];
    for (int np = 0; np < kPWords; np++) {
      for (int mp = 0; mp < kPRows; mp++) d[mp] = word(kPWords * mp + np);
      SolveParity(d, kPRows, word(kPWords * kPRows + np), word(kPWords * (kPRows + 1) + np));
    }
  }
  // Q after P: the Q code covers the P parity.
  for (int plane = 0; plane < 2; plane++) {
    auto word = [&](int n) -> uint8_t& { return s[2 * n + plane]; };
    uint8_t d[kQRows];
    for (int nq = 0; nq < kQWords; nq++) {
      for (int mq = 0; mq < kQRows; mq++) d[mq] = word((44 * mq + 43 * nq) % kQSpan);
      SolveParity(d, kQRows, word(kQSpan + nq), word(kQSpan + kQWords + nq));
    }
  }
  std::memcpy(parity, s + kCoveredByP, kEccSize);
}

// ---- Address header ------------------------------------------------------

bool EncodeMsf(int32_t lba, uint8_t* out) {
  bool inRange = lba >= 0 && lba < kMsfAddressCount;
  int32_t a = (lba % kMsfAddressCount + kMsfAddressCount) % kMsfAddressCount;
  auto bcd = [](int32_t n) { return uint8_t((n / 10) << 4 | n % 10); };
  out[0] = bcd(a / kSectorsPerMinute);
  out[1] = bcd(a / 75 % 60);
  out[2] = bcd(a % 75);
  return inRange;
}

std::optional<int32_t> DecodeMsf(const uint8_t* msf) {
  int v[3];
  for (int i = 0; i < 3; i++) {
    int hi = msf[i] >> 4, lo = msf[i] & 0xF;
    if (hi > 9 || lo > 9) return std::nullopt;
    v[i] = hi * 10 + lo;
  }
  if (v[1] >= 60 || v[2] >= 75) return std::nullopt;
  return v[0] * kSectorsPerMinute + v[1] * 75 + v[2];
}

// ---- Sealing and checking ------------------------------------------------

void SealSectorImage(uint8_t* image, Form2Edc form2Edc) {
  if (image[2] & kSubmodeForm2) {
    uint8_t* edc = image + kForm2EdcOffset;
    if (form2Edc == Form2Edc::KeepZero && GetU32(edc) == 0) return;
    PutU32(edc, ComputeEdc(image, kForm2EdcOffset));
  } else {
    PutU32(image + kForm1EdcOffset, ComputeEdc(image, kForm1EdcOffset));
    uint8_t ecc[kEccSize];
    ComputeEcc(kZeroHeader, image, ecc);
    std::memcpy(image + kForm1EccOffset, ecc, kEccSize);
  }
}

void SealRawSector(uint8_t* raw, int32_t lba, bool writeHeader, Form2Edc form2Edc) {
  std::memcpy(raw, kSyncPattern.data(), kSyncPattern.size());
  if (writeHeader) {
    EncodeMsf(lba, raw + 12);
    raw[15] = kMode2;
  }
  SealSectorImage(raw + 16, form2Edc);
}

SectorCheck CheckSectorImage(const uint8_t* image) {
  SectorCheck c;
  c.SyncOk = c.HeaderOk = true;
  if (image[2] & kSubmodeForm2) {
    c.Form = 2;
    uint32_t stored = GetU32(image + kForm2EdcOffset);
    c.EdcOk = stored == ComputeEdc(image, kForm2EdcOffset);
    c.Form2EdcZero = stored == 0;
    c.EccOk = true;
  } else {
    c.EdcOk = GetU32(image + kForm1EdcOffset) == ComputeEdc(image, kForm1EdcOffset);
    uint8_t ecc[kEccSize];
    ComputeEcc(kZeroHeader, image, ecc);
    c.EccOk = std::memcmp(ecc, image + kForm1EccOffset, kEccSize) == 0;
  }
  return c;
}

SectorCheck CheckRawSector(const uint8_t* raw, std::optional<int32_t> expectedLba) {
  SectorCheck c = CheckSectorImage(raw + 16);
  c.SyncOk = std::memcmp(raw, kSyncPattern.data(), kSyncPattern.size()) == 0;
  auto lba = DecodeMsf(raw + 12);
  c.HeaderOk = raw[15] == kMode2 && lba && (!expectedLba || *lba == *expectedLba);
  return c;
}

}  // namespace belmora
