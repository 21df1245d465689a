// Files made to hurt: outputs whose names are taken by links or by the
// user's own files, reports aimed at inputs, disc images and cue sheets that
// would make a reader loop or scan without end, subtitles and pictures far
// larger than any frame, names that are not UTF-8, CD audio in a disc image,
// sequences with a gap, and a lengthening stopped half way. Each must end
// with a message and the user's files whole (as they were, or consistently
// changed), in bounded time and memory (the commands run under an
// address-space limit).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "base/bytes.h"
#include "str/journal.h"
#include "str/sector_file.h"
#include "tests/support/avi_builder.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/cli_command.h"
#include "tests/support/disc_builder.h"
#include "tests/support/hostile_inputs.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"
#include "tests/support/xa_builder.h"

extern char** environ;

namespace belmora {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::ReadFileBytes;
using test::RunCommand;
using test::RunResult;

// The command with its address space limited to `mib` MiB (not under the
// address sanitizer, whose shadow memory alone is larger). Commands that
// load FFmpeg map about 260 MiB of libraries and thread stacks before they
// read anything: they get 200 MiB on top of that.
constexpr int kWithFfmpeg = 460;
constexpr int kSubtitleLimit = 2048;
std::vector<std::string> Bounded(std::vector<std::string> args, int mib = 200) {
#if defined(__SANITIZE_ADDRESS__)
  (void)mib;
  return Cli(std::move(args));
#else
  std::vector<std::string> c = {"bash", "-c",
                                "ulimit -v " + std::to_string(mib * 1024) + "; exec \"$@\"", "_"};
  auto cli = Cli(std::move(args));
  c.insert(c.end(), cli.begin(), cli.end());
  return c;
#endif
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Files of the folder whose names start with a dot (temporary files).
std::vector<std::string> HiddenFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
  return names;
}

// The command ended (SIGKILL) after `seconds` if it has not ended by then:
// a reader that blocks or runs without end fails the test instead of hanging
// it.
std::vector<std::string> WithTimeout(std::vector<std::string> command, int seconds = 10) {
  command.insert(command.begin(), {"timeout", "-s", "KILL", std::to_string(seconds)});
  return command;
}

// A file of `size` bytes of which none is stored (all zeros).
void WriteSparse(const std::string& path, int64_t size) {
  std::ofstream(path, std::ios::binary);
  fs::resize_file(path, uintmax_t(size));
}

// A socket bound at `path`; false where none can be made.
bool MakeSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  if (path.size() >= sizeof a.sun_path) return false;
  std::strcpy(a.sun_path, path.c_str());
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    test::WriteFileBytes(str, test::HostileMovie());
    original = ReadFileBytes(str);
    test::AviRecipe v;
    v.Width = 160;
    v.Height = 112;
    v.Frames = 8;
    test::WriteTestAvi(avi, v);
    v.Frames = 30;
    test::WriteTestAvi(longAvi, v);
    aviBytes = ReadFileBytes(avi);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string dir = test::TempPath("hostile");
  std::string str = dir + "/movie.str", avi = dir + "/in.avi", longAvi = dir + "/long.avi";
  std::vector<uint8_t> original, aviBytes;
};

// A name beside the output that is already taken (a stale OUT.part linked
// to an input, or the user's own file of that name) is never written
// through or removed; the output is made under a fresh name of its own.
TEST_F(HostileInputTest, OutputsAreMadeUnderFreshNamesOnly) {
  struct Case {
    std::string Name;
    std::vector<std::string> Args;
    std::string Out;
    bool Fails;
  };
  const std::vector<Case> cases = {
      {"export-avi", {"export-avi", str, "-o", dir + "/o.avi"}, dir + "/o.avi", false},
      {"export-wav", {"export-wav", str, "-o", dir + "/o.wav"}, dir + "/o.wav", false},
      {"export-bmp", {"export-bmp", str, "--frame", "0", "-o", dir + "/o.bmp"}, dir + "/o.bmp", false},
      {"new", {"new", dir + "/o.str", avi}, dir + "/o.str", false},
      {"new failing", {"new", dir + "/f.str", avi, "--header", "00,00,00,00"}, dir + "/f.str", true},
  };
  for (const Case& c : cases) {
    for (const bool linked : {true, false}) {
      SCOPED_TRACE(c.Name + (linked ? ", OUT.part links to the input" : ", the user's OUT.part"));
      fs::remove(c.Out);
      fs::remove(c.Out + ".part");
      const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
      if (linked)
        fs::create_symlink(c.Name.rfind("new", 0) == 0 ? avi : str, c.Out + ".part");
      else
        test::WriteFileBytes(c.Out + ".part", mine);
      auto r = RunCommand(Cli(c.Args));
      EXPECT_EQ(r.Status, c.Fails ? 1 : 0) << r.Err;
      EXPECT_EQ(ReadFileBytes(str), original);
      EXPECT_EQ(ReadFileBytes(avi), aviBytes);
      if (linked) {
        EXPECT_TRUE(fs::is_symlink(c.Out + ".part"));
      } else {
        EXPECT_EQ(ReadFileBytes(c.Out + ".part"), mine);
      }
      EXPECT_EQ(fs::exists(c.Out), !c.Fails);
      EXPECT_TRUE(HiddenFiles(dir).empty());
    }
  }
}

