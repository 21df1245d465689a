#include "app/audio_only.h"

#include <QAction>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QMediaDevices>
#include <QMenu>

#include "app/app_language.h"
#include "app/main_window.h"
#include "base/messages.h"
#include "convert/xa_channels.h"

namespace belmora::app {

bool IsAudioOnlyFile(const std::string& path) {
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (OpenSectorFile(doc, path, true) != 0) return false;
  const XaFileInfo info = ScanXaChannels(doc);
  return info.VideoSectors == 0 && !info.Channels.empty();
}

bool OpenAudioOnly(TForm1& form, const std::string& path) {
  if (!IsAudioOnlyFile(path)) return false;
  form.AudioOnlyPath = path;
  SetCaption(form.Label1, msg::kNoPicture.Text);
  form.Label1->adjustSize();
  // Only the channels' own commands: the rest need a movie.
  form.MenuConv->menuAction()->setEnabled(true);
  form.EnableMovieCommands(false);
  return true;
}

namespace {

// The file shown, opened for reading, and the channel the user picks from
// its list; false when there is none or the choice was cancelled.
bool ChooseChannel(TForm1& form, const char* title, StrDocument& doc, XaChannelInfo& channel) {
  if (form.AudioOnlyPath.empty() || form.Converting) return false;
  if (OpenSectorFile(doc, form.AudioOnlyPath, true) != 0) {
    Show(form.Ui(), msg::kCannotOpenStr);
    return false;
  }
  const XaFileInfo info = ScanXaChannels(doc);
  if (info.Channels.empty()) return false;
  QStringList items;
  for (const auto& c : info.Channels)
    items << QString::fromUtf8(FormatMessage(msg::kChannelItem, c.Channel, c.Rate(),
                                             c.ChannelCount(), c.Seconds())
                                   .c_str());
  bool ok = false;
  const QString chosen =
      QInputDialog::getItem(&form, T(title), QString(), items, 0, false, &ok);
  if (!ok) return false;
  channel = info.Channels[size_t(std::max<qsizetype>(0, items.indexOf(chosen)))];
  return true;
}

}  // namespace

void PlayAudioChannelCommand(TForm1& form) {
  StrDocument doc(form.Ui());
  XaChannelInfo channel;
  if (!ChooseChannel(form, msg::kPlayChannelMenu, doc, channel)) return;
  // The one playing stops; the new one belongs to the window.
  delete form.findChild<QAudioSink*>("ChannelSink");
  delete form.findChild<QBuffer*>("ChannelSound");
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    Show(form.Ui(), msg::kNoAudioDevice);
    return;
  }
  const Result<std::vector<uint8_t>> pcm =
      DecodeXaChannel(doc, channel, {44100, 2, 16}, form.Ui());
  if (!pcm.Ok()) return;
  QAudioFormat format;
  format.setSampleRate(44100);
  format.setChannelCount(2);
  format.setSampleFormat(QAudioFormat::Int16);
  auto* sound = new QBuffer(&form);
  sound->setObjectName("ChannelSound");
  sound->setData(reinterpret_cast<const char*>(pcm->data()), qsizetype(pcm->size()));
  sound->open(QIODevice::ReadOnly);
  auto* sink = new QAudioSink(device, format, &form);
  sink->setObjectName("ChannelSink");
  sink->start(sound);
}

void SaveAudioChannelCommand(TForm1& form) {
  StrDocument doc(form.Ui());
  XaChannelInfo channel;
  if (!ChooseChannel(form, msg::kSaveChannelMenu, doc, channel)) return;
  FileDialog save{FileDialog::Kind::kSave, "", T(msg::kWavFilter), "wav", false, true, true, "", "", false};
  if (!form.RunFileDialog(save, &form)) return;
  (void)ExportXaChannel(doc, channel, QFile::encodeName(save.FileName).toStdString(), {},
                        form.Ui());
}

}  // namespace belmora::app
