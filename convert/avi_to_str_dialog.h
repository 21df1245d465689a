// What an AVI-to-STR conversion is asked to do, the defaults the document
// and the video give, and the logic of the "Configurações" dialog that
// offers them.
#pragma once

#include <string>
#include <vector>

#include "base/host.h"
#include "str/str_document.h"

namespace belmora {

// The settings of one conversion.
struct AviToStrOptions {
  bool RebuildSectors = false;  // lay every frame out anew
  double FrameRate = 0;
  int FrameWidth = 0;
  int FrameHeight = 0;
  int MdecVersion = 2;
  bool NoAudio = false;
  bool Stereo = false;
  bool HighRate = false;  // 37.8 kHz
  int AudioChannel = 0;
  bool KeepFrameNumbers = true;
  int StartNumber = 0;
  int MinNumber = 0;
  int MaxNumber = 0;
  int TailNumber = 0;  // frames after the video's end are numbered from here
  int TailFrames = 0;  // and this many are added when the STR is lengthened
  // The best-quality encoder for the pictures and the filtered resampler
  // for the sound, instead of the exact encoder and linear interpolation.
  bool BestQuality = false;
  bool operator==(const AviToStrOptions&) const = default;
};

// What the dialog is told about the conversion.
struct AviToStrInputs {
  bool IsNewFile = false;
  double AviFrameRate = 0;
  double StrFrameRate = 0;
  bool AviHasAudio = false;
};

// The settings the dialog offers, taken unchanged, with "Pular setor"
// (`rebuild`) as given; a new file is always laid out anew.
AviToStrOptions DefaultAviToStrOptions(const StrDocument& doc, const AviToStrInputs& in,
                                       bool rebuild);

// The ways the sound of an in-place conversion can go, and the formats of
// laid-out audio sectors, as the dialog lists them.
enum class LaidOutAudio { k189Mono, k189Stereo, k378Mono, k378Stereo, kNone };

struct AviToStrSettings {
  AviToStrInputs Inputs;
  // Set by OK.
  AviToStrOptions Options;

  // The controls.
  bool SectorChk = false, SectorChkEnabled = true;
  std::string FPSEdit, SizeWEdit, SizeHEdit;
  bool FPSEditEnabled = true;
  int VerSel = 0;  // item index: "2", "3"
  std::string Label11;
  std::vector<std::string> AudioFormItems;
  int AudioFormSel = -1;
  std::string AudioChEdit;
  bool FrameOrgChk = true, FrameOrgChkEnabled = true;
  std::string StartNoEdit, MinNoEdit, MaxNoEdit, EndNoEdit, EndNumEdit;
  bool NumberEditsEnabled = false;
  bool QualityChk = false;  // "Qualidade máxima"

  void FormShow(const StrDocument& doc);
  void SectorChkClick(const StrDocument& doc);
  void FrameOrgChkClick();
  // Reads the controls into Options; false when the user declined the
  // warning (the dialog stays open).
  bool Button1Click(const StrDocument& doc, Host& host);
};

}  // namespace belmora
