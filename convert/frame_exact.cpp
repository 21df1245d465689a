#include "convert/frame_exact.h"

#include "base/language.h"
#include "base/messages.h"

namespace belmora {

int CountSelectionFrames(StrDocument& doc, int32_t first, int32_t last) {
  int count = 0;
  doc.CurrentSector = first;
  while (doc.CurrentSector <= last && ReadFrame(doc) == 0 && doc.CurrentSector <= last) {
    count++;
    doc.CurrentSector = doc.NextSector;
  }
  return count;
}

Status ResolveFrameMapping(StrDocument& doc, Host& host, const TAviIo& video, int32_t first,
                           int32_t last, bool rebuild, FrameMapping& mapping,
                           std::optional<bool> goOn) {
  if (rebuild) {
    mapping = FrameMapping::kByTime;
    return Status::kOk;
  }
  if (mapping == FrameMapping::kByTime) return Status::kOk;
  const int32_t current = doc.CurrentSector;
  const int frames = CountSelectionFrames(doc, first, last);
  doc.CurrentSector = current;
  const int64_t videoFrames = video.Video().Length;
  if (mapping == FrameMapping::kAuto) {
    mapping = videoFrames == frames && frames > 0 ? FrameMapping::kFrameExact : FrameMapping::kByTime;
    if (mapping == FrameMapping::kFrameExact) Show(host, msg::kFrameExactChosen, frames);
    return Status::kOk;
  }
  if (videoFrames == frames) return Status::kOk;
  if (goOn) {
    Show(host, msg::kFrameCountDiffers, (long long)videoFrames, frames);
    return *goOn ? Status::kOk : Status::kFailed;
  }
  return host.Ask(FormatMessage(msg::kFrameCountDiffersAsk, (long long)videoFrames, frames),
                  Tr(msg::kFrameCountDiffersAsk.Caption), Buttons::kOkCancel) == Answer::kOk
             ? Status::kOk
             : Status::kCancelled;
}

}  // namespace belmora