// Every output gets the output check: a report aimed at an input, or at a
// file that exists, is refused before anything is done (also in a dry run);
// export-frames keeps the pictures of an earlier export, and never writes
// over its own input sitting among them.
TEST_F(HostileInputTest, ReportsAndPicturesGetTheOutputCheck) {
  test::WriteFileBytes(dir + "/line.srt", std::vector<uint8_t>{'1', '\n'});
  WriteText(dir + "/line.srt", "1\n00:00:00,000 --> 00:00:01,000\nHello\n");
  const auto subs = ReadFileBytes(dir + "/line.srt");
  test::WriteFileBytes(dir + "/old.csv", {'o', 'l', 'd'});
  const std::vector<std::vector<std::string>> refused = {
      {"import-avi", str, avi, "--report", str},
      {"import-avi", str, avi, "--report", avi, "--dry-run"},
      {"import-avi", str, avi, "--report", dir + "/old.csv"},
      {"import-avi", str, avi, "--report", dir},
      {"import-avi", str, avi, "--report", dir + "/no/such/folder/r.csv"},
      {"subtitle", str, dir + "/line.srt", "--report", dir + "/line.srt"},
      {"subtitle", str, dir + "/line.srt", "--report", str, "--dry-run"},
      {"new", dir + "/n.str", avi, "--report", avi},
  };
  for (const auto& args : refused) {
    SCOPED_TRACE(args[0] + " --report " + args[4]);
    auto r = RunCommand(Cli(args));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_FALSE(r.Err.empty());
    EXPECT_EQ(ReadFileBytes(str), original);
    EXPECT_EQ(ReadFileBytes(avi), aviBytes);
    EXPECT_EQ(ReadFileBytes(dir + "/line.srt"), subs);
    EXPECT_EQ(ReadFileBytes(dir + "/old.csv"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(fs::exists(dir + "/n.str"));
    EXPECT_FALSE(JournalExists(str));
  }
  // With --force an existing report is replaced.
  auto r = RunCommand(Cli({"import-avi", str, avi, "--report", dir + "/old.csv", "--force",
                           "--dry-run"}));
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(ReadFileBytes(dir + "/old.csv").size(), 3u);

  const std::string pictures = dir + "/pictures";
  ASSERT_EQ(RunCommand(Cli({"export-frames", str, pictures})).Status, 0);
  const auto first = ReadFileBytes(pictures + "/000000.png");
  r = RunCommand(Cli({"export-frames", str, pictures, "--half"}));
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_NE(r.Err.find("--force"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadFileBytes(pictures + "/000000.png"), first);
  r = RunCommand(Cli({"export-frames", str, pictures, "--half", "--force"}));
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(ReadFileBytes(pictures + "/000000.png"), first);
  // The input itself under a picture's name.
  fs::remove(pictures + "/000003.png");
  fs::create_hard_link(str, pictures + "/000003.png");
  r = RunCommand(Cli({"export-frames", pictures + "/000003.png", pictures, "--force"}));
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_EQ(ReadFileBytes(str), original);
}

// A report that cannot be written stops the edit before it begins; the
// message names the report and the reason.
TEST_F(HostileInputTest, UnwritableReportStopsTheEditBeforeItBegins) {
  WriteText(dir + "/line.srt", "1\n00:00:00,000 --> 00:00:01,000\nHello\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"import-avi", str, avi, "--report", dir + "/missing/r.csv"},
           {"subtitle", str, dir + "/line.srt", "--report", dir + "/missing/r.json"},
           {"import-bmp", str, dir + "/x.bmp", "--frame", "0", "--report", dir + "/missing/r.csv"}}) {
    SCOPED_TRACE(args[0]);
    auto r = RunCommand(Cli(args));
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find(dir + "/missing/r."), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFileBytes(str), original);
  }
}

// The command under the failing-writes library, with its settings `env`.
std::vector<std::string> WithFailures(std::vector<std::string> env, std::vector<std::string> args) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::vector<std::string> c = {"env", std::string("LD_PRELOAD=") + BELMORA_FAIL_WRITES,
                                std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                    ":verify_asan_link_order=0"};
  c.insert(c.end(), env.begin(), env.end());
  auto cli = Cli(std::move(args));
  c.insert(c.end(), cli.begin(), cli.end());
  return c;
}

