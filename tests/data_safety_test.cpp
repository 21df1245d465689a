// What happens to a user's files when things go wrong: full disks, killed
// processes, outputs that are inputs, nonsense options, hostile headers.
// Every case must end with a message, a non-zero exit, and a file that is
// either untouched (or rolled back) or complete.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "base/bytes.h"
#include "str/journal.h"
#include "str/sector.h"
#include "str/sector_file.h"
#include "tests/support/avi_builder.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/cli_command.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "tests/support/xa_builder.h"

extern char** environ;

namespace belmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RunCommand;
using test::RunResult;

using test::Cli;
using test::FailingAfter;
// The command under a file-size limit of `kib` KiB.
std::vector<std::string> Limited(int kib, std::vector<std::string> args) {
  std::vector<std::string> c = {"bash", "-c", "ulimit -f " + std::to_string(kib) + "; exec \"$@\"",
                                "_"};
  auto cli = Cli(std::move(args));
  c.insert(c.end(), cli.begin(), cli.end());
  return c;
}

// The command killed (SIGKILL) where its writes to files whose path holds
// `name` pass `bytes` bytes: an edit cut short at a known point.
std::vector<std::string> KilledAfter(long bytes, const std::string& name,
                                     std::vector<std::string> args) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::vector<std::string> c = {
      "env", std::string("LD_PRELOAD=") + BELMORA_FAIL_WRITES,
      "BELMORA_FAIL_AFTER=" + std::to_string(bytes), "BELMORA_FAIL_NAME=" + name, "BELMORA_KILL=1",
      std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"};
  auto cli = Cli(std::move(args));
  c.insert(c.end(), cli.begin(), cli.end());
  return c;
}

// Files of the folder whose names start with a dot (journals, temporary files).
std::vector<std::string> HiddenFiles(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
  return names;
}

// Puts `bytes` into the file as `cp` does: the same inode, written anew.
void OverwriteInPlace(const std::string& path, const std::vector<uint8_t>& bytes) {
  test::WriteFileBytes(path, bytes);
}

class DataSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    test::MovieRecipe m;
    m.Frames = 12;
    m.ChunkPattern = {9, 9, 9, 8};
    m.Width = 160;
    m.Height = 112;
    m.AudioCoding = kCoding378Stereo;
    m.AudioChannel = 1;
    m.TrailingFillers = 2;
    std::mt19937 random(4);
    m.Bitstream = [&](int) { return test::EncodeLevels(test::RandomLevels(160, 112, random), 2, 2); };
    test::BuildMovie(m).Write(str);
    original = ReadFileBytes(str);
    test::AviRecipe v;
    v.Width = 160;
    v.Height = 112;
    v.Frames = 8;
    test::WriteTestAvi(avi, v);
    v.Frames = 30;  // longer than the movie: the STR grows to it
    test::WriteTestAvi(longAvi, v);
    test::WriteBgrBmp(bmp, test::NaturalPicture(160, 112, 1), 160, 112);
  }
  void TearDown() override { fs::remove_all(dir); }

  // A copy of the movie to edit.
  std::string Copy(const std::string& name = "edit.str") {
    const std::string to = dir + "/" + name;
    test::WriteFileBytes(to, original);
    fs::remove(JournalPath(to));
    return to;
  }

  std::string dir = test::TempPath("safety");
  std::string str = dir + "/movie.str", avi = dir + "/in.avi", longAvi = dir + "/long.avi",
              bmp = dir + "/in.bmp";
  std::vector<uint8_t> original;
};

// One operation of the fault matrix: an in-place edit of `target` (which
// must end as the original or the complete result), or a new file (which
// must end absent or complete, and leave no .part behind).
struct Operation {
  const char* Name;
  bool InPlace;
  std::function<std::vector<std::string>(const std::string& target)> Args;
};

