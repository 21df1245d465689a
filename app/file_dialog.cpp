#include "app/file_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QFileInfo>
#include <QStringList>

namespace belmora::app {

QString FileDialog::QtFilter() const {
  const QStringList parts = Filter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    if (patterns == "*.*") patterns = "*";
    // The name's own "(...)" shows the patterns; Qt reads them from there.
    const qsizetype open = name.lastIndexOf('(');
    if (open > 0) name = name.left(open).trimmed();
    filters << QString("%1 (%2)").arg(name, patterns);
  }
  return filters.join(";;");
}

bool RunQtFileDialog(FileDialog& dialog, QWidget* owner) {
  QFileDialog box(owner, dialog.Title);
  const bool save = dialog.DialogKind == FileDialog::Kind::kSave;
  box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  box.setFileMode(save || !dialog.FileMustExist ? QFileDialog::AnyFile
                                                : QFileDialog::ExistingFile);
  box.setNameFilter(dialog.QtFilter());
  box.setDefaultSuffix(dialog.DefaultExt);
  box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.OverwritePrompt);
  // A suggested name without a folder goes into the folder last used.
  if (!dialog.Folder.isEmpty() &&
      (dialog.FileName.isEmpty() || !dialog.FileName.contains('/')))
    box.setDirectory(dialog.Folder);
  if (!dialog.FileName.isEmpty()) box.selectFile(dialog.FileName);
  QCheckBox* option = nullptr;
  if (!dialog.OptionCaption.isEmpty()) {
    box.setOption(QFileDialog::DontUseNativeDialog, true);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
      option = new QCheckBox(dialog.OptionCaption, &box);
      option->setObjectName("OptionChk");
      option->setChecked(dialog.Option);
      grid->addWidget(option, grid->rowCount(), 0, 1, grid->columnCount());
    }
  }
  if (box.exec() != QDialog::Accepted) return false;
  const QStringList files = box.selectedFiles();
  dialog.FileName = files.isEmpty() ? QString() : files.first();
  if (option) dialog.Option = option->isChecked();
  return true;
}

QString WithDefaultSuffix(const QString& path, const QString& suffix) {
  const QFileInfo file(path);
  if (file.fileName().isEmpty() || !file.suffix().isEmpty()) return path;
  return path + "." + suffix;
}

bool IsVideoFile(const QString& path) {
  static const QStringList kSuffixes = {"avi", "mp4", "mkv", "mov", "webm"};
  return kSuffixes.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

}  // namespace belmora::app
