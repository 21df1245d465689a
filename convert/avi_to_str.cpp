#include "convert/avi_to_str.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "media/avi_reader.h"
#include "base/bytes.h"
#include "str/new_str.h"

namespace belmora {

namespace {

// One run of the conversion.
class AviToStrRun {
 public:
  AviToStrRun(AviToStrContext& c) : c_(c), doc_(c.Doc), s_(c.Settings) {}
  int Run(const std::string& aviPath, bool newFile);

 private:
  // Writes a sector image (subheader twice, 2328 data bytes) as sector n.
  bool WriteNewSector(int32_t n, const uint8_t* image);
  int LayOutNewFrame();  // 0, 1 (no video sector), -1 (short write), 2 (over 20 video sectors)
  int ReencodeAudioSector(uint8_t* image);
  int FinishStrResize(int32_t next);
  void ChoosePicture();
  bool NextAviFrame();

  AviToStrContext& c_;
  StrDocument& doc_;
  AviToStrSettings& s_;
  TAviIo avi_;
  TWavIo wav_;
  TBmpIo black_;
  TBmpIo* picture_ = nullptr;
  int resizeMode_ = 0;
  int32_t rewriteLimit_ = -1;
  bool aviExhausted_ = false;
  int t_ = 0;
};

bool AviToStrRun::WriteNewSector(int32_t n, const uint8_t* image) {
  const int64_t at = SectorStartOffset(doc_.Layout(), n);
  if (doc_.SectorSize == 2048) return doc_.File.WriteAt(at, image + 8, kUserDataSize);
  if (doc_.SectorSize == 2352) {
    uint8_t raw[2352];
    std::memcpy(raw, kSyncHeader.data(), 16);
    std::memcpy(raw + 16, image, kSectorImageSize);
    return doc_.File.WriteAt(at, raw, sizeof raw);
  }
  return doc_.File.WriteAt(at, image, kSectorImageSize);
}

int AviToStrRun::LayOutNewFrame() {
  doc_.GeneratedFrames += 1;
  const int32_t end =
      int32_t(doc_.LayoutBaseSector +
              double(int64_t(doc_.GeneratedFrames) * doc_.SpeedFactor * 75) / doc_.FramesPerSecond);
  doc_.NextSector = end;
  // Which sectors are audio, decided before anything is written.
  auto isAudio = [&](int32_t n) {
    return !s_.NoAudio && doc_.AudioInterleave > 0 && doc_.SectorSize > 2048 &&
           (int64_t(n) - doc_.LastAudioSector) % doc_.AudioInterleave == 0;
  };
  int video = 0;
  for (int32_t n = doc_.CurrentSector; n < end; n++) video += !isAudio(n);
  if (video > kMaxChunks) return 2;
  doc_.ValidChunkSectors = 0;
  uint8_t image[kSectorImageSize];
  for (int32_t n = doc_.CurrentSector; n < end; n++) {
    std::memset(image, 0, sizeof image);
    if (isAudio(n)) {
      doc_.AudioSubheaderTemplate.Channel = uint8_t(doc_.AudioChannels[0]);
      doc_.AudioSubheaderTemplate.Store(image);
      doc_.AudioSubheaderTemplate.Store(image + 4);
      XaEncodeSector(c_.Encoder, image);
    } else {
      doc_.VideoSubheaderTemplate.Store(image);
      doc_.VideoSubheaderTemplate.Store(image + 4);
      doc_.ChunkSectors[size_t(doc_.ValidChunkSectors++)] = n;
    }
    if (!WriteNewSector(n, image)) return -1;
  }
  doc_.ChunkHeader.ChunkCount = uint16_t(video);
  return video == 0 ? 1 : 0;
}

int AviToStrRun::ReencodeAudioSector(uint8_t* image) {
  if (s_.NoAudio) return 0;
  if (s_.RebuildSectors) {
    Subheader sub =
        AudioSubheader(doc_.AudioChannels[0] & 0xFF, (s_.HighRate ? 0 : 4) | (s_.Stereo ? 1 : 0));
    sub.Store(image);
    sub.Store(image + 4);
  }
  XaEncodeSector(c_.Encoder, image);
  return 1;
}

int AviToStrRun::FinishStrResize(int32_t next) {
  uint8_t filler[kSectorImageSize] = {};
  kFillerSubheader.Store(filler);
  kFillerSubheader.Store(filler + 4);
  for (int32_t i = 0; i < doc_.TrailingSectors; i++)
    if (!WriteNewSector(next + i, filler)) return -1;
  const int64_t sectors = int64_t(next) + doc_.TrailingSectors;
  const int64_t end = SectorStartOffset(doc_.Layout(), sectors);
  if (resizeMode_ == -1) {
    doc_.File.Close();
    std::error_code ec;
    std::filesystem::resize_file(doc_.Path, uint64_t(end), ec);
    const bool reopened = doc_.File.Open(doc_.Path, SectorFile::Mode::kReadWrite);
    if (!reopened) {
      // Nothing is left half open: the document is closed.
      MessageBoxF(c_.Ui, "%s", kMsgReopenFailed);
      CloseStrFile(doc_);
      return -1;
    }
    if (ec) {
      MessageBoxF(c_.Ui, "%s", kMsgResizeError);
      return -1;
    }
  }
  doc_.SectorCount = int32_t(sectors);
  if (doc_.DataOffset == 68 && doc_.SectorSize == 2352) {
    uint8_t size[4];
    PutU32(size, uint32_t(end - 8));
    doc_.File.WriteAt(4, size, 4);
    PutU32(size, uint32_t(end - 44));
    doc_.File.WriteAt(40, size, 4);
  }
  FindLastFrame(doc_);
  return 0;
}

bool AviToStrRun::NextAviFrame() {
  if (TBmpIo* img = avi_.NextFrame(&t_)) {
    picture_ = img;
    return true;
  }
  picture_ = &black_;
  if (!aviExhausted_) {
    c_.Numbering.NextNumber = c_.Numbering.WrapNumber = s_.TailNumber;
    c_.Numbering.NumberLimit = INT_MAX;
    aviExhausted_ = true;
  }
  return false;
}

void AviToStrRun::ChoosePicture() {
  const int ts =
      int((int64_t(doc_.CurrentSector - c_.SelectionStart) * 1000 / 75) / doc_.SpeedFactor);
  const int d = avi_.FrameDurationMs;
  if (ts > t_ + d) {
    while (ts > t_ + d && NextAviFrame()) {
    }
  } else if (t_ >= d && ts > t_ - d) {
    NextAviFrame();
  }
}

int AviToStrRun::Run(const std::string& aviPath, bool newFile) {
  StrDocument& doc = doc_;
  if (!newFile && RefuseIfReadOnly(doc)) return -1;
  if (avi_.Open(aviPath) != 0) {
    MessageBoxF(c_.Ui, "%s", avi_.LastError.c_str());
    return -1;
  }
  wav_.Attach(avi_);
  if (newFile) {
    doc.ChunkHeader = VideoChunkHeader{};
    TForm4 form;
    if (!c_.Ui.ShowNewStrDialog(form, doc)) return -1;
    doc.ChunkHeader.FrameNumber = 1;
    doc.ChunkHeader.Width = uint16_t(avi_.Image.Header.Width);
    doc.ChunkHeader.Height = uint16_t(avi_.Image.Rows());
    if (avi_.HasAudio) {
      doc.AudioChannelCount = 1;
      doc.AudioChannels[0] = 1;
      doc.AudioCodings[0] = (avi_.PcmFormat.nChannels == 2 ? 1 : 0) |
                            (avi_.PcmFormat.nSamplesPerSec <= 37800 ? 4 : 0);
    }
  } else {
    FindFrameStart(doc, c_.SelectionStart);
  }
  s_.IsNewFile = newFile;
  s_.AviFrameRate = avi_.FrameRate;
  s_.StrFrameRate = doc.FramesPerSecond;
  s_.AviHasAudio = avi_.HasAudio;
  if (!c_.Ui.ShowSettingsDialog(s_, doc)) return -1;

  // Settings that cannot work are refused before anything is written.
  const bool layout = newFile || s_.RebuildSectors || c_.SelectionEnd >= doc.LastFrameSector;
  if (!(s_.FrameRate > 0) || !std::isfinite(s_.FrameRate)) {
    MessageBoxF(c_.Ui, "フレームレートが正しくありません。(%g)", s_.FrameRate);
    return -1;
  }
  const int interleave =
      InterleaveFor(doc.SpeedFactor, (s_.HighRate ? 0 : 4) | (s_.Stereo ? 1 : 0));
  const double perFrame = 75.0 * doc.SpeedFactor / s_.FrameRate;
  const bool audioSectors = !s_.NoAudio && doc.SectorSize > 2048;
  if (layout &&
      std::ceil(perFrame) - (audioSectors ? std::floor(perFrame / interleave) : 0) > kMaxChunks) {
    MessageBoxF(c_.Ui, kMsgTooManySectors, s_.FrameRate);
    return -1;
  }

  // Take the settings over.
  doc.AudioChannels[0] = s_.AudioChannel;
  doc.FramesPerSecond = s_.FrameRate;
  c_.Numbering = {!s_.KeepFrameNumbers, s_.StartNumber, s_.MinNumber, s_.MaxNumber};
  XaEncodeSetup(c_.Encoder, wav_, s_.HighRate ? 37800 : 18900, s_.Stereo ? 2 : 1);
  doc.VideoSubheaderTemplate = kVideoSubheader;
  doc.AudioSubheaderTemplate =
      AudioSubheader(s_.AudioChannel & 0xFF, (s_.HighRate ? 0 : 4) | (s_.Stereo ? 1 : 0));
  doc.AudioInterleave = interleave;
  doc.LayoutBaseSector = c_.SelectionStart;
  doc.LastAudioSector = c_.SelectionStart - 1;
  doc.GeneratedFrames = 0;
  rewriteLimit_ = s_.RebuildSectors ? -1 : c_.SelectionEnd;

  // The length decision.
  if (c_.SelectionEnd >= doc.LastFrameSector) {
    const int32_t target = int32_t(c_.SelectionStart +
                                   int32_t(int64_t(avi_.LengthMs()) * doc.SpeedFactor * 75 / 1000) +
                                   (s_.TailFrames / s_.FrameRate) * 75 * doc.SpeedFactor);
    if (newFile)
      resizeMode_ = 1;
    else if (target > doc.LastFrameSector)
      resizeMode_ = c_.Ui.Ask(kMsgLengthen, kMessageCaption, AskButtons::kYesNo) == kBoxYes ? 1 : 0;
    else
      resizeMode_ = c_.Ui.Ask(kMsgShorten, kMessageCaption, AskButtons::kYesNo) == kBoxYes ? -1 : 0;
    if (resizeMode_ != 0) {
      c_.SelectionEnd = target;
      doc.LastFrameSector = target;
      doc.SectorCount = target + doc.TrailingSectors;
    }
  }

  c_.Ui.BeginProgress();
  black_.Header.Width = black_.Header.Height = 1;
  black_.Header.BitCount = 24;
  black_.AllocPixels(c_.Ui);
  picture_ = avi_.NextFrame(&t_);
  if (!picture_) picture_ = &black_;
  ScopedAudioHook hook(doc);
  hook.Install([this](uint8_t* image) { return ReencodeAudioSector(image); });
  doc.NextSector = c_.SelectionStart;

  while (doc.IsOpen() && doc.NextSector <= c_.SelectionEnd) {
    doc.CurrentSector = doc.NextSector;
    c_.Ui.SetBarPosition(doc.CurrentSector / 75);
    if (doc.CurrentSector > rewriteLimit_) {
      c_.Numbering.Renumber = true;
      int r = LayOutNewFrame();
      if (r == 2) {
        MessageBoxF(c_.Ui, kMsgTooManySectors, s_.FrameRate);
        break;
      }
      if (r != 0) {
        MessageBoxF(c_.Ui, "%s", kMsgFrameLayoutError);
        break;
      }
    } else if (ReadFrame(doc) != 0) {
      MessageBoxF(c_.Ui, "%s", kMsgSourceReadError);
      break;
    }
    ChoosePicture();
    doc.ChunkHeader.Width = uint16_t(s_.FrameWidth);
    doc.ChunkHeader.Height = uint16_t(s_.FrameHeight);
    PutU16(&doc.ChunkHeader.MdecHeader[6], uint32_t(s_.MdecVersion));
    picture_->XOffset = c_.Position.ImageOffsetX;
    picture_->YOffset = c_.Position.ImageOffsetY;
    EncodeAndStoreFrame(c_.Codec, doc, *picture_, c_.Numbering);
    c_.Ui.ShowFrame(c_.Codec.Image, c_.Codec.HalfWidthView);
    if (c_.Ui.AfterFrame(doc, c_.SelectionStart, c_.SelectionEnd)) break;
  }

  if (resizeMode_ != 0 && doc.IsOpen()) {
    FinishStrResize(doc.NextSector);
    if (doc.IsOpen()) c_.SelectionEnd = doc.LastFrameSector;
  }
  hook.Remove();
  avi_.Close();
  c_.Ui.EndProgress();
  return 0;
}

}  // namespace

int ConvertAviToStr(AviToStrContext& c, const std::string& aviPath, bool newFile) {
  AviToStrRun run(c);
  return run.Run(aviPath, newFile);
}

int CreateStrFromAvi(AviToStrContext& c, const std::string& strPath, const std::string& aviPath) {
  if (CreateStrFile(c.Doc, strPath) != 0) {
    MessageBoxF(c.Ui, "%s", kMsgCannotOpenFile);
    return -1;
  }
  c.SelectionStart = c.SelectionEnd = 0;
  InitCodec(c.Codec, c.Ui);
  if (ConvertAviToStr(c, aviPath, true) == 0) return 0;
  CloseStrFile(c.Doc);
  std::error_code ec;
  std::filesystem::remove(strPath, ec);
  return -1;
}

}  // namespace belmora
