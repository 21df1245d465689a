// The line under the buttons of "Configurações": what the conversion will do
// before it starts — how many frames it replaces or lays out, the video's
// length against the selection's, and, in place, how many sectors each frame
// has to hold its picture.
#pragma once

#include <cstdint>
#include <string>

#include "str/str_document.h"

namespace belmora::app {

// What the document and the video say, gathered when the dialog opens.
struct SummaryFacts {
  bool NewFile = false;
  int32_t SelectionStart = 0;
  int32_t SelectionEnd = 0;
  int SpeedFactor = 2;
  double StrFrameRate = 0;   // the STR's frames per second
  int VideoLengthMs = -1;    // -1: not known
  int SelectionFrames = -1;  // frame starts from SelectionStart to SelectionEnd; -1: not known
  int MinChunks = 0;         // the fewest and most video sectors of those frames
  int MaxChunks = 0;
};

// What the dialog's controls say now.
struct SummaryChoice {
  bool Rebuild = false;  // "Pular setor"
  double FrameRate = 0;  // the FPS edit as read
  int TailFrames = 0;    // "Tamanho"
};

// Frames laid out from `start` while their first sector is at most `end`, at
// `frameRate` and 75 x `speedFactor` sectors a second; 0 for a rate of 0.
int LaidOutFrames(int32_t start, int32_t end, double frameRate, int speedFactor);

// The summary, one line of text.
std::string SettingsSummary(const SummaryFacts& facts, const SummaryChoice& choice);

// Counts the frame starts of sectors first..last and their sector counts
// into `facts`; more than `limit` sectors are not counted (left unknown).
void CountSelectionFrames(StrDocument& doc, int32_t first, int32_t last, int32_t limit,
                          SummaryFacts& facts);

}  // namespace belmora::app
