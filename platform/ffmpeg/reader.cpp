#include "platform/ffmpeg/backends.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "platform/ffmpeg/ffmpeg_common.h"
#include "base/bytes.h"
#include "platform/image_sequence.h"

namespace belmora::ffmpeg {

namespace {

// One demuxer following one stream of a file, with its decoder when the
// stream is decoded.
struct Follower {
  AVFormatContext* format = nullptr;
  int stream = -1;
  ff::CodecPtr decoder;
  ff::PacketPtr packet{av_packet_alloc()};
  bool drained = false;  // the demuxer is at its end and the decoder was told

  ~Follower() { avformat_close_input(&format); }

  bool OpenFile(const std::string& path, const AVInputFormat* input = nullptr,
                AVDictionary** options = nullptr) {
    if (avformat_open_input(&format, path.c_str(), input, options) < 0) return false;
    return avformat_find_stream_info(format, nullptr) >= 0;
  }
  void Follow(int index) {
    stream = index;
    for (unsigned i = 0; i < format->nb_streams; i++)
      format->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }
  AVStream* Stream() const { return format->streams[stream]; }
  bool OpenDecoder() {
    const AVCodec* codec = avcodec_find_decoder(Stream()->codecpar->codec_id);
    if (!codec) return false;
    decoder.reset(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), Stream()->codecpar) < 0)
      return false;
    decoder->thread_count = 1;
    return avcodec_open2(decoder.get(), codec, nullptr) >= 0;
  }
  // The next packet of the stream; false at the end.
  bool NextPacket() {
    for (;;) {
      av_packet_unref(packet.get());
      if (av_read_frame(format, packet.get()) < 0) return false;
      if (packet->stream_index == stream) return true;
    }
  }
  // The next decoded frame: 1, 0 at the end, -1 on an error.
  int NextFrame(AVFrame* frame) {
    for (;;) {
      int r = avcodec_receive_frame(decoder.get(), frame);
      if (r == 0) return 1;
      if (r == AVERROR_EOF) return 0;
      if (r != AVERROR(EAGAIN)) return -1;
      if (drained) return 0;
      if (!NextPacket()) {
        avcodec_send_packet(decoder.get(), nullptr);
        drained = true;
        continue;
      }
      avcodec_send_packet(decoder.get(), packet.get());  // a damaged packet is passed over
    }
  }
};

// Sound faster than this is taken for a damaged header: the resampling
// arithmetic downstream counts in int at the source rate.
constexpr int kMaxAudioRate = 768000;

int FirstStreams(const AVFormatContext* f) {
  return int(std::min(f->nb_streams, 4u));
}

}  // namespace

struct Reader::Impl {
  VideoStreamInfo video;
  PcmFormatInfo pcm;
  bool hasAudio = false;

  // Video.
  Follower v;
  ff::SwsPtr sws;
  ff::FramePtr frame{av_frame_alloc()};
  int64_t startPts = 0;
  size_t imageSize = 0;
  int stride = 0;
  std::vector<uint8_t> current, pending;
  int64_t currentIndex = -1, pendingIndex = -1;
  bool haveCurrent = false, havePending = false, videoEnd = false;

  // Audio.
  Follower a;
  ff::SwrPtr swr;
  ff::FramePtr audioFrame{av_frame_alloc()};
  std::vector<uint8_t> fifo;
  size_t fifoStart = 0;
  bool audioEnd = false;

  MediaError TakeVideo(int index, const std::optional<SequenceRange>& sequence);
  MediaError TakeAudio(const std::string& path, int index);

