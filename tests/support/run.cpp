#include "tests/support/run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/str_builder.h"

namespace belmora::test {

namespace {
std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}
std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}
}  // namespace

RunResult RunCommand(const std::vector<std::string>& command) {
  std::string out = TempPath("out.txt"), err = TempPath("err.txt");
  std::string line;
  for (const auto& a : command) line += Quote(a) + " ";
  line += ">" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
  // Run as std::system would, but waited for with wait4, which tells the
  // shell's resource use and (folded in) that of the command it ran.
  RunResult r;
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int raw = 0;
  rusage usage{};
  pid_t waited = -1;
  if (pid > 0) {
    do waited = wait4(pid, &raw, 0, &usage);
    while (waited < 0 && errno == EINTR);
  }
  if (waited == pid) {
    r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.PeakKib = usage.ru_maxrss;
  }
  r.Out = Slurp(out);
  r.Err = Slurp(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + Quote(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

}  // namespace belmora::test
