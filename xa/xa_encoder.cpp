#include <algorithm>

#include "xa/xa_codec.h"

namespace belmora {

namespace {

inline int32_t Mul32(int32_t a, int32_t k) {
  return int32_t(uint32_t(a) * uint32_t(k));
}

// Prediction from (s1, s2), in wrapping 32-bit arithmetic.
inline int32_t Predict(int filter, int32_t s1, int32_t s2) {
  switch (filter) {
    case 1:
      return s1 - (s1 >> 4);
    case 2:
      return int32_t(uint32_t(Mul32(s1, 115)) - uint32_t(Mul32(s2, 52))) >> 6;
    case 3:
      return int32_t(uint32_t(Mul32(s1, 98)) - uint32_t(Mul32(s2, 55))) >> 6;
    default:
      return 0;
  }
}

inline int64_t Magnitude(int64_t v) {
  return v < 0 ? -v : v;
}

}  // namespace

XaUnitResult XaTrialEncode(const int32_t* x, int filter, const int32_t history[2]) {
  // Peak of the prediction error when the inputs themselves are the history.
  int64_t peak = 0;
  int32_t s1 = history[0], s2 = history[1];
  for (int k = 0; k < 28; k++) {
    peak = std::max(peak, Magnitude(int64_t(x[k]) - Predict(filter, s1, s2)));
    s2 = s1;
    s1 = x[k];
  }
  // Range 12 (shift 3) is the finest a reader takes: ranges 13 to 15 are
  // not valid, and hardware plays them as range 9, loud.
  int shift = kXaMinShift;
  while (shift <= 13 && (peak >> shift) >= 8) shift++;
  const int32_t half = int32_t(1) << (shift - 1);

  XaUnitResult r;
  s1 = history[0];
  s2 = history[1];
  for (int k = 0; k < 28; k++) {
    int32_t p = Predict(filter, s1, s2);
    int64_t e = int64_t(x[k]) - p;
    int32_t q = int32_t(std::clamp<int64_t>((e + half) >> shift, -8, 7));
    r.Nibbles[k] = uint8_t(q & 0x0F);
    int32_t value = int32_t(uint32_t(p) + uint32_t(Mul32(q, int32_t(1) << shift)));
    r.Error += Magnitude(int64_t(value) - x[k]);
    s2 = s1;
    s1 = value;
  }
  r.Parameter = uint8_t((15 - shift) | (filter << 4));
  r.History[0] = s1;
  r.History[1] = s2;
  return r;
}

XaUnitResult XaEncodeUnit(const int32_t* x, int32_t history[2]) {
  XaUnitResult best = XaTrialEncode(x, 0, history);
  for (int f = 1; f < 4; f++) {
    XaUnitResult trial = XaTrialEncode(x, f, history);
    if (trial.Error < best.Error) best = trial;
  }
  history[0] = best.History[0];
  history[1] = best.History[1];
  return best;
}

void XaEncodeSetup(XaEncoderState& st, SamplePairSource& source, int rate, int channels) {
  // Every binding starts from silence: what an earlier run left in the
  // history must not shape this one's bytes.
  st = XaEncoderState{};
  st.Source = &source;
  st.Channels = channels;
  source.SetTargetRate(rate);
}

namespace {

// Writes a unit's nibbles into a group: low nibbles first (setting each
// byte), high nibbles added; the parameter byte at both of its places.
void PlaceUnit(uint8_t* group, int unit, const XaUnitResult& r) {
  uint8_t* data = group + 16 + unit / 2;
  for (int k = 0; k < 28; k++) {
    if (unit & 1)
      data[4 * k] = uint8_t(data[4 * k] | r.Nibbles[k] << 4);
    else
      data[4 * k] = r.Nibbles[k];
  }
  int at = unit < 4 ? unit : 8 + (unit - 4);
  group[at] = r.Parameter;
  group[at + 4] = r.Parameter;
}

}  // namespace

int32_t XaEncodeSector(XaEncoderState& st, uint8_t* image) {
  uint8_t* groups = image + 8;
  int32_t left[28], right[28];
  for (int g = 0; g < kXaGroups; g++) {
    uint8_t* group = groups + g * kXaGroupSize;
    for (int i = 0; i < 4; i++) {
      if (st.Channels == 2) {
        for (int k = 0; k < 28; k++) {
          int16_t l = 0, r = 0;
          st.Source->NextSample(l, r);
          left[k] = l * 8;
          right[k] = r * 8;
        }
        PlaceUnit(group, 2 * i, XaEncodeUnit(left, st.Left));
        PlaceUnit(group, 2 * i + 1, XaEncodeUnit(right, st.Right));
      } else {
        for (int unit = 2 * i; unit <= 2 * i + 1; unit++) {
          for (int k = 0; k < 28; k++) {
            int16_t l = 0, r = 0;
            st.Source->NextSample(l, r);
            left[k] = (l + r) / 2 * 8;
          }
          PlaceUnit(group, unit, XaEncodeUnit(left, st.Right));
        }
      }
    }
  }
  return 0;
}

}  // namespace belmora
