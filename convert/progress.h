// The step every conversion takes after each frame.
#pragma once

#include <cstdint>
#include <string>

#include "base/host.h"
#include "base/messages.h"
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

// The end of an in-place edit the user stopped: when something was written
// the user keeps it or has the file put back exactly as it was (the answer
// "no", that of a front end that cannot ask, puts it back; the document is
// then closed); either way the outcome is said. False when keeping what was
// done failed (reported).
[[nodiscard]] inline bool EndCancelledEdit(DocumentEdit& edit, StrDocument& doc, Host& host) {
  const std::string path = doc.Path;
  if (!doc.File.Changed()) {
    if (!edit.Commit()) return false;
    Show(host, msg::kCancelledUnchanged, path.c_str());
    return true;
  }
  if (host.Ask(FormatMessage(msg::kAskKeepCancelled, path.c_str()), msg::kAskKeepCancelled.Caption,
               Buttons::kYesNo) == Answer::kYes) {
    if (!edit.Commit()) return false;
    Show(host, msg::kCancelledKept, path.c_str());
    return true;
  }
  edit.RollBack();
  return true;
}

}  // namespace belmora
