#include <algorithm>

#include "base/bytes.h"
#include "xa/xa_codec.h"

namespace belmora {

namespace {

// Parameter byte of each of the 8 units of a group.
constexpr int kParameterByte[8] = {0, 1, 2, 3, 8, 13, 10, 15};

// 32-bit two's-complement arithmetic without undefined overflow.
inline int32_t Add32(int32_t a, int32_t b) {
  return int32_t(uint32_t(a) + uint32_t(b));
}
inline int32_t Mul32(int32_t a, int32_t k) {
  return int32_t(uint32_t(a) * uint32_t(k));
}

// Decodes unit `unit` of a group into every `step`-th slot of `out`.
void DecodeUnit(const uint8_t* group, int unit, int32_t& s1, int32_t& s2, int16_t* out, int step) {
  const int parameter = group[kParameterByte[unit]];
  const int shift = 16 - (parameter & 0x0F);
  const int filter = parameter >> 4;
  const uint8_t* data = group + 16 + unit / 2;
  const int nibbleShift = (unit & 1) ? 4 : 0;
  for (int k = 0; k < 28; k++) {
    int n = int8_t(uint8_t(data[4 * k] >> nibbleShift << 4)) >> 4;  // signed nibble
    int32_t v = Mul32(n, int32_t(1) << shift);
    switch (filter) {
      case 1:
        v = Add32(v, s1 - (s1 >> 4));
        break;
      case 2:
        v = Add32(v, int32_t(uint32_t(Mul32(s1, 115)) - uint32_t(Mul32(s2, 52))) >> 6);
        break;
      case 3:
        v = Add32(v, int32_t(uint32_t(Mul32(s1, 98)) - uint32_t(Mul32(s2, 55))) >> 6);
        break;
      default:
        break;
    }
    s2 = s1;
    s1 = v;
    out[k * step] = int16_t(std::clamp(v >> 5, -32700, 32700));
  }
}

// x / d truncated toward zero, exactly, with a floating-point estimate and
// one correction step instead of an integer division (|x| < 2^40, d > 0).
inline int64_t DivTrunc(int64_t x, int32_t d, double inverse) {
  int64_t q = int64_t(double(x) * inverse);
  int64_t r = x - q * d;
  if (x >= 0) {
    if (r < 0)
      q--;
    else if (r >= d)
      q++;
  } else {
    if (r > 0)
      q++;
    else if (r <= -d)
      q--;
  }
  return q;
}

// The output layer for one input channel count and output format: linear
// interpolation at the output rate, continuing the position and fraction.
template <int kChannels, bool kMonoOut, bool kEightBit>
uint8_t* Resample(XaDecoderState& st, const int16_t* e, int32_t inputRate, uint8_t* p) {
  const int32_t frames = kXaSamplesPerSector / kChannels;
  const int32_t rate = st.OutputRate;
  const double inverse = 1.0 / rate;
  int32_t position = st.Position, fraction = st.Fraction;
  while (position < frames) {
    const int32_t at = position * kChannels;
    int32_t a = e[at], b = kChannels == 2 ? e[at + 1] : a;
    if (fraction > 0) {
      const int32_t next = at + kChannels;
      a = int32_t(a + DivTrunc(int64_t(e[next] - a) * fraction, rate, inverse));
      b = kChannels == 2 ? int32_t(b + DivTrunc(int64_t(e[next + 1] - b) * fraction, rate, inverse))
                         : a;
    }
    if constexpr (kMonoOut) {
      const int32_t m = (a + b) / 2;
      if constexpr (kEightBit) {
        *p++ = uint8_t(m / 256 + 128);
      } else {
        PutU16(p, uint32_t(m));
        p += 2;
      }
    } else if constexpr (kEightBit) {
      *p++ = uint8_t(a / 256 + 128);
      *p++ = uint8_t(b / 256 + 128);
    } else {
      PutU32(p, uint32_t(uint16_t(a)) | uint32_t(uint16_t(b)) << 16);
      p += 4;
    }
    // fraction += input rate; position += fraction / rate; fraction %= rate.
    fraction += inputRate;
    while (fraction >= rate) {
      fraction -= rate;
      position++;
    }
  }
  st.Position = position - frames;
  st.Fraction = fraction;
  return p;
}

}  // namespace

void XaDecodeMono(XaDecoderState& st, const uint8_t* groups, int16_t* samples) {
  for (int g = 0; g < kXaGroups; g++) {
    const uint8_t* group = groups + g * kXaGroupSize;
    for (int j = 0; j < 4; j++) {
      DecodeUnit(group, 2 * j, st.LeftS1, st.LeftS2, samples, 1);
      DecodeUnit(group, 2 * j + 1, st.LeftS1, st.LeftS2, samples + 28, 1);
      samples += 56;
    }
  }
}

void XaDecodeStereo(XaDecoderState& st, const uint8_t* groups, int16_t* samples) {
  for (int g = 0; g < kXaGroups; g++)
    for (int u = 0; u < 8; u += 2)
      DecodeUnit(groups + g * kXaGroupSize, u, st.LeftS1, st.LeftS2, samples + (g * 4 + u / 2) * 56,
                 2);
  for (int g = 0; g < kXaGroups; g++)
    for (int u = 1; u < 8; u += 2)
      DecodeUnit(groups + g * kXaGroupSize, u, st.RightS1, st.RightS2,
                 samples + (g * 4 + u / 2) * 56 + 1, 2);
}

void XaSetOutputFormat(XaDecoderState& st, int32_t rate, int32_t channels, int32_t bits) {
  st.OutputRate = rate;
  st.OutputChannels = channels;
  st.OutputBits = bits;
  st.Position = 0;
  st.Fraction = 0;
  st.Carried[0] = st.Carried[1] = 0;
}

size_t XaMaxOutputBytes(const XaDecoderState& st) {
  int64_t frames = int64_t(kXaSamplesPerSector) * std::max(st.OutputRate, 1) / 18900 + 2;
  int bytesPerFrame = (st.OutputChannels == 1 ? 1 : 2) * (st.OutputBits == 8 ? 1 : 2);
  return size_t(frames) * size_t(bytesPerFrame);
}

void XaDecodeSector(XaDecoderState& st, const uint8_t* image, uint8_t* out, int32_t& bytesWritten) {
  const int coding = image[3];
  const int channels = (coding & 1) ? 2 : 1;
  const int32_t inputRate = (coding & 4) ? 18900 : 37800;
  int16_t e[2 + kXaSamplesPerSector];
  e[0] = st.Carried[0];
  e[1] = st.Carried[1];
  if (channels == 2)
    XaDecodeStereo(st, image + 8, e + 2);
  else
    XaDecodeMono(st, image + 8, e + 2);
  st.Carried[0] = e[2 + 4030];
  st.Carried[1] = e[2 + 4031];

  const int32_t rate = st.OutputRate;
  if (rate <= 0) {  // would never advance: nothing is produced
    bytesWritten = 0;
    return;
  }
  const bool monoOut = st.OutputChannels == 1, eightBit = st.OutputBits == 8;
  uint8_t* p = out;
  if (channels == 2) {
    if (monoOut)
      p = eightBit ? Resample<2, true, true>(st, e, inputRate, p)
                   : Resample<2, true, false>(st, e, inputRate, p);
    else
      p = eightBit ? Resample<2, false, true>(st, e, inputRate, p)
                   : Resample<2, false, false>(st, e, inputRate, p);
  } else {
    if (monoOut)
      p = eightBit ? Resample<1, true, true>(st, e, inputRate, p)
                   : Resample<1, true, false>(st, e, inputRate, p);
    else
      p = eightBit ? Resample<1, false, true>(st, e, inputRate, p)
                   : Resample<1, false, false>(st, e, inputRate, p);
  }
  bytesWritten = int32_t(p - out);
}

}  // namespace belmora
