// The best-quality frame encoder. See best_encoder.h for what it does; the
// comments here say how.
#include "mdec/best_encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>


#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace belmora {

namespace {

constexpr int64_t kInfinite = std::numeric_limits<int64_t>::max() / 4;
constexpr int kEscapeBits = 22;  // 6 prefix, 6 run, 10 level
constexpr int kEndOfBlockBits = 2;
constexpr int kMinAcBits = 3;  // run 0, level 1, sign included
// Levels are written in ten bits when they need the escape.
constexpr int kMaxPositiveLevel = 511;
constexpr int kMaxNegativeLevel = 512;
// Code lengths by (run, level magnitude); magnitudes past 40 all escape.
constexpr int kBitsLevels = 42;

struct AcBitsTable {
  uint8_t Bits[63][kBitsLevels];
  AcBitsTable() {
    for (auto& row : Bits)
      for (auto& b : row) b = kEscapeBits;
    const auto& rows = AcCodeTable();
    for (int r = 1; r < kAcRows; r++) {
      if (r == kAcEscapeRow || rows[r].Level <= 0 || rows[r].Run > 62) continue;
      Bits[rows[r].Run][rows[r].Level] = uint8_t(rows[r].Length);
    }
  }
};
const AcBitsTable kAcBits;

// The same by level magnitude, then run, for the programme's inner loop.
struct AcBitsByLevel {
  uint8_t Bits[kBitsLevels][63];
  AcBitsByLevel() {
    for (int m = 0; m < kBitsLevels; m++)
      for (int r = 0; r < 63; r++) Bits[m][r] = kAcBits.Bits[r][m];
  }
};
const AcBitsByLevel kAcBitsByLevel;

// The orthonormal DCT matrix in 14-bit fixed point.
struct DctMatrix {
  int16_t A[8][8];
  DctMatrix() {
    for (int k = 0; k < 8; k++)
      for (int n = 0; n < 8; n++) {
        const double a = k == 0 ? std::sqrt(0.125) : 0.5;
        A[k][n] = int16_t(std::lround(16384 * a * std::cos((2 * n + 1) * k * M_PI / 16)));
      }
  }
};
const DctMatrix kDct;

// Rounding of the two passes: the first keeps two more bits than its
// input, the second lands on coefficient sixteenths.
constexpr int kFirstShift = 12;
constexpr int kSecondShift = 17;

// The nearest level magnitude to `a` (coefficient sixteenths) at natural
// position z, by the decoder's truncating reconstruction; ties go to the
// smaller level.
int NearestLevel(int32_t a, int z, const RdScale& scale, int maxLevel) {
  const int32_t step = scale.Step[z];
  int level = std::min(a / step, maxLevel);
  int best = level;
  int32_t bestError = a - scale.Reconstruct(z, level);
  for (int l = level + 1; l <= std::min(level + 2, maxLevel); l++) {
    const int32_t error = std::abs(a - scale.Reconstruct(z, l));
    if (error < bestError) {
      best = l;
      bestError = error;
    }
  }
  return best;
}

inline int32_t Square(int32_t v) { return v * v; }

}  // namespace

int AcCodeBits(int run, int magnitude) {
  if (run < 0 || run > 62 || magnitude < 1) return kEscapeBits;
  return kAcBits.Bits[run][std::min(magnitude, kBitsLevels - 1)];
}

RdScale::RdScale(int scale) : Scale(scale) {
  for (int z = 0; z < 64; z++) Step[z] = QuantMatrix[z] * scale;
  for (int k = 0; k < 64; k++) {
    StepByScan[k] = Step[ZigzagOrder[k]];
    FirstByScan[k] = int16_t(std::min(StepByScan[k] & ~15, 32767));
    DividerByScan[k] = Divider(uint32_t(StepByScan[k]));
  }
}

// ---- Forward transform ----------------------------------------------------

void BestForwardDctReference(const int16_t* x, int16_t* coefs) {
  int32_t t[8][8];
  for (int k = 0; k < 8; k++)
    for (int n = 0; n < 8; n++) {
      int32_t acc = 0;
      for (int i = 0; i < 8; i++) acc += kDct.A[k][i] * int32_t(x[i * 8 + n]);
      t[k][n] = (acc + (1 << (kFirstShift - 1))) >> kFirstShift;
    }
  for (int k = 0; k < 8; k++)
    for (int l = 0; l < 8; l++) {
      int32_t acc = 0;
      for (int n = 0; n < 8; n++) acc += t[k][n] * kDct.A[l][n];
      coefs[k * 8 + l] = int16_t((acc + (1 << (kSecondShift - 1))) >> kSecondShift);
    }
}

