// Every text the program shows its user, once, with the caption of its box
// and its kind. Texts with printf conversions are formats for Show.
#pragma once

#include "base/host.h"

namespace belmora {

struct Message {
  const char* Text;
  const char* Caption = kMessageCaption;
  MessageKind Kind = MessageKind::kInformation;
};

// Formats `m` printf-style (at most 1024 bytes) and shows it in its box.
void Show(Host& host, Message m, ...);
// Asks `m` (a question) with the given buttons.
Answer AskQuestion(Host& host, const Message& m, Buttons buttons);
// The text of `m`, formatted printf-style (at most 1024 bytes).
std::string FormatMessage(Message m, ...);

namespace msg {

// Opening and reading STR files.
inline constexpr Message kCannotOpenStr{"オープンできません。"};
// An open that failed: the file and the reason.
inline constexpr Message kCannotOpenNamed{"オープンできません。 %s (%s)"};
inline constexpr Message kUnknownFormat{"不明なフォーマットです。"};
inline constexpr Message kNoPicture{"画像データが存在しません。"};
inline constexpr Message kFrameTooLarge{"フレームのサイズが大きすぎます。(%d)"};
inline constexpr Message kReadOnly{
    "このファイルは読み取り専用で開かれているため、書き込めません。"};
inline constexpr Message kStrReadError{"STRの読み取りエラー"};
inline constexpr Message kFrameNotFound{"フレームが見つかりません。"};
inline constexpr Message kDecodeFailed{"フレームのデコードに失敗しました。"};
inline constexpr Message kFramesFailed{"%d 個のフレームがデコードできませんでした。"};
inline constexpr Message kCannotOpenFile{"ファイルがオープンできません。"};
// A write that failed: the file and the system's reason.
inline constexpr Message kWriteError{"書き込みエラー: %s (%s)"};
// Output files.
inline constexpr Message kOutputIsDirectory{"出力先がフォルダです: %s"};
inline constexpr Message kOutputIsInput{"出力先が入力ファイルと同じです: %s"};
inline constexpr Message kOutputExists{"出力先のファイルが既にあります: %s (上書きするには --force)"};
// The rollback journal of an edit.
inline constexpr Message kJournalExists{
    "%s は編集の途中で中断されています。元に戻すには belmora-cli recover %s を実行してください。"};
inline constexpr Message kRolledBack{"変更を取り消し、元のファイルに戻しました: %s"};
inline constexpr Message kRollbackFailed{
    "元のファイルに戻せませんでした: %s\n後で belmora-cli recover %s を実行してください。"};
// An edit the user stopped: keep what was done, or put the file back?
inline constexpr Message kAskKeepCancelled{
    "中止しました: %s\nここまでの変更を残しますか？\n「いいえ」を選ぶと元のファイルに戻します。",
    kMessageCaption, MessageKind::kQuestion};
inline constexpr Message kCancelledKept{"中止しました。ここまでの変更は残しました: %s"};
inline constexpr Message kCancelledUnchanged{"中止しました。ファイルは変更されていません: %s"};
inline constexpr Message kRecovered{"中断された編集を取り消しました: %s"};
inline constexpr Message kNoJournal{"取り消す編集はありません: %s"};
// Sector framing checks.
inline constexpr Message kCheckUnknownLayout{"セクタの形式が分かりません: %s"};
inline constexpr Message kAskRecover{
    "%s は編集の途中で中断されています。\n元のファイルに戻しますか？", kMessageCaption,
    MessageKind::kQuestion};

// The frame encoder.
inline constexpr Message kNoMemory{"メモリが確保できません。"};
inline constexpr Message kNoScaleFits{
    "量子化スケールを最大にしても、フレームの領域に収まりません。"};

// BMP files.
inline constexpr Message kBmpCannotOpen{"%sがオープンできません"};
inline constexpr Message kBmpReadError{"読み取りエラー"};
inline constexpr Message kNotBmp{"BMP形式ではありません。"};
inline constexpr Message kBmpNoMemory{"メモリが確保できません"};
inline constexpr Message kBmpCompressed{"圧縮されたBMP形式には対応していません。"};
inline constexpr Message kBmpBitCount{"このビット数のBMPには対応していません。(%d)"};
inline constexpr Message kBmpSize{"BMPの大きさが正しくありません。(%d x %d)"};

// The media module (FFmpeg and libass), loaded on first use: the path
// looked for, or the loader's reason (which names a missing library).
inline constexpr Message kMediaModuleMissing{"動画ライブラリのモジュールが見つかりません: %s"};
inline constexpr Message kMediaModuleUnusable{"動画ライブラリを読み込めません: %s"};

// The video reader's failures (TAviIo::LastError).
inline constexpr const char* kAviCannotOpen = "AVIファイルがオープンできません。";
inline constexpr const char* kAviNoVideo = "VIDEOが含まれていません。";
inline constexpr const char* kAviNoMemory = "メモリの確保に失敗しました。";
inline constexpr const char* kAviReadFormat = "AVIStreamReadFormat error";
inline constexpr const char* kAviFrameOpen = "AVIStreamGetFrameOpen error";
inline constexpr const char* kAviGetFrame = "AVIStreamGetFrame error";
inline constexpr const char* kAviRead = "AVIStreamRead error";
inline constexpr const char* kAcmStreamOpen = "acmStreamOpen error";
inline constexpr const char* kAcmConvert = "acmStreamConvert error";

// AVI to STR.
inline constexpr Message kSourceReadError{"元データの読み取りエラー"};
inline constexpr Message kFrameLayoutError{"フレームの領域が計算不能"};
inline constexpr Message kResizeError{"ファイルサイズの変更でエラーが発生しました。"};
inline constexpr Message kReopenFailed{"STRファイルを開き直せませんでした。"};
inline constexpr Message kLengthen{"AVIファイルの方が長いですが、\nSTRファイルも長くしますか？",
                                   kMessageCaption, MessageKind::kQuestion};
inline constexpr Message kShorten{"AVIファイルの方が短いですが、\nSTRファイルも短くしますか？",
                                  kMessageCaption, MessageKind::kQuestion};
inline constexpr Message kNoAviSound{
    "AVIファイルに音声データが含まれていない為、\n無音データを作成しますがよろしいですか？",
    "警告", MessageKind::kWarning};
inline constexpr Message kTooManySectors{
    "このフレームレートでは1フレームが20セクタを超えます。フレームレートを上げてください。(%g)"};
inline constexpr Message kBadFrameRate{"フレームレートが正しくありません。(%g)"};
inline constexpr Message kBadVersion{"MDECのバージョンが正しくありません。(%d)"};
inline constexpr Message kBadChannel{"音声チャンネルが正しくありません。(%d)"};
inline constexpr Message kBadNumbering{"フレーム番号の範囲が正しくありません。(%d - %d)"};
inline constexpr Message kBadCount{"数が正しくありません。(%d)"};
inline constexpr Message kBadChunkHeader{
    "この見出しのチャンクはフレームとして読めません。(%04X %04X)"};
inline constexpr Message kTooLong{"STRファイルが長くなりすぎます。(%.0f セクタ)"};

// STR to AVI: set-up failures show in a plain box with an empty caption.
inline constexpr Message kSameFile{
    "出力先が開いているSTRファイルと同じです。別のファイル名を指定してください。"};
inline constexpr Message kMallocError{"malloc error", ""};
inline constexpr Message kAviCreateFailed{"AVIファイルの作成に失敗しました", ""};
inline constexpr Message kVideoStreamFailed{"ビデオストリームの作成に失敗しました", ""};
inline constexpr Message kVideoCompressorFailed{"ビデオ圧縮ストリームの作成に失敗しました", ""};
inline constexpr Message kAudioStreamFailed{"オーディオストリームの作成に失敗しました", ""};
inline constexpr Message kAudioCodecFailed{"オーディオ圧縮CODECがオープンできません", ""};
inline constexpr Message kVideoWriteFailed{"ビデオストリームの書き込みに失敗しました", ""};
inline constexpr Message kAudioWriteFailed{"オーディオストリームの書き込みに失敗しました", ""};
inline constexpr Message kBadFrameSize{"画像の大きさが正しくありません。(%d x %d)"};
inline constexpr Message kBadAudioFormat{"音声の形式が正しくありません。(%d Hz, %d ch, %d bit)"};

// The STR-to-AVI dialog's choosers.
inline constexpr Message kNoDriver{"利用可能なドライバが存在しません"};
inline constexpr Message kChooserError{"エラーが発生しました"};
inline constexpr Message kSuggestError{"acmFormatSuggest error", ""};

// The desktop application's own texts beyond the captions of its windows.
// A dropped video: start "Converter AVI para STR" with it?
inline constexpr Message kAskDroppedVideo{
    "%s\n「Converter AVI para STR」をこのファイルで開始しますか？", kMessageCaption,
    MessageKind::kQuestion};
// An output file of that name exists already: replace it?
inline constexpr Message kAskReplace{"%s は既に存在します。\n置き換えますか？", kMessageCaption,
                                     MessageKind::kQuestion};
// No sound device to play a channel on.
inline constexpr Message kNoAudioDevice{"音声を再生できるデバイスがありません。"};
// A dropped picture: encode it into the frame shown?
inline constexpr Message kAskDroppedPicture{
    "%s\n「Abrir arquivo BMP」で現在のフレームに取り込みますか？", kMessageCaption,
    MessageKind::kQuestion};
// A dropped video with no movie open: make a new STR of it?
inline constexpr Message kAskDroppedVideoNew{
    "%s\n「Criar novo STR」をこのファイルで開始しますか？", kMessageCaption,
    MessageKind::kQuestion};
// The image position in effect, as "Posição da seleção" shows it.
inline constexpr Message kPositionInEffect{"Posição da imagem: De %d, Até %d"};
// The help menu and its one entry: the keys of the main window.
inline constexpr const char* kHelpMenu = "Aj&uda";
inline constexpr const char* kHelpKeysItem = "Teclas";
inline constexpr Message kHelpKeys{
    "Ctrl+O\tSTRファイルを開く\n"
    "Ctrl+S\t現在のフレームをBMPで保存\n"
    "Ctrl+E\tSTRをAVIに変換\n"
    "Ctrl+Q\t終了\n"
    "Space\t再生／停止\n"
    "→ / ←\t次／前のフレーム\n"
    "Home / End\t最初／最後のフレーム\n"
    "PgUp / PgDn\t10秒戻る／進む\n"
    "I / O\t選択範囲の始め／終わり\n"
    "F1\tこのヘルプ",
    "Ajuda"};
// The status line: time, frame i of n, picture size, MDEC version, quantizer scale.
inline constexpr Message kStatusLine{"%s   quadro %lld/%lld   %dx%d   v%d   q%d"};
// After long work.
inline constexpr Message kDoneNotice{"完了しました: %s"};
inline constexpr const char* kOpenFolderButton = "Abrir pasta";
// "Arquivo"'s list of the files opened last.
inline constexpr const char* kRecentFilesMenu = "Arquivos recentes";
// The open-video dialog's second filter: every video the reader takes.
inline constexpr const char* kVideoFilesFilter =
    "Video files (*.avi *.mp4 *.mkv *.mov *.webm)|*.avi;*.mp4;*.mkv;*.mov;*.webm";
// The open-STR dialog's second filter: the disc images whose files it lists.
inline constexpr const char* kDiscImagesFilter =
    "Imagens de disco (*.bin *.cue *.iso)|*.bin;*.cue;*.iso";
// The video compressor chooser, worded like the platform's.
inline constexpr const char* kCompressorTitle = "Video Compression";
inline constexpr const char* kCompressorLabel = "Compressor:";
inline constexpr const char* kFullFrames = "Full Frames (Uncompressed)";
inline constexpr const char* kQualityLabel = "Compression Quality:";
inline constexpr const char* kKeyFrameLabel = "Key Frame Every";
inline constexpr const char* kKeyFrameUnit = "frames";
inline constexpr const char* kDataRateLabel = "Data Rate";
inline constexpr const char* kDataRateUnit = "KB/sec";
inline constexpr const char* kChooserOk = "OK";
// Every cancel button of the program says the same.
inline constexpr const char* kChooserCancel = "Cancelar";
// The audio format chooser.
inline constexpr const char* kAudioChooserTitle = "音声圧縮";
inline constexpr const char* kAudioTagLabel = "形式:";
inline constexpr const char* kAudioFormatLabel = "属性:";
inline constexpr const char* kAudioChooserCancel = "Cancelar";
// The one-line summary of "Configurações", its parts joined by " · ".
inline constexpr const char* kSummaryReplace = "%d quadros a substituir";
inline constexpr const char* kSummaryLayOut = "%d quadros novos";
inline constexpr const char* kSummaryLengths = "vídeo %.1f s / seleção %.1f s";
inline constexpr const char* kSummaryNewLengths = "vídeo %.1f s / STR %.1f s";
inline constexpr const char* kSummaryBudget = "%d setores/quadro (%d B)";
inline constexpr const char* kSummaryBudgetRange = "%d a %d setores/quadro";
// What a file of a disc image holds, in the list of "Arquivos da imagem".
inline constexpr const char* kImageItemStr = "vídeo STR, %d quadros, %d x %d";
inline constexpr const char* kImageItemXa = "áudio XA, %d canais";
inline constexpr const char* kImageItemXaOne = "áudio XA, 1 canal";
inline constexpr const char* kImageItemChannel = ", canal %d %s kHz %s";

// Sound.
inline constexpr Message kNoAudio{"音声データが存在しません。"};
inline constexpr Message kNoSuchChannel{"音声チャンネル %d が存在しません。"};

// Command-line choices that name something this build does not have.
inline constexpr Message kNoVideoCodec{"ビデオ圧縮CODECが見つかりません: %s"};
inline constexpr Message kNoAudioFormat{"音声形式が見つかりません: %s"};
inline constexpr Message kAudioFormatUnfit{"その音声形式は %d Hz, %d チャンネルで使えません。"};
inline constexpr Message kAudioUnfit{"--audio %s does not fit this conversion"};
inline constexpr Message kBadSize{"大きさが正しくありません: %s"};

// Disc images.
inline constexpr Message kDiscUnreadable{"ディスクイメージが読み取れません: %s"};
inline constexpr Message kDiscNoVolume{"ISO 9660 のボリューム記述子が見つかりません: %s"};
inline constexpr Message kDiscDirectoryDamaged{"ディレクトリが壊れています: %s"};
inline constexpr Message kDiscFirstTrackAudio{"最初のトラックがオーディオトラックです: %s"};
inline constexpr Message kDiscTrackOffset{"データトラックの位置が扱えません: %s"};
inline constexpr Message kDiscFileNotFound{"ディスクイメージにそのファイルがありません: %s"};
inline constexpr Message kCueBadLine{"キューシートが読み取れません: %s (%d 行目)"};
inline constexpr Message kCueNoTrack{"キューシートにトラックがありません: %s"};
inline constexpr Message kCueFileMissing{"キューシートのファイルが見つかりません: %s"};
inline constexpr Message kCueUnsupportedMode{"対応していないトラック形式です: %s"};
// A file inside a disc image.
inline constexpr Message kDiscIsDirectory{"ディスクイメージ内のディレクトリです。ファイルを指定してください: %s"};
inline constexpr Message kImageFixedLength{
    "ディスクイメージ内のファイルは長さを変えられません。同じセクタの中でのみ編集できます: %s"};
inline constexpr Message kDiscNoMovies{"ディスクイメージに STR / XA ファイルがありません: %s"};

// The translator's workflow: fit reports, frame-exact runs, subtitles,
// picture sequences, audio-only XA files.
inline constexpr Message kFitSummary{
    "%d フレーム: 再エンコード %d、変更なし %d、最悪はフレーム %d (%.2f dB)、平均 %.2f dB"};
inline constexpr Message kDryRunDone{"試行のみ: ファイルは変更されていません。"};
inline constexpr Message kFrameExactChosen{
    "動画のフレーム数が選択範囲のフレーム数 (%d) と同じなので、1 フレームずつ対応させます。"};
inline constexpr Message kFrameCountDiffers{
    "動画のフレーム数 (%lld) が選択範囲のフレーム数 (%d) と違います。"};
inline constexpr Message kFrameCountDiffersAsk{
    "動画のフレーム数 (%lld) が選択範囲のフレーム数 (%d) と違います。\n続けますか？",
    kMessageCaption, MessageKind::kQuestion};
inline constexpr Message kSubtitleCannotOpen{"字幕ファイルが読み取れません: %s"};
inline constexpr Message kSubtitleNoEvents{"字幕として読める行がありません: %s"};
inline constexpr Message kSubtitleRendererFailed{"字幕の描画を準備できません。"};
inline constexpr Message kSubtitleDone{"字幕: %d フレームを書き換え、%d フレームはそのままです。"};
inline constexpr Message kNoSequenceFrame{"連番画像が見つかりません: %s"};
inline constexpr Message kImageWriteFailed{"画像を書き込めません: %s"};
inline constexpr Message kAudioLengthDiffers{
    "WAV の長さ (%lld サンプル) がチャンネル %d の長さ (%lld サンプル) と違います。"};
// The report window and the subtitle window of the application.
inline constexpr const char* kApplySubtitlesMenu = "Aplicar legendas…";
inline constexpr const char* kSimulateButton = "Simular";
inline constexpr const char* kFitReportTitle = "Simulação";
// A frame of the fit report's chart, under the pointer.
inline constexpr Message kFitPointText{
    "quadro %d · setor %d · escala %d · %d / %d B · %.2f dB · mantido: %s"};
// The side-by-side preview of a frame of the report.
inline constexpr Message kFramePreviewTitle{"Quadro %d: agora e depois"};
inline constexpr const char* kPreviewNow = "Agora";
inline constexpr Message kPreviewAfter{"Depois da codificação (escala %d, %.2f dB)"};
inline constexpr const char* kFitColumns[] = {"Quadro", "Setor", "Capacidade", "Escala",
                                              "Bytes", "PSNR (dB)", "Mantido"};
inline constexpr const char* kKeptYes = "sim";
inline constexpr const char* kKeptNo = "não";
inline constexpr const char* kSubtitleTitle = "Aplicar legendas";
inline constexpr const char* kSubtitleFilter = "Legendas (*.ass *.ssa *.srt)|*.ass;*.ssa;*.srt";
inline constexpr const char* kFrameByFrame = "Quadro a quadro";
inline constexpr const char* kSaveChannelMenu = "Salvar som do canal…";
inline constexpr const char* kPlayChannelMenu = "Reproduzir som do canal…";
inline constexpr Message kChannelItem{"%d: %d Hz, %d ch, %.1f s"};

}  // namespace msg
}  // namespace belmora
