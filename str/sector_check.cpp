#include "str/sector_check.h"

#include <algorithm>
#include <cstring>

namespace belmora {

const char* SectorKindName(SectorKind kind) {
  switch (kind) {
    case SectorKind::kVideo: return "video";
    case SectorKind::kAudio: return "audio";
    case SectorKind::kData: return "data";
    case SectorKind::kOther: break;
  }
  return "other";
}

namespace {

SectorKind KindOf(const Subheader& s, const uint8_t* userData) {
  if (IsAudioSector(s)) return SectorKind::kAudio;
  if (s.Submode & kSubmodeData) {
    VideoChunkHeader h = VideoChunkHeader::Parse(userData);
    return (h.Status & 0xF0) == kFrameChunkStatus && h.Type == kFrameChunkType
               ? SectorKind::kVideo
               : SectorKind::kData;
  }
  return SectorKind::kOther;
}

}  // namespace

bool LayoutForCheck(const uint8_t* head, size_t headSize, int64_t size, SectorLayout& layout,
                    bool& hasRiffHeader) {
  auto detected = DetectLayout({head, headSize});
  hasRiffHeader = false;
  if (detected && detected->Layout.SectorSize != 2048) {
    layout = detected->Layout;
    hasRiffHeader = detected->HasRiffHeader;
    return true;
  }
  // Sector images of music and voice files, which the opener leaves alone.
  if (size > 0 && size % kSectorImageSize == 0 && headSize >= 8 &&
      std::memcmp(head, head + 4, 4) == 0) {
    layout = kLayout2336;
    return true;
  }
  if (detected) {
    layout = detected->Layout;
    return true;
  }
  return false;
}

namespace {
// A raw sector that carries data: half its sync pattern or more there, or a
// Mode 2 header with its two subheader copies alike. CD audio sectors are
// sound from their first byte, which matches either only by a rare chance.
bool LooksLikeData(const uint8_t* raw) {
  int sync = 0;
  for (size_t i = 0; i < kSyncPattern.size(); i++) sync += raw[i] == kSyncPattern[i];
  if (sync >= 6) return true;
  return raw[15] == kMode2 && std::memcmp(raw + 16, raw + 20, 4) == 0;
}
}  // namespace

SectorCheckResult CheckSectors(SectorFile& file, bool fix, SectorCheckReport& report,
                               const std::vector<std::pair<int64_t, int64_t>>& audio) {
  report = {};
  const int64_t size = file.Size();
  if (size < 0) return SectorCheckResult::kReadFailed;
  uint8_t head[kUserDataSize] = {};
  if (!file.ReadAt(0, head, size_t(std::min<int64_t>(size, sizeof head))))
    return SectorCheckResult::kReadFailed;
  if (!LayoutForCheck(head, sizeof head, size, report.Layout, report.HasRiffHeader))
    return SectorCheckResult::kUnknownLayout;

  const SectorLayout l = report.Layout;
  const bool raw = l.SectorSize == kRawSectorSize;
  const int64_t start = SectorStartOffset(l, 0);
  report.Checkable = l.SectorSize != 2048;
  report.SectorCount = std::max<int64_t>(0, (size - start) / l.SectorSize);
  report.TrailingBytes = std::max<int64_t>(0, size - start) - report.SectorCount * l.SectorSize;
  if (!report.Checkable) return SectorCheckResult::kOk;

  // Sector 0's own address numbers the file; 00:02:00 when it has none.
  int32_t base = kFirstDataAddress;
  std::vector<uint8_t> buffer(size_t(l.SectorSize));
  if (raw && report.SectorCount > 0) {
    if (!file.ReadAt(start, buffer.data(), buffer.size())) return SectorCheckResult::kReadFailed;
    if (std::memcmp(buffer.data(), kSyncPattern.data(), kSyncPattern.size()) == 0 &&
        buffer[15] == kMode2)
      if (auto lba = DecodeMsf(buffer.data() + 12)) base = *lba;
  }

  for (int64_t n = 0; n < report.SectorCount; n++) {
    const int64_t at = start + n * l.SectorSize;
    if (!file.ReadAt(at, buffer.data(), buffer.size())) return SectorCheckResult::kReadFailed;
    uint8_t* image = raw ? buffer.data() + 16 : buffer.data();
    const bool inAudioTrack = std::any_of(audio.begin(), audio.end(), [n](const auto& r) {
      return n >= r.first && n < r.second;
    });
    if (inAudioTrack || (raw && audio.empty() && !LooksLikeData(buffer.data()))) {
      report.CdAudio++;
      continue;
    }
    const int32_t expected = int32_t((base + n) % kMsfAddressCount);
    SectorCheck c = raw ? CheckRawSector(buffer.data(), expected) : CheckSectorImage(image);
    const SectorKind kind = KindOf(Subheader::Parse(image), image + 8);
    SectorKindCounts& k = report.Kinds[size_t(kind)];
    k.Sectors++;
    k.SyncOk += c.SyncOk;
    k.HeaderOk += c.HeaderOk;
    k.EdcOk += c.EdcOk;
    k.EdcZero += c.Form2EdcZero;
    k.Form1 += c.Form == 1;
    k.EccOk += c.Form == 1 && c.EccOk;
    if (c.Valid()) {
      k.Valid++;
      continue;
    }
    report.BadCount++;
    if (report.FirstBad.size() < SectorCheckReport::kMaxListedBadSectors)
      report.FirstBad.push_back({int32_t(n), kind, raw ? expected : 0, c});
    if (!fix) continue;
    const Form2Edc form2 = c.Form2EdcZero ? Form2Edc::KeepZero : Form2Edc::Compute;
    if (raw)
      SealRawSector(buffer.data(), expected, true, form2);
    else
      SealSectorImage(image, form2);
    if (!file.WriteAt(at, buffer.data(), buffer.size())) return SectorCheckResult::kWriteFailed;
    report.Fixed++;
  }
  return SectorCheckResult::kOk;
}

}  // namespace belmora
