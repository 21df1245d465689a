#include "app/sound_commands.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMediaDevices>

#include "app/app_language.h"
#include "app/main_window.h"
#include "base/messages.h"
#include "convert/movie_sound.h"

namespace belmora::app {

namespace {

// Played sound: 44.1 kHz stereo, as every device takes.
constexpr int kPlayRate = 44100;
constexpr int kPlayChannels = 2;

// A sound of the file shown, as the user picked it.
struct ChosenSound {
  std::string Path;
  int Movie = 0;
  MovieSound Sound;
};

QString SoundItem(const TForm1& form, const MovieSound& s) {
  const std::string text =
      s.Channel == kLayoutSound
          ? FormatMessage(msg::kLayoutSoundItem, form.Client()->LayoutName().toUtf8().constData(),
                          s.Rate, s.Channels, s.Seconds)
          : FormatMessage(msg::kChannelItem, s.Channel, s.Rate, s.Channels, s.Seconds);
  return QString::fromUtf8(text.c_str());
}

// The sounds of the file shown, and the one the user picks from their
// list; false when there is none (said) or the choice was cancelled.
bool ChooseSound(TForm1& form, const char* title, ChosenSound& chosen) {
  if (form.Converting) return false;
  if (!form.AudioOnlyPath.empty()) {
    chosen.Path = form.AudioOnlyPath;
  } else if (form.DocumentOpen) {
    chosen.Path = form.Client()->Path();
    chosen.Movie = form.Client()->MovieIndex();
  } else {
    return false;
  }
  const Result<std::vector<MovieSound>> sounds =
      ListMovieSounds(chosen.Path, chosen.Movie, form.Ui());
  if (!sounds.Ok()) return false;
  if (sounds->empty()) {
    Show(form.Ui(), msg::kNoAudio);
    return false;
  }
  QStringList items;
  for (const MovieSound& s : *sounds) items << SoundItem(form, s);
  // The list is headed by the file whose sounds it lists.
  const QString file = QFileInfo(QFile::decodeName(chosen.Path.c_str())).fileName();
  bool ok = false;
  const QString picked = QInputDialog::getItem(&form, T(title), file, items, 0, false, &ok);
  if (!ok) return false;
  chosen.Sound = (*sounds)[size_t(std::max<qsizetype>(0, items.indexOf(picked)))];
  return true;
}

}  // namespace

void PlayAudioChannelCommand(TForm1& form) {
  ChosenSound chosen;
  if (!ChooseSound(form, msg::kPlayChannelMenu, chosen)) return;
  // The one playing stops; the new one belongs to the window.
  delete form.findChild<QAudioSink*>("ChannelSink");
  delete form.findChild<QBuffer*>("ChannelSound");
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    Show(form.Ui(), msg::kNoAudioDevice);
    return;
  }
  const Result<std::vector<uint8_t>> pcm = DecodeMovieSound(
      chosen.Path, chosen.Movie, chosen.Sound, kPlayRate, kPlayChannels, form.Ui());
  if (!pcm.Ok()) return;
  QAudioFormat format;
  format.setSampleRate(kPlayRate);
  format.setChannelCount(kPlayChannels);
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
  ChosenSound chosen;
  if (!ChooseSound(form, msg::kSaveChannelMenu, chosen)) return;
  FileDialog save{FileDialog::Kind::kSave, "", T(msg::kWavFilter), "wav", false, true, true,
                  "", "", false};
  if (!form.RunFileDialog(save, &form)) return;
  const QString wav = save.FileName;
  if (Ok(SaveMovieSound(chosen.Path, chosen.Movie, chosen.Sound,
                        QFile::encodeName(wav).toStdString(), form.Ui())))
    form.NoteDone(wav);
}

}  // namespace belmora::app
