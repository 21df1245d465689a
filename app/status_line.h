// The main window's status line: where the frame shown lies and how it is
// coded (or that the file has no picture), and after long work the notice
// that it is done, with the output's folder a click away and, for a window
// in the background, the desktop's notification.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "convert/frame_facts.h"

class QLabel;
class QMainWindow;
class QSystemTrayIcon;
class QToolButton;

namespace belmora::app {

class StatusLine : public QObject {
 public:
  // Placed in `window`'s status bar; `caption` heads the desktop's
  // notifications.
  StatusLine(QMainWindow& window, const QString& caption);

  // What the line tells: nothing, that the file has no picture, or the
  // frame shown.
  void ShowNothing();
  void ShowNoPicture();
  void ShowFrame(const FrameFacts& facts);
  // The text of a frame's line, and its tooltip (the full note on a
  // damaged frame, else empty).
  static QString FrameText(const FrameFacts& facts);
  static QString FrameTip(const FrameFacts& facts);

  // "Done" with the output's name.
  void NoteDone(const QString& output);

  QLabel* StatusLabel;
  QToolButton* OpenFolderButton;
  QString LastNotification;  // the text of the last desktop notification
  std::function<void(const QString& folder)> OpenFolder;

 private:
  QMainWindow& window_;
  QString caption_;
  QString doneFolder_;  // the folder of the last "done" notice
  QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace belmora::app
