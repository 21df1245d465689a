// The rollback journal and the edit lock: what the journal keeps, what a
// recovery puts back, which journals it refuses, and who may edit when.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "str/journal.h"
#include "str/sector_file.h"
#include "str/str_document.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(9);
    original.resize(300000);
    for (auto& b : original) b = uint8_t(random());
    WriteFileBytes(path, original);
  }
  void TearDown() override {
    std::filesystem::remove(JournalPath(path));
    std::filesystem::remove(path);
  }
  // Overwrites, grows and shrinks the file under a journal, as an edit does.
  void Edit(SectorFile& f) {
    ASSERT_TRUE(f.Open(path, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(f.BeginJournal());
    EXPECT_TRUE(JournalExists(path));
    std::vector<uint8_t> junk(5000, 0xAB);
    ASSERT_TRUE(f.WriteAt(1000, junk.data(), junk.size()));
    ASSERT_TRUE(f.WriteAt(3000, junk.data(), junk.size()));  // overlaps the first write
    ASSERT_TRUE(f.Protect(100000, 50000));
    ASSERT_TRUE(f.WriteAt(120000, junk.data(), 100));
    ASSERT_TRUE(f.WriteAt(299990, junk.data(), junk.size()));  // grows the file
    ASSERT_TRUE(f.Truncate(250000));                          // and shortens it
  }

  std::string path = test::TempPath("journal.bin");
  std::vector<uint8_t> original;
};

TEST_F(JournalTest, RollbackPutsEveryByteAndTheLengthBack) {
  SectorFile f;
  Edit(f);
  ASSERT_NE(ReadFileBytes(path), original);
  ASSERT_TRUE(f.RollbackJournal());
  EXPECT_EQ(ReadFileBytes(path), original);
  EXPECT_FALSE(JournalExists(path));
}

TEST_F(JournalTest, CommitKeepsTheEditAndDropsTheJournal) {
  SectorFile f;
  Edit(f);
  auto edited = ReadFileBytes(path);
  ASSERT_TRUE(f.CommitJournal());
  EXPECT_FALSE(JournalExists(path));
  EXPECT_EQ(ReadFileBytes(path), edited);
  EXPECT_EQ(RecoverJournal(path), RecoverResult::kNoJournal);
}

// A trial reads what it wrote and writes nothing to the file: random
// writes, growths and cuts, within a window and without, read back as a
// model of the file says, and the file stays as it was.
TEST_F(JournalTest, TrialSeesItsWritesAndLeavesTheFileAlone) {
  for (const bool window : {false, true}) {
    SCOPED_TRACE(window ? "window" : "whole file");
    std::mt19937 random(window ? 5 : 6);
    SectorFile f;
    ASSERT_TRUE(f.Open(path, SectorFile::Mode::kTrial));
    std::vector<uint8_t> model = original;
    if (window) {
      ASSERT_TRUE(f.Restrict(70001, 100000));
      model.assign(original.begin() + 70001, original.begin() + 170001);
    }
    ASSERT_TRUE(f.BeginJournal());
    for (int step = 0; step < 300; step++) {
      const int64_t at = int64_t(random() % (model.size() + 9000));
      const size_t size = 1 + random() % 9000;
      std::vector<uint8_t> data(size);
      for (auto& b : data) b = uint8_t(random());
      const int what = int(random() % 8);
      if (what < 5) {
        const bool fits = !window || at + int64_t(size) <= int64_t(model.size());
        ASSERT_EQ(f.WriteAt(at, data.data(), size), fits) << step;
        if (!fits) continue;
        if (model.size() < at + size) model.resize(size_t(at) + size, 0);
        std::copy(data.begin(), data.end(), model.begin() + at);
      } else if (what == 5 && !window) {
        const int64_t length = int64_t(random() % (original.size() + 20000));
        ASSERT_TRUE(f.Truncate(length));
        model.resize(size_t(length), 0);
      } else {
        std::vector<uint8_t> got(size);
        const bool inside = at + int64_t(size) <= int64_t(model.size());
        ASSERT_EQ(f.ReadAt(at, got.data(), size), inside) << step;
        if (inside) {
          ASSERT_TRUE(std::equal(got.begin(), got.end(), model.begin() + at)) << step;
        }
      }
      ASSERT_EQ(f.Size(), int64_t(model.size()));
    }
    EXPECT_TRUE(f.CommitJournal());
    std::vector<uint8_t> all(model.size());
    ASSERT_TRUE(f.ReadAt(0, all.data(), all.size()));
    EXPECT_EQ(all, model);
    // Put back: the file as it is.
    ASSERT_TRUE(f.RollbackJournal());
    EXPECT_EQ(f.Size(), window ? 100000 : int64_t(original.size()));
    EXPECT_FALSE(JournalExists(path));
    EXPECT_EQ(ReadFileBytes(path), original);
  }
}

TEST(Crc32cTest, MatchesTheReferenceValues) {
  const struct {
    std::string Text;
    uint32_t Crc;
  } cases[] = {{"", 0}, {"a", 0xC1D04330u}, {"123456789", 0xE3069283u},
               {std::string(32, '\0'), 0x8A9136AAu}, {std::string(32, '\xFF'), 0x62A8AB43u}};
  for (const auto& c : cases) {
    EXPECT_EQ(Crc32c(c.Text.data(), c.Text.size()), c.Crc) << c.Text.size();
    // Continued in two parts, the same.
    const size_t half = c.Text.size() / 2;
    EXPECT_EQ(Crc32c(c.Text.data() + half, c.Text.size() - half, Crc32c(c.Text.data(), half)),
              c.Crc);
  }
}

// A journal proves itself before a byte is written: one cut anywhere before
// its sealed end, damaged anywhere, made for another file, or for this file
// before something else changed it, is refused whole (the file untouched,
// the journal kept); one cut after its sealed end (a record whose overwrite
// never began) rolls back exactly.
TEST_F(JournalTest, RecoveryRefusesAnyJournalThatDoesNotProveItself) {
  // A small edit's journal, cut at every byte.
  {
    const std::vector<uint8_t> small(original.begin(), original.begin() + 20000);
    WriteFileBytes(path, small);
    SectorFile f;
    ASSERT_TRUE(f.Open(path, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(f.BeginJournal());
    std::vector<uint8_t> junk(300, 0xEE);
    ASSERT_TRUE(f.WriteAt(1000, junk.data(), junk.size()));
    ASSERT_TRUE(f.WriteAt(5000, junk.data(), junk.size()));
    ASSERT_TRUE(f.Truncate(19000));
    f.Close();
    const auto journal = ReadFileBytes(JournalPath(path));
    const auto edited = ReadFileBytes(path);
    int exact = 0;
    for (size_t cut = 0; cut <= journal.size(); cut++) {
      WriteFileBytes(path, edited);
      const std::vector<uint8_t> part(journal.begin(), journal.begin() + long(cut));
      WriteFileBytes(JournalPath(path), part);
      const RecoverResult r = RecoverJournal(path);
      if (r == RecoverResult::kRolledBack) {
        ASSERT_EQ(ReadFileBytes(path), small) << "cut at " << cut;
        exact++;
      } else {
        ASSERT_EQ(r, RecoverResult::kRefused) << "cut at " << cut;
        ASSERT_EQ(ReadFileBytes(path), edited) << "cut at " << cut;
        ASSERT_EQ(ReadFileBytes(JournalPath(path)), part) << "cut at " << cut;
      }
    }
    EXPECT_EQ(exact, 1);  // only the whole journal
    std::filesystem::remove(JournalPath(path));
    WriteFileBytes(path, original);
  }

  SectorFile f;
  Edit(f);
  f.Close();
  const auto journal = ReadFileBytes(JournalPath(path));
  const auto edited = ReadFileBytes(path);
  // A record appended but not sealed: the header's sealed length is the
  // journal's length without it.
  auto unsealed = journal;
  for (int i = 0; i < 40; i++) unsealed.push_back(uint8_t(i));

  enum Expect { kExact, kRefused };
  struct Case {
    std::string Name;
    std::vector<uint8_t> Journal;
    std::vector<uint8_t> File;
    Expect Result;
  };
  std::vector<Case> cases;
  for (size_t cut : {size_t(0), size_t(10), size_t(87), size_t(88), size_t(100),
                     journal.size() / 2, journal.size() - 1})
    cases.push_back({"cut at " + std::to_string(cut),
                     std::vector<uint8_t>(journal.begin(), journal.begin() + long(cut)), edited,
                     kRefused});
  cases.push_back({"whole", journal, edited, kExact});
  for (size_t cut = journal.size(); cut <= unsealed.size(); cut += 7)
    cases.push_back({"unsealed tail cut at " + std::to_string(cut),
                     std::vector<uint8_t>(unsealed.begin(), unsealed.begin() + long(cut)), edited,
                     kExact});
  // Header fields (version, device, length, head CRC, sealed length, birth
  // time, header CRC), a record's length and data.
  for (size_t at : {size_t(0), size_t(17), size_t(30), size_t(45), size_t(52), size_t(60),
                    size_t(66), size_t(74), size_t(86), size_t(88), size_t(88 + 9),
                    size_t(88 + 16 + 7), journal.size() / 2, journal.size() - 1}) {
    auto flipped = journal;
    flipped[at] ^= 0x10;
    cases.push_back({"bit flipped at " + std::to_string(at), flipped, edited, kRefused});
  }
  // The same file changed by someone else after the crash.
  auto changedHead = edited;
  changedHead[10] ^= 1;
  cases.push_back({"file changed at its start", journal, changedHead, kRefused});
  auto shortened = edited;
  shortened.resize(150000);
  cases.push_back({"file shortened", journal, shortened, kRefused});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteFileBytes(path, c.File);
    WriteFileBytes(JournalPath(path), c.Journal);
    RecoverDetail detail;
    const RecoverResult r = RecoverJournal(path, &detail);
    if (c.Result == kExact) {
      ASSERT_EQ(r, RecoverResult::kRolledBack);
      EXPECT_EQ(ReadFileBytes(path), original);
      EXPECT_FALSE(JournalExists(path));
    } else {
      ASSERT_EQ(r, RecoverResult::kRefused);
      EXPECT_NE(detail.Fault, JournalFault::kNone);
      EXPECT_EQ(ReadFileBytes(path), c.File);
      EXPECT_EQ(ReadFileBytes(JournalPath(path)), c.Journal);
    }
  }

  // A journal of another file (copied beside this one under its name).
  const std::string other = test::TempPath("journal-other.bin");
  WriteFileBytes(other, original);
  WriteFileBytes(path, edited);
  WriteFileBytes(JournalPath(other), journal);
  RecoverDetail detail;
  EXPECT_EQ(RecoverJournal(other, &detail), RecoverResult::kRefused);
  EXPECT_EQ(detail.Fault, JournalFault::kForeign);
  EXPECT_EQ(ReadFileBytes(other), original);
  std::filesystem::remove(JournalPath(other));
  std::filesystem::remove(other);
}

// One edit at a time, whatever name the file is reached by: the lock lies on
// the file itself, and its journal is found under every name.
TEST_F(JournalTest, OneEditAtATimeThroughEveryName) {
  const std::string link = path + ".link", hard = path + ".hard";
  std::filesystem::remove(link);
  std::filesystem::remove(hard);
  std::filesystem::create_symlink(path, link);
  std::filesystem::create_hard_link(path, hard);
  EXPECT_EQ(JournalPath(link), JournalPath(path));
  EXPECT_EQ(JournalPath(hard), JournalPath(path));
  for (const std::string& second : {path, link, hard}) {
    SCOPED_TRACE(second);
    SectorFile f, g;
    ASSERT_TRUE(f.Open(path, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(f.BeginJournal());
    std::vector<uint8_t> junk(100, 0xCD);
    ASSERT_TRUE(f.WriteAt(500, junk.data(), junk.size()));
    EXPECT_EQ(PendingEdit(second), EditState::kBeingEdited);
    ASSERT_TRUE(g.Open(second, SectorFile::Mode::kReadWrite));
    EXPECT_FALSE(g.BeginJournal());
    EXPECT_EQ(g.Error(), EAGAIN);
    // A recovery in the middle of the edit would roll it back under it.
    RecoverDetail detail;
    EXPECT_EQ(RecoverJournal(second, &detail), RecoverResult::kBeingEdited);
    EXPECT_EQ(detail.Pid, int(::getpid()));
    EXPECT_TRUE(JournalExists(second));
    ASSERT_TRUE(f.RollbackJournal());
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(PendingEdit(second), EditState::kNone);
  }
  // Left behind under one name, found and recovered under another.
  {
    SectorFile f;
    Edit(f);
  }
  EXPECT_EQ(PendingEdit(hard), EditState::kInterrupted);
  EXPECT_EQ(RecoverJournal(link), RecoverResult::kRolledBack);
  EXPECT_EQ(ReadFileBytes(hard), original);
  std::filesystem::remove(link);
  std::filesystem::remove(hard);
}

// A file opened before another edit changed its length is not written at
// positions that no longer mean what they did.
TEST_F(JournalTest, EditOfAFileChangedSinceItWasOpenedIsRefused) {
  SectorFile early;
  ASSERT_TRUE(early.Open(path, SectorFile::Mode::kReadWrite));
  {
    SectorFile other;
    ASSERT_TRUE(other.Open(path, SectorFile::Mode::kReadWrite));
    ASSERT_TRUE(other.BeginJournal());
    ASSERT_TRUE(other.Truncate(100000));
    ASSERT_TRUE(other.CommitJournal());
  }
  const auto shortened = ReadFileBytes(path);
  EXPECT_FALSE(early.BeginJournal());
  EXPECT_EQ(early.Error(), ESTALE);
  EXPECT_FALSE(JournalExists(path));
  // Replaced by another file under its name: the same.
  SectorFile replacedEarly;
  ASSERT_TRUE(replacedEarly.Open(path, SectorFile::Mode::kReadWrite));
  std::filesystem::remove(path);
  WriteFileBytes(path, shortened);
  EXPECT_FALSE(replacedEarly.BeginJournal());
  EXPECT_EQ(replacedEarly.Error(), ESTALE);
  EXPECT_EQ(ReadFileBytes(path), shortened);
  // Its own writes, committed, are no change of someone else's.
  SectorFile own;
  ASSERT_TRUE(own.Open(path, SectorFile::Mode::kReadWrite));
  ASSERT_TRUE(own.BeginJournal());
  ASSERT_TRUE(own.Truncate(50000));
  ASSERT_TRUE(own.CommitJournal());
  ASSERT_TRUE(own.BeginJournal());
  ASSERT_TRUE(own.CommitJournal());
}

TEST_F(JournalTest, DocumentEditRollsBackWhatItDidNotCommit) {
  test::MovieRecipe m;
  m.Frames = 6;
  test::BuildMovie(m).Write(path);
  const auto before = ReadFileBytes(path);
  CollectingHost host;
  StrDocument doc(host);
  ASSERT_EQ(OpenStrFile(doc, path), 0);
  {
    DocumentEdit edit(doc);
    ASSERT_TRUE(edit.Ok());
    ASSERT_TRUE(StoreBytes(doc, 5000, "changed", 7));
  }
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_FALSE(doc.IsOpen());  // its records no longer describe the file
  ASSERT_EQ(host.texts.size(), 1u);
  EXPECT_NE(host.texts[0].find("元のファイルに戻しました"), std::string::npos);

  // An edit that wrote nothing leaves no trace and says nothing.
  host.texts.clear();
  ASSERT_EQ(OpenStrFile(doc, path), 0);
  { DocumentEdit edit(doc); }
  EXPECT_TRUE(doc.IsOpen());
  EXPECT_FALSE(JournalExists(path));
  EXPECT_TRUE(host.texts.empty());

  // A journal left by an edit that never finished keeps new edits away.
  WriteFileBytes(JournalPath(path), {});
  DocumentEdit blocked(doc);
  EXPECT_FALSE(blocked.Ok());
  ASSERT_EQ(host.texts.size(), 1u);
  EXPECT_NE(host.texts[0].find("recover"), std::string::npos);
}

}  // namespace
}  // namespace belmora
