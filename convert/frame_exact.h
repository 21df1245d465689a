// Frame-exact runs: one video frame for each STR frame of a selection, in
// order, instead of matching frames by their times. Files whose frames sit
// at uneven sector distances would otherwise skip a frame here and repeat
// one there.
#pragma once

#include <optional>

#include <cstdint>

#include "base/host.h"
#include "base/status.h"
#include "media/avi_reader.h"
#include "str/str_document.h"

namespace belmora {

enum class FrameMapping {
  kByTime,      // the STR frame's time picks the video frame
  kFrameExact,  // video frame i goes into STR frame i of the selection
  kAuto,        // frame-exact when the counts agree, else by time
};

// Frames whose first sector lies in first..last, walked as the viewer's
// Next button walks them. Moves the document's current frame.
int CountSelectionFrames(StrDocument& doc, int32_t first, int32_t last);

// Settles kAuto for a run putting `video` into first..last in place: frame-
// exact (with a message) when the video has exactly as many frames as the
// selection. An explicit frame-exact run whose counts differ is told so and
// asked whether to go on (OK/Cancel), unless `goOn` answers: kCancelled
// when the user says not to, kFailed when `goOn` refuses (said).
// Laying frames out anew is always by time.
Status ResolveFrameMapping(StrDocument& doc, Host& host, const TAviIo& video,
                           int32_t first, int32_t last, bool rebuild, FrameMapping& mapping,
                           std::optional<bool> goOn = std::nullopt);

}  // namespace belmora
