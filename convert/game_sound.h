// The SPU-ADPCM sound of a game movie: the left and right sound sectors its
// frames carry, decoded in file order into one stereo track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/host.h"

#include "str/str_document.h"

namespace belmora {

struct GameSoundTrack {
  std::vector<int16_t> Samples;  // left and right interleaved
  int Rate = 0;                  // Hz; 0 when the movie has no such sound
  int Sectors = 0;               // sound sectors decoded
};

// Whether the document's format carries its sound in sectors of its own.
bool HasGameSound(const StrDocument& doc);

// Decodes the chosen movie's sound sectors; false on a read error.
[[nodiscard]] bool DecodeGameSoundTrack(StrDocument& doc, GameSoundTrack& track);

// Re-encodes the chosen movie's sound sectors in place, in the format's own
// coding, from the WAV file at `wavPath`, under a rollback journal. The WAV
// must have the track's rate (one channel goes to both sides) and its
// length within one sector's worth of the track's (the rest is silence or
// left out); everything in the sectors but the sound units' bytes stays.
// False (reported) otherwise or on failure.
bool ImportGameSound(StrDocument& doc, const std::string& wavPath, Host& host);

}  // namespace belmora
