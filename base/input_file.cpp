#include "base/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "base/messages.h"

namespace belmora {

namespace {
InputStatus SystemProblem(int error) {
  InputStatus s;
  s.Problem = InputStatus::kSystem;
  s.Error = error ? error : EIO;
  return s;
}

InputStatus NotRegular() {
  InputStatus s;
  s.Problem = InputStatus::kNotRegular;
  s.Error = kNotRegularError;
  return s;
}
}  // namespace

InputStatus CheckRegularFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return SystemProblem(errno);
  return S_ISREG(st.st_mode) ? InputStatus{} : NotRegular();
}

int OpenRegularFile(const std::string& path, int flags, InputStatus& status) {
  // Looked at before it is opened: opening a device may do something, and
  // a FIFO's open waits for a writer.
  status = CheckRegularFile(path);
  if (!status.Ok()) {
    errno = status.Error;
    return -1;
  }
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  if (fd < 0) {
    status = SystemProblem(errno);
    return -1;
  }
  // What was opened is what was looked at (it may have been swapped since).
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = errno;
    ::close(fd);
    status = S_ISREG(st.st_mode) ? SystemProblem(e) : NotRegular();
    errno = status.Error;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

InputStatus ReadWholeFile(const std::string& path, int64_t limit, std::string& out) {
  out.clear();
  InputStatus status;
  const int fd = OpenRegularFile(path, O_RDONLY, status);
  if (fd < 0) return status;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    status = SystemProblem(errno);
  } else if (int64_t(st.st_size) > limit) {
    status.Problem = InputStatus::kTooLarge;
    status.Size = int64_t(st.st_size);
    status.Limit = limit;
  }
  if (!status.Ok()) {
    ::close(fd);
    return status;
  }
  try {
    out.reserve(size_t(st.st_size));
    // In pieces, and never past the limit: the file may grow meanwhile.
    constexpr size_t kPiece = 1 << 20;
    for (;;) {
      const size_t at = out.size();
      const size_t want = size_t(std::min<int64_t>(int64_t(kPiece), limit + 1 - int64_t(at)));
      if (want == 0) break;
      out.resize(at + want);
      const ssize_t n = ::read(fd, out.data() + at, want);
      if (n < 0 && errno == EINTR) {
        out.resize(at);
        continue;
      }
      if (n < 0) {
        status = SystemProblem(errno);
        break;
      }
      out.resize(at + size_t(n));
      if (n == 0) break;
    }
  } catch (const std::bad_alloc&) {
    status.Problem = InputStatus::kNoMemory;
  }
  ::close(fd);
  if (status.Ok() && int64_t(out.size()) > limit) {
    status.Problem = InputStatus::kTooLarge;
    status.Size = int64_t(out.size());
    status.Limit = limit;
  }
  if (!status.Ok()) std::string().swap(out);
  return status;
}

std::string ErrorText(int error) {
  return error == kNotRegularError ? std::string(Tr(msg::kNotRegularFile))
                                   : std::string(std::strerror(error));
}

std::string InputProblemText(const InputStatus& s) {
  switch (s.Problem) {
    case InputStatus::kOk:
      return "";
    case InputStatus::kSystem:
      return ErrorText(s.Error);
    case InputStatus::kNotRegular:
      return Tr(msg::kNotRegularFile);
    case InputStatus::kTooLarge:
      return FormatMessage(msg::kInputTooLarge, (long long)s.Size, (long long)s.Limit);
    case InputStatus::kFormat:
      return s.Reason ? Tr(s.Reason) : "";
    case InputStatus::kNoMemory:
      return Tr(msg::kOutOfMemoryReason);
  }
  return "";
}

void ShowInputProblem(Host& host, const std::string& path, const InputStatus& status) {
  Show(host, msg::kCannotRead, path.c_str(), InputProblemText(status).c_str());
}

}  // namespace belmora
