// The media module (belmora-media): FFmpeg and libass, linked as usual,
// loaded by the core on first use through BelmoraMediaModule.
#include <cstdio>

#include "platform/ffmpeg/backends.h"
#include "platform/ffmpeg/ffmpeg_common.h"

namespace belmora::ffmpeg {

namespace {

class FfmpegModule final : public media::Module {
 public:
  std::unique_ptr<media::ReaderBackend> NewReader() const override {
    return std::make_unique<Reader>();
  }
  std::unique_ptr<media::WriterBackend> NewWriter() const override {
    return std::make_unique<Writer>();
  }
  std::unique_ptr<media::ResamplerBackend> NewResampler() const override {
    return std::make_unique<Resampler>();
  }
  std::unique_ptr<media::SubtitleBackend> NewSubtitles() const override {
    return std::make_unique<Subtitles>();
  }
  bool HaveEncoder(const std::string& name) const override {
    return avcodec_find_encoder_by_name(name.c_str()) != nullptr;
  }
  bool WritePngFile(const std::string& path, const uint8_t* bgr, int width, int height,
                    size_t stride) const override {
    return ffmpeg::WritePngFile(path, bgr, width, height, stride);
  }
  std::string Version() const override {
    const unsigned v = avformat_version();
    char text[160];
    std::snprintf(text, sizeof text, "%s (libavformat %u.%u.%u)", av_version_info(), v >> 16,
                  (v >> 8) & 0xff, v & 0xff);
    return text;
  }
};

}  // namespace

bool WritePngFile(const std::string& path, const uint8_t* bgr, int width, int height,
                  size_t stride) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
  if (!codec || width <= 0 || height <= 0) return false;
  ff::CodecPtr context(avcodec_alloc_context3(codec));
  ff::FramePtr frame(av_frame_alloc());
  ff::PacketPtr packet(av_packet_alloc());
  if (!context || !frame || !packet) return false;
  context->width = width;
  context->height = height;
  context->pix_fmt = AV_PIX_FMT_RGB24;
  context->time_base = {1, 25};
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return false;
  frame->format = AV_PIX_FMT_RGB24;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
  // Blue-green-red rows into red-green-blue ones.
  for (int y = 0; y < height; y++) {
    const uint8_t* src = bgr + size_t(y) * stride;
    uint8_t* dst = frame->data[0] + size_t(y) * size_t(frame->linesize[0]);
    for (int x = 0; x < width; x++, src += 3, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
  }
  if (avcodec_send_frame(context.get(), frame.get()) < 0 ||
      avcodec_send_frame(context.get(), nullptr) < 0)
    return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = true;
  while (avcodec_receive_packet(context.get(), packet.get()) == 0) {
    ok = ok && std::fwrite(packet->data, 1, size_t(packet->size), f) == size_t(packet->size);
    av_packet_unref(packet.get());
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace belmora::ffmpeg

extern "C" __attribute__((visibility("default"))) const belmora::media::Module* BelmoraMediaModule(
    int interfaceVersion) {
  if (interfaceVersion != belmora::media::kModuleInterface) return nullptr;
  // FFmpeg's own log stays quiet: the messages are the program's.
  av_log_set_level(AV_LOG_QUIET);
  static const belmora::ffmpeg::FfmpegModule module;
  return &module;
}
