// The main window's file dialogs, described the way the windows were
// designed ("Name|*.ext|..." filters, default extension, options), and the
// seam through which they are run: Qt's file dialog, or a test's chooser.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace belmora::app {

struct FileDialog {
  enum class Kind { kOpen, kSave };
  Kind DialogKind = Kind::kOpen;
  QString Title;        // empty: the toolkit's own
  QString Filter;       // "Name|pattern|Name|pattern"
  QString DefaultExt;   // without the dot
  bool FileMustExist = false;
  bool PathMustExist = false;
  bool OverwritePrompt = false;
  QString FileName;     // the last file chosen
  // A check box shown under the file list when its caption is set (the
  // toolkit's own dialog is then used, which has room for it); its state
  // is read back on OK.
  QString OptionCaption;
  bool Option = false;
  // The folder the dialog starts in when FileName names none (empty: the
  // toolkit's choice).
  QString Folder = {};

  // The filter as Qt writes it: "Name;;Name", each name carrying its
  // patterns; "*.*" stands for every file.
  QString QtFilter() const;
};

// Runs a dialog; true when the user confirmed, with the dialog's FileName set.
using FileDialogRunner = std::function<bool(FileDialog& dialog, QWidget* owner)>;

// Qt's own file dialog.
bool RunQtFileDialog(FileDialog& dialog, QWidget* owner);

// A path as the save dialogs take a typed name: with `.suffix` added when
// its file name has no extension (an empty path, or a folder's, as it is).
QString WithDefaultSuffix(const QString& path, const QString& suffix);

// A video file by its name, as the open-video dialog's "Video files" filter
// takes it: .avi, .mp4, .mkv, .mov or .webm, in any case.
bool IsVideoFile(const QString& path);

}  // namespace belmora::app
