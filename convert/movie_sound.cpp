#include "convert/movie_sound.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "base/messages.h"
#include "convert/frame_codec.h"
#include "convert/game_movie.h"
#include "convert/game_sound.h"
#include "convert/output_file.h"
#include "convert/xa_channels.h"
#include "media/wav_writer.h"
#include "str/str_document.h"
#include "xa/xa_codec.h"

namespace belmora {

namespace {

// Opens `path` read-only: as an STR file (movie `movie` chosen), else as
// plain sectors (a file of sound only). False (reported) when neither works.
bool OpenForSound(StrDocument& doc, const std::string& path, int movie, Host& host) {
  CollectingHost quiet;
  if (OpenMovieFile(doc, quiet, path, OpenMode::kReadOnly) == 0) {
    if (movie <= 0 || SelectMovie(doc, quiet, movie) == 0) return true;
    CloseStrFile(doc);
  }
  if (OpenSectorFile(doc, path, true) == 0) return true;
  Show(host, msg::kCannotOpenStr);
  return false;
}

// Stereo 16-bit sample pairs taken at one rate and given at another, with
// one or two channels: linear interpolation, the position carried from one
// piece to the next.
class PairResampler {
 public:
  PairResampler(int inRate, int outRate, int outChannels, int outBits = 16)
      : same_(inRate == outRate),
        step_(double(inRate) / std::max(outRate, 1)),
        channels_(outChannels),
        bits_(outBits) {}

  // Appends the sound of `pairs` (left and right interleaved) to `out`.
  void Put(const std::vector<int16_t>& pairs, std::vector<uint8_t>& out) {
    if (same_) {
      // At its own rate the sound passes as it is.
      for (size_t i = 0; i + 1 < pairs.size(); i += 2) Out(pairs[i], pairs[i + 1], out);
      return;
    }
    pending_.insert(pending_.end(), pairs.begin(), pairs.end());
    const size_t frames = pending_.size() / 2;
    while (position_ + 1 < double(frames)) {
      const size_t i = size_t(position_);
      const double f = position_ - double(i);
      int v[2];
      for (int c = 0; c < 2; c++)
        v[c] = int(std::lround(pending_[2 * i + c] * (1 - f) + pending_[2 * i + 2 + c] * f));
      Out(v[0], v[1], out);
      position_ += step_;
    }
    // Keep the pair the next position starts from.
    const size_t used = std::min(size_t(position_), frames);
    pending_.erase(pending_.begin(), pending_.begin() + ptrdiff_t(used * 2));
    position_ -= double(used);
  }

 private:
  void Out(int left, int right, std::vector<uint8_t>& out) const {
    const int v[2] = {channels_ == 1 ? (left + right) / 2 : left, right};
    for (int c = 0; c < channels_; c++) {
      if (bits_ == 8) {
        out.push_back(uint8_t((v[c] >> 8) + 128));  // unsigned 8-bit
        continue;
      }
      out.push_back(uint8_t(v[c] & 0xFF));
      out.push_back(uint8_t((v[c] >> 8) & 0xFF));
    }
  }

