// The sound of one XA channel to and from a WAV file: every audio sector of
// the channel in file order, in files of sound only as in movies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/status.h"
#include "str/xa_file.h"
#include "str/str_document.h"

namespace belmora {

// Output format of an export: 0 values take the channel's own (its rate,
// its channels, 16 bits).
struct XaWavFormat {
  int Rate = 0;
  int Channels = 0;
  int Bits = 16;
};

// The sound of `channel` decoded, as PCM of the format's (its own rate and
// channels where the format says 0); kFailed (reported) when it cannot be read.
Result<std::vector<uint8_t>> DecodeXaChannel(StrDocument& doc, const XaChannelInfo& channel,
                                             const XaWavFormat& format, Host& host);

// Decodes `channel` into a WAV file at `path`; kFailed (reported) on failure.
Status ExportXaChannel(StrDocument& doc, const XaChannelInfo& channel, const std::string& path,
                       const XaWavFormat& format, Host& host);

// Re-encodes `channel` in place from the WAV file at `wavPath`, under a
// rollback journal. The WAV must have the channel's rate, and its length
// must be the channel's within one sector's worth (the rest is silence or
// left out). The sound is taken at twice its scale, as the decoder gives
// half: an exported channel imported again keeps its level. kFailed
// (reported) otherwise or on failure. Stopped by the user (kCancelled), the
// sectors done are kept or the file put back, as the user answers.
Status ImportXaChannel(StrDocument& doc, const XaChannelInfo& channel, const std::string& wavPath,
                       Host& host);

// The file name of channel `channel` in an export of every channel.
std::string ChannelWavName(int channel);

}  // namespace belmora
