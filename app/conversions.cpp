#include "app/conversions.h"

#include <QCheckBox>
#include <QFile>
#include <algorithm>

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

  bool ChooseNewStr(NewStrOptions& options) override {
    TForm4* dialog = form_.Form4();
    if (!dialog || form_.RunModal(*dialog) != QDialog::Accepted) return false;
    options = dialog->Options;
    return true;
  }

  bool ChooseSettings(const StrDocument& doc, const AviToStrInputs& inputs,
                      AviToStrOptions& options) override {
    TForm2* dialog = form_.Form2();
    if (!dialog) return false;
    dialog->Prepare(doc, inputs, form_.Ui(), Facts(inputs));
    // "Simular" tries the settings on a scratch copy; "Quadro a quadro" maps frames one to one.
    const bool newFile = inputs.IsNewFile;
    dialog->Simulate = [this, dialog, newFile](const AviToStrOptions& o, bool frameByFrame) {
      SimulateAviToStr(form_, dialog, video_, o, newFile, frameByFrame);
    };
    const int result = form_.RunModal(*dialog);
    dialog->Simulate = nullptr;
    if (result != QDialog::Accepted) return false;
    options = dialog->Settings.Options;
    if (mapping_ && dialog->FrameByFrameChk->isChecked()) *mapping_ = FrameMapping::kFrameExact;
    return true;
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
  form.Conversions.ApplySubtitles = ApplySubtitlesCommand;
}

void StrToAviCommand(TForm1& form) {
  TConvAviForm* dialog = form.ConvAviForm();
  if (!form.DocumentOpen || form.Converting || !dialog) return;
  Running running(form);
  dialog->Model.FirstSector = form.SelectionStart;
  dialog->Model.LastSector = form.SelectionEnd;
  dialog->Prepare(form.Document(), form.Codec().HalfWidthView, form.Ui());
  if (form.RunModal(*dialog) != QDialog::Accepted) return;
  // Failures are reported by the export; the window shows where it stopped.
  (void)ConvertStrToAvi(dialog->Model.Options(), form.Document(), form.Codec(), form.XaDecoder(),
                        form.Ui());
  form.ShowConvertedDocument();
}

void AviToStrCommand(TForm1& form) {
  if (!form.DocumentOpen || form.Converting) return;
  if (!form.RunFileDialog(form.OpenAviDlg, &form)) return;
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
  const int r = ConvertAviToStr(c, FileName(video), chooser);
  if (doc.IsOpen()) {
    if (r != 0) {
      // Nothing was converted: back to the frame the window showed.
      doc.CurrentSector = current;
      form.ShowCurrentFrame();
    }
    form.ShowConvertedDocument();
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
  if (form.Converting) return;
  Running running(form);
  form.CloseDocument();
  if (!form.RunFileDialog(form.SaveStrDlg, &form)) return;
  if (!form.RunFileDialog(form.OpenAviDlg, &form)) return;
  const std::string strPath = FileName(form.SaveStrDlg.FileName);
  const std::string video = FileName(form.OpenAviDlg.FileName);
  form.EnterNewDocument();
  WindowChooser chooser(form, video);
  AviToStrContext c = ContextOf(form);
  StrDocument& doc = form.Document();
  const int r = CreateStrFromAvi(c, strPath, video, chooser);
  if (r != 0 || !doc.IsOpen()) {
    // Cancelled or failed: the new file is gone; the window has no document.
    form.CloseDocument();
    return;
  }
  // The new file, whole under its name, opens in the window at the frame
  // the conversion ended on.
  const std::string path = doc.Path;
  const int32_t current = doc.CurrentSector;
  form.CloseDocument();
  if (form.OpenDocument(QFile::decodeName(path.c_str())) != 0) return;
  doc.CurrentSector = std::min(current, doc.LastFrameSector);
  form.ShowCurrentFrame();
  form.ShowConvertedDocument();
}

}  // namespace belmora::app