#if defined(__SSE2__)
namespace {

inline void Transpose8(__m128i r[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// The matrix as coefficient pairs for multiply-add: Pairs[k][p] holds
// (A[k][2p], A[k][2p + 1]) in every 32-bit lane.
struct DctPairs {
  alignas(16) int32_t Pairs[8][4][4];
  DctPairs() {
    for (int k = 0; k < 8; k++)
      for (int p = 0; p < 4; p++) {
        const uint32_t v = uint16_t(kDct.A[k][2 * p]) | uint32_t(uint16_t(kDct.A[k][2 * p + 1])) << 16;
        for (int lane = 0; lane < 4; lane++) Pairs[k][p][lane] = int32_t(v);
      }
  }
};
const DctPairs kDctPairs;

// out[k] = (sum over i of A[k][i] x in[i] + rounding) >> shift, eight
// columns at a time.
template <int kShift>
inline void Pass(const __m128i in[8], __m128i out[8]) {
  __m128i lo[4], hi[4];
  for (int p = 0; p < 4; p++) {
    lo[p] = _mm_unpacklo_epi16(in[2 * p], in[2 * p + 1]);
    hi[p] = _mm_unpackhi_epi16(in[2 * p], in[2 * p + 1]);
  }
  const __m128i round = _mm_set1_epi32(1 << (kShift - 1));
  for (int k = 0; k < 8; k++) {
    __m128i sumLo = round, sumHi = round;
    for (int p = 0; p < 4; p++) {
      const __m128i c = _mm_load_si128(reinterpret_cast<const __m128i*>(kDctPairs.Pairs[k][p]));
      sumLo = _mm_add_epi32(sumLo, _mm_madd_epi16(lo[p], c));
      sumHi = _mm_add_epi32(sumHi, _mm_madd_epi16(hi[p], c));
    }
    out[k] = _mm_packs_epi32(_mm_srai_epi32(sumLo, kShift), _mm_srai_epi32(sumHi, kShift));
  }
}

}  // namespace

void BestForwardDctFast(const int16_t* x, int16_t* coefs) {
  __m128i rows[8], t[8];
  for (int i = 0; i < 8; i++) rows[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * i));
  Pass<kFirstShift>(rows, t);  // t = A x, by columns
  Transpose8(t);
  Pass<kSecondShift>(t, rows);  // (A x A^T)^T
  Transpose8(rows);
  for (int k = 0; k < 8; k++) _mm_storeu_si128(reinterpret_cast<__m128i*>(coefs + 8 * k), rows[k]);
}
#else
void BestForwardDctFast(const int16_t* x, int16_t* coefs) { BestForwardDctReference(x, coefs); }
#endif

// ---- Rate-distortion quantization ----------------------------------------

RdBlockOutcome RdQuantizeBlockReference(const int16_t* coefs, const RdScale& scale, int64_t lambda,
                                        int weight, int16_t* levels) {
  // Per scan position: the nearest level (signed) and the weighted errors
  // of the level, one less, and zero.
  int nearest[64] = {};
  int64_t error[64][3] = {};
  for (int k = 1; k < 64; k++) {
    const int z = ZigzagOrder[k];
    const int32_t c = coefs[z], a = std::abs(c);
    const int level = NearestLevel(a, z, scale, c < 0 ? kMaxNegativeLevel : kMaxPositiveLevel);
    nearest[k] = c < 0 ? -level : level;
    error[k][0] = int64_t(weight) * Square(a - scale.Reconstruct(z, level));
    error[k][1] = int64_t(weight) * Square(a - scale.Reconstruct(z, std::max(level - 1, 0)));
    error[k][2] = int64_t(weight) * Square(a);
  }
  // best[k]: the least cost of positions 1..k with k the last non-zero one
  // (k = 0: none yet).
  int64_t best[64];
  int from[64], choice[64];
  best[0] = 0;
  for (int k = 1; k < 64; k++) {
    best[k] = kInfinite;
    const int magnitude = std::abs(nearest[k]);
    for (int v = 0; v < 2; v++) {
      const int m = magnitude - v;
      if (m < 1) continue;
      for (int j = 0; j < k; j++) {
        if (best[j] >= kInfinite) continue;
        int64_t cost = best[j];
        for (int i = j + 1; i < k; i++) cost += error[i][2];
        cost += error[k][v] + lambda * AcCodeBits(k - j - 1, m);
        if (cost < best[k]) {
          best[k] = cost;
          from[k] = j;
          choice[k] = v;
        }
      }
    }
  }
  int last = 0;
  int64_t bestEnd = kInfinite;
  for (int j = 0; j < 64; j++) {
    if (best[j] >= kInfinite) continue;
    int64_t cost = best[j];
    for (int i = j + 1; i < 64; i++) cost += error[i][2];
    cost += lambda * kEndOfBlockBits;
    if (cost < bestEnd) {
      bestEnd = cost;
      last = j;
    }
  }
  // Back from the last level: its levels, bits and distortion.
  int16_t chosen[64] = {};
  bool kept[64] = {};
  RdBlockOutcome out;
  out.Bits = kEndOfBlockBits;
  for (int k = last; k > 0; k = from[k]) {
    const int m = std::abs(nearest[k]) - choice[k];
    chosen[k] = int16_t(nearest[k] < 0 ? -m : m);
    kept[k] = true;
    out.Bits += AcCodeBits(k - from[k] - 1, m);
    out.Distortion += error[k][choice[k]];
  }
  for (int k = 1; k < 64; k++)
    if (!kept[k]) out.Distortion += error[k][2];
  if (levels)
    for (int k = 1; k < 64; k++) levels[k] = chosen[k];
  return out;
}

namespace {

// The positions (bit k for scan position k, DC excluded) whose magnitude
// reaches half the reconstruction of level 1, and the squared magnitudes
// of the others.
inline uint64_t Screen(const int16_t* scanCoefs, const RdScale& scale, int32_t& zero) {
#if defined(__SSE2__)
  uint64_t mask = 0;
  __m128i sum = _mm_setzero_si128();
  for (int g = 0; g < 8; g++) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scanCoefs + 8 * g));
    const __m128i a = _mm_max_epi16(c, _mm_sub_epi16(_mm_setzero_si128(), c));
    const __m128i first =
        _mm_load_si128(reinterpret_cast<const __m128i*>(scale.FirstByScan.data() + 8 * g));
    const __m128i small = _mm_cmplt_epi16(_mm_add_epi16(a, a), first);
    const __m128i rest = _mm_and_si128(small, a);
    sum = _mm_add_epi32(sum, _mm_madd_epi16(rest, rest));
    const int bits = _mm_movemask_epi8(_mm_packs_epi16(small, _mm_setzero_si128()));
    mask |= uint64_t(~bits & 0xFF) << (8 * g);
  }
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
  zero = _mm_cvtsi128_si32(sum);
  // The DC is no candidate, and its square is not an AC error.
  if (!(mask & 1)) zero -= Square(std::abs(int32_t(scanCoefs[0])));
  return mask & ~uint64_t(1);
