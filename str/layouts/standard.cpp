// The standard STR layout: 0x0160 / 0x8001 chunk headers copying the
// frame's header, frames of MDEC version 2 or 3, XA sound.
#include "base/bytes.h"
#include "str/layouts/sector_fields.h"

namespace belmora {
namespace {

class Standard final : public MovieLayout {
 public:
  Standard()
      : MovieLayout({.Id = "standard", .Name = "STR (MDEC v2/v3)", .LaysOutAnew = true}) {}
  std::optional<GameChunk> ReadChunk(std::span<const uint8_t> user) const override {
    return layout::ReadStandardLike(user, [](int v) { return v == 2 || v == 3; });
  }
  bool IsXaSound(const Subheader& sub) const override { return IsAudioSector(sub); }
  bool SkipsSector(const Subheader& sub) const override { return IsSkippedSector(sub); }
  size_t HeaderBytes() const override { return kChunkHeaderSize; }
  // Read as it stands: the frame reads judge it.
  VideoChunkHeader ChunkHeader(std::span<const uint8_t> user) const override {
    return user.size() >= kChunkHeaderSize ? VideoChunkHeader::Parse(user.data())
                                           : VideoChunkHeader{};
  }
  bool PlainChunks() const override { return true; }
  // The version the conversion chose (2 or 3).
  int VersionFor(const VideoChunkHeader& prepared, std::span<const uint8_t>) const override {
    return GetU16(&prepared.MdecHeader[6]);
  }
};

}  // namespace

const MovieLayout& StandardLayout() {
  static const Standard layout;
  return layout;
}

}  // namespace belmora
