// The walk every reader of a movie makes: its frames from one sector to
// another in file order, as the viewer's Next button steps through them.
#pragma once

#include <cstdint>

#include "str/str_document.h"

namespace belmora {

enum class WalkStep {
  kFrame,  // a frame was read into the document's cursor
  kEnd,    // no frame of the movie begins at or before the last sector
  kError,  // the file could not be read there
};

// ReadFrame from CurrentSector, searching on past stretches without a frame
// longer than one search while they begin at or before `last`: 0 a frame
// was read (it may begin after `last`), 1 none begins up to `last`, -1 the
// file could not be read.
// Messages go to `host` (the document's own when none is given).
[[nodiscard]] int ReadNextFrame(StrDocument& doc, Host& host, int32_t last);
[[nodiscard]] int ReadNextFrame(StrDocument& doc, int32_t last);

// Reads every frame of the chosen movie that begins from `first` to `last`
// (clamped to the movie's last frame) once: frames that lack chunks
// included (FrameDamaged says so), stretches without a frame searched past,
// so that damage costs only its own frame.
class FrameWalker {
 public:
  FrameWalker(StrDocument& doc, int32_t first, int32_t last);
  // The next frame, its read's messages going to `host` (the document's
  // own when none is given).
  WalkStep Next(Host& host);
  WalkStep Next();

 private:
  StrDocument& doc_;
  int32_t first_, last_;
  bool started_ = false;
};

}  // namespace belmora
