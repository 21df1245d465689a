#include "convert/picture_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/host.h"
#include "base/messages.h"
#include "media/bmp_io.h"

namespace belmora {

std::string PictureProblem(const std::string& path) {
  if (std::FILE* f = std::fopen(path.c_str(), "rb"))
    std::fclose(f);
  else
    return std::strerror(errno);
  CollectingHost quiet;
  TBmpIo picture;
  if (picture.ReadBmp(path, quiet) == 0) return {};
  return quiet.texts.empty() ? FormatMessage(msg::kBmpReadError) : quiet.texts.front();
}

}  // namespace belmora
