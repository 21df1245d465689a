// Serial Experiments Lain: its own chunk headers (a two-byte frame number,
// a size counting every byte the chunks hold) and its own bitstream.
#include "base/bytes.h"
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

class Lain final : public MovieLayout {
 public:
  Lain()
      : MovieLayout({.Id = "lain", .Name = "Serial Experiments Lain", .Frames = FrameCoding::kLain}) {}

  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    if (!layout::Has(user, 32)) return std::nullopt;
    const uint8_t* p = user.data();
    if (GetU32(p) != layout::kMagic80010160 || GetU16(p + 26) != 0 || GetU32(p + 28) != 0)
      return std::nullopt;
    GameChunk c = layout::ReadCommon(p);
    c.FrameNumber = GetU16(p + 8);
    if (!layout::PlausibleChunk(c) || c.DataSize != uint32_t(c.ChunkCount) * Info().PayloadSize)
      return std::nullopt;
    return c;
  }

  bool WriteChunk(const GameChunk& c, std::span<const uint8_t> frameHeader,
                  std::span<uint8_t> user) const override {
    if (c.IsSound || !layout::Has(user, 32)) return false;
    uint8_t* p = user.data();
    // The frame number takes two bytes; the two after it stay as they are.
    const uint8_t kept[2] = {p[10], p[11]};
    if (!MovieLayout::WriteChunk(c, frameHeader, user)) return false;
    p[10] = kept[0];
    p[11] = kept[1];
    PutU16(p + 8, c.FrameNumber);
    return true;
  }

  uint32_t SizeField(size_t, int videoSectors) const override {
    return uint32_t(videoSectors) * uint32_t(Info().PayloadSize);
  }
};

}  // namespace

const MovieLayout& LainLayout() {
  static const Lain layout;
  return layout;
}

}  // namespace belmora