#else
  uint64_t mask = 0;
  zero = 0;
  for (int k = 1; k < 64; k++) {
    const int32_t a = std::abs(int32_t(scanCoefs[k]));
    if (2 * a < scale.FirstByScan[k])
      zero += Square(a);
    else
      mask |= uint64_t(1) << k;
  }
  return mask;
#endif
}

}  // namespace

int RdPrepareBlock(const int16_t* scanCoefs, const RdScale& scale, RdCandidate* out,
                   int64_t& zeroCost) {
  int count = 0;
  int32_t zero;  // a block's energy stays well inside 32 bits
  // Most coefficients are below half the reconstruction of level 1: their
  // nearest level is 0.
  for (uint64_t mask = Screen(scanCoefs, scale, zero); mask != 0; mask &= mask - 1) {
    const int k = std::countr_zero(mask);
    const int32_t c = scanCoefs[k];
    const int32_t a = c < 0 ? -c : c;
    // The nearest level by the decoder's truncating reconstruction: the
    // quotient or one of the two above it, ties going to the smaller.
    const int32_t step = scale.StepByScan[k];
    const int maxLevel = c < 0 ? kMaxNegativeLevel : kMaxPositiveLevel;
    int level = std::min(scale.DividerByScan[k].Divide(a), maxLevel);
    int32_t error = a - ((level * step) & ~15);
    const int32_t e1 = std::abs(a - (((level + 1) * step) & ~15));
    const int32_t e2 = std::abs(a - (((level + 2) * step) & ~15));
    // Two above the quotient only when strictly nearer than both others.
    const int near = e2 < e1 && e2 < error && level + 2 <= maxLevel ? 2
                     : e1 < error && level + 1 <= maxLevel     ? 1
                                                               : 0;
    level += near;
    error = near == 2 ? e2 : near == 1 ? e1 : error;
    if (level == 0) {
      zero += Square(a);
      continue;
    }
    RdCandidate& cand = out[count++];
    cand.Position = uint8_t(k);
    cand.Negative = c < 0;
    cand.Level = int16_t(level);
    cand.Cost[0] = Square(error);
    cand.Cost[1] = Square(a - (((level - 1) * step) & ~15));
    cand.Cost[2] = Square(a);
  }
  zeroCost = zero;
  return count;
}

