#include "app/bar_layout.h"

#include <cstdio>

namespace belmora::app {

int TickStepIndex(int width, int max, int speedFactor) {
  if (max < 1) return 0;
  for (int i = 0; i < 7; i++) {
    if (int64_t(width - 28) * kTickSteps[i] * speedFactor / max > 30) return i;
  }
  return 7;
}

BarSettings LayOutBarSettings(int clientWidth, bool documentOpen, int32_t sectorCount,
                              int speedFactor, int32_t selectionStart, int32_t selectionEnd) {
  BarSettings s;
  s.Width = clientWidth - 15;
  if (!documentOpen) return s;
  s.Max = sectorCount / kSectorsPerBarUnit;
  s.Frequency = kTickSteps[TickStepIndex(s.Width, s.Max, speedFactor)] * speedFactor;
  s.SelStart = selectionStart / kSectorsPerBarUnit;
  s.SelEnd = (selectionEnd + kSectorsPerBarUnit - 1) / kSectorsPerBarUnit;
  return s;
}

namespace {

std::string MinutesSeconds(int units, int speedFactor) {
  const int seconds = units / speedFactor;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  return text;
}

}  // namespace

std::vector<TimeLabel> TimeLabels(int width, int max, int frequency, int speedFactor) {
  std::vector<TimeLabel> labels;
  if (frequency < 1) frequency = 1;
  for (int a = 0; a < max; a += frequency) {
    const int x = int(int64_t(a) * (width - 28) / max + 12);
    if (x < width - 30) labels.push_back({x, MinutesSeconds(a, speedFactor)});
  }
  labels.push_back({width - 15, MinutesSeconds(max, speedFactor)});
  return labels;
}

}  // namespace belmora::app
