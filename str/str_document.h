// The open STR document and the operations that open it, find frames in it,
// and read and write a frame's chunks.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/messages.h"
#include "str/sector.h"
#include "str/cd_sector.h"
#include "str/layouts/movie_layout.h"
#include "str/journal.h"
#include "str/movies.h"
#include "str/sector_file.h"

namespace belmora {

// The slot through which the conversions see every audio sector ReadFrame
// passes. The callee gets the 2336-byte sector image (subheader, copy, data),
// may change it, and returns 1 to have it written back.
struct StrDocument;

class AudioSectorHook {
 public:
  using Function = std::function<int(uint8_t* sectorImage)>;
  void Install(Function f) { function_ = std::move(f); }
  void Remove() { function_ = nullptr; }
  explicit operator bool() const { return bool(function_); }
  int operator()(uint8_t* image) const { return function_(image); }

 private:
  Function function_;
};

// The document's audio hook slot for the length of one operation: the
// document's own slot, or one of this object's when the document has none.
// Emptied at the start and again, with the slot restored, at the end.
class ScopedAudioHook {
 public:
  explicit ScopedAudioHook(StrDocument& doc);
  ~ScopedAudioHook();
  ScopedAudioHook(const ScopedAudioHook&) = delete;
  ScopedAudioHook& operator=(const ScopedAudioHook&) = delete;
  void Install(AudioSectorHook::Function f);
  void Remove();

 private:
  StrDocument& doc_;
  AudioSectorHook* previous_;
  AudioSectorHook local_;
};

// The open file: where its sectors are, how they are laid out, what the
// scan at open found in them.
struct StrFileState {
  std::string Path;
  SectorFile File;
  int32_t DataOffset = 0;
  int32_t SectorCount = 0;
  int32_t SectorSize = 0;
  int32_t TrailingSectors = 0;
  int32_t SpeedFactor = 2;
  // The sound channels found (the chosen movie's first).
  std::array<int32_t, 32> AudioChannels{};
  std::array<int32_t, 32> AudioCodings{};
  int32_t AudioChannelCount = 0;
  // The file could only be opened for reading; nothing may be written.
  bool ReadOnly = false;
  // A write has failed (and was reported) since the current edit began.
  bool WriteFailed = false;
  // Sectors written get their sync, address, EDC and ECC (2352 and 2336
  // files); false leaves every byte outside the user data as it was.
  bool SealSectors = true;
  // The address of sector 0 of this file on its disc (a file cut from a
  // disc image keeps its addresses); new files start at 00:02:00.
  int32_t FirstAddress = kFirstDataAddress;
  // 2352-byte file with the 44-byte CDXA header (raw sector files have none).
  bool HasRiffHeader = false;
  // The movies found at open (none in a file without frames).
  std::vector<Movie> Movies;
  // How the file's sectors and frames read and write: the standard layout,
  // or the one of a game, recognised at open.
  const MovieLayout* Format = &StandardLayout();
  // The first frames decode in the layout's coding (false: none of them
  // did, with any layout the sectors allow; a probe said so at open).
  bool FramesDecode = true;
};

// The movie the frame reads walk, from 0 among the file's: video sectors of
// MovieChannel (-1: of any channel) from MovieStart up to, not including,
// MovieEnd (a file of one movie is walked whole), its frames and picture.
struct MovieSelection {
  int MovieIndex = 0;
  int32_t MovieChannel = -1;
  int32_t MovieStart = 0;
  int32_t MovieEnd = INT32_MAX;
  int32_t FirstFrameNumber = 0;
  int32_t LastFrameSector = 0;
  int32_t LastFrameNumber = 0;
  double FramesPerSecond = 0;
  int32_t PaddedWidth = 0;
  int32_t PaddedHeight = 0;
  int32_t MacroblockColumns = 0;
  int32_t MacroblockRows = 0;
  int32_t PictureWidth = 0;
  int32_t PictureHeight = 0;
};

// Where the walk stands: the frame last read with its chunks and where they
// lie, and what the next sectors written take (templates, layout state). A
// value of its own, so that a run can read ahead on a copy.
struct ReadCursor {
  int32_t CurrentSector = 0;
  int32_t NextSector = 0;
  VideoChunkHeader ChunkHeader;
  std::vector<uint8_t> FrameBuffer;  // empty when no file is open
  std::array<int32_t, kMaxChunks> ChunkSectors{};
  // How many ChunkSectors entries are valid; WriteFrame writes no more.
  int32_t ValidChunkSectors = 0;
  // The current frame lacks chunks (lost or unreadable sectors): bit j of
  // ChunksPresent is set for each chunk j read; the payloads of the others
  // are zero.
  bool FrameDamaged = false;
  uint32_t ChunksPresent = 0;
  Subheader VideoSubheaderTemplate;
  Subheader AudioSubheaderTemplate;
  int32_t AudioInterleave = 0;
  int32_t LastAudioSector = 0;
  int32_t LayoutBaseSector = 0;
  int32_t GeneratedFrames = 0;
};

// The open document: the file, the movie chosen in it and the read cursor,
// with the host its messages go to by default.
struct StrDocument : StrFileState, MovieSelection, ReadCursor {
  // Messages go to `host` unless an operation is given another; `hook` is
  // the application's audio sector slot (may be null where no conversion
  // ever runs).
  explicit StrDocument(Host& host, AudioSectorHook* hook = nullptr) : Ui(&host), Hook(hook) {}
  StrDocument(const StrDocument&) = delete;
  StrDocument& operator=(const StrDocument&) = delete;

