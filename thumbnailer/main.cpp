// belmora-thumbnailer: the picture a file manager shows for an STR movie, a
// PNG of a frame of its first second. Called as a freedesktop thumbnailer:
//   belmora-thumbnailer [-s SIZE] INPUT OUTPUT [SIZE]
// INPUT is a path or a file:// URI. Bounded whatever the input: files too
// large are refused, and the program ends after a second of time or at
// 100 MiB of memory, leaving no output.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/language.h"
#include "base/messages.h"
#include "base/version.h"
#include "convert/output_file.h"
#include "convert/thumbnail.h"
#include "thumbnailer/png.h"

namespace belmora::thumbnailer {
namespace {

constexpr rlim_t kMemoryLimit = rlim_t(100) << 20;
constexpr unsigned kSecondsLimit = 1;
constexpr int kDefaultSize = 256;

// Messages on stderr, in the environment's language.
class StderrHost : public Host {
 public:
  void ShowMessage(const std::string& text, const std::string&, MessageKind) override {
    std::fprintf(stderr, "belmora-thumbnailer: %s\n", text.c_str());
  }
  Answer Ask(const std::string&, const std::string&, Buttons buttons) override {
    return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kCancel;
  }
};

// The temporary output, removed when time runs out, and what is said then
// (made beforehand: a signal handler may not format).
char partPath[4096];
char outOfTime[512];
size_t outOfTimeLength = 0;

void OutOfTime(int) {
  if (partPath[0]) unlink(partPath);
  (void)!write(2, outOfTime, outOfTimeLength);
  _exit(1);
}

void Bound() {
  std::snprintf(outOfTime, sizeof outOfTime, "belmora-thumbnailer: %s\n",
                FormatMessage(msg::kThumbnailOutOfTime).c_str());
  outOfTimeLength = std::strlen(outOfTime);
#if !defined(__SANITIZE_ADDRESS__)  // whose shadow memory alone is larger
  const rlimit memory{kMemoryLimit, kMemoryLimit};
  setrlimit(RLIMIT_AS, &memory);
#endif
  const rlimit cpu{kSecondsLimit, kSecondsLimit + 1};
  setrlimit(RLIMIT_CPU, &cpu);
  signal(SIGALRM, OutOfTime);
  signal(SIGXCPU, OutOfTime);
  alarm(kSecondsLimit);
}

// A file:// URI's path (percent escapes decoded); anything else as given.
std::string PathOf(const std::string& input) {
  const std::string scheme = "file://";
  if (input.compare(0, scheme.size(), scheme) != 0) return input;
  std::string path;
  for (size_t i = scheme.size(); i < input.size(); i++) {
    if (input[i] == '%' && i + 2 < input.size()) {
      path += char(std::strtol(input.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      path += input[i];
    }
  }
  return path;
}

struct Arguments {
  std::string Input, Output;
  int Size = kDefaultSize;
};

bool ParseSize(const char* text, int& size) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end || v < 1 || v > kThumbnailMaxSize) return false;
  size = int(v);
  return true;
}

bool Parse(int argc, char** argv, Arguments& a) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-s") == 0 || std::strcmp(argv[i], "--size") == 0) {
      if (++i >= argc || !ParseSize(argv[i], a.Size)) return false;
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() == 3 && !ParseSize(positional[2].c_str(), a.Size)) return false;
  if (positional.size() != 2 && positional.size() != 3) return false;
  a.Input = PathOf(positional[0]);
  a.Output = positional[1];
  return true;
}

int Run(const Arguments& a) {
  StderrHost host;
  const Result<Thumbnail> thumbnail = MakeThumbnail(a.Input, a.Size, host);
  if (!thumbnail.Ok()) return 1;
  const std::vector<uint8_t> png = PngBytes(thumbnail->Rgb, thumbnail->Width, thumbnail->Height);
  PartFile part(a.Output);
  if (png.empty() || !part.Create(host)) return 1;
  std::snprintf(partPath, sizeof partPath, "%s", part.Part().c_str());
  std::FILE* f = std::fopen(part.Part().c_str(), "wb");
  const bool written = f && std::fwrite(png.data(), 1, png.size(), f) == png.size();
  if (!f || std::fclose(f) != 0 || !written) {
    Show(host, msg::kWriteError, a.Output.c_str(), std::strerror(errno));
    return 1;
  }
  const bool committed = part.Commit(host);
  partPath[0] = 0;
  return committed ? 0 : 1;
}

}  // namespace
}  // namespace belmora::thumbnailer

int main(int argc, char** argv) {
  using namespace belmora::thumbnailer;
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("belmora-thumbnailer %s\n", belmora::kVersion);
    return 0;
  }
  Arguments arguments;
  if (!Parse(argc, argv, arguments)) {
    std::fprintf(stderr, "usage: belmora-thumbnailer [-s SIZE] INPUT OUTPUT [SIZE]\n");
    return 2;
  }
  belmora::SetLanguage(belmora::LanguageFromEnvironment());
  Bound();
  try {
    return Run(arguments);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "belmora-thumbnailer: %s\n",
                 belmora::FormatMessage(belmora::msg::kNoMemory).c_str());
  }
  return 1;
}
