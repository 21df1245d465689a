#include "str/str_document.h"

#include "base/bytes.h"
#include "base/input_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "str/disc_document.h"

namespace belmora {

void StrDocument::SetPictureSize(int width, int height) {
  PictureWidth = width;
  PictureHeight = height;
  MacroblockColumns = (width + 15) / 16;
  MacroblockRows = (height + 15) / 16;
  PaddedWidth = MacroblockColumns * 16;
  PaddedHeight = MacroblockRows * 16;
}

size_t StrDocument::IntactBytes() const {
  const int count = ChunkHeader.ChunkCount;
  return FrameDamaged ? IntactFrameBytes(count, ChunksPresent) : size_t(count) * kChunkPayloadSize;
}

ScopedAudioHook::ScopedAudioHook(StrDocument& doc) : doc_(doc), previous_(doc.Hook) {
  if (!doc_.Hook) doc_.Hook = &local_;
  doc_.Hook->Remove();
}

ScopedAudioHook::~ScopedAudioHook() {
  doc_.Hook->Remove();
  doc_.Hook = previous_;
}

void ScopedAudioHook::Install(AudioSectorHook::Function f) {
  doc_.Hook->Install(std::move(f));
}
void ScopedAudioHook::Remove() {
  doc_.Hook->Remove();
}

std::string FullPath(const std::string& path) {
  std::error_code ec;
  auto full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

std::vector<MovieFrame> DamagedFramesBetween(const StrDocument& doc, int32_t first, int32_t last) {
  std::vector<MovieFrame> damaged;
  if (const Movie* movie = doc.CurrentMovie())
    for (const MovieFrame& f : movie->Frames)
      if (f.Damaged() && f.FirstSector >= first && f.FirstSector <= last) damaged.push_back(f);
  return damaged;
}

bool HasInterleavedMovies(const StrDocument& doc) {
  for (size_t i = 0; i < doc.Movies.size(); i++)
    for (size_t j = i + 1; j < doc.Movies.size(); j++)
      if (doc.Movies[i].FirstSector <= doc.Movies[j].LastSector &&
          doc.Movies[j].FirstSector <= doc.Movies[i].LastSector)
        return true;
  return false;
}

bool RefuseIfReadOnly(StrDocument& doc, Host& host) {
  if (!doc.ReadOnly) return false;
  Show(host, msg::kReadOnly);
  return true;
}

bool RefuseIfReadOnly(StrDocument& doc) {
  return RefuseIfReadOnly(doc, *doc.Ui);
}

bool StoreBytes(StrDocument& doc, Host& host, int64_t offset, const void* data, size_t size) {
  // A file inside a disc image keeps its length: a write past it is refused.
  if (doc.File.Restricted() && offset + int64_t(size) > doc.File.Size()) {
    if (!doc.WriteFailed) (void)RefuseIfFixedLength(doc, host);
    doc.WriteFailed = true;
    return false;
  }
  if (doc.File.WriteAt(offset, data, size)) return true;
  if (!doc.WriteFailed) Show(host, msg::kWriteError, doc.Path.c_str(), std::strerror(doc.File.Error()));
  doc.WriteFailed = true;
  return false;
}

bool StoreBytes(StrDocument& doc, int64_t offset, const void* data, size_t size) {
  return StoreBytes(doc, *doc.Ui, offset, data, size);
}

namespace {

// The address on the disc of sector n: one after the sector before's when
// that has a valid header, else counted from the file's first address.
int32_t AddressOf(StrDocument& doc, int32_t n) {
  uint8_t head[16];
  if (n > 0 && doc.File.ReadAt(SectorStartOffset(doc.Layout(), n - 1), head, sizeof head) &&
      std::memcmp(head, kSyncPattern.data(), kSyncPattern.size()) == 0 && head[15] == kMode2)
    if (auto lba = DecodeMsf(head + 12)) return *lba + 1;
  return doc.FirstAddress + n;
}

// The stored sector n whole: its start, and its size as stored.
int64_t StoredSectorStart(const StrDocument& doc, int32_t n) {
  return SectorStartOffset(doc.Layout(), n);
}

}  // namespace

bool StoreNewSector(StrDocument& doc, Host& host, int32_t n, const uint8_t* image) {
  const int64_t at = StoredSectorStart(doc, n);
  if (!doc.HasSubheaders()) return StoreBytes(doc, host, at, image + 8, kUserDataSize);
  if (doc.SectorSize == kRawSectorSize) {
    uint8_t raw[kRawSectorSize];
    std::memcpy(raw + 16, image, kSectorImageSize);
    if (doc.SealSectors) {
      SealRawSector(raw, AddressOf(doc, n), true);
    } else {
      std::memcpy(raw, kSyncHeader.data(), kSyncHeader.size());
    }
    return StoreBytes(doc, host, at, raw, sizeof raw);
  }
  uint8_t sealed[kSectorImageSize];
  std::memcpy(sealed, image, kSectorImageSize);
  if (doc.SealSectors) SealSectorImage(sealed);
  return StoreBytes(doc, host, at, sealed, sizeof sealed);
}

bool StoreNewSector(StrDocument& doc, int32_t n, const uint8_t* image) {
  return StoreNewSector(doc, *doc.Ui, n, image);
}

bool StoreIntoSector(StrDocument& doc, Host& host, int32_t n, int64_t offset, const uint8_t* data,
                     size_t size) {
  if (!doc.SealSectors || !doc.HasSubheaders()) return StoreBytes(doc, host, offset, data, size);
  // The whole sector is read, changed, sealed and written back at once.
  const int64_t start = StoredSectorStart(doc, n);
  uint8_t sector[kRawSectorSize];
  const size_t stored = size_t(doc.SectorSize);
  if (offset < start || offset + int64_t(size) > start + int64_t(stored) ||
      !doc.File.ReadAt(start, sector, stored))
    return StoreBytes(doc, host, offset, data, size);  // a sector cut off by the end of the file
  // A Form 2 EDC of zero ("not computed") stays zero; that is judged on the
  // sector as it was, not on bytes the new data may have put there.
  uint8_t* image = doc.SectorSize == kRawSectorSize ? sector + 16 : sector;
  const bool zeroEdc = (image[2] & kSubmodeForm2) &&
                       std::all_of(image + kForm2EdcOffset, image + kForm2EdcOffset + 4,
                                   [](uint8_t b) { return b == 0; });
  std::memcpy(sector + (offset - start), data, size);
  if (zeroEdc) std::fill(image + kForm2EdcOffset, image + kForm2EdcOffset + 4, uint8_t(0));
  if (doc.SectorSize == kRawSectorSize)
    SealRawSector(sector, 0, false, Form2Edc::KeepZero);
  else
    SealSectorImage(sector, Form2Edc::KeepZero);
  return StoreBytes(doc, host, start, sector, stored);
}

bool StoreIntoSector(StrDocument& doc, int32_t n, int64_t offset, const uint8_t* data,
                     size_t size) {
  return StoreIntoSector(doc, *doc.Ui, n, offset, data, size);
}

namespace {
std::string PidText(int pid) {
  return pid > 0 ? " (pid " + std::to_string(pid) + ")" : std::string();
}
}  // namespace

void ReportEditRefused(Host& host, const std::string& shown, const std::string& disk, int error) {
  switch (error) {
    case EAGAIN: {
      int pid = 0;
      (void)PendingEdit(disk, &pid);
      Show(host, msg::kBeingEdited, shown.c_str(), PidText(pid).c_str());
      break;
    }
    case EEXIST:
      Show(host, msg::kJournalExists, shown.c_str(), disk.c_str());
      break;
    case ESTALE:
      Show(host, msg::kChangedSinceOpened, shown.c_str());
      break;
    default:
      Show(host, msg::kWriteError, JournalPath(disk).c_str(), ErrorText(error).c_str());
  }
}

bool RefusePendingEdit(Host& host, const std::string& shown, const std::string& disk) {
  int pid = 0;
  switch (PendingEdit(disk, &pid)) {
    case EditState::kNone:
      return false;
    case EditState::kBeingEdited:
      Show(host, msg::kBeingEdited, shown.c_str(), PidText(pid).c_str());
      return true;
    case EditState::kInterrupted:
      Show(host, msg::kJournalExists, shown.c_str(), disk.c_str());
      return true;
  }
  return true;
}

bool ReportRecovery(Host& host, const std::string& shown, const std::string& disk,
                    RecoverResult result, const RecoverDetail& detail) {
  switch (result) {
    case RecoverResult::kNoJournal:
    case RecoverResult::kRolledBack:
      return true;
    case RecoverResult::kBeingEdited:
      Show(host, msg::kBeingEdited, shown.c_str(), PidText(detail.Pid).c_str());
      return false;
    case RecoverResult::kRefused: {
      const std::string journal = detail.Journal.empty() ? JournalPath(disk) : detail.Journal;
      if (detail.Fault == JournalFault::kNotRegular) {
        Show(host, msg::kJournalNotRegular, journal.c_str(), shown.c_str());
        return false;
      }
      if (detail.Fault == JournalFault::kChanged || detail.Fault == JournalFault::kMismatch) {
        Show(host, msg::kJournalMismatch, shown.c_str(), journal.c_str(), shown.c_str());
        return false;
      }
      const char* why = detail.Fault == JournalFault::kCut       ? msg::kJournalCut
                        : detail.Fault == JournalFault::kForeign ? msg::kJournalForeign
                                                                 : msg::kJournalDamaged;
      Show(host, msg::kJournalRefused, shown.c_str(), why, journal.c_str());
      Show(host, msg::kJournalDiscardHint, shown.c_str(), shown.c_str());
      return false;
    }
    case RecoverResult::kFailed:
      break;
  }
  Show(host, detail.Error == kNotRegularError ? msg::kCannotRead : msg::kWriteError, shown.c_str(),
       ErrorText(detail.Error).c_str());
  return false;
}

DocumentEdit::DocumentEdit(StrDocument& doc) : DocumentEdit(doc, *doc.Ui) {}

DocumentEdit::DocumentEdit(StrDocument& doc, Host& host) : doc_(doc), host_(host) {
  doc.WriteFailed = false;
  if (RefuseIfReadOnly(doc, host)) return;
  // The lock is taken first; the journal and the file's identity are looked
  // at under it.
  if (!doc.File.BeginJournal()) {
    ReportEditRefused(host, doc.Path, doc.DiskPath(), doc.File.Error());
    return;
  }
  ok_ = true;
}

bool DocumentEdit::Commit() {
  if (ok_ && !done_ && doc_.BeforeCommit && !doc_.BeforeCommit()) {
    RollBack();
    return false;
  }
  done_ = true;
  if (!ok_) return false;
  if (doc_.File.CommitJournal()) return true;
  Show(host_, msg::kWriteError, doc_.Path.c_str(), std::strerror(doc_.File.Error()));
  return false;
}

DocumentEdit::~DocumentEdit() {
  if (!ok_ || done_) return;
  // Nothing written: there is nothing to put back.
  if (!doc_.File.Changed() && doc_.File.CommitJournal()) return;
  RollBack();
}

void DocumentEdit::RollBack() {
  if (!ok_ || done_) return;
  done_ = true;
  const std::string path = doc_.Path, disk = doc_.DiskPath();
  const bool rolledBack = doc_.File.RollbackJournal();
  CloseStrFile(doc_);
  if (rolledBack)
    Show(host_, msg::kRolledBack, path.c_str());
  else
    Show(host_, msg::kRollbackFailed, path.c_str(), disk.c_str());
}

bool ReadSubheader(StrDocument& doc, int32_t sector, Subheader& out) {
  uint8_t b[4];
  if (sector < 0 || !doc.File.ReadAt(SubheaderOffset(doc.Layout(), sector), b, 4)) return false;
  out = Subheader::Parse(b);
  return true;
}

bool IsXaSound(const StrDocument& doc, const Subheader& sub) {
  return doc.Format->IsXaSound(sub);
}

bool SkipsSector(const StrDocument& doc, const Subheader& sub) {
  return doc.Format->SkipsSector(sub);
}

size_t FormatUserBytes(const StrDocument& doc) {
  if (doc.SectorSize <= kUserDataSize) return kUserDataSize;
  return size_t(doc.Format->Info().VideoUserDataSize);
}

bool ReadUserData(StrDocument& doc, int32_t n, std::vector<uint8_t>& out) {
  out.resize(FormatUserBytes(doc));
  return n >= 0 && doc.File.ReadAt(UserDataOffset(doc.Layout(), n), out.data(), out.size());
}

namespace {
// Bytes of a sector's user data its chunk header is read from.
size_t HeaderReadBytes(const StrDocument& doc) {
  return std::min(doc.Format->HeaderBytes(), FormatUserBytes(doc));
}
}  // namespace

bool ReadChunkHeader(StrDocument& doc, int32_t sector, VideoChunkHeader& out) {
  uint8_t user[kXaDataSize];
  const size_t n = HeaderReadBytes(doc);
  if (sector < 0 || !doc.File.ReadAt(UserDataOffset(doc.Layout(), sector), user, n)) return false;
  out = doc.Format->ChunkHeader(std::span<const uint8_t>(user, n));
  return true;
}

namespace {

// Books an audio sector that a frame read passes, and hands it to the hook.
int PassAudioSector(StrDocument& doc, Host& host, int32_t sector, const Subheader& sub) {
  doc.AudioSubheaderTemplate = sub;
  doc.AudioInterleave = InterleaveFor(doc.SpeedFactor, sub.CodingInfo);
  doc.LastAudioSector = sector;
  if (!doc.Hook || !*doc.Hook) return 0;
  uint8_t image[kSectorImageSize];
  sub.Store(image);
  sub.Store(image + 4);
  int64_t at = SectorImageOffset(doc.Layout(), sector);
  if (!doc.File.ReadAt(at + 8, image + 8, kXaDataSize)) return -1;
  if ((*doc.Hook)(image) == 1) {
    if (RefuseIfReadOnly(doc, host)) return -1;
    // Subheaders the hook left as they were stay as stored (the two copies
    // may differ on disc); only the sound is written back.
    uint8_t given[8];
    sub.Store(given);
    sub.Store(given + 4);
    const bool sameSubheaders = std::memcmp(image, given, 8) == 0;
    if (sameSubheaders ? !StoreIntoSector(doc, host, sector, at + 8, image + 8, kXaDataSize)
                       : !StoreIntoSector(doc, host, sector, at, image, kSectorImageSize))
      return -1;
  }
  return 0;
}

// The first frame start within the first sectors, for files whose first
// sector says nothing about the picture; false when there is none.
bool FindPictureSize(StrDocument& doc, int& width, int& height) {
  for (int32_t s = 0; s < kFrameStartWindow; s++) {
    Subheader sub;
    if (!ReadSubheader(doc, s, sub)) return false;
    if (SkipsSector(doc, sub)) continue;
    VideoChunkHeader h;
    if (!ReadChunkHeader(doc, s, h)) return false;
    if (h.ChunkNumber == 0 && IsFrameStartHeader(h)) {
      width = h.Width;
      height = h.Height;
      return true;
    }
  }
  return false;
}

// The speed implied by the distance between the first two audio sectors of
// one channel near the start; 0 when that says nothing.
int SpeedFromInterleave(StrDocument& doc) {
  int32_t first = -1;
  Subheader firstSub;
  for (int32_t s = 0; s < kInterleaveScanSectors; s++) {
    Subheader sub;
    if (!ReadSubheader(doc, s, sub)) return 0;
    if (!IsXaSound(doc, sub)) continue;
    if (first < 0) {
      first = s;
      firstSub = sub;
    } else if (sub.Channel == firstSub.Channel) {
      int32_t d = s - first;
      int32_t single = InterleaveFor(1, firstSub.CodingInfo);
      if (d == single) return 1;
      if (d == 2 * single) return 2;
      return 0;
    }
  }
  return 0;
}

// The speed judged from where the first audio sector of the first sectors
// lies; -1 on a short read.
int SpeedFromFirstAudio(StrDocument& doc) {
  for (int32_t i = 0; i < std::min(kOpenScanSectors, doc.SectorCount); i++) {
    Subheader sub;
    if (!ReadSubheader(doc, i, sub)) return -1;
    if (!IsXaSound(doc, sub)) continue;
    int coding = sub.CodingInfo;
    if (doc.PaddedWidth > 0) {
      int n = (IsStereo(coding) ? 8 : 16) * (IsHalfRate(coding) ? 2 : 1);
      return n < i ? 1 : 2;
    }
    int n = (IsStereo(coding) ? 4 : 8) * (IsHalfRate(coding) ? 2 : 1);
    return n < doc.AudioChannelCount ? 2 : 1;
  }
  return 2;
}

// One pass over the file's subheaders and chunk headers: its movies and
// their frames. False on a read error.
bool ScanMovies(StrDocument& doc) {
  MovieScanner scanner;
  const size_t before = doc.HasSubheaders() ? 4 : 0, header = HeaderReadBytes(doc);
  uint8_t b[4 + kXaDataSize];
  for (int32_t s = 0; s < doc.SectorCount; s++) {
    // The subheader copy and the chunk header in one read.
    if (!doc.File.ReadAt(UserDataOffset(doc.Layout(), s) - int64_t(before), b, before + header))
      return false;
    int channel = 0;
    if (before) {
      const Subheader sub = Subheader::Parse(b);
      if (SkipsSector(doc, sub)) {
        if (IsXaSound(doc, sub)) scanner.Audio(sub.Channel, sub.CodingInfo);
        continue;
      }
      channel = sub.Channel;
    }
    scanner.Video(s, channel, doc.Format->ChunkHeader(std::span<const uint8_t>(b + before, header)));
  }
  const bool sound = doc.AudioChannelCount > 0;
  doc.Movies = scanner.Finish(sound ? doc.AudioChannels[0] : -1, sound ? doc.AudioCodings[0] : 0);
  return true;
}

// The user data of the file's first sectors that do not say they are sound
// (nor are fillers): what the layouts are recognised by.
std::vector<std::vector<uint8_t>> FirstSectors(StrDocument& doc) {
  const size_t bytes = doc.SectorSize > kUserDataSize ? size_t(kXaDataSize - 4) : kUserDataSize;
  std::vector<std::vector<uint8_t>> users;
  for (int32_t s = 0; s < std::min(doc.SectorCount, 2 * kOpenScanSectors); s++) {
    if (doc.HasSubheaders()) {
      Subheader sub;
      if (!ReadSubheader(doc, s, sub)) break;
      if ((IsAudioSector(sub) && (sub.Submode & kSubmodeAudio)) || sub == kFillerSubheader)
        continue;
    }
    std::vector<uint8_t> user(bytes);
    if (!doc.File.ReadAt(UserDataOffset(doc.Layout(), s), user.data(), bytes)) break;
    users.push_back(std::move(user));
  }
  return users;
}

// How the first frames read in the document's current layout: whether one
// says it is of another layout, and whether one decodes.
struct FrameTrial {
  int Read = 0;
  bool Refused = false;
  bool Decoded = false;
};

FrameTrial TryFirstFrames(StrDocument& doc, FrameProbe* probe) {
  constexpr int kFramesTried = 3;
  CollectingHost quiet;
  FrameTrial trial;
  doc.CurrentSector = 0;
  for (int i = 0; i < kFramesTried && !trial.Refused && !trial.Decoded; i++) {
    if (ReadFrame(doc, quiet) != 0) break;
    doc.CurrentSector = doc.NextSector;
    if (doc.FrameDamaged) continue;
    const std::span<const uint8_t> frame(doc.FrameBuffer.data(), doc.IntactBytes());
    trial.Read++;
    trial.Refused = !doc.Format->AcceptsFrame(frame);
    trial.Decoded = !trial.Refused && probe &&
                    probe->Decodes(doc.Format->Frames(), frame, doc.ChunkHeader.Width,
                                   doc.ChunkHeader.Height);
  }
  return trial;
}

// The layout of the file's movies: of those its first sectors allow, the
// first whose frames read as its own and (given a probe) decode in its
// coding. When no layout's frames decode, the first whose frames read is
// taken, and the frames are said not to decode. False when no layout
// reads a frame or names a sector.
bool DetectFormat(StrDocument& doc, FrameProbe* probe) {
  const auto users = FirstSectors(doc);
  const std::vector<std::span<const uint8_t>> spans(users.begin(), users.end());
  const MovieLayout* fallback = nullptr;
  bool fallbackRead = false, anyRead = false;
  doc.FramesDecode = true;
  for (const MovieLayout* layout : CandidateLayouts(spans)) {
    doc.Format = layout;
    const FrameTrial trial = TryFirstFrames(doc, probe);
    if (trial.Refused) continue;
    anyRead |= trial.Read > 0;
    if (trial.Decoded || (!probe && trial.Read > 0)) return true;
    if (!fallback || (trial.Read > 0 && !fallbackRead)) {
      fallback = layout;
      fallbackRead = trial.Read > 0;
    }
  }
  doc.Format = fallback ? fallback : &StandardLayout();
  doc.FramesDecode = !probe || !anyRead;
  return fallbackRead || std::any_of(spans.begin(), spans.end(), [&](auto user) {
           return doc.Format->Names(user);
         });
}

int FailOpen(StrDocument& doc) {
  CloseStrFile(doc);
  return -1;
}

}  // namespace

bool OpenWholeFile(StrDocument& doc, Host& host, const std::string& path, OpenMode mode) {
  doc.Path = FullPath(path);
  doc.ReadOnly = mode == OpenMode::kReadOnly;
  // A file in the middle of an edit is not what it seems.
  if (RefusePendingEdit(host, doc.Path, doc.Path)) return false;
  if (mode != OpenMode::kEdit) {
    const auto how = mode == OpenMode::kTrial ? SectorFile::Mode::kTrial : SectorFile::Mode::kReadOnly;
    if (!doc.File.Open(doc.Path, how)) return false;
  } else if (!doc.File.Open(doc.Path, SectorFile::Mode::kReadWrite)) {
    int err = doc.File.Error();
    if (err != EACCES && err != EROFS && err != EPERM) return false;
    // Read-only file or medium: open for viewing and export only.
    if (!doc.File.Open(doc.Path, SectorFile::Mode::kReadOnly)) return false;
    doc.ReadOnly = true;
  }
  return true;
}

int OpenStrFile(StrDocument& doc, Host& host, const std::string& path, bool readOnly) {
  return OpenStrFile(doc, host, path, OpenModeFor(readOnly));
}

int OpenStrFile(StrDocument& doc, Host& host, const std::string& path, OpenMode mode,
                FrameProbe* probe) {
  // A file inside a disc image opens over its extent, in the image's layout.
  std::optional<SectorLayout> imageLayout;
  if (auto inner = SplitImagePath(path)) {
    imageLayout = OpenImageExtent(doc, host, *inner, mode);
    if (!imageLayout) return FailOpen(doc);
  } else if (!OpenWholeFile(doc, host, path, mode)) {
    return -1;
  }
  doc.FrameBuffer.assign(kFrameBufferSize, 0);
  doc.ValidChunkSectors = 0;

  uint8_t head[kUserDataSize] = {};
  int64_t size = doc.File.Size();
  if (size < 0) return FailOpen(doc);
  if (!doc.File.ReadAt(0, head, size_t(std::min<int64_t>(size, sizeof head)))) return FailOpen(doc);
  auto detected = imageLayout ? DetectImageLayout(head, *imageLayout) : DetectLayout(head);
  // A file of 2048-byte sectors in a game's layout has no standard frame
  // header for the rules to find.
  if (!detected) {
    DetectedLayout bare;
    bare.Layout = kLayout2048;
    bare.FirstSectorSkipped = true;
    doc.SectorSize = kLayout2048.SectorSize;
    doc.DataOffset = kLayout2048.DataOffset;
    doc.SectorCount = int32_t(std::min<int64_t>(size / doc.SectorSize, INT32_MAX));
    if (DetectFormat(doc, probe)) detected = bare;
  }
  if (!detected) {
    Show(host, msg::kUnknownFormat);
    return FailOpen(doc);
  }
  doc.SectorSize = detected->Layout.SectorSize;
  doc.DataOffset = detected->Layout.DataOffset;
  doc.HasRiffHeader = detected->HasRiffHeader;
  doc.SectorCount = int32_t(std::min<int64_t>(size / doc.SectorSize, INT32_MAX));
  (void)DetectFormat(doc, probe);
  int width = detected->Width, height = detected->Height;
  // A game's sectors keep the picture size in their own headers.
  const bool sizeFromFrames = detected->FirstSectorSkipped || !doc.Format->PlainChunks();
  if (sizeFromFrames && !FindPictureSize(doc, width, height)) width = height = 0;
  doc.SetPictureSize(width, height);

  doc.AudioChannelCount = 0;
  if (doc.HasSubheaders()) {
    for (int32_t s = 0; s < std::min(kOpenScanSectors, doc.SectorCount); s++) {
      Subheader sub;
      if (!ReadSubheader(doc, s, sub)) return FailOpen(doc);
      if (!IsXaSound(doc, sub)) continue;
      bool known = false;
      for (int k = 0; k < doc.AudioChannelCount; k++) known |= doc.AudioChannels[k] == sub.Channel;
      if (known) break;
      doc.AudioChannels[doc.AudioChannelCount] = sub.Channel;
      doc.AudioCodings[doc.AudioChannelCount] = sub.CodingInfo;
      doc.AudioChannelCount++;
    }
  }

  doc.SpeedFactor = 2;
  if (doc.HasSubheaders()) {
    int speed = SpeedFromInterleave(doc);
    if (speed == 0) speed = SpeedFromFirstAudio(doc);
    if (speed < 0) return FailOpen(doc);
    doc.SpeedFactor = speed;
  }

  doc.SectorCount = int32_t(std::min<int64_t>(size / doc.SectorSize, INT32_MAX));
  if (!ScanMovies(doc)) return FailOpen(doc);
  // A game movie of sound only has no frame to choose: its sound is read
  // and written all the same.
  if (doc.Movies.empty() && doc.Format->Sound() == SoundCoding::kSpuAdpcm) return 0;
  if (SelectMovie(doc, host, 0) != 0) return FailOpen(doc);
  return 0;
}

int OpenStrFile(StrDocument& doc, const std::string& path, bool readOnly) {
  return OpenStrFile(doc, *doc.Ui, path, readOnly);
}

int SelectMovie(StrDocument& doc, Host& host, int index) {
  doc.MovieIndex = index;
  doc.MovieChannel = -1;
  doc.MovieStart = 0;
  doc.MovieEnd = INT32_MAX;
  doc.FrameDamaged = false;
  const Movie* movie = doc.CurrentMovie();
  if (!movie && index != 0) return -1;
  // With several movies the reads keep to the chosen one's channel and
  // sectors, and its sound comes first; a single movie is walked as a whole.
  if (movie && doc.Movies.size() > 1) {
    if (doc.HasSubheaders()) doc.MovieChannel = movie->Channel;
    doc.MovieStart = movie->FirstSector;
    doc.MovieEnd = movie->LastSector + 1;
    if (movie->AudioChannel >= 0) {
      int k = 0;
      while (k < doc.AudioChannelCount && doc.AudioChannels[size_t(k)] != movie->AudioChannel) k++;
      if (k == doc.AudioChannelCount && k < int(doc.AudioChannels.size())) {
        doc.AudioChannels[size_t(k)] = movie->AudioChannel;
        doc.AudioCodings[size_t(k)] = movie->AudioCoding;
        doc.AudioChannelCount++;
      }
      if (k < doc.AudioChannelCount) {
        std::swap(doc.AudioChannels[0], doc.AudioChannels[size_t(k)]);
        std::swap(doc.AudioCodings[0], doc.AudioCodings[size_t(k)]);
      }
    }
    if (movie->Width != doc.PictureWidth || movie->Height != doc.PictureHeight)
      doc.SetPictureSize(movie->Width, movie->Height);
  }
  if (FindLastFrame(doc, host) != 0) return -1;

  // The rate is judged over the first frames, counted from the start of
  // the file (of the movie, where there are several).
  const int32_t base = doc.MovieStart;
  doc.CurrentSector = base;
  int frames = 0;
  while (frames < 60 && ReadFrame(doc, host) == 0) {
    doc.CurrentSector = doc.NextSector;
    frames++;
  }
  double fps = 0;
  if (doc.CurrentSector > base)
    fps = double(frames) * kSectorsPerSecond * doc.SpeedFactor / (doc.CurrentSector - base);
  doc.FramesPerSecond = std::floor(fps * 2 + 0.5) * 0.5;

  if (FindFrameStart(doc, base) != 0) return -1;
  doc.FirstFrameNumber = int32_t(doc.ChunkHeader.FrameNumber);
  return 0;
}

int SelectMovie(StrDocument& doc, int index) {
  return SelectMovie(doc, *doc.Ui, index);
}

void CloseStrFile(StrDocument& doc) {
  doc.File.Close();
  doc.FrameBuffer.clear();
  doc.FrameBuffer.shrink_to_fit();
  doc.ValidChunkSectors = 0;
  doc.Movies.clear();
  doc.MovieIndex = 0;
  doc.MovieChannel = -1;
  doc.MovieStart = 0;
  doc.MovieEnd = INT32_MAX;
  doc.FrameDamaged = false;
  doc.Format = &StandardLayout();
  doc.FramesDecode = true;
}

int FindLastFrame(StrDocument& doc, Host& host) {
  for (int32_t n = std::min(doc.SectorCount, doc.MovieEnd) - 1; n >= doc.MovieStart; n--) {
    if (doc.HasSubheaders()) {
      Subheader sub;
      if (!ReadSubheader(doc, n, sub)) return -1;
      if (SkipsSector(doc, sub)) continue;
      if (doc.MovieChannel >= 0 && sub.Channel != doc.MovieChannel) continue;
    }
    if (!ReadChunkHeader(doc, n, doc.ChunkHeader)) return -1;
    if (doc.ChunkHeader.ChunkNumber != 0) continue;
    doc.CurrentSector = n;
    // A frame that lacks chunks (cut off by the end of the file) is passed over.
    if (ReadFrame(doc, host) == 0 && !doc.FrameDamaged) {
      doc.LastFrameSector = doc.CurrentSector;
      doc.LastFrameNumber = int32_t(doc.ChunkHeader.FrameNumber);
      doc.TrailingSectors = doc.SectorCount - doc.NextSector;
      return 0;
    }
  }
  return -1;
}

int FindLastFrame(StrDocument& doc) {
  return FindLastFrame(doc, *doc.Ui);
}

namespace {
// The scan shared by FindFrameStart and FindPreviousFrame: 1 when sector s
// is a video sector with ChunkNumber 0, 0 when not, -1 on a short read.
int IsChunkZero(StrDocument& doc, int32_t s) {
  if (doc.HasSubheaders()) {
    Subheader sub;
    if (!ReadSubheader(doc, s, sub)) return -1;
    if (SkipsSector(doc, sub)) return 0;
    if (doc.MovieChannel >= 0 && sub.Channel != doc.MovieChannel) return 0;
  }
  if (!ReadChunkHeader(doc, s, doc.ChunkHeader)) return -1;
  return doc.ChunkHeader.ChunkNumber == 0 ? 1 : 0;
}
}  // namespace

int FindFrameStart(StrDocument& doc, int32_t sector) {
  if (doc.PaddedWidth == 0) {
    doc.CurrentSector = sector;
    return 0;
  }
  for (int32_t i = 0; i < kFrameStartWindow; i++) {
    int r = IsChunkZero(doc, sector + i);
    if (r < 0) return -1;
    if (r == 1) {
      doc.CurrentSector = sector + i;
      return 0;
    }
  }
  return -1;
}

int FindPreviousFrame(StrDocument& doc) {
  // The movie's table knows frames whose chunk 0 was lost, which a search
  // for chunk 0 would step over; it is trusted where the file still agrees
  // (an edit that moved frames leaves the search below).
  if (const Movie* movie = doc.CurrentMovie()) {
    const MovieFrame* f = movie->FrameFrom(doc.CurrentSector - 1);
    VideoChunkHeader h;
    if (f && f->FirstSector >= std::max(doc.MovieStart, 0) && f->FirstSector < doc.SectorCount &&
        ReadChunkHeader(doc, f->FirstSector, h) && IsChunkHeader(h) &&
        h.FrameNumber == f->FrameNumber) {
      doc.CurrentSector = f->FirstSector;
      return 0;
    }
  }
  for (int32_t i = 0; i < kFrameSearchWindow; i++) {
    int32_t s = doc.CurrentSector - 1 - i;
    if (s < std::max(doc.MovieStart, 0)) return -1;
    int r = IsChunkZero(doc, s);
    if (r < 0) return -1;
    if (r == 1) {
      doc.CurrentSector = s;
      return 0;
    }
  }
  return -1;
}

namespace {

// Reads the subheader of sector s and tells whether the frame reads take it
// for a video sector of the movie walked; other sectors are passed (audio
// sectors through PassAudioSector). -1 on a read error.
int IsMovieVideoSector(StrDocument& doc, Host& host, int32_t s, Subheader& sub,
                       bool passAudio = true) {
  if (!doc.HasSubheaders()) return 1;
  if (!ReadSubheader(doc, s, sub)) return -1;
  if (SkipsSector(doc, sub)) {
    if (passAudio && IsXaSound(doc, sub) && PassAudioSector(doc, host, s, sub) != 0) return -1;
    return 0;
  }
  return doc.MovieChannel < 0 || sub.Channel == doc.MovieChannel ? 1 : 0;
}

}  // namespace

namespace {

// The user data of the current frame's video sectors (FormatUserBytes each).
bool ReadFrameSectors(StrDocument& doc, int count, std::vector<std::vector<uint8_t>>& users) {
  users.resize(size_t(count));
  for (int j = 0; j < count; j++)
    if (!ReadUserData(doc, doc.ChunkSectors[size_t(j)], users[size_t(j)])) return false;
  return true;
}

// Puts a game frame's data together from its sectors into FrameBuffer, its
// size into the chunk header: 1 done, 0 the sectors make no frame, -1 a
// read error.
int GatherGameFrame(StrDocument& doc, int count) {
  std::vector<std::vector<uint8_t>> users;
  if (!ReadFrameSectors(doc, count, users)) return -1;
  const std::vector<std::span<const uint8_t>> spans(users.begin(), users.end());
  std::vector<uint8_t> frame;
  if (!doc.Format->Gather(spans, frame)) return 0;
  if (frame.size() > doc.FrameBuffer.size()) doc.FrameBuffer.resize(frame.size());
  std::copy(frame.begin(), frame.end(), doc.FrameBuffer.begin());
  uint32_t& size = doc.ChunkHeader.FrameDataSize;
  if (size == 0 || size > frame.size()) size = uint32_t(frame.size());
  doc.Format->TakeFrameHeader(frame, doc.ChunkHeader);
  return 1;
}

// WriteFrame in a game's layout: the frame spread over its own sectors as
// the format lays it out, every other byte of them kept.
int WriteGameFrame(StrDocument& doc, Host& host) {
  if (!doc.Format->Info().PictureWritable) {
    Show(host, msg::kFormatNotWritable, doc.Path.c_str(), doc.Format->Name());
    return -1;
  }
  const int count = doc.ChunkHeader.ChunkCount;
  std::vector<std::vector<uint8_t>> users;
  if (count > doc.ValidChunkSectors || !ReadFrameSectors(doc, count, users)) {
    Show(host, msg::kFrameTooLarge, count);
    return -1;
  }
  const size_t length = std::min<size_t>(doc.ChunkHeader.FrameDataSize, doc.FrameBuffer.size());
  const std::vector<std::span<uint8_t>> spans(users.begin(), users.end());
  if (!doc.Format->Spread(std::span<const uint8_t>(doc.FrameBuffer.data(), length), spans)) {
    Show(host, msg::kFrameTooLarge, count);
    return -1;
  }
  for (int j = 0; j < count; j++) {
    const int32_t n = doc.ChunkSectors[size_t(j)];
    const auto& user = users[size_t(j)];
    if (!StoreIntoSector(doc, host, n, UserDataOffset(doc.Layout(), n), user.data(), user.size()))
      return -1;
  }
  return 0;
}

}  // namespace

namespace {

// Searches from `s` for the sector where a frame of the movie begins (its
// first chunk, or its first chunk present where the movie knows the frame
// lost chunk 0), reading its chunk header: 0 found (`s` is there), 1 none
// within the search window, -1 a read error or a header no frame can have.
int FindFrameHead(StrDocument& doc, Host& host, const Movie* movie, int32_t end, int32_t& s) {
  for (int examined = 0; examined < kFrameSearchWindow; examined++, s++) {
    if (s < 0 || s >= end) return -1;
    Subheader sub;
    const int video = IsMovieVideoSector(doc, host, s, sub);
    if (video < 0) return -1;
    if (video == 0) continue;
    if (!ReadChunkHeader(doc, s, doc.ChunkHeader)) return -1;
    if (doc.ChunkHeader.ChunkNumber != 0) {
      // A frame whose first chunk is lost begins at its first chunk present.
      if (movie && movie->FrameAt(s) && IsChunkHeader(doc.ChunkHeader)) return 0;
      continue;
    }
    if (doc.ChunkHeader.ChunkCount > kMaxChunks) {
      Show(host, msg::kFrameTooLarge, int(doc.ChunkHeader.ChunkCount));
      return -1;
    }
    if (IsFrameStartHeader(doc.ChunkHeader)) return 0;
  }
  return 1;
}

// A chunk of the frame may come before its first chunk: the frame then
// begins there. False on a read error.
bool BackToEarlyChunk(StrDocument& doc, const Movie* movie, int32_t& s) {
  if (!movie) return true;
  const MovieFrame* f = movie->FrameFrom(s);
  if (!f || f->FirstSector >= s || f->FrameNumber != doc.ChunkHeader.FrameNumber ||
      f->FirstSector < doc.MovieStart || s - f->FirstSector >= kMaxChunks * 2)
    return true;
  VideoChunkHeader early;
  if (!ReadChunkHeader(doc, f->FirstSector, early)) return false;
  if (early.ChunkNumber != 0 && early.FrameNumber == f->FrameNumber) s = f->FirstSector;
  return true;
}

// The chunks of the frame whose first chunk header is `head`, gathered by
// their numbers from `s` on; other channels' sectors are passed over and a
// repeated chunk counts once. Plain chunks are copied as they are read;
// others are put together in their layout's order once all are known.
// Sets `present` to the chunks found and `s` past the last sector looked at.
// False on a read error.
bool GatherChunks(StrDocument& doc, Host& host, const VideoChunkHeader& head, int32_t start,
                  int32_t end, int32_t& s, uint32_t& present) {
  const int count = head.ChunkCount;
  const bool plain = doc.Format->PlainChunks();
  int got = 0;
  int32_t lastChunk = s;
  while (got < count) {
    if (s >= end || s - lastChunk > kFrameSearchWindow) break;
    Subheader sub;
    // Sectors before the search's start were passed by the read before.
    const int video = IsMovieVideoSector(doc, host, s, sub, s >= start);
    if (video < 0) return false;
    if (video == 0) {
      s++;
      continue;
    }
    uint8_t data[kUserDataSize];
    VideoChunkHeader h;
    if (!plain) {
      if (!ReadChunkHeader(doc, s, h)) return false;
    } else {
      if (!doc.File.ReadAt(UserDataOffset(doc.Layout(), s), data, kUserDataSize)) return false;
      h = VideoChunkHeader::Parse(data);
    }
    const bool ours = h.FrameNumber == head.FrameNumber && h.ChunkCount == head.ChunkCount &&
                      h.ChunkNumber < count;
    if (!ours) {
      // The next frame begins (a later number, or a first chunk): this one
      // lacks chunks. Anything else (a header that is unreadable, a late
      // copy of a chunk of the frame before) is passed over.
      if (IsChunkHeader(h) && h.FrameNumber != head.FrameNumber &&
          (h.FrameNumber > head.FrameNumber || h.ChunkNumber == 0))
        break;
      s++;
      continue;
    }
    if (doc.HasSubheaders()) doc.VideoSubheaderTemplate = sub;
    if (!(present >> h.ChunkNumber & 1)) {
      if (plain)
        std::memcpy(doc.FrameBuffer.data() + h.ChunkNumber * kChunkPayloadSize,
                    data + kChunkHeaderSize, kChunkPayloadSize);
      doc.ChunkSectors[h.ChunkNumber] = s;
      present |= 1u << h.ChunkNumber;
      got++;
    }
    lastChunk = s;
    s++;
  }
  return true;
}

// Marks the frame whole or damaged from the chunks present; a damaged
// frame's missing chunks read as zeros. False on a read error.
bool FinishFrame(StrDocument& doc, uint32_t present) {
  const int count = doc.ChunkHeader.ChunkCount;
  doc.FrameDamaged = std::popcount(present) < count;
  doc.ChunksPresent = present;
  if (!doc.Format->PlainChunks()) {
    // A game frame's data is put together in its format's order once all
    // its chunks are known; a damaged one keeps none of it.
    std::fill(doc.FrameBuffer.begin(), doc.FrameBuffer.end(), uint8_t(0));
    if (!doc.FrameDamaged) {
      const int r = GatherGameFrame(doc, count);
      if (r < 0) return false;
      doc.FrameDamaged = r == 0;
    }
    // Its picture is concealed whole: no part of it is decoded alone.
    if (doc.FrameDamaged) doc.ChunksPresent = 0;
  }
  if (doc.FrameDamaged) {
    for (int j = 0; j < count; j++)
      if (!(present >> j & 1))
        std::memset(doc.FrameBuffer.data() + j * kChunkPayloadSize, 0, kChunkPayloadSize);
  } else {
    doc.ValidChunkSectors = count;
  }
  return true;
}

}  // namespace

// A chunk that is lost or whose header is unreadable leaves the frame
// damaged, and the walk goes on at the next frame's first chunk.
int ReadFrame(StrDocument& doc, Host& host) {
  const int32_t end = std::min(doc.SectorCount, doc.MovieEnd);
  const Movie* movie = doc.CurrentMovie();
  const int32_t start = std::max(doc.CurrentSector, doc.MovieStart);
  int32_t s = start;
  if (const int r = FindFrameHead(doc, host, movie, end, s); r != 0) return r;
  if (!BackToEarlyChunk(doc, movie, s)) return -1;
  doc.CurrentSector = s;
  doc.ValidChunkSectors = 0;
  const VideoChunkHeader head = doc.ChunkHeader;
  uint32_t present = 0;
  if (!GatherChunks(doc, host, head, start, end, s, present)) return -1;
  doc.ChunkHeader = head;
  doc.ChunkHeader.ChunkNumber = 0;
  if (!FinishFrame(doc, present)) return -1;
  doc.NextSector = s;
  doc.LayoutBaseSector = s;
  doc.GeneratedFrames = 0;
  return 0;
}

int ReadFrame(StrDocument& doc) {
  return ReadFrame(doc, *doc.Ui);
}

int WriteFrame(StrDocument& doc, Host& host) {
  if (RefuseIfReadOnly(doc, host)) return -1;
  if (doc.FrameDamaged) {
    Show(host, msg::kDamagedFrame, doc.Path.c_str(), int(doc.ChunkHeader.FrameNumber));
    return -1;
  }
  if (!doc.Format->PlainChunks()) return WriteGameFrame(doc, host);
  int count = doc.ChunkHeader.ChunkCount;
  if (count > doc.ValidChunkSectors || size_t(count) * kChunkPayloadSize > doc.FrameBuffer.size()) {
    Show(host, msg::kFrameTooLarge, count);
    return -1;
  }
  uint8_t data[kUserDataSize];
  for (int j = 0; j < count; j++) {
    doc.ChunkHeader.ChunkNumber = uint16_t(j);
    doc.ChunkHeader.Store(data);
    std::memcpy(data + kChunkHeaderSize, doc.FrameBuffer.data() + j * kChunkPayloadSize,
                kChunkPayloadSize);
    const int32_t n = doc.ChunkSectors[j];
    if (!StoreIntoSector(doc, host, n, UserDataOffset(doc.Layout(), n), data, kUserDataSize))
      return -1;
  }
  return 0;
}

int WriteFrame(StrDocument& doc) {
  return WriteFrame(doc, *doc.Ui);
}

}  // namespace belmora