TEST_F(DataSafetyTest, FullDiskAndFileSizeLimitsLeaveFilesWholeOrUntouched) {
  const std::vector<Operation> operations = {
      {"import-bmp", true,
       [&](const std::string& t) { return std::vector<std::string>{"import-bmp", t, "--frame", "2", bmp}; }},
      {"import-avi", true,
       [&](const std::string& t) { return std::vector<std::string>{"import-avi", t, avi, "--to", "60"}; }},
      {"import-avi lengthening", true,
       [&](const std::string& t) {
         return std::vector<std::string>{"import-avi", t, longAvi, "--rebuild", "--resize", "yes"};
       }},
      {"new", false,
       [&](const std::string& t) {
         return std::vector<std::string>{"new", t, avi, "--sector", "2352", "--trailing", "3"};
       }},
      {"export-avi", false,
       [&](const std::string& t) { return std::vector<std::string>{"export-avi", str, "-o", t}; }},
  };
  for (const Operation& op : operations) {
    SCOPED_TRACE(op.Name);
    const std::string target = op.InPlace ? Copy() : dir + "/out.bin";
    if (!op.InPlace) fs::remove(target);
    auto whole = RunCommand(Cli(op.Args(target)));
    ASSERT_EQ(whole.Status, 0) << whole.Err;
    const auto complete = ReadFileBytes(target);
    ASSERT_FALSE(complete.empty());

    int failures = 0;
    auto check = [&](const RunResult& r, const std::string& how) {
      SCOPED_TRACE(how);
      failures += r.Status != 0;
      if (r.Status == 0) {
        EXPECT_EQ(ReadFileBytes(target), complete);
        return;
      }
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_TRUE(r.Err.find("書き込みエラー") != std::string::npos ||
                  r.Err.find("書き込みに失敗") != std::string::npos)
          << r.Err;
      if (op.InPlace) {
        if (JournalExists(target)) {
          ASSERT_EQ(RunCommand(Cli({"recover", target})).Status, 0);
        }
        EXPECT_EQ(ReadFileBytes(target), original);
      } else {
        EXPECT_FALSE(fs::exists(target));
        EXPECT_FALSE(fs::exists(target + ".part"));
      }
    };
    const int64_t size = int64_t(complete.size());
    for (int64_t kib : {int64_t(1), int64_t(24), size / 3072, size / 1536, size / 1024 - 8,
                        size / 1024 + 200}) {
      if (op.InPlace) test::WriteFileBytes(target, original);
      fs::remove(target + ".part");
      if (!op.InPlace) fs::remove(target);
      check(RunCommand(Limited(int(std::max<int64_t>(kib, 1)), op.Args(target))),
            "limit " + std::to_string(kib) + " KiB");
    }
    for (long bytes : {0L, 1000L, 30000L, long(size / 3), long(size) - 5000, long(size) * 3}) {
      if (op.InPlace) test::WriteFileBytes(target, original);
      if (!op.InPlace) fs::remove(target);
      check(RunCommand(FailingAfter(std::max(bytes, 0L), op.Args(target))),
            "failing after " + std::to_string(bytes));
    }
    EXPECT_GE(failures, 4) << "the limits must really cut the writes short";
  }
}

// SIGKILL at any moment of a lengthening import, then, in turn, nothing,
// the file replaced in place by another movie of the same length, or the
// file moved to another folder: after `recover` the file is the original or
// the complete result (never anything in between), the replacement as it
// was (its journal refused, then discarded), or, moved, the original or the
// complete result again, with no journal left in either folder.
TEST_F(DataSafetyTest, KilledImportsRecoverToOneOfTheTwoStates) {
  const std::string target = Copy();
  const auto args = Cli({"import-avi", target, longAvi, "--rebuild", "--resize", "yes", "-q"});
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCommand(args).Status, 0);
  const auto took = std::chrono::steady_clock::now() - start;
  const auto complete = ReadFileBytes(target);
  ASSERT_NE(complete, original);
  auto other = original;
  for (size_t at = 44 + 24 + 64; at < other.size(); at += 2352) other[at] ^= 0x5A;

  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  std::mt19937 random(17);
  const int64_t range = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
  const std::string sub = dir + "/moved";
  enum Then { kNothing, kReplaced, kMoved };
  int rolledBack = 0, finished = 0, refused = 0, interrupted = 0;
  for (int kill = 0; kill < 60; kill++) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    const Then then = Then(kill % 3);
    fs::remove_all(sub);
    test::WriteFileBytes(target, original);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % uint64_t(range + 1)));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const bool pending = JournalExists(target);
    interrupted += pending;
    std::string file = target;
    if (then == kReplaced) OverwriteInPlace(target, other);
    if (then == kMoved) {
      fs::create_directories(sub);
      file = sub + "/edit.str";
      fs::rename(target, file);
    }
    auto r = RunCommand(Cli({"recover", file}));
    if (then == kReplaced && pending) {
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find("--discard"), std::string::npos) << r.Err;
      EXPECT_EQ(ReadFileBytes(file), other);
      ASSERT_EQ(RunCommand(Cli({"recover", "--discard", file})).Status, 0);
      refused++;
    } else {
      ASSERT_EQ(r.Status, 0) << r.Err;
    }
    EXPECT_FALSE(JournalExists(file));
    EXPECT_TRUE(HiddenFiles(dir).empty());
    EXPECT_TRUE(HiddenFiles(sub).empty());
    const auto now = ReadFileBytes(file);
    if (then == kReplaced) {
      EXPECT_EQ(now, other);
    } else {
      ASSERT_TRUE(now == original || now == complete);
      (now == original ? rolledBack : finished)++;
    }
    if (then == kMoved) fs::rename(file, target);
  }
  fs::remove_all(sub);
  posix_spawn_file_actions_destroy(&quiet);
  std::printf("60 kills: %d left a journal; %d rolled back, %d complete, %d replacements refused\n",
              interrupted, rolledBack, finished, refused);
}

