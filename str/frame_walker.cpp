#include "str/frame_walker.h"

#include <algorithm>

namespace belmora {

FrameWalker::FrameWalker(StrDocument& doc, int32_t first, int32_t last)
    : doc_(doc), first_(first), last_(std::min(last, doc.LastFrameSector)) {}

WalkStep FrameWalker::Next() {
  doc_.CurrentSector = started_ ? doc_.NextSector : first_;
  started_ = true;
  while (doc_.CurrentSector <= last_) {
    const int r = ReadFrame(doc_);
    if (r == 0) return doc_.CurrentSector <= last_ ? WalkStep::kFrame : WalkStep::kEnd;
    if (r < 0) return WalkStep::kError;
    // Nothing in this stretch: the search goes on after it.
    doc_.CurrentSector = std::max(doc_.CurrentSector, doc_.MovieStart) + kFrameSearchWindow;
  }
  return WalkStep::kEnd;
}

}  // namespace belmora
