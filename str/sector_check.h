// Checks the framing of every sector of a file: sync, address header, EDC and
// ECC, counted per kind of sector; optionally rewrites the framing of the bad
// ones (never their subheader or user data).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "str/cd_sector.h"
#include "str/sector.h"
#include "str/sector_file.h"

namespace belmora {

// Kinds of sector as their subheader marks them.
enum class SectorKind { kVideo, kAudio, kData, kOther };
inline constexpr int kSectorKindCount = 4;
const char* SectorKindName(SectorKind kind);

struct SectorKindCounts {
  int64_t Sectors = 0;
  int64_t Valid = 0;
  int64_t SyncOk = 0;
  int64_t HeaderOk = 0;
  int64_t EdcOk = 0;    // stored EDC as computed
  int64_t EdcZero = 0;  // Form 2 sectors with a zero ("not computed") EDC
  int64_t EccOk = 0;    // Form 1 sectors only
  int64_t Form1 = 0;
};

struct BadSector {
  int32_t Index = 0;
  SectorKind Kind = SectorKind::kOther;
  int32_t ExpectedAddress = 0;  // raw sectors only
  SectorCheck Check;
};

struct SectorCheckReport {
  SectorLayout Layout{0, 0};
  bool HasRiffHeader = false;
  // Whether the layout carries framing at all (2048-byte sectors do not).
  bool Checkable = false;
  int64_t SectorCount = 0;
  int64_t TrailingBytes = 0;  // after the last whole sector
  std::array<SectorKindCounts, kSectorKindCount> Kinds{};
  int64_t BadCount = 0;
  std::vector<BadSector> FirstBad;  // up to kMaxListedBadSectors
  int64_t Fixed = 0;
  // Sectors of CD audio (a cue sheet's AUDIO tracks; in a raw file without
  // one, sectors with no trace of a sync pattern or a data mode): their
  // bytes are sound, with no framing to check or to rewrite.
  int64_t CdAudio = 0;

  static constexpr size_t kMaxListedBadSectors = 20;
};

enum class SectorCheckResult { kOk, kUnknownLayout, kReadFailed, kWriteFailed };

// Which layout a file of `size` bytes beginning with `head` uses, for the
// check: the opener's rules, and a 2336-byte file whatever its first sector.
bool LayoutForCheck(const uint8_t* head, size_t headSize, int64_t size, SectorLayout& layout,
                    bool& hasRiffHeader);

// Checks every sector of the open `file`. Raw sectors are expected at the
// address of sector 0 plus their index (00:02:00 plus their index when
// sector 0 carries none). With `fix`, every bad sector gets its sync,
// address, mode, EDC and ECC rewritten (a zero Form 2 EDC stays zero) under
// the file's rollback journal, which the caller has begun.
// `audio` lists ranges [first, end) of sectors known to be CD audio.
SectorCheckResult CheckSectors(SectorFile& file, bool fix, SectorCheckReport& report,
                               const std::vector<std::pair<int64_t, int64_t>>& audio = {});

}  // namespace belmora
