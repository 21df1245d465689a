#include "app/conversions.h"

#include <QCheckBox>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "app/app_language.h"
#include "app/conversion_forms.h"
#include "app/main_window.h"
#include "app/subtitle_dialog.h"
#include "convert/avi_to_str.h"
#include "convert/str_to_avi.h"

namespace belmora::app {
namespace {

std::string FileName(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// Sectors of a selection counted for the summary; longer ones are not.
constexpr int32_t kCountLimit = 200000;

// Marks the window busy for the length of one command.
class Running {
 public:
  explicit Running(TForm1& form) : form_(form) { form_.Converting = true; }
  ~Running() { form_.Converting = false; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  TForm1& form_;
};

// The choices of an AVI-to-STR conversion, made in the windows: "Novo STR"
// for a new file's layout, "Configurações" for the settings; the length
// question is the core's own, asked through the host.
class WindowChooser : public AviToStrChooser {
 public:
  WindowChooser(TForm1& form, std::string video, FrameMapping* mapping = nullptr)
      : form_(form), video_(std::move(video)), mapping_(mapping) {}

  Status ChooseNewStr(NewStrOptions& options) override {
    TForm4* dialog = form_.Form4();
    if (!dialog || form_.RunModal(*dialog) != QDialog::Accepted) return Status::kCancelled;
    options = dialog->Options;
    return Status::kOk;
  }

  Status ChooseSettings(const StrDocument& doc, const AviToStrInputs& inputs,
                        AviToStrOptions& options) override {
    TForm2* dialog = form_.Form2();
    if (!dialog) return Status::kCancelled;
    dialog->Prepare(doc, inputs, form_.Ui(), Facts(inputs));
    dialog->ShowPosition(form_.Position);
    // "Simular" tries the settings without writing the file; "Quadro a quadro" maps frames one to one.
    const bool newFile = inputs.IsNewFile;
    dialog->Simulate = [this, dialog, newFile](const AviToStrOptions& o, bool frameByFrame) {
      SimulateAviToStr(form_, dialog, video_, o, newFile, frameByFrame);
    };
    const int result = form_.RunModal(*dialog);
    dialog->Simulate = nullptr;
    if (result != QDialog::Accepted) return Status::kCancelled;
    options = dialog->Settings.Options;
    if (mapping_ && dialog->FrameByFrameChk->isChecked()) *mapping_ = FrameMapping::kFrameExact;
    return Status::kOk;
  }

 private:
  // What the summary line needs: the selection, its frames and their
  // sectors, and the video's length.
  SummaryFacts Facts(const AviToStrInputs& inputs) {
    StrDocument& doc = form_.Document();
    SummaryFacts facts;
    facts.NewFile = inputs.IsNewFile;
    facts.SelectionStart = form_.SelectionStart;
    facts.SelectionEnd = form_.SelectionEnd;
    facts.SpeedFactor = doc.SpeedFactor;
    facts.StrFrameRate = doc.FramesPerSecond;
    TAviIo video;
    if (video.Open(video_) == 0) facts.VideoLengthMs = video.LengthMs();
    video.Close();
    if (!inputs.IsNewFile)
      CountSelectionFrames(doc, form_.SelectionStart, form_.SelectionEnd, kCountLimit, facts);
    return facts;
  }

  TForm1& form_;
  std::string video_;
  FrameMapping* mapping_;
};

// True when `path` may be written: no file has that name, the save dialog
// already asked about it (`confirmed`), or the user answers yes.
bool MayReplace(TForm1& form, const std::string& path, const QString& confirmed) {
  const QString name = QFile::decodeName(path.c_str());
  if (path.empty() || !QFileInfo::exists(name) || QFileInfo(name).isDir()) return true;
  if (!confirmed.isEmpty() && QFileInfo(confirmed) == QFileInfo(name)) return true;
  return form.Ui().Ask(FormatMessage(msg::kAskReplace, path.c_str()), Tr(msg::kAskReplace.Caption),
                       Buttons::kYesNo) == Answer::kYes;
}

AviToStrContext ContextOf(TForm1& form) {
  return {form.Document(), form.Codec(),       form.XaEncoder(),  form.Numbering(),
          form.Ui(),       form.SelectionStart, form.SelectionEnd, form.Position};
}

}  // namespace

void InstallConversions(TForm1& form) {
  form.Conversions.StrToAvi = StrToAviCommand;
  form.Conversions.AviToStr = AviToStrCommand;
  form.Conversions.AviToStrWith = AviToStrWith;
  form.Conversions.NewStr = NewStrCommand;
  form.Conversions.NewStrWith = NewStrWith;
  form.Conversions.ApplySubtitles = ApplySubtitlesCommand;
}

void StrToAviCommand(TForm1& form) {
  TConvAviForm* dialog = form.ConvAviForm();
  if (!form.DocumentOpen || form.Converting || !dialog) return;
  Running running(form);
  const StrDocument& doc = form.Document();
  if (dialog->OutputMovie != doc.Path) {
    const QFileInfo movie(QFile::decodeName(doc.Path.c_str()));
    const std::string& last = dialog->Model.OutputPath;
    const QString folder = last.empty() ? movie.absolutePath()
                                        : QFileInfo(QFile::decodeName(last.c_str())).absolutePath();
    dialog->Model.OutputPath =
        FileName(QDir(folder).filePath(movie.completeBaseName() + ".avi"));
    dialog->OutputMovie = doc.Path;
  }
  dialog->Model.FirstSector = form.SelectionStart;
  dialog->Model.LastSector = form.SelectionEnd;
  dialog->Prepare(form.Document(), form.Codec().HalfWidthView, form.Ui());
  // An existing file is replaced only when the user says so, however its
  // name was chosen; "no" goes back to the window to choose another.
  for (;;) {
    if (form.RunModal(*dialog) != QDialog::Accepted) return;
    if (MayReplace(form, dialog->Model.OutputPath, dialog->ConfirmedName)) break;
  }
  // Failures are reported by the export; the window shows where it stopped.
  const Result<StrToAviCounts> written = ConvertStrToAvi(
      dialog->Model.Options(), form.Document(), form.Codec(), form.XaDecoder(), form.Ui());
  form.ShowConvertedDocument();
  if (written.Ok())
    form.NoteDone(QFile::decodeName(dialog->Model.OutputPath.c_str()));
}

void AviToStrCommand(TForm1& form) {
  if (!form.DocumentOpen || form.Converting) return;
  if (!form.Execute(form.OpenAviDlg)) return;
  AviToStrWith(form, form.OpenAviDlg.FileName);
}

void AviToStrWith(TForm1& form, const QString& video) {
  if (!form.DocumentOpen || form.Converting) return;
  Running running(form);
  StrDocument& doc = form.Document();
  const std::string path = doc.Path;
  const int32_t start = form.SelectionStart, end = form.SelectionEnd,
                current = doc.CurrentSector;
  AviToStrContext c = ContextOf(form);
  WindowChooser chooser(form, FileName(video), &c.Mapping);
  const Result<int> converted = ConvertAviToStr(c, FileName(video), chooser);
  if (doc.IsOpen()) {
    if (!converted.has_value()) {
      // Nothing was converted: back to the frame the window showed.
      doc.CurrentSector = current;
      form.ShowCurrentFrame();
    }
    form.ShowConvertedDocument();
    if (converted.Ok()) form.NoteDone(QFile::decodeName(path.c_str()));
    return;
  }
  // A failed edit was put back and the document closed (both reported):
  // the file as it was opens again, with the same selection and frame.
  if (form.OpenDocument(QFile::decodeName(path.c_str())) != 0) return;
  const int32_t last = doc.LastFrameSector;
  form.SelectionStart = std::min(start, last);
  form.SelectionEnd = std::clamp(end, form.SelectionStart, last);
  doc.CurrentSector = std::min(current, last);
  form.ShowCurrentFrame();
  form.ShowConvertedDocument();
}

void NewStrCommand(TForm1& form) {
  NewStrWith(form, QString());
}

void NewStrWith(TForm1& form, const QString& chosenVideo) {
  if (form.Converting) return;
  Running running(form);
  form.CloseDocument();
  if (!chosenVideo.isEmpty()) {
    // Suggested: the video's name as an STR, beside it.
    const QFileInfo source(chosenVideo);
    form.SaveStrDlg.FileName = source.completeBaseName() + ".str";
    form.SaveStrDlg.Folder = source.absolutePath();
  }
  if (!form.Execute(form.SaveStrDlg)) return;
  if (chosenVideo.isEmpty() && !form.Execute(form.OpenAviDlg)) return;
  const std::string strPath = FileName(form.SaveStrDlg.FileName);
  const std::string video = FileName(chosenVideo.isEmpty() ? form.OpenAviDlg.FileName : chosenVideo);
  form.EnterNewDocument();
  WindowChooser chooser(form, video);
  AviToStrContext c = ContextOf(form);
  StrDocument& doc = form.Document();
  const Result<int> created = CreateStrFromAvi(c, strPath, video, chooser);
  if (!created.has_value()) {
    // Cancelled or failed: the new file is gone; the window has no document.
    form.CloseDocument();
    return;
  }
  // The new file, whole under its name, opens in the window at its first
  // frame (the last ones are the tail frames, black).
  const std::string path = doc.Path;
  const bool whole = created.Ok();
  form.CloseDocument();
  if (form.OpenDocument(QFile::decodeName(path.c_str())) != 0) return;
  form.ShowConvertedDocument();
  if (whole) form.NoteDone(QFile::decodeName(path.c_str()));
}

}  // namespace belmora::app
