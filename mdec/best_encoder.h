// The best-quality frame encoder: the same bitstream (versions 2 and 3) in
// the same capacity as MdecCodec::EncodeFrame, but chosen for the picture
// rather than for reproducibility: rounding colour conversion and chroma
// averaging, an accurate forward transform, quantization to the nearest
// level, rate-distortion optimised levels and end of block, and a rate
// control that searches quantizer scale and Lagrange multiplier together
// until the frame fills its capacity as closely as it can without passing it.
//
// The exact encoder stays the program's default and is untouched by this one.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "mdec/codec.h"
#include "mdec/divider.h"

namespace belmora {

// ---- Kernels (exposed for tests and benchmarks) -------------------------

// One 8x8 block of samples in sixteenths of a decoded level (luma less
// 128), row-major, to its transform coefficients in sixteenths of the
// decoder's coefficient unit (natural order): an integer rendition of the
// orthonormal DCT scaled so that a coefficient level L at scale s stands for
// L x QuantMatrix x s of these units. The reference is plain loops; the
// fast one (SSE2 where there is SSE2) gives the same values bit for bit.
void BestForwardDctReference(const int16_t* samples, int16_t* coefs);
void BestForwardDctFast(const int16_t* samples, int16_t* coefs);

// What a block's levels cost at one quantizer scale and multiplier.
struct RdBlockOutcome {
  int32_t Bits = 0;         // AC codes and end of block (not the DC)
  int64_t Distortion = 0;   // weighted squared error of the 63 AC coefficients
  bool operator==(const RdBlockOutcome&) const = default;
};

// Per scale: the quantizer step of every natural position (QuantMatrix x
// scale, in coefficient sixteenths) and the reconstruction the decoder
// makes of a level there; for the fast kernels the same by scan position,
// with the reconstruction of level 1 and exact dividers.
struct RdScale {
  int Scale = 0;
  std::array<int32_t, 64> Step{};
  std::array<int32_t, 64> StepByScan{};
  alignas(16) std::array<int16_t, 64> FirstByScan{};  // at most 32767
  std::array<Divider, 64> DividerByScan{};
  explicit RdScale(int scale = 1);
  // The decoder's value of level magnitude `level` at natural position z,
  // in coefficient sixteenths: 16 x trunc(level x QuantMatrix x scale / 16).
  int32_t Reconstruct(int z, int32_t level) const { return (level * Step[z]) & ~15; }
};

// The rate-distortion choice of one block's AC levels: at each scan position
// the nearest level, one less, or zero, and where the block ends, minimising
// weight x squared error + lambda x bits with the exact code lengths
// (escapes included). Writes zigzag levels 1..63 of `levels` (level 0 is
// left alone). The reference is a plain dynamic programme over all 63
// positions; the fast one works on the non-zero candidates only and prunes
// what cannot win. Both decide the same levels bit for bit.
RdBlockOutcome RdQuantizeBlockReference(const int16_t* coefs, const RdScale& scale, int64_t lambda,
                                        int weight, int16_t* levels);

// The candidates of one block at one scale, for the fast programme: the
// positions whose nearest level is not zero.
struct RdCandidate {
  uint8_t Position;   // scan position 1..63
  bool Negative;
  int16_t Level;      // nearest level magnitude (>= 1)
  int32_t Cost[3];    // squared error at Level, Level - 1, 0 (unweighted)
};
// From the block's coefficients in scan (zigzag) order, writes its
// candidates (room for 63) and returns their count; `zeroCost` gets the
// squared error of the other AC positions.
int RdPrepareBlock(const int16_t* scanCoefs, const RdScale& scale, RdCandidate* out,
                   int64_t& zeroCost);
// `levels` may be null when only the outcome is wanted.
RdBlockOutcome RdQuantizeBlockFast(const RdCandidate* candidates, int count, int64_t zeroCost,
                                   int64_t lambda, int weight, int16_t* levels);

// Bits of the AC code for (run, level magnitude), sign included; 22 for the
// escape.
int AcCodeBits(int run, int magnitude);

// ---- The encoder ---------------------------------------------------------

class BestEncoder {
 public:
  struct Settings {
    // False selects the plain reference kernels: the same bitstream, found
    // the slow way.
    bool FastPaths = true;
  };

  BestEncoder() = default;
  explicit BestEncoder(const Settings& settings) : settings_(settings) {}