// An output that is (or links to) an input, or a folder, is refused before
// anything is written; so is an existing output without --force.
TEST_F(DataSafetyTest, OutputsThatAreInputsOrFoldersAreRefused) {
  const std::string target = Copy();
  const std::string link = dir + "/link.str", hard = dir + "/hard.str", empty = dir + "/empty";
  fs::create_symlink(target, link);
  fs::create_hard_link(target, hard);
  fs::create_directories(empty);
  const auto avid = ReadFileBytes(avi);
  const std::vector<std::vector<std::string>> refused = {
      {"export-bmp", target, "--frame", "0", "-o", target, "--force"},
      {"export-bmp", target, "--frame", "0", "-o", link, "--force"},
      {"export-wav", target, "-o", target, "--force"},
      {"export-wav", target, "-o", hard, "--force"},
      {"export-avi", target, "-o", link, "--force"},
      {"export-avi", target, "-o", empty, "--force"},
      {"new", avi, avi, "--force"},
      {"new", dir + "/x.str", avi},  // fine, then:
      {"new", dir + "/x.str", avi},  // exists: needs --force
      {"import-avi", target, target, "--rebuild", "--resize", "yes"},
      {"import-avi", target, link},
  };
  for (size_t i = 0; i < refused.size(); i++) {
    auto r = RunCommand(Cli(refused[i]));
    if (i == 7) {
      EXPECT_EQ(r.Status, 0) << r.Err;
      continue;
    }
    EXPECT_EQ(r.Status, 1) << refused[i][0] << " " << i << ": " << r.Err;
    EXPECT_FALSE(r.Err.empty());
  }
  EXPECT_EQ(ReadFileBytes(target), original);
  EXPECT_EQ(ReadFileBytes(avi), avid);
  EXPECT_TRUE(fs::is_directory(empty));
}

