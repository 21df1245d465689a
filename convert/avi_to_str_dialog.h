// The logic of the "Configurações" dialog of the AVI-to-STR conversion: the
// settings record, what the controls show, and what OK reads from them.
#pragma once

#include <string>
#include <vector>

#include "convert/conversion_ui.h"
#include "str/str_document.h"

namespace belmora {

inline constexpr const char* kMsgNoAviSound =
    "AVIファイルに音声データが含まれていない為、\n無音データを作成しますがよろしいですか？";
inline constexpr const char* kWarningCaption = "警告";

struct AviToStrSettings {
  // Inputs, set by the conversion.
  bool IsNewFile = false;
  double AviFrameRate = 0;
  double StrFrameRate = 0;
  bool AviHasAudio = false;
  // Outputs, set by OK.
  bool RebuildSectors = false;
  double FrameRate = 0;
  int FrameWidth = 0;
  int FrameHeight = 0;
  int MdecVersion = 0;
  bool NoAudio = false;
  bool Stereo = false;
  bool HighRate = false;
  int AudioChannel = 0;
  bool KeepFrameNumbers = false;
  int StartNumber = 0;
  int MinNumber = 0;
  int MaxNumber = 0;
  int TailNumber = 0;
  int TailFrames = 0;

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

  void FormShow(const StrDocument& doc);
  void SectorChkClick(const StrDocument& doc);
  void FrameOrgChkClick();
  // Reads the controls; false when the user declined the warning (the
  // dialog stays open).
  bool Button1Click(const StrDocument& doc, ConversionUi& ui);
};

}  // namespace belmora