RdBlockOutcome RdQuantizeBlockFast(const RdCandidate* cands, int count, int64_t zeroCost,
                                   int64_t lambda, int weight, int16_t* levels) {
  const int64_t w = weight;
  RdBlockOutcome out;
  out.Bits = kEndOfBlockBits;
  if (levels) std::memset(levels + 1, 0, 63 * sizeof(int16_t));
  if (lambda == 0) {
    // Bits cost nothing: every candidate keeps its nearest level, which is
    // strictly better than one less or zero (NearestLevel settles ties
    // downward), so this is the programme's only answer.
    int64_t distortion = w * zeroCost;
    int previous = 0;
    for (int i = 0; i < count; i++) {
      const RdCandidate& c = cands[i];
      out.Bits += kAcBits.Bits[c.Position - previous - 1][std::min<int>(c.Level, kBitsLevels - 1)];
      previous = c.Position;
      distortion += w * c.Cost[0];
      if (levels) levels[c.Position] = int16_t(c.Negative ? -c.Level : c.Level);
    }
    out.Distortion = distortion;
    return out;
  }
  // States 0 (nothing coded yet) and 1..count (candidate i the last level
  // coded). g[j]: the least cost to state j less the zero costs of the
  // candidates up to j, so that going on from j to i adds the zero costs
  // of the candidates between as the same prefix sum for every j.
  uint8_t position[64], from[64], choice[64];
  int64_t lambdaBits[kEscapeBits + 1];
  for (int b = 0; b <= kEscapeBits; b++) lambdaBits[b] = lambda * b;
  // The states that can still be the best predecessor of a later
  // candidate, in rising order, with their g and position. Code lengths
  // never fall as the run grows, so a state with a greater g than a later
  // one never can (the later one is nearer every later candidate), and
  // neither can one whose g exceeds the least g by more than (22 - 3) x
  // lambda (the least one reaches any candidate in at most 22 bits, it
  // needs at least 3). So the list's g rise with its positions.
  struct Alive {
    int64_t G;
    int32_t Position;
    int32_t State;
  };
  Alive alive[64];
  const int64_t slack = lambda * (kEscapeBits - kMinAcBits);
  int aliveCount = 1;
  alive[0] = {0, 0, 0};
  position[0] = 0;
  int64_t gMin = 0;
  int last = 0;            // the state of least g, the earliest on a tie
  int64_t zeroPrefix = 0;  // weighted zero costs of candidates 1..i-1
  for (int i = 1; i <= count; i++) {
    const RdCandidate& c = cands[i - 1];
    position[i] = c.Position;
    int64_t best = kInfinite;
    int bestFrom = 0, bestChoice = 0;
    for (int v = 0; v < 2; v++) {
      const int m = c.Level - v;
      if (m < 1) break;
      const uint8_t* bits = kAcBitsByLevel.Bits[std::min(m, kBitsLevels - 1)];
      const int runBase = c.Position - 1;
      int64_t least = kInfinite;
      int leastFrom = 0;
      for (int a = 0; a < aliveCount; a++) {
        const int64_t cost = alive[a].G + lambdaBits[bits[runBase - alive[a].Position]];
        if (cost < least) {
          least = cost;
          leastFrom = alive[a].State;
        }
      }
      const int64_t total = least + w * c.Cost[v];
      if (total < best) {
        best = total;
        bestFrom = leastFrom;
        bestChoice = v;
      }
    }
    zeroPrefix += w * c.Cost[2];
    // best excludes the prefix of zero costs before i, which g excludes too;
    // g[i] also leaves out candidate i's own zero cost.
    const int64_t gi = best - w * c.Cost[2];
    from[i] = uint8_t(bestFrom);
    choice[i] = uint8_t(bestChoice);
    while (aliveCount > 0 && alive[aliveCount - 1].G > gi) aliveCount--;
    if (gi < gMin) {
      gMin = gi;
      last = i;
    }
    if (gi <= gMin + slack) alive[aliveCount++] = {gi, c.Position, i};
  }
  // The block ends after the state of least g.
  int64_t distortion = w * zeroCost + zeroPrefix;
  for (int i = last; i > 0; i = from[i]) {
    const RdCandidate& c = cands[i - 1];
    const int m = c.Level - choice[i];
    out.Bits += kAcBits.Bits[c.Position - position[from[i]] - 1][std::min(m, kBitsLevels - 1)];
    distortion += w * (c.Cost[choice[i]] - c.Cost[2]);
    if (levels) levels[c.Position] = int16_t(c.Negative ? -m : m);
  }
  out.Distortion = distortion;
  return out;
}

// ---- The encoder ----------------------------------------------------------

namespace {

// Choices of the encoder that measurement settled (on test-card, fractal
// and natural-looking pictures, decoded by our decoder and by FFmpeg's).
struct Tuning {
  // The colour conversion aims at BT.601 (FFmpeg's factors; ours, 57/32
  // and 45/32, are within half a percent).
  static constexpr double BlueFactor = 1.772;
  static constexpr double RedFactor = 1.402;
  // Offsets (sixteenths of a level) away from mid-grey (luma) and from
  // zero (chroma). Our decoder truncates toward them; FFmpeg rounds, then
  // truncates its conversion to RGB. Half a level above mid-grey and as
  // much for chroma suits both; below mid-grey they pull apart. (A lift of
  // three quarters of a level everywhere gains 0.9 dB luma in FFmpeg on
  // pans over photographs, but loses 0.3 dB on test cards and on frames
  // that were decoded before, as burned subtitles are: not taken.)
  static constexpr int LumaBiasUp = 8, LumaBiasDown = 1;
  static constexpr int ChromaBiasUp = 8, ChromaBiasDown = 8;
  // Distortion weights in sixteenths. A chroma error spreads over four
  // pixels and two or three colour channels, but next to nothing of it
  // reaches the luma: half of luma's weight buys a tenth of a dB of luma
  // PSNR for as much RGB PSNR, where the two are balanced otherwise.
  static constexpr int LumaWeight = 16, ChromaWeight = 8;
  // The first multiplier tried at scale s, when no frame of the size has
  // been filled yet: Mu x s^2 (coefficient sixteenths squared per bit),
  // about the slope of a uniform quantizer of step 20 s.
  static constexpr double Mu = 740;
  // How many scales below the smallest that fits unfilled are filled and
  // compared, at most (natural pictures gain from two or three).
  static constexpr int ScalesBelow = 4;
};

constexpr int64_t kMaxLambda = int64_t(1) << 50;
constexpr int kMaxScale = 65535;

inline int BlockKind(int b) { return b % 6 < 2 ? b % 6 : 2; }  // Cr, Cb, Y

inline int16_t Biased(int32_t x, int up, int down) {
  return int16_t(x > 0 ? x + up : x < 0 ? x - down : 0);
}

}  // namespace

