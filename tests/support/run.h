// Runs a shell command and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace belmora::test {

struct RunResult {
  int Status = -1;  // exit status, -1 when it did not exit normally
  std::string Out;
  std::string Err;
  long PeakKib = -1;  // largest resident size of the command or its children
};

// Runs `command` through the shell; arguments are quoted here.
RunResult RunCommand(const std::vector<std::string>& command);
// True when `tool` is on the PATH.
bool HaveTool(const std::string& tool);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace belmora::test
