#include "convert/thumbnail.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/messages.h"
#include "convert/frame_codec.h"
#include "str/frame_walker.h"
#include "str/str_document.h"

namespace belmora {

namespace {

// How much a picture shows: the variance of its luma, over every fourth
// pixel of every fourth row.
double Detail(const FrameView& v, int width, int height) {
  double sum = 0, squares = 0;
  int n = 0;
  for (int y = 0; y < height; y += 4) {
    const uint8_t* row = v.Pixels + size_t(y) * size_t(v.Stride);
    for (int x = 0; x < width; x += 4) {
      const uint8_t* p = row + size_t(x) * 3;
      const double luma = 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
      sum += luma;
      squares += luma * luma;
      n++;
    }
  }
  if (n == 0) return 0;
  const double mean = sum / n;
  return squares / n - mean * mean;
}

// The picture of the frame that shows most among those that begin in the
// movie's first second; empty when none decodes.
struct Chosen {
  std::vector<uint8_t> Bgr;
  int Width = 0;
  int Height = 0;
  double Detail = -1;
};

Chosen MostTellingFrame(StrDocument& doc, Host& quiet) {
  FrameCodec codec;
  codec.Image.LayOut(doc.PaddedWidth, doc.PaddedHeight);
  const int32_t second = kSectorsPerSecond * std::max(doc.SpeedFactor, 1);
  FrameWalker walker(doc, doc.MovieStart, doc.MovieStart + second - 1);
  Chosen best;
  while (walker.Next(quiet) == WalkStep::kFrame) {
    if (DecodeCurrentFrame(codec, doc) != 0) continue;
    const FrameView v = codec.View();
    const int width = std::clamp(int(doc.ChunkHeader.Width), 1, v.Width);
    const int height = std::clamp(int(doc.ChunkHeader.Height), 1, v.Height);
    const double detail = Detail(v, width, height);
    if (detail <= best.Detail) continue;
    best.Detail = detail;
    best.Width = width;
    best.Height = height;
    best.Bgr.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; y++)
      std::memcpy(best.Bgr.data() + size_t(y) * size_t(width) * 3,
                  v.Pixels + size_t(y) * size_t(v.Stride), size_t(width) * 3);
  }
  return best;
}

}  // namespace

std::vector<uint8_t> ScaledRgb(const uint8_t* bgr, int srcWidth, int srcHeight, size_t stride,
                               int width, int height) {
  std::vector<uint8_t> out(size_t(width) * size_t(height) * 3);
  for (int y = 0; y < height; y++) {
    const int y0 = int(int64_t(y) * srcHeight / height);
    const int y1 = std::max(int(int64_t(y + 1) * srcHeight / height), y0 + 1);
    for (int x = 0; x < width; x++) {
      const int x0 = int(int64_t(x) * srcWidth / width);
      const int x1 = std::max(int(int64_t(x + 1) * srcWidth / width), x0 + 1);
      uint32_t sum[3] = {0, 0, 0};
      for (int sy = y0; sy < y1; sy++)
        for (int sx = x0; sx < x1; sx++)
          for (int c = 0; c < 3; c++) sum[c] += bgr[size_t(sy) * stride + size_t(sx) * 3 + c];
      const uint32_t n = uint32_t((y1 - y0) * (x1 - x0));
      uint8_t* o = out.data() + (size_t(y) * size_t(width) + size_t(x)) * 3;
      for (int c = 0; c < 3; c++) o[c] = uint8_t((sum[2 - c] + n / 2) / n);
    }
  }
  return out;
}

Result<Thumbnail> MakeThumbnail(const std::string& path, int size, Host& host) {
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(path, ec);
  if (ec) {
    Show(host, msg::kCannotOpenNamed, path.c_str(), ec.message().c_str());
    return Status::kFailed;
  }
  if (bytes > uint64_t(kThumbnailMaxFileBytes)) {
    Show(host, msg::kThumbnailFileTooLarge, path.c_str(), (long long)(bytes >> 20),
         (long long)(kThumbnailMaxFileBytes >> 20));
    return Status::kFailed;
  }
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (OpenMovieFile(doc, quiet, path, OpenMode::kReadOnly) != 0) {
    // The opener's own reason, past its general "cannot open".
    std::string reason = FormatMessage(msg::kUnknownFormat);
    for (const std::string& text : quiet.texts)
      if (text != FormatMessage(msg::kCannotOpenStr)) reason = text;
    Show(host, msg::kCannotOpenNamed, path.c_str(), reason.c_str());
    return Status::kFailed;
  }
  if (doc.PaddedWidth <= 0) {
    Show(host, msg::kCannotOpenNamed, path.c_str(), FormatMessage(msg::kNoPicture).c_str());
    return Status::kFailed;
  }
  const Chosen frame = MostTellingFrame(doc, quiet);
  if (frame.Bgr.empty()) {
    Show(host, msg::kCannotOpenNamed, path.c_str(), FormatMessage(msg::kDecodeFailed).c_str());
    return Status::kFailed;
  }
  size = std::clamp(size, 1, kThumbnailMaxSize);
  Thumbnail t;
  const bool wide = frame.Width >= frame.Height;
  t.Width = wide ? size : std::max(1, int(int64_t(size) * frame.Width / frame.Height));
  t.Height = wide ? std::max(1, int(int64_t(size) * frame.Height / frame.Width)) : size;
  t.Rgb = ScaledRgb(frame.Bgr.data(), frame.Width, frame.Height, size_t(frame.Width) * 3,
                    t.Width, t.Height);
  return t;
}

}  // namespace belmora
