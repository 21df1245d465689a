// The movie layouts by name, as the tests build and check them: a name for
// each layout class, and the layouts' functions called by name.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "str/layouts/movie_layout.h"

namespace belmora {

enum class GameFormat {
  kStandard,
  kVersion1,
  kFf7,
  kFf8,
  kFf9,
  kChronoCross,
  kLain,
  kIki,
  kLainStandard,  // Lain's bitstream in standard sectors
};
inline constexpr GameFormat kAllGameFormats[] = {
    GameFormat::kStandard, GameFormat::kVersion1, GameFormat::kFf7,
    GameFormat::kFf8,      GameFormat::kFf9,      GameFormat::kChronoCross,
    GameFormat::kLain,     GameFormat::kIki,      GameFormat::kLainStandard};

using GameFormatInfo = MovieLayout::Traits;

const MovieLayout& LayoutOf(GameFormat format);
// The name of a layout; nullopt for none of the above.
std::optional<GameFormat> FormatOf(const MovieLayout* layout);

inline const GameFormatInfo& InfoOf(GameFormat f) { return LayoutOf(f).Info(); }
inline std::optional<GameChunk> ReadGameChunk(GameFormat f, std::span<const uint8_t> user) {
  return LayoutOf(f).ReadChunk(user);
}
inline bool WriteGameChunk(GameFormat f, const GameChunk& c, std::span<const uint8_t> header,
                           std::span<uint8_t> user) {
  return LayoutOf(f).WriteChunk(c, header, user);
}
inline std::optional<GameFormat> RecogniseGameSector(std::span<const uint8_t> user) {
  return FormatOf(RecogniseSector(user));
}
// The layout the sectors name first; nullopt when they name none.
std::optional<GameFormat> DetectGameFormat(std::span<const std::span<const uint8_t>> sectors);
inline bool GatherFrame(GameFormat f, std::span<const std::span<const uint8_t>> sectors,
                        std::vector<uint8_t>& frame) {
  return LayoutOf(f).Gather(sectors, frame);
}
inline bool SpreadFrame(GameFormat f, std::span<const uint8_t> frame,
                        std::span<const std::span<uint8_t>> sectors) {
  return LayoutOf(f).Spread(frame, sectors);
}
inline int FrameCapacity(GameFormat f, int videoSectors) {
  return LayoutOf(f).Capacity(videoSectors);
}
inline std::optional<SoundPayload> SoundPayloadOf(GameFormat f, std::span<const uint8_t> user) {
  return LayoutOf(f).SoundPayloadOf(user);
}

}  // namespace belmora
