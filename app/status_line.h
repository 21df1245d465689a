// The main window's status line: where the frame shown lies, how it is
// coded and the file's layout (or that the file has no picture), and after
// long work, beside it, the notice that it is done, with the output's
// folder a click away and, for a window in the background, the desktop's
// notification. The notice goes after a minute, or when another file is
// opened.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "convert/frame_facts.h"

class QLabel;
class QMainWindow;
class QSystemTrayIcon;
class QTimer;
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
  void ShowFrame(const FrameFacts& facts, const QString& layout);
  // The text of a frame's line, and its tooltip (the full note on a
  // damaged frame, else empty).
  static QString FrameText(const FrameFacts& facts, const QString& layout);
  static QString FrameTip(const FrameFacts& facts);

  // "Done" with the output's name; the notice taken away.
  void NoteDone(const QString& output);
  void ClearNotice();

  QLabel* StatusLabel;
  QLabel* NoticeLabel;  // the "done" notice
  QToolButton* OpenFolderButton;
  QString LastNotification;  // the text of the last desktop notification
  std::function<void(const QString& folder)> OpenFolder;

 private:
  QMainWindow& window_;
  QString caption_;
  QString doneFolder_;  // the folder of the last "done" notice
  QTimer* noticeTimer_;
  QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace belmora::app
