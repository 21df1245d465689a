// Between the core and the media module (belmora-media, the FFmpeg and
// libass side, loaded on first use): the module implements these classes,
// and MediaReader, MediaWriter, PcmResampler, SubtitleRenderer and the
// format lists forward to them. Only platform/ includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media_formats.h"
#include "platform/media_reader.h"
#include "platform/subtitle_renderer.h"

namespace belmora::media {

// Raised whenever a class below changes; a module of another interface is
// refused.
inline constexpr int kModuleInterface = 2;

class ReaderBackend {
 public:
  virtual ~ReaderBackend() = default;
  virtual MediaError Open(const std::string& path, double sequenceRate) = 0;
  virtual const VideoStreamInfo& Video() const = 0;
  virtual bool HasAudio() const = 0;
  virtual const PcmFormatInfo& Audio() const = 0;
  virtual bool ReadFrame(int64_t index, std::vector<uint8_t>& pixels) = 0;
  virtual int64_t ReadPcm(uint8_t* out, size_t size) = 0;
};

class WriterBackend {
 public:
  virtual ~WriterBackend() = default;
  // As MediaWriter::Open; the encoders are named by the core's lists of
  // formats ("" for none there).
  virtual MediaError Open(const std::string& path, int width, int height, uint32_t rate,
                          uint32_t scale, const CompressOptions& video,
                          const std::string& videoEncoder, const WaveFormat* audio,
                          const PcmFormatInfo* pcm, const std::string& audioEncoder) = 0;
  virtual bool WriteVideo(const uint8_t* rows) = 0;
  virtual bool WriteAudio(const uint8_t* pcm, size_t bytes) = 0;
  virtual bool Close() = 0;
  // The system's errno of the last failed write to the file (0: none known).
  virtual int Error() const { return 0; }
};

class ResamplerBackend {
 public:
  virtual ~ResamplerBackend() = default;
  virtual bool Open(int inRate, int outRate) = 0;
  virtual bool Convert(const int16_t* in, int frames, std::vector<int16_t>& out) = 0;
  virtual bool Flush(std::vector<int16_t>& out) = 0;
};

class SubtitleBackend {
 public:
  virtual ~SubtitleBackend() = default;
  // `ass` is the whole script.
  virtual bool Load(const std::string& ass, int width, int height, const SubtitleStyle& style) = 0;
  virtual bool Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride) = 0;
  virtual int EventCount() const = 0;
};

// What the module offers; one instance lives as long as the process.
class Module {
 public:
  virtual std::unique_ptr<ReaderBackend> NewReader() const = 0;
  virtual std::unique_ptr<WriterBackend> NewWriter() const = 0;
  virtual std::unique_ptr<ResamplerBackend> NewResampler() const = 0;
  virtual std::unique_ptr<SubtitleBackend> NewSubtitles() const = 0;
  // Whether FFmpeg has an encoder of this name.
  virtual bool HaveEncoder(const std::string& name) const = 0;
  virtual bool WritePngFile(const std::string& path, const uint8_t* bgr, int width, int height,
                            size_t stride) const = 0;
  // The FFmpeg release in use and its libavformat version.
  virtual std::string Version() const = 0;

 protected:
  ~Module() = default;
};

// The module, loaded on the first call; null when it cannot be loaded
// (nothing is reported here: see RequireMediaModule).
const Module* LoadModule();

}  // namespace belmora::media

// The module's one exported function: its Module, or null when
// `interfaceVersion` is not the one it was built with.
extern "C" const belmora::media::Module* BelmoraMediaModule(int interfaceVersion);
