#include "str/new_str.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace belmora {

int CreateStrFile(StrDocument& doc, const std::string& path) {
  CloseStrFile(doc);
  doc.Path = FullPath(path);
  if (!doc.File.Open(doc.Path, SectorFile::Mode::kCreate)) return -1;
  doc.FrameBuffer.assign(kFrameBufferSize, 0);
  doc.ReadOnly = false;
  doc.HasRiffHeader = false;
  doc.SetPictureSize(0, 0);
  doc.AudioChannelCount = 0;
  doc.SpeedFactor = 2;
  doc.SectorCount = 0;
  doc.DataOffset = kLayout2336.DataOffset;
  doc.SectorSize = kLayout2336.SectorSize;
  doc.CurrentSector = 0;
  doc.LastFrameSector = 0;
  doc.FirstFrameNumber = 1;
  doc.LastFrameNumber = 10000;
  doc.FramesPerSecond = 0;
  doc.ValidChunkSectors = 0;
  return 0;
}

void SetHeaderBytes(NewStrOptions& o, const std::array<unsigned, 4>& bytes) {
  o.Status = uint16_t((bytes[1] * 256) | bytes[0]);
  o.Type = uint16_t((bytes[3] * 256) | bytes[2]);
}

std::optional<std::array<unsigned, 4>> ParseHeaderBytes(const std::string& text) {
  std::array<unsigned, 4> bytes{};
  std::stringstream in(text);
  std::string part;
  size_t count = 0;
  while (std::getline(in, part, ',')) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(part.c_str(), &end, 16);
    if (part.empty() || *end || v > 0xFF || count == bytes.size()) return std::nullopt;
    bytes[count++] = unsigned(v);
  }
  if (count != bytes.size()) return std::nullopt;
  return bytes;
}

int ApplyNewStrOptions(StrDocument& doc, const NewStrOptions& o) {
  doc.ChunkHeader.Status = o.Status;
  doc.ChunkHeader.Type = o.Type;
  doc.SpeedFactor = o.SpeedFactor;
  doc.TrailingSectors = o.TrailingSectors;
  doc.SectorSize = o.Layout.SectorSize;
  doc.DataOffset = o.Layout.DataOffset;
  doc.HasRiffHeader = o.Layout == kLayout2352;
  if (doc.HasRiffHeader) {
    auto header = MakeCdxaHeader();
    if (!StoreBytes(doc, 0, header.data(), header.size())) return -1;
  }
  return 0;
}

}  // namespace belmora
