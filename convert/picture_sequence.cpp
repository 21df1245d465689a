#include "convert/picture_sequence.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/bytes.h"
#include "base/messages.h"
#include "mdec/codec.h"
#include "platform/image_sequence.h"

namespace belmora {

namespace {

uint32_t GetU32Be(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The picture's size from its header; false when it is no PNG or BMP.
bool HeaderSize(const std::string& file, int64_t& width, int64_t& height) {
  uint8_t h[26] = {};
  std::ifstream in(file, std::ios::binary);
  in.read(reinterpret_cast<char*>(h), sizeof h);
  if (in.gcount() < 26) return false;
  static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (std::memcmp(h, kPng, 8) == 0 && std::memcmp(h + 12, "IHDR", 4) == 0) {
    width = GetU32Be(h + 16);
    height = GetU32Be(h + 20);
    return true;
  }
  if (h[0] == 'B' && h[1] == 'M') {
    width = int32_t(GetU32(h + 18));
    height = std::llabs(int32_t(GetU32(h + 22)));
    return true;
  }
  return false;
}

// The highest number of the pattern's files in its folder (-1: none).
int LastNumber(const std::string& pattern) {
  namespace fs = std::filesystem;
  const fs::path p(pattern);
  const fs::path dir = p.parent_path().empty() ? fs::path(".") : p.parent_path();
  const std::string name = p.filename().string();
  const size_t percent = name.find('%');
  const size_t d = name.find('d', percent);
  if (percent == std::string::npos || d == std::string::npos) return -1;
  const std::string prefix = name.substr(0, percent), suffix = name.substr(d + 1);
  int last = -1;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const std::string f = e.path().filename().string();
    if (f.size() <= prefix.size() + suffix.size() || f.compare(0, prefix.size(), prefix) != 0 ||
        f.compare(f.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const std::string digits = f.substr(prefix.size(), f.size() - prefix.size() - suffix.size());
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(),
                                          [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    const int n = std::atoi(digits.c_str());
    // Only names the pattern itself gives (its width and zeros).
    if (fs::path(SequenceFile(pattern, n)).filename().string() == f) last = std::max(last, n);
  }
  return last;
}

}  // namespace

SequenceProblem CheckPictureSequence(const std::string& pattern, int maxDimension) {
  SequenceProblem problem;
  const auto range = FindSequence(pattern);
  if (!range) return problem;  // nothing there: the reader says so
  const int end = range->Start + range->Count;
  if (LastNumber(pattern) >= end) {
    // The next number is there, but is no regular file (a FIFO, a device),
    // or is missing.
    problem.File = SequenceFile(pattern, end);
    problem.Read = CheckRegularFile(problem.File);
    problem.What = problem.Read.Problem == InputStatus::kNotRegular ? SequenceProblem::kUnreadable
                                                                   : SequenceProblem::kMissing;
    return problem;
  }
  for (int n = range->Start; n < end; n++) {
    const std::string file = SequenceFile(pattern, n);
    std::error_code ec;
    const int64_t bytes = int64_t(std::filesystem::file_size(file, ec));
    if (!ec && bytes > kMaxPictureBytes) {
      problem.What = SequenceProblem::kUnreadable;
      problem.File = file;
      problem.Read.Problem = InputStatus::kTooLarge;
      problem.Read.Size = bytes;
      problem.Read.Limit = kMaxPictureBytes;
      return problem;
    }
    int64_t width = 0, height = 0;
    if (HeaderSize(file, width, height) && (width > maxDimension || height > maxDimension)) {
      problem.What = SequenceProblem::kTooLarge;
      problem.File = file;
      problem.Width = int(std::min<int64_t>(width, INT32_MAX));
      problem.Height = int(std::min<int64_t>(height, INT32_MAX));
      return problem;
    }
  }
  return problem;
}

bool RefuseBadSequence(Host& host, const std::string& path) {
  if (!IsSequencePattern(path)) return false;
  const SequenceProblem p = CheckPictureSequence(path, kMaxFrameDimension);
  switch (p.What) {
    case SequenceProblem::kNone:
      return false;
    case SequenceProblem::kMissing:
      Show(host, msg::kSequenceGap, p.File.c_str());
      return true;
    case SequenceProblem::kTooLarge:
      Show(host, msg::kPictureTooLarge, p.File.c_str(), p.Width, p.Height, kMaxFrameDimension,
           kMaxFrameDimension);
      return true;
    case SequenceProblem::kUnreadable:
      ShowInputProblem(host, p.File, p.Read);
      return true;
  }
  return true;
}

}  // namespace belmora
