#include "app/image_file_chooser.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/app_language.h"
#include "app/form_widgets.h"
#include "base/messages.h"
#include "str/disc_document.h"
#include "str/disc_image.h"

namespace belmora::app {

namespace {

// "vídeo STR, 12 quadros, 320 x 240, canal 1 37,8 kHz estéreo" and the like.
std::string Describe(const ContentInfo& info) {
  char text[256];
  if (info.Kind == ContentKind::kStrVideo)
    std::snprintf(text, sizeof text, Tr(msg::kImageItemStr), info.Frames, info.Width, info.Height);
  else if (info.Channels.size() == 1)
    std::snprintf(text, sizeof text, "%s", Tr(msg::kImageItemXaOne));
  else
    std::snprintf(text, sizeof text, Tr(msg::kImageItemXa), int(info.Channels.size()));
  std::string s = text;
  for (const AudioChannelInfo& c : info.Channels) {
    std::snprintf(text, sizeof text, Tr(msg::kImageItemChannel), c.Channel,
                  Tr(IsHalfRate(c.CodingInfo) ? msg::kRateHalf : msg::kRateFull),
                  Tr(IsStereo(c.CodingInfo) ? msg::kStereoWord : msg::kMonoWord));
    s += text;
  }
  return s;
}

}  // namespace

bool IsDiscImageFile(const QString& path) {
  if (SplitImagePath(QFile::encodeName(path).toStdString())) return false;
  const QString ext = QFileInfo(path).suffix().toLower();
  return ext == "bin" || ext == "cue" || ext == "iso";
}

bool ListImageFiles(const std::string& image, std::vector<ImageFileItem>& items,
                    std::string& error) {
  items.clear();
  DiscImage disc;
  if (!disc.Open(image)) {
    error = disc.LastError();
    return false;
  }
  TrackSectorReader reader(disc.Track());
  if (!reader.IsOpen()) {
    error = FormatMessage(msg::kDiscUnreadable, disc.Track().FilePath.c_str());
    return false;
  }
  for (const DiscEntry& e : disc.Entries()) {
    if (e.IsDirectory) continue;
    const ContentInfo info = ClassifySectors(reader, e.Lsn, e.Sectors);
    if (info.Kind == ContentKind::kOther) continue;
    items.push_back({e.Path, e.Sectors, Describe(info)});
  }
  return true;
}

ImageFileChooser::ImageFileChooser(const QString& image, const std::vector<ImageFileItem>& items,
                                     QWidget* parent)
    : QDialog(parent), image_(image) {
  setObjectName("ImageFileChooser");
  SetCaption(this, msg::kImageFilesTitle);
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(QFileInfo(image).fileName(), this);
  label->setObjectName("ImageLabel");
  layout->addWidget(label);

  FileList = new QTreeWidget(this);
  FileList->setObjectName("FileList");
  FileList->setHeaderLabels({T(msg::kFileWord), T(msg::kSectorsWord), T(msg::kContentWord)});
  FileList->setRootIsDecorated(false);
  FileList->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const ImageFileItem& item : items) {
    auto* row = new QTreeWidgetItem(FileList);
    row->setText(0, QString::fromStdString(item.Path));
    row->setText(1, QString::number(item.Sectors));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    row->setText(2, QString::fromStdString(item.Description));
  }
  AddListAndButtons(this, layout, FileList, 3, 0, OKButton, CancelButton);
  OKButton->setDefault(true);
}

QString ImageFileChooser::Chosen() const {
  const auto selected = FileList->selectedItems();
  if (selected.isEmpty()) return {};
  return image_ + "::" + selected.first()->text(0);
}

QString ChooseImageFile(const QString& image, Host& host, QWidget* parent,
                        const std::function<int(QDialog&)>& runModal) {
  const std::string name = QFile::encodeName(image).toStdString();
  std::vector<ImageFileItem> items;
  std::string error;
  if (!ListImageFiles(name, items, error)) {
    host.ShowMessage(error, Tr(kMessageCaption), MessageKind::kInformation);
    return {};
  }
  if (items.empty()) {
    Show(host, msg::kDiscNoMovies, name.c_str());
    return {};
  }
  ImageFileChooser chooser(image, items, parent);
  const int result = runModal ? runModal(chooser) : chooser.exec();
  return result == QDialog::Accepted ? chooser.Chosen() : QString();
}

}  // namespace belmora::app
