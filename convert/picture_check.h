// A look at a picture before it is encoded into a frame: a file that cannot
// be read as one is refused with the reader's reason, before anything of
// the movie is touched.
#pragma once

#include <string>

namespace belmora {

// Empty when the BMP file at `path` reads; otherwise why it does not (the
// system's reason when it cannot be opened at all, else the reader's).
std::string PictureProblem(const std::string& path);

}  // namespace belmora
