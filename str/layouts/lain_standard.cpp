// Lain's bitstream in standard sectors (as a muxer that knows only the
// standard chunk header lays it out): told from Final Fantasy VII's
// sectors only by its frames, which decode as Lain's.
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

class LainInStandardSectors final : public MovieLayout {
 public:
  LainInStandardSectors()
      : MovieLayout({.Id = "lain-standard",
                     .Name = "Serial Experiments Lain (standard sectors)",
                     .Frames = FrameCoding::kLain}) {}
  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    return layout::ReadLooseStandard(user);
  }
  bool AcceptsFrame(std::span<const uint8_t> frame) const override {
    return !layout::SaysStandardVersion(frame);
  }
};

}  // namespace

const MovieLayout& LainInStandardSectorsLayout() {
  static const LainInStandardSectors layout;
  return layout;
}

}  // namespace belmora
