// Plays an STR file once in the main window, from its first frame to its
// last, and prints how many of the frames that came due were shown.
// Usage: measure-playback FILE.str [--silent] [--double]
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/shell.h"

int main(int argc, char** argv) {
  belmora::app::Application app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: measure-playback FILE.str [--silent] [--double]\n");
    return 2;
  }
  belmora::app::TForm1 form;
  form.PlaybackSound = !args.contains("--silent");
  if (form.OpenDocument(args[1]) != 0) return 1;
  if (args.contains("--double")) form.MenuWidthDClick();
  form.show();

  QElapsedTimer wall;
  QTimer::singleShot(500, [&] {
    wall.start();
    form.StartPlayback();
    auto* poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, [&] {
      if (form.Playing()) return;
      const belmora::app::PlaybackStats& s = form.LastPlaybackStats();
      std::printf("frames shown %d / due %d (dropped %d), %.2f s of clock, %.2f s of wall, %s\n",
                  s.Shown, s.Due, s.Dropped, s.Seconds, wall.elapsed() / 1000.0,
                  s.Sound ? "with sound" : "silent");
      app.quit();
    });
    poll->start(50);
  });
  return app.exec();
}
