// Final Fantasy VII: standard-looking chunk headers whose bytes 20 to 27
// copy the frame's first eight (camera data in front of some frames),
// frames of version 1.
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

class Ff7 final : public MovieLayout {
 public:
  Ff7()
      : MovieLayout({.Id = "ff7", .Name = "Final Fantasy VII", .Frames = FrameCoding::kVersion1}) {}
  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    return layout::ReadLooseStandard(user);
  }
  // Its chunk headers are standard ones but for those bytes: a frame that
  // says at its start that it is of version 2 or 3 is a standard frame.
  bool AcceptsFrame(std::span<const uint8_t> frame) const override {
    return !layout::SaysStandardVersion(frame);
  }
  uint32_t SizeField(size_t length, int) const override { return uint32_t(length); }
};

}  // namespace

const MovieLayout& Ff7Layout() {
  static const Ff7 layout;
  return layout;
}

}  // namespace belmora
