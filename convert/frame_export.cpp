#include "convert/frame_export.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>

#include "base/messages.h"
#include "str/frame_walker.h"
#include "convert/frame_bmp.h"
#include "convert/output_file.h"
#include "convert/progress.h"
#include "platform/image_sequence.h"
#include "platform/media_module.h"

namespace belmora {

std::string FramePictureName(int index, PictureFormat format) {
  char name[32];
  std::snprintf(name, sizeof name, "%06d.%s", index, format == PictureFormat::kPng ? "png" : "bmp");
  return name;
}

Result<int> ExportFrames(StrDocument& doc, FrameCodec& codec, const FrameExportOptions& o,
                         Host& host) {
  if (RefuseUndecodableMovie(doc, host)) return Status::kFailed;
  if (o.Format == PictureFormat::kPng && !Ok(RequireMediaModule(host))) return Status::kFailed;
  std::error_code ec;
  std::filesystem::create_directories(o.Dir, ec);
  if (!std::filesystem::is_directory(o.Dir)) {
    Show(host, msg::kWriteError, o.Dir.c_str(), ec ? ec.message().c_str() : "");
    return Status::kFailed;
  }
  // Pictures of an earlier export stay unless they are to be replaced, and
  // every name that is taken is checked before the first picture is
  // written: no set is left half written by a refusal.
  const std::string ext = o.Format == PictureFormat::kPng ? ".png" : ".bmp";
  for (const auto& e : std::filesystem::directory_iterator(o.Dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.size() != 6 + ext.size() || name.compare(6, ext.size(), ext) != 0 ||
        !std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    if (!o.Overwrite) {
      Show(host, msg::kOutputExists, e.path().string().c_str());
      return Status::kFailed;
    }
    if (!CheckOutputPath(host, e.path().string(), o.Inputs, true)) return Status::kFailed;
  }
  const int32_t first = o.FirstSector, last = o.LastSector >= 0 ? o.LastSector : doc.LastFrameSector;
  host.BeginProgress();
  bool ok = true, cancelled = false;
  int written = 0;
  std::vector<MovieFrame> damaged;
  FrameWalker walker(doc, first, last);
  for (WalkStep step; (step = walker.Next()) != WalkStep::kEnd;) {
    if (step == WalkStep::kError) {
      Show(host, msg::kStrReadError);
      ok = false;
      break;
    }
    // A frame that does not decode is written as the picture then holds it;
    // one that lacks chunks is drawn over the frame before.
    (void)DecodeCurrentFrame(codec, doc);
    if (doc.FrameDamaged)
      damaged.push_back({doc.CurrentSector, doc.ChunkHeader.FrameNumber,
                         uint8_t(doc.ChunkHeader.ChunkCount),
                         uint8_t(std::popcount(doc.ChunksPresent))});
    const std::string path =
        (std::filesystem::path(o.Dir) / FramePictureName(written, o.Format)).string();
    if (!CheckOutputPath(host, path, o.Inputs, true)) {
      ok = false;
      break;
    }
    if (o.Format == PictureFormat::kBmp) {
      ok = Ok(SaveFrameBmp(codec, path, host));
    } else {
      const FrameView v = codec.View();
      PartFile part(path);
      ok = part.Create(host) && WritePngFile(part.Part(), v.Pixels, std::min(v.Width, int(doc.ChunkHeader.Width)),
                        std::min(v.Height, int(doc.ChunkHeader.Height)), size_t(v.Stride)) &&
           part.Commit(host);
      if (!ok) Show(host, msg::kImageWriteFailed, path.c_str());
    }
    if (!ok) break;
    written++;
    host.PreviewFrame(codec.View());
    if (FrameDone(host, doc, first, last)) {
      cancelled = true;
      break;
    }
  }
  host.EndProgress();
  if (!damaged.empty())
    Show(host, msg::kDamagedFramesShown, doc.Path.c_str(), DamagedFramesText(damaged).c_str());
  if (!ok) return Status::kFailed;
  if (cancelled) return {Status::kCancelled, written};
  return written;
}

}  // namespace belmora
