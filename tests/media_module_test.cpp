// Without the media module, or with a library it needs missing, the
// commands that touch video fail as any other failure does: exit status 1,
// a message naming what is missing, nothing changed or left behind. The
// commands that touch no video work as before.
#include <gtest/gtest.h>

#include <filesystem>

#include "str/journal.h"
#include "tests/support/mdec_builder.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;

TEST(MediaModuleTest, MissingModuleOrLibraryFailsTheVideoCommandsOnly) {
  struct Case {
    const char* Name;
    const char* Module;  // copied beside the program as its media module; null: none
    const char* Named;   // what the message names
  };
  const Case cases[] = {
      {"no module", nullptr, "belmora-media.so"},
      {"a library missing", BELMORA_MODULE_WITHOUT_LIBRARY, "libbelmora_test_absent.so"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    // A copy of the program in a folder of its own finds no module of the
    // build tree.
    const fs::path dir = test::TempPath("module");
    fs::create_directories(dir);
    const fs::path cli = dir / "belmora-cli";
    fs::copy_file(BELMORA_CLI, cli);
    if (c.Module) fs::copy_file(c.Module, dir / "belmora-media.so");
    const std::string str = (dir / "movie.str").string(), video = (dir / "in.avi").string(),
                      avi = (dir / "out.avi").string(), made = (dir / "made.str").string();
    test::MovieRecipe recipe;
    recipe.Frames = 4;
    recipe.Bitstream = [](int) { return test::FlatBitstream(320, 240); };
    test::BuildMovie(recipe).Write(str);
    test::WriteFileBytes(video, std::vector<uint8_t>(64, 1));
    const auto before = test::ReadFileBytes(str);

    const std::vector<std::vector<std::string>> video_commands = {
        {cli, "export-avi", str, "-o", avi},
        {cli, "import-avi", str, video},
        {cli, "new", made, video},
        {cli, "formats"},
    };
    for (const auto& command : video_commands) {
      SCOPED_TRACE(command[1]);
      const auto r = RunCommand(command);
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find(c.Named), std::string::npos) << r.Err;
    }
    EXPECT_EQ(test::ReadFileBytes(str), before);
    EXPECT_FALSE(fs::exists(JournalPath(str)));
    for (const auto& entry : fs::directory_iterator(dir))  // no output, no .part file
      EXPECT_TRUE(entry.path() == cli || entry.path().filename() == "belmora-media.so" ||
                  entry.path() == str || entry.path() == video)
          << entry.path();

    const auto info = RunCommand({cli, "info", str});
    EXPECT_EQ(info.Status, 0) << info.Err;
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace belmora
