// The video source of the AVI-to-STR conversion: pictures with their times,
// and the sound as PCM (TAviIo); the sound resampled pair by pair for the XA
// encoder (TWavIo).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/messages.h"
#include "media/bmp_io.h"
#include "platform/media_formats.h"
#include "platform/media_reader.h"
#include "base/sample_source.h"

namespace belmora {

// The sound rates a video may have.
inline constexpr int kMinSourceRate = 1000, kMaxSourceRate = 384000;

class TAviIo {
 public:
  // 0, or -1 with LastError (naming the file and the reason); a numbered
  // picture sequence (frames/%04d.png) is shown at `sequenceRate` frames
  // per second.
  int Open(const std::string& path, double sequenceRate = 15);
  void Close();
  // End time of the video in milliseconds.
  int LengthMs() const;
  // The next picture, or null (LastError set). `timeMs`, when given, gets
  // the time of the frame asked for, also when the read fails.
  TBmpIo* NextFrame(int* timeMs = nullptr);
  // Bytes of real sound delivered; the rest of `out` zero-filled once the
  // sound has ended; -1 on failure. Without sound: 0, `out` untouched.
  int ReadAudio(uint8_t* out, int length);
  // Milliseconds of frame index i, as the AVI services give them.
  int TimeOfIndex(int64_t index) const;

  bool HasVideo = false;
  bool HasAudio = false;
  int FrameDurationMs = 0;
  double FrameRate = 0;
  WaveFormat PcmFormat = WaveFormat::Pcm(44100, 2, 16);
  std::string LastError;
  TBmpIo Image;  // header and palette of the delivered pictures
  const VideoStreamInfo& Video() const { return reader_.Video(); }

 private:
  int OpenReader(const std::string& path, double sequenceRate);

  MediaReader reader_;
  int64_t position_ = 0;
};

class TWavIo : public SamplePairSource {
 public:
  void Attach(TAviIo& source);
  int NextSample(int16_t& left, int16_t& right) override;
  void SetTargetRate(int rate) override { TargetRate = rate; }

  int TargetRate = 44100;

 private:
  int Refill(uint8_t* at, int frames);  // frames read, -1 on failure
  int32_t SampleAt(int frame, int channel) const;

  TAviIo* source_ = nullptr;
  WaveFormat format_;
  uint8_t buffer_[2352] = {};
  int capacity_ = 0, count_ = 0, position_ = 0, fraction_ = 0;
  int sourceRate_ = 44100, channels_ = 2, blockAlign_ = 4;
};

}  // namespace belmora