// A report that fails once the edit is done: when its text cannot be
// written, the edit is undone (the report is written before the edit is
// made final), so running the command again does the edit once; when the
// written report cannot be put in place, the edit stands and the message
// says so, and that it must not be run again.
TEST_F(HostileInputTest, ReportFailingAfterTheEditSaysWhatWasDone) {
  WriteText(dir + "/line.srt", "1\n00:00:00,000 --> 00:00:01,000\nHello\n");
  test::WriteBgrBmp(dir + "/in.bmp", test::NaturalPicture(160, 112, 1), 160, 112);
  const std::string edit = dir + "/edit.str", made = dir + "/made.str", report = dir + "/r.csv";
  struct Case {
    std::string Name;
    std::vector<std::string> Args;
    std::string Target;
  };
  const std::vector<Case> cases = {
      {"import-avi", {"import-avi", edit, avi, "--report", report}, edit},
      {"subtitle", {"subtitle", edit, dir + "/line.srt", "--report", report}, edit},
      {"import-bmp", {"import-bmp", edit, dir + "/in.bmp", "--frame", "0", "--report", report}, edit},
      {"new", {"new", made, avi, "--report", report}, made},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto reset = [&] {
      test::WriteFileBytes(edit, original);
      fs::remove(made);
      fs::remove(report);
    };
    reset();
    auto whole = RunCommand(Cli(c.Args));
    ASSERT_EQ(whole.Status, 0) << whole.Err;
    const auto complete = ReadFileBytes(c.Target);
    ASSERT_NE(complete, original);
    const auto reportText = ReadFileBytes(report);
    ASSERT_FALSE(reportText.empty());

    // The report's text cannot be written: nothing is edited.
    reset();
    auto r = RunCommand(
        WithFailures({"BELMORA_FAIL_AFTER=0", "BELMORA_FAIL_NAME=r.csv"}, c.Args));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find(report), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("もう一度実行しないでください"), std::string::npos) << r.Err;
    if (c.Target == edit) {
      EXPECT_EQ(ReadFileBytes(edit), original);
    } else {
      EXPECT_FALSE(fs::exists(made));
    }
    EXPECT_FALSE(JournalExists(edit));
    EXPECT_FALSE(fs::exists(report));
    EXPECT_TRUE(HiddenFiles(dir).empty());
    // Run again, it edits once.
    auto again = RunCommand(Cli(c.Args));
    EXPECT_EQ(again.Status, 0) << again.Err;
    EXPECT_EQ(ReadFileBytes(c.Target), complete);
    EXPECT_EQ(ReadFileBytes(report), reportText);

    // The report cannot be put in place: the edit is done, and said to be.
    reset();
    r = RunCommand(WithFailures({"BELMORA_FAIL_RENAME=r.csv"}, c.Args));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find(c.Target + " の編集は完了しています (もう一度実行しないでください)"),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find(report), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFileBytes(c.Target), complete);
    EXPECT_FALSE(JournalExists(edit));
    EXPECT_FALSE(fs::exists(report));
    EXPECT_TRUE(HiddenFiles(dir).empty());
  }
}

// check --fix rewrites the framing of data sectors only: CD audio sectors,
// known from the cue sheet's track types or, in a BIN alone, from the
// absence of any sync pattern, keep every byte.
TEST_F(HostileInputTest, CheckFixLeavesCdAudioAlone) {
  test::MovieRecipe m;
  m.Riff = false;
  m.Frames = 6;
  const auto data = test::BuildMovie(m).Bytes();
  const size_t dataSectors = data.size() / 2352;
  std::vector<uint8_t> bin = data;
  std::mt19937 random(3);
  for (size_t i = 0; i < 300 * 2352; i++) bin.push_back(uint8_t(random()));
  bin[2352 * 2 + 3] ^= 0xFF;  // a data sector whose sync is damaged
  const std::string binPath = dir + "/game.bin", cue = dir + "/game.cue";
  char msf[16];
  std::snprintf(msf, sizeof msf, "%02d:%02d:%02d", int(dataSectors / 4500),
                int(dataSectors / 75 % 60), int(dataSectors % 75));
  WriteText(cue, "FILE \"game.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
                 "  TRACK 02 AUDIO\n    INDEX 01 " + std::string(msf) + "\n");
  for (const std::string& given : {binPath, cue}) {
    SCOPED_TRACE(given);
    test::WriteFileBytes(binPath, bin);
    auto r = RunCommand(Cli({"check", given, "--fix", "--json"}));
    EXPECT_EQ(r.Status, 0) << r.Err << r.Out;
    const auto now = ReadFileBytes(binPath);
    ASSERT_EQ(now.size(), bin.size());
    EXPECT_TRUE(std::equal(now.begin() + long(dataSectors * 2352), now.end(),
                           bin.begin() + long(dataSectors * 2352)))
        << "CD audio changed";
    EXPECT_EQ(now[2352 * 2 + 3], data[2352 * 2 + 3]) << "the damaged data sector is mended";
    auto j = nlohmann::json::parse(r.Out);
    EXPECT_EQ(j["CdAudioSectors"], 300);
  }
}

