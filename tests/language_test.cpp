// The program's texts: every one in the catalogue, each with an English
// translation that keeps its printf conversions, and the language chosen
// from the environment or --lang.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "base/language.h"
#include "tests/support/run.h"
#include "tests/support/source_literals.h"

namespace belmora {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;

const std::string kSource = BELMORA_SOURCE_DIR;

bool IsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

TEST(CatalogueTest, EveryTextHasEnglishKeepingItsConversions) {
  const auto literals = test::StringLiterals(kSource + "/base/messages.h");
  ASSERT_GT(literals.size(), 150u);
  std::map<std::string, int> seen;
  for (const auto& l : literals) {
    if (l.Text.empty()) continue;
    EXPECT_EQ(seen[l.Text]++, 0) << "line " << l.Line << ": twice in the catalogue: " << l.Text;
    const char* english = EnglishText(l.Text);
    if (!english) {
      ADD_FAILURE() << "line " << l.Line << ": no English for \"" << l.Text << "\"";
      continue;
    }
    EXPECT_EQ(test::PrintfConversions(english), test::PrintfConversions(l.Text))
        << "line " << l.Line << ": \"" << l.Text << "\" -> \"" << english << "\"";
  }
}

TEST(CatalogueTest, NoNonAsciiTextOutsideTheCatalogue) {
  std::vector<std::string> found;
  for (const char* dir : {"base", "str", "mdec", "xa", "media", "platform", "convert", "app", "cli"}) {
    for (const auto& entry : fs::recursive_directory_iterator(kSource + "/" + dir)) {
      const auto ext = entry.path().extension();
      if (ext != ".cpp" && ext != ".h" && ext != ".inc") continue;
      if (entry.path() == fs::path(kSource + "/base/messages.h")) continue;
      for (const auto& l : test::StringLiterals(entry.path().string()))
        if (!IsAscii(l.Written))
          found.push_back(fs::relative(entry.path(), kSource).string() + ":" +
                          std::to_string(l.Line) + ": " + l.Text);
    }
  }
  std::string list;
  for (const auto& f : found) list += "\n  " + f;
  EXPECT_TRUE(found.empty()) << "texts outside base/messages.h:" << list;
}

// Sets (or with nullopt removes) environment variables for one scope.
class Environment {
 public:
  explicit Environment(const std::map<std::string, std::optional<std::string>>& values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(LanguageTest, ChosenFromTheEnvironmentAndByLang) {
  struct Case {
    const char* LanguageList;
    const char* LcAll;
    const char* LcMessages;
    const char* Lang;
    Language Expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, "en_US.UTF-8", Language::kEnglish},
      {nullptr, nullptr, nullptr, "en_GB", Language::kEnglish},
      {nullptr, nullptr, nullptr, "C.UTF-8", Language::kOriginal},
      {nullptr, nullptr, nullptr, "POSIX", Language::kOriginal},
      {nullptr, nullptr, nullptr, nullptr, Language::kOriginal},
      {nullptr, nullptr, nullptr, "pt_BR.UTF-8", Language::kOriginal},
      {nullptr, nullptr, nullptr, "ja_JP.UTF-8", Language::kOriginal},
      {nullptr, nullptr, nullptr, "de_DE.UTF-8", Language::kOriginal},
      {nullptr, "C", nullptr, "en_US.UTF-8", Language::kOriginal},
      {nullptr, nullptr, "en_US.UTF-8", "pt_BR.UTF-8", Language::kEnglish},
      {nullptr, "de_DE.UTF-8", "en_US.UTF-8", "en_US.UTF-8", Language::kOriginal},
      {"en:de", nullptr, nullptr, "de_DE.UTF-8", Language::kEnglish},
      {"de:en", nullptr, nullptr, "en_US.UTF-8", Language::kOriginal},
      {"en", nullptr, nullptr, "C.UTF-8", Language::kOriginal},
      {"", nullptr, nullptr, "en_US.UTF-8", Language::kEnglish},
  };
  auto opt = [](const char* v) { return v ? std::optional<std::string>(v) : std::nullopt; };
  for (const Case& c : cases) {
    Environment env({{"LANGUAGE", opt(c.LanguageList)},
                     {"LC_ALL", opt(c.LcAll)},
                     {"LC_MESSAGES", opt(c.LcMessages)},
                     {"LANG", opt(c.Lang)}});
    EXPECT_EQ(LanguageFromEnvironment(), c.Expected)
        << (c.LanguageList ? c.LanguageList : "-") << " " << (c.LcAll ? c.LcAll : "-") << " "
        << (c.LcMessages ? c.LcMessages : "-") << " " << (c.Lang ? c.Lang : "-");
  }

  // The command line: the environment, overridden by --lang.
  struct CliCase {
    std::string Env;
    std::vector<std::string> Args;
    std::string Expected;
  };
  const CliCase cli[] = {
      {"LANG=en_US.UTF-8", {}, "Cannot open the file."},
      {"LANG=C.UTF-8", {}, "オープンできません。"},
      {"LANG=ja_JP.UTF-8", {}, "オープンできません。"},
      {"LANG=C.UTF-8", {"--lang", "en"}, "Cannot open the file."},
      {"LANG=en_US.UTF-8", {"--lang", "original"}, "オープンできません。"},
  };
  for (const CliCase& c : cli) {
    std::vector<std::string> command = {"env", "-u", "LC_ALL", "-u", "LANGUAGE", "-u",
                                        "LC_MESSAGES", c.Env, BELMORA_CLI};
    command.insert(command.end(), c.Args.begin(), c.Args.end());
    command.insert(command.end(), {"info", "/no/such/file.str"});
    const auto r = RunCommand(command);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find(c.Expected), std::string::npos) << c.Env << ": " << r.Err;
  }
  const auto bad = RunCommand({BELMORA_CLI, "--lang", "fr", "info", "/no/such/file.str"});
  EXPECT_EQ(bad.Status, 2);
}

}  // namespace
}  // namespace belmora
