#include "app/settings.h"

#include <QFileInfo>

namespace belmora::app {

std::unique_ptr<QSettings> OpenSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "belmora",
                                     "belmora");
}

QStringList RecentFiles() {
  QStringList files = OpenSettings()->value("RecentFiles").toStringList();
  while (files.size() > kRecentFileCount) files.removeLast();
  return files;
}

void AddRecentFile(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  QStringList files = RecentFiles();
  files.removeAll(full);
  files.prepend(full);
  while (files.size() > kRecentFileCount) files.removeLast();
  OpenSettings()->setValue("RecentFiles", files);
}

void RemoveRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  files.removeAll(QFileInfo(path).absoluteFilePath());
  OpenSettings()->setValue("RecentFiles", files);
}

QString LastFolder(const QString& dialog) {
  return OpenSettings()->value("Folders/" + dialog).toString();
}

void SetLastFolder(const QString& dialog, const QString& folder) {
  OpenSettings()->setValue("Folders/" + dialog, folder);
}

QByteArray WindowGeometry() {
  return OpenSettings()->value("MainWindow/Geometry").toByteArray();
}

void SetWindowGeometry(const QByteArray& geometry) {
  OpenSettings()->setValue("MainWindow/Geometry", geometry);
}

}  // namespace belmora::app