void BestEncoder::Analyse(const FrameView& picture, int columns, int rows) {
  using tune = Tuning;
  const int width = columns * 16, height = rows * 16;
  const int cw = width / 2, ch = height / 2;
  // Luma and chroma samples in sixteenths of a level (luma less 128), from
  // BT.601 weights scaled by 2^20: luma per pixel, chroma from the sum of
  // four pixels.
  constexpr double kOne = 1 << 20;
  const int32_t yr = 313524, yg = 615514, yb = 119538;  // sum 2^20
  const int32_t br = int32_t(std::lround(-0.299 / tune::BlueFactor * kOne));
  const int32_t bb = int32_t(std::lround(0.886 / tune::BlueFactor * kOne));
  const int32_t bg = -br - bb;
  const int32_t rr = int32_t(std::lround(0.701 / tune::RedFactor * kOne));
  const int32_t rb = int32_t(std::lround(-0.114 / tune::RedFactor * kOne));
  const int32_t rg = -rr - rb;
  luma_.resize(size_t(width) * height);
  cb_.resize(size_t(cw) * ch);
  cr_.resize(size_t(cw) * ch);
  // Two rows at a time, a 2 x 2 group of pixels at a time: four luma
  // samples and the mean of their chroma, rounded.
  for (int y = 0; y < height; y += 2) {
    const uint8_t* top = picture.Pixels + size_t(y) * size_t(picture.Stride);
    const uint8_t* bottom = top + picture.Stride;
    int16_t* lumaTop = &luma_[size_t(y) * width];
    int16_t* lumaBottom = lumaTop + width;
    int16_t* cbRow = &cb_[size_t(y / 2) * cw];
    int16_t* crRow = &cr_[size_t(y / 2) * cw];
    for (int x = 0; x < width; x += 2, top += 6, bottom += 6) {
      int32_t cb = 0, cr = 0;
      auto pixel = [&](const uint8_t* p, int16_t& luma) {
        const int32_t blue = p[0], green = p[1], red = p[2];
        const int32_t y16 = (yr * red + yg * green + yb * blue + (1 << 15)) >> 16;
        luma = Biased(y16 - 2048, tune::LumaBiasUp, tune::LumaBiasDown);
        cb += br * red + bg * green + bb * blue;
        cr += rr * red + rg * green + rb * blue;
      };
      pixel(top, lumaTop[x]);
      pixel(top + 3, lumaTop[x + 1]);
      pixel(bottom, lumaBottom[x]);
      pixel(bottom + 3, lumaBottom[x + 1]);
      cbRow[x / 2] = Biased((cb + (1 << 17)) >> 18, tune::ChromaBiasUp, tune::ChromaBiasDown);
      crRow[x / 2] = Biased((cr + (1 << 17)) >> 18, tune::ChromaBiasUp, tune::ChromaBiasDown);
    }
  }
  blocks_ = columns * rows * 6;
  coefs_.resize(size_t(blocks_) * 64);
  scanCoefs_.resize(size_t(blocks_) * 64);
  const auto dct = settings_.FastPaths ? BestForwardDctFast : BestForwardDctReference;
  alignas(16) int16_t samples[64];
  int b = 0;
  for (int c = 0; c < columns; c++) {
    for (int r = 0; r < rows; r++) {
      for (int kind = 0; kind < 2; kind++, b++) {
        const std::vector<int16_t>& plane = kind == 0 ? cr_ : cb_;
        for (int i = 0; i < 8; i++)
          std::memcpy(&samples[i * 8], &plane[size_t(8 * r + i) * cw + size_t(8 * c)], 16);
        dct(samples, &coefs_[size_t(b) * 64]);
      }
      for (int q = 0; q < 4; q++, b++) {
        const int x0 = 16 * c + (q & 1) * 8, y0 = 16 * r + (q >> 1) * 8;
        for (int i = 0; i < 8; i++)
          std::memcpy(&samples[i * 8], &luma_[size_t(y0 + i) * width + size_t(x0)], 16);
        dct(samples, &coefs_[size_t(b) * 64]);
      }
    }
  }
  for (size_t at = 0; at < coefs_.size(); at += 64)
    for (int k = 0; k < 64; k++) scanCoefs_[at + size_t(k)] = coefs_[at + ZigzagOrder[k]];
}

int BestEncoder::Weight(int block) const {
  const size_t m = size_t(block / 6);
  const int factor = m < emphasis_.size() ? std::max<int>(emphasis_[m], 1) : 1;
  return factor * (BlockKind(block) == 2 ? Tuning::LumaWeight : Tuning::ChromaWeight);
}

