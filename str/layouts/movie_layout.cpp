#include "str/layouts/movie_layout.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "str/layouts/sector_fields.h"

namespace belmora {

using layout::Has;

bool MovieLayout::WriteChunk(const GameChunk& c, std::span<const uint8_t> frameHeader,
                             std::span<uint8_t> user) const {
  if (!traits_.PictureWritable || c.IsSound || !Has(user, 32)) return false;
  layout::WriteCommon(c, user.data());
  if (frameHeader.size() >= 8) std::memcpy(user.data() + 20, frameHeader.data(), 8);
  return true;
}

namespace {

// A sector that says it is sound: what a game's real-time Form 2 video is not.
bool SaysSound(const Subheader& sub) {
  return IsAudioSector(sub) && (sub.Submode & kSubmodeAudio) != 0;
}

}  // namespace

void MovieLayout::TakeFrameHeader(std::span<const uint8_t> frame, VideoChunkHeader& h) const {
  for (size_t at : {size_t(0), size_t(kCameraDataSize)})
    if (frame.size() >= at + 8 && GetU16(frame.data() + at + 2) == layout::kFrameMagic) {
      std::copy_n(frame.begin() + ptrdiff_t(at), 8, h.MdecHeader.begin());
      return;
    }
}

int MovieLayout::VersionFor(const VideoChunkHeader&, std::span<const uint8_t> frame) const {
  for (size_t at : {size_t(0), size_t(kCameraDataSize)})
    if (frame.size() >= at + 8 && GetU16(frame.data() + at + 2) == layout::kFrameMagic)
      return GetU16(frame.data() + at + 6);
  return 2;
}

bool MovieLayout::IsXaSound(const Subheader& sub) const {
  return SaysSound(sub);
}

bool MovieLayout::SkipsSector(const Subheader& sub) const {
  // Only XA sound, triggers and fillers are passed over.
  return IsXaSound(sub) || (sub.Submode & kSubmodeTrigger) != 0 || sub == kFillerSubheader;
}

VideoChunkHeader MovieLayout::ChunkHeader(std::span<const uint8_t> user) const {
  VideoChunkHeader h;
  h.ChunkNumber = 0xFFFF;
  const auto c = ReadChunk(user);
  const int sound = traits_.SoundCountedAsChunks ? traits_.SoundSectorsPerFrame : 0;
  if (!c || c->IsSound || c->ChunkNumber < sound || c->ChunkCount <= sound) return h;
  h.Status = kFrameChunkStatus;
  h.Type = kFrameChunkType;
  h.ChunkNumber = uint16_t(c->ChunkNumber - sound);
  h.ChunkCount = uint16_t(c->ChunkCount - sound);
  h.FrameNumber = c->FrameNumber;
  h.FrameDataSize = c->DataSize;
  h.Width = uint16_t(c->Width ? c->Width : traits_.FixedWidth);
  h.Height = uint16_t(c->Height ? c->Height : traits_.FixedHeight);
  // The copy of the frame header, or the frame's first bytes where the
  // chunk header keeps none.
  const size_t at = traits_.PayloadOffset >= kChunkHeaderSize ? 20 : size_t(traits_.PayloadOffset);
  if (user.size() >= at + 8) std::memcpy(h.MdecHeader.data(), user.data() + at, 8);
  if (h.ChunkNumber == 0 && !traits_.ReverseChunks && user.size() > size_t(traits_.PayloadOffset))
    MovieLayout::TakeFrameHeader(user.subspan(size_t(traits_.PayloadOffset)), h);
  return h;
}

std::vector<std::pair<int, size_t>> MovieLayout::FrameOrder(
    std::span<const std::span<const uint8_t>> sectors) const {
  std::vector<std::pair<int, size_t>> order;
  std::optional<uint32_t> frameNumber;
  for (size_t i = 0; i < sectors.size(); i++) {
    const auto chunk = ReadChunk(sectors[i]);
    if (!chunk || chunk->IsSound ||
        sectors[i].size() < size_t(traits_.PayloadOffset + traits_.PayloadSize) ||
        (frameNumber && *frameNumber != chunk->FrameNumber))
      return {};
    frameNumber = chunk->FrameNumber;
    order.push_back({traits_.ReverseChunks ? -chunk->ChunkNumber : chunk->ChunkNumber, i});
  }
  std::sort(order.begin(), order.end());
  for (size_t i = 1; i < order.size(); i++)
    if (order[i].first == order[i - 1].first) return {};
  return order;
}

bool MovieLayout::Gather(std::span<const std::span<const uint8_t>> sectors,
                         std::vector<uint8_t>& frame) const {
  const auto order = FrameOrder(sectors);
  frame.clear();
  if (order.empty()) return false;
  for (const auto& [key, i] : order) {
    const uint8_t* payload = sectors[i].data() + traits_.PayloadOffset;
    frame.insert(frame.end(), payload, payload + traits_.PayloadSize);
  }
  CompleteFrame(sectors[order[0].second], frame);
  return true;
}

bool MovieLayout::Spread(std::span<const uint8_t> frame,
                         std::span<const std::span<uint8_t>> sectors) const {
  if (!traits_.PictureWritable) return false;
  const std::vector<std::span<const uint8_t>> readOnly(sectors.begin(), sectors.end());
  const auto order = FrameOrder(readOnly);
  if (order.empty() || frame.size() > size_t(Capacity(int(order.size())))) return false;
  const uint32_t dataSize = SizeField(frame.size(), int(order.size()));
  const std::span<const uint8_t> header = frame.size() >= 8 ? frame.first(8) : frame.first(0);
  // Each sector is made in a copy and must read back as the same chunk: a
  // frame whose first bytes disagree with the copy its chunk headers keep
  // (data kept as it was read, only renumbered) leaves that copy as it is,
  // where writing it would make the sector unreadable as the layout.
  auto sameChunk = [this](std::span<const uint8_t> user, const GameChunk& c) {
    const auto back = ReadChunk(user);
    return back && !back->IsSound && back->ChunkNumber == c.ChunkNumber &&
           back->ChunkCount == c.ChunkCount && back->FrameNumber == c.FrameNumber;
  };
  const size_t payload = size_t(traits_.PayloadSize);
  std::vector<std::vector<uint8_t>> made;
  made.reserve(order.size());
  size_t at = 0;
  for (const auto& [key, i] : order) {
    const std::span<const uint8_t> was = sectors[i];
    std::vector<uint8_t>& user = made.emplace_back(was.begin(), was.end());
    GameChunk chunk = *ReadChunk(was);
    chunk.DataSize = dataSize;
    if (!WriteChunk(chunk, header, user)) return false;
    if (!sameChunk(user, chunk)) {
      std::copy(was.begin(), was.end(), user.begin());
      if (!WriteChunk(chunk, {}, user) || !sameChunk(user, chunk)) return false;
    }
    uint8_t* into = user.data() + traits_.PayloadOffset;
    const size_t n = std::min(frame.size() - std::min(at, frame.size()), payload);
    if (n) std::memcpy(into, frame.data() + at, n);
    std::memset(into + n, 0, payload - n);
    at += payload;
  }
  for (size_t k = 0; k < order.size(); k++)
    std::copy(made[k].begin(), made[k].end(), sectors[order[k].second].begin());
  return true;
}

const MovieLayout* RecogniseSector(std::span<const uint8_t> user) {
  for (const MovieLayout* l : AllLayouts())
    if (l->Names(user)) return l;
  return nullptr;
}

std::vector<const MovieLayout*> CandidateLayouts(
    std::span<const std::span<const uint8_t>> sectors) {
  const auto all = AllLayouts();
  std::vector<int> named(all.size(), 0), read(all.size(), 0);
  for (const auto& user : sectors) {
    bool first = true;
    for (size_t i = 0; i < all.size(); i++) {
      if (first && all[i]->Names(user)) {
        if (all[i]->Info().Decisive) return {all[i]};
        named[i]++;
        first = false;
      }
      if (all[i]->ReadChunk(user)) read[i]++;
    }
  }
  std::vector<size_t> order;
  for (size_t i = 0; i < all.size(); i++)
    if (named[i] > 0) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return named[a] > named[b]; });
  for (size_t i = 0; i < all.size(); i++)
    if (named[i] == 0 && read[i] > 0) order.push_back(i);
  std::vector<const MovieLayout*> candidates;
  for (size_t i : order) candidates.push_back(all[i]);
  if (std::find(candidates.begin(), candidates.end(), &StandardLayout()) == candidates.end())
    candidates.push_back(&StandardLayout());
  return candidates;
}

const MovieLayout* LayoutById(std::string_view id) {
  for (const MovieLayout* l : AllLayouts())
    if (id == l->Id()) return l;
  return nullptr;
}

}  // namespace belmora
