#include "app/conversion_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/app_language.h"
#include "base/messages.h"

namespace belmora::app {
namespace {

std::string Format(const char* format, auto... args) {
  char text[160];
  std::snprintf(text, sizeof text, Tr(format), args...);
  return text;
}

double SectorsPerSecond(int speedFactor) {
  return double(kSectorsPerSecond) * std::max(speedFactor, 1);
}

std::string Join(const std::vector<std::string>& parts) {
  std::string line;
  for (const std::string& part : parts)
    line += (line.empty() ? "" : Tr(msg::kSummarySeparator)) + part;
  return line;
}

bool UsableRate(double rate) {
  return rate > 0 && std::isfinite(rate);
}

}  // namespace

int LaidOutFrames(int32_t start, int32_t end, double frameRate, int speedFactor) {
  if (!UsableRate(frameRate) || end < start) return 0;
  // Frame k starts at trunc(start + k x sectors per frame); it is laid out
  // while that is at most `end`, that is while k < (end + 1 - start) / spf.
  const double frames = double(int64_t(end) + 1 - start) * frameRate / SectorsPerSecond(speedFactor);
  return int(std::min(std::ceil(frames), 1e9));
}

std::string SettingsSummary(const SummaryFacts& f, const SummaryChoice& c) {
  std::vector<std::string> parts;
  const double perSecond = SectorsPerSecond(f.SpeedFactor);
  const double video = f.VideoLengthMs / 1000.0;

  if (f.NewFile) {
    // The whole new file is the video plus its tail, laid out at the chosen rate.
    if (UsableRate(c.FrameRate) && f.VideoLengthMs >= 0) {
      const double target = double(int64_t(f.VideoLengthMs) * std::max(f.SpeedFactor, 1) *
                                   kSectorsPerSecond / 1000) +
                            (c.TailFrames / c.FrameRate) * perSecond;
      const int frames = LaidOutFrames(0, int32_t(std::min(target, 2e9)), c.FrameRate, f.SpeedFactor);
      parts.push_back(Format(msg::kSummaryLayOut, frames));
      parts.push_back(Format(msg::kSummaryNewLengths, video, frames / c.FrameRate));
    }
    return Join(parts);
  }

  if (c.Rebuild) {
    if (UsableRate(c.FrameRate))
      parts.push_back(Format(msg::kSummaryLayOut,
                             LaidOutFrames(f.SelectionStart, f.SelectionEnd, c.FrameRate,
                                           f.SpeedFactor)));
  } else if (f.SelectionFrames >= 0) {
    parts.push_back(Format(msg::kSummaryReplace, f.SelectionFrames));
  }
  if (f.VideoLengthMs >= 0) {
    // The selection lasts from its first sector to the end of its last frame.
    double selection = (f.SelectionEnd - f.SelectionStart) / perSecond;
    if (UsableRate(f.StrFrameRate)) selection += 1 / f.StrFrameRate;
    parts.push_back(Format(msg::kSummaryLengths, video, selection));
  }
  if (!c.Rebuild && f.SelectionFrames > 0) {
    if (f.MinChunks == f.MaxChunks)
      parts.push_back(Format(msg::kSummaryBudget, f.MinChunks, f.MinChunks * kChunkPayloadSize));
    else
      parts.push_back(Format(msg::kSummaryBudgetRange, f.MinChunks, f.MaxChunks));
  }
  return Join(parts);
}

void CountSelectionFrames(StrDocument& doc, int32_t first, int32_t last, int32_t limit,
                          SummaryFacts& facts) {
  facts.SelectionFrames = -1;
  if (!doc.IsOpen() || last < first || int64_t(last) - first >= limit) return;
  int frames = 0, fewest = 0, most = 0;
  for (int32_t s = first; s <= last && s < doc.SectorCount; s++) {
    if (doc.HasSubheaders()) {
      Subheader sub;
      if (!ReadSubheader(doc, s, sub)) return;
      if (IsSkippedSector(sub)) continue;
    }
    VideoChunkHeader h;
    if (!ReadChunkHeader(doc, s, h)) return;
    if (h.ChunkNumber != 0) continue;
    const int chunks = h.ChunkCount;
    fewest = frames == 0 ? chunks : std::min(fewest, chunks);
    most = frames == 0 ? chunks : std::max(most, chunks);
    frames++;
  }
  facts.SelectionFrames = frames;
  facts.MinChunks = fewest;
  facts.MaxChunks = most;
}

}  // namespace belmora::app
