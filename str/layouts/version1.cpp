// Standard sectors holding frames of MDEC version 1 (a version-2 bitstream
// whose header says 1, written back as 1).
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

class Version1 final : public MovieLayout {
 public:
  Version1()
      : MovieLayout({.Id = "v1", .Name = "STR (MDEC v1)", .Frames = FrameCoding::kVersion1}) {}
  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    return layout::ReadStandardLike(user, [](int v) { return v == 1; });
  }
  bool AcceptsFrame(std::span<const uint8_t> frame) const override {
    return !layout::SaysStandardVersion(frame);
  }
};

}  // namespace

const MovieLayout& Version1Layout() {
  static const Version1 layout;
  return layout;
}

}  // namespace belmora