  // Fixed for the document's life: an operation that must report elsewhere
  // (a frame read ahead on behalf of a queue) takes that host as an argument.
  Host* const Ui;
  AudioSectorHook* Hook;
  // Run when an edit (or a new file) is complete, just before it is made
  // final: what must be written with it (a report) is written here, and a
  // false return (reported) undoes the edit instead.
  std::function<bool()> BeforeCommit;

  bool IsOpen() const { return File.IsOpen(); }
  // The file on disk that holds the sectors: Path, or for a file inside a
  // disc image ("IMAGE.bin::/MOVIE/OPEN.STR") the image's data file.
  const std::string& DiskPath() const { return File.Restricted() ? File.Path() : Path; }
  SectorLayout Layout() const { return {SectorSize, DataOffset}; }
  bool HasSubheaders() const { return SectorSize > 2048; }
  // Sets the picture size and the sizes derived from it.
  void SetPictureSize(int width, int height);
  // The movie the reads walk; null in a file without frames.
  const Movie* CurrentMovie() const {
    return size_t(MovieIndex) < Movies.size() ? &Movies[size_t(MovieIndex)] : nullptr;
  }
  // Bytes of FrameBuffer that hold the frame's data as read: all of it, or
  // those before the first missing chunk of a damaged frame.
  size_t IntactBytes() const;
};

// Tells whether a frame's bytes decode in a coding: handed to the open by
// those who know the codecs, so that recognising a movie's layout asks its
// frames too, not only its sectors.
class FrameProbe {
 public:
  virtual ~FrameProbe() = default;
  virtual bool Decodes(FrameCoding coding, std::span<const uint8_t> frame, int width,
                       int height) = 0;
};

// How a file is opened: for editing (read-only where the file or medium
// allows no writing), for reading only, or for a trial that may edit but
// writes nothing to the file (its writes stay beside it until it is closed).
enum class OpenMode { kEdit, kReadOnly, kTrial };
inline OpenMode OpenModeFor(bool readOnly) { return readOnly ? OpenMode::kReadOnly : OpenMode::kEdit; }

// The operations that report take the host they report to; their forms
// without one report to the document's own host (doc.Ui).

// Opens a file of its own (not one inside a disc image) as doc.File, for
// writing unless `readOnly`; a read-only file or medium opens for reading.
// Sets Path and ReadOnly; false when the file cannot be opened.
[[nodiscard]] bool OpenWholeFile(StrDocument& doc, Host& host, const std::string& path,
                                 OpenMode mode);

// Opens for reading and writing, falling back to read-only where the file or
// medium allows no writing; `readOnly` asks for read-only from the start.
[[nodiscard]] int OpenStrFile(StrDocument& doc, Host& host, const std::string& path,
                              OpenMode mode, FrameProbe* probe = nullptr);
[[nodiscard]] int OpenStrFile(StrDocument& doc, Host& host, const std::string& path,
                              bool readOnly = false);
[[nodiscard]] int OpenStrFile(StrDocument& doc, const std::string& path, bool readOnly = false);
void CloseStrFile(StrDocument& doc);
// Makes movie `index` (from 0) the one the reads walk: its first and last
// frames, its frame rate and its sound channel (moved to AudioChannels[0]).
// The first movie is chosen by OpenStrFile. -1 when it has no whole frame.
[[nodiscard]] int SelectMovie(StrDocument& doc, Host& host, int index);
[[nodiscard]] int SelectMovie(StrDocument& doc, int index);
[[nodiscard]] int FindLastFrame(StrDocument& doc, Host& host);
[[nodiscard]] int FindLastFrame(StrDocument& doc);
[[nodiscard]] int FindFrameStart(StrDocument& doc, int32_t sector);
[[nodiscard]] int FindPreviousFrame(StrDocument& doc);
[[nodiscard]] int ReadFrame(StrDocument& doc, Host& host);
[[nodiscard]] int ReadFrame(StrDocument& doc);
[[nodiscard]] int WriteFrame(StrDocument& doc, Host& host);
[[nodiscard]] int WriteFrame(StrDocument& doc);

// The damaged frames of the chosen movie that begin from `first` to `last`
// (sectors).
std::vector<MovieFrame> DamagedFramesBetween(const StrDocument& doc, int32_t first, int32_t last);
// Whether movies of the file lie among each other's sectors (on different
// channels): a change of the file's layout would move the others.
bool HasInterleavedMovies(const StrDocument& doc);

// Reports, once, that a read-only document cannot be written; true when the
// caller must stop.
bool RefuseIfReadOnly(StrDocument& doc, Host& host);
bool RefuseIfReadOnly(StrDocument& doc);

// Writes bytes of the open file. A failure is reported with the file and the
// system's reason, and remembered in WriteFailed.
[[nodiscard]] bool StoreBytes(StrDocument& doc, Host& host, int64_t offset, const void* data,
                              size_t size);
[[nodiscard]] bool StoreBytes(StrDocument& doc, int64_t offset, const void* data, size_t size);

// Writes sector n anew from a 2336-byte image (subheader, copy, data): in
// the 2352 layout behind the sync and address header of its place on the
// disc, sealed with its EDC and ECC; in the 2048 layout only its user data.
[[nodiscard]] bool StoreNewSector(StrDocument& doc, Host& host, int32_t n, const uint8_t* image);
[[nodiscard]] bool StoreNewSector(StrDocument& doc, int32_t n, const uint8_t* image);
// Rewrites `size` bytes at `offset` inside stored sector n, then the
// sector's EDC and ECC (a zero Form 2 EDC stays zero).
[[nodiscard]] bool StoreIntoSector(StrDocument& doc, Host& host, int32_t n, int64_t offset,
                                   const uint8_t* data, size_t size);
[[nodiscard]] bool StoreIntoSector(StrDocument& doc, int32_t n, int64_t offset,
                                   const uint8_t* data, size_t size);

// One in-place edit of the open document. The original bytes of everything
// it overwrites (and the file's length) go to a rollback journal first;
// Commit makes the edit final. An edit that is not committed is rolled back
// when it ends: the file is exactly what it was, and the document is closed,
// as its records no longer describe it. Its messages go to `host` (the
// document's own when none is given).
class DocumentEdit {
 public:
  DocumentEdit(StrDocument& doc, Host& host);
  explicit DocumentEdit(StrDocument& doc);
  ~DocumentEdit();
  DocumentEdit(const DocumentEdit&) = delete;
  DocumentEdit& operator=(const DocumentEdit&) = delete;
  // False when the journal could not be made (reported): write nothing.
  bool Ok() const { return ok_; }
  // Runs the document's BeforeCommit (when it fails, rolls the edit back),
  // then syncs the file and deletes the journal; false (reported) on
  // failure, and the journal stays for a recovery.
  [[nodiscard]] bool Commit();
  // Puts the file back as it was and closes the document, saying which of
  // the two happened (rolled back, or not: the journal stays for a recovery).
  void RollBack();

