// A source of left/right 16-bit sample pairs delivered at a rate the
// consumer chooses; the XA encoder pulls its sound from one.
#pragma once

#include <cstdint>

namespace belmora {

class SamplePairSource {
 public:
  virtual ~SamplePairSource() = default;
  // The next pair; 0 normally, 1 past the end of the sound (zeros), -1 on a
  // read failure (zeros).
  virtual int NextSample(int16_t& left, int16_t& right) = 0;
  virtual void SetTargetRate(int rate) = 0;
};

}  // namespace belmora