  bool same_;
  double step_;
  int channels_;
  int bits_;
  double position_ = 0;
  std::vector<int16_t> pending_;
};

const XaChannelInfo* FindChannel(const XaFileInfo& info, int channel) {
  for (const XaChannelInfo& c : info.Channels)
    if (c.Channel == channel) return &c;
  return nullptr;
}

// The layout's sound of the chosen movie; its Rate is 0 when it has none.
Result<GameSoundTrack> LayoutTrack(StrDocument& doc, Host& host) {
  GameSoundTrack track;
  if (!DecodeGameSoundTrack(doc, track)) {
    Show(host, msg::kStrReadError);
    return Status::kFailed;
  }
  return track;
}

// The rate of the layout's own sound of the open movie, from its first
// sound sectors, and whether it has a right side; 0 when it has none.
int LayoutSoundStart(StrDocument& doc, bool& right) {
  right = false;
  if (!HasGameSound(doc)) return 0;
  int rate = 0;
  std::vector<uint8_t> user;
  const int32_t end = std::min({doc.SectorCount, doc.MovieEnd, doc.MovieStart + 64});
  for (int32_t n = std::max(doc.MovieStart, 0); n < end; n++) {
    if (!ReadUserData(doc, n, user)) return 0;
    const auto chunk = doc.Format->ReadChunk(user);
    if (!chunk || !chunk->IsSound) continue;
    right |= (chunk->SoundChannel & 1) != 0;
    SpuAdpcmHistory history;
    std::vector<int16_t> samples;
    if (rate == 0) rate = DecodeGameSound(*doc.Format, user, history, samples);
  }
  return rate;
}

}  // namespace

bool HasLayoutSound(const StrDocument& doc) {
  return HasGameSound(doc);
}

std::optional<MovieSound> LayoutSoundOf(StrDocument& doc) {
  bool right = false;
  const int rate = LayoutSoundStart(doc, right);
  if (rate == 0) return std::nullopt;
  return MovieSound{kLayoutSound, rate, 2, 0};
}

Result<std::vector<MovieSound>> ListMovieSounds(const std::string& path, int movie, Host& host) {
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (!OpenForSound(doc, path, movie, host)) return Status::kFailed;
  std::vector<MovieSound> sounds;
  // A layout's own sound sectors are no XA channels.
  if (HasLayoutSound(doc)) {
    const Result<GameSoundTrack> track = LayoutTrack(doc, host);
    if (!track.Ok()) return track.status();
    if (track->Rate > 0)
      sounds.push_back({kLayoutSound, track->Rate, 2,
                        double(track->Samples.size() / 2) / double(track->Rate)});
    return sounds;
  }
  for (const XaChannelInfo& c : ScanXaChannels(doc).Channels)
    sounds.push_back({c.Channel, c.Rate(), c.ChannelCount(), c.Seconds()});
  return sounds;
}

Result<std::vector<uint8_t>> DecodeMovieSound(const std::string& path, int movie,
                                              const MovieSound& sound, int rate, int channels,
                                              Host& host) {
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (!OpenForSound(doc, path, movie, host)) return Status::kFailed;
  rate = rate > 0 ? rate : sound.Rate;
  channels = channels > 0 ? channels : sound.Channels;
  if (sound.Channel == kLayoutSound) {
    const Result<GameSoundTrack> track = LayoutTrack(doc, host);
    if (!track.Ok()) return track.status();
    if (track->Rate == 0) {
      Show(host, msg::kNoAudio);
      return Status::kFailed;
    }
    std::vector<uint8_t> pcm;
    PairResampler(track->Rate, rate, channels).Put(track->Samples, pcm);
    return pcm;
  }
  const XaFileInfo info = ScanXaChannels(doc);
  const XaChannelInfo* channel = FindChannel(info, sound.Channel);
  if (!channel) {
    Show(host, msg::kNoSuchChannel, sound.Channel);
    return Status::kFailed;
  }
  return DecodeXaChannel(doc, *channel, {rate, channels, 16}, host);
}

Status SaveMovieSound(const std::string& path, int movie, const MovieSound& sound,
                      const std::string& wavPath, Host& host) {
  const Result<std::vector<uint8_t>> pcm = DecodeMovieSound(path, movie, sound, 0, 0, host);
  if (!pcm.Ok()) return pcm.status();
  PartFile part(wavPath);
  if (!part.Create(host)) return Status::kFailed;
  if (!WriteWavFile(part.Part(), sound.Rate, sound.Channels, 16, *pcm)) {
    Show(host, msg::kWriteError, wavPath.c_str(), std::strerror(errno));
    return Status::kFailed;
  }
  return part.Commit(host) ? Status::kOk : Status::kFailed;
}

// --- the stream ---

struct MovieSoundStream::State {
  CollectingHost quiet;
  StrDocument doc{quiet};
  StrDocument* d = &doc;  // the file read: its own, or the caller's
  int channel = kLayoutSound;
  int sectors = 0;  // sound sectors decoded
  int32_t at = 0;
  int32_t end = 0;
  // XA: the decoder sets rate and channels itself.
  XaDecoderState xa;
  std::vector<uint8_t> xaOut;
  // The layout's sound: each side's samples until both have them.
  const MovieLayout* format = nullptr;
  SpuAdpcmHistory history[2];
  std::vector<int16_t> side[2];
  bool stereo = true;
  std::unique_ptr<PairResampler> resampler;
  std::vector<uint8_t> user;

