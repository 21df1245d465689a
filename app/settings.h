// What the program remembers between runs: the files opened last, the folder
// each file dialog was left in, the main window's place and size, and the
// language. Kept in one file in the user's configuration folder
// (~/.config/belmora/belmora.ini).
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

namespace belmora::app {

// The program's settings store.
std::unique_ptr<QSettings> OpenSettings();

// The files opened last, newest first; at most kRecentFileCount.
inline constexpr int kRecentFileCount = 10;
QStringList RecentFiles();
// Puts `path` first in the list (once).
void AddRecentFile(const QString& path);
// Takes `path` off the list (it could not be opened).
void RemoveRecentFile(const QString& path);

// The folder the file dialog named `dialog` was last confirmed in (empty:
// none yet).
QString LastFolder(const QString& dialog);
void SetLastFolder(const QString& dialog, const QString& folder);

// The main window's geometry as QWidget::saveGeometry writes it.
QByteArray WindowGeometry();
void SetWindowGeometry(const QByteArray& geometry);

}  // namespace belmora::app
