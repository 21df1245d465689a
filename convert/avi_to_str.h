// Putting an AVI's pictures and sound into the STR: in place in the frames
// of the selection, or laid out anew; the STR grows or shrinks to the AVI's
// length; and new STR files made from an AVI.
#pragma once

#include <string>

#include "convert/avi_to_str_dialog.h"
#include "convert/conversion_ui.h"
#include "convert/frame_bmp.h"
#include "mdec/frame_encoder.h"
#include "str/str_document.h"
#include "xa/xa_codec.h"

namespace belmora {

inline constexpr const char* kMsgSourceReadError = "元データの読み取りエラー";
inline constexpr const char* kMsgFrameLayoutError = "フレームの領域が計算不能";
inline constexpr const char* kMsgResizeError = "ファイルサイズの変更でエラーが発生しました。";
inline constexpr const char* kMsgLengthen =
    "AVIファイルの方が長いですが、\nSTRファイルも長くしますか？";
inline constexpr const char* kMsgShorten =
    "AVIファイルの方が短いですが、\nSTRファイルも短くしますか？";
inline constexpr const char* kMsgTooManySectors =
    "このフレームレートでは1フレームが20セクタを超えます。フレームレートを上げてください。(%g)";
inline constexpr const char* kMsgReopenFailed = "STRファイルを開き直せませんでした。";

// What the conversion works on: the application's records and the main
// window's selection and image position.
struct AviToStrContext {
  StrDocument& Doc;
  MdecCodec& Codec;
  XaEncoderState& Encoder;
  FrameNumbering& Numbering;
  AviToStrSettings& Settings;
  ConversionUi& Ui;
  int32_t& SelectionStart;
  int32_t& SelectionEnd;
  ImagePosition Position;
};

// 0 when the frame loop ran (also when it stopped on an error or cancel),
// -1 when the AVI failed to open, a dialog was cancelled or the settings
// were refused (then the STR is unchanged).
int ConvertAviToStr(AviToStrContext& c, const std::string& aviPath, bool newFile);

// "Criar novo STR": creates `strPath` and fills it from the AVI; a failure
// before the frame loop removes the new file again. 0 or -1.
int CreateStrFromAvi(AviToStrContext& c, const std::string& strPath, const std::string& aviPath);

}  // namespace belmora
