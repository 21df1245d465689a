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

std::vector<MovieFrame> Movie::OutOfOrderFrames() const {
  std::vector<MovieFrame> astray;
  for (const MovieFrame& f : Frames)
    if (f.OutOfOrder) astray.push_back(f);
  return astray;
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

std::string OutOfOrderFramesText(const std::vector<MovieFrame>& frames) {
  std::string text;
  for (const MovieFrame& f : frames) {
    if (!f.OutOfOrder) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(f.FrameNumber) + " (sector " + std::to_string(f.FirstSector) + ")";
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
  Movie& m = movies_[size_t(o.MovieAt)];
  m.Frames.push_back(f);
  o.Active = false;
  o.HasClosed = true;
  o.ClosedNumber = o.FrameNumber;
  Judge(o, m.Frames.size() - 1, (o.Chunks & 1) != 0);
}

void MovieScanner::Judge(Open& o, size_t at, bool fromStart) {
  std::vector<MovieFrame>& frames = movies_[size_t(o.MovieAt)].Frames;
  const uint32_t n = frames[at].FrameNumber;
  if (o.RestartAt >= 0) {
    if (n > o.Above || n < frames[at - 1].FrameNumber) {
      // Back to the numbers before the drop (or down again): what dropped
      // was astray; this frame is judged anew.
      const bool rejoined = n > o.Above;
      Astray(o);
      if (!rejoined) return Judge(o, movies_[size_t(o.MovieAt)].Frames.size() - 1, fromStart);
    } else if (int(at) - o.RestartAt + 1 >= kRestartFrames) {
      Restart(o);
    }
    o.LastFromStart = fromStart;
    return;
  }
  const bool drop = at > 0 && n < frames[at - 1].FrameNumber;
  if (drop && at >= 2 && n >= frames[at - 2].FrameNumber) {
    // The frame before is out of sequence with its neighbours: a number
    // astray, or one of two frames swapped. A lone chunk of another frame's
    // sectors is no frame of its own.
    if (!o.LastFromStart && frames[at - 1].ChunksPresent == 1)
      frames.erase(frames.begin() + long(at - 1));
    else
      frames[at - 1].OutOfOrder = true;
  } else if (drop) {
    o.RestartAt = int(at);
    o.Above = frames[at - 1].FrameNumber;
    o.RestartSectorBefore = o.SectorBefore;
    o.RestartVersion = o.Version;
    o.RestartLone = !fromStart && frames[at].ChunksPresent == 1;
  }
  o.LastFromStart = fromStart;
}

void MovieScanner::Astray(Open& o) {
  std::vector<MovieFrame>& frames = movies_[size_t(o.MovieAt)].Frames;
  const size_t from = size_t(o.RestartAt);
  // Up to the frame just listed, which is judged apart.
  const size_t to = frames.size() - 1;
  if (o.RestartLone && to == from + 1) {
    frames.erase(frames.begin() + long(from));
  } else {
    for (size_t i = from; i < to; i++) frames[i].OutOfOrder = true;
  }
  o.RestartAt = -1;
}

void MovieScanner::Restart(Open& o) {
  Movie& before = movies_[size_t(o.MovieAt)];
  Movie m;
  m.Channel = before.Channel;
  m.Width = before.Width;
  m.Height = before.Height;
  m.Version = o.RestartVersion;
  m.Frames.assign(before.Frames.begin() + o.RestartAt, before.Frames.end());
  before.Frames.erase(before.Frames.begin() + o.RestartAt, before.Frames.end());
  m.FirstSector = m.Frames.front().FirstSector;
  m.LastSector = before.LastSector;
  before.LastSector = o.RestartSectorBefore;
  movies_.push_back(std::move(m));
  o.MovieAt = int(movies_.size()) - 1;
  o.RestartAt = -1;
}

void MovieScanner::Settle(Open& o) {
  if (o.RestartAt < 0) return;
  const size_t frames = movies_[size_t(o.MovieAt)].Frames.size();
  if (int(frames) - o.RestartAt >= 2) {
    Restart(o);
    return;
  }
  // One frame after the drop, the last: astray.
  Movie& m = movies_[size_t(o.MovieAt)];
  if (o.RestartLone)
    m.Frames.pop_back();
  else
    m.Frames.back().OutOfOrder = true;
  o.RestartAt = -1;
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
  // A new picture size begins the next movie (numbers that start again are
  // judged as the frames are listed).
  bool continues = false;
  if (o.MovieAt >= 0) {
    const Movie& m = movies_[size_t(o.MovieAt)];
    continues = h.Width == m.Width && h.Height == m.Height;
  }
  if (!continues) {
    if (o.MovieAt >= 0) Settle(o);
    Movie m;
    m.Channel = channel;
    m.FirstSector = sector;
    m.Width = h.Width;
    m.Height = h.Height;
    m.Version = h.MdecHeader[6] | h.MdecHeader[7] << 8;
    movies_.push_back(std::move(m));
    o.MovieAt = int(movies_.size()) - 1;
    o.LastFromStart = true;
  }
  Movie& m = movies_[size_t(o.MovieAt)];
  o.Active = true;
  o.FrameNumber = h.FrameNumber;
  o.ChunkCount = uint8_t(h.ChunkCount);
  o.Chunks = bit;
  o.FirstSector = sector;
  o.SectorBefore = m.LastSector;
  o.Version = h.MdecHeader[6] | h.MdecHeader[7] << 8;
  m.LastSector = sector;
}

std::vector<Movie> MovieScanner::Finish(int fileAudioChannel, int fileAudioCoding) {
  for (Open& o : channels_) {
    Close(o);
    if (o.MovieAt >= 0) Settle(o);
    o = Open{};
  }
  // In file order: a movie split off where numbers started again was
  // listed after those begun meanwhile on other channels.
  std::vector<Movie> movies = std::move(movies_);
  movies_.clear();
  std::stable_sort(movies.begin(), movies.end(),
                   [](const Movie& a, const Movie& b) { return a.FirstSector < b.FirstSector; });
  for (size_t i = 0; i < movies.size(); i++) movies[i].Index = int(i) + 1;
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
