#include "str/xa_file.h"

#include <algorithm>
#include <climits>

#include "str/disc_document.h"
#include "str/disc_image.h"

namespace belmora {

namespace {
// 18 sound groups of 224 4-bit samples: 4032 values, both channels together.
constexpr int kValuesPerSector = 18 * 224;
}  // namespace

int XaChannelInfo::Rate() const {
  return IsHalfRate(Coding) ? 18900 : 37800;
}
int XaChannelInfo::ChannelCount() const {
  return IsStereo(Coding) ? 2 : 1;
}
int64_t XaChannelInfo::Frames() const {
  return int64_t(Sectors) * kValuesPerSector / ChannelCount();
}

int OpenSectorFile(StrDocument& doc, const std::string& path, bool readOnly) {
  return OpenSectorFile(doc, path, OpenModeFor(readOnly));
}

int OpenSectorFile(StrDocument& doc, const std::string& path, OpenMode mode) {
  // A file inside a disc image: its extent, in the image's layout.
  if (auto inner = SplitImagePath(path)) {
    const auto layout = OpenImageExtent(doc, *doc.Ui, *inner, mode);
    if (!layout) return -1;
    doc.SectorSize = layout->SectorSize;
    doc.DataOffset = layout->DataOffset;
    doc.HasRiffHeader = false;
    doc.SectorCount = int32_t(std::min<int64_t>(doc.File.Size() / doc.SectorSize, INT32_MAX));
    doc.FrameBuffer.assign(kFrameBufferSize, 0);
    doc.SetPictureSize(0, 0);
    return 0;
  }
  if (!OpenWholeFile(doc, *doc.Ui, path, mode)) return -1;
  uint8_t head[kUserDataSize] = {};
  const int64_t size = doc.File.Size();
  if (size < 0 || !doc.File.ReadAt(0, head, size_t(std::min<int64_t>(size, sizeof head)))) {
    (void)doc.File.Close();
    return -1;
  }
  auto detected = DetectLayout(head);
  if (!detected) {
    Show(*doc.Ui, msg::kUnknownFormat);
    (void)doc.File.Close();
    return -1;
  }
  doc.SectorSize = detected->Layout.SectorSize;
  doc.DataOffset = detected->Layout.DataOffset;
  doc.HasRiffHeader = detected->HasRiffHeader;
  doc.SectorCount = int32_t(std::min<int64_t>(size / doc.SectorSize, INT32_MAX));
  doc.FrameBuffer.assign(kFrameBufferSize, 0);
  doc.SetPictureSize(0, 0);
  return 0;
}

XaFileInfo ScanXaChannels(StrDocument& doc, bool untilVideo) {
  XaFileInfo info;
  if (!doc.HasSubheaders()) {
    info.VideoSectors = doc.SectorCount;
    return info;
  }
  for (int32_t n = 0; n < doc.SectorCount; n++) {
    Subheader sub;
    if (!ReadSubheader(doc, n, sub)) break;
    if (!IsAudioSector(sub)) {
      if (IsSkippedSector(sub)) continue;
      info.VideoSectors++;
      if (untilVideo) break;
      continue;
    }
    auto it = std::find_if(info.Channels.begin(), info.Channels.end(),
                           [&](const XaChannelInfo& c) { return c.Channel == sub.Channel; });
    if (it == info.Channels.end()) {
      info.Channels.push_back({sub.Channel, sub.CodingInfo, 0});
      it = info.Channels.end() - 1;
    }
    it->Sectors++;
  }
  return info;
}

bool ForEachAudioSector(StrDocument& doc, int channel,
                        const std::function<int(uint8_t* image)>& visit) {
  if (!doc.HasSubheaders()) return true;
  uint8_t image[kSectorImageSize];
  for (int32_t n = 0; n < doc.SectorCount; n++) {
    Subheader sub;
    if (!ReadSubheader(doc, n, sub)) return false;
    if (!IsAudioSector(sub) || sub.Channel != channel) continue;
    const int64_t at = SectorImageOffset(doc.Layout(), n);
    if (!doc.File.ReadAt(at + 8, image + 8, kXaDataSize)) return false;
    sub.Store(image);
    sub.Store(image + 4);
    const int r = visit(image);
    if (r < 0) break;
    if (r == 1 && !StoreIntoSector(doc, n, at, image, kSectorImageSize)) return false;
  }
  return true;
}

}  // namespace belmora