// The DC levels: the nearest level in version 2 (ten bits each); in version
// 3 the nearest multiple of 4 from the predictor of its kind, coded by size.
void BestEncoder::ChooseDc(int version) {
  dcLevel_.resize(size_t(blocks_));
  dcBits_ = 0;
  int32_t predictor[3] = {0, 0, 0};
  for (int b = 0; b < blocks_; b++) {
    const int32_t c = coefs_[size_t(b) * 64];
    int32_t level;
    if (version < 3) {
      level = std::clamp((c + 8) >> 4, -512, 511);
      dcBits_ += 10;
    } else {
      const int kind = BlockKind(b);
      const int32_t m = (c - 16 * predictor[kind] + 32) >> 6;
      level = predictor[kind] + 4 * m;
      predictor[kind] = level;
      const int size = std::bit_width(uint32_t(std::abs(m)));
      const auto& table = kind < 2 ? DcSizeTableChroma : DcSizeTableLuma;
      dcBits_ += table[size_t(std::min(size, 11))].PrefixLength + size;
    }
    dcLevel_[size_t(b)] = int16_t(level);
  }
}

const BestEncoder::PreparedScale& BestEncoder::Prepared(int scale) {
  for (const PreparedScale& p : prepared_)
    if (p.Scale == scale && p.Blocks == blocks_) return p;
  PreparedScale& p = prepared_[size_t(preparedNext_)];
  preparedNext_ = (preparedNext_ + 1) % int(prepared_.size());
  const RdScale steps(scale);
  p.Scale = scale;
  p.Blocks = blocks_;
  p.Candidates.resize(size_t(blocks_) * 63);
  p.Start.resize(size_t(blocks_) + 1);
  p.ZeroCost.resize(size_t(blocks_));
  uint32_t at = 0;
  for (int b = 0; b < blocks_; b++) {
    p.Start[size_t(b)] = at;
    at += uint32_t(RdPrepareBlock(&scanCoefs_[size_t(b) * 64], steps, &p.Candidates[at],
                                  p.ZeroCost[size_t(b)]));
  }
  p.Start[size_t(blocks_)] = at;
  return p;
}

const BestEncoder::ZeroScale& BestEncoder::AtZero(int scale) {
  for (const ZeroScale& z : zero_)
    if (z.Scale == scale) return z;
  ZeroScale& z = zero_[size_t(zeroNext_)];
  zeroNext_ = (zeroNext_ + 1) % int(zero_.size());
  z.Sum = Pass(scale, 0, &z.Outcomes, nullptr);
  z.Scale = scale;
  return z;
}

BestEncoder::Totals BestEncoder::Pass(int scale, int64_t lambda,
                                      std::vector<RdBlockOutcome>* outcomes, int16_t* levels) {
  Totals t;
  if (outcomes) outcomes->resize(size_t(blocks_));
  int16_t scratch[64];
  if (settings_.FastPaths) {
    const PreparedScale& p = Prepared(scale);
    for (int b = 0; b < blocks_; b++) {
      const uint32_t start = p.Start[size_t(b)];
      const RdBlockOutcome o = RdQuantizeBlockFast(
          &p.Candidates[start], int(p.Start[size_t(b) + 1] - start), p.ZeroCost[size_t(b)], lambda,
          Weight(b), levels ? &levels[size_t(b) * 64] : nullptr);
      t.Bits += o.Bits;
      t.Distortion += o.Distortion;
      if (outcomes) (*outcomes)[size_t(b)] = o;
    }
  } else {
    const RdScale steps(scale);
    for (int b = 0; b < blocks_; b++) {
      const RdBlockOutcome o =
          RdQuantizeBlockReference(&coefs_[size_t(b) * 64], steps, lambda, Weight(b),
                                   levels ? &levels[size_t(b) * 64] : scratch);
      t.Bits += o.Bits;
      t.Distortion += o.Distortion;
      if (outcomes) (*outcomes)[size_t(b)] = o;
    }
  }
  return t;
}

BestEncoder::Totals BestEncoder::PassBetween(int scale, int64_t lambda) {
  if (!settings_.FastPaths) return Pass(scale, lambda, &mid_, midLevels_.data());
  Totals t;
  mid_.resize(size_t(blocks_));
  const PreparedScale& p = Prepared(scale);
  for (int b = 0; b < blocks_; b++) {
    RdBlockOutcome o = low_[size_t(b)];
    int16_t* levels = &midLevels_[size_t(b) * 64];
    if (o == high_[size_t(b)]) {
      std::memcpy(levels, &highLevels_[size_t(b) * 64], 64 * sizeof(int16_t));
    } else {
      const uint32_t start = p.Start[size_t(b)];
      o = RdQuantizeBlockFast(&p.Candidates[start], int(p.Start[size_t(b) + 1] - start),
                              p.ZeroCost[size_t(b)], lambda, Weight(b), levels);
    }
    t.Bits += o.Bits;
    t.Distortion += o.Distortion;
    mid_[size_t(b)] = o;
  }
  return t;
}

int64_t BestEncoder::NominalLambda(int scale) const {
  return std::min<int64_t>(kMaxLambda, std::llround(Tuning::Mu * double(scale) * scale));
}