  bool DecodeXa(int32_t n, std::vector<char>& out);
  bool DecodeLayout(int32_t n, std::vector<char>& out);
  void Emit(std::vector<char>& out);
};

MovieSoundStream::MovieSoundStream() = default;
MovieSoundStream::~MovieSoundStream() = default;

bool MovieSoundStream::Open(const std::string& path, int movie, int channel, int32_t first,
                            int rate, int channels, int bits) {
  s_ = std::make_unique<State>();
  if (!OpenForSound(s_->doc, path, movie, s_->quiet)) return false;
  return Start(channel, first, rate, channels, bits);
}

bool MovieSoundStream::Attach(StrDocument& doc, int channel, int32_t first, int rate,
                              int channels, int bits) {
  s_ = std::make_unique<State>();
  s_->d = &doc;
  return Start(channel, first, rate, channels, bits);
}

bool MovieSoundStream::Start(int channel, int32_t first, int rate, int channels, int bits) {
  State& s = *s_;
  StrDocument& doc = *s.d;
  s.channel = channel;
  s.at = std::max(first, doc.MovieStart);
  s.end = std::min(doc.SectorCount, doc.MovieEnd);
  if (channel != kLayoutSound) {
    XaSetOutputFormat(s.xa, rate, channels, bits);
    s.xaOut.resize(XaMaxOutputBytes(s.xa));
    return doc.HasSubheaders();
  }
  // A movie without a right side plays its left one on both.
  const int soundRate = LayoutSoundStart(doc, s.stereo);
  if (soundRate == 0) return false;
  s.format = doc.Format;
  // A frame's own sound sectors lie in front of its first video sector:
  // from a frame on, its sound too.
  while (s.at > doc.MovieStart) {
    if (!ReadUserData(doc, s.at - 1, s.user)) return false;
    const auto chunk = s.format->ReadChunk(s.user);
    if (!chunk || !chunk->IsSound) break;
    s.at--;
  }
  s.resampler = std::make_unique<PairResampler>(soundRate, rate, channels, bits);
  return true;
}

bool MovieSoundStream::DecodeUpTo(int32_t sector, std::vector<char>& out) {
  if (!s_) return false;
  State& s = *s_;
  for (; s.at < std::min(sector, s.end); s.at++)
    if (!(s.channel == kLayoutSound ? s.DecodeLayout(s.at, out) : s.DecodeXa(s.at, out)))
      return false;
  return true;
}

int MovieSoundStream::Sectors() const {
  return s_ ? s_->sectors : 0;
}

bool MovieSoundStream::State::DecodeXa(int32_t n, std::vector<char>& out) {
  Subheader sub;
  if (!ReadSubheader(*d, n, sub)) return false;
  if (!IsAudioSector(sub) || sub.Channel != channel) return true;
  uint8_t image[kSectorImageSize];
  if (!d->File.ReadAt(SectorImageOffset(d->Layout(), n) + 8, image + 8, kXaDataSize))
    return false;
  sectors++;
  sub.Store(image);
  sub.Store(image + 4);
  int32_t bytes = 0;
  XaDecodeSector(xa, image, xaOut.data(), bytes);
  out.insert(out.end(), xaOut.begin(), xaOut.begin() + bytes);
  return true;
}

bool MovieSoundStream::State::DecodeLayout(int32_t n, std::vector<char>& out) {
  if (!ReadUserData(*d, n, user)) return false;
  const auto chunk = format->ReadChunk(user);
  if (!chunk || !chunk->IsSound) return true;
  const int c = stereo ? chunk->SoundChannel & 1 : 0;
  if (DecodeGameSound(*format, user, history[c], side[c]) != 0) sectors++;
  Emit(out);
  return true;
}

void MovieSoundStream::State::Emit(std::vector<char>& out) {
  // The pairs both sides have (the left one twice for a movie without a
  // right side).
  const std::vector<int16_t>& right = stereo ? side[1] : side[0];
  const size_t n = std::min(side[0].size(), right.size());
  if (n == 0) return;
  std::vector<int16_t> pairs(n * 2);
  for (size_t i = 0; i < n; i++) {
    pairs[2 * i] = side[0][i];
    pairs[2 * i + 1] = right[i];
  }
  side[0].erase(side[0].begin(), side[0].begin() + ptrdiff_t(n));
  if (stereo) side[1].erase(side[1].begin(), side[1].begin() + ptrdiff_t(n));
  std::vector<uint8_t> pcm;
  resampler->Put(pairs, pcm);
  out.insert(out.end(), pcm.begin(), pcm.end());
}

}  // namespace belmora
