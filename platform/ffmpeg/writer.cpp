#include "platform/ffmpeg/backends.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/audio_fifo.h>
}

#include "platform/ffmpeg/ffmpeg_common.h"

namespace belmora::ffmpeg {

namespace {

// The picture formats each encoder is fed, in order of preference.
AVPixelFormat PixelFormatFor(const AVCodec* codec) {
  const AVPixelFormat preferred[] = {AV_PIX_FMT_BGR24,    AV_PIX_FMT_RGB24,   AV_PIX_FMT_BGR0,
                                     AV_PIX_FMT_BGRA,     AV_PIX_FMT_GBRP,    AV_PIX_FMT_RGB555LE,
                                     AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P};
  if (!codec->pix_fmts) return AV_PIX_FMT_YUV420P;
  for (AVPixelFormat want : preferred)
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; p++)
      if (*p == want) return want;
  return codec->pix_fmts[0];
}

AVSampleFormat SampleFormatFor(const AVCodec* codec, AVSampleFormat input) {
  if (!codec->sample_fmts) return input;
  for (const AVSampleFormat* p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; p++)
    if (*p == input) return input;
  return codec->sample_fmts[0];
}

}  // namespace

struct Writer::Impl {
  AVFormatContext* out = nullptr;
  bool headerWritten = false;
  // Video.
  AVStream* videoStream = nullptr;
  ff::CodecPtr videoCodec;  // none for uncompressed frames
  ff::SwsPtr sws;
  ff::FramePtr picture{av_frame_alloc()};
  int width = 0, height = 0, stride = 0;
  AVRational frameBase{1, 1};
  int64_t frames = 0;
  // Audio.
  AVStream* audioStream = nullptr;
  ff::CodecPtr audioCodec;  // none for PCM
  ff::SwrPtr swr;
  AVAudioFifo* fifo = nullptr;
  PcmFormatInfo pcm;
  int audioRate = 0;
  int64_t samplesOut = 0;
  ff::PacketPtr packet{av_packet_alloc()};
  int error = 0;  // the AVERROR of the last failed write

  ~Impl() {
    if (fifo) av_audio_fifo_free(fifo);
    if (out) {
      if (out->pb) avio_closep(&out->pb);
      avformat_free_context(out);
    }
  }

  bool Write(AVPacket* p, AVStream* st, AVRational from) {
    av_packet_rescale_ts(p, from, st->time_base);
    p->stream_index = st->index;
    const int r = av_interleaved_write_frame(out, p);
    if (r < 0) error = out->pb && out->pb->error < 0 ? out->pb->error : r;
    return r >= 0;
  }
  // Sends `frame` (none: flush) and writes every packet that comes out.
  bool Encode(AVCodecContext* c, AVFrame* frame, AVStream* st) {
    if (avcodec_send_frame(c, frame) < 0) return false;
    for (;;) {
      int r = avcodec_receive_packet(c, packet.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0 || !Write(packet.get(), st, c->time_base)) return false;
    }
  }
  // Encodes whole encoder frames from the FIFO; with `last`, the rest too.
  bool DrainAudio(bool last) {
    AVCodecContext* c = audioCodec.get();
    const int frameSize = c->frame_size > 0 ? c->frame_size : 1152;
    while (av_audio_fifo_size(fifo) >= frameSize || (last && av_audio_fifo_size(fifo) > 0)) {
      int n = std::min(frameSize, av_audio_fifo_size(fifo));
      ff::FramePtr f(av_frame_alloc());
      f->nb_samples = c->frame_size > 0 && !(c->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)
                          ? frameSize
                          : n;
      f->format = c->sample_fmt;
      f->sample_rate = c->sample_rate;
      av_channel_layout_copy(&f->ch_layout, &c->ch_layout);
      if (av_frame_get_buffer(f.get(), 0) < 0) return false;
      av_samples_set_silence(f->data, 0, f->nb_samples, c->ch_layout.nb_channels, c->sample_fmt);
      av_audio_fifo_read(fifo, reinterpret_cast<void**>(f->data), n);
      f->pts = samplesOut;
      samplesOut += f->nb_samples;
      if (!Encode(c, f.get(), audioStream)) return false;
    }
    return true;
  }
};

