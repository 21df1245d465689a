// The current frame of the document between the file and the codec: decoded
// into the picture, and encoded from a picture into the sectors it occupies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mdec/best_encoder.h"
#include "mdec/codec.h"
#include "media/bmp_io.h"
#include "str/str_document.h"

namespace belmora {

// Which encoder turns pictures into frames: the exact one (the program's
// own, reproducible bit for bit) or the best-quality one.
enum class EncoderChoice { kExact, kBest };

// The codec and the picture it decodes into, with the view's half-width
// setting; the viewer owns one, as do the conversions it runs.
struct FrameCodec {
  MdecCodec Codec;
  FrameImage Image;
  bool HalfWidthView = false;
  EncoderChoice Encoder = EncoderChoice::kExact;
  BestEncoder Best;
  // The frame whose picture Image holds (its file and first sector), as
  // DecodeCurrentFrame left it: a damaged frame is concealed from it only
  // where it is the frame before.
  std::string ImageFile;
  int32_t ImageSector = -1;

  FrameView View() const { return Image.View(HalfWidthView); }
};

// How encoded frames are numbered; set up by the AVI-to-STR conversion and
// applied by every later encoding.
struct FrameNumbering {
  bool Renumber = false;
  int32_t NextNumber = 0;
  int32_t WrapNumber = 0;
  int32_t NumberLimit = 0;
};

// What an encoding chose, for callers that report it.
struct EncodeResult {
  int Scale = 0;
  int Bytes = 0;            // bitstream length, header included
  std::vector<int> Trials;  // scales tried, in order
};

// The picture of a frame that lacks chunks: the macroblocks its intact
// bytes hold decoded over the picture as it is (the frame before), the
// others kept; grey where the picture held no frame of this size.
inline constexpr uint8_t kConcealGrey = 128;
void ConcealFrame(FrameCodec& codec, std::span<const uint8_t> frame,
                  const VideoChunkHeader& header, size_t intactBytes);

// Decodes a frame's bytes, coded in `coding`, into `image`; -1 when the
// frame is not decodable.
[[nodiscard]] int DecodeFrameOf(MdecCodec& codec, FrameCoding coding,
                                std::span<const uint8_t> frame, int width, int height,
                                bool halfWidth, FrameImage& image);

// Decodes the current frame (FrameBuffer as ChunkHeader describes it) into
// the picture; the document takes over a picture size that changed. -1 when
// the frame is not decodable (not reported: callers decide).
[[nodiscard]] int DecodeCurrentFrame(FrameCodec& codec, StrDocument& doc);
// DecodeCurrentFrame as every reader shows the frame, whichever way it came:
// a damaged frame is drawn over the frame before it in file order (decoded
// first when the picture at hand is not that one; grey before the movie's
// first frame). The cursor stays on the frame.
[[nodiscard]] int DecodeFrameAsShown(FrameCodec& codec, StrDocument& doc);
// ReadFrame, then DecodeCurrentFrame: 0, 1 (no frame in the window), -1 (no
// frame read), -2 (read, but not decodable).
[[nodiscard]] int ReadAndDecodeFrame(FrameCodec& codec, StrDocument& doc);

// The MDEC version and quantizer scale a frame's own header gives, where its
// coding keeps them: the standard header (behind the camera data some games
// put in front of it), or Lain's luma scale and version word. False where
// the frame has no such header or no single scale (iki gives every block
// its own).
bool FrameHeaderFields(FrameCoding coding, std::span<const uint8_t> frame, int& version,
                       int& scale);

// Tells whether a frame decodes in a coding, with a codec of its own: what
// the open asks of a movie's first frames.
class CodecProbe : public FrameProbe {
 public:
  bool Decodes(FrameCoding coding, std::span<const uint8_t> frame, int width,
               int height) override;

 private:
  MdecCodec codec_;
  FrameImage image_;
};

// Opens `path` as OpenStrFile does, its layout recognised by its frames too.
[[nodiscard]] int OpenMovieFile(StrDocument& doc, Host& host, const std::string& path,
                                OpenMode mode);

// A movie none of whose frames decode (as the open found): said to `host`
// and true, so that an export stops before it writes anything.
[[nodiscard]] bool RefuseUndecodableMovie(const StrDocument& doc, Host& host);

// Encodes `picture` into the current frame, at the quantizer scale found to
// fit its sectors: on success FrameBuffer and ChunkHeader hold the new
// frame; nothing is written to the file. On failure (reported) the frame,
// its buffer and header are unchanged. Here and below, failures are reported
// to `host` (the document's own when none is given).
[[nodiscard]] int EncodeFrame(FrameCodec& codec, StrDocument& doc, Host& host,
                              const TBmpIo& picture, FrameNumbering& numbering,
                              EncodeResult* result = nullptr);
[[nodiscard]] int EncodeFrame(FrameCodec& codec, StrDocument& doc, const TBmpIo& picture,
                              FrameNumbering& numbering, EncodeResult* result = nullptr);
// EncodeFrame in its three steps, for encodings run on other threads: the
// request and the picture's pixels taken from the document (checks
// reported; -1 when the frame cannot be encoded); the encoding itself, on
// any thread with a codec of its own, touching no document; the result put
// into the document (failures reported), as EncodeFrame does.
struct EncodeWork {
  EncodeRequest Request;
  std::vector<uint8_t> Pixels;  // the padded frame area
  EncodedFrame Encoded;         // zero-filled up to the capacity
  EncodeStatus Status = EncodeStatus::kOk;
  // How the movie's frames are coded, and the frame replaced (what a game's
  // coding keeps of it).
  FrameCoding Coding = FrameCoding::kStandard;
  std::vector<uint8_t> Replaced;
};
[[nodiscard]] int PrepareEncode(StrDocument& doc, Host& host, const TBmpIo& picture,
                                EncodeWork& work);
[[nodiscard]] int PrepareEncode(StrDocument& doc, const TBmpIo& picture, EncodeWork& work);
void RunEncode(FrameCodec& codec, EncodeWork& work);
[[nodiscard]] int FinishEncode(StrDocument& doc, Host& host, EncodeWork& work,
                               FrameNumbering& numbering, EncodeResult* result = nullptr);
[[nodiscard]] int FinishEncode(StrDocument& doc, EncodeWork& work, FrameNumbering& numbering,
                               EncodeResult* result = nullptr);

// EncodeFrame, WriteFrame, and a fresh decode into the picture.
[[nodiscard]] int EncodeAndStoreFrame(FrameCodec& codec, StrDocument& doc, Host& host,
                                      const TBmpIo& picture, FrameNumbering& numbering,
                                      EncodeResult* result = nullptr);
[[nodiscard]] int EncodeAndStoreFrame(FrameCodec& codec, StrDocument& doc, const TBmpIo& picture,
                                      FrameNumbering& numbering, EncodeResult* result = nullptr);

}  // namespace belmora
