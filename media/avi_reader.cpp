#include "media/avi_reader.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "base/input_file.h"
#include "platform/image_sequence.h"
#include "platform/media_module.h"

namespace belmora {

namespace {
// Why a video cannot be opened: the system's reason when the file cannot
// be looked at or is no regular file, else the reader's.
std::string CannotOpenReason(const std::string& path) {
  if (IsSequencePattern(path)) return Tr(msg::kAviCannotOpen);
  const InputStatus there = CheckRegularFile(path);
  return there.Ok() ? std::string(Tr(msg::kAviCannotOpen)) : InputProblemText(there);
}
}  // namespace

int TAviIo::Open(const std::string& path, double sequenceRate) {
  Close();
  if (OpenReader(path, sequenceRate) != 0) {
    // The file's name with the reason.
    LastError = FormatMessage(msg::kCannotRead, path.c_str(), LastError.c_str());
    return -1;
  }
  return 0;
}

int TAviIo::OpenReader(const std::string& path, double sequenceRate) {
  switch (reader_.Open(path, sequenceRate)) {
    case MediaError::kNone:
      break;
    case MediaError::kCannotOpen:
      LastError = CannotOpenReason(path);
      return -1;
    case MediaError::kNoVideo:
      LastError = Tr(msg::kAviNoVideo);
      return -1;
    case MediaError::kDecoder:
      LastError = Tr(msg::kAviFrameOpen);
      return -1;
    case MediaError::kMemory:
      LastError = Tr(msg::kAviNoMemory);
      return -1;
    case MediaError::kAudio:
      LastError = Tr(msg::kAcmStreamOpen);
      return -1;
    case MediaError::kModule:
      LastError = MediaModuleProblem();
      return -1;
    default:
      LastError = Tr(msg::kAviReadFormat);
      return -1;
  }
  const VideoStreamInfo& v = reader_.Video();
  HasVideo = true;
  FrameDurationMs = int(uint64_t(v.Scale) * 1000 / v.Rate);
  FrameRate = double(v.Rate) / v.Scale;
  if (v.Raw) {
    Image.CopyDibHeader(v.RawHeaderAndPalette.data());
  } else {
    uint8_t header[40] = {};
    BitmapInfoHeader h;
    h.Width = v.Width;
    h.Height = v.Height;
    h.BitCount = 24;
    h.ImageSize = uint32_t((v.Width * 24 + 31) / 8 / 4 * 4 * v.Height);
    h.Store(header);
    Image.CopyDibHeader(header);
  }
  position_ = 0;
  HasAudio = reader_.HasAudio();
  if (HasAudio) {
    const PcmFormatInfo& a = reader_.Audio();
    // Rates no sound has are refused before any arithmetic is done with them.
    if (a.Rate < kMinSourceRate || a.Rate > kMaxSourceRate) {
      LastError = Tr(msg::kAcmStreamOpen);
      Close();
      return -1;
    }
    PcmFormat = WaveFormat::Pcm(a.Rate, a.Channels, a.Bits);
  } else {
    PcmFormat = WaveFormat::Pcm(44100, 2, 16);
  }
  return 0;
}

void TAviIo::Close() {
  reader_.Close();
  HasVideo = HasAudio = false;
  Image.Pixels.clear();
}

int TAviIo::TimeOfIndex(int64_t index) const {
  const VideoStreamInfo& v = reader_.Video();
  if (v.Rate == 0) return 0;
  return int(uint64_t(index) * v.Scale * 1000 / v.Rate);
}

int TAviIo::LengthMs() const {
  return TimeOfIndex(reader_.Video().Length);
}

TBmpIo* TAviIo::NextFrame(int* timeMs) {
  if (timeMs) *timeMs = TimeOfIndex(position_);
  if (!HasVideo || !reader_.ReadFrame(position_, Image.Pixels)) {
    LastError = Tr(reader_.Video().Raw ? msg::kAviRead : msg::kAviGetFrame);
    return nullptr;
  }
  position_++;
  return &Image;
}

int TAviIo::ReadAudio(uint8_t* out, int length) {
  if (!HasAudio || length <= 0) return 0;
  int64_t n = reader_.ReadPcm(out, size_t(length));
  if (n < 0) {
    LastError = Tr(msg::kAcmConvert);
    return -1;
  }
  if (n < length) std::memset(out + n, 0, size_t(length - n));
  return int(n);
}

void TWavIo::Attach(TAviIo& source) {
  source_ = &source;
  format_ = source.PcmFormat;
  sourceRate_ = int(format_.nSamplesPerSec);
  channels_ = format_.nChannels;
  blockAlign_ = std::max<int>(1, format_.nBlockAlign);
  capacity_ = 2352 / blockAlign_;
  position_ = 0;
  fraction_ = 0;
  count_ = std::max(0, Refill(buffer_, capacity_));
  TargetRate = sourceRate_;
}

int TWavIo::Refill(uint8_t* at, int frames) {
  int bytes = source_->ReadAudio(at, frames * blockAlign_);
  return bytes < 0 ? -1 : bytes / blockAlign_;
}

int32_t TWavIo::SampleAt(int frame, int channel) const {
  const uint8_t* p = buffer_ + frame * blockAlign_;
  if (channels_ == 1) channel = 0;
  if (format_.wBitsPerSample == 8) return (int32_t(p[channel]) - 128) * 256;
  return int16_t(GetU16(p + 2 * channel));
}

int TWavIo::NextSample(int16_t& left, int16_t& right) {
  if (!source_ || TargetRate <= 0) {
    left = right = 0;
    return 1;
  }
  if (position_ + 1 < count_) {
    const int32_t c = fraction_ / 100, h = TargetRate / 100;
    if (h > 0) {
      left = int16_t((SampleAt(position_, 0) * (h - c) + SampleAt(position_ + 1, 0) * c) / h);
      right = int16_t((SampleAt(position_, 1) * (h - c) + SampleAt(position_ + 1, 1) * c) / h);
    } else {
      left = int16_t(SampleAt(position_, 0));
      right = int16_t(SampleAt(position_, 1));
    }
  } else {
    left = right = 0;
  }
  fraction_ += sourceRate_;
  position_ += fraction_ / TargetRate;
  fraction_ %= TargetRate;

  int frames;
  if (position_ + 1 == count_) {
    // The last frame moves to the front so that A and B never straddle two fills.
    std::memmove(buffer_, buffer_ + position_ * blockAlign_, size_t(blockAlign_));
    position_ = 0;
    frames = Refill(buffer_ + blockAlign_, capacity_ - 1);
    count_ = frames > 0 ? frames + 1 : 0;
  } else if (position_ < count_) {
    return 0;
  } else {
    position_ -= count_;
    frames = Refill(buffer_, capacity_);
    count_ = std::max(frames, 0);
  }
  return frames > 0 ? 0 : frames == 0 ? 1 : -1;
}

}  // namespace belmora
