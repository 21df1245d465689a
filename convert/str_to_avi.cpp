#include "convert/str_to_avi.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/messages.h"
#include "convert/output_file.h"
#include "convert/progress.h"

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
                               XaDecoderState& decoder, Host& ui) {
  StrToAviResult result;
  // Refused before anything is touched: writing over the open movie or
  // into a folder, rates that cannot time the frames, sizes no frame has.
  if (!CheckOutputPath(ui, form.OutputPath, {doc.Path}, true, msg::kSameFile)) return result;
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
    hook.Install([&state, &result](uint8_t* image) {
      if (image[1] == state.Channel) result.AudioSectors++;
      return state.WriteAudioSector(image);
    });
  }

  // The frame loop: AVI frame k shows the first STR frame whose time is not
  // earlier than k / rate.
  const int32_t first = form.FirstSector, last = form.LastSector;
  int frameIndex = 0;
  doc.NextSector = doc.CurrentSector = first;
  (void)ReadFrame(doc);  // after a failure NextSector stays at the first sector
  (void)DecodeCurrentFrame(codec, doc);
  double strTime = 0;
  int strIndex = 0;     // the STR frame's index in the range
  FrameImage overlaid;  // the picture with the overlay drawn on
  bool readFailed = false, writeFailed = false;
  while (doc.NextSector <= last && !readFailed) {
    const double aviTime = form.FrameExact ? frameIndex : frameIndex / form.VideoRate;
    while (aviTime > strTime) {
      doc.CurrentSector = doc.NextSector;
      if (ReadFrame(doc) != 0) {
        Show(ui, msg::kStrReadError);
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
    // A frame that does not decode is written as the picture then holds it.
    (void)DecodeCurrentFrame(codec, doc);
    ui.PreviewFrame(codec.View());

    const FrameImage* shown = &codec.Image;
    if (form.Overlay) {
      overlaid = codec.Image;
      form.Overlay(strIndex, overlaid);
      shown = &overlaid;
    }

    std::fill(frame.begin(), frame.end(), uint8_t(0));
    const int rows = std::min(shown->Height, height);
    const size_t rowBytes = std::min(size_t(shown->Width) * 3, size_t(width) * 3);
    const size_t sourceStride = (size_t(shown->Stride()) + 3) & ~size_t(3);
    for (int i = 0; i < rows; i++)
      std::memcpy(&frame[size_t(rows - 1 - i) * stride],
                  &shown->Pixels[size_t(i) * sourceStride], rowBytes);
    if (!writer.WriteVideo(frame.data())) {
      Show(ui, msg::kVideoWriteFailed);
      writeFailed = true;
      break;
    }
    if (state.Failed) break;
    frameIndex++;
    if (FrameDone(ui, doc, first, last)) {
      result.Cancelled = true;
      break;
    }
  }
  ui.Progress({100, doc.CurrentSector, doc.ChunkHeader.FrameNumber});

  if (audio) state.Finish();
  hook.Remove();
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
