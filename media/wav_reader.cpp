#include "media/wav_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/messages.h"

namespace belmora {

namespace {

// Reads up to `size` bytes at `offset`: the count read, -1 on an error.
int64_t ReadSome(int fd, uint8_t* to, size_t size, int64_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, to + done, size - done, off_t(offset + int64_t(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

InputStatus Refused(const char* reason) {
  InputStatus s;
  s.Problem = InputStatus::kFormat;
  s.Reason = reason;
  return s;
}

InputStatus ReadError(int error) {
  InputStatus s;
  s.Problem = InputStatus::kSystem;
  s.Error = error ? error : EIO;
  return s;
}

// The samples of the data chunk at `at` (`frames` of them), read in pieces.
InputStatus ReadSamples(int fd, int64_t at, int64_t frames, WavData& out) {
  const size_t step = size_t(out.Bits / 8);
  const size_t count = size_t(frames) * size_t(out.Channels);
  try {
    out.Samples.resize(count);
  } catch (const std::bad_alloc&) {
    InputStatus s;
    s.Problem = InputStatus::kNoMemory;
    return s;
  }
  std::vector<uint8_t> piece(size_t(1) << 20);
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(count - done, piece.size() / step);
    if (ReadSome(fd, piece.data(), n * step, at + int64_t(done * step)) != int64_t(n * step))
      return ReadError(errno);
    for (size_t i = 0; i < n; i++)
      out.Samples[done + i] = out.Bits == 16 ? int16_t(GetU16(&piece[2 * i]))
                                             : int16_t((int(piece[i]) - 128) * 256);
    done += n;
  }
  return {};
}

}  // namespace

InputStatus ReadWavFile(const std::string& path, WavData& out, int64_t maxFrames) {
  InputStatus status;
  const int fd = OpenRegularFile(path, O_RDONLY, status);
  if (fd < 0) return status;
  struct stat st;
  if (::fstat(fd, &st) != 0) status = ReadError(errno);
  const int64_t size = int64_t(st.st_size);
  if (status.Ok() && size > kMaxWavBytes) {
    status.Problem = InputStatus::kTooLarge;
    status.Size = size;
    status.Limit = kMaxWavBytes;
  }
  uint8_t head[12];
  if (status.Ok() && (ReadSome(fd, head, sizeof head, 0) != 12 ||
                      std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0))
    status = Refused(msg::kNotWav);
  // The chunks, header by header; only the data chunk's samples are read.
  bool haveFormat = false;
  int64_t at = 12;
  while (status.Ok()) {
    uint8_t chunk[8 + 16];
    const int64_t got = ReadSome(fd, chunk, sizeof chunk, at);
    if (got < 8) {
      status = Refused(haveFormat ? msg::kFileEndsEarly : msg::kWavNotPcm);
      break;
    }
    const uint32_t length = GetU32(chunk + 4);
    const int64_t room = size - at - 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16 && got == int64_t(sizeof chunk)) {
      const uint8_t* body = chunk + 8;
      const int tag = GetU16(body);
      out.Channels = GetU16(body + 2);
      out.Rate = int(std::min<uint32_t>(GetU32(body + 4), INT32_MAX));
      out.Bits = GetU16(body + 14);
      // PCM, or the extensible format holding PCM.
      haveFormat = (tag == 1 || tag == 0xFFFE) && (out.Channels == 1 || out.Channels == 2) &&
                   (out.Bits == 8 || out.Bits == 16) && out.Rate > 0;
    } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
      const int64_t bytes = std::max<int64_t>(0, std::min<int64_t>(length, room));
      out.TotalFrames = bytes / (out.Bits / 8) / out.Channels;
      if (maxFrames < 0 || out.TotalFrames <= maxFrames)
        status = ReadSamples(fd, at + 8, out.TotalFrames, out);
      break;
    }
    // A chunk size near 4 GiB steps past the end: no loop without end.
    at += 8 + int64_t(length) + (length & 1);
  }
  ::close(fd);
  if (!status.Ok()) out.Samples.clear();
  return status;
}

}  // namespace belmora
