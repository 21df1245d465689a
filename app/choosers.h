// The two choosers of "Converter STR para AVI", in place of the platform's:
// the video compressor dialog over the compressors this build can write
// (full frames first), and the audio format dialog "音声圧縮" over the wave
// formats it can write.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "platform/media_formats.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace belmora::app {

class CompressorChooser : public QDialog {
  Q_OBJECT
 public:
  // Offers `current` as the dialog's starting point: its compressor, quality,
  // key-frame interval (when its flag is set) and data rate (likewise).
  CompressorChooser(const CompressOptions& current, QWidget* parent = nullptr);

  QComboBox* CompressorList;
  QSlider* QualitySlider;  // 0 to 100, a hundredth of dwQuality
  QLabel* QualityValue;
  QCheckBox* KeyFrameChk;
  QSpinBox* KeyFrameEdit;
  QCheckBox* DataRateChk;
  QSpinBox* DataRateEdit;  // KB (1024 bytes) per second
  QPushButton* OKButton;
  QPushButton* CancelButton;

  // What the user confirmed, as the chooser's record gives it back: an
  // interval or rate of 0 where its box is not ticked.
  CompressOptions Chosen() const;
  // The compressor's description; empty for full frames, which have none.
  std::string Description() const;
  // Picks the compressor by its handler; false when the list lacks it.
  bool Select(uint32_t fccHandler);

 private:
  void BuildControls();
  // The controls set as the options record hands them to the chooser.
  void ShowOptions(const CompressOptions& current);
  void UpdateEnabled();

  std::vector<VideoCompressorInfo> compressors_;
  std::vector<uint8_t> parms_;
};

class AudioFormatChooser : public QDialog {
  Q_OBJECT
 public:
  // Starts from `current`: its tag, and the format of the list equal to it.
  AudioFormatChooser(std::vector<AudioFormatTag> tags, const WaveFormat& current,
                      QWidget* parent = nullptr);

  QComboBox* FormatTagList;
  QComboBox* FormatList;
  QPushButton* OKButton;
  QPushButton* CancelButton;

  // The format shown; false when the tag offers none.
  bool HasFormat() const;
  WaveFormat Format() const;
  // Picks a tag and a format of it; false when there is no such pair.
  bool Select(uint16_t tag, const WaveFormat& format);

 private:
  void FillFormats();

  std::vector<AudioFormatTag> tags_;
  int listed_ = -1;  // the tag whose formats the list holds
};

}  // namespace belmora::app
