// The step every conversion takes after each frame.
#pragma once

#include <cstdint>

#include "base/host.h"
#include "str/str_document.h"

namespace belmora {

// The progress record of a conversion over sectors first..last after the
// frame at `sector` numbered `number`.
inline void ReportFrame(Host& host, int32_t sector, uint32_t number, int32_t first, int32_t last) {
  // A range of one frame must not divide by zero: it is all done.
  const int percent = last > first ? int(int64_t(sector - first) * 100 / (last - first)) : 100;
  host.Progress({percent, sector, number});
}

// After the current frame of a conversion over sectors first..last: its
// progress record; true when the user asked to stop.
[[nodiscard]] inline bool FrameDone(Host& host, const StrDocument& doc, int32_t first,
                                    int32_t last) {
  ReportFrame(host, doc.CurrentSector, doc.ChunkHeader.FrameNumber, first, last);
  return host.CancelRequested();
}

}  // namespace belmora
