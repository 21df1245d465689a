// Final Fantasy VIII: "SM" sectors, ten a frame, the first two holding the
// left and right SPU-ADPCM sound, the pictures 320 x 224.
#include "base/bytes.h"
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

class Ff8 final : public MovieLayout {
 public:
  Ff8()
      : MovieLayout({.Id = "ff8",
                     .Name = "Final Fantasy VIII",
                     .Sound = SoundCoding::kSpuAdpcm,
                     .SoundRate = 44100,
                     .SectorsPerFrame = 10,
                     .SoundSectorsPerFrame = 2,
                     .SoundCountedAsChunks = true,
                     .PayloadOffset = 8,
                     .PayloadSize = 2040,
                     .FixedWidth = 320,
                     .FixedHeight = 224,
                     .Decisive = true}) {}

  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    if (!layout::Has(user, 8)) return std::nullopt;
    const uint8_t* p = user.data();
    if (p[0] != 'S' || p[1] != 'M' || p[3] != 1 || (p[5] != 9 && p[5] != 1) || p[4] > p[5])
      return std::nullopt;
    GameChunk c;
    c.ChunkNumber = p[4];
    c.ChunkCount = p[5] + 1;
    c.FrameNumber = GetU16(p + 6);
    switch (p[2]) {
      case 'J':
        c.Width = 320;
        c.Height = 224;
        return c;
      case 'N':
      case 'R':
        c.IsSound = true;
        c.SoundChannel = p[2] == 'R';
        return c;
      default:
        return std::nullopt;
    }
  }

  bool WriteChunk(const GameChunk& c, std::span<const uint8_t>,
                  std::span<uint8_t> user) const override {
    if (c.IsSound || !layout::Has(user, 8) || c.ChunkCount < 1 || c.ChunkCount > 256) return false;
    uint8_t* p = user.data();
    p[4] = uint8_t(c.ChunkNumber);
    p[5] = uint8_t(c.ChunkCount - 1);
    PutU16(p + 6, c.FrameNumber);
    return true;
  }

  std::optional<SoundPayload> SoundPayloadOf(std::span<const uint8_t> user) const override {
    const auto c = ReadChunk(user);
    if (!c || !c->IsSound) return std::nullopt;
    return layout::AkaoSound(user, 256, 368, Info().SoundRate);
  }
};

}  // namespace

const MovieLayout& Ff8Layout() {
  static const Ff8 layout;
  return layout;
}

}  // namespace belmora
