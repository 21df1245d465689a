// Command lines that run belmora-cli, for the tests that drive it as a user
// would. Header only: the program's path and the write-failing library come
// from the test target's compile definitions.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

namespace belmora::test {

inline std::vector<std::string> Cli(std::vector<std::string> args) {
  args.insert(args.begin(), BELMORA_CLI);
  return args;
}

// The command with writes to files failing after `bytes` bytes.
inline std::vector<std::string> FailingAfter(long bytes, std::vector<std::string> args) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::vector<std::string> c = {
      "env", std::string("LD_PRELOAD=") + BELMORA_FAIL_WRITES,
      "BELMORA_FAIL_AFTER=" + std::to_string(bytes),
      std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"};
  auto cli = Cli(std::move(args));
  c.insert(c.end(), cli.begin(), cli.end());
  return c;
}

}  // namespace belmora::test
