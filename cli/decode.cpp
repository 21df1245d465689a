// belmora-cli decode: decodes frames in file order, as the viewer's Next
// button walks them, optionally saving each as a BMP.
#include <algorithm>
#include <atomic>
#include <bit>
#include <filesystem>
#include <memory>
#include <thread>

#include "cli/cli_common.h"
#include "convert/frame_bmp.h"
#include "convert/frame_codec.h"
#include "convert/frame_pipeline.h"
#include "str/frame_walker.h"

namespace belmora::cli {

namespace {

struct DecodeOptions {
  std::string path;
  std::string outDir;
  bool half = false;
  bool scalar = false;
  int from = -1;
  int to = -1;
  int threads = int(std::max(1u, std::thread::hardware_concurrency()));
};

constexpr size_t kConcealHistory = 64;

// A frame as read: its bitstream, header, and how much of it is intact.
struct ReadFrameData {
  std::vector<uint8_t> Buffer;
  VideoChunkHeader Header;
  bool Damaged = false;
  size_t Intact = 0;
};

// One frame read from the file, waiting to be decoded. A frame that lacks
// chunks carries the frames before it back to the last whole one, whose
// pictures it is drawn over.
struct FrameJob : ReadFrameData {
  std::vector<ReadFrameData> Before;
  int Index = 0;
  bool Decoded = false;
};

// A decoder of its own per thread: frames are independent, and every
// successfully decoded frame overwrites the whole part of the picture that
// is saved, so pictures do not depend on which thread decoded what.
class FrameWorker {
 public:
  FrameWorker(const DecodeOptions& o, FrameCoding coding) : outDir_(o.outDir), coding_(coding) {
    codec_.HalfWidthView = o.half;
    if (o.scalar) codec_.Codec.Init({TransformVariant::kScalar});
  }
  // False when a BMP could not be written.
  bool Decode(FrameJob& job, Host& host) {
    if (job.Damaged) {
      // Drawn over the frames before it, from grey: the same picture
      // whichever thread decodes it.
      codec_.Image.LayOut(0, 0);
      for (const ReadFrameData& before : job.Before) Draw(before);
      Draw(job);
      job.Decoded = true;
    } else {
      job.Decoded = DecodeFrameOf(codec_.Codec, coding_, job.Buffer, job.Header.Width,
                                  job.Header.Height, codec_.HalfWidthView, codec_.Image) == 0;
    }
    if (!job.Decoded || outDir_.empty()) return true;
    char name[32];
    std::snprintf(name, sizeof name, "%06d.bmp", job.Index);
    return Ok(SaveFrameBmp(codec_, (std::filesystem::path(outDir_) / name).string(), host));
  }

 private:
  void Draw(const ReadFrameData& frame) {
    if (frame.Damaged)
      ConcealFrame(codec_, frame.Buffer, frame.Header, frame.Intact);
    else
      (void)DecodeFrameOf(codec_.Codec, coding_, frame.Buffer, frame.Header.Width,
                          frame.Header.Height, codec_.HalfWidthView, codec_.Image);
  }

  FrameCodec codec_;
  std::string outDir_;
  FrameCoding coding_;
};

int RunDecode(const GlobalOptions& g, const DecodeOptions& o) {
  Session s(g);
  if (!OpenForViewing(s, o.path, true)) return kExitFailed;
  StrDocument& doc = s.doc;
  if (RefuseUndecodableMovie(doc, s.host)) return kExitFailed;
  if (!CheckSectorRange(doc, o.from, o.to)) return kExitBadArguments;
  if (!o.outDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.outDir, ec);
    if (!std::filesystem::is_directory(o.outDir)) {
      Show(s.host, msg::kWriteError, o.outDir.c_str(), ec ? ec.message().c_str() : "");
      return kExitFailed;
    }
  }
  const int threads = std::max(1, o.threads);
  std::vector<std::unique_ptr<FrameWorker>> workers;
  for (int t = 0; t < threads; t++) workers.push_back(std::make_unique<FrameWorker>(o, doc.Format->Frames()));

