#include "convert/frame_facts.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "convert/frame_codec.h"
#include "str/str_document.h"

namespace belmora {

namespace {

// The MDEC version and quantizer scale of the frame read, from its own
// header where its coding keeps them.
bool FrameCodingOf(const StrDocument& doc, int& version, int& scale) {
  return FrameHeaderFields(doc.Format->Frames(), doc.FrameBuffer, version, scale);
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
  return doc.Format->Name();
}

}  // namespace belmora
