#include "tests/support/audio.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace belmora::test {

std::vector<int16_t> MakeSignal(Signal s, int count, int rate, double amplitude, uint32_t seed) {
  std::vector<int16_t> out(size_t(count), 0);
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0, amplitude / 3);
  for (int i = 0; i < count; i++) {
    double t = double(i) / rate, v = 0;
    switch (s) {
      case Signal::kSine1k:
        v = amplitude * std::sin(2 * M_PI * 1000 * t);
        break;
      case Signal::kNoise:
        v = gauss(random);
        break;
      case Signal::kSpeechLike: {
        // Voiced bursts: a 140 Hz buzz with formant-ish partials, switched on
        // and off every 120 ms.
        double envelope =
            std::fmod(t, 0.24) < 0.12 ? std::sin(M_PI * std::fmod(t, 0.24) / 0.12) : 0;
        v = amplitude * envelope *
            (0.5 * std::sin(2 * M_PI * 140 * t) + 0.3 * std::sin(2 * M_PI * 700 * t) +
             0.2 * std::sin(2 * M_PI * 2300 * t));
        break;
      }
      case Signal::kSilence:
        break;
    }
    out[size_t(i)] = int16_t(std::lround(std::clamp(v, -32768.0, 32767.0)));
  }
  return out;
}

double SnrDb(const std::vector<double>& want, const std::vector<double>& got) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < want.size() && i < got.size(); i++) {
    signal += want[i] * want[i];
    noise += (want[i] - got[i]) * (want[i] - got[i]);
  }
  return noise == 0 ? 200 : 10 * std::log10(signal / noise);
}

}  // namespace belmora::test
