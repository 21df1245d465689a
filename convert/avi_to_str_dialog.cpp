#include "convert/avi_to_str_dialog.h"

#include <cstdio>
#include <cstdlib>

#include "base/bytes.h"
#include "base/messages.h"
#include "convert/edit_text.h"

namespace belmora {

namespace {
int Integer(const std::string& s) {
  return int(std::strtol(s.c_str(), nullptr, 10));
}
// A rate as it comes back from the rate edit.
double EditedRate(double v) {
  return std::strtod(EditText(v).c_str(), nullptr);
}

bool CurrentFrameIsVersion2(const StrDocument& doc) {
  return doc.FrameBuffer.size() >= 8 && GetU16(&doc.FrameBuffer[6]) == 2;
}

// The audio list's selection when laying out anew, and what it means.
LaidOutAudio DefaultLaidOutAudio(const StrDocument& doc) {
  if (doc.AudioChannelCount == 0) return LaidOutAudio::kNone;
  const int coding = doc.AudioCodings[0];
  return LaidOutAudio((IsStereo(coding) ? 1 : 0) + (IsHalfRate(coding) ? 0 : 2));
}
void TakeLaidOutAudio(AviToStrOptions& o, const StrDocument& doc, LaidOutAudio a) {
  o.NoAudio = doc.SectorSize < kLayout2336.SectorSize || a == LaidOutAudio::kNone;
  if (!o.NoAudio) {
    o.Stereo = int(a) & 1;
    o.HighRate = int(a) & 2;
  }
}
// In place: the channel's own format re-encoded, or its sound kept.
void TakeInPlaceAudio(AviToStrOptions& o, const StrDocument& doc, bool keep) {
  o.NoAudio = doc.AudioChannelCount == 0 || keep;
  if (!o.NoAudio) {
    o.Stereo = IsStereo(doc.AudioCodings[0]);
    o.HighRate = !IsHalfRate(doc.AudioCodings[0]);
  }
}

int DefaultMaxNumber(const StrDocument& doc) {
  return doc.LastFrameNumber - doc.FirstFrameNumber > 105 ? doc.LastFrameNumber - 100
                                                          : doc.FirstFrameNumber + 5;
}
constexpr int kDefaultTailFrames = 15;

}  // namespace

AviToStrOptions DefaultAviToStrOptions(const StrDocument& doc, const AviToStrInputs& in,
                                       bool rebuild) {
  rebuild |= in.IsNewFile;
  AviToStrOptions o;
  o.RebuildSectors = rebuild;
  o.FrameRate = EditedRate(rebuild ? in.AviFrameRate : in.StrFrameRate);
  o.FrameWidth = doc.ChunkHeader.Width;
  o.FrameHeight = doc.ChunkHeader.Height;
  o.MdecVersion = in.IsNewFile || CurrentFrameIsVersion2(doc) ? 2 : 3;
  if (rebuild)
    TakeLaidOutAudio(o, doc, DefaultLaidOutAudio(doc));
  else
    TakeInPlaceAudio(o, doc, !in.AviHasAudio);
  o.AudioChannel = doc.AudioChannelCount != 0 ? doc.AudioChannels[0] : 1;
  o.KeepFrameNumbers = !rebuild;
  o.StartNumber = int(doc.ChunkHeader.FrameNumber);
  o.MinNumber = doc.FirstFrameNumber;
  o.MaxNumber = DefaultMaxNumber(doc);
  o.TailNumber = doc.LastFrameNumber;
  o.TailFrames = kDefaultTailFrames;
  return o;
}

void AviToStrSettings::FormShow(const StrDocument& doc) {
  SectorChk = Inputs.IsNewFile;
  SectorChkEnabled = !Inputs.IsNewFile;
  SizeWEdit = std::to_string(doc.ChunkHeader.Width);
  SizeHEdit = std::to_string(doc.ChunkHeader.Height);
  VerSel = Inputs.IsNewFile || CurrentFrameIsVersion2(doc) ? 0 : 1;
  AudioChEdit = doc.AudioChannelCount != 0 ? std::to_string(doc.AudioChannels[0]) : "1";
  FrameOrgChk = true;
  StartNoEdit = std::to_string(doc.ChunkHeader.FrameNumber);
  MinNoEdit = std::to_string(doc.FirstFrameNumber);
  MaxNoEdit = std::to_string(DefaultMaxNumber(doc));
  EndNoEdit = std::to_string(doc.LastFrameNumber);
  EndNumEdit = std::to_string(kDefaultTailFrames);
  SectorChkClick(doc);
}

void AviToStrSettings::SectorChkClick(const StrDocument& doc) {
  if (SectorChk) {
    FPSEditEnabled = true;
    FPSEdit = EditText(Inputs.AviFrameRate);
    Label11 = Tr(msg::kAudioTypeLabel);
    if (doc.SectorSize >= kLayout2336.SectorSize) {
      AudioFormItems = {"18.9kHz Mono", "18.9kHz Stereo", "37.8kHz Mono", "37.8kHz Stereo",
                        Tr(msg::kAudioNone)};
      AudioFormSel = int(DefaultLaidOutAudio(doc));
    } else {
      AudioFormItems = {Tr(msg::kAudioNone)};
      AudioFormSel = 0;
    }
    FrameOrgChkEnabled = false;
    FrameOrgChk = false;
  } else {
    FPSEditEnabled = false;
    FPSEdit = EditText(Inputs.StrFrameRate);
    Label11 = Tr(msg::kAudioMethodLabel);
    if (doc.AudioChannelCount != 0) {
      AudioFormItems = {Tr(msg::kAudioReencode), Tr(msg::kAudioKeep)};
      AudioFormSel = Inputs.AviHasAudio ? 0 : 1;
    } else {
      AudioFormItems = {Tr(msg::kAudioNone)};
      AudioFormSel = -1;
    }
    FrameOrgChkEnabled = true;
  }
  FrameOrgChkClick();
}

void AviToStrSettings::FrameOrgChkClick() {
  NumberEditsEnabled = !FrameOrgChk;
}

bool AviToStrSettings::Button1Click(const StrDocument& doc, Host& host) {
  AviToStrOptions& o = Options;
  o.RebuildSectors = SectorChk;
  o.FrameRate = std::strtod(FPSEdit.c_str(), nullptr);
  o.FrameWidth = Integer(SizeWEdit);
  o.FrameHeight = Integer(SizeHEdit);
  o.MdecVersion = VerSel == 0 ? 2 : 3;
  if (o.RebuildSectors)
    TakeLaidOutAudio(o, doc, LaidOutAudio(AudioFormSel));
  else
    TakeInPlaceAudio(o, doc, AudioFormSel == 1);
  if (!o.NoAudio && !Inputs.AviHasAudio &&
      AskQuestion(host, msg::kNoAviSound, Buttons::kOkCancel) != Answer::kOk)
    return false;
  o.AudioChannel = Integer(AudioChEdit);
  o.KeepFrameNumbers = FrameOrgChk;
  o.StartNumber = Integer(StartNoEdit);
  o.MinNumber = Integer(MinNoEdit);
  o.MaxNumber = Integer(MaxNoEdit);
  o.TailNumber = Integer(EndNoEdit);
  o.TailFrames = Integer(EndNumEdit);
  o.BestQuality = QualityChk;
  return true;
}

}  // namespace belmora
