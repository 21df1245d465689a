// The numbers of the main window's track bar: its range, tick interval and
// selection marks, and the time labels drawn under it. The bar counts in
// units of 75 sectors, one second of single-speed playback.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace belmora::app {

inline constexpr int kSectorsPerBarUnit = 75;
inline constexpr std::array<int, 8> kTickSteps = {1, 5, 10, 30, 60, 300, 600, 1800};

struct BarSettings {
  int Width = 0;
  int Max = 0;
  int Frequency = 1;
  int SelStart = 0;
  int SelEnd = 0;
};

// LayOutBar: the bar is as wide as the client area less 15 pixels; without a
// document it is empty.
BarSettings LayOutBarSettings(int clientWidth, bool documentOpen, int32_t sectorCount,
                              int speedFactor, int32_t selectionStart, int32_t selectionEnd);

// Index into kTickSteps of the first step whose ticks lie more than 30
// pixels apart on a bar of `width` pixels; 7 when none does, 0 for an empty bar.
int TickStepIndex(int width, int max, int speedFactor);

struct TimeLabel {
  int X = 0;  // left edge of the text, counted from the client area's left
  std::string Text;
};

// "m:ss" labels at every tick that leaves room before the end label, and
// the end label at Width - 15.
std::vector<TimeLabel> TimeLabels(int width, int max, int frequency, int speedFactor);

}  // namespace belmora::app