// Inputs made to exhaust the readers finish in bounded memory: directories
// sharing subdirectories down 24 levels (each extent is walked once), a
// cue sheet of 20,000 missing files beside a folder of 2,000 (the folder
// is listed once), subtitles scaled 100000% and 100,000 shown at once (cut
// to what a picture can show, with a message), pictures whose header
// claims 16000 x 16000 (refused from the header), and names that are not
// UTF-8 in JSON output (written as U+FFFD). The bound is the command's
// peak resident memory, below 200 MiB; the address-space limit only keeps a
// runaway from taking the machine. Subtitles get a limit well above what
// an unbounded rendering takes, so that a failing allocation (which libass
// survives quietly) cannot pass for a bounded one.
TEST_F(HostileInputTest, HostileInputsStayBounded) {
  ASSERT_TRUE(test::WriteHostileInputs(dir, original));
  const std::string seq = dir + "/seq", latin1 = dir + "/caf\xE9.str";
  ASSERT_EQ(RunCommand(Cli({"export-frames", str, dir + "/png"})).Status, 0);
  test::WriteHugePng(dir + "/png/000004.png");

  struct Case {
    std::string Name;
    std::vector<std::string> Args;
    int Status;
    std::string Says;  // in stderr
    bool Json = false;
    int Mib = 200;
  };
  const std::vector<Case> cases = {
      {"shared directories", {"ls", dir + "/shared.iso"}, 0, ""},
      {"shared directories, JSON", {"ls", dir + "/shared.iso", "--json"}, 0, "", true},
      {"cue of missing files", {"ls", dir + "/many/big.cue"}, 0, ""},
      {"cue of missing files, info", {"info", dir + "/many/big.cue::/A.TXT"}, 1, ""},
      {"subtitle scaled 100000%", {"subtitle", str, dir + "/huge.ass", "--dry-run"}, 0, "制限",
       false, kSubtitleLimit},
      {"100,000 subtitles at once", {"subtitle", str, dir + "/many.srt", "--dry-run"}, 0, "制限",
       false, kSubtitleLimit},
      {"16000 x 16000 BMP in a sequence",
       {"import-avi", str, seq + "/%d.bmp", "--audio", "keep"}, 1, "16000", false, kWithFfmpeg},
      {"16000 x 16000 PNG in a sequence",
       {"new", dir + "/big.str", dir + "/png/%06d.png"}, 1, "16000", false, kWithFfmpeg},
      {"non-UTF-8 path, info", {"info", latin1, "--json"}, 0, "", true},
      {"non-UTF-8 path, check", {"check", latin1, "--json"}, 1, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto r = RunCommand(Bounded(c.Args, c.Mib));
    EXPECT_EQ(r.Status, c.Status) << r.Err;
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_GT(r.PeakKib, 0);
    EXPECT_LT(r.PeakKib, 200 * 1024) << "peak resident KiB";
#endif
    if (!c.Says.empty()) {
      EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
    }
    if (c.Json) {
      auto j = nlohmann::json::parse(r.Out, nullptr, false);
      EXPECT_FALSE(j.is_discarded()) << r.Out;
      EXPECT_NE(r.Out.find("\xEF\xBF\xBD"), std::string::npos) << "U+FFFD for the byte";
    }
  }
  EXPECT_EQ(ReadFileBytes(str), original);
  EXPECT_FALSE(fs::exists(dir + "/big.str"));
}

// A sequence with a picture missing is refused before anything is written,
// naming the first missing picture; it never blackens or drops frames.
TEST_F(HostileInputTest, MissingPictureInASequenceIsRefused) {
  ASSERT_EQ(RunCommand(Cli({"export-frames", str, dir + "/png"})).Status, 0);
  fs::remove(dir + "/png/000005.png");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"import-avi", str, dir + "/png/%06d.png", "--audio", "keep"},
           {"import-avi", str, dir + "/png/%06d.png", "--rebuild", "--resize", "yes"},
           {"new", dir + "/n.str", dir + "/png/%06d.png"}}) {
    SCOPED_TRACE(args[0] + " " + args.back());
    auto r = RunCommand(Cli(args));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("000005.png"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFileBytes(str), original);
    EXPECT_FALSE(fs::exists(dir + "/n.str"));
  }
}

