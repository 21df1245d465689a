#include "platform/media_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "base/messages.h"
#include "platform/image_sequence.h"
#include "platform/media_backend.h"

namespace belmora {

namespace {

struct ModuleState {
  std::once_flag once;
  std::mutex directoryLock;
  std::string directory;  // set by tests: the only place looked at
  const media::Module* module = nullptr;
  const Message* problem = nullptr;
  std::string problemDetail;
};

ModuleState& State() {
  static ModuleState state;
  return state;
}

std::filesystem::path ExecutableDirectory() {
  std::vector<char> path(4096);
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return {};
  return std::filesystem::path(std::string(path.data(), size_t(n))).parent_path();
}

// Next to the executable (or in the test's directory), then in the
// installed layout, the same relative to the executables of the build tree.
std::vector<std::filesystem::path> Candidates(const std::string& directory) {
  if (!directory.empty()) return {std::filesystem::path(directory) / BELMORA_MEDIA_MODULE};
  const std::filesystem::path exe = ExecutableDirectory();
  return {exe / BELMORA_MEDIA_MODULE,
          (exe / BELMORA_MEDIA_MODULE_DIR / BELMORA_MEDIA_MODULE).lexically_normal()};
}

void Load(ModuleState& s) {
  std::string directory;
  {
    std::lock_guard lock(s.directoryLock);
    directory = s.directory;
  }
  std::string looked;
  for (const auto& candidate : Candidates(directory)) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(candidate, ec)) {
      looked += (looked.empty() ? "" : ", ") + candidate.string();
      continue;
    }
    // Every symbol bound now: a library of another version fails here, with
    // the loader's reason, rather than in the middle of a conversion.
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* reason = dlerror();
      s.problem = &msg::kMediaModuleUnusable;
      s.problemDetail = reason ? reason : candidate.string();
      return;
    }
    using Entry = const media::Module* (*)(int);
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "BelmoraMediaModule"));
    s.module = entry ? entry(media::kModuleInterface) : nullptr;
    if (!s.module) {
      // Another build's module: the loaded libraries stay mapped, unused.
      s.problem = &msg::kMediaModuleUnusable;
      s.problemDetail = candidate.string();
    }
    return;
  }
  s.problem = &msg::kMediaModuleMissing;
  s.problemDetail = looked;
}

// A loading thread started early; joined at the latest when the program ends.
struct Preloader {
  std::once_flag once;
  std::thread thread;
  ~Preloader() {
    if (thread.joinable()) thread.join();
  }
};

}  // namespace

namespace media {

const Module* LoadModule() {
  ModuleState& s = State();
  std::call_once(s.once, [&s] { Load(s); });
  return s.module;
}

}  // namespace media

Status RequireMediaModule(Host& host) {
  if (media::LoadModule()) return Status::kOk;
  const ModuleState& s = State();
  Show(host, *s.problem, s.problemDetail.c_str());
  return Status::kFailed;
}

std::string MediaModuleProblem() {
  if (media::LoadModule()) return {};
  const ModuleState& s = State();
  return FormatMessage(*s.problem, s.problemDetail.c_str());
}

void StartLoadingMediaModule() {
  State();  // made first, so that it outlives the thread the preloader joins
  static Preloader preloader;
  std::call_once(preloader.once,
                 [] { preloader.thread = std::thread([] { (void)media::LoadModule(); }); });
}

void SetMediaModuleDirectory(const std::string& dir) {
  ModuleState& s = State();
  std::lock_guard lock(s.directoryLock);
  s.directory = dir;
}

bool WritePngFile(const std::string& path, const uint8_t* bgr, int width, int height,
                  size_t stride) {
  const media::Module* module = media::LoadModule();
  return module && module->WritePngFile(path, bgr, width, height, stride);
}

}  // namespace belmora