  if (o.from >= 0) doc.CurrentSector = o.from;
  const int32_t last = o.to >= 0 ? o.to : doc.LastFrameSector;
  int decoded = 0, failed = 0, index = 0;
  bool writeFailed = false;
  // Frames are read here in file order, as the viewer's Next button walks
  // them, decoded on the pipeline's threads a few frames ahead, and counted
  // here in order.
  std::vector<FrameJob> jobs;
  std::vector<ReadFrameData> since;  // the frames from the last whole one
  std::vector<MovieFrame> damaged;
  std::atomic<bool> bad{false};
  FramePipeline pipeline(threads, [&](int slot, int worker) {
    if (!workers[size_t(worker)]->Decode(jobs[size_t(slot)], s.host)) bad = true;
  });
  jobs.resize(size_t(pipeline.Depth()));
  auto takeOldest = [&] {
    const FrameJob& job = jobs[size_t(pipeline.TakeOldest())];
    (job.Decoded ? decoded : failed)++;
    if (bad) writeFailed = true;
  };
  FrameWalker walker(doc, doc.CurrentSector, last);
  bool readFailed = false;
  while (!writeFailed) {
    const WalkStep step = walker.Next();
    if (step == WalkStep::kEnd) break;
    if (step == WalkStep::kError) {
      Show(s.host, msg::kStrReadError);
      readFailed = true;
      break;
    }
    FrameJob& job = jobs[size_t(pipeline.NextSlot())];
    job.Buffer = doc.FrameBuffer;
    job.Header = doc.ChunkHeader;
    job.Damaged = doc.FrameDamaged;
    job.Intact = doc.IntactBytes();
    job.Before.clear();
    if (doc.FrameDamaged) {
      job.Before = since;
      damaged.push_back({doc.CurrentSector, doc.ChunkHeader.FrameNumber,
                         uint8_t(doc.ChunkHeader.ChunkCount),
                         uint8_t(std::popcount(doc.ChunksPresent))});
    } else {
      since.clear();
    }
    // A long run of damaged frames is drawn from a bounded history.
    if (since.size() >= kConcealHistory) since.erase(since.begin());
    since.push_back(job);
    job.Index = index++;
    pipeline.Submit();
    while (pipeline.Full() && !writeFailed) takeOldest();
  }
  while (!pipeline.Empty() && !writeFailed) takeOldest();
  while (!pipeline.Empty()) (void)pipeline.TakeOldest();
  if (writeFailed) return kExitFailed;
  std::printf("%d frames decoded, %d failed\n", decoded, failed);
  // Damage in the source is not a failure of the command: it is listed.
  if (!damaged.empty())
    Show(s.host, msg::kDamagedFramesShown, doc.Path.c_str(), DamagedFramesText(damaged).c_str());
  if (failed > 0) Show(s.host, msg::kFramesFailed, failed);
  return failed > 0 || readFailed ? kExitFailed : kExitDone;
}

}  // namespace

void AddDecodeCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("decode", "Decode frames, optionally to BMP files");
  auto o = std::make_shared<DecodeOptions>();
  cmd->add_option("FILE", o->path, "STR file")->required();
  cmd->add_option("--out", o->outDir, "Write DIR/000000.bmp, DIR/000001.bmp, ...");
  cmd->add_flag("--half", o->half, "Half-width pictures");
  cmd->add_flag("--scalar", o->scalar, "Use the scalar transforms");
  cmd->add_option("--from", o->from, "Start at the frame at or after this sector")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--to", o->to, "Stop after the frame starting at or before this sector")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--threads", o->threads, "Decoding threads (default: one per core)")
      ->check(CLI::Range(1, 64));
  cmd->callback([&run, o] { run = [o](const GlobalOptions& g) { return RunDecode(g, *o); }; });
}

}  // namespace belmora::cli