// Options that make no sense are refused with exit status 2 before the file
// is touched; settings a conversion cannot carry out, with status 1.
TEST_F(DataSafetyTest, NonsenseOptionsChangeNothing) {
  const std::string target = Copy();
  const std::vector<std::pair<int, std::vector<std::string>>> cases = {
      {2, {"import-avi", target, avi, "--size", "0x0"}},
      {2, {"import-avi", target, avi, "--size", "-5x-5"}},
      {2, {"import-avi", target, avi, "--size", "70000x70000"}},
      {2, {"import-avi", target, avi, "--from", "300", "--to", "100"}},
      {2, {"import-avi", target, avi, "--to", "99999999"}},
      {2, {"import-avi", target, avi, "--channel", "99"}},
      {2, {"import-avi", target, avi, "--renumber", "5,10,1"}},
      {2, {"import-avi", target, avi, "--tail-frames", "-5"}},
      {2, {"import-avi", target, avi, "--rebuild", "--fps", "1000"}},
      {2, {"export-avi", target, "-o", dir + "/o.avi", "--rate", "0"}},
      {2, {"export-avi", target, "-o", dir + "/o.avi", "--arate", "1"}},
      {2, {"export-avi", target, "-o", dir + "/o.avi", "--arate", "2000000000"}},
      {2, {"export-avi", target, "-o", dir + "/o.avi", "--from", "300", "--to", "100"}},
      {2, {"decode", target, "--to", "99999999"}},
      {2, {"new", dir + "/n.str", avi, "--trailing", "-5"}},
      {2, {"new", dir + "/n.str", avi, "--header", "60,01,01"}},
      {1, {"new", dir + "/n.str", avi, "--header", "00,00,00,00"}},
      {1, {"new", dir + "/n.str", avi, "--speed", "1", "--fps", "90"}},
  };
  for (const auto& [status, args] : cases) {
    auto r = RunCommand(Cli(args));
    EXPECT_EQ(r.Status, status) << args[0] << " " << args[3] << ": " << r.Err;
    EXPECT_FALSE(r.Err.empty());
  }
  EXPECT_EQ(ReadFileBytes(target), original);
  EXPECT_FALSE(fs::exists(dir + "/o.avi"));
  EXPECT_FALSE(fs::exists(dir + "/n.str"));
  EXPECT_FALSE(fs::exists(dir + "/n.str.part"));
  // A video wider than any frame.
  test::AviRecipe wide;
  wide.Width = 4112;
  wide.Height = 16;
  wide.Frames = 2;
  wide.SoundRate = 0;
  test::WriteTestAvi(dir + "/wide.avi", wide);
  auto r = RunCommand(Cli({"new", dir + "/w.str", dir + "/wide.avi"}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("4112"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(dir + "/w.str"));
}

// A frame whose first chunk claims more chunks than it has is not taken in
// (its neighbour's sectors would be overwritten).
TEST_F(DataSafetyTest, LyingChunkCountKeepsTheNeighbourFrame) {
  const std::string target = Copy();
  auto bytes = original;
  // The builder's frames: 10 sectors apart, chunk 0 of frame 4 at sector 40.
  const size_t header = 44 + 40 * 2352 + 24;
  ASSERT_EQ(GetU16(&bytes[header + 4]), 0);
  PutU16(&bytes[header + 6], 14);
  test::WriteFileBytes(target, bytes);
  auto r = RunCommand(Cli({"import-bmp", target, "--sector", "40", bmp}));
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_EQ(ReadFileBytes(target), bytes);
}

// Headers that would have the program allocate gigabytes or overflow its
// arithmetic are refused at once.
TEST_F(DataSafetyTest, HostileHeadersAreRefusedCheaply) {
  // A BMP whose height is INT_MIN, and one whose image size is 0xFFFFFFFF.
  auto b = test::BmpBytes(test::BmpRecipe{});
  PutU32(&b[22], 0x80000000u);
  test::WriteFileBytes(dir + "/tall.bmp", b);
  const std::string target = Copy();
  auto r = RunCommand(Cli({"import-bmp", target, "--frame", "0", dir + "/tall.bmp"}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("BMP"), std::string::npos) << r.Err;
  b = test::BmpBytes(test::BmpRecipe{});
  PutU32(&b[34], 0xFFFFFFFFu);
  test::WriteFileBytes(dir + "/huge.bmp", b);
  r = RunCommand(Cli({"import-bmp", target, "--frame", "0", dir + "/huge.bmp"}));
  EXPECT_EQ(r.Status, 0) << r.Err;  // the rows it has are read, no more

  // A frame header claiming 65535 x 8000 pixels.
  auto bytes = original;
  PutU16(&bytes[44 + 24 + 16], 65535);
  PutU16(&bytes[44 + 24 + 18], 8000);
  test::WriteFileBytes(target, bytes);
  r = RunCommand(Cli({"export-avi", target, "-o", dir + "/big.avi"}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_FALSE(fs::exists(dir + "/big.avi"));

  // A video that declares 2^31 frames in a file of a few hundred kilobytes:
  // read by what the file holds.
  auto video = ReadFileBytes(avi);
  for (size_t at = 0; at + 8 < video.size(); at++) {
    if (std::memcmp(&video[at], "avih", 4) == 0) PutU32(&video[at + 8 + 16], 0x80000000u);
    if (std::memcmp(&video[at], "strh", 4) == 0 && std::memcmp(&video[at + 8], "vids", 4) == 0)
      PutU32(&video[at + 8 + 32], 0x80000000u);
  }
  test::WriteFileBytes(dir + "/lying.avi", video);
  r = RunCommand(Cli({"new", dir + "/lying.str", dir + "/lying.avi", "-q"}));
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_LT(fs::file_size(dir + "/lying.str"), 2u << 20);
}

// A file left by an interrupted edit is refused until it is recovered; a
// journal that cannot prove itself is refused by the recovery too, which
// then leaves the file and the journal as they are.
TEST_F(DataSafetyTest, JournalOfAnInterruptedEditIsReported) {
  const std::string target = Copy();
  {
    SectorFile f;  // an edit killed after its first write
    ASSERT_TRUE(f.Open(target, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(f.BeginJournal());
    ASSERT_TRUE(f.WriteAt(5000, "changed", 7));
  }
  auto r = RunCommand(Cli({"info", target}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("recover"), std::string::npos) << r.Err;
  r = RunCommand(Cli({"recover", target}));
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFileBytes(target), original);
  EXPECT_EQ(RunCommand(Cli({"info", target})).Status, 0);
  r = RunCommand(Cli({"recover", target}));
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Err.find("ありません"), std::string::npos) << r.Err;

  test::WriteFileBytes(JournalPath(target), {1, 2, 3});
  r = RunCommand(Cli({"recover", target}));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("使えません"), std::string::npos) << r.Err;
  EXPECT_TRUE(JournalExists(target));
  EXPECT_EQ(ReadFileBytes(target), original);
}

// A file made anew where an edit was interrupted (over it with --force, or
// after it was deleted with its journal left) is a file of its own: it
// opens at once, and a recovery finds nothing of it to roll back. The old
// journal goes only once the new file is complete: a `new` that fails
// leaves the half-edited file and its journal for the recovery.
TEST_F(DataSafetyTest, NewFileWhereAnEditWasInterruptedOpensAsItIs) {
  struct Case {
    const char* Name;
    bool DeleteFirst;
    long FailAfter;  // -1: the writes succeed
  };
  const Case cases[] = {
      {"new --force over a half-edited file", false, -1},
      {"new after the half-edited file was deleted", true, -1},
      {"new --force that fails on a full disk", false, 30000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string target = Copy("half.str");
    {
      SectorFile killed;  // an edit killed after its first write
      ASSERT_TRUE(killed.Open(target, SectorFile::Mode::kReadWrite));
      ASSERT_TRUE(killed.BeginJournal());
      ASSERT_TRUE(killed.WriteAt(5000, "changed", 7));
    }
    const std::string journal = JournalPath(target);
    ASSERT_TRUE(fs::exists(journal));
    const auto half = ReadFileBytes(target);
    struct stat before {};
    ASSERT_EQ(::stat(target.c_str(), &before), 0);
    if (c.DeleteFirst) fs::remove(target);
    std::vector<std::string> args = {"new", target, avi};
    if (!c.DeleteFirst) args.push_back("--force");
    auto r = RunCommand(c.FailAfter >= 0 ? FailingAfter(c.FailAfter, args) : Cli(args));
    if (c.FailAfter >= 0) {
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_EQ(ReadFileBytes(target), half);
      EXPECT_TRUE(JournalExists(target));
      EXPECT_EQ(RunCommand(Cli({"recover", target})).Status, 0);
      EXPECT_EQ(ReadFileBytes(target), original);
      continue;
    }
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto made = ReadFileBytes(target);
    ASSERT_FALSE(made.empty());
    EXPECT_FALSE(JournalExists(target));
    // The old journal went with the file it belonged to; after a deletion
    // it is found only where the new file was given the old one's inode.
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    if (!c.DeleteFirst || after.st_ino == before.st_ino) {
      EXPECT_FALSE(fs::exists(journal));
    }
    auto info = RunCommand(Cli({"info", target}));
    EXPECT_EQ(info.Status, 0) << info.Err;
    EXPECT_EQ(info.Err.find("recover"), std::string::npos) << info.Err;
    auto recovered = RunCommand(Cli({"recover", target}));
    EXPECT_EQ(recovered.Status, 0) << recovered.Err;
    EXPECT_NE(recovered.Err.find("ありません"), std::string::npos) << recovered.Err;
    EXPECT_EQ(ReadFileBytes(target), made);
    fs::remove(journal);
  }
}

// While one process edits a file, every other command on it, by any of its
// names, is refused with the editor's pid: a second edit, a recovery (which
// would roll the edit back under it), and readers (which would read it half
// done). Once the editor is gone, its journal keeps readers of STR and
// sound-only files away until it is recovered.
TEST_F(DataSafetyTest, EditsInProgressOrInterruptedKeepEveryCommandAway) {
  const std::string target = Copy();
  const std::string link = dir + "/link.str", hard = dir + "/hard.str";
  fs::create_symlink(target, link);
  fs::create_hard_link(target, hard);
  test::XaFileRecipe xa;
  xa.Channels = {test::XaChannelRecipe{}};
  xa.Channels[0].Sectors = 8;
  const std::string sound = dir + "/sound.xa";
  test::WriteFileBytes(sound, test::BuildXaFile(xa));
  const auto soundBytes = ReadFileBytes(sound);
  const std::string pid = "pid " + std::to_string(::getpid());
  const std::string wav = dir + "/out.wav";
  {
    SectorFile editor;
    ASSERT_TRUE(editor.Open(target, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(editor.BeginJournal());
    ASSERT_TRUE(editor.WriteAt(5000, "changed", 7));
    const auto during = ReadFileBytes(target);
    const std::vector<std::vector<std::string>> refused = {
        {"import-bmp", link, "--frame", "0", bmp},
        {"import-bmp", hard, "--frame", "0", bmp},
        {"import-avi", link, avi},
        {"recover", hard},
        {"recover", link},
        {"info", hard},
        {"export-wav", link, "-o", wav},
        {"check", hard, "--fix"},
    };
    for (const auto& args : refused) {
      SCOPED_TRACE(args[0] + " " + args[1]);
      auto r = RunCommand(Cli(args));
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find("別のプロセス"), std::string::npos) << r.Err;
      EXPECT_NE(r.Err.find(pid), std::string::npos) << r.Err;
      EXPECT_EQ(ReadFileBytes(target), during);
      EXPECT_TRUE(JournalExists(target));
    }
    EXPECT_FALSE(fs::exists(wav));
  }
  {
    SectorFile killed;
    ASSERT_TRUE(killed.Open(sound, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(killed.BeginJournal());
    ASSERT_TRUE(killed.WriteAt(3000, "changed", 7));
  }
  for (const std::string& file : {target, link, sound}) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", file}, {"info", file, "--json"},
          {"export-wav", file, "-o", wav}}) {
      SCOPED_TRACE(args[0] + " " + file);
      auto r = RunCommand(Cli(args));
      EXPECT_EQ(r.Status, 1) << r.Out;
      EXPECT_NE(r.Err.find("recover"), std::string::npos) << r.Err;
    }
  }
  EXPECT_FALSE(fs::exists(wav));
  for (const std::string& file : {link, sound}) EXPECT_EQ(RunCommand(Cli({"recover", file})).Status, 0);
  EXPECT_EQ(ReadFileBytes(target), original);
  EXPECT_EQ(ReadFileBytes(sound), soundBytes);
  EXPECT_EQ(RunCommand(Cli({"export-wav", sound, "-o", wav})).Status, 0);
}

// `recover` run at any moment of a running edit neither disturbs it nor
// rolls it back: it is refused while the edit holds the file, and finds
// nothing to do before and after.
TEST_F(DataSafetyTest, RecoverDuringARunningEditIsRefused) {
  const std::string target = Copy();
  const auto args = Cli({"import-avi", target, longAvi, "--rebuild", "--resize", "yes", "-q"});
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCommand(args).Status, 0);
  const auto took = std::chrono::steady_clock::now() - start;
  const auto complete = ReadFileBytes(target);

  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::mt19937 random(23);
  const int64_t range = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
  int refused = 0;
  for (int attempt = 0; attempt < 12; attempt++) {
    test::WriteFileBytes(target, original);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % uint64_t(range + 1)));
    auto r = RunCommand(Cli({"recover", target}));
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "attempt " << attempt;
    EXPECT_EQ(ReadFileBytes(target), complete) << "attempt " << attempt;
    EXPECT_FALSE(JournalExists(target));
    if (r.Status == 1) {
      EXPECT_NE(r.Err.find("別のプロセス"), std::string::npos) << r.Err;
      refused++;
    } else {
      EXPECT_EQ(r.Status, 0) << r.Err;
    }
  }
  std::printf("12 recoveries during an edit: %d refused, the rest found nothing to do\n", refused);
}

// A half-edited file stays bound to its journal: moved to another folder or
// renamed, it is refused until recovered, and `recover` under its new name
// finds the journal left in the old folder; replaced in place by another
// movie of the same length (as `cp` does, keeping the inode), it matches
// neither what the edit found nor what it wrote, and `recover` refuses,
// naming the file and the journal, and says how to discard the journal.
TEST_F(DataSafetyTest, AJournalFollowsItsFileAndRefusesAnother) {
  test::MovieRecipe m;
  m.Frames = 12;
  m.ChunkPattern = {9, 9, 9, 8};
  m.Width = 160;
  m.Height = 112;
  m.AudioCoding = kCoding378Stereo;
  m.AudioChannel = 1;
  m.TrailingFillers = 2;
  std::mt19937 random(5);
  m.Bitstream = [&](int) { return test::EncodeLevels(test::RandomLevels(160, 112, random), 2, 2); };
  const auto other = test::BuildMovie(m).Bytes();
  ASSERT_EQ(other.size(), original.size());
  ASSERT_NE(other, original);
  const std::string sub = dir + "/sub";
  struct Case {
    const char* Name;
    std::function<std::string(const std::string&)> Change;  // the file's name afterwards
    bool Replaced;
  };
  const std::vector<Case> cases = {
      {"replaced in place by another movie",
       [&](const std::string& t) {
         OverwriteInPlace(t, other);
         return t;
       },
       true},
      {"moved to another folder",
       [&](const std::string& t) {
         fs::create_directories(sub);
         fs::rename(t, sub + "/edit.str");
         return sub + "/edit.str";
       },
       false},
      {"renamed",
       [&](const std::string& t) {
         fs::rename(t, dir + "/renamed.str");
         return dir + "/renamed.str";
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string target = Copy();
    fs::remove(dir + "/o.avi");
    auto killed = RunCommand(KilledAfter(
        60000, "edit.str", {"import-avi", target, longAvi, "--rebuild", "--resize", "yes", "-q"}));
    ASSERT_NE(killed.Status, 0) << killed.Err;
    ASSERT_TRUE(JournalExists(target));
    ASSERT_NE(ReadFileBytes(target), original);
    const std::string now = c.Change(target);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", now}, {"export-avi", now, "-o", dir + "/o.avi"}}) {
      auto r = RunCommand(Cli(args));
      EXPECT_EQ(r.Status, 1) << args[0] << ": " << r.Err;
      EXPECT_NE(r.Err.find("recover"), std::string::npos) << r.Err;
    }
    EXPECT_FALSE(fs::exists(dir + "/o.avi"));
    auto r = RunCommand(Cli({"recover", now}));
    if (c.Replaced) {
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find(now), std::string::npos) << r.Err;
      EXPECT_NE(r.Err.find(".journal"), std::string::npos) << r.Err;
      EXPECT_NE(r.Err.find("recover --discard"), std::string::npos) << r.Err;
      EXPECT_EQ(ReadFileBytes(now), other);
      EXPECT_TRUE(JournalExists(now));
      r = RunCommand(Cli({"recover", "--discard", now}));
      EXPECT_EQ(r.Status, 0) << r.Err;
      EXPECT_EQ(ReadFileBytes(now), other);
    } else {
      EXPECT_EQ(r.Status, 0) << r.Err;
      EXPECT_EQ(ReadFileBytes(now), original);
    }
    EXPECT_FALSE(JournalExists(now));
    EXPECT_EQ(RunCommand(Cli({"info", now})).Status, 0);
    EXPECT_TRUE(HiddenFiles(dir).empty());
    EXPECT_TRUE(HiddenFiles(sub).empty());
    fs::remove(now);
    fs::remove_all(sub);
  }
}

// A journal's temporary file left by a kill before it was put in place is
// removed by the next edit or recovery of that file.
TEST_F(DataSafetyTest, LeftoverTemporaryJournalsAreRemoved) {
  for (const bool edit : {true, false}) {
    SCOPED_TRACE(edit ? "an edit" : "a recovery");
    const std::string target = Copy();
    const std::string leftover = JournalPath(target) + ".Xy12Ab";
    test::WriteFileBytes(leftover, {1, 2, 3});
    auto r = RunCommand(Cli(edit ? std::vector<std::string>{"import-bmp", target, "--frame", "2", bmp}
                                 : std::vector<std::string>{"recover", target}));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(HiddenFiles(dir).empty());
  }
}

}  // namespace
}  // namespace belmora
