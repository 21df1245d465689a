// The files commands read: only regular files (a FIFO, a device or a socket
// is refused before anything is read from it, and before an open that could
// wait for a writer), and whole-file reads bounded by what files of their
// kind need, made in pieces.
#pragma once

#include <cstdint>
#include <string>

#include "base/host.h"

namespace belmora {

// The largest file of each kind that is read whole (README, "Limits"):
// what the largest real files of the kind need, with room to spare.
// Subtitles: a film's SRT is about 100 KiB, a typeset ASS script with its
// fonts embedded a few MiB.
inline constexpr int64_t kMaxSubtitleBytes = int64_t(32) << 20;
// Cue sheets: 99 tracks with their indexes, titles and remarks take a few
// KiB.
inline constexpr int64_t kMaxCueSheetBytes = int64_t(1) << 20;
// Pictures (a BMP, one picture of a sequence): a 4096 x 4096 picture of 32
// bits, the largest a frame is made from, with its headers and palette.
inline constexpr int64_t kMaxPictureBytes = (int64_t(64) << 20) + 4096;
// WAV sound: the 80 minutes of a whole CD as 16-bit stereo at 48 kHz (a
// sound channel that fills a disc), with its headers.
inline constexpr int64_t kMaxWavBytes = int64_t(80) * 60 * 48000 * 4 + (int64_t(1) << 20);

// The errno a file that is not a regular file is refused with (no open or
// read gives it for a regular file).
inline constexpr int kNotRegularError = 0x7FFF;

// Why an input could not be read.
struct InputStatus {
  enum What { kOk, kSystem, kNotRegular, kTooLarge, kFormat, kNoMemory };
  What Problem = kOk;
  int Error = 0;                 // errno of kSystem
  int64_t Size = 0, Limit = 0;  // of kTooLarge
  const char* Reason = nullptr;  // catalogue text of kFormat
  bool Ok() const { return Problem == kOk; }
};

// Whether `path` (links followed) is a regular file: kNotRegular for a FIFO,
// a device, a socket or a folder, kSystem with errno when it cannot be
// looked at.
InputStatus CheckRegularFile(const std::string& path);
// Opens `path` with `flags` when it is a regular file, without blocking on
// what is not: the descriptor (close-on-exec), or -1 with `status` saying
// why (its errno kNotRegularError for a file that is not regular).
int OpenRegularFile(const std::string& path, int flags, InputStatus& status);
// Reads the whole of a regular file of at most `limit` bytes, in pieces.
InputStatus ReadWholeFile(const std::string& path, int64_t limit, std::string& out);

// The reason of a failed read, in the current language: the system's, or
// the program's own for a file that is not regular, too large, or not of
// its format.
std::string InputProblemText(const InputStatus& status);
// The reason for an errno, the program's own for kNotRegularError.
std::string ErrorText(int error);
// Shows "PATH cannot be read (REASON)".
void ShowInputProblem(Host& host, const std::string& path, const InputStatus& status);

}  // namespace belmora
