// The sound a file carries, whatever its coding: the XA ADPCM channels
// among its sectors (in movies as in files of sound only), or a game
// layout's own SPU-ADPCM sound beside a movie's frames. Listed, decoded to
// 16-bit PCM, saved as WAV, and decoded sector by sector beside a walk
// through the frames for playback. Each opens the file on its own,
// read-only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/status.h"

namespace belmora {

struct StrDocument;

inline constexpr int kLayoutSound = -1;

struct MovieSound {
  int Channel = kLayoutSound;  // the XA channel, or kLayoutSound: the layout's own
  int Rate = 0;                // Hz as stored
  int Channels = 0;            // 1 or 2
  double Seconds = 0;
};

// The sounds of the file at `path`: the layout's own sound of movie
// `movie` (from 0) first where it has one, then every XA channel of the
// file. kFailed (reported to `host`) when the file cannot be opened.
Result<std::vector<MovieSound>> ListMovieSounds(const std::string& path, int movie, Host& host);

// Whether the document's layout carries its sound in sectors of its own
// (SPU-ADPCM) rather than as XA channels.
bool HasLayoutSound(const StrDocument& doc);

// The layout's own sound of the open movie as its first sound sectors give
// its rate (stereo, as it is decoded; Seconds not counted). nullopt when the layout has none or it cannot be read.
std::optional<MovieSound> LayoutSoundOf(StrDocument& doc);

// `sound` of the file decoded as 16-bit PCM at `rate` Hz and `channels`
// channels (0: the sound's own). kFailed (reported) on a read error.
Result<std::vector<uint8_t>> DecodeMovieSound(const std::string& path, int movie,
                                              const MovieSound& sound, int rate, int channels,
                                              Host& host);

// `sound` as a 16-bit WAV file of its own rate and channels at `wavPath`,
// written under a temporary name and renamed when complete. kFailed
// (reported) on failure.
Status SaveMovieSound(const std::string& path, int movie, const MovieSound& sound,
                      const std::string& wavPath, Host& host);

// The sound of a movie decoded as a walk through its frames passes the
// sectors: 16-bit PCM at a rate and channel count of the caller's choice.
class MovieSoundStream {
 public:
  MovieSoundStream();
  ~MovieSoundStream();
  MovieSoundStream(const MovieSoundStream&) = delete;
  MovieSoundStream& operator=(const MovieSoundStream&) = delete;

  // Opens the file at `path` on its own (movie `movie`, from 0) for the
  // sound of XA channel `channel`, or for the layout's own (kLayoutSound),
  // from sector `first` on (a layout's sound sectors just in front of it
  // included: those of the frame that begins there). False when the file
  // cannot be opened or has no such sound. `bits` is 16 or 8 (unsigned).
  bool Open(const std::string& path, int movie, int channel, int32_t first, int rate,
            int channels, int bits = 16);
  // The same, read through the caller's open document (its chosen movie),
  // which must stay open while the stream is used.
  bool Attach(StrDocument& doc, int channel, int32_t first, int rate, int channels,
              int bits = 16);
  // Appends the sound of the sectors from where the stream stands up to,
  // not including, `sector`. False on a read error.
  bool DecodeUpTo(int32_t sector, std::vector<char>& out);
  // Sound sectors decoded so far.
  int Sectors() const;

 private:
  struct State;
  bool Start(int channel, int32_t first, int rate, int channels, int bits);
  std::unique_ptr<State> s_;
};

}  // namespace belmora
