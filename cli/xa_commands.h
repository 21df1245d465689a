// The sound of XA files channel by channel: files of sound only for info
// and export-wav, every channel at once, and import-wav into one channel.
#pragma once

#include <string>

#include "cli/cli_common.h"

namespace belmora::cli {

// A file whose sectors hold sound and no video sector.
bool IsAudioOnlyFile(const std::string& path);

// info for such a file: its layout and every channel with format and length.
int RunXaInfo(const GlobalOptions& g, const std::string& path, bool json);

struct XaExportOptions {
  std::string path, out, allChannelsDir;
  int channel = -1, rate = 0, channels = 0, bits = 16;
  bool force = false;
};
// export-wav for files of sound only, and --all-channels DIR for any file.
int RunXaExportWav(const GlobalOptions& g, const XaExportOptions& o);

}  // namespace belmora::cli
