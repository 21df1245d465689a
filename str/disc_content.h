// What STR movies and XA audio a run of disc sectors holds: the classification
// of a file's sectors, and the search for such sectors that no file covers.
// Everything here works on sector heads handed over by a SectorReader, so the
// sectors may come from a disc image, a loose file or a test.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "str/movies.h"
#include "str/sector.h"

namespace belmora {

// The part of a sector the classification looks at.
struct SectorHead {
  // False for 2048-byte sectors, which store no subheader: every such sector
  // is taken for a video sector, as in the 2048 layout of STR files.
  bool HasSubheader = false;
  Subheader Sub;                                     // the second copy, the one readers test
  std::array<uint8_t, kChunkHeaderSize> UserData{};  // first bytes of the user data
};

// Hands out sector heads by sector number, counted from 0.
class SectorReader {
 public:
  virtual ~SectorReader() = default;
  virtual int64_t SectorCount() const = 0;
  // False when the sector cannot be read.
  virtual bool ReadHead(int64_t sector, SectorHead& out) = 0;
};

// What one sector is: a chunk of an STR frame (a video sector whose chunk
// header has a frame chunk's status and type and a chunk number below a chunk
// count of 1 to 20), an XA audio sector, or anything else.
enum class SectorRole { kOther, kVideo, kAudio };
SectorRole RoleOf(const SectorHead& h);
// A video chunk with chunk number 0: the first sector of a frame.
bool IsFrameStart(const SectorHead& h);

enum class ContentKind { kOther, kStrVideo, kXaAudio };
// "str", "xa", "other".
const char* ContentKindName(ContentKind kind);

struct AudioChannelInfo {
  int Channel = 0;
  int CodingInfo = 0;  // of the channel's first audio sector
  int64_t Sectors = 0;
  bool operator==(const AudioChannelInfo&) const = default;
};

struct ContentInfo {
  // STR video when at least one frame starts; XA audio when there are audio
  // sectors and no video chunks; otherwise other.
  ContentKind Kind = ContentKind::kOther;
  int64_t Sectors = 0;  // sectors looked at
  int64_t VideoSectors = 0;
  int64_t AudioSectors = 0;
  int Frames = 0;  // frame starts
  // Of the first frame start.
  int Width = 0;
  int Height = 0;
  int MdecVersion = 0;
  std::vector<AudioChannelInfo> Channels;  // by channel number
  std::vector<Movie> Movies;               // in file order
};

// Classifies sectors [first, first + count) of `reader`. The look stops at
// the reader's end or at a sector that cannot be read; `Sectors` says how far
// it got.
ContentInfo ClassifySectors(SectorReader& reader, int64_t first, int64_t count);

// A range of sectors.
struct SectorExtent {
  int64_t First = 0;
  int64_t Count = 0;
};

struct ContentRun {
  int64_t First = 0;
  int64_t Count = 0;
  ContentInfo Info;
};

// Walks every sector of `reader` outside the `covered` extents and returns the
// runs of consecutive video and audio sectors found there, classified.
std::vector<ContentRun> FindUncoveredRuns(SectorReader& reader,
                                          const std::vector<SectorExtent>& covered);

// One line: "STR video: 412 frames 320x240 MDEC v2, audio ch 1 37.8 kHz stereo",
// "XA audio: ch 0 37.8 kHz stereo 300 sectors, ch 1 ...", "other".
std::string DescribeContent(const ContentInfo& info);

}  // namespace belmora
