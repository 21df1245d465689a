// Movies, dialogs and boxes for the desktop application's tests.
#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

#include "app/qt_host.h"
#include "tests/support/str_builder.h"

namespace belmora::app {
class TForm1;
}

namespace belmora::app::test {

int RunBarLayoutTest(int argc, char** argv);
int RunConversionRunsTest(int argc, char** argv);
int RunConversionWindowsTest(int argc, char** argv);
int RunDesktopConventionsTest(int argc, char** argv);
int RunDialogsTest(int argc, char** argv);
int RunImageFileChooserTest(int argc, char** argv);
int RunLanguageTest(int argc, char** argv);
int RunMainWindowTest(int argc, char** argv);
int RunMediaModuleTest(int argc, char** argv);
int RunMovieChooserTest(int argc, char** argv);
int RunMovieSoundTest(int argc, char** argv);
int RunPlaybackTest(int argc, char** argv);
int RunTranslatorWindowsTest(int argc, char** argv);

// 320 x 240 frames with picture-like content and 37.8 kHz stereo sound
// sectors: 2352-byte sectors at double speed, 15 frames per second.
belmora::test::MovieRecipe PictureMovie(int frames);
// Frames of ten video sectors with nothing to decode and no sound: a file
// of exactly frames x 10 sectors.
belmora::test::MovieRecipe PlainMovie(int frames);
// A file named `name` in the test's own temporary directory.
std::string TempFile(const QTemporaryDir& dir, const std::string& name);
// Writes the movie there and returns its path.
QString WriteMovie(const QTemporaryDir& dir, const belmora::test::MovieRecipe& recipe,
                   const std::string& name);

// Records every box a window shows and answers with `answer`.
struct BoxLog {
  std::vector<BoxRequest> Boxes;
  QMessageBox::StandardButton Answer = QMessageBox::Ok;
  // When set, answers each box in place of Answer.
  std::function<QMessageBox::StandardButton(const BoxRequest&)> Answerer;
  void Attach(TForm1& form);
  QStringList Texts() const;
};

// The window's client area as painted.
QImage GrabClient(TForm1& form);
// The picture as the codec holds it: blue-green-red bytes as an image.
QImage CodecPicture(TForm1& form);

}  // namespace belmora::app::test
