#include "str/new_str.h"

#include <cstdio>
#include <cstdlib>

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

void TForm4::FormShow() {
  ComboBox1 = "2x";
  ComboBox2 = "2336";
  Edit1 = "60";
  Edit2 = "01";
  Edit3 = "01";
  Edit4 = "80";
  Edit5 = "0";
}

namespace {
// "%x" reading: the hexadecimal digits at the start (after an optional 0x).
unsigned Hex(const std::string& s) {
  unsigned v = 0;
  return std::sscanf(s.c_str(), "%x", &v) == 1 ? v : 0;
}
}  // namespace

NewStrOptions TForm4::OKButtonClick() const {
  NewStrOptions o;
  o.Status = uint16_t((Hex(Edit2) * 256) | Hex(Edit1));
  o.Type = uint16_t((Hex(Edit4) * 256) | Hex(Edit3));
  o.SpeedFactor = ComboBox1 == "1x" ? 1 : 2;
  int trailing = 0;
  o.TrailingSectors = std::sscanf(Edit5.c_str(), "%d", &trailing) == 1 ? trailing : 0;
  o.Layout = ComboBox2 == "2048" ? kLayout2048 : ComboBox2 == "2352(RIFF)" ? kLayout2352 : kLayout2336;
  return o;
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
