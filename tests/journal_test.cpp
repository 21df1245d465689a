// The rollback journal: what it keeps, what a recovery puts back, and what
// a journal cut short by a crash still says.
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
    std::filesystem::remove(path);
    std::filesystem::remove(JournalPath(path));
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

// A process killed after any part of the journal reached the disk: the
// recovery uses the records that are whole and stops at the first that is not.
TEST_F(JournalTest, RecoveryFromAJournalCutAnywhere) {
  SectorFile f;
  Edit(f);
  f.Close();
  const auto journal = ReadFileBytes(JournalPath(path));
  const auto edited = ReadFileBytes(path);
  for (size_t cut : {size_t(0), size_t(10), size_t(32), size_t(40), journal.size() / 2,
                     journal.size() - 1, journal.size()}) {
    WriteFileBytes(path, edited);
    WriteFileBytes(JournalPath(path), std::vector<uint8_t>(journal.begin(), journal.begin() + cut));
    ASSERT_EQ(RecoverJournal(path), RecoverResult::kRolledBack) << cut;
    EXPECT_FALSE(JournalExists(path));
    auto now = ReadFileBytes(path);
    if (cut < 32) {
      EXPECT_EQ(now, edited) << cut;  // no header yet: nothing had been overwritten
    } else {
      EXPECT_EQ(now.size(), original.size()) << cut;
      if (cut == journal.size()) {
        EXPECT_EQ(now, original);
      }
    }
  }
}

TEST_F(JournalTest, DamagedRecordIsNotApplied) {
  SectorFile f;
  Edit(f);
  f.Close();
  auto journal = ReadFileBytes(JournalPath(path));
  journal[32 + 16 + 7] ^= 1;  // first record's data
  WriteFileBytes(JournalPath(path), journal);
  ASSERT_EQ(RecoverJournal(path), RecoverResult::kRolledBack);
  auto now = ReadFileBytes(path);
  ASSERT_EQ(now.size(), original.size());
  EXPECT_EQ(now[1000], 0xAB);  // the damaged record (and all after it) were left out
}

TEST_F(JournalTest, SecondEditWaitsForTheFirst) {
  SectorFile f, g;
  Edit(f);
  ASSERT_TRUE(g.Open(path, SectorFile::Mode::kReadWrite));
  EXPECT_FALSE(g.BeginJournal());
  EXPECT_EQ(g.Error(), EEXIST);
  ASSERT_TRUE(f.RollbackJournal());
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
