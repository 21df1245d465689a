// Subtitles drawn onto pictures: SRT and ASS files rendered by libass, with
// fonts found through fontconfig. No libass type appears here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/input_file.h"

namespace belmora {

// Choices for SRT files (ASS files keep their own styles; a font given is
// then only the fallback for styles whose font is missing).
struct SubtitleStyle {
  std::string Font;  // empty: a sans-serif font
  int SizePx = 0;    // in the picture's pixels; 0: 16 of 288 rows
};

class SubtitleRenderer {
 public:
  SubtitleRenderer();
  ~SubtitleRenderer();
  SubtitleRenderer(const SubtitleRenderer&) = delete;
  SubtitleRenderer& operator=(const SubtitleRenderer&) = delete;

  // Reads an .ass/.ssa file, or anything else as SRT, for pictures of
  // width x height; false when it cannot be read (ReadProblem() says why:
  // not a regular file, larger than kMaxSubtitleBytes, ...) or rendered.
  bool Load(const std::string& path, int width, int height, const SubtitleStyle& style);
  const InputStatus& ReadProblem() const { return read_; }
  // Draws what is visible at `ms` onto a BGR picture (top row first) of
  // width x height pixels; true when anything was drawn.
  bool Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride);
  // Events in the file that are shown (at most kMaxEvents).
  int EventCount() const;
  // Whether the file asked for more than a picture can show, and was cut
  // down: sizes, scales, borders and blurs beyond the picture's own scale,
  // an event whose glyphs would cover more than kEventFrames pictures,
  // more than kMaxEvents events, or more than kMaxShownAtOnce (or
  // kShownFrames pictures' worth) at one time (each of those is what
  // rendering costs grow with).
  bool Bounded() const;
  static constexpr int kMaxEvents = 20000;
  static constexpr int kMaxShownAtOnce = 64;
  static constexpr int kEventFrames = 16;
  static constexpr int kShownFrames = 64;
  static constexpr int kMaxSrtLines = 32;  // text lines of one SRT block

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  InputStatus read_;
};

// An SRT file's text as an ASS script for a picture of width x height, in
// the style FFmpeg gives SRT: white, black outline, bottom centre, laid out
// on 384 x 288 (the font and size as `style` asks).
std::string SrtToAss(const std::string& srt, int width, int height, const SubtitleStyle& style);

// An ASS script with every size, scale, spacing, border, shadow and blur
// (in its styles and in its override tags) kept to what a picture of
// width x height can show, measured in pixels whatever the script's own
// resolution; the text of an event cut where its glyphs (or drawing) would
// cover more than kEventFrames pictures, and events dropped past the limits
// above. `changed` is set when anything was.
std::string BoundAssScript(const std::string& script, int width, int height, bool& changed);

}  // namespace belmora