  int64_t IndexOf(int64_t pts, int64_t previous) const {
    if (pts == AV_NOPTS_VALUE) return previous + 1;
    AVRational frameBase{int(video.Scale), int(video.Rate)};
    return av_rescale_q_rnd(pts - startPts, v.Stream()->time_base, frameBase,
                            AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  }

  // The next picture of the stream into `out`, with its frame index.
  bool Fetch(std::vector<uint8_t>& out, int64_t& index) {
    const int64_t previous = havePending ? pendingIndex : currentIndex;
    if (video.Raw) {
      while (v.NextPacket()) {
        if (v.packet->size == 0) continue;  // a dropped frame: the picture before stays
        out.assign(imageSize, 0);
        std::memcpy(out.data(), v.packet->data, std::min(imageSize, size_t(v.packet->size)));
        index = IndexOf(v.packet->pts, previous);
        return true;
      }
      return false;
    }
    for (;;) {
      if (v.NextFrame(frame.get()) != 1) return false;
      if (frame->width == video.Width && frame->height == video.Height) break;
      av_frame_unref(frame.get());  // a picture of another size is passed over
    }
    sws.reset(sws_getCachedContext(sws.release(), frame->width, frame->height,
                                   AVPixelFormat(frame->format), video.Width, video.Height,
                                   AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!sws) return false;
    out.assign(imageSize, 0);
    // Bottom-up rows: start at the last row and step backwards.
    uint8_t* dst[4] = {out.data() + size_t(video.Height - 1) * size_t(stride), nullptr, nullptr,
                       nullptr};
    int dstStride[4] = {-stride, 0, 0, 0};
    sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    index = IndexOf(frame->best_effort_timestamp, previous);
    av_frame_unref(frame.get());
    return true;
  }

  bool DecodeMoreAudio() {
    int r = a.NextFrame(audioFrame.get());
    if (r < 0) return false;
    const int bytesPerSample = pcm.Bits / 8;
    if (r == 0) {  // flush what the resampler holds
      uint8_t* outData[1];
      std::vector<uint8_t> tail(size_t(swr_get_out_samples(swr.get(), 0) + 32) * pcm.BlockAlign());
      outData[0] = tail.data();
      int n = swr_convert(swr.get(), outData, int(tail.size() / pcm.BlockAlign()), nullptr, 0);
      if (n > 0) fifo.insert(fifo.end(), tail.begin(), tail.begin() + size_t(n) * pcm.BlockAlign());
      audioEnd = true;
      return true;
    }
    int capacity = swr_get_out_samples(swr.get(), audioFrame->nb_samples) + 32;
    size_t at = fifo.size();
    fifo.resize(at + size_t(capacity) * pcm.BlockAlign());
    uint8_t* outData[1] = {fifo.data() + at};
    int n =
        swr_convert(swr.get(), outData, capacity,
                    const_cast<const uint8_t**>(audioFrame->extended_data), audioFrame->nb_samples);
    fifo.resize(at + size_t(std::max(n, 0)) * size_t(pcm.Channels) * size_t(bytesPerSample));
    av_frame_unref(audioFrame.get());
    return n >= 0;
  }
};

Reader::Reader() : impl_(std::make_unique<Impl>()) {}
Reader::~Reader() = default;

void Reader::Close() {
  impl_ = std::make_unique<Impl>();
}

const VideoStreamInfo& Reader::Video() const {
  return impl_->video;
}
bool Reader::HasAudio() const {
  return impl_->hasAudio;
}
const PcmFormatInfo& Reader::Audio() const {
  return impl_->pcm;
}

namespace {

// Opens `path` for its video: a picture sequence goes through FFmpeg's
// image2 reader from its first number, at the rate given.
bool OpenVideoInput(Follower& v, const std::string& path, double sequenceRate,
                    std::optional<SequenceRange>& sequence) {
  if (IsSequencePattern(path)) {
    sequence = FindSequence(path);
    if (!sequence || !(sequenceRate > 0)) return false;
  }
  if (!sequence) return v.OpenFile(path);
  AVDictionary* options = nullptr;
  const AVRational rate = av_d2q(sequenceRate, 1000000);
  av_dict_set(&options, "framerate",
              (std::to_string(rate.num) + "/" + std::to_string(rate.den)).c_str(), 0);
  av_dict_set(&options, "start_number", std::to_string(sequence->Start).c_str(), 0);
  const bool opened = v.OpenFile(path, av_find_input_format("image2"), &options);
  av_dict_free(&options);
  return opened;
}

// The number of frames a stream holds, as its header, its duration and its
// index tell.
int64_t StreamLength(const AVFormatContext* format, const AVStream* st,
                     const VideoStreamInfo& info) {
  int64_t length = 0;
  if (st->nb_frames > 0) {
    length = st->nb_frames;
  } else {
    const int64_t duration = st->duration != AV_NOPTS_VALUE
                                 ? av_rescale_q(st->duration, st->time_base, AV_TIME_BASE_Q)
                                 : format->duration;
    if (duration > 0) length = av_rescale(duration, info.Rate, int64_t(info.Scale) * AV_TIME_BASE);
  }
  // A header may declare more frames than the file holds: the index, where
  // there is one, says how many there are.
  const int64_t indexed = avformat_index_get_entries_count(st);
  if (indexed > 0 && length > indexed) length = indexed;
  return length;
}

// The BITMAPINFOHEADER (and palette) of a raw AVI stream of `bits` per pixel.
void RawHeader(const AVCodecParameters* par, int bits, size_t imageSize, VideoStreamInfo& info) {
  info.RawHeaderAndPalette.assign(40 + (bits == 8 ? 1024 : 0), 0);
  uint8_t* h = info.RawHeaderAndPalette.data();
  // FFmpeg's AVI reader marks bottom-up DIBs (a positive height) by ending
  // the format data with "BottomUp"; without it the rows run top-down.
  int extra = par->extradata_size;
  const bool bottomUp = extra >= 9 && std::memcmp(par->extradata + extra - 9, "BottomUp", 9) == 0;
  if (bottomUp) extra -= 9;
  PutU32(h, 40);
  PutU32(h + 4, uint32_t(info.Width));
  PutU32(h + 8, uint32_t(bottomUp ? info.Height : -info.Height));
  PutU16(h + 12, 1);
  PutU16(h + 14, uint32_t(bits));
  PutU32(h + 20, uint32_t(imageSize));
  if (bits == 8) {
    // The palette stands at the end of the stream's format data.
    int bytes = std::min(extra, 1024) & ~3;
    if (bytes > 0) std::memcpy(h + 40, par->extradata + extra - bytes, size_t(bytes));
    PutU32(h + 32, uint32_t(bytes > 0 ? bytes / 4 : 256));
  }
}

}  // namespace

// The stream's picture size, rate and length, and how its pictures are
// read: raw AVI frames as they are stored, anything else through a decoder.
MediaError Reader::Impl::TakeVideo(int index, const std::optional<SequenceRange>& sequence) {
  v.Follow(index);
  AVStream* st = v.Stream();
  const AVCodecParameters* par = st->codecpar;
  video.Width = par->width;
  video.Height = par->height;
  const bool avi = std::strstr(v.format->iformat->name, "avi") != nullptr;
  AVRational rate = avi ? AVRational{st->time_base.den, st->time_base.num}
                        : (st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate);
  // Pictures FFmpeg itself would refuse to allocate are refused here too, so
  // that the row and image sizes below stay well inside their types.
  if (rate.num <= 0 || rate.den <= 0 || video.Width <= 0 || video.Height <= 0 ||
      av_image_check_size(unsigned(video.Width), unsigned(video.Height), 0, nullptr) < 0)
    return MediaError::kFormat;
  video.Rate = uint32_t(rate.num);
  video.Scale = uint32_t(rate.den);
  startPts = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  video.Length = sequence ? sequence->Count : StreamLength(v.format, st, video);
  const int bits = par->bits_per_coded_sample;
  video.Raw = avi && par->codec_id == AV_CODEC_ID_RAWVIDEO && par->codec_tag == 0 &&
              (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  stride = ((video.Raw ? bits : 24) * video.Width + 31) / 32 * 4;
  imageSize = size_t(stride) * size_t(video.Height);
  if (video.Raw) {
    RawHeader(par, bits, imageSize, video);
    return MediaError::kNone;
  }
  return v.OpenDecoder() ? MediaError::kNone : MediaError::kDecoder;
}

// The sound stream, decoded and converted to 8 or 16-bit PCM of one or two
// channels at its own rate.
MediaError Reader::Impl::TakeAudio(const std::string& path, int index) {
  if (!a.OpenFile(path)) return MediaError::kCannotOpen;
  a.Follow(index);
  if (!a.OpenDecoder()) return MediaError::kAudio;
  AVCodecContext* dec = a.decoder.get();
  AVChannelLayout in{};
  if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || dec->ch_layout.nb_channels <= 0)
    av_channel_layout_default(&in, std::max(1, dec->ch_layout.nb_channels));
  else
    av_channel_layout_copy(&in, &dec->ch_layout);
  pcm.Rate = dec->sample_rate;
  pcm.Channels = in.nb_channels == 1 ? 1 : 2;  // more channels are mixed down to two
  pcm.Bits = (dec->sample_fmt == AV_SAMPLE_FMT_U8 || dec->sample_fmt == AV_SAMPLE_FMT_U8P) ? 8 : 16;
  AVChannelLayout out{};
  av_channel_layout_default(&out, pcm.Channels);
  SwrContext* context = nullptr;
  int r = swr_alloc_set_opts2(&context, &out, pcm.Bits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16,
                              pcm.Rate, &in, dec->sample_fmt, dec->sample_rate, 0, nullptr);
  swr.reset(context);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  if (r < 0 || pcm.Rate <= 0 || pcm.Rate > kMaxAudioRate || swr_init(swr.get()) < 0)
    return MediaError::kAudio;
  hasAudio = true;
  return MediaError::kNone;
}

MediaError Reader::Open(const std::string& path, double sequenceRate) {
  Close();
  Impl& m = *impl_;
  std::optional<SequenceRange> sequence;
  if (!OpenVideoInput(m.v, path, sequenceRate, sequence)) {
    Close();
    return MediaError::kCannotOpen;
  }
  int videoIndex = -1, audioIndex = -1;
  for (int i = 0; i < FirstStreams(m.v.format); i++) {
    const AVStream* st = m.v.format->streams[i];
    if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
      videoIndex = i;
    if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audioIndex = i;
  }
  MediaError e = videoIndex < 0 ? MediaError::kNoVideo : m.TakeVideo(videoIndex, sequence);
  if (e == MediaError::kNone && audioIndex >= 0) e = m.TakeAudio(path, audioIndex);
  if (e != MediaError::kNone) Close();
  return e;
}

bool Reader::ReadFrame(int64_t index, std::vector<uint8_t>& pixels) {
  Impl& m = *impl_;
  if (!m.v.format || index < 0) return false;
  if (m.video.Length > 0 && index >= m.video.Length) return false;
  for (;;) {
    if (!m.havePending && !m.videoEnd) {
      m.havePending = m.Fetch(m.pending, m.pendingIndex);
      if (!m.havePending) m.videoEnd = true;
    }
    // The first picture also stands for any index before it.
    if (m.havePending && (m.pendingIndex <= index || !m.haveCurrent)) {
      m.current.swap(m.pending);
      m.currentIndex = m.pendingIndex;
      m.haveCurrent = true;
      m.havePending = false;
      continue;
    }
    break;
  }
  if (!m.haveCurrent) return false;
  if (m.videoEnd && m.video.Length <= 0 && index > m.currentIndex) return false;
  pixels = m.current;
  return true;
}

int64_t Reader::ReadPcm(uint8_t* out, size_t size) {
  Impl& m = *impl_;
  if (!m.hasAudio) return 0;
  while (m.fifo.size() - m.fifoStart < size && !m.audioEnd)
    if (!m.DecodeMoreAudio()) return -1;
  size_t n = std::min(size, m.fifo.size() - m.fifoStart);
  if (n > 0) std::memcpy(out, m.fifo.data() + m.fifoStart, n);
  m.fifoStart += n;
  if (m.fifoStart > (1u << 20)) {  // drop what was read
    m.fifo.erase(m.fifo.begin(), m.fifo.begin() + long(m.fifoStart));
    m.fifoStart = 0;
  }
  return int64_t(n);
}

}  // namespace belmora::ffmpeg
