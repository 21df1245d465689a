// The FFmpeg and libass side of the program is a module of its own
// (belmora-media), loaded once, on the first use of MediaReader,
// MediaWriter, PcmResampler, SubtitleRenderer, a PNG file or the lists of
// encoders: commands that touch no video never load it. It is looked for
// next to the executable, then where the installation puts it.
#pragma once

#include <string>

#include "base/host.h"
#include "base/status.h"

namespace belmora {

// Loads the module if need be. When it cannot be loaded, shows which file
// is missing (the module or a library it needs) and returns kFailed; an
// operation that writes calls this before it changes anything.
Status RequireMediaModule(Host& host);

// The text RequireMediaModule shows; empty when the module is loaded.
std::string MediaModuleProblem();

// Starts loading the module on a thread of its own, for a caller that will
// need it and has other work meanwhile. Safe from any thread.
void StartLoadingMediaModule();

// For tests: look for the module in `dir` only. Takes effect only before
// the first load.
void SetMediaModuleDirectory(const std::string& dir);

}  // namespace belmora
