// Subtitles burned into the frames of the open STR: each frame's decoded
// picture with the subtitles visible at its time drawn on is encoded back
// into its own sectors; frames with nothing visible keep every byte.
#pragma once

#include <cstdint>
#include <string>

#include "base/host.h"
#include "base/status.h"
#include "convert/fit_report.h"
#include "convert/frame_codec.h"
#include "convert/str_to_avi_dialog.h"
#include "platform/subtitle_renderer.h"
#include "str/str_document.h"

namespace belmora {

struct SubtitleOptions {
  std::string Path;  // .ass/.ssa, or SRT
  SubtitleStyle Style;
  int32_t FirstSector = 0;   // the range: frames starting from here
  int32_t LastSector = -1;   // to the frame starting here (-1: the last frame)
  double OffsetSeconds = 0;  // subtitle time of the range's first frame
  // Frames of the range that lack sectors are left as they are; without it
  // such a range is refused before anything is written.
  bool SkipDamaged = false;
  // Run on a scratch copy that is thrown away: a stop needs no question.
  bool Trial = false;
};

// The subtitle time of frame `index` of the range, in milliseconds: the
// index over the file's frame rate, after the offset.
int64_t SubtitleTimeMs(int index, double framesPerSecond, double offsetSeconds);

struct SubtitleCounts {
  int Changed = 0;    // frames re-encoded
  int Untouched = 0;  // frames left as they were
};

// Burns the subtitles into the range, under a rollback journal (a failure
// leaves the file as it was). Every frame is noted in `fit`'s report. A
// user's stop (kCancelled) carries the counts of the frames done.
Result<SubtitleCounts> BurnSubtitles(StrDocument& doc, FrameCodec& codec,
                                     const SubtitleOptions& options, FrameFitter& fit, Host& host);

// Makes an STR-to-AVI export draw the subtitles onto its pictures (the
// frames' indexes taken from the export's first sector). kFailed (reported)
// when the subtitle file cannot be read.
Status AddSubtitlePreview(StrToAviOptions& export_, const StrDocument& doc,
                        const SubtitleOptions& options, Host& host);

}  // namespace belmora
