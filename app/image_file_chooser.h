// "Arquivos da imagem": the STR and XA files of a disc image, listed for the
// user to open one of them. Opening a .bin, .cue or .iso shows it; the file
// chosen opens as "IMAGE::/PATH", and the viewer works on it as on any file.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "base/host.h"

class QPushButton;
class QTreeWidget;

namespace belmora::app {

// A disc image by its name: .bin, .cue or .iso in any case, and not a path
// to a file inside one.
bool IsDiscImageFile(const QString& path);

// One file of the list.
struct ImageFileItem {
  std::string Path;  // inside the image: "/MOVIE/OPEN.STR"
  int64_t Sectors = 0;
  std::string Description;  // what it holds, in the window's words
};

// The image's STR and XA files in directory order; false with the reason in
// `error` when the image cannot be read.
bool ListImageFiles(const std::string& image, std::vector<ImageFileItem>& items,
                    std::string& error);

class ImageFileChooser : public QDialog {
  Q_OBJECT
 public:
  ImageFileChooser(const QString& image, const std::vector<ImageFileItem>& items,
                    QWidget* parent = nullptr);

  QTreeWidget* FileList;  // columns: file, sectors, content
  QPushButton* OKButton;
  QPushButton* CancelButton;

  // The file chosen as "IMAGE::/PATH"; empty when none is.
  QString Chosen() const;

 private:
  QString image_;
};

// Lists the image's files and lets the user choose one through `runModal`.
// Returns "IMAGE::/PATH", or an empty text when the user cancelled or the
// image holds nothing to open (reported through `host`).
QString ChooseImageFile(const QString& image, Host& host, QWidget* parent,
                        const std::function<int(QDialog&)>& runModal);

}  // namespace belmora::app