// Keeps the multiplier that filled (or nearly filled) `scale` to `budget`:
// the next frame of that size starts from it. Started near where the
// budget is met, the search brackets it at once, and a scale that cannot
// win shows it in one pass (the Lagrangian bound is tightest there).
void BestEncoder::Remember(int scale, int64_t budget, int64_t lambda) {
  Filled* slot = nullptr;
  for (Filled& f : history_.Multipliers)
    if (f.Scale == scale && f.Budget == budget) slot = &f;
  if (!slot) {
    slot = &history_.Multipliers[size_t(history_.Next)];
    history_.Next = (history_.Next + 1) % int(history_.Multipliers.size());
  }
  *slot = {scale, budget, lambda};
}

// `scale` does not fit at lambda 0 (every level its nearest). Finds the
// least multiplier at which it fits, to within a few bits of the budget,
// keeping the outcomes and levels there in high_ and highLevels_. Gives up
// (returning false) as soon as the scale cannot reach less distortion than
// `rival`: every encoding within the budget has at least D + lambda x (R -
// budget) of distortion, for the distortion D and bits R of the best
// encoding at any multiplier lambda (the Lagrangian bound).
bool BestEncoder::FillAtScale(int scale, int64_t budget, int64_t rival, int64_t& lambda,
                              Totals& result) {
  const ZeroScale& zero = AtZero(scale);
  Totals low = zero.Sum;
  low_ = zero.Outcomes;
  int64_t bound = low.Distortion;
  auto hopeless = [&](int64_t at, const Totals& t) {
    // In doubles: lambda x bits can pass 64 bits at the largest multipliers.
    const double b = double(t.Distortion) + double(at) * double(t.Bits - budget);
    bound = std::max(bound, int64_t(std::min(9e18, b)));
    return bound >= rival;
  };
  if (hopeless(0, low)) return false;
  // From the multiplier that filled this scale and budget last time, or
  // the nominal one, up in steps until the budget is bracketed.
  int64_t guess = 0;
  for (const Filled& f : history_.Multipliers)
    if (f.Scale == scale && f.Budget == budget) guess = f.Lambda;
  const bool known = guess > 0;
  int64_t lo = 0, hi = std::max<int64_t>(known ? guess : NominalLambda(scale), 1), step = 1;
  Totals high;
  for (;;) {
    high = Pass(scale, hi, &high_, highLevels_.data());
    if (hopeless(hi, high)) return Remember(scale, budget, hi), false;
    if (high.Bits <= budget || hi >= kMaxLambda) break;
    low_.swap(high_);
    low = high;
    lo = hi;
    // Steps of a quarter from a known start, growing as it falls short.
    hi = std::min(kMaxLambda, known ? hi + hi / 4 * step : hi * 4);
    step *= 2;
  }
  if (high.Bits > budget) return false;
  // Then in between, by interpolation of the bits in the logarithm of the
  // multiplier (kept off the ends of the bracket; halving it when one end
  // moves twice running), until the frame is within a fifth of a percent
  // of the budget or the bracket too narrow to matter: the last few bytes
  // are worth no measurable quality and cost as many passes as the rest.
  // Only the blocks that differ at the ends change.
  const int64_t closeEnough = std::max<int64_t>(16, budget / 512);
  int lastSide = 0, repeats = 0;
  for (int i = 0; i < 48 && budget - high.Bits > closeEnough && (hi - lo) * 64 > hi; i++) {
    int64_t mid;
    if (lo == 0) {
      mid = known ? hi - hi / 5 : hi / 2;
    } else {
      const double target = double(budget - closeEnough / 2);
      double f = (double(low.Bits) - target) / double(low.Bits - high.Bits);
      f = repeats > 0 ? 0.5 : std::clamp(f, 0.1, 0.9);
      mid = std::llround(std::exp(std::log(double(lo)) + f * std::log(double(hi) / double(lo))));
      mid = std::clamp(mid, lo + 1, hi - 1);
    }
    const Totals t = PassBetween(scale, mid);
    if (hopeless(mid, t)) return Remember(scale, budget, mid), false;
    const int side = t.Bits <= budget ? 1 : -1;
    repeats = side == lastSide ? repeats + 1 : 0;
    lastSide = side;
    if (side > 0) {
      hi = mid;
      high = t;
      high_.swap(mid_);
      highLevels_.swap(midLevels_);
    } else {
      lo = mid;
      low = t;
      low_.swap(mid_);
    }
  }
  Remember(scale, budget, hi);
  lambda = hi;
  result = high;
  return true;
}

int BestEncoder::WriteFrame(int scale, int version, uint8_t* buffer, int capacity) {
  writer_.SetVersion(version);
  writer_.ResetPredictors();
  const int macroblocks = blocks_ / 6;
  int position = 4, codes = 0;
  alignas(16) Blocks6 levels;
  for (int m = 0; m < macroblocks; m++) {
    for (int k = 0; k < 6; k++) {
      const size_t b = size_t(m) * 6 + size_t(k);
      std::memcpy(levels[k], &highLevels_[b * 64], sizeof levels[k]);
      levels[k][0] = dcLevel_[b];
    }
    position = writer_.EncodeMacroblock(buffer, kTrialBufferSize, position, codes, m == 0, levels);
    if (position * 2 + 2 >= capacity) return 0;
  }
  if (macroblocks == 0) codes = 0;
  position = writer_.WriteFrameEnd(buffer, kTrialBufferSize, position);
  const int length = position * 2 + 2;
  if (length >= capacity) return 0;
  MdecFrameHeader h{uint16_t(((codes + 63) >> 1) & 0xFFE0), kMdecMagic, uint16_t(scale),
                    uint16_t(version)};
  h.Store(buffer);
  return length;
}

