#include "convert/str_to_avi.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>

#include "base/messages.h"
#include "convert/frame_pipeline.h"
#include "convert/output_file.h"
#include "convert/progress.h"
#include "platform/media_module.h"

namespace belmora {

int AviAudioState::WriteAudioSector(uint8_t* image) {
  if (image[1] != Channel) return 0;
  int32_t n = 0;
  Decoded.resize(XaMaxOutputBytes(*Decoder));
  XaDecodeSector(*Decoder, image, Decoded.data(), n);
  if (Failed) return 0;
  if (!UseConverter) {
    Failed = !Writer->WriteAudio(Decoded.data(), size_t(n));
    SamplesWritten += n / BlockSize;
    return 0;
  }
  if (Fill + size_t(n) > PcmBuffer.size()) PcmBuffer.resize(Fill + size_t(n));
  std::memcpy(PcmBuffer.data() + Fill, Decoded.data(), size_t(n));
  Fill += size_t(n);
  const size_t chunks = Fill / SourceChunk;
  if (chunks == 0) return 0;
  const size_t used = chunks * SourceChunk;
  if (!Writer->WriteAudio(PcmBuffer.data(), used)) {
    Failed = true;
    return 0;
  }
  std::memmove(PcmBuffer.data(), PcmBuffer.data() + used, Fill - used);
  Fill -= used;
  return 0;
}

void AviAudioState::Finish() {
  if (UseConverter && Fill > 0 && !Failed) Failed = !Writer->WriteAudio(PcmBuffer.data(), Fill);
  Fill = 0;
}

StrToAviResult ConvertStrToAvi(const StrToAviOptions& form, StrDocument& doc, FrameCodec& codec,
                               XaDecoderState& decoder, Host& ui, int threadCount) {
  StrToAviResult result;
  // Refused before anything is touched: writing over the open movie or
  // into a folder, rates that cannot time the frames, sizes no frame has.
  if (!CheckOutputPath(ui, form.OutputPath, {doc.Path, doc.DiskPath()}, true, msg::kSameFile))
    return result;
  const uint32_t scale = VideoScaleFor(form.VideoRate);
  if (scale == 0) {
    Show(ui, msg::kBadFrameRate, form.VideoRate);
    return result;
  }
  if (form.VideoWidth < 1 || form.VideoWidth > kMaxFrameDimension || form.VideoHeight < 1 ||
      form.VideoHeight > kMaxFrameDimension) {
    Show(ui, msg::kBadFrameSize, form.VideoWidth, form.VideoHeight);
    return result;
  }
  if (form.Audio && !ValidPcmFormat(form.PcmRate, form.PcmChannels, form.PcmBits)) {
    Show(ui, msg::kBadAudioFormat, form.PcmRate, form.PcmChannels, form.PcmBits);
    return result;
  }
  if (!Ok(RequireMediaModule(ui))) return result;

  ui.BeginProgress();
  ScopedAudioHook hook(doc);
  auto finishRun = [&] {
    ui.EndProgress();
    hook.Remove();
  };

  // The AVI frames: 24-bit rows bottom-up, the picture's left edge kept.
  const int width = form.VideoWidth, height = form.VideoHeight;
  const size_t stride = size_t(24 * width + 31) / 8 & ~size_t(3);
  std::vector<uint8_t> frame;
  try {
    frame.assign(stride * size_t(std::max(height, 0)), 0);
  } catch (const std::bad_alloc&) {
    Show(ui, msg::kMallocError);
    finishRun();
    return result;
  }

  // Written beside the output and put in its place once complete.
  PartFile part(form.OutputPath);
  if (!part.Create(ui)) {
    finishRun();
    return result;
  }
  MediaWriter writer;
  const bool audio = form.Audio;
  PcmFormatInfo pcm{form.PcmRate, form.PcmChannels, form.PcmBits};
  MediaError opened =
      writer.Open(part.Part(), width, height, 150000, scale, form.Compress,
                  audio ? &form.AudioFormat : nullptr, audio ? &pcm : nullptr);
  switch (opened) {
    case MediaError::kNone:
      break;
    case MediaError::kDecoder:
      Show(ui, msg::kVideoCompressorFailed);
      break;
    case MediaError::kAudio:
      Show(ui, form.AudioFormat.wFormatTag == kWaveFormatPcm ? msg::kAudioStreamFailed
                                                             : msg::kAudioCodecFailed);
      break;
    case MediaError::kFormat:
      Show(ui, msg::kVideoStreamFailed);
      break;
    case MediaError::kModule:
      (void)RequireMediaModule(ui);
      break;
    default:
      Show(ui, msg::kAviCreateFailed);
      break;
  }
  if (opened != MediaError::kNone) {
    writer.Close();
    finishRun();
    return result;
  }

  AviAudioState state;
  // Audio sectors passed by the reads of a frame read ahead wait with it;
  // null: straight to the writer.
  std::vector<std::vector<uint8_t>>* heldSound = nullptr;
  if (audio) {
    state.Writer = &writer;
    state.Decoder = &decoder;
    state.Channel = doc.AudioChannels[0];
    state.BlockSize = std::max<int>(1, form.AudioFormat.nBlockAlign);
    state.UseConverter = form.AudioFormat.wFormatTag != kWaveFormatPcm;
    const size_t bytesPerSecond =
        size_t(form.PcmRate) * size_t(form.PcmChannels) * size_t(form.PcmBits) / 8;
    state.SourceChunk = std::max<size_t>(bytesPerSecond, 1);
    state.PcmBuffer.assign(2 * state.SourceChunk + 256, 0);
    XaSetOutputFormat(decoder, form.PcmRate, form.PcmChannels, form.PcmBits);
    hook.Install([&state, &result, &heldSound](uint8_t* image) {
      if (heldSound) {
        heldSound->emplace_back(image, image + kSectorImageSize);
        return 0;
      }
      if (image[1] == state.Channel) result.AudioSectors++;
      return state.WriteAudioSector(image);
    });
  }

  // The frame loop: AVI frame k shows the first STR frame whose time is not
  // earlier than k / rate. The frames are read here in order, decoded on the
  // pipeline's threads, and written here in order, each after the sound its
  // reads passed.
  const int32_t first = form.FirstSector, last = form.LastSector;
  int frameIndex = 0;
  doc.NextSector = doc.CurrentSector = first;
  (void)ReadFrame(doc);  // after a failure NextSector stays at the first sector
  (void)DecodeCurrentFrame(codec, doc);
  double strTime = 0;
  int strIndex = 0;     // the STR frame's index in the range
  FrameImage overlaid;  // the picture with the overlay drawn on
  bool readFailed = false, writeFailed = false, stopped = false;
  Host* const docHost = doc.Ui;  // where the reads' own messages go

  struct ExportFrame {
    FramePosition Position;  // the frame read, and where the walk stands
    std::vector<std::vector<uint8_t>> Sound;
    DeferredMessages Messages;
    bool Decoded = false;
    FrameImage Image;
    std::vector<uint8_t> Frame;  // the AVI frame, when made by the worker
    bool FrameReady = false;
    int StrIndex = 0;  // of the STR frame the picture comes from
  };
  // Copies the picture into an AVI frame: rows bottom-up, left edge kept.
  auto makeFrame = [&](const FrameImage& image, std::vector<uint8_t>& out) {
    out.assign(stride * size_t(height), 0);
    const int rows = std::min(image.Height, height);
    const size_t rowBytes = std::min(size_t(image.Width) * 3, size_t(width) * 3);
    const size_t sourceStride = (size_t(image.Stride()) + 3) & ~size_t(3);
    for (int i = 0; i < rows; i++)
      std::memcpy(&out[size_t(rows - 1 - i) * stride], &image.Pixels[size_t(i) * sourceStride],
                  rowBytes);
  };
  const int threads = threadCount > 0 ? threadCount : DefaultThreadCount();
  std::vector<MdecCodec> decoders(size_t(threads), codec.Codec);
  std::vector<std::unique_ptr<ExportFrame>> jobs;
  auto work = [&](int slot, int worker) {
    ExportFrame& job = *jobs[size_t(slot)];
    const VideoChunkHeader& h = job.Position.ChunkHeader;
    // A frame that lacks chunks is drawn over the picture before it, in turn.
    if (job.Position.FrameDamaged) {
      job.Decoded = job.FrameReady = false;
      return;
    }
    job.Decoded = decoders[size_t(worker)].DecodeFrame(job.Position.FrameBuffer, h.Width, h.Height,
                                                       codec.HalfWidthView, job.Image) == 0;
    // A whole picture makes its AVI frame here; a half one (its right half
    // is the earlier pictures') or a failed one in turn.
    // An overlay is drawn in turn too.
    job.FrameReady = job.Decoded && !codec.HalfWidthView && !form.Overlay;
    if (job.FrameReady) makeFrame(job.Image, job.Frame);
  };
  FramePipeline pipeline(threads, work);
  for (int i = 0; i < pipeline.Depth(); i++) jobs.push_back(std::make_unique<ExportFrame>());
  FramePosition written;  // where the walk stood after the last frame written
  std::vector<MovieFrame> damaged;  // frames written concealed
  bool anyWritten = false;

  // Writes the oldest frame; false when the run stops there.
  auto writeOldest = [&]() -> bool {
    ExportFrame& job = *jobs[size_t(pipeline.TakeOldest())];
    job.Messages.Replay();
    const VideoChunkHeader& h = job.Position.ChunkHeader;
    if (job.Decoded) {
      if (doc.PictureWidth != h.Width || doc.PictureHeight != h.Height)
        doc.SetPictureSize(h.Width, h.Height);
      AdoptDecodedPicture(codec.Image, job.Image, codec.HalfWidthView);
    } else if (job.Position.FrameDamaged) {
      ConcealFrame(codec, job.Position.FrameBuffer, h, IntactFrameBytes(h.ChunkCount, job.Position.ChunksPresent));
      if (doc.PictureWidth != h.Width || doc.PictureHeight != h.Height)
        doc.SetPictureSize(h.Width, h.Height);
      if (damaged.empty() || damaged.back().FirstSector != job.Position.CurrentSector)
        damaged.push_back({job.Position.CurrentSector, h.FrameNumber, uint8_t(h.ChunkCount),
                           uint8_t(std::popcount(job.Position.ChunksPresent))});
    } else {
      // A frame that does not decode is written as the picture then holds it.
      (void)codec.Codec.DecodeFrame(job.Position.FrameBuffer, h.Width, h.Height,
                                    codec.HalfWidthView, codec.Image);
    }
    ui.PreviewFrame(codec.View());
    for (auto& image : job.Sound) {
      if (image[1] == state.Channel) result.AudioSectors++;
      state.WriteAudioSector(image.data());
    }
    job.Sound.clear();
    if (form.Overlay) {
      overlaid = codec.Image;
      form.Overlay(job.StrIndex, overlaid);
      makeFrame(overlaid, job.Frame);
    } else if (!job.FrameReady) {
      makeFrame(codec.Image, job.Frame);
    }
    std::swap(written, job.Position);
    anyWritten = true;
    if (!writer.WriteVideo(job.Frame.data())) {
      Show(ui, msg::kVideoWriteFailed);
      writeFailed = true;
      return false;
    }
    if (state.Failed) return false;
    frameIndex++;
    ReportFrame(ui, written.CurrentSector, written.ChunkHeader.FrameNumber, first, last);
    // The user's stop ends the AVI after this frame; the frames read ahead
    // (and the sound their reads passed) are dropped.
    if (ui.CancelRequested()) {
      result.Cancelled = true;
      return false;
    }
    return true;
  };

  int readIndex = 0;  // AVI frames read (ahead of those written)
  while (!stopped && doc.NextSector <= last && !readFailed) {
    ExportFrame& job = *jobs[size_t(pipeline.NextSlot())];
    doc.Ui = &job.Messages.To(*docHost);
    heldSound = &job.Sound;
    const double aviTime = form.FrameExact ? readIndex : readIndex / form.VideoRate;
    while (aviTime > strTime) {
      doc.CurrentSector = doc.NextSector;
      if (ReadFrame(doc) != 0) {
        Show(job.Messages.To(ui), msg::kStrReadError);
        // The same position would fail again for every later frame: the
        // AVI ends here, with this frame the last.
        readFailed = true;
        break;
      }
      strIndex++;
      strTime = form.FrameExact ? strIndex
                                : (doc.CurrentSector - first) * (1.0 / kSectorsPerSecond) /
                                      doc.SpeedFactor;
    }
    job.StrIndex = strIndex;
    heldSound = nullptr;
    doc.Ui = docHost;
    job.Position.Take(doc);
    readIndex++;
    pipeline.Submit();
    while (!stopped && pipeline.Full()) stopped = !writeOldest();
  }
  while (!stopped && !pipeline.Empty()) stopped = !writeOldest();
  while (!pipeline.Empty()) (void)pipeline.TakeOldest();  // read after a stop: dropped
  // The document is left at the last frame written.
  if (anyWritten) written.Swap(doc);
  ui.Progress({100, doc.CurrentSector, doc.ChunkHeader.FrameNumber});

  if (audio) state.Finish();
  hook.Remove();
  // Damage in the source is listed; it does not fail the export.
  if (!damaged.empty())
    Show(ui, msg::kDamagedFramesShown, doc.Path.c_str(), DamagedFramesText(damaged).c_str());
  bool ok = !writeFailed && !state.Failed;
  if (state.Failed) Show(ui, msg::kAudioWriteFailed);
  if (!writer.Close() && ok) {
    Show(ui, msg::kWriteError, form.OutputPath.c_str(), "AVI");
    ok = false;
  }
  finishRun();
  if (!ok || !part.Commit(ui)) return result;
  result.Completed = true;
  result.FramesWritten = frameIndex;
  return result;
}

}  // namespace belmora
