// Final Fantasy IX: 0x00080160 sectors, ten a frame, the first two holding
// SPU-ADPCM sound, the video in Form 2 sectors from the last chunk down.
// Some of its movies keep extra data after a frame's data, marked in the
// chunk header of the sector where the frame ends; that is not known well
// enough to move it: its pictures are read, never written.
#include "base/bytes.h"
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

constexpr uint32_t kSoundMagic = 0x00080160;  // sound sectors (and video, by some accounts)
constexpr uint32_t kVideoMagic = 0x00040160;

class Ff9 final : public MovieLayout {
 public:
  Ff9()
      : MovieLayout({.Id = "ff9",
                     .Name = "Final Fantasy IX",
                     .Sound = SoundCoding::kSpuAdpcm,
                     .SectorsPerFrame = 10,
                     .SoundSectorsPerFrame = 2,
                     .SoundCountedAsChunks = true,
                     .PayloadSize = 2292,
                     .VideoUserDataSize = 2324,
                     .ReverseChunks = true,
                     .PictureWritable = false,
                     .Decisive = true}) {}

  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    if (!layout::Has(user, 32)) return std::nullopt;
    const uint8_t* p = user.data();
    const uint32_t magic = GetU32(p);
    if (magic != kSoundMagic && magic != kVideoMagic) return std::nullopt;
    GameChunk c;
    c.ChunkNumber = GetU16(p + 4);
    c.ChunkCount = GetU16(p + 6);
    c.FrameNumber = GetU32(p + 8);
    if (c.ChunkCount != 10 || c.ChunkNumber >= 10) return std::nullopt;
    if (c.ChunkNumber < 2) {
      if (magic != kSoundMagic) return std::nullopt;
      c.IsSound = true;
      c.SoundChannel = c.ChunkNumber;
      return c;
    }
    if (GetU16(p + 22) != layout::kFrameMagic) return std::nullopt;
    c.DataSize = GetU32(p + 12) * 4;
    c.Width = GetU16(p + 16);
    c.Height = GetU16(p + 18);
    return c;
  }

  bool WriteChunk(const GameChunk& c, std::span<const uint8_t> frameHeader,
                  std::span<uint8_t> user) const override {
    if (!MovieLayout::WriteChunk(c, frameHeader, user)) return false;
    PutU32(user.data() + 12, c.DataSize / 4);
    return true;
  }

  std::optional<SoundPayload> SoundPayloadOf(std::span<const uint8_t> user) const override {
    const auto c = ReadChunk(user);
    if (!c || !c->IsSound) return std::nullopt;
    return layout::AkaoSound(user, 128, 208, Info().SoundRate);
  }

 protected:
  // Data without a frame header of its own takes the copy in the chunk
  // header in front of it.
  void CompleteFrame(std::span<const uint8_t> first, std::vector<uint8_t>& frame) const override {
    if (frame.size() >= 4 && GetU16(frame.data() + 2) != layout::kFrameMagic &&
        GetU16(first.data() + 22) == layout::kFrameMagic)
      frame.insert(frame.begin(), first.begin() + 20, first.begin() + 28);
  }
};

}  // namespace

const MovieLayout& Ff9Layout() {
  static const Ff9 layout;
  return layout;
}

}  // namespace belmora
