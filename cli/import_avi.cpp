// belmora-cli import-avi and new: an AVI's pictures and sound into an STR,
// in place or laid out anew, and new STR files made from an AVI.
#include <sstream>

#include "cli/cli_common.h"
#include "cli/cli_ui.h"
#include "convert/avi_to_str.h"
#include "str/new_str.h"

namespace belmora::cli {

namespace {

struct AviOptions {
  std::string path, avi, fps, size, audio, resize = "no", header;
  int from = -1, to = -1, mdec = 0, channel = -1, tailNumber = INT32_MIN, tailFrames = -1,
      sector = 2336, speed = 2, trailing = 0;
  bool rebuild = false;
  std::vector<int> renumber, position;
};

// Applies the options to the dialogs, which the user would otherwise edit.
class OptionsUi : public CliConversionUi {
 public:
  OptionsUi(const AviOptions& o, bool newFile) : o_(o), newFile_(newFile) {
    AnswerYes = o.resize == "yes";
  }
  bool ShowNewStrDialog(TForm4& d, StrDocument& doc) override {
    d.FormShow();
    d.ComboBox1 = o_.speed == 1 ? "1x" : "2x";
    d.ComboBox2 = o_.sector == 2048 ? "2048" : o_.sector == 2352 ? "2352(RIFF)" : "2336";
    if (!o_.header.empty()) {
      std::stringstream in(o_.header);
      std::string* edits[4] = {&d.Edit1, &d.Edit2, &d.Edit3, &d.Edit4};
      for (std::string* e : edits)
        if (!std::getline(in, *e, ',')) break;
    }
    d.Edit5 = std::to_string(o_.trailing);
    return d.OKButtonClick(doc) == 0;
  }
  bool ShowSettingsDialog(AviToStrSettings& s, const StrDocument& doc) override {
    s.FormShow(doc);
    if (o_.rebuild && !newFile_) {
      s.SectorChk = true;
      s.SectorChkClick(doc);
    }
    if (!o_.fps.empty()) s.FPSEdit = o_.fps;
    SplitSize(o_.size, s.SizeWEdit, s.SizeHEdit);
    if (o_.mdec) s.VerSel = o_.mdec == 2 ? 0 : 1;
    if (!o_.audio.empty()) {
      static const char* kLaidOut[] = {"18.9-mono", "18.9-stereo", "37.8-mono", "37.8-stereo",
                                       "none"};
      int pick = -1;
      if (s.SectorChk) {
        for (int i = 0; i < 5; i++)
          if (o_.audio == kLaidOut[i]) pick = i;
        if (s.AudioFormItems.size() == 1) pick = pick == 4 ? 0 : -1;  // 2048 sectors: no sound only
      } else if (s.AudioFormItems.size() == 2) {
        pick = o_.audio == "reencode" ? 0 : (o_.audio == "keep" || o_.audio == "none") ? 1 : -1;
      } else {
        pick = o_.audio == "none" || o_.audio == "keep" ? -1 : -2;
      }
      if (pick < -1 || (pick == -1 && s.AudioFormItems.size() > 1)) {
        Show("--audio " + o_.audio + " does not fit this conversion", "");
        return false;
      }
      s.AudioFormSel = pick;
    }
    if (o_.channel >= 0) s.AudioChEdit = std::to_string(o_.channel);
    if (o_.renumber.size() == 3) {
      s.FrameOrgChk = false;
      s.FrameOrgChkClick();
      s.StartNoEdit = std::to_string(o_.renumber[0]);
      s.MinNoEdit = std::to_string(o_.renumber[1]);
      s.MaxNoEdit = std::to_string(o_.renumber[2]);
    }
    if (o_.tailNumber != INT32_MIN) s.EndNoEdit = std::to_string(o_.tailNumber);
    if (o_.tailFrames >= 0) s.EndNumEdit = std::to_string(o_.tailFrames);
    return s.Button1Click(doc, *this);
  }
  // The no-sound warning is accepted: silence is what the options asked for.
  int Ask(const std::string& text, const std::string& caption, AskButtons buttons) override {
    if (buttons == AskButtons::kOkCancel) {
      std::fprintf(stderr, "%s: %s -> ok\n", caption.c_str(), text.c_str());
      return kBoxOk;
    }
    return CliConversionUi::Ask(text, caption, buttons);
  }