  // Where the searches of the next frame start: the scale and multipliers
  // that an earlier frame ended with. An encoding depends on it (only in
  // the last few bits spent), so frames encoded on several threads each
  // start from the history of the frame a fixed distance back.
  struct Filled {
    int Scale = 0;
    int64_t Budget = 0;
    int64_t Lambda = 0;
  };
  struct History {
    int LastScale = 0;
    std::array<Filled, 8> Multipliers{};
    int Next = 0;
  };
  const History& SearchHistory() const { return history_; }
  void SetSearchHistory(const History& history) { history_ = history; }

  // Macroblocks (in the bitstream's order, column by column) whose errors
  // count `factor` times over: the next frames favour them where bits are
  // short (text burned into a picture, say). Empty: every one alike.
  void SetEmphasis(std::vector<uint8_t> factors) { emphasis_ = std::move(factors); }

  // Encodes `picture` (blue-green-red, top row first, covering the padded
  // frame area) for `request`: the bitstream in out.Bytes (kTrialBufferSize
  // bytes, Length of them used, always less than the capacity), its scale,
  // and in out.Trials the scales whose encodings were measured.
  [[nodiscard]] EncodeStatus EncodeFrame(const FrameView& picture, const EncodeRequest& request,
                                         EncodedFrame& out);

 private:
  // Prepared candidates of the last scales asked for, all blocks in one run.
  struct PreparedScale {
    int Scale = 0;
    int Blocks = 0;
    std::vector<RdCandidate> Candidates;
    std::vector<uint32_t> Start;     // blocks + 1 offsets into Candidates
    std::vector<int64_t> ZeroCost;   // per block
  };
  // One frame's totals at a scale and multiplier.
  struct Totals {
    int64_t Bits = 0;
    int64_t Distortion = 0;
  };
  // The outcomes at lambda 0 (every level its nearest) of the last scales
  // asked for.
  struct ZeroScale {
    int Scale = 0;
    Totals Sum;
    std::vector<RdBlockOutcome> Outcomes;
  };
  const ZeroScale& AtZero(int scale);
  void Analyse(const FrameView& picture, int columns, int rows);
  void ChooseDc(int version);
  const PreparedScale& Prepared(int scale);
  // Every block at (scale, lambda): the outcomes per block into `outcomes`
  // and the levels into `levels` (blocks x 64) when given.
  Totals Pass(int scale, int64_t lambda, std::vector<RdBlockOutcome>* outcomes, int16_t* levels);
  // The same into mid_ and midLevels_, working only the blocks whose
  // outcomes differ between the brackets low_ and high_: the others keep
  // high's (the choice is the same in between).
  Totals PassBetween(int scale, int64_t lambda);
  bool FillAtScale(int scale, int64_t budget, int64_t rival, int64_t& lambda, Totals& result);
  int SmallestFittingScale(int64_t budget, std::vector<int>& trials, int& fail);
  void ChooseScale(int64_t budget, std::vector<int>& trials, int& scale, int64_t& lambda);
  int64_t NominalLambda(int scale) const;
  int Weight(int block) const;
  int WriteFrame(int scale, int version, uint8_t* buffer, int capacity);

  Settings settings_;
  std::vector<uint8_t> emphasis_;
  MdecCodec writer_;
  int blocks_ = 0;
  std::vector<int16_t> luma_;        // the picture's luma, sixteenths less 128
  std::vector<int16_t> cb_, cr_;     // chroma of 2 x 2 pixels, sixteenths
  std::vector<int16_t> coefs_;       // blocks x 64, natural order, sixteenths
  std::vector<int16_t> scanCoefs_;   // the same in scan order
  std::vector<int16_t> dcLevel_;     // per block
  // Levels (blocks x 64, zigzag) of the fitting bracket and of the pass
  // in between.
  std::vector<int16_t> highLevels_, midLevels_;
  int64_t dcBits_ = 0;
  std::array<PreparedScale, 3> prepared_{};
  int preparedNext_ = 0;
  std::array<ZeroScale, 3> zero_{};
  int zeroNext_ = 0;
  std::vector<RdBlockOutcome> low_, high_, mid_;
  // The previous frame's choice, where the search starts, and the
  // multipliers that filled the last few scales and budgets (frames of a
  // movie come in a few sizes).
  History history_;
  void Remember(int scale, int64_t budget, int64_t lambda);
};

}  // namespace belmora
