// Files of sound only (XA music and voice files, often with 8 to 32
// channels interleaved), and the sound of any STR file, channel by channel:
// opened as plain sectors without looking for frames.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "str/str_document.h"

namespace belmora {

struct XaChannelInfo {
  int Channel = 0;
  int Coding = 0;   // CodingInfo of the channel's first sector
  int Sectors = 0;  // audio sectors of the channel
  int Rate() const;
  int ChannelCount() const;
  // Sample frames (one value per channel) the channel's sectors hold.
  int64_t Frames() const;
  double Seconds() const { return double(Frames()) / Rate(); }
};

struct XaFileInfo {
  std::vector<XaChannelInfo> Channels;  // in order of first appearance
  int VideoSectors = 0;                 // sectors neither skipped nor audio
};

// Opens `path` as sectors of the layout its head shows; no frame is looked
// for. 0, or -1 (an unknown layout is reported; other failures are not).
[[nodiscard]] int OpenSectorFile(StrDocument& doc, const std::string& path, OpenMode mode);
[[nodiscard]] int OpenSectorFile(StrDocument& doc, const std::string& path, bool readOnly);

// Reads every sector's subheader: the channels and their lengths. With
// `untilVideo`, stops at the first video sector (enough to tell whether the
// file holds sound only).
XaFileInfo ScanXaChannels(StrDocument& doc, bool untilVideo = false);

// Hands every audio sector of `channel`, in file order, as a 2336-byte
// image to `visit`, which may change it and returns 1 to have it written
// back, 0 to go on, -1 to stop. False on a read or write failure (a write
// failure is reported).
[[nodiscard]] bool ForEachAudioSector(StrDocument& doc, int channel,
                                      const std::function<int(uint8_t* image)>& visit);

}  // namespace belmora