Writer::Writer() : impl_(std::make_unique<Impl>()) {}
Writer::~Writer() = default;
MediaError Writer::Open(const std::string& path, int width, int height, uint32_t rate,
                        uint32_t scale, const CompressOptions& video,
                        const std::string& videoEncoder, const WaveFormat* audio,
                        const PcmFormatInfo* pcm, const std::string& audioEncoder) {
  impl_ = std::make_unique<Impl>();
  Impl& m = *impl_;
  if (width <= 0 || height <= 0 || rate == 0 || scale == 0 || rate > INT32_MAX || scale > INT32_MAX)
    return MediaError::kFormat;
  if (avformat_alloc_output_context2(&m.out, nullptr, "avi", path.c_str()) < 0 || !m.out)
    return MediaError::kCannotOpen;
  m.width = width;
  m.height = height;
  m.stride = (24 * width + 31) / 32 * 4;
  m.frameBase = AVRational{int(scale), int(rate)};

  m.videoStream = avformat_new_stream(m.out, nullptr);
  if (!m.videoStream) return MediaError::kMemory;
  m.videoStream->time_base = m.frameBase;
  m.videoStream->avg_frame_rate = AVRational{int(rate), int(scale)};
  if (video.Uncompressed()) {
    AVCodecParameters* par = m.videoStream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = 0;
    par->format = AV_PIX_FMT_BGR24;
    par->width = width;
    par->height = height;
    par->bits_per_coded_sample = 24;
  } else {
    const AVCodec* codec =
        videoEncoder.empty() ? nullptr : avcodec_find_encoder_by_name(videoEncoder.c_str());
    if (!codec) return MediaError::kDecoder;
    m.videoCodec.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = m.videoCodec.get();
    c->width = width;
    c->height = height;
    c->time_base = m.frameBase;
    c->framerate = AVRational{int(rate), int(scale)};
    c->pix_fmt = PixelFormatFor(codec);
    c->thread_count = 1;
    if (video.dwFlags & kCompressKeyFrames) c->gop_size = int(std::max(1u, video.dwKeyFrameEvery));
    AVDictionary* options = nullptr;
    // Quality 0..10000 onto the encoder's own scale.
    const double quality = std::min(video.dwQuality, 10000u) / 10000.0;
    if (codec->id == AV_CODEC_ID_H264) {
      av_dict_set_int(&options, "crf", int64_t(51 - 41 * quality), 0);
      av_dict_set(&options, "preset", "veryfast", 0);
    } else if (codec->id == AV_CODEC_ID_MJPEG || codec->id == AV_CODEC_ID_MPEG4) {
      c->flags |= AV_CODEC_FLAG_QSCALE;
      c->global_quality = int((31 - 29 * quality) * FF_QP2LAMBDA);
    } else if ((video.dwFlags & kCompressDataRate) && video.dwBytesPerSecond) {
      c->bit_rate = int64_t(video.dwBytesPerSecond) * 8;
    }
    if (m.out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, codec, &options);
    av_dict_free(&options);
    if (r < 0) return MediaError::kDecoder;
    avcodec_parameters_from_context(m.videoStream->codecpar, c);
    m.sws.reset(sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, c->pix_fmt,
                               SWS_BICUBIC, nullptr, nullptr, nullptr));
    m.picture->format = c->pix_fmt;
    m.picture->width = width;
    m.picture->height = height;
    if (!m.sws || av_frame_get_buffer(m.picture.get(), 0) < 0) return MediaError::kMemory;
  }

  if (audio) {
    m.pcm =
        pcm ? *pcm
            : PcmFormatInfo{int(audio->nSamplesPerSec), audio->nChannels, audio->wBitsPerSample};
    m.audioRate = int(audio->nSamplesPerSec);
    m.audioStream = avformat_new_stream(m.out, nullptr);
    if (!m.audioStream || m.audioRate <= 0 || audio->nChannels < 1) return MediaError::kAudio;
    m.audioStream->time_base = AVRational{1, m.audioRate};
    AVCodecParameters* par = m.audioStream->codecpar;
    if (audio->wFormatTag == kWaveFormatPcm) {
      if (m.pcm.Rate != m.audioRate || m.pcm.Channels != audio->nChannels ||
          m.pcm.Bits != audio->wBitsPerSample || (m.pcm.Bits != 8 && m.pcm.Bits != 16))
        return MediaError::kAudio;
      par->codec_type = AVMEDIA_TYPE_AUDIO;
      par->codec_id = m.pcm.Bits == 8 ? AV_CODEC_ID_PCM_U8 : AV_CODEC_ID_PCM_S16LE;
      par->sample_rate = m.audioRate;
      av_channel_layout_default(&par->ch_layout, m.pcm.Channels);
      par->bits_per_coded_sample = m.pcm.Bits;
      par->block_align = m.pcm.BlockAlign();
      par->bit_rate = int64_t(m.audioRate) * m.pcm.BlockAlign() * 8;
    } else {
      const AVCodec* codec =
          audioEncoder.empty() ? nullptr : avcodec_find_encoder_by_name(audioEncoder.c_str());
      if (!codec) return MediaError::kAudio;
      m.audioCodec.reset(avcodec_alloc_context3(codec));
      AVCodecContext* c = m.audioCodec.get();
      c->sample_rate = m.audioRate;
      av_channel_layout_default(&c->ch_layout, audio->nChannels);
      const AVSampleFormat input = m.pcm.Bits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
      c->sample_fmt = SampleFormatFor(codec, input);
      c->time_base = AVRational{1, m.audioRate};
      if (audio->nAvgBytesPerSec && (codec->id == AV_CODEC_ID_MP3 || codec->id == AV_CODEC_ID_AC3))
        c->bit_rate = int64_t(audio->nAvgBytesPerSec) * 8;
      if (codec->id == AV_CODEC_ID_ADPCM_MS || codec->id == AV_CODEC_ID_ADPCM_IMA_WAV)
        c->block_align = audio->nBlockAlign;
      if (m.out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      if (avcodec_open2(c, codec, nullptr) < 0) return MediaError::kAudio;
      avcodec_parameters_from_context(par, c);
      AVChannelLayout in{};
      av_channel_layout_default(&in, m.pcm.Channels);
      SwrContext* swr = nullptr;
      int r = swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &in, input,
                                  m.pcm.Rate, 0, nullptr);
      m.swr.reset(swr);
      av_channel_layout_uninit(&in);
      if (r < 0 || swr_init(m.swr.get()) < 0) return MediaError::kAudio;
      m.fifo = av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels, 4096);
      if (!m.fifo) return MediaError::kAudio;
    }
  }

  if (avio_open(&m.out->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return MediaError::kCannotOpen;
  AVDictionary* muxerOptions = nullptr;
  // Uncompressed rows are stored bottom-up with a positive height, as
  // Windows players expect.
  if (video.Uncompressed()) av_dict_set(&muxerOptions, "flipped_raw_rgb", "1", 0);
  int r = avformat_write_header(m.out, &muxerOptions);
  av_dict_free(&muxerOptions);
  if (r < 0) return MediaError::kCannotOpen;
  m.headerWritten = true;
  return MediaError::kNone;
}

bool Writer::WriteVideo(const uint8_t* rows) {
  Impl& m = *impl_;
  if (!m.headerWritten) return false;
  const int64_t index = m.frames++;
  if (!m.videoCodec) {
    if (av_new_packet(m.packet.get(), m.stride * m.height) < 0) return false;
    std::memcpy(m.packet->data, rows, size_t(m.stride) * size_t(m.height));
    m.packet->pts = m.packet->dts = index;
    m.packet->duration = 1;
    m.packet->flags |= AV_PKT_FLAG_KEY;
    return m.Write(m.packet.get(), m.videoStream, m.frameBase);
  }
  if (av_frame_make_writable(m.picture.get()) < 0) return false;
  // Bottom-up input: begin at the last row and step backwards.
  const uint8_t* src[4] = {rows + size_t(m.height - 1) * size_t(m.stride), nullptr, nullptr,
                           nullptr};
  const int srcStride[4] = {-m.stride, 0, 0, 0};
  sws_scale(m.sws.get(), src, srcStride, 0, m.height, m.picture->data, m.picture->linesize);
  m.picture->pts = index;
  return m.Encode(m.videoCodec.get(), m.picture.get(), m.videoStream);
}

bool Writer::WriteAudio(const uint8_t* data, size_t bytes) {
  Impl& m = *impl_;
  if (!m.headerWritten || !m.audioStream) return false;
  const int samples = int(bytes / size_t(m.pcm.BlockAlign()));
  if (samples == 0) return true;
  if (!m.audioCodec) {
    if (av_new_packet(m.packet.get(), int(bytes)) < 0) return false;
    std::memcpy(m.packet->data, data, bytes);
    m.packet->pts = m.packet->dts = m.samplesOut;
    m.packet->duration = samples;
    m.packet->flags |= AV_PKT_FLAG_KEY;
    m.samplesOut += samples;
    return m.Write(m.packet.get(), m.audioStream, AVRational{1, m.audioRate});
  }
  const int capacity = swr_get_out_samples(m.swr.get(), samples) + 32;
  std::vector<uint8_t*> planes(8, nullptr);
  if (av_samples_alloc(planes.data(), nullptr, m.audioCodec->ch_layout.nb_channels, capacity,
                       m.audioCodec->sample_fmt, 0) < 0)
    return false;
  const uint8_t* in[1] = {data};
  int n = swr_convert(m.swr.get(), planes.data(), capacity, in, samples);
  bool ok = n >= 0 && av_audio_fifo_write(m.fifo, reinterpret_cast<void**>(planes.data()), n) == n;
  av_freep(&planes[0]);
  return ok && m.DrainAudio(false);
}

int Writer::Error() const {
  // An AVERROR made of an errno (AVERROR(e) is -e), where the file failed.
  const int e = impl_ ? impl_->error : 0;
  return e < 0 && e > -4096 ? -e : error_;
}

bool Writer::Close() {
  Impl& m = *impl_;
  if (!m.headerWritten) {
    impl_ = std::make_unique<Impl>();
    return false;
  }
  bool ok = true;
  if (m.audioCodec)
    ok &= m.DrainAudio(true) && m.Encode(m.audioCodec.get(), nullptr, m.audioStream);
  if (m.videoCodec) ok &= m.Encode(m.videoCodec.get(), nullptr, m.videoStream);
  ok &= av_write_trailer(m.out) >= 0;
  // A write the buffered output could not make shows only in its error.
  avio_flush(m.out->pb);
  if (m.out->pb->error < 0) m.error = m.out->pb->error;
  ok &= m.out->pb->error == 0;
  ok &= avio_closep(&m.out->pb) >= 0;
  // The system's reason, where the failure was one of the file's.
  if (m.error < 0 && m.error > -4096) error_ = -m.error;
  impl_ = std::make_unique<Impl>();
  return ok;
}

}  // namespace belmora::ffmpeg
