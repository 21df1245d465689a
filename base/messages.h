// Every text the program shows its user, once, with the caption of its box
// and its kind. Texts with printf conversions are formats for Show.
#pragma once

#include "base/host.h"
#include "base/language.h"

namespace belmora {

// The caption every ordinary message carries.
inline constexpr const char* kMessageCaption = "メッセージ";

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

// The main window's label for a frame of a running conversion.
inline constexpr const char* kProgressLabel = "Setor Nº. : %06d   Nº do quadro : %06u";

// Opening and reading STR files.
inline constexpr Message kCannotOpenStr{"オープンできません。"};
// An open that failed: the file and the reason.
inline constexpr Message kCannotOpenNamed{"オープンできません。 %s (%s)"};
inline constexpr Message kUnknownFormat{"不明なフォーマットです。"};
inline constexpr Message kNoPicture{"画像データが存在しません。"};
inline constexpr Message kFrameTooLarge{"フレームのサイズが大きすぎます。(%d)"};
inline constexpr Message kDamagedFrame{
    "%s: フレーム %d はセクタが欠けているため、書き込めません。"};
inline constexpr Message kDamagedFramesShown{
    "%s: セクタが欠けたフレームは前のフレームで補いました: %s"};
inline constexpr Message kDamagedInRange{
    "%s: 範囲にセクタが欠けたフレームがあります: %s。--skip-damaged でそのまま残せます。"};
inline constexpr Message kInterleavedRelayout{
    "%s: 複数のムービーが交互に並んでいるため、長さの変更や並べ直しはできません (他のムービーが動いてしまいます)。"};
inline constexpr Message kFormatNotWritable{
    "%s: %s の形式は構成が十分に分かっていないため、読み取りのみで書き込めません。"};
inline constexpr Message kFormatRelayout{
    "%s: %s の形式のムービーは長さの変更や並べ直しができません (セクタの構成はその形式のものです)。"};
inline constexpr Message kGameSoundKept{
    "%s: %s の音声はこの形式では置き換えられません。音声はそのまま残ります。"};
inline constexpr Message kMovieChosen{"%s: ムービー %d を使います（全 %d 本）。"};
inline constexpr Message kNoSuchMovie{"%s: ムービー %d はありません（全 %d 本）。"};
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
// The edit of a file is done, but its report could not be written.
inline constexpr Message kEditDoneReportFailed{
    "%s の編集は完了しています (もう一度実行しないでください)。書き込めなかったのはレポート %s だけです。"};
inline constexpr Message kNoJournal{"取り消す編集はありません: %s"};
// The edit lock: the file, then " (pid N)" when the editor is known.
inline constexpr Message kBeingEdited{
    "%s は別のプロセス%sが編集中です。その編集が終わってから、もう一度実行してください。"};
inline constexpr Message kChangedSinceOpened{
    "%s は開いた後に別のプロセスによって変更されました。開き直してから、もう一度実行してください。"};
// A journal that cannot be trusted: the file, the reason, the journal.
inline constexpr Message kJournalRefused{
    "%s の編集記録は使えません: %s\nファイルには何も書き込んでいません。編集記録 %s は残してあります。"};
inline constexpr const char* kJournalCut = "途中で切れています";
inline constexpr const char* kJournalDamaged = "壊れています";
inline constexpr const char* kJournalForeign = "別のファイルのものです";
inline constexpr const char* kJournalChanged = "ファイルが編集の後に変更されています";
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
inline constexpr Message kSequenceGap{"連番の画像が欠けています: %s"};
inline constexpr Message kPictureTooLarge{"画像が大きすぎます: %s (%d x %d、最大 %d x %d)"};
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
// The same for a frame with no single version and scale in its header.
inline constexpr Message kStatusLineUncoded{"%s   quadro %lld/%lld   %dx%d"};
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
// The audio format chooser.
inline constexpr const char* kAudioChooserTitle = "音声圧縮";
inline constexpr const char* kAudioTagLabel = "形式:";
inline constexpr const char* kAudioFormatLabel = "属性:";
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

// "Configurações": the sound choices for frames laid out anew ("Tipo") and
// for frames kept in place ("方法").
inline constexpr const char* kAudioTypeLabel = "Tipo";
inline constexpr const char* kAudioMethodLabel = "方法";
inline constexpr const char* kAudioNone = "Sem som ";
inline constexpr const char* kAudioReencode = "圧縮して上書き";
inline constexpr const char* kAudioKeep = "元の音声のまま";
// The platform's names in the compressor and sound format lists.
inline constexpr const char* kFullFramesItem = "Quadros completos (sem compressão)";
inline constexpr const char* kMonoName = "ﾓﾉﾗﾙ";
inline constexpr const char* kStereoName = "Estéreo";

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
inline constexpr Message kSubtitleBounded{
    "字幕の一部が大きすぎるか多すぎるため、画像に収まる範囲に制限しました: %s (同時に %d 個、全体で %d 個まで)"};
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
inline constexpr const char* kFrameWord = "Quadro";
inline constexpr const char* kSectorWord = "Setor";
inline constexpr const char* kFitColumns[] = {kFrameWord, kSectorWord, "Capacidade", "Escala",
                                              "Bytes", "PSNR (dB)", "Mantido"};
inline constexpr const char* kKeptYes = "sim";
inline constexpr const char* kKeptNo = "não";
inline constexpr const char* kSubtitleTitle = "Aplicar legendas";
inline constexpr const char* kSubtitleFilter = "Legendas (*.ass *.ssa *.srt)|*.ass;*.ssa;*.srt";
inline constexpr const char* kFrameByFrame = "Quadro a quadro";
inline constexpr const char* kSaveChannelMenu = "Salvar som do canal…";
inline constexpr const char* kPlayChannelMenu = "Reproduzir som do canal…";
inline constexpr Message kChannelItem{"%d: %d Hz, %d ch, %.1f s"};
// The movies of a file that holds several.
inline constexpr const char* kChooseMovieMenu = "Escolher filme…";
inline constexpr const char* kMovieChooserTitle = "Filmes do arquivo";
inline constexpr const char* kMovieWord = "Filme";
inline constexpr const char* kChannelWord = "Canal";
inline constexpr const char* kDurationWord = "Duração";
inline constexpr const char* kDamagedFramesWord = "Quadros danificados";
inline constexpr const char* kNoDamagedFrames = "nenhum";
// The viewer's note on a frame that lacks sectors: short at the head of the
// status line (chunks present of how many), in full as its tooltip.
inline constexpr Message kFrameDamagedShort{"danificado (%d/%d)"};
inline constexpr Message kFrameConcealed{
    "このフレームはセクタが欠けています (%d/%d)。欠けた部分は前のフレームで補っています。"};

// The desktop application's captions: the main window.
inline constexpr const char* kFramesLabel = "Quadros : 000000";
// The menu bar's menus: the letter after & opens one with Alt.
inline constexpr const char* kMenuFile = "&Arquivo";
inline constexpr const char* kFileWord = "Arquivo";  // also a column of "Arquivos da imagem"
inline constexpr const char* kMenuNew = "Criar novo STR";
inline constexpr const char* kMenuOpen = "Abrir arquivo STR";
inline constexpr const char* kMenuExit = "Sair";
inline constexpr const char* kMenuConv = "&Converter";
inline constexpr const char* kMenuAviO = "Converter STR para AVI";  // also its window's title
inline constexpr const char* kMenuAviI = "Converter AVI para STR";
inline constexpr const char* kMenuBmpO = "Salvar em BMP";
inline constexpr const char* kMenuBmpI = "Abrir arquivo BMP";
inline constexpr const char* kMenuConf = "&Visualizar";
inline constexpr const char* kMenuSpeed = "Formato de tempo";
inline constexpr const char* kMenuSpeed1 = "Formato 1";
inline constexpr const char* kMenuSpeed2 = "Formato 2 (Segundos)";
inline constexpr const char* kSizeWord = "Tamanho";  // the view's size; the tail's length
inline constexpr const char* kMenuWidthN = "Grande";
inline constexpr const char* kMenuWidthH = "Pequeno";
inline constexpr const char* kMenuWidthD = "Dobro";
inline constexpr const char* kMenuSel = "Seleção";
inline constexpr const char* kMenuSelStart = "Início da Seleção";
inline constexpr const char* kMenuSelEnd = "Fim da seleção";
inline constexpr const char* kMenuSelAll = "Selecionar tudo";
inline constexpr const char* kMenuPos = "Posição da seleção";
inline constexpr const char* kMenuPlay = "Reproduzir";
// The language entry (view menu, also under "Ajuda"): each language by its own name.
inline constexpr const char* kMenuLanguage = "Idioma";
inline constexpr const char* kLanguageEnglish = "English";
inline constexpr const char* kLanguageOriginal = "Original (português, 日本語)";
inline constexpr const char* kMenuHelp = "Aj&uda";
inline constexpr const char* kMenuAbout = "Sobre";  // also the box's title
// The about box: the version, then Qt's and FFmpeg's versions in use.
inline constexpr const char* kAboutText =
    "Belmora %s\n\nVisualizador e conversor de filmes STR de CD-ROM XA.\n\n"
    "Bibliotecas em uso e suas licenças:\n"
    "Qt %s: LGPL-3.0 (Qt Charts: GPL-3.0+)\n"
    "FFmpeg %s: LGPL-2.1+ (GPL-2+ como o Debian o compila)\n"
    "libass: ISC\n"
    "libcdio, libiso9660: GPL-3.0+\n"
    "CLI11: BSD-3-Clause; nlohmann/json: MIT (belmora-cli)";
inline constexpr const char* kUnknownException = "Unknown exception";
// File dialogs' filters: name|patterns, joined by "|".
inline constexpr const char* kStrFilesFilter = "STR Files (*.str)|*.str";
inline constexpr const char* kAviFilesFilter = "AVI Files (*.avi)|*.avi";
inline constexpr const char* kBmpFilesFilter = "BMP Files (*.bmp)|*.bmp";
inline constexpr const char* kAllFilesFilter = "All Files (*.*)|*.*";
inline constexpr const char* kAviSaveFilter = "AVI Files(*.avi)|*.avi|All Files(*.*)|*.*";
inline constexpr const char* kWavFilter = "WAV (*.wav)|*.wav";
inline constexpr const char* kSaveAs = "Salvar como";
// The open-BMP dialog's check box and the settings' one.
inline constexpr const char* kBestQuality = "Qualidade máxima";
// Buttons of every window.
inline constexpr const char* kCancelButton = "Cancelar";
inline constexpr const char* kOpenButton = "Abrir";
inline constexpr const char* kStartButton = "Iniciar";
// The answers of the message boxes' questions, named by the questions.
inline constexpr const char* kYesButton = "はい";
inline constexpr const char* kNoButton = "いいえ";
// "Configurações".
inline constexpr const char* kSettingsTitle = "Configurações";
inline constexpr const char* kSkipSector = "Pular setor";
inline constexpr const char* kVideoGroup = "Vídeos";
inline constexpr const char* kFpsLabel = "FPS";
inline constexpr const char* kWidthShort = "W";
inline constexpr const char* kHeightShort = "H";
inline constexpr const char* kMdecVersionLabel = "Ver. MDEC";
inline constexpr const char* kSoundGroup = "Som";
inline constexpr const char* kChannelsLabel = "Canais";
inline constexpr const char* kFramesGroup = "Quadros";
inline constexpr const char* kFrameOrg = "Org. Quadro";
inline constexpr const char* kNumberStart = "Começo";
inline constexpr const char* kNumberMin = "Mínimo";
inline constexpr const char* kNumberMax = "Máximo";
inline constexpr const char* kNumberFrame = "Nº Quadro";
// The summary's parts are joined by this.
inline constexpr const char* kSummarySeparator = " · ";
// "Novo STR".
inline constexpr const char* kNewStrTitle = "Novo STR";
inline constexpr const char* kSpeedLabel = "Velocidade";
inline constexpr const char* kSectorTypeLabel = "Tipo-Setor";
inline constexpr const char* kStartLabel = "Início";
inline constexpr const char* kHeaderLabel = "Cabeçalho (HEADER)";
// "Converter STR para AVI".
inline constexpr const char* kFrameRateLabel = "FrameRate";
inline constexpr const char* kCompressionLabel = "Compressão";
inline constexpr const char* kWidthLabel = "Largura";
inline constexpr const char* kHeightLabel = "Altura";
inline constexpr const char* kAudioGroup = "Áudio";
inline constexpr const char* kFormatLabel = "Formato";
// The image-position dialog and the progress dialog.
inline constexpr const char* kSelectTitle = "Selecionar";
inline constexpr const char* kFromLabel = "De";
inline constexpr const char* kToLabel = "Até";
inline constexpr const char* kConvertingTitle = "Convertendo arquivo";
// "Arquivos da imagem": the files of a disc image.
inline constexpr const char* kImageFilesTitle = "Arquivos da imagem";
inline constexpr const char* kSectorsWord = "Setores";
inline constexpr const char* kContentWord = "Conteúdo";
inline constexpr const char* kRateHalf = "18,9";
inline constexpr const char* kRateFull = "37,8";
inline constexpr const char* kStereoWord = "estéreo";
inline constexpr const char* kMonoWord = "mono";

// Inputs that are not ordinary files or larger than their kind needs, outputs
// that are not ordinary files, running out of memory, the journal bound to
// its file, and frames out of sequence.
// A file that could not be opened or read: the file and the reason.
inline constexpr Message kCannotRead{"%s が読み取れません (%s)"};
inline constexpr const char* kNotRegularFile =
    "通常のファイルではありません。FIFO、デバイス、ソケットは読み書きしません";
// The reason of an input over its kind's limit: its size and the limit, in bytes.
inline constexpr Message kInputTooLarge{
    "%lld バイトあり、この種類のファイルの上限 %lld バイトを超えています"};
inline constexpr const char* kFileEndsEarly = "ファイルが途中で終わっています";
inline constexpr const char* kNotWav = "RIFF WAVE 形式ではありません";
inline constexpr const char* kWavNotPcm =
    "1 または 2 チャンネル、8 または 16 ビットの PCM ではありません";
inline constexpr const char* kOutOfMemoryReason = "メモリが足りません";
// Memory ran out: the command stops, anything it began is undone.
inline constexpr Message kOutOfMemory{"メモリが足りないため中止しました。"};
inline constexpr Message kOutputNotRegular{
    "出力先が通常のファイルではありません: %s (--force でも置き換えません)"};
// The journal's own path holds something else: the journal, then the file.
inline constexpr Message kJournalNotRegular{
    "編集記録 %s が通常のファイルではありません (シンボリックリンク、FIFO、デバイスなど)。%s には何も書き込んでいません。それを取り除いてから、もう一度実行してください。"};
// The file matches neither what the edit found nor what it wrote: the file,
// the journal, then the file again for the command that discards the journal.
inline constexpr Message kJournalMismatch{
    "%s は編集記録 %s の編集前の内容とも編集後の内容とも一致しません (別のファイルに置き換えられたようです)。ファイルには何も書き込んでいません。編集記録を捨てるには belmora-cli recover --discard %s を実行してください。"};
inline constexpr Message kJournalDiscardHint{
    "編集記録を捨てて %s をこのまま使うには belmora-cli recover --discard %s を実行してください。"};
inline constexpr Message kJournalDiscarded{"編集記録を捨てました: %s (%s は変更していません)"};

// A movie none of whose frames decode in any layout its sectors allow:
// said by info and the viewer, and the reason an export refuses it.
inline constexpr Message kFramesDoNotDecode{
    "%s: この動画のフレームはどの形式でも復号できません。"};

// The desktop program: a movie's own sound in the sound commands (the
// layout's name, then as a channel).
inline constexpr Message kLayoutSoundItem{"%s: %d Hz, %d ch, %.1f s"};
// The fit report's plot: how to move about in it.
inline constexpr const char* kFitPlotHint =
    "Roda: zoom · arrastar: ampliar o trecho · Shift+arrastar ou botão do meio: deslocar · "
    "←/→: deslocar · +/−: zoom · 0: tudo · clique: ir ao quadro · clique duplo: agora e depois";
// The open dialog's first filter: every kind of file the program opens.
inline constexpr const char* kOpenableFilesFilter =
    "Arquivos STR e XA, imagens de disco (*.str *.xa *.iki *.bin *.cue *.iso)|"
    "*.str;*.xa;*.iki;*.bin;*.cue;*.iso";
// The thumbnailer's refusals.
inline constexpr Message kThumbnailFileTooLarge{
    "%s: ファイルが大きすぎます (%lld MB、上限 %lld MB)。"};
inline constexpr Message kThumbnailOutOfTime{"時間内にサムネイルを作成できませんでした。"};

}  // namespace msg
}  // namespace belmora
