#include "app/audio_only.h"

#include <QFile>
#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>

#include "app/main_window.h"
#include "base/messages.h"
#include "convert/xa_channels.h"

namespace belmora::app {

bool OpenAudioOnly(TForm1& form, const std::string& path) {
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (OpenSectorFile(doc, path, true) != 0) return false;
  const XaFileInfo info = ScanXaChannels(doc);
  if (info.VideoSectors != 0 || info.Channels.empty()) return false;
  form.AudioOnlyPath = path;
  form.Label1->setText(QString::fromUtf8(msg::kNoPicture.Text));
  form.MenuConv->menuAction()->setEnabled(true);
  return true;
}

void SaveAudioChannelCommand(TForm1& form) {
  if (form.AudioOnlyPath.empty() || form.Converting) return;
  StrDocument doc(form.Ui());
  if (OpenSectorFile(doc, form.AudioOnlyPath, true) != 0) {
    Show(form.Ui(), msg::kCannotOpenStr);
    return;
  }
  const XaFileInfo info = ScanXaChannels(doc);
  QStringList items;
  for (const auto& c : info.Channels)
    items << QString::fromUtf8(FormatMessage(msg::kChannelItem, c.Channel, c.Rate(),
                                             c.ChannelCount(), c.Seconds())
                                   .c_str());
  bool ok = false;
  const QString chosen = QInputDialog::getItem(&form, QString::fromUtf8(msg::kSaveChannelMenu),
                                               QString(), items, 0, false, &ok);
  if (!ok) return;
  const auto& channel = info.Channels[size_t(std::max<qsizetype>(0, items.indexOf(chosen)))];
  TFileDialog save{TFileDialog::Kind::kSave, "", "WAV (*.wav)|*.wav", "wav", false, true, true, ""};
  if (!form.RunFileDialog(save, &form)) return;
  (void)ExportXaChannel(doc, channel, QFile::encodeName(save.FileName).toStdString(), {},
                        form.Ui());
}

}  // namespace belmora::app