// Ctrl-C at any moment of a lengthening rebuild: the command ends cancelled
// with the file put back byte for byte (never a shorter header over old
// frames left behind the new ones), or done with the complete result.
TEST_F(HostileInputTest, InterruptedLengtheningLeavesTheOriginal) {
  const std::string target = dir + "/edit.str";
  test::WriteFileBytes(target, original);
  const auto args = Cli({"import-avi", target, longAvi, "--rebuild", "--resize", "yes", "-q"});
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCommand(args).Status, 0);
  const auto took = std::chrono::steady_clock::now() - start;
  const auto complete = ReadFileBytes(target);
  ASSERT_GT(complete.size(), original.size());

  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  std::mt19937 random(29);
  const int64_t range = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
  int cancelled = 0;
  for (int attempt = 0; attempt < 15; attempt++) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    test::WriteFileBytes(target, original);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % uint64_t(range + 1)));
    ::kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    const auto now = ReadFileBytes(target);
    EXPECT_FALSE(JournalExists(target));
    if (WIFSIGNALED(status)) {
      // Interrupted before the command listens for Ctrl-C, or after it
      // stopped listening: nothing begun, or everything done.
      EXPECT_TRUE(now == original || now == complete);
      continue;
    }
    if (WEXITSTATUS(status) == 0) {
      EXPECT_EQ(now, complete);
      continue;
    }
    EXPECT_EQ(WEXITSTATUS(status), 3);
    cancelled++;
    EXPECT_EQ(now, original);
  }
  posix_spawn_file_actions_destroy(&quiet);
  std::printf("15 interrupts: %d cancelled\n", cancelled);
}

// Every reader given a FIFO (whose open would wait for a writer), /dev/zero
// (endless) and a 1 GiB sparse file, each under the name of the kind of file
// the command reads: it ends within 10 s under a 512 MiB address-space
// limit, with exit status 1 or 2 and a message naming the file (but for
// `recover` of the sparse file, a regular file with no journal: nothing to
// undo, exit status 0).
TEST_F(HostileInputTest, EveryReaderRefusesFifosDevicesAndHugeFiles) {
  const std::string bmp = dir + "/ok.bmp", xa = dir + "/voice.xa", sub = dir + "/line.srt";
  test::WriteBgrBmp(bmp, test::NaturalPicture(160, 112, 1), 160, 112);
  test::XaFileRecipe x;
  x.Channels = {test::XaChannelRecipe{}};
  test::WriteFileBytes(xa, test::BuildXaFile(x));
  WriteText(sub, "1\n00:00:00,000 --> 00:00:01,000\nHello\n");
  // Each command with X where the hostile file goes, and its extension.
  struct Reader {
    const char* Ext;
    std::vector<std::string> Args;
  };
  const std::vector<Reader> readers = {
      {"str", {"info", "X"}},
      {"str", {"check", "X"}},
      {"str", {"export-wav", "X", "-o", dir + "/o.wav"}},
      {"str", {"import-bmp", "X", "--frame", "0", bmp}},
      {"str", {"recover", "X"}},
      {"xa", {"info", "X"}},
      {"iso", {"ls", "X"}},
      {"bin", {"ls", "X"}},
      {"cue", {"ls", "X"}},
      {"cue", {"check", "X"}},
      {"cue", {"info", "X::/A.STR"}},
      {"srt", {"subtitle", str, "X", "--dry-run"}},
      {"ass", {"subtitle", str, "X", "--dry-run"}},
      {"wav", {"import-wav", xa, "X", "--channel", "0"}},
      {"bmp", {"import-bmp", str, "--frame", "0", "X"}},
      {"avi", {"import-avi", str, "X"}},
      {"avi", {"new", dir + "/n.str", "X"}},
      {"png", {"new", dir + "/n.str", "SEQ"}},
  };
  const auto xaBytes = ReadFileBytes(xa);
  int n = 0;
  for (const char* kind : {"fifo", "zero", "sparse"}) {
    for (const Reader& reader : readers) {
      const std::string stem = dir + "/" + kind + std::to_string(n++);
      std::string file = stem + "." + reader.Ext;
      std::string seq;
      if (reader.Args.back() == "SEQ") {
        fs::create_directories(stem);
        test::WriteBgrBmp(stem + "/0.png", test::NaturalPicture(160, 112, 1), 160, 112);
        file = stem + "/1.png";
        seq = stem + "/%d.png";
      }
      if (std::string(kind) == "fifo") {
        ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
      }
      if (std::string(kind) == "zero") fs::create_symlink("/dev/zero", file);
      if (std::string(kind) == "sparse") WriteSparse(file, int64_t(1) << 30);
      std::vector<std::string> args = reader.Args;
      for (auto& a : args) {
        if (a == "SEQ") a = seq;
        if (a.rfind("X", 0) == 0) a = file + a.substr(1);
      }
      SCOPED_TRACE(std::string(kind) + ": " + args[0] + " " + file);
      const auto start = std::chrono::steady_clock::now();
      auto r = RunCommand(WithTimeout(Bounded(args, 512)));
      const double took =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const bool nothingToUndo = args[0] == "recover" && std::string(kind) == "sparse";
      EXPECT_TRUE(nothingToUndo ? r.Status == 0 : r.Status == 1 || r.Status == 2)
          << "status " << r.Status << " after " << took << " s: " << r.Err;
      EXPECT_NE(r.Err.find(file), std::string::npos) << r.Err;
      EXPECT_EQ(r.Err.find("bad_alloc"), std::string::npos) << r.Err;
    }
  }
  EXPECT_EQ(ReadFileBytes(str), original);
  EXPECT_EQ(ReadFileBytes(xa), xaBytes);
  EXPECT_FALSE(fs::exists(dir + "/n.str"));
  EXPECT_FALSE(fs::exists(dir + "/o.wav"));
}