// The smallest scale whose nearest levels all fit (lambda 0: cheap, no
// programme to run), found from the last frame's by doubling steps and
// halving; `fail` is a scale below it that does not fit (0: none known).
// kMaxScale + 1 when none fits.
int BestEncoder::SmallestFittingScale(int64_t budget, std::vector<int>& trials, int& fail) {
  highLevels_.resize(size_t(blocks_) * 64);
  midLevels_.resize(size_t(blocks_) * 64);
  auto fits = [&](int s) {
    trials.push_back(s);
    return AtZero(s).Sum.Bits <= budget;
  };
  int fit;
  const int guess = std::clamp(history_.LastScale > 0 ? history_.LastScale : 4, 1, kMaxScale);
  if (fits(guess)) {
    fit = guess;
    fail = 0;
    for (int d = 1; fit > 1; d *= 2) {
      const int s = std::max(1, guess - d);
      if (!fits(s)) {
        fail = s;
        break;
      }
      fit = s;
    }
  } else {
    fail = guess;
    fit = 0;
    for (int d = 1; fail < kMaxScale; d *= 2) {
      const int s = std::min(kMaxScale, guess + d);
      if (fits(s)) {
        fit = s;
        break;
      }
      fail = s;
    }
  }
  // At the largest scale the levels are all zero but for very large
  // coefficients; failing there, the one below fills with a multiplier.
  if (fit == 0) fit = kMaxScale + 1;
  while (fit - fail > 1) {
    const int s = fail + (fit - fail) / 2;
    if (fits(s))
      fit = s;
    else
      fail = s;
  }
  return fit;
}

// The smallest scale that fits against the scales below it, each filled to
// the budget by its multiplier, going down while the distortion falls: the
// least wins, and its levels are left in highLevels_. `scale` 0: none fits.
void BestEncoder::ChooseScale(int64_t budget, std::vector<int>& trials, int& scale,
                              int64_t& lambda) {
  int fail = 0;
  const int fit = SmallestFittingScale(budget, trials, fail);
  int filled = 0;
  int64_t bestDistortion = kInfinite;
  scale = 0;
  lambda = 0;
  if (fit <= kMaxScale) {
    scale = fit;
    bestDistortion = AtZero(fit).Sum.Distortion;
  }
  for (int s = fail; s >= 1 && s > fit - Tuning::ScalesBelow; s--) {
    int64_t sLambda;
    Totals t;
    trials.push_back(s);
    if (!FillAtScale(s, budget, bestDistortion, sLambda, t) || t.Distortion >= bestDistortion)
      break;
    scale = filled = s;
    lambda = sLambda;
    bestDistortion = t.Distortion;
  }
  // The levels of the winner (those of the last scale filled are at hand).
  if (scale != 0 && (scale != filled || trials.back() != filled))
    Pass(scale, lambda, nullptr, highLevels_.data());
}

EncodeStatus BestEncoder::EncodeFrame(const FrameView& picture, const EncodeRequest& request,
                                      EncodedFrame& out) {
  int columns = 0, rows = 0;
  if (!MacroblockGrid(picture, request, columns, rows)) return EncodeStatus::kBadSize;
  out.Trials.clear();
  try {
    out.Bytes.resize(kTrialBufferSize);
    Analyse(picture, columns, rows);
    for (PreparedScale& p : prepared_) p.Scale = 0;  // new coefficients
    for (ZeroScale& z : zero_) z.Scale = 0;
    ChooseDc(request.Version);
  } catch (const std::bad_alloc&) {
    return EncodeStatus::kNoMemory;
  }

  // The bits the codes may take: the frame is the 8-byte header and the
  // codes with the 12-bit end marker in whole 16-bit words, the last word
  // always written, and must be shorter than the capacity.
  const int capacity = std::min(request.Capacity, kTrialBufferSize);
  const int64_t frameBits = 16 * int64_t((capacity - 12) / 2) + 15 - 12;
  const int64_t budget = frameBits - dcBits_;
  if (budget < int64_t(kEndOfBlockBits) * blocks_) return EncodeStatus::kNoScaleFits;

  int bestScale = 0;
  int64_t bestLambda = 0;
  ChooseScale(budget, out.Trials, bestScale, bestLambda);
  if (bestScale == 0) return EncodeStatus::kNoScaleFits;

  int length = WriteFrame(bestScale, request.Version, out.Bytes.data(), capacity);
  if (length == 0) {
    // Not expected: the count above is exact. Nothing but the DC then.
    Pass(bestScale, kMaxLambda, nullptr, highLevels_.data());
    length = WriteFrame(bestScale, request.Version, out.Bytes.data(), capacity);
    if (length == 0) return EncodeStatus::kNoScaleFits;
  }
  history_.LastScale = bestScale;
  out.Length = length;
  out.Scale = bestScale;
  return EncodeStatus::kOk;
}

}  // namespace belmora
