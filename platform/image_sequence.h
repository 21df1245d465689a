// Numbered picture sequences (frames/%04d.png, BMP or PNG): finding where
// the numbering starts and how far it runs, and writing PNG pictures
// through FFmpeg's encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace belmora {

// A path with one printf number conversion (%d, %04d, ...) names a sequence.
bool IsSequencePattern(const std::string& path);
// The file of number `n` of the pattern.
std::string SequenceFile(const std::string& pattern, int n);

struct SequenceRange {
  int Start = 0;  // 0 or 1
  int Count = 0;  // files numbered Start, Start + 1, ... without a gap
};
// Where the numbering starts (0 when that file exists, else 1) and how many
// files follow on; nullopt when neither the 0th nor the 1st file exists.
std::optional<SequenceRange> FindSequence(const std::string& pattern);

// Writes a BGR picture (top row first) as a PNG file; false on failure.
bool WritePngFile(const std::string& path, const uint8_t* bgr, int width, int height,
                  size_t stride);

}  // namespace belmora
