#include "str/movies.h"

#include <algorithm>
#include <bit>
#include <iterator>

namespace belmora {

std::vector<MovieFrame> Movie::DamagedFrames() const {
  std::vector<MovieFrame> damaged;
  for (const MovieFrame& f : Frames)
    if (f.Damaged()) damaged.push_back(f);
  return damaged;
}

const MovieFrame* Movie::FrameAt(int32_t sector) const {
  auto it = std::lower_bound(Frames.begin(), Frames.end(), sector,
                             [](const MovieFrame& f, int32_t s) { return f.FirstSector < s; });
  return it != Frames.end() && it->FirstSector == sector ? &*it : nullptr;
}

std::string DamagedFramesText(const std::vector<MovieFrame>& frames) {
  std::string text;
  for (const MovieFrame& f : frames) {
    if (!f.Damaged()) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(f.FrameNumber) + " (" + std::to_string(f.ChunksPresent) + "/" +
            std::to_string(f.ChunkCount) + ")";
  }
  return text;
}

const MovieFrame* Movie::FrameFrom(int32_t sector) const {
  auto it = std::upper_bound(Frames.begin(), Frames.end(), sector,
                             [](int32_t s, const MovieFrame& f) { return s < f.FirstSector; });
  return it == Frames.begin() ? nullptr : &*std::prev(it);
}

void MovieScanner::Audio(int channel, int coding) {
  const int c = channel & 0xFF;
  if (!audioSeen_[c]) audioCoding_[c] = coding;
  audioSeen_[c] = true;
}

void MovieScanner::Close(Open& o) {
  if (!o.Active) return;
  MovieFrame f;
  f.FirstSector = o.FirstSector;
  f.FrameNumber = o.FrameNumber;
  f.ChunkCount = o.ChunkCount;
  f.ChunksPresent = uint8_t(std::popcount(o.Chunks));
  movies_[size_t(o.MovieAt)].Frames.push_back(f);
  o.Active = false;
  o.HasClosed = true;
  o.ClosedNumber = o.FrameNumber;
}

void MovieScanner::Video(int32_t sector, int channel, const VideoChunkHeader& h) {
  if (!IsChunkHeader(h)) return;  // not a chunk, or its header is garbled
  Open& o = channels_[channel & 0xFF];
  const uint32_t bit = 1u << h.ChunkNumber;
  if (o.Active && h.FrameNumber == o.FrameNumber) {
    const bool sameCount = h.ChunkCount == o.ChunkCount;
    if (sameCount && !(o.Chunks & bit)) {
      o.Chunks |= bit;
      movies_[size_t(o.MovieAt)].LastSector = sector;
      return;
    }
    // A repeated chunk counts once, one that disagrees on the chunk count
    // not at all; a second first chunk begins a frame of the same number.
    if (!sameCount || h.ChunkNumber != 0) return;
  } else if (o.HasClosed && h.FrameNumber == o.ClosedNumber && h.ChunkNumber != 0) {
    return;  // a late copy of a chunk of the frame before
  }
  Close(o);
  bool continues = false;
  if (o.MovieAt >= 0) {
    // Numbers that start again, or a new size, begin the next movie.
    const Movie& m = movies_[size_t(o.MovieAt)];
    continues = h.FrameNumber >= m.Frames.back().FrameNumber && h.Width == m.Width &&
                h.Height == m.Height;
  }
  if (!continues) {
    Movie m;
    m.Index = int(movies_.size()) + 1;
    m.Channel = channel;
    m.FirstSector = sector;
    m.Width = h.Width;
    m.Height = h.Height;
    m.Version = h.MdecHeader[6] | h.MdecHeader[7] << 8;
    movies_.push_back(std::move(m));
    o.MovieAt = int(movies_.size()) - 1;
  }
  o.Active = true;
  o.FrameNumber = h.FrameNumber;
  o.ChunkCount = uint8_t(h.ChunkCount);
  o.Chunks = bit;
  o.FirstSector = sector;
  movies_[size_t(o.MovieAt)].LastSector = sector;
}

std::vector<Movie> MovieScanner::Finish(int fileAudioChannel, int fileAudioCoding) {
  for (Open& o : channels_) Close(o);
  std::vector<Movie> movies = std::move(movies_);
  movies_.clear();
  for (Movie& m : movies) {
    m.AudioChannel = fileAudioChannel;
    m.AudioCoding = fileAudioCoding;
    if (movies.size() > 1 && audioSeen_[m.Channel & 0xFF]) {
      m.AudioChannel = m.Channel;
      m.AudioCoding = audioCoding_[m.Channel & 0xFF];
    }
  }
  return movies;
}

}  // namespace belmora
