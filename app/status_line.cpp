#include "app/status_line.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/app_language.h"
#include "base/messages.h"

namespace belmora::app {

namespace {
// How long the "done" notice stays.
constexpr int kNoticeMs = 60000;
}  // namespace

StatusLine::StatusLine(QMainWindow& window, const QString& caption)
    : QObject(&window), window_(window), caption_(caption) {
  QStatusBar* bar = window.statusBar();
  bar->setObjectName("StatusLine");
  bar->setSizeGripEnabled(false);
  StatusLabel = new QLabel(bar);
  StatusLabel->setObjectName("StatusLabel");
  bar->addWidget(StatusLabel, 1);
  // After long work: said beside the frame's line (which stays in view),
  // with the output's folder one click away.
  NoticeLabel = new QLabel(bar);
  NoticeLabel->setObjectName("NoticeLabel");
  NoticeLabel->hide();
  bar->addPermanentWidget(NoticeLabel);
  noticeTimer_ = new QTimer(this);
  noticeTimer_->setSingleShot(true);
  noticeTimer_->setInterval(kNoticeMs);
  connect(noticeTimer_, &QTimer::timeout, this, &StatusLine::ClearNotice);
  OpenFolderButton = new QToolButton(bar);
  OpenFolderButton->setObjectName("OpenFolderButton");
  SetCaption(OpenFolderButton, msg::kOpenFolderButton);
  OpenFolderButton->setAutoRaise(true);
  OpenFolderButton->setFocusPolicy(Qt::NoFocus);
  OpenFolderButton->hide();
  bar->addPermanentWidget(OpenFolderButton);
  connect(OpenFolderButton, &QToolButton::clicked, this, [this] {
    if (!doneFolder_.isEmpty()) OpenFolder(doneFolder_);
  });
  OpenFolder = [](const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
}

void StatusLine::ShowNothing() {
  StatusLabel->setText(QString());
  StatusLabel->setToolTip(QString());
}

void StatusLine::ShowNoPicture() {
  StatusLabel->setText(QString::fromStdString(FormatMessage(msg::kNoPicture)));
  StatusLabel->setToolTip(QString());
}

void StatusLine::ShowFrame(const FrameFacts& facts, const QString& layout) {
  StatusLabel->setText(FrameText(facts, layout));
  StatusLabel->setToolTip(FrameTip(facts));
}

QString StatusLine::FrameText(const FrameFacts& f, const QString& layout) {
  // Where the frame shown lies: its time, its place among the frames, its
  // picture size, and how it is coded.
  const QString time = QString("%1:%2.%3")
                           .arg(f.Hundredths / 6000)
                           .arg(f.Hundredths / 100 % 60, 2, 10, QChar('0'))
                           .arg(f.Hundredths % 100, 2, 10, QChar('0'));
  const QByteArray t = time.toUtf8();
  const std::string line =
      f.Coded ? FormatMessage(msg::kStatusLine, t.constData(), (long long)f.Index,
                              (long long)f.Count, f.Width, f.Height, f.Version, f.Scale)
              : FormatMessage(msg::kStatusLineUncoded, t.constData(), (long long)f.Index,
                              (long long)f.Count, f.Width, f.Height);
  // The file's layout last: the standard one, or a game's.
  QString text = QString::fromUtf8(line.c_str()) + "   " + layout;
  // A frame that lacks sectors, shown with the missing parts concealed: said
  // first, so that a narrow window still shows it.
  if (f.Damaged)
    text = QString::fromStdString(
               FormatMessage(msg::kFrameDamagedShort, f.ChunksPresent, f.ChunkCount)) +
           "   " + text;
  return text;
}

QString StatusLine::FrameTip(const FrameFacts& f) {
  if (!f.Damaged) return QString();
  return QString::fromStdString(
      FormatMessage(msg::kFrameConcealed, f.ChunksPresent, f.ChunkCount));
}

void StatusLine::NoteDone(const QString& output) {
  // Said in the status line, with the folder a click away; a window in the
  // background also has the desktop tell the user.
  const QString text = QString::fromUtf8(
      FormatMessage(msg::kDoneNotice, QFileInfo(output).fileName().toUtf8().constData()).c_str());
  doneFolder_ = QFileInfo(output).absolutePath();
  NoticeLabel->setText(text);
  NoticeLabel->show();
  OpenFolderButton->show();
  noticeTimer_->start();
  if (window_.isActiveWindow()) return;
  if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
    if (!tray_) {
      const QIcon icon =
          window_.windowIcon().isNull() ? QApplication::windowIcon() : window_.windowIcon();
      tray_ = new QSystemTrayIcon(icon, this);
      connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] {
        if (!doneFolder_.isEmpty()) OpenFolder(doneFolder_);
      });
    }
    tray_->show();
    tray_->showMessage(caption_, text, QSystemTrayIcon::Information, 10000);
  } else {
    QApplication::alert(&window_);
  }
  LastNotification = text;
}

void StatusLine::ClearNotice() {
  noticeTimer_->stop();
  NoticeLabel->clear();
  NoticeLabel->hide();
  OpenFolderButton->hide();
}

}  // namespace belmora::app
