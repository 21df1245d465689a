#include "tests/support/game_layouts.h"

#include <algorithm>

namespace belmora {

namespace {
const char* IdOf(GameFormat f) {
  switch (f) {
    case GameFormat::kStandard: return "standard";
    case GameFormat::kVersion1: return "v1";
    case GameFormat::kFf7: return "ff7";
    case GameFormat::kFf8: return "ff8";
    case GameFormat::kFf9: return "ff9";
    case GameFormat::kChronoCross: return "chrono-cross";
    case GameFormat::kLain: return "lain";
    case GameFormat::kIki: return "iki";
    case GameFormat::kLainStandard: return "lain-standard";
  }
  return "standard";
}
}  // namespace

const MovieLayout& LayoutOf(GameFormat format) {
  return *LayoutById(IdOf(format));
}

std::optional<GameFormat> FormatOf(const MovieLayout* layout) {
  for (GameFormat f : kAllGameFormats)
    if (layout == &LayoutOf(f)) return f;
  return std::nullopt;
}

std::optional<GameFormat> DetectGameFormat(std::span<const std::span<const uint8_t>> sectors) {
  const auto candidates = CandidateLayouts(sectors);
  const MovieLayout* first = candidates.front();
  if (std::none_of(sectors.begin(), sectors.end(), [&](auto u) { return first->Names(u); }))
    return std::nullopt;
  return FormatOf(first);
}

}  // namespace belmora
