#include "tests/support/str_builder.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "base/bytes.h"
#include "tests/support/run.h"

namespace belmora::test {

std::vector<uint8_t> MinimalBitstream(int scale, int version) {
  std::vector<uint8_t> b(8, 0);
  PutU16(&b[2], 0x3800);
  PutU16(&b[4], uint32_t(scale));
  PutU16(&b[6], uint32_t(version));
  return b;
}

StrBuilder::StrBuilder(int sectorSize, bool riff) : sectorSize_(sectorSize), riff_(riff) {
  if (sectorSize != 2048 && sectorSize != 2336 && sectorSize != 2352)
    throw std::invalid_argument("sector size");
}

void StrBuilder::AddChunk(const FrameRecipe& f, int chunk) {
  std::vector<uint8_t> bits = f.Bitstream.empty() ? MinimalBitstream() : f.Bitstream;
  Sector s;
  s.Sub = kVideoSubheader;
  s.Sub.Channel = f.Channel;
  VideoChunkHeader h;
  h.Status = f.Status;
  h.Type = f.Type;
  h.ChunkNumber = uint16_t(chunk);
  h.ChunkCount = uint16_t(f.Chunks);
  h.FrameNumber = f.Number;
  h.FrameDataSize = uint32_t((bits.size() + 3) & ~size_t(3));
  h.Width = f.Width;
  h.Height = f.Height;
  std::memcpy(h.MdecHeader.data(), bits.data(), std::min<size_t>(8, bits.size()));
  h.Store(s.Data.data());
  size_t from = size_t(chunk) * kChunkPayloadSize;
  if (from < bits.size())
    std::memcpy(s.Data.data() + kChunkHeaderSize, bits.data() + from,
                std::min<size_t>(kChunkPayloadSize, bits.size() - from));
  sectors_.push_back(s);
}

void StrBuilder::AddFrame(const FrameRecipe& f) {
  for (int c = 0; c < f.Chunks; c++) AddChunk(f, c);
}

void StrBuilder::AddAudio(int channel, int coding, uint8_t fill) {
  Sector s;
  s.Sub = AudioSubheader(channel, coding);
  s.Data.fill(fill);
  sectors_.push_back(s);
}

void StrBuilder::AddFiller() {
  sectors_.push_back(Sector{kFillerSubheader, {}});
}

void StrBuilder::AddRaw(const Subheader& sub, const std::vector<uint8_t>& data) {
  Sector s;
  s.Sub = sub;
  if (!data.empty()) std::memcpy(s.Data.data(), data.data(), std::min(data.size(), s.Data.size()));
  sectors_.push_back(s);
}

std::vector<uint8_t> StrBuilder::Bytes() const {
  std::vector<uint8_t> out;
  bool header = sectorSize_ == 2352 && riff_;
  out.reserve(sectors_.size() * size_t(sectorSize_) + (header ? kCdxaHeaderSize : 0));
  if (header) {
    auto h = MakeCdxaHeader();
    out.insert(out.end(), h.begin(), h.end());
  }
  for (const Sector& s : sectors_) {
    if (sectorSize_ == 2048) {
      out.insert(out.end(), s.Data.begin(), s.Data.begin() + kUserDataSize);
      continue;
    }
    if (sectorSize_ == 2352) out.insert(out.end(), kSyncHeader.begin(), kSyncHeader.end());
    uint8_t sub[4];
    s.Sub.Store(sub);
    out.insert(out.end(), sub, sub + 4);
    out.insert(out.end(), sub, sub + 4);
    out.insert(out.end(), s.Data.begin(), s.Data.end());
  }
  return out;
}

void StrBuilder::Write(const std::string& path) const {
  WriteFileBytes(path, Bytes());
}

StrBuilder BuildMovie(const MovieRecipe& m) {
  StrBuilder b(m.SectorSize, m.Riff);
  int frame = 0, chunk = 0;
  std::vector<uint8_t> bits;
  for (int i = 0; frame < m.Frames; i++) {
    if (m.AudioCoding >= 0 && i % m.Interleave == m.AudioPhase % m.Interleave &&
        i >= m.AudioPhase) {
      b.AddAudio(m.AudioChannel, m.AudioCoding);
      continue;
    }
    FrameRecipe f;
    f.Number = m.FirstNumber + uint32_t(frame);
    f.Chunks = m.ChunkPattern[size_t(frame) % m.ChunkPattern.size()];
    f.Width = m.Width;
    f.Height = m.Height;
    if (m.Bitstream && chunk == 0) {
      bits = m.Bitstream(frame);
      if (bits.size() > size_t(f.Chunks) * kChunkPayloadSize)
        throw std::length_error("frame bitstream larger than its chunks");
    }
    if (m.Bitstream) f.Bitstream = bits;
    b.AddChunk(f, chunk);
    if (++chunk == f.Chunks) {
      chunk = 0;
      frame++;
    }
  }
  for (int i = 0; i < m.TrailingFillers; i++) b.AddFiller();
  return b;
}

std::string TempPath(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / "belmora-tests";
  std::filesystem::create_directories(dir);
  std::random_device random;
  uint64_t tag = uint64_t(random()) << 32 | random();
  return (dir / (std::to_string(tag) + "-" + name)).string();
}

}  // namespace belmora::test
