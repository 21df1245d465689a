#include "convert/frame_codec.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/bytes.h"
#include "mdec/variants.h"

namespace belmora {

void ConcealFrame(FrameCodec& codec, std::span<const uint8_t> frame,
                  const VideoChunkHeader& header, size_t intactBytes) {
  const int width = header.Width, height = header.Height;
  if (width <= 0 || height <= 0 || width > kMaxFrameDimension || height > kMaxFrameDimension)
    return;
  const int paddedWidth = (width + 15) / 16 * 16, paddedHeight = (height + 15) / 16 * 16;
  if (codec.Image.Width != paddedWidth || codec.Image.Height != paddedHeight) {
    codec.Image.LayOut(paddedWidth, paddedHeight);
    std::fill(codec.Image.Pixels.begin(), codec.Image.Pixels.end(), uint8_t(kConcealGrey));
  }
  (void)codec.Codec.DecodeFramePart(frame, width, height, codec.HalfWidthView, codec.Image,
                                    intactBytes);
}

int DecodeFrameOf(MdecCodec& codec, FrameCoding coding, std::span<const uint8_t> frame,
                  int width, int height, bool halfWidth, FrameImage& image) {
  return BitstreamCodecFor(coding).Decode(codec, frame, width, height, halfWidth, image);
}

bool FrameHeaderFields(FrameCoding coding, std::span<const uint8_t> frame, int& version,
                       int& scale) {
  switch (coding) {
    case FrameCoding::kStandard:
    case FrameCoding::kVersion1: {
      const int at = LocateFrameHeader(frame.data(), frame.size());
      if (at < 0) return false;
      scale = GetU16(frame.data() + at + 4);
      version = GetU16(frame.data() + at + 6);
      return true;
    }
    case FrameCoding::kLain:
      if (frame.size() < 8) return false;
      scale = frame[0];  // the luma scale; the chroma scale follows it
      version = GetU16(frame.data() + 6);
      return true;
    case FrameCoding::kIki:
      break;
  }
  return false;
}

bool CodecProbe::Decodes(FrameCoding coding, std::span<const uint8_t> frame, int width,
                         int height) {
  return DecodeFrameOf(codec_, coding, frame, width, height, false, image_) == 0;
}

int OpenMovieFile(StrDocument& doc, Host& host, const std::string& path, OpenMode mode) {
  CodecProbe probe;
  return OpenStrFile(doc, host, path, mode, &probe);
}

bool RefuseUndecodableMovie(const StrDocument& doc, Host& host) {
  if (doc.FramesDecode) return false;
  Show(host, msg::kFramesDoNotDecode, doc.Path.c_str());
  return true;
}

int DecodeCurrentFrame(FrameCodec& codec, StrDocument& doc) {
  const int width = doc.ChunkHeader.Width, height = doc.ChunkHeader.Height;
  codec.ImageSector = -1;
  if (doc.FrameDamaged) {
    ConcealFrame(codec, doc.FrameBuffer, doc.ChunkHeader, doc.IntactBytes());
  } else if (DecodeFrameOf(codec.Codec, doc.Format->Frames(), doc.FrameBuffer, width, height,
                           codec.HalfWidthView, codec.Image) != 0) {
    return -1;
  }
  codec.ImageFile = doc.Path;
  codec.ImageSector = doc.CurrentSector;
  if (doc.PictureWidth != width || doc.PictureHeight != height) doc.SetPictureSize(width, height);
  return 0;
}

namespace {

// Damaged frames in a row concealed one over another before the picture
// falls back to grey: the frames a reader would have walked through.
constexpr int kConcealDepth = 16;

int DecodeAsShown(FrameCodec& codec, StrDocument& doc, int depth) {
  if (!doc.FrameDamaged) return DecodeCurrentFrame(codec, doc);
  const int32_t at = doc.CurrentSector;
  bool ready = false;
  if (FindPreviousFrame(doc) == 0) {
    ready = codec.ImageFile == doc.Path && codec.ImageSector == doc.CurrentSector;
    CollectingHost quiet;
    if (!ready && depth < kConcealDepth && ReadFrame(doc, quiet) == 0)
      ready = DecodeAsShown(codec, doc, depth + 1) == 0;
  }
  if (!ready) std::fill(codec.Image.Pixels.begin(), codec.Image.Pixels.end(), kConcealGrey);
  doc.CurrentSector = at;
  CollectingHost quiet;
  if (ReadFrame(doc, quiet) != 0) return -1;
  return DecodeCurrentFrame(codec, doc);
}

}  // namespace

int DecodeFrameAsShown(FrameCodec& codec, StrDocument& doc) {
  return DecodeAsShown(codec, doc, 0);
}

int ReadAndDecodeFrame(FrameCodec& codec, StrDocument& doc) {
  int r = ReadFrame(doc);
  if (r != 0) return r;
  return DecodeCurrentFrame(codec, doc) != 0 ? -2 : 0;
}

int PrepareEncode(StrDocument& doc, Host& host, const TBmpIo& picture, EncodeWork& work) {
  VideoChunkHeader& header = doc.ChunkHeader;
  if (doc.FrameDamaged) {
    Show(host, msg::kDamagedFrame, doc.Path.c_str(), int(header.FrameNumber));
    return -1;
  }
  if (header.Width > kMaxFrameDimension || header.Height > kMaxFrameDimension ||
      header.ChunkCount == 0 || header.ChunkCount > doc.ValidChunkSectors) {
    Show(host, msg::kFrameTooLarge, int(header.ChunkCount));
    return -1;
  }
  if (doc.PictureWidth != header.Width || doc.PictureHeight != header.Height)
    doc.SetPictureSize(header.Width, header.Height);

  // The picture as the frame sees it: its padded area, offsets applied.
  const int width = (header.Width + 15) / 16 * 16, height = (header.Height + 15) / 16 * 16;
  // The frame is coded as the movie's are, into its own sectors' room,
  // keeping what the frame it replaces holds beside the picture (a game's
  // camera data) and its version.
  const size_t n = std::min<size_t>(header.FrameDataSize, doc.FrameBuffer.size());
  work.Replaced.assign(doc.FrameBuffer.begin(), doc.FrameBuffer.begin() + ptrdiff_t(n));
  work.Request = {header.Width, header.Height, doc.Format->VersionFor(header, work.Replaced),
                  doc.Format->Capacity(header.ChunkCount)};
  work.Status = EncodeStatus::kOk;
  work.Coding = doc.Format->Frames();
  try {
    work.Pixels.resize(size_t(width) * size_t(height) * 3);
    ReadFramePixels(picture, width, height, work.Pixels.data());
  } catch (const std::bad_alloc&) {
    work.Status = EncodeStatus::kNoMemory;
  }
  return 0;
}

int PrepareEncode(StrDocument& doc, const TBmpIo& picture, EncodeWork& work) {
  return PrepareEncode(doc, *doc.Ui, picture, work);
}

void RunEncode(FrameCodec& codec, EncodeWork& work) {
  if (work.Status != EncodeStatus::kOk) return;
  const int width = (work.Request.Width + 15) / 16 * 16;
  const int height = (work.Request.Height + 15) / 16 * 16;
  try {
    const FrameView view{work.Pixels.data(), width, height, width * 3};
    // The encoders of the program's own make standard frames; other
    // codings have their codec's.
    if (work.Coding != FrameCoding::kStandard) {
      work.Status = BitstreamCodecFor(work.Coding)
                        .Encode(codec.Codec, view, work.Request, work.Replaced, work.Encoded);
      if (work.Encoded.Bytes.size() < size_t(std::max(work.Request.Capacity, kFrameBufferSize)))
        work.Encoded.Bytes.resize(size_t(std::max(work.Request.Capacity, kFrameBufferSize)));
    } else {
      work.Status = codec.Encoder == EncoderChoice::kBest
                        ? codec.Best.EncodeFrame(view, work.Request, work.Encoded)
                        : codec.Codec.EncodeFrame(view, work.Request, work.Encoded);
    }
  } catch (const std::bad_alloc&) {
    work.Status = EncodeStatus::kNoMemory;
  }
  // The encoding becomes the frame buffer, zero-filled up to the capacity.
  if (work.Status == EncodeStatus::kOk)
    std::fill(work.Encoded.Bytes.begin() + work.Encoded.Length,
              work.Encoded.Bytes.begin() + work.Request.Capacity, uint8_t(0));
}

int FinishEncode(StrDocument& doc, Host& host, EncodeWork& work, FrameNumbering& numbering,
                 EncodeResult* result) {
  VideoChunkHeader& header = doc.ChunkHeader;
  if (result) result->Trials = work.Encoded.Trials;
  if (work.Status == EncodeStatus::kNoMemory) {
    Show(host, msg::kNoMemory);
    return -1;
  }
  if (work.Status != EncodeStatus::kOk) {
    Show(host, msg::kNoScaleFits);
    return -1;
  }
  const EncodedFrame& encoded = work.Encoded;
  doc.FrameBuffer.swap(work.Encoded.Bytes);
  header.FrameDataSize = doc.Format->SizeField(size_t(encoded.Length), header.ChunkCount);
  std::memcpy(header.MdecHeader.data(), doc.FrameBuffer.data(), 8);
  if (numbering.Renumber) {
    header.FrameNumber = uint32_t(numbering.NextNumber);
    numbering.NextNumber = int32_t(uint32_t(numbering.NextNumber) + 1);
  } else {
    numbering.NextNumber = int32_t(header.FrameNumber + 1);
  }
  if (numbering.NextNumber > numbering.NumberLimit) numbering.NextNumber = numbering.WrapNumber;
  if (result) {
    result->Scale = encoded.Scale;
    result->Bytes = encoded.Length;
  }
  return 0;
}

int FinishEncode(StrDocument& doc, EncodeWork& work, FrameNumbering& numbering,
                 EncodeResult* result) {
  return FinishEncode(doc, *doc.Ui, work, numbering, result);
}

int EncodeFrame(FrameCodec& codec, StrDocument& doc, Host& host, const TBmpIo& picture,
                FrameNumbering& numbering, EncodeResult* result) {
  EncodeWork work;
  if (PrepareEncode(doc, host, picture, work) != 0) return -1;
  RunEncode(codec, work);
  return FinishEncode(doc, host, work, numbering, result);
}

int EncodeFrame(FrameCodec& codec, StrDocument& doc, const TBmpIo& picture,
                FrameNumbering& numbering, EncodeResult* result) {
  return EncodeFrame(codec, doc, *doc.Ui, picture, numbering, result);
}

int EncodeAndStoreFrame(FrameCodec& codec, StrDocument& doc, Host& host, const TBmpIo& picture,
                        FrameNumbering& numbering, EncodeResult* result) {
  if (RefuseIfReadOnly(doc, host)) return -1;
  if (EncodeFrame(codec, doc, host, picture, numbering, result) != 0) return -1;
  const int written = WriteFrame(doc, host);
  if (DecodeCurrentFrame(codec, doc) != 0) return -1;
  return written;
}

int EncodeAndStoreFrame(FrameCodec& codec, StrDocument& doc, const TBmpIo& picture,
                        FrameNumbering& numbering, EncodeResult* result) {
  return EncodeAndStoreFrame(codec, doc, *doc.Ui, picture, numbering, result);
}

}  // namespace belmora
