#include "convert/fit_report.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "base/bytes.h"
#include "base/messages.h"
#include "convert/output_file.h"

namespace belmora {

FitSummary FitReport::Summary() const {
  FitSummary s;
  s.Frames = int(frames_.size());
  for (const FrameFit& f : frames_) (f.Kept ? s.Kept : s.Reencoded)++;
  // Worst and mean over the frames the run encoded: kept frames are at the
  // threshold or better by definition.
  const bool onlyEncoded = s.Reencoded > 0;
  double sum = 0;
  int counted = 0;
  for (const FrameFit& f : frames_) {
    if (onlyEncoded && f.Kept) continue;
    sum += f.Psnr;
    counted++;
    if (s.WorstIndex < 0 || f.Psnr < s.WorstPsnr) {
      s.WorstIndex = f.Index;
      s.WorstPsnr = f.Psnr;
    }
  }
  s.MeanPsnr = counted ? sum / counted : 0;
  return s;
}

std::string FitReport::SummaryLine() const {
  const FitSummary s = Summary();
  return FormatMessage(msg::kFitSummary, s.Frames, s.Reencoded, s.Kept, s.WorstIndex,
                       s.WorstPsnr, s.MeanPsnr);
}

std::string FitReport::Csv() const {
  std::string out = "index,first_sector,capacity,scale,bytes,psnr,kept\n";
  char line[160];
  for (const FrameFit& f : frames_) {
    std::snprintf(line, sizeof line, "%d,%d,%d,%d,%d,%.2f,%s\n", f.Index, f.FirstSector,
                  f.Capacity, f.Scale, f.Bytes, f.Psnr, f.Kept ? "yes" : "no");
    out += line;
  }
  const FitSummary s = Summary();
  std::snprintf(line, sizeof line, "# frames %d,reencoded %d,kept %d,worst %d,worst_psnr %.2f,"
                "mean_psnr %.2f\n", s.Frames, s.Reencoded, s.Kept, s.WorstIndex, s.WorstPsnr,
                s.MeanPsnr);
  out += line;
  return out;
}

std::string FitReport::Json() const {
  std::string out = "{\n  \"frames\": [";
  char line[256];
  for (size_t i = 0; i < frames_.size(); i++) {
    const FrameFit& f = frames_[i];
    std::snprintf(line, sizeof line,
                  "%s\n    {\"index\": %d, \"first_sector\": %d, \"capacity\": %d, \"scale\": %d, "
                  "\"bytes\": %d, \"psnr\": %.2f, \"kept\": %s}",
                  i ? "," : "", f.Index, f.FirstSector, f.Capacity, f.Scale, f.Bytes, f.Psnr,
                  f.Kept ? "true" : "false");
    out += line;
  }
  const FitSummary s = Summary();
  std::snprintf(line, sizeof line,
                "\n  ],\n  \"summary\": {\"frames\": %d, \"reencoded\": %d, \"kept\": %d, "
                "\"worst_index\": %d, \"worst_psnr\": %.2f, \"mean_psnr\": %.2f}\n}\n",
                s.Frames, s.Reencoded, s.Kept, s.WorstIndex, s.WorstPsnr, s.MeanPsnr);
  out += line;
  return out;
}

std::string FitReport::Text(const std::string& path) const {
  const bool json = path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
  return json ? Json() : Csv();
}

bool FitReport::Write(const std::string& path, Host& host) const {
  const std::string text = Text(path);
  PartFile part(path);
  if (!part.Create(host)) return false;
  std::FILE* f = std::fopen(part.Part().c_str(), "wb");
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  int error = ok ? 0 : errno;
  if (f && std::fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    Show(host, msg::kWriteError, path.c_str(), std::strerror(error));
    return false;
  }
  return part.Commit(host);
}

double LumaPsnr(const uint8_t* a, size_t strideA, const uint8_t* b, size_t strideB, int w, int h) {
  if (w <= 0 || h <= 0) return kPsnrIdentical;
  // BT.601 luma in fixed point (weights sum to 1 << 16), squared error summed exactly.
  uint64_t sum = 0;
  for (int y = 0; y < h; y++) {
    const uint8_t* p = a + size_t(y) * strideA;
    const uint8_t* q = b + size_t(y) * strideB;
    for (int x = 0; x < w; x++, p += 3, q += 3) {
      const int64_t la = 7471 * p[0] + 38470 * p[1] + 19595 * p[2];
      const int64_t lb = 7471 * q[0] + 38470 * q[1] + 19595 * q[2];
      const int64_t d = (la - lb) >> 4;  // 12 fractional bits left
      sum += uint64_t(d * d);
    }
  }
  const double mse = double(sum) / (4096.0 * 4096.0) / (double(w) * h);
  if (mse < 1e-10) return kPsnrIdentical;
  return std::min(kPsnrIdentical, 10 * std::log10(255.0 * 255.0 / mse));
}

double PsnrAgainstSource(const FrameImage& decoded, const TBmpIo& source, int width, int height) {
  const int w = std::min(width, decoded.Width), h = std::min(height, decoded.Height);
  if (w <= 0 || h <= 0) return 0;
  std::vector<uint8_t> pixels(size_t(decoded.Width) * size_t(decoded.Height) * 3);
  ReadFramePixels(source, decoded.Width, decoded.Height, pixels.data());
  return LumaPsnr(decoded.Pixels.data(), size_t(decoded.Stride()), pixels.data(),
                  size_t(decoded.Width) * 3, w, h);
}

void CurrentFrameFit(const StrDocument& doc, int& scale, int& bytes) {
  scale = GetU16(&doc.ChunkHeader.MdecHeader[4]);
  bytes = int(doc.ChunkHeader.FrameDataSize);
}

bool FrameFitter::DecodeFull(const StrDocument& doc) {
  return DecodeFrameOf(decoder_, doc.Format->Frames(), doc.FrameBuffer, doc.ChunkHeader.Width,
                       doc.ChunkHeader.Height, false, image_) == 0;
}

void FrameFitter::Note(const StrDocument& doc, int scale, int bytes, double psnr, bool kept) {
  if (kept) kept_++;
  if (options_.Report)
    options_.Report->Add({index_, doc.CurrentSector, doc.Format->Capacity(doc.ChunkHeader.ChunkCount),
                          scale, bytes, psnr, kept});
  index_++;
}

void FrameFitter::NoteKept(const StrDocument& doc, int scale, int bytes) {
  Note(doc, scale, bytes, kPsnrIdentical, true);
}

int FrameFitter::Store(FrameCodec& codec, StrDocument& doc, const TBmpIo& picture,
                       FrameNumbering& numbering, const VideoChunkHeader* asRead) {
  return Store(codec, doc, *doc.Ui, picture, numbering, asRead);
}

int FrameFitter::Store(FrameCodec& codec, StrDocument& doc, Host& host, const TBmpIo& picture,
                       FrameNumbering& numbering, const VideoChunkHeader* asRead) {
  FrameImage& image = image_;
  if (asRead && options_.KeepPsnr > 0) {
    const VideoChunkHeader wanted = doc.ChunkHeader;
    doc.ChunkHeader = *asRead;
    if (DecodeFull(doc)) {
      const double psnr = PsnrAgainstSource(image, picture, asRead->Width, asRead->Height);
      if (psnr >= options_.KeepPsnr) {
        // The numbering goes on as after an encoding; a kept frame that is
        // renumbered gets only its new number (its bitstream stays).
        if (numbering.Renumber) {
          const uint32_t number = uint32_t(numbering.NextNumber);
          numbering.NextNumber = int32_t(number + 1);
          if (doc.ChunkHeader.FrameNumber != number) {
            doc.ChunkHeader.FrameNumber = number;
            if (RefuseIfReadOnly(doc, host) || WriteFrame(doc, host) != 0) return -1;
          }
        } else {
          numbering.NextNumber = int32_t(asRead->FrameNumber + 1);
        }
        if (numbering.NextNumber > numbering.NumberLimit) numbering.NextNumber = numbering.WrapNumber;
        (void)DecodeCurrentFrame(codec, doc);
        int scale = 0, bytes = 0;
        CurrentFrameFit(doc, scale, bytes);
        Note(doc, scale, bytes, psnr, true);
        return 0;
      }
    }
    doc.ChunkHeader = wanted;
  }
  EncodeResult result;
  if (EncodeAndStoreFrame(codec, doc, host, picture, numbering, &result) != 0) return -1;
  double psnr = 0;
  if (DecodeFull(doc))
    psnr = PsnrAgainstSource(image, picture, doc.ChunkHeader.Width, doc.ChunkHeader.Height);
  Note(doc, result.Scale, result.Bytes, psnr, false);
  return 0;
}

ScratchCopy::~ScratchCopy() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(path_, ec);
  std::filesystem::remove(path_ + ".part", ec);
}

bool ScratchCopy::Make(Host& host) {
  std::error_code ec;
  std::string dir = std::filesystem::temp_directory_path(ec).string();
  if (ec) dir = "/tmp";
  std::string name = dir + "/belmora-dry-XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd < 0) {
    Show(host, msg::kWriteError, name.c_str(), std::strerror(errno));
    return false;
  }
  ::close(fd);
  path_ = buffer.data();
  std::filesystem::remove(path_, ec);
  return true;
}

}  // namespace belmora
