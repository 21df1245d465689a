// Frames worked on several threads: the pipeline hands them back in order,
// and every command that decodes or encodes frames in parallel writes the
// same bytes with one thread as with several.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "base/bytes.h"
#include "convert/frame_pipeline.h"
#include "platform/media_writer.h"
#include "tests/support/audio.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::RunCommand;

TEST(FramePipelineTest, HandsJobsBackInOrderWhateverTheirDuration) {
  for (int threads : {1, 2, 5}) {
    std::vector<int> input(64), output(64, -1);
    std::atomic<int> worked{0};
    std::mt19937 random(threads);
    std::vector<int> delays(200);
    for (int& d : delays) d = int(random() % 300);
    FramePipeline pipeline(threads, [&](int slot, int) {
      std::this_thread::sleep_for(std::chrono::microseconds(delays[size_t(input[size_t(slot)])]));
      output[size_t(slot)] = input[size_t(slot)] * 3;
      worked++;
    });
    ASSERT_LE(pipeline.Depth(), 64);
    if (threads == 1) {
      EXPECT_EQ(pipeline.Depth(), 1);  // each job handed back at once
    }
    std::vector<int> seen;
    auto take = [&] {
      const int slot = pipeline.TakeOldest();
      seen.push_back(output[size_t(slot)]);
    };
    for (int job = 0; job < 200; job++) {
      input[size_t(pipeline.NextSlot())] = job;
      if (job % 37 == 5) {
        output[size_t(pipeline.NextSlot())] = job * 3;  // carries its result already
        pipeline.SubmitDone();
      } else {
        pipeline.Submit();
      }
      while (pipeline.Full()) take();
    }
    while (!pipeline.Empty()) take();
    ASSERT_EQ(seen.size(), 200u);
    for (int job = 0; job < 200; job++) EXPECT_EQ(seen[size_t(job)], job * 3) << threads;
    EXPECT_EQ(worked.load(), 200 - 6);
  }
}

