#include "app/subtitle_dialog.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <algorithm>

#include "app/app_language.h"
#include "app/conversion_forms.h"
#include "app/fit_report_window.h"
#include "app/main_window.h"
#include "base/messages.h"
#include "convert/subtitle.h"

namespace belmora::app {
namespace {

std::string FileName(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// Shows the viewer's frame at `sector` (a frame of the report).
void JumpTo(TForm1& form, int32_t sector) {
  if (!form.DocumentOpen) return;
  form.Document().CurrentSector = std::clamp(sector, 0, form.Document().LastFrameSector);
  form.ShowCurrentFrame();
  form.ShowConvertedDocument();  // the bar at the frame shown
}

// The frame at or after `sector` of `doc`, decoded at full width.
bool DecodedFrame(StrDocument& doc, int32_t sector, QImage& out) {
  FrameCodec codec;
  doc.CurrentSector = sector;
  const bool ok = ReadAndDecodeFrame(codec, doc) == 0;
  if (ok) {
    const FrameView v = codec.View();
    out = QImage(v.Pixels, v.Width, v.Height, v.Stride, QImage::Format_BGR888).copy();
  }
  return ok;
}

// The frame at or after `sector` of the STR at `path`, decoded at full width.
bool DecodedFrame(const std::string& path, int32_t sector, QImage& out) {
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (OpenMovieFile(doc, quiet, path, OpenMode::kReadOnly) != 0) return false;
  const bool ok = DecodedFrame(doc, sector, out);
  CloseStrFile(doc);
  return ok;
}

// A trial of an edit of the file at `path`: opened so that the edit writes
// nothing to the file, and kept open while its report is shown.
// Its own reads report to `host` (quiet, for the previews, when none is given).
struct TrialDocument {
  explicit TrialDocument(Host& reports) : doc(quiet), reports(reports) {}
  TrialDocument(Host& host, Host& reports) : doc(host), reports(reports) {}
  CollectingHost quiet;
  StrDocument doc;
  Host& reports;
  bool Open(const std::string& path) {
    if (OpenMovieFile(doc, reports, path, OpenMode::kTrial) == 0) return true;
    Show(reports, msg::kCannotOpenStr);
    return false;
  }
};

// A report's previews: the frame in the document as it is, and in the
// trial as the encoding left it.
std::function<bool(int32_t, QImage&, QImage&)> Pictures(const std::string& now,
                                                        std::shared_ptr<TrialDocument> trial) {
  return [now, trial](int32_t sector, QImage& a, QImage& b) {
    return DecodedFrame(now, sector, a) && DecodedFrame(trial->doc, sector, b);
  };
}

// The choices of a simulated conversion: the settings given, the new
// file's layout as "Novo STR" last had it, and the length kept.
class FixedChooser : public AviToStrChooser {
 public:
  FixedChooser(const AviToStrOptions& options, const NewStrOptions& layout)
      : options_(options), layout_(layout) {}
  Status ChooseNewStr(NewStrOptions& options) override {
    options = layout_;
    return Status::kOk;
  }
  Status ChooseSettings(const StrDocument&, const AviToStrInputs&, AviToStrOptions& o) override {
    o = options_;
    return Status::kOk;
  }
  std::optional<bool> ResizeAnswer() override { return false; }
  std::optional<bool> FrameCountAnswer() override { return true; }

 private:
  AviToStrOptions options_;
  NewStrOptions layout_;
};

}  // namespace

void ApplySubtitlesCommand(TForm1& form) {
  if (!form.DocumentOpen || form.Converting) return;
  FileDialog dialog{FileDialog::Kind::kOpen, T(msg::kSubtitleTitle),
                     T(msg::kSubtitleFilter), "srt", true, true, false, "", "", false};
  if (!form.RunFileDialog(dialog, &form)) return;
  form.Converting = true;
  StrDocument& doc = form.Document();
  SubtitleOptions options;
  options.Path = FileName(dialog.FileName);
  options.FirstSector = form.SelectionStart;
  options.LastSector = form.SelectionEnd;

  // First as a trial: the report says what the run will do; the trial
  // stays open while the report is shown, for its previews.
  FitReport report;
  auto trial = std::make_shared<TrialDocument>(form.Ui());
  {
    if (!trial->Open(doc.Path)) {
      form.Converting = false;
      return;
    }
    FrameCodec codec;
    codec.Encoder = EncoderChoice::kBest;  // as the real run below
    FrameFitter fitter({&report, 0});
    SubtitleOptions trialOptions = options;
    trialOptions.Trial = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Status tried =
        BurnSubtitles(trial->doc, codec, trialOptions, fitter, form.Ui()).status();
    QApplication::restoreOverrideCursor();
    if (!Ok(tried)) {
      form.Converting = false;
      form.ShowCurrentFrame();
      form.ShowConvertedDocument();
      return;
    }
  }
  FitReportWindow window(report, true, &form);
  window.FrameChosen = [&form](int32_t sector) { JumpTo(form, sector); };
  window.FramePictures = Pictures(doc.Path, trial);
  const int answer = form.RunModal(window);
  if (answer != QDialog::Accepted) {
    form.Converting = false;
    form.ShowCurrentFrame();
    form.ShowConvertedDocument();
    return;
  }

  // Then for real, in place.
  const std::string path = doc.Path;
  const int32_t current = doc.CurrentSector;
  FitReport done;
  FrameFitter fitter({&done, 0});
  // The best encoder, as for every picture the program encodes by default.
  form.Codec().Encoder = EncoderChoice::kBest;
  const Status burned = BurnSubtitles(doc, form.Codec(), options, fitter, form.Ui()).status();
  form.Codec().Encoder = EncoderChoice::kExact;
  form.Converting = false;
  if (!doc.IsOpen()) {
    // A failed edit was put back and the document closed (reported).
    if (form.OpenDocument(QFile::decodeName(path.c_str())) != 0) return;
  }
  doc.CurrentSector = std::min(current, doc.LastFrameSector);
  form.ShowCurrentFrame();
  form.ShowConvertedDocument();
  if (Ok(burned)) form.NoteDone(QFile::decodeName(path.c_str()));
}

void SimulateAviToStr(TForm1& form, QWidget* owner, const std::string& video,
                      const AviToStrOptions& options, bool newFile, bool frameExact) {
  StrDocument& doc = form.Document();
  CollectingHost quiet;  // questions answered no, messages kept
  AudioSectorHook hook;
  auto kept = std::make_shared<TrialDocument>(quiet, quiet);
  StrDocument& trial = kept->doc;
  trial.Hook = &hook;
  FrameCodec codec;
  XaEncoderState encoder;
  FrameNumbering numbering;
  int32_t start = form.SelectionStart, end = form.SelectionEnd;
  AviToStrContext c{trial, codec, encoder, numbering, quiet, start, end, form.Position};
  FitReport report;
  FrameFitter fitter({&report, 0});
  c.Fit = &fitter;
  c.Mapping = frameExact ? FrameMapping::kFrameExact : FrameMapping::kByTime;
  NewStrOptions layout;
  if (form.Form4()) layout = form.Form4()->Options;
  FixedChooser chooser(options, layout);
  ScratchCopy scratch;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Result<int> tried = Status::kFailed;
  if (newFile) {
    if (scratch.Make(form.Ui())) tried = CreateStrFromAvi(c, scratch.Path(), video, chooser);
  } else if (kept->Open(doc.Path)) {
    tried = ConvertAviToStr(c, video, chooser);
  }
  QApplication::restoreOverrideCursor();
  // (Its choices are given and its questions answered: a trial is never cancelled.)
  if (tried.status() == Status::kFailed) {
    for (const auto& text : quiet.texts)
      form.Ui().ShowMessage(text, Tr(kMessageCaption), MessageKind::kInformation);
    if (report.Frames().empty()) return;
  }
  FitReportWindow window(report, false, owner);
  window.FrameChosen = [&form](int32_t sector) { JumpTo(form, sector); };
  if (!newFile && trial.IsOpen()) window.FramePictures = Pictures(doc.Path, kept);
  form.RunModal(window);
}

}  // namespace belmora::app
