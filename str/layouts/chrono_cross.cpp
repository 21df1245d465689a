// Chrono Cross and Legend of Mana: standard video sectors (0x81010160 on
// Chrono Cross's second disc) and Square's SPU-ADPCM sound sectors, which
// alone tell the layout apart.
#include <cstring>

#include "base/bytes.h"
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

constexpr uint32_t kSecondDiscMagic = 0x81010160;

class ChronoCross final : public MovieLayout {
 public:
  ChronoCross()
      : MovieLayout({.Id = "chrono-cross",
                     .Name = "Chrono Cross / Legend of Mana",
                     .Sound = SoundCoding::kSpuAdpcm,
                     .SoundRate = 44100,
                     .SectorsPerFrame = 10,
                     .SoundSectorsPerFrame = 2,
                     .Decisive = true}) {}

  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    if (!layout::Has(user, 32)) return std::nullopt;
    const uint8_t* p = user.data();
    const uint32_t magic = GetU32(p);
    if (magic == 0x00000160 || magic == 0x00010160 || magic == 0x01000160 ||
        magic == 0x01010160) {
      if (GetU16(p + 6) != 2 || GetU16(p + 4) >= 2 || !layout::Has(user, 132) ||
          std::memcmp(p + 128, "AKAO", 4) != 0)
        return std::nullopt;
      GameChunk c;
      c.IsSound = true;
      c.ChunkNumber = GetU16(p + 4);
      c.SoundChannel = c.ChunkNumber;
      c.ChunkCount = 2;
      c.FrameNumber = GetU16(p + 8);
      return c;
    }
    if ((magic != layout::kMagic80010160 && magic != kSecondDiscMagic) ||
        GetU16(p + 22) != layout::kFrameMagic)
      return std::nullopt;
    GameChunk c = layout::ReadCommon(p);
    if (!layout::PlausibleChunk(c)) return std::nullopt;
    return c;
  }

  // Its video sectors are standard ones: only its sound sectors (and those
  // of the second disc) speak for it.
  bool Names(std::span<const uint8_t> user) const override {
    const auto c = ReadChunk(user);
    return c && (c->IsSound || GetU32(user.data()) == kSecondDiscMagic);
  }

  std::optional<SoundPayload> SoundPayloadOf(std::span<const uint8_t> user) const override {
    const auto c = ReadChunk(user);
    if (!c || !c->IsSound) return std::nullopt;
    return layout::AkaoSound(user, 128, 208, Info().SoundRate);
  }
};

}  // namespace

const MovieLayout& ChronoCrossLayout() {
  static const ChronoCross layout;
  return layout;
}

}  // namespace belmora
