#include "convert/frame_facts.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/bytes.h"
#include "mdec/codec.h"
#include "str/str_document.h"

namespace belmora {

namespace {

// The MDEC version and quantizer scale of the frame read, from its own
// header where its coding keeps them: the standard header (behind the
// camera data some games put in front of it), or Lain's scales and version
// word. False where the frame has no such header or no single scale (iki
// gives every block its own).
bool FrameCodingOf(const StrDocument& doc, int& version, int& scale) {
  const std::vector<uint8_t>& frame = doc.FrameBuffer;
  switch (InfoOf(doc.Format).Frames) {
    case FrameCoding::kStandard:
    case FrameCoding::kVersion1: {
      const int at = LocateFrameHeader(frame.data(), frame.size());
      if (at < 0) return false;
      scale = GetU16(frame.data() + at + 4);
      version = GetU16(frame.data() + at + 6);
      return true;
    }
    case FrameCoding::kLain:
      if (frame.size() < 8) return false;
      scale = frame[0];  // the luma scale; the chroma scale follows it
      version = GetU16(frame.data() + 6);
      return true;
    case FrameCoding::kIki:
      break;
  }
  return false;
}

}  // namespace

FrameFacts FactsOfFrame(const StrDocument& doc, int32_t sector, bool read) {
  FrameFacts f;
  const double perSecond = double(kSectorsPerSecond) * std::max(doc.SpeedFactor, 1);
  f.Hundredths = int64_t(sector * 100.0 / perSecond);
  // Frame i of n from the sectors at the movie's frame rate (frame numbers
  // need not count: tail frames, wrapping): exact for an even layout.
  const double sectorsPerFrame =
      doc.FramesPerSecond > 0 ? perSecond / doc.FramesPerSecond : double(kSectorsPerSecond);
  f.Count = std::max<int64_t>(std::llround(doc.LastFrameSector / sectorsPerFrame) + 1, 1);
  f.Index = std::clamp<int64_t>(std::llround(sector / sectorsPerFrame) + 1, 1, f.Count);
  // A movie's frames as the scan found them: the exact place.
  if (const Movie* movie = doc.CurrentMovie(); movie && !movie->Frames.empty()) {
    if (const MovieFrame* m = movie->FrameFrom(sector)) {
      f.Count = int64_t(movie->Frames.size());
      f.Index = m - movie->Frames.data() + 1;
    }
  }
  f.Width = int(doc.ChunkHeader.Width);
  f.Height = int(doc.ChunkHeader.Height);
  f.Coded = FrameCodingOf(doc, f.Version, f.Scale);
  if (read && doc.FrameDamaged) {
    f.Damaged = true;
    f.ChunksPresent = std::popcount(doc.ChunksPresent);
    f.ChunkCount = int(doc.ChunkHeader.ChunkCount);
  }
  return f;
}

const char* LayoutNameOf(const StrDocument& doc) {
  return InfoOf(doc.Format).Name;
}

}  // namespace belmora
