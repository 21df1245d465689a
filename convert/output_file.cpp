#include "convert/output_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/messages.h"

namespace belmora {

namespace fs = std::filesystem;

namespace {
// The same file: one inode (through symbolic or hard links), or one path
// once resolved.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  const fs::path ca = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path cb = fs::weakly_canonical(b, ec);
  return !ec && ca == cb;
}
}  // namespace

bool CheckOutputPath(Host& host, const std::string& out, const std::vector<std::string>& inputs,
                     bool overwrite, const Message& sameMessage) {
  std::error_code ec;
  if (out.empty() || fs::is_directory(out, ec)) {
    Show(host, msg::kOutputIsDirectory, out.c_str());
    return false;
  }
  for (const std::string& in : inputs) {
    if (SameFile(out, in)) {
      Show(host, sameMessage, out.c_str());
      return false;
    }
  }
  if (!overwrite && fs::exists(fs::symlink_status(out, ec))) {
    Show(host, msg::kOutputExists, out.c_str());
    return false;
  }
  return true;
}

PartFile::PartFile(std::string path) : path_(std::move(path)), part_(path_ + ".part") {}

PartFile::~PartFile() {
  if (committed_) return;
  std::error_code ec;
  fs::remove(part_, ec);
}

bool PartFile::Commit(Host& host) {
  std::error_code ec;
  fs::rename(part_, path_, ec);
  if (ec) {
    Show(host, msg::kWriteError, path_.c_str(), ec.message().c_str());
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace belmora
