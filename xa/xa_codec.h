// CD-ROM XA ADPCM audio: decoding sectors to resampled PCM and encoding PCM
// from a sample source into sectors.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/sample_source.h"

namespace belmora {

inline constexpr int kXaGroups = 18;
inline constexpr int kXaGroupSize = 128;
inline constexpr int kXaSamplesPerSector = 4032;  // 16-bit values, both channels together
// The encoder's smallest shift: the parameter's range 15 - shift is at most 12.
inline constexpr int kXaMinShift = 3;

// The decoder: predictor history (never reset) and the resampler.
struct XaDecoderState {
  int32_t LeftS1 = 0, LeftS2 = 0;
  int32_t RightS1 = 0, RightS2 = 0;
  int32_t OutputRate = 44100;
  int32_t OutputChannels = 2;
  int32_t OutputBits = 16;
  int32_t Position = 0;
  int32_t Fraction = 0;
  int16_t Carried[2] = {0, 0};
};

// Sets the output format and resets the resampler (not the history).
void XaSetOutputFormat(XaDecoderState& state, int32_t rate, int32_t channels, int32_t bits);
// Decodes one 2336-byte sector image (subheader, copy, data area) into
// `out`, which needs XaMaxOutputBytes of room.
void XaDecodeSector(XaDecoderState& state, const uint8_t* image, uint8_t* out,
                    int32_t& bytesWritten);
// Room one sector may need in the current output format.
size_t XaMaxOutputBytes(const XaDecoderState& state);

// The ADPCM layer: 18 sound groups into 4032 16-bit values (interleaved
// left/right for stereo), at the sector's own rate and half the usual scale.
void XaDecodeStereo(XaDecoderState& state, const uint8_t* groups, int16_t* samples);
void XaDecodeMono(XaDecoderState& state, const uint8_t* groups, int16_t* samples);

// The encoder: its binding to a source and its histories (never reset).
struct XaEncoderState {
  SamplePairSource* Source = nullptr;
  int32_t Channels = 2;
  int32_t Left[2] = {0, 0};   // s1, s2 of the left channel
  int32_t Right[2] = {0, 0};  // s1, s2 of the right (or the only) channel
  int32_t Working[2] = {0, 0};
};

void XaEncodeSetup(XaEncoderState& state, SamplePairSource& source, int rate, int channels);
// Encodes the next 18 groups of sound into the image's data area (byte 8 on);
// the last 24 bytes of the data area are left alone. Always 0.
int32_t XaEncodeSector(XaEncoderState& state, uint8_t* image);

// One trial encoding of a sound unit: exposed for tests and benchmarks.
struct XaUnitResult {
  uint8_t Parameter = 0;
  uint8_t Nibbles[28] = {};
  int64_t Error = 0;
  int32_t History[2] = {0, 0};
};
XaUnitResult XaTrialEncode(const int32_t* scaled, int filter, const int32_t history[2]);
// The chosen encoding of a unit (filters 0..3, ties to the lower), with the
// channel history advanced.
XaUnitResult XaEncodeUnit(const int32_t* scaled, int32_t history[2]);

}  // namespace belmora
