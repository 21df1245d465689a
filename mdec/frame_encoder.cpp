// The frame encoder: colour conversion and forward transform once per
// frame, then trial encodings at rising quantizer scales until one fits.
#include <algorithm>
#include <cstring>
#include <new>

#include "base/bytes.h"
#include "mdec/codec.h"
#include "mdec/colour.h"
#include "mdec/divider.h"

namespace belmora {

namespace {

const Divider& MatrixDivider(int z) {
  static const auto dividers = [] {
    std::array<Divider, 64> d;
    for (int i = 0; i < 64; i++) d[i] = Divider(uint32_t(QuantMatrix[i]));
    return d;
  }();
  return dividers[z];
}

// Code length of (run, level) for runs 0..31 and levels -40..40, 0 where
// the pair has no code of its own (the 22-bit escape).
struct AcLengths {
  uint8_t Length[32][81];
  AcLengths() {
    const auto& rows = AcCodeTable();
    for (int run = 0; run < 32; run++)
      for (int level = -40; level <= 40; level++) {
        const int r = MdecCodec::FindAcRow(run, level);
        Length[run][level + 40] = uint8_t(r >= 0 ? rows[r].Length : 0);
      }
  }
  int Of(int run, int level) const {
    if (unsigned(run) > 31 || unsigned(level + 40) > 80) return 22;
    const int n = Length[run][level + 40];
    return n ? n : 22;
  }
};
// Built on first use, after the tables it reads.
const AcLengths& AcCodeLengths() {
  static const AcLengths lengths;
  return lengths;
}

}  // namespace

// Colour conversion and forward transform of every macroblock (column-major)
// into the scratch: the transformed blocks divided by 4, and the parts of
// the quantization that do not depend on the scale.
void MdecCodec::Analyse(const FrameView& picture, int columns, int rows) {
  auto& scratch = scratch_;
  const uint8_t* bgr = picture.Pixels;
  const size_t stride = size_t(picture.Stride);
  scratch.Coefficients.resize(size_t(columns) * rows * 384);
  scratch.Quotients.resize(size_t(columns) * rows * 6);
  int16_t* store = scratch.Coefficients.data();
  SparseBlock* blocks = scratch.Quotients.data();
  const Divider* dividers = &MatrixDivider(0);
  for (int c = 0; c < columns; c++) {
    for (int r = 0; r < rows; r++, store += 384, blocks += 6) {
      Blocks6& w = work_;
      if (settings_.FastPaths)
        PictureToSamples(bgr, stride, 16 * c, 16 * r, w);
      else
        PictureToSamplesPlain(bgr, stride, 16 * c, 16 * r, w);
      transforms_.Forward(w);
      for (int b = 0; b < 6; b++) {
        int16_t* out = store + 64 * b;
        for (int i = 0; i < 64; i++) out[i] = int16_t(w[b][i] / 4);
        SparseBlock& blk = blocks[b];
        blk.Dc = int16_t(out[0] / 16);
        // Kept without branches: every value is written, the count moves
        // on only past non-zero ones.
        int count = 0;
        for (int k = 1; k < 64; k++) {
          const int z = ZigzagOrder[k];
          const int16_t g = int16_t(dividers[z].Divide(out[z]));
          blk.Position[count] = uint8_t(k);
          blk.Level[count] = g;
          count += g != 0;
        }
        blk.Count = uint8_t(count);
      }
    }
  }
}

// One trial at scale q into `buffer`; its length in bytes when it fits in
// `capacity`, else 0.
int MdecCodec::Trial(int q, uint8_t* buffer, int capacity) {
  const auto& scratch = scratch_;
  ResetPredictors();
  const size_t macroblocks = scratch.Quotients.size() / 6;
  const Divider scale{uint32_t(q)};
  int position = 4;  // words: the header comes first
  int codes = 0;
  SparseBlock levels[6];
  for (size_t m = 0; m < macroblocks; m++) {
    if (settings_.FastPaths) {
      for (int b = 0; b < 6; b++) {
        const SparseBlock& in = scratch.Quotients[m * 6 + b];
        SparseBlock& out = levels[b];
        out.Dc = in.Dc;
        int count = 0;
        for (int i = 0; i < in.Count; i++) {
          const int16_t level = int16_t(scale.Divide(in.Level[i]));
          out.Position[count] = in.Position[i];
          out.Level[count] = level;
          count += level != 0;
        }
        out.Count = uint8_t(count);
      }
      position = EncodeSparseMacroblock(buffer, kTrialBufferSize, position, codes, m == 0, levels);
    } else {
      std::memcpy(work_, &scratch.Coefficients[m * 384], sizeof work_);
      Quantize(work_, coefs_, q);
      position = EncodeMacroblock(buffer, kTrialBufferSize, position, codes, m == 0, coefs_);
    }
    if (position * 2 + 2 >= capacity) return 0;
  }
  if (macroblocks == 0) codes = 0;
  position = WriteFrameEnd(buffer, kTrialBufferSize, position);
  const int length = position * 2 + 2;
  if (length >= capacity) return 0;
  MdecFrameHeader h{uint16_t(((codes + 63) >> 1) & 0xFFE0), kMdecMagic, uint16_t(q),
                    uint16_t(version_)};
  h.Store(buffer);
  return length;
}

// The length Trial(q) gives (0 when it does not fit), found by adding up
// the code lengths instead of writing them: the same levels, codes and
// predictors, and the same stops. Bits count from the header's start.
int MdecCodec::CountTrial(int q, int capacity) {
  const auto& scratch = scratch_;
  ResetPredictors();
  const size_t macroblocks = scratch.Quotients.size() / 6;
  const Divider scale{uint32_t(q)};
  const bool v3 = version_ >= 3;
  const AcLengths& lengths = AcCodeLengths();
  int64_t bits = 64;
  for (size_t m = 0; m < macroblocks; m++) {
    for (int b = 0; b < 6; b++) {
      const SparseBlock& in = scratch.Quotients[m * 6 + b];
      if (!v3) {
        bits += 10;
      } else {
        uint32_t& predictor = predictors_[b < 2 ? b : 2];
        const int32_t d = int32_t(in.Dc) - int32_t(predictor);
        const int32_t D = (d + 2) & ~3;
        predictor += uint32_t(D);
        const auto& table = b < 2 ? DcSizeTableChroma : DcSizeTableLuma;
        const int32_t magnitude = D < 0 ? -D : D;
        const DcSizeRow* row = &table[11];
        for (const DcSizeRow& r : table) {
          if (r.ValueMask >= magnitude) {
            row = &r;
            break;
          }
        }
        bits += row->PrefixLength + row->Size;
      }
      int previous = 0;
      for (int i = 0; i < in.Count; i++) {
        const int level = scale.Divide(in.Level[i]);
        if (level == 0) continue;
        const int run = in.Position[i] - previous - 1;
        previous = in.Position[i];
        bits += lengths.Of(run, level);
      }
      bits += 2;  // end of block
    }
    if ((bits / 16) * 2 + 2 >= capacity) return 0;
  }
  const int64_t length = ((bits + 12) / 16) * 2 + 2;  // the frame end's 12 bits
  return length >= capacity ? 0 : int(length);
}

EncodeStatus MdecCodec::EncodeFrame(const FrameView& picture, const EncodeRequest& request,
                                    EncodedFrame& out) {
  int columns = 0, rows = 0;
  if (!MacroblockGrid(picture, request, columns, rows)) return EncodeStatus::kBadSize;

  // The best trial so far, and the one being written (kept from frame to frame).
  std::vector<uint8_t>& best = out.Bytes;
  std::vector<uint8_t>& work = scratch_.Trial;
  try {
    best.resize(kTrialBufferSize);
    work.resize(kTrialBufferSize);
    version_ = request.Version;
    Analyse(picture, columns, rows);
  } catch (const std::bad_alloc&) {
    return EncodeStatus::kNoMemory;
  }

  // Rounds of 16 scales, each a halving search: lo + 8, + 4, + 2, + 1, + 0.
  // The fast path counts the trials' lengths and writes only the one chosen.
  const int capacity = request.Capacity;
  auto trial = [&](int q) {
    return settings_.FastPaths ? CountTrial(q, capacity) : Trial(q, work.data(), capacity);
  };
  int bestLength = 0, bestScale = 0;
  out.Trials.clear();
  for (int base = 0; base <= 65535 && bestLength == 0; base += 16) {
    // At the largest scale every AC level is 0: the smallest encoding any
    // scale can give. When even that does not fit, no round will.
    if (base == 16 && trial(65535) == 0) break;
    int lo = base;
    for (int step = 16; step > 0; step /= 2) {
      const int q = lo + step / 2;
      if (q == 0 || q > 65535) continue;
      out.Trials.push_back(q);
      const int length = trial(q);
      if (length == 0) {
        lo = q;
        continue;
      }
      if (!settings_.FastPaths) best.swap(work);
      bestLength = length;
      bestScale = q;
    }
  }
  if (bestLength == 0) return EncodeStatus::kNoScaleFits;
  if (settings_.FastPaths) bestLength = Trial(bestScale, best.data(), capacity);
  out.Length = bestLength;
  out.Scale = bestScale;
  return EncodeStatus::kOk;
}

}  // namespace belmora