 private:
  const AviOptions& o_;
  bool newFile_;
};

int Run(const AviOptions& o, bool newFile) {
  OptionsUi ui(o, newFile);
  AudioSectorHook hook;
  StrDocument doc(ui, &hook);
  MdecCodec codec;
  XaEncoderState encoder;
  FrameNumbering numbering;
  AviToStrSettings settings;
  int32_t start = 0, end = 0;
  ImagePosition position;
  if (o.position.size() == 2) position = ImagePosition::FromDialog(o.position[0], o.position[1]);
  AviToStrContext c{doc, codec, encoder, numbering, settings, ui, start, end, position};
  int r;
  if (newFile) {
    r = CreateStrFromAvi(c, o.path, o.avi);
  } else {
    if (OpenStrFile(doc, o.path) != 0) {
      MessageBoxF(ui, "%s", kMsgCannotOpenStr);
      return 1;
    }
    InitCodec(codec, ui);
    start = o.from >= 0 ? o.from : 0;
    end = o.to >= 0 ? o.to : doc.LastFrameSector;
    r = ConvertAviToStr(c, o.avi, false);
  }
  if (r != 0) return 1;
  if (!doc.IsOpen()) return 1;
  std::printf("%d sectors, last frame at sector %d (number %d), %s\n", doc.SectorCount,
              doc.LastFrameSector, doc.LastFrameNumber,
              ui.CancelRequested() ? "cancelled" : "done");
  return 0;
}

void AddSettingsOptions(CLI::App* cmd, AviOptions& o) {
  cmd->add_option("--fps", o.fps, "Frames per second of the result (laid-out frames)");
  cmd->add_option("--size", o.size, "Picture size WxH written into the frames");
  cmd->add_option("--mdec", o.mdec, "MDEC version 2 or 3")->check(CLI::IsMember({2, 3}));
  cmd->add_option("--audio", o.audio,
                  "reencode|keep|none, or for laid-out frames "
                  "18.9-mono|18.9-stereo|37.8-mono|37.8-stereo|none");
  cmd->add_option("--channel", o.channel, "XA channel of the audio sectors");
  cmd->add_option("--tail-number", o.tailNumber, "First number of the frames after the AVI's end");
  cmd->add_option("--tail-frames", o.tailFrames,
                  "Frames added after the AVI's end when lengthening");
  cmd->add_option("--pos", o.position, "Position X,Y of the pictures in the frames")
      ->delimiter(',')
      ->expected(2);
}

}  // namespace

void AddImportAviCommands(CLI::App& app, CommandRunner& run) {
  auto* im =
      app.add_subcommand("import-avi", "Put a video's pictures and sound into the STR, in place");
  auto io = std::make_shared<AviOptions>();
  im->add_option("FILE", io->path, "STR file")->required();
  im->add_option("VIDEO", io->avi, "AVI (or any video FFmpeg reads)")->required();
  im->add_option("--from", io->from,
                 "First sector of the stretch to replace (default: the whole file)");
  im->add_option("--to", io->to, "Sector of the stretch's last frame");
  im->add_flag("--rebuild", io->rebuild, "Lay every frame of the stretch out anew");
  im->add_option("--renumber", io->renumber, "Renumber frames: START,MIN,MAX")
      ->delimiter(',')
      ->expected(3);
  im->add_option("--resize", io->resize, "Answer to lengthening or shortening the STR")
      ->check(CLI::IsMember({"yes", "no"}));
  AddSettingsOptions(im, *io);
  im->callback([&run, io] { run = [io] { return Run(*io, false); }; });

  auto* nw = app.add_subcommand("new", "Make a new STR file from a video");
  auto no = std::make_shared<AviOptions>();
  nw->add_option("OUT", no->path, "STR file to create")->required();
  nw->add_option("VIDEO", no->avi, "AVI (or any video FFmpeg reads)")->required();
  nw->add_option("--sector", no->sector, "Sector size")->check(CLI::IsMember({2048, 2336, 2352}));
  nw->add_option("--speed", no->speed, "1 or 2 (double speed)")->check(CLI::IsMember({1, 2}));
  nw->add_option("--header", no->header, "First four chunk header bytes in hex, e.g. 60,01,01,80");
  nw->add_option("--trailing", no->trailing, "Filler sectors after the last frame");
  nw->add_option("--numbers", no->renumber, "Frame numbers START,MIN,MAX")
      ->delimiter(',')
      ->expected(3);
  AddSettingsOptions(nw, *no);
  nw->callback([&run, no] { run = [no] { return Run(*no, true); }; });
}

}  // namespace belmora::cli
