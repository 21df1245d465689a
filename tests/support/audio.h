// Sound for the XA tests: sample sources from arrays and test signals.
#pragma once

#include <cstdint>
#include <vector>

#include "xa/xa_codec.h"

namespace belmora::test {

// Left/right pairs from arrays; zeros past the end (as the AVI source does).
class ArraySource : public SamplePairSource {
 public:
  ArraySource(std::vector<int16_t> left, std::vector<int16_t> right)
      : left_(std::move(left)), right_(std::move(right)) {}
  int NextSample(int16_t& l, int16_t& r) override {
    if (at_ >= left_.size()) {
      l = r = 0;
      return 1;
    }
    l = left_[at_];
    r = right_[at_];
    at_++;
    return 0;
  }
  void SetTargetRate(int rate) override { targetRate = rate; }
  size_t Consumed() const { return at_; }
  int targetRate = 0;

 private:
  std::vector<int16_t> left_, right_;
  size_t at_ = 0;
};

enum class Signal { kSine1k, kNoise, kSpeechLike, kSilence };
// `count` samples of a signal at `rate`, peak about `amplitude`.
std::vector<int16_t> MakeSignal(Signal s, int count, int rate, double amplitude, uint32_t seed = 1);
// Signal-to-noise ratio in dB of `got` against `want` (same length).
double SnrDb(const std::vector<double>& want, const std::vector<double>& got);

}  // namespace belmora::test
