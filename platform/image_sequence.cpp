#include "platform/image_sequence.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/ffmpeg_common.h"

namespace belmora {

bool IsSequencePattern(const std::string& path) {
  // One conversion: %, optional 0 and width digits, d.
  int found = 0;
  for (size_t i = 0; i < path.size(); i++) {
    if (path[i] != '%') continue;
    size_t k = i + 1;
    if (k < path.size() && path[k] == '%') {
      i = k;
      continue;
    }
    while (k < path.size() && path[k] >= '0' && path[k] <= '9') k++;
    if (k >= path.size() || path[k] != 'd') return false;
    found++;
    i = k;
  }
  return found == 1;
}

std::string SequenceFile(const std::string& pattern, int n) {
  std::vector<char> name(pattern.size() + 32);
  std::snprintf(name.data(), name.size(), pattern.c_str(), n);
  return name.data();
}

std::optional<SequenceRange> FindSequence(const std::string& pattern) {
  if (!IsSequencePattern(pattern)) return std::nullopt;
  SequenceRange range;
  std::error_code ec;
  if (std::filesystem::is_regular_file(SequenceFile(pattern, 0), ec))
    range.Start = 0;
  else if (std::filesystem::is_regular_file(SequenceFile(pattern, 1), ec))
    range.Start = 1;
  else
    return std::nullopt;
  while (std::filesystem::is_regular_file(SequenceFile(pattern, range.Start + range.Count), ec))
    range.Count++;
  return range;
}

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

}  // namespace belmora
