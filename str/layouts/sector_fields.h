// Pieces of sector headers several layouts share: the fields of 0x0160
// chunk headers, their plausibility, the standard header test and the
// "AKAO" sound header of Square's movies. For the layouts' own files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "str/layouts/movie_layout.h"

namespace belmora::layout {

inline constexpr uint32_t kMagic80010160 = 0x80010160;
inline constexpr uint16_t kFrameMagic = 0x3800;

inline bool Has(std::span<const uint8_t> user, size_t bytes) { return user.size() >= bytes; }

// The fields every 0x0160-style chunk header shares.
GameChunk ReadCommon(const uint8_t* p);
void WriteCommon(const GameChunk& c, uint8_t* p);
bool PlausibleChunk(const GameChunk& c);
bool PlausibleSize(const GameChunk& c);

// The standard header test, with the version words a layout takes.
std::optional<GameChunk> ReadStandardLike(std::span<const uint8_t> user, bool (*version)(int));
// A 0x80010160 header whose last word is zero, of a plausible chunk and
// picture size: what standard sectors of any game hold.
std::optional<GameChunk> ReadLooseStandard(std::span<const uint8_t> user);

// Whether the frame says at its start that it is a version 2 or 3 frame
// (a standard one, whatever its chunk headers hold).
bool SaysStandardVersion(std::span<const uint8_t> frame);

// The SPU-ADPCM units of a Square sound sector: its "AKAO" block at
// `akao`, the units from `data`; nullopt when they or the pitch are not
// what the movies play (pitch 0x1000 is 44.1 kHz; 4 to 48 kHz, anything
// else is damage).
std::optional<SoundPayload> AkaoSound(std::span<const uint8_t> user, int akao, int data,
                                      int defaultRate);

}  // namespace belmora::layout
