// .iki movies: standard-looking chunk headers whose bytes 24 to 27 repeat
// the picture size, frames whose blocks each carry a scale (their header
// holds the picture size where a standard one has its scale and version).
#include "base/bytes.h"
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

class Iki final : public MovieLayout {
 public:
  Iki() : MovieLayout({.Id = "iki", .Name = "iki", .Frames = FrameCoding::kIki}) {}

  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    if (!layout::Has(user, 32)) return std::nullopt;
    const uint8_t* p = user.data();
    if (GetU32(p) != layout::kMagic80010160 || GetU16(p + 22) != layout::kFrameMagic ||
        GetU32(p + 28) != 0 || GetU16(p + 24) != GetU16(p + 16) || GetU16(p + 26) != GetU16(p + 18))
      return std::nullopt;
    GameChunk c = layout::ReadCommon(p);
    if (!layout::PlausibleChunk(c) || !layout::PlausibleSize(c)) return std::nullopt;
    return c;
  }

  // Its frames have no version or scale: their header holds the picture
  // size there.
  VideoChunkHeader ChunkHeader(std::span<const uint8_t> user) const override {
    VideoChunkHeader h = MovieLayout::ChunkHeader(user);
    h.MdecHeader[6] = h.MdecHeader[7] = 0;
    return h;
  }
  void TakeFrameHeader(std::span<const uint8_t> frame, VideoChunkHeader& h) const override {
    MovieLayout::TakeFrameHeader(frame, h);
    h.MdecHeader[6] = h.MdecHeader[7] = 0;
  }
};

}  // namespace

const MovieLayout& IkiLayout() {
  static const Iki layout;
  return layout;
}

}  // namespace belmora