 private:
  StrDocument& doc_;
  Host& host_;
  bool ok_ = false;
  bool done_ = false;
};

// Reports why an edit of `shown` (held on disk by `disk`) could not begin,
// from the errno SectorFile::BeginJournal left.
void ReportEditRefused(Host& host, const std::string& shown, const std::string& disk, int error);
// Reports (and returns true) when `disk` is being edited by another process
// or waits to be recovered: what it holds now is not what it will be.
bool RefusePendingEdit(Host& host, const std::string& shown, const std::string& disk);
// Reports a recovery that did not roll `shown` back; true when it did (or
// there was nothing to roll back).
bool ReportRecovery(Host& host, const std::string& shown, const std::string& disk,
                    RecoverResult result, const RecoverDetail& detail);

// `path` as a full path (as given when it cannot be expanded).
std::string FullPath(const std::string& path);

// Sector-level reads used by the scans: false on a short read. In a game's
// layout the chunk header is the one its own header gives, in the standard
// form (chunks counted among the frame's video sectors); a sector that is
// no video chunk of the format reads as a header no frame starts with.
[[nodiscard]] bool ReadSubheader(StrDocument& doc, int32_t sector, Subheader& out);
[[nodiscard]] bool ReadChunkHeader(StrDocument& doc, int32_t sector, VideoChunkHeader& out);

// Whether a sector with this subheader holds XA sound.
bool IsXaSound(const StrDocument& doc, const Subheader& sub);
// Whether the frame reads pass over a sector with this subheader (sound,
// filler, and in the standard layout every Form 2 sector).
bool SkipsSector(const StrDocument& doc, const Subheader& sub);
// Bytes of user data a sector of the document's format is read with.
size_t FormatUserBytes(const StrDocument& doc);
// The user data of sector n (FormatUserBytes of them); false on a short read.
[[nodiscard]] bool ReadUserData(StrDocument& doc, int32_t n, std::vector<uint8_t>& out);

}  // namespace belmora