// Inputs far larger than any file of their kind are refused before they
// are read, naming the file and the limit; nothing is read whole: out of
// memory is a message and exit status 1, never an abort.
TEST_F(HostileInputTest, HugeInputsAreRefusedBeforeTheyAreRead) {
  const std::string xa = dir + "/voice.xa";
  test::XaFileRecipe x;
  x.Channels = {test::XaChannelRecipe{}};
  test::WriteFileBytes(xa, test::BuildXaFile(x));
  WriteSparse(dir + "/huge.srt", int64_t(3) << 30);
  WriteSparse(dir + "/huge.cue", int64_t(3) << 29);
  WriteSparse(dir + "/huge.bmp", int64_t(1) << 30);
  // A WAV whose header is right, its data the size of 1.5 GiB.
  WriteSparse(dir + "/huge.wav", (int64_t(3) << 29) + 44);
  {
    std::vector<uint8_t> h(44, 0);
    std::memcpy(&h[0], "RIFF", 4);
    PutU32(&h[4], uint32_t((int64_t(3) << 29) + 36));
    std::memcpy(&h[8], "WAVEfmt ", 8);
    PutU32(&h[16], 16);
    PutU16(&h[20], 1);
    PutU16(&h[22], 2);
    PutU32(&h[24], 37800);
    PutU32(&h[28], 37800 * 4);
    PutU16(&h[32], 4);
    PutU16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    PutU32(&h[40], uint32_t(int64_t(3) << 29));
    std::fstream f(dir + "/huge.wav", std::ios::in | std::ios::out | std::ios::binary);
    f.write(reinterpret_cast<const char*>(h.data()), 44);
  }
  // Not a WAV at all, 1.5 GiB.
  WriteSparse(dir + "/junk.wav", int64_t(3) << 29);
  struct Case {
    std::string Name;
    std::vector<std::string> Args;
    std::string File;
    bool NamesLimit;
  };
  const std::vector<Case> cases = {
      {"3 GiB subtitles", {"subtitle", str, dir + "/huge.srt", "--dry-run"}, dir + "/huge.srt", true},
      {"1.5 GiB cue sheet", {"ls", dir + "/huge.cue"}, dir + "/huge.cue", true},
      {"1.5 GiB cue sheet, check", {"check", dir + "/huge.cue"}, dir + "/huge.cue", true},
      {"1 GiB BMP", {"import-bmp", str, "--frame", "0", dir + "/huge.bmp"}, dir + "/huge.bmp", true},
      {"1.5 GiB WAV", {"import-wav", xa, dir + "/huge.wav", "--channel", "0"}, dir + "/huge.wav",
       true},
      {"1.5 GiB that is no WAV", {"import-wav", xa, dir + "/junk.wav", "--channel", "0"},
       dir + "/junk.wav", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto r = RunCommand(WithTimeout(Bounded(c.Args, 512)));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find(c.File), std::string::npos) << r.Err;
    if (c.NamesLimit) {
      EXPECT_NE(r.Err.find("上限"), std::string::npos) << r.Err;
    }
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(r.PeakKib, 100 * 1024) << "peak resident KiB";
#endif
  }
  EXPECT_EQ(ReadFileBytes(str), original);
}

