#include "str/frame_walker.h"

#include <algorithm>

namespace belmora {

FrameWalker::FrameWalker(StrDocument& doc, int32_t first, int32_t last)
    : doc_(doc), first_(first), last_(std::min(last, doc.LastFrameSector)) {}

int ReadNextFrame(StrDocument& doc, Host& host, int32_t last) {
  while (doc.CurrentSector <= last) {
    const int r = ReadFrame(doc, host);
    if (r != 1) return r;
    // Nothing in this stretch: the search goes on after it.
    doc.CurrentSector = std::max(doc.CurrentSector, doc.MovieStart) + kFrameSearchWindow;
  }
  return 1;
}

int ReadNextFrame(StrDocument& doc, int32_t last) {
  return ReadNextFrame(doc, *doc.Ui, last);
}

WalkStep FrameWalker::Next(Host& host) {
  doc_.CurrentSector = started_ ? doc_.NextSector : first_;
  started_ = true;
  const int r = ReadNextFrame(doc_, host, last_);
  if (r < 0) return WalkStep::kError;
  return r == 0 && doc_.CurrentSector <= last_ ? WalkStep::kFrame : WalkStep::kEnd;
}

WalkStep FrameWalker::Next() {
  return Next(*doc_.Ui);
}

}  // namespace belmora
