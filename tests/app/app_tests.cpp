// The desktop application's tests: one QtTest class per suite, chosen by the
// first argument (all of them without one), run under the application's
// own QApplication.
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <map>
#include <string>

#include "app/shell.h"
#include "tests/app/app_test_support.h"

int main(int argc, char** argv) {
  belmora::app::Application app(argc, argv);
  // What the program remembers goes to a folder of the tests' own, never
  // to the user's settings.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  const std::map<std::string, int (*)(int, char**)> suites = {
      {"BarLayoutTest", belmora::app::test::RunBarLayoutTest},
      {"ConversionRunsTest", belmora::app::test::RunConversionRunsTest},
      {"ConversionWindowsTest", belmora::app::test::RunConversionWindowsTest},
      {"DesktopConventionsTest", belmora::app::test::RunDesktopConventionsTest},
      {"DialogsTest", belmora::app::test::RunDialogsTest},
      {"ImageFileChooserTest", belmora::app::test::RunImageFileChooserTest},
      {"LanguageTest", belmora::app::test::RunLanguageTest},
      {"MainWindowTest", belmora::app::test::RunMainWindowTest},
      {"MediaModuleTest", belmora::app::test::RunMediaModuleTest},
      {"MovieChooserTest", belmora::app::test::RunMovieChooserTest},
      {"MovieSoundTest", belmora::app::test::RunMovieSoundTest},
      {"PlaybackTest", belmora::app::test::RunPlaybackTest},
      {"TranslatorWindowsTest", belmora::app::test::RunTranslatorWindowsTest},
  };
  if (argc > 1) {
    auto it = suites.find(argv[1]);
    if (it != suites.end()) {
      // The rest of the arguments are QtTest's.
      argv[1] = argv[0];
      return it->second(argc - 1, argv + 1);
    }
  }
  int failed = 0;
  for (const auto& [name, run] : suites) failed += run(argc, argv);
  return failed;
}
