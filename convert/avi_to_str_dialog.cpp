#include "convert/avi_to_str_dialog.h"

#include <cstdio>
#include <cstdlib>

#include "base/bytes.h"

namespace belmora {

namespace {
std::string Number(double v) {
  char s[64];
  std::snprintf(s, sizeof s, "%.15g", v);
  return s;
}
int Integer(const std::string& s) {
  return int(std::strtol(s.c_str(), nullptr, 10));
}
}  // namespace

void AviToStrSettings::FormShow(const StrDocument& doc) {
  SectorChk = IsNewFile;
  SectorChkEnabled = !IsNewFile;
  SizeWEdit = std::to_string(doc.ChunkHeader.Width);
  SizeHEdit = std::to_string(doc.ChunkHeader.Height);
  const bool v2 = IsNewFile || (doc.FrameBuffer.size() >= 8 && GetU16(&doc.FrameBuffer[6]) == 2);
  VerSel = v2 ? 0 : 1;
  AudioChEdit = doc.AudioChannelCount != 0 ? std::to_string(doc.AudioChannels[0]) : "1";
  FrameOrgChk = true;
  StartNoEdit = std::to_string(doc.ChunkHeader.FrameNumber);
  MinNoEdit = std::to_string(doc.FirstFrameNumber);
  MaxNoEdit =
      std::to_string(doc.LastFrameNumber - doc.FirstFrameNumber > 105 ? doc.LastFrameNumber - 100
                                                                      : doc.FirstFrameNumber + 5);
  EndNoEdit = std::to_string(doc.LastFrameNumber);
  EndNumEdit = "15";
  SectorChkClick(doc);
}

void AviToStrSettings::SectorChkClick(const StrDocument& doc) {
  if (SectorChk) {
    FPSEditEnabled = true;
    FPSEdit = Number(AviFrameRate);
    Label11 = "Tipo";
    if (doc.SectorSize >= 2336) {
      AudioFormItems = {"18.9kHz Mono", "18.9kHz Stereo", "37.8kHz Mono", "37.8kHz Stereo",
                        "Sem som "};
      const int coding = doc.AudioCodings[0];
      AudioFormSel = doc.AudioChannelCount == 0
                         ? 4
                         : (IsStereo(coding) ? 1 : 0) + (IsHalfRate(coding) ? 0 : 2);
    } else {
      AudioFormItems = {"Sem som "};
      AudioFormSel = 0;
    }
    FrameOrgChkEnabled = false;
    FrameOrgChk = false;
  } else {
    FPSEditEnabled = false;
    FPSEdit = Number(StrFrameRate);
    Label11 = "方法";
    if (doc.AudioChannelCount != 0) {
      AudioFormItems = {"圧縮して上書き", "元の音声のまま"};
      AudioFormSel = AviHasAudio ? 0 : 1;
    } else {
      AudioFormItems = {"Sem som "};
      AudioFormSel = -1;
    }
    FrameOrgChkEnabled = true;
  }
  FrameOrgChkClick();
}

void AviToStrSettings::FrameOrgChkClick() {
  NumberEditsEnabled = !FrameOrgChk;
}

bool AviToStrSettings::Button1Click(const StrDocument& doc, ConversionUi& ui) {
  RebuildSectors = SectorChk;
  FrameRate = std::strtod(FPSEdit.c_str(), nullptr);
  FrameWidth = Integer(SizeWEdit);
  FrameHeight = Integer(SizeHEdit);
  MdecVersion = VerSel == 0 ? 2 : 3;
  if (RebuildSectors) {
    NoAudio = doc.SectorSize < 2336 || AudioFormSel == 4;
    if (!NoAudio) {
      Stereo = AudioFormSel & 1;
      HighRate = AudioFormSel & 2;
    }
  } else if (doc.AudioChannelCount == 0) {
    NoAudio = true;
  } else {
    NoAudio = AudioFormSel == 1;
    if (!NoAudio) {
      Stereo = IsStereo(doc.AudioCodings[0]);
      HighRate = !IsHalfRate(doc.AudioCodings[0]);
    }
  }
  if (!NoAudio && !AviHasAudio &&
      ui.Ask(kMsgNoAviSound, kWarningCaption, AskButtons::kOkCancel) != kBoxOk)
    return false;
  AudioChannel = Integer(AudioChEdit);
  KeepFrameNumbers = FrameOrgChk;
  StartNumber = Integer(StartNoEdit);
  MinNumber = Integer(MinNoEdit);
  MaxNumber = Integer(MaxNoEdit);
  TailNumber = Integer(EndNoEdit);
  TailFrames = Integer(EndNumEdit);
  return true;
}

}  // namespace belmora