// Outputs that are not regular files are never replaced, --force or not: a
// FIFO, a socket, a device node. The journal's own name taken by a FIFO or
// a symbolic link is refused by `recover` (without waiting on the FIFO),
// naming the journal; every other command says to recover.
TEST_F(HostileInputTest, OnlyRegularFilesAreReplacedAndJournalsAreRegularFiles) {
  const std::string fifo = dir + "/fifo", socket = dir + "/socket", node = dir + "/null";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::vector<std::string> outputs = {fifo};
  if (MakeSocket(socket)) outputs.push_back(socket);
  if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) outputs.push_back(node);
  for (const std::string& out : outputs) {
    struct stat before {};
    ASSERT_EQ(::lstat(out.c_str(), &before), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"export-wav", str, "-o", out, "--force"},
          {"export-bmp", str, "--frame", "0", "-o", out, "--force"},
          {"export-avi", str, "-o", out, "--force"},
          {"new", out, avi, "--force"}}) {
      SCOPED_TRACE(args[0] + " -o " + out);
      auto r = RunCommand(WithTimeout(Cli(args)));
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find(out), std::string::npos) << r.Err;
      struct stat after {};
      ASSERT_EQ(::lstat(out.c_str(), &after), 0);
      EXPECT_EQ(after.st_mode, before.st_mode);
      EXPECT_EQ(after.st_ino, before.st_ino);
    }
  }
  // The journal's name.
  const std::string journal = JournalPath(str);
  for (const bool link : {false, true}) {
    SCOPED_TRACE(link ? "a symbolic link at the journal's name" : "a FIFO at the journal's name");
    if (link)
      fs::create_symlink(avi, journal);
    else
      ASSERT_EQ(::mkfifo(journal.c_str(), 0644), 0);
    auto r = RunCommand(WithTimeout(Cli({"recover", str})));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find(journal), std::string::npos) << r.Err;
    r = RunCommand(WithTimeout(Cli({"info", str})));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("recover"), std::string::npos) << r.Err;
    r = RunCommand(WithTimeout(Cli({"import-bmp", str, "--frame", "0", dir + "/none.bmp"})));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_EQ(ReadFileBytes(str), original);
    EXPECT_EQ(ReadFileBytes(avi), aviBytes);
    fs::remove(journal);
  }
}

// Ranges that run backwards or below 0 are refused like any other value out
// of range, before anything is written.
TEST_F(HostileInputTest, NegativeAndInvertedRangesAreRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {"import-avi", str, avi, "--to", "-5"},
      {"import-avi", str, avi, "--from", "-3"},
      {"import-avi", str, avi, "--from", "60", "--to", "20"},
      {"export-avi", str, "-o", dir + "/o.avi", "--from", "-1"},
      {"export-avi", str, "-o", dir + "/o.avi", "--to", "-2"},
      {"decode", str, "--to", "-5"},
      {"decode", str, "--from", "-5"},
      {"export-frames", str, dir + "/frames", "--to", "-5"},
      {"subtitle", str, dir + "/none.srt", "--from", "-7", "--dry-run"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " " + args[args.size() - 2] + " " + args.back());
    auto r = RunCommand(Cli(args));
    EXPECT_EQ(r.Status, 2) << r.Err;
    EXPECT_FALSE(r.Err.empty());
    EXPECT_EQ(ReadFileBytes(str), original);
  }
  EXPECT_FALSE(fs::exists(dir + "/o.avi"));
  EXPECT_FALSE(fs::exists(dir + "/frames/000000.png"));
}

