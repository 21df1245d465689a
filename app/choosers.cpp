#include "app/choosers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <optional>

#include "app/app_language.h"
#include "app/form_font.h"
#include "app/form_widgets.h"
#include "base/messages.h"

namespace belmora::app {

// --- the video compressor ---

CompressorChooser::CompressorChooser(const CompressOptions& current, QWidget* parent)
    : QDialog(parent), compressors_(VideoCompressors()), parms_(current.Parms) {
  setObjectName("CompressorChooser");
  SetCaption(this, msg::kCompressorTitle);
  setFont(FormFont());
  setFixedSize(300, 142);
  BuildControls();
  ShowOptions(current);
  connect(CompressorList, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
  connect(KeyFrameChk, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
  connect(DataRateChk, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
  UpdateEnabled();
  SetTabOrder({CompressorList, QualitySlider, KeyFrameChk, KeyFrameEdit, DataRateChk, DataRateEdit,
               OKButton, CancelButton});
}

void CompressorChooser::BuildControls() {
  auto* label = new QLabel(this);
  SetCaption(label, msg::kCompressorLabel);
  label->setGeometry(8, 8, 200, 14);
  CompressorList = new QComboBox(this);
  CompressorList->setObjectName("CompressorList");
  CompressorList->setGeometry(8, 24, 208, 22);
  for (const VideoCompressorInfo& c : compressors_)
    CompressorList->addItem(c.fccHandler == FourCC("DIB ") ? T(msg::kFullFrames)
                                                           : Text(c.Description));

  auto* quality = new QLabel(this);
  SetCaption(quality, msg::kQualityLabel);
  quality->setGeometry(8, 54, 150, 14);
  QualityValue = new QLabel(this);
  QualityValue->setObjectName("QualityValue");
  QualityValue->setGeometry(160, 54, 40, 14);
  QualitySlider = new QSlider(Qt::Horizontal, this);
  QualitySlider->setObjectName("QualitySlider");
  QualitySlider->setGeometry(8, 70, 208, 18);
  QualitySlider->setRange(0, 100);
  connect(QualitySlider, &QSlider::valueChanged, this,
          [this](int v) { QualityValue->setText(QString::number(v)); });

  KeyFrameChk = new QCheckBox(this);
  SetCaption(KeyFrameChk, msg::kKeyFrameLabel);
  KeyFrameChk->setObjectName("KeyFrameChk");
  KeyFrameChk->setGeometry(8, 94, 130, 18);
  KeyFrameEdit = new QSpinBox(this);
  KeyFrameEdit->setObjectName("KeyFrameEdit");
  KeyFrameEdit->setGeometry(140, 93, 60, 20);
  KeyFrameEdit->setRange(1, 9999);
  auto* frames = new QLabel(this);
  SetCaption(frames, msg::kKeyFrameUnit);
  frames->setGeometry(206, 97, 60, 14);

  DataRateChk = new QCheckBox(this);
  SetCaption(DataRateChk, msg::kDataRateLabel);
  DataRateChk->setObjectName("DataRateChk");
  DataRateChk->setGeometry(8, 118, 130, 18);
  DataRateEdit = new QSpinBox(this);
  DataRateEdit->setObjectName("DataRateEdit");
  DataRateEdit->setGeometry(140, 117, 60, 20);
  DataRateEdit->setRange(1, 999999);
  auto* rate = new QLabel(this);
  SetCaption(rate, msg::kDataRateUnit);
  rate->setGeometry(206, 121, 60, 14);

  OKButton = Button(msg::kChooserOk, "OKButton", this, {224, 8, 68, 23});
  OKButton->setDefault(true);
  CancelButton = Button(msg::kCancelButton, "CancelButton", this, {224, 36, 68, 23});
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void CompressorChooser::ShowOptions(const CompressOptions& current) {
  // The interval and the rate only where their flags are set.
  const bool valid = current.dwFlags & kCompressValid;
  const uint32_t keyFrames =
      valid && (current.dwFlags & kCompressKeyFrames) ? current.dwKeyFrameEvery : 0;
  const uint32_t dataRate =
      valid && (current.dwFlags & kCompressDataRate) ? current.dwBytesPerSecond >> 10 : 0;
  QualitySlider->setValue(int(std::min(current.dwQuality, 10000u) / 100));
  QualityValue->setText(QString::number(QualitySlider->value()));
  KeyFrameChk->setChecked(keyFrames != 0);
  KeyFrameEdit->setValue(int(std::max(keyFrames, 1u)));
  DataRateChk->setChecked(dataRate != 0);
  DataRateEdit->setValue(int(std::max(dataRate, 1u)));
  if (!valid || !Select(current.fccHandler)) CompressorList->setCurrentIndex(0);
}

bool CompressorChooser::Select(uint32_t fccHandler) {
  if (fccHandler == 0) fccHandler = FourCC("DIB ");
  for (size_t i = 0; i < compressors_.size(); i++) {
    if (compressors_[i].fccHandler != fccHandler) continue;
    CompressorList->setCurrentIndex(int(i));
    return true;
  }
  return false;
}

// Full frames take no settings; the others take all three.
void CompressorChooser::UpdateEnabled() {
  const int i = CompressorList->currentIndex();
  const bool settings = i >= 0 && compressors_[size_t(i)].fccHandler != FourCC("DIB ");
  QualitySlider->setEnabled(settings);
  KeyFrameChk->setEnabled(settings);
  DataRateChk->setEnabled(settings);
  KeyFrameEdit->setEnabled(settings && KeyFrameChk->isChecked());
  DataRateEdit->setEnabled(settings && DataRateChk->isChecked());
}

CompressOptions CompressorChooser::Chosen() const {
  CompressOptions o;
  const int i = std::max(CompressorList->currentIndex(), 0);
  o.fccType = FourCC("vids");
  o.fccHandler = compressors_.empty() ? FourCC("DIB ") : compressors_[size_t(i)].fccHandler;
  o.dwQuality = uint32_t(QualitySlider->value()) * 100;
  o.dwKeyFrameEvery = KeyFrameChk->isChecked() ? uint32_t(KeyFrameEdit->value()) : 0;
  o.dwBytesPerSecond = DataRateChk->isChecked() ? uint32_t(DataRateEdit->value()) << 10 : 0;
  o.Parms = parms_;
  return o;
}

std::string CompressorChooser::Description() const {
  const int i = CompressorList->currentIndex();
  if (i < 0 || compressors_[size_t(i)].fccHandler == FourCC("DIB ")) return {};
  return compressors_[size_t(i)].Description;
}

// --- the audio format ---

AudioFormatChooser::AudioFormatChooser(std::vector<AudioFormatTag> tags,
                                         const WaveFormat& current, QWidget* parent)
    : QDialog(parent), tags_(std::move(tags)) {
  setObjectName("AudioFormatChooser");
  SetCaption(this, msg::kAudioChooserTitle);
  setFont(FormFont());
  setFixedSize(292, 104);

  auto* tagLabel = new QLabel(this);
  SetCaption(tagLabel, msg::kAudioTagLabel);
  tagLabel->setGeometry(8, 12, 48, 14);
  FormatTagList = new QComboBox(this);
  FormatTagList->setObjectName("FormatTagList");
  FormatTagList->setGeometry(56, 8, 228, 22);
  for (const AudioFormatTag& t : tags_) FormatTagList->addItem(Text(t.Name));

  auto* formatLabel = new QLabel(this);
  SetCaption(formatLabel, msg::kAudioFormatLabel);
  formatLabel->setGeometry(8, 42, 48, 14);
  FormatList = new QComboBox(this);
  FormatList->setObjectName("FormatList");
  FormatList->setGeometry(56, 38, 228, 22);

  OKButton = Button(msg::kChooserOk, "OKButton", this, {140, 72, 68, 23});
  OKButton->setDefault(true);
  CancelButton = Button(msg::kCancelButton, "CancelButton", this, {216, 72, 68, 23});
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  // Started from the given format: its tag, and the same format when the
  // list has it.
  if (!Select(current.wFormatTag, current)) {
    int index = tags_.empty() ? -1 : 0;
    for (size_t i = 0; i < tags_.size(); i++)
      if (tags_[i].Tag == current.wFormatTag) index = int(i);
    FormatTagList->setCurrentIndex(index);
    FillFormats();
  }
  connect(FormatTagList, &QComboBox::currentIndexChanged, this, [this] { FillFormats(); });
  SetTabOrder({FormatTagList, FormatList, OKButton, CancelButton});
}

// Lists the formats of the tag chosen, starting at the first with the rate
// and channels of the format shown before.
void AudioFormatChooser::FillFormats() {
  const std::optional<WaveFormat> before =
      HasFormat() ? std::optional<WaveFormat>(Format()) : std::nullopt;
  FormatList->clear();
  listed_ = FormatTagList->currentIndex();
  int pick = -1;
  if (listed_ >= 0) {
    const auto& formats = tags_[size_t(listed_)].Formats;
    for (size_t i = 0; i < formats.size(); i++) {
      FormatList->addItem(Text(DescribeWaveFormat(formats[i])));
      if (pick < 0 && before && formats[i].nSamplesPerSec == before->nSamplesPerSec &&
          formats[i].nChannels == before->nChannels)
        pick = int(i);
    }
  }
  FormatList->setCurrentIndex(FormatList->count() > 0 ? std::max(pick, 0) : -1);
  OKButton->setEnabled(FormatList->count() > 0);
}

bool AudioFormatChooser::Select(uint16_t tag, const WaveFormat& format) {
  for (size_t t = 0; t < tags_.size(); t++) {
    if (tags_[t].Tag != tag) continue;
    const auto& formats = tags_[t].Formats;
    for (size_t i = 0; i < formats.size(); i++) {
      const WaveFormat& f = formats[i];
      if (f.nSamplesPerSec != format.nSamplesPerSec || f.nChannels != format.nChannels ||
          f.wBitsPerSample != format.wBitsPerSample || f.nAvgBytesPerSec != format.nAvgBytesPerSec)
        continue;
      FormatTagList->setCurrentIndex(int(t));
      FillFormats();
      FormatList->setCurrentIndex(int(i));
      return true;
    }
  }
  return false;
}

bool AudioFormatChooser::HasFormat() const {
  const int i = FormatList->currentIndex();
  return listed_ >= 0 && i >= 0 && size_t(i) < tags_[size_t(listed_)].Formats.size();
}

WaveFormat AudioFormatChooser::Format() const {
  if (!HasFormat()) return {};
  return tags_[size_t(listed_)].Formats[size_t(FormatList->currentIndex())];
}

}  // namespace belmora::app