TEST(DeferredMessagesTest, ReplaysToEachHostInTheOrderShown) {
  CollectingHost a, b;
  DeferredMessages deferred;
  MessageBoxF(deferred.To(a), "one");
  MessageBoxF(deferred.To(b), "two");
  MessageBoxF(deferred.To(a), "three");
  EXPECT_TRUE(a.texts.empty());
  deferred.Replay();
  EXPECT_EQ(a.texts, (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(b.texts, (std::vector<std::string>{"two"}));
  deferred.Replay();  // nothing kept twice
  EXPECT_EQ(a.texts.size(), 2u);
}

// A movie with sound, some frames that do not decode, and a video to put
// into it; each command's output with --threads 1 against 2 and 4.
class ThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir);
    test::MovieRecipe m;
    m.Frames = 30;
    m.ChunkPattern = {9, 9, 9, 8};
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = 1;
    m.Interleave = 8;
    m.AudioPhase = 7;
    std::mt19937 random(11);
    m.Bitstream = [&](int frame) {
      auto bytes = test::EncodeLevels(test::RandomLevels(320, 240, random), 2 + frame % 2, 2);
      // Frames 7 and 19 break off half way: the picture keeps the earlier
      // frame's macroblocks from there on.
      if (frame == 7 || frame == 19) std::memset(bytes.data() + bytes.size() / 2, 0xFF, 64);
      return bytes;
    };
    test::BuildMovie(m).Write(str);

    MediaWriter w;
    WaveFormat f = WaveFormat::Pcm(44100, 2, 16);
    PcmFormatInfo in{44100, 2, 16};
    ASSERT_EQ(w.Open(avi, 320, 240, 15, 1, CompressOptions{}, &f, &in), MediaError::kNone);
    for (int i = 0; i < 24; i++) {
      auto top = test::NaturalPicture(320, 240, i);
      std::vector<uint8_t> rows(top.size());
      for (int y = 0; y < 240; y++)
        std::memcpy(&rows[size_t(239 - y) * 960], &top[size_t(y) * 960], 960);
      w.WriteVideo(rows.data());
    }
    auto tone = test::MakeSignal(test::Signal::kSpeechLike, 44100 * 24 / 15, 44100, 9000);
    std::vector<uint8_t> pcm(tone.size() * 4);
    for (size_t i = 0; i < tone.size(); i++) {
      PutU16(&pcm[4 * i], uint16_t(tone[i]));
      PutU16(&pcm[4 * i + 2], uint16_t(-tone[i]));
    }
    w.WriteAudio(pcm.data(), pcm.size());
    ASSERT_TRUE(w.Close());
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Runs the command with each thread count; the file it writes (named by
  // `out`, given the count) must be the same every time. `fresh` makes the
  // input of an in-place command anew before each run.
  void ExpectSameFiles(const std::function<std::vector<std::string>(const std::string&)>& args,
                       const std::function<std::string(const std::string&)>& out,
                       const std::function<void(const std::string&)>& fresh = nullptr) {
    std::vector<uint8_t> first;
    for (const char* threads : {"1", "2", "4"}) {
      if (fresh) fresh(threads);
      std::vector<std::string> command = {BELMORA_CLI, "-q"};
      auto rest = args(threads);
      command.insert(command.end(), rest.begin(), rest.end());
      command.insert(command.end(), {"--threads", threads});
      auto r = RunCommand(command);
      ASSERT_EQ(r.Status, 0) << r.Err;
      auto bytes = test::ReadFileBytes(out(threads));
      ASSERT_FALSE(bytes.empty());
      if (first.empty())
        first = bytes;
      else
        EXPECT_TRUE(bytes == first) << command[2] << " with " << threads << " threads";
    }
  }
  std::string Named(const std::string& name, const std::string& threads) {
    return dir + "/" + name + threads;
  }
  void CopyMovie(const std::string& to) {
    std::filesystem::copy_file(str, to, std::filesystem::copy_options::overwrite_existing);
  }

  std::string dir = test::TempPath("threads");
  std::string str = dir + "/movie.str";
  std::string avi = dir + "/video.avi";
};

TEST_F(ThreadsTest, ExportAviIsTheSameWithAnyNumberOfThreads) {
  // Frames that do not decode are written as the picture then holds them.
  ExpectSameFiles(
      [&](const std::string& t) {
        return std::vector<std::string>{"export-avi", str, "-o", Named("a.avi", t)};
      },
      [&](const std::string& t) { return Named("a.avi", t); });
  // Half-width pictures, each STR frame shown twice.
  ExpectSameFiles(
      [&](const std::string& t) {
        return std::vector<std::string>{"export-avi", str, "-o", Named("h.avi", t), "--half",
                                        "--rate", "30", "--size", "320x240"};
      },
      [&](const std::string& t) { return Named("h.avi", t); });
  // A stretch, a compressed sound format and frames skipped.
  ExpectSameFiles(
      [&](const std::string& t) {
        return std::vector<std::string>{"export-avi", str,   "-o",      Named("s.avi", t),
                                        "--from",     "40",  "--to",    "200",
                                        "--rate",     "7.5", "--atag",  "IMA ADPCM"};
      },
      [&](const std::string& t) { return Named("s.avi", t); });
}

TEST_F(ThreadsTest, NewIsTheSameWithAnyNumberOfThreads) {
  for (const char* encoder : {"exact", "best"}) {
    ExpectSameFiles(
        [&](const std::string& t) {
          return std::vector<std::string>{"new",      Named(std::string("n-") + encoder, t), avi,
                                          "--sector", "2352", "--encoder", encoder};
        },
        [&](const std::string& t) { return Named(std::string("n-") + encoder, t); });
  }
}

TEST_F(ThreadsTest, ImportAviIsTheSameWithAnyNumberOfThreads) {
  ExpectSameFiles(
      [&](const std::string& t) {
        return std::vector<std::string>{"import-avi", Named("in", t), avi, "--renumber", "3,1,12"};
      },
      [&](const std::string& t) { return Named("in", t); },
      [&](const std::string& t) { CopyMovie(Named("in", t)); });
  ExpectSameFiles(
      [&](const std::string& t) {
        return std::vector<std::string>{"import-avi", Named("re", t), avi,       "--rebuild",
                                        "--resize",   "yes",          "--fps",   "10",
                                        "--encoder",  "best",         "--tail-frames", "5"};
      },
      [&](const std::string& t) { return Named("re", t); },
      [&](const std::string& t) { CopyMovie(Named("re", t)); });
}

}  // namespace
}  // namespace belmora