// Commands that write several outputs check every one of them before the
// first is written: a refused one leaves no partial set behind.
TEST_F(HostileInputTest, SeveralOutputsAreAllCheckedFirst) {
  const std::string xa = dir + "/voice.xa";
  test::XaFileRecipe x;
  x.Channels = {test::XaChannelRecipe{}, test::XaChannelRecipe{}, test::XaChannelRecipe{}};
  for (int c = 0; c < 3; c++) x.Channels[size_t(c)].Channel = c;
  test::WriteFileBytes(xa, test::BuildXaFile(x));
  const std::string frames = dir + "/frames", voices = dir + "/voices";
  fs::create_directories(frames + "/000003.png");  // folders where pictures go
  fs::create_directories(frames + "/000005.bmp");
  fs::create_directories(voices);
  fs::create_hard_link(xa, voices + "/channel_02.wav");  // the input where a sound goes
  struct Case {
    std::vector<std::string> Args;
    std::string Dir;
  };
  for (const Case& c : std::vector<Case>{
           {{"export-frames", str, frames, "--force"}, frames},
           {{"export-frames", str, frames, "--format", "bmp", "--force"}, frames},
           {{"export-wav", xa, "--all-channels", voices, "--force"}, voices}}) {
    SCOPED_TRACE(c.Args[0] + " " + c.Args.back());
    auto r = RunCommand(Cli(c.Args));
    EXPECT_EQ(r.Status, 1) << r.Err;
    int files = 0;
    for (const auto& e : fs::directory_iterator(c.Dir)) files += e.is_regular_file();
    EXPECT_EQ(files, c.Dir == voices ? 1 : 0) << "outputs written before the refusal";
  }
  EXPECT_EQ(ReadFileBytes(str), original);
}

// Every failure to open or read names the file and the reason, in both
// languages.
TEST_F(HostileInputTest, FailuresToReadNameTheFileAndTheReason) {
  const std::string junk = dir + "/junk.str", notBmp = dir + "/not.bmp", missing = dir + "/no.str";
  test::WriteFileBytes(junk, std::vector<uint8_t>(70000, 0x11));
  test::WriteFileBytes(notBmp, std::vector<uint8_t>(100, 0x22));
  struct Case {
    std::vector<std::string> Args;
    std::string File;
    std::vector<std::string> Says;  // original, then English
  };
  const std::vector<Case> cases = {
      {{"info", missing}, missing, {"No such file or directory", "No such file or directory"}},
      {{"export-avi", missing, "-o", dir + "/o.avi"}, missing, {"No such file", "No such file"}},
      {{"info", junk}, junk, {"不明なフォーマットです。", "Unknown format."}},
      {{"import-bmp", str, "--frame", "0", notBmp}, notBmp, {"BMP形式ではありません", "Not a BMP"}},
      {{"import-bmp", str, "--frame", "0", dir + "/no.bmp"}, dir + "/no.bmp",
       {"No such file", "No such file"}},
      {{"import-wav", str, dir + "/no.wav", "--channel", "0"}, dir + "/no.wav",
       {"No such file", "No such file"}},
      {{"import-wav", str, notBmp, "--channel", "0"}, notBmp, {"RIFF WAVE", "RIFF WAVE"}},
      {{"subtitle", str, dir + "/no.srt", "--dry-run"}, dir + "/no.srt",
       {"No such file", "No such file"}},
  };
  for (const Case& c : cases) {
    for (int english = 0; english < 2; english++) {
      SCOPED_TRACE(c.Args[0] + " " + c.File + (english ? " (en)" : ""));
      std::vector<std::string> args = c.Args;
      if (english) args.insert(args.begin(), {"--lang", "en"});
      auto r = RunCommand(Cli(args));
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find(c.File), std::string::npos) << r.Err;
      EXPECT_NE(r.Err.find(c.Says[size_t(english)]), std::string::npos) << r.Err;
    }
  }
  // A disk that fills during an export: the output and the system's reason.
  auto r = RunCommand(test::FailingAfter(30000, {"export-avi", str, "-o", dir + "/full.avi"}));
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_NE(r.Err.find(dir + "/full.avi"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find(std::strerror(ENOSPC)), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(dir + "/full.avi"));
}

// A disc image left in the middle of an edit is not listed as if whole.
TEST_F(HostileInputTest, HalfEditedImageIsNotListed) {
  test::DiscBuilder disc;
  disc.AddDataFile("/MOVIE.STR", original);
  const std::string bin = dir + "/game.bin", cue = dir + "/game.cue";
  disc.WriteBinCue(bin, cue);
  {
    SectorFile killed;  // an edit killed after its first write
    ASSERT_TRUE(killed.Open(bin, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(killed.BeginJournal());
    ASSERT_TRUE(killed.WriteAt(40000, "changed", 7));
  }
  for (const std::string& image : {bin, cue}) {
    SCOPED_TRACE(image);
    auto r = RunCommand(Cli({"ls", image}));
    EXPECT_EQ(r.Status, 1) << r.Out;
    EXPECT_NE(r.Err.find("recover"), std::string::npos) << r.Err;
  }
  EXPECT_EQ(RunCommand(Cli({"recover", cue})).Status, 0);
  EXPECT_EQ(RunCommand(Cli({"ls", cue})).Status, 0);
}

}  // namespace
}  // namespace belmora
