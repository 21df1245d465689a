<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
  <context>
    <name>belmora</name>
    <message>
      <source>メッセージ</source>
      <extracomment>kMessageCaption: Every text the program shows its user, once, with the caption of its box and its kind. Texts with printf conversions are formats for Show. The caption every ordinary message carries.</extracomment>
      <translation>Message</translation>
    </message>
    <message>
      <source>Setor Nº. : %06d   Nº do quadro : %06u</source>
      <extracomment>kProgressLabel: The main window's label for a frame of a running conversion.</extracomment>
      <translation>Sector No. : %06d   Frame No. : %06u</translation>
    </message>
    <message>
      <source>オープンできません。</source>
      <extracomment>kCannotOpenStr: Opening and reading STR files.</extracomment>
      <translation>Cannot open the file.</translation>
    </message>
    <message>
      <source>オープンできません。 %s (%s)</source>
      <extracomment>kCannotOpenNamed: An open that failed: the file and the reason.</extracomment>
      <translation>Cannot open the file. %s (%s)</translation>
    </message>
    <message>
      <source>不明なフォーマットです。</source>
      <extracomment>kUnknownFormat</extracomment>
      <translation>Unknown format.</translation>
    </message>
    <message>
      <source>画像データが存在しません。</source>
      <extracomment>kNoPicture</extracomment>
      <translation>There is no picture data.</translation>
    </message>
    <message>
      <source>フレームのサイズが大きすぎます。(%d)</source>
      <extracomment>kFrameTooLarge</extracomment>
      <translation>The frame is too large. (%d)</translation>
    </message>
    <message>
      <source>%s: フレーム %d はセクタが欠けているため、書き込めません。</source>
      <extracomment>kDamagedFrame</extracomment>
      <translation>%s: frame %d lacks sectors and cannot be written.</translation>
    </message>
    <message>
      <source>%s: セクタが欠けたフレームは前のフレームで補いました: %s</source>
      <extracomment>kDamagedFramesShown</extracomment>
      <translation>%s: frames that lack sectors were filled in from the previous frame: %s</translation>
    </message>
    <message>
      <source>%s: 範囲にセクタが欠けたフレームがあります: %s。--skip-damaged でそのまま残せます。</source>
      <extracomment>kDamagedInRange</extracomment>
      <translation>%s: the range holds frames that lack sectors: %s. --skip-damaged leaves them as they are.</translation>
    </message>
    <message>
      <source>%s: 複数のムービーが交互に並んでいるため、長さの変更や並べ直しはできません (他のムービーが動いてしまいます)。</source>
      <extracomment>kInterleavedRelayout</extracomment>
      <translation>%s: the file holds interleaved movies, so its length cannot change and it cannot be rebuilt (the other movies would move).</translation>
    </message>
    <message>
      <source>%s: %s の形式は構成が十分に分かっていないため、読み取りのみで書き込めません。</source>
      <extracomment>kFormatNotWritable</extracomment>
      <translation>%s: the %s layout is not known well enough to be written; it is read only.</translation>
    </message>
    <message>
      <source>%s: %s の形式のムービーは長さの変更や並べ直しができません (セクタの構成はその形式のものです)。</source>
      <extracomment>kFormatRelayout</extracomment>
      <translation>%s: a %s movie cannot be lengthened, shortened or rebuilt (its sectors are laid out in that format).</translation>
    </message>
    <message>
      <source>%s: %s の音声はこの形式では置き換えられません。音声はそのまま残ります。</source>
      <extracomment>kGameSoundKept</extracomment>
      <translation>%s: the sound of %s movies cannot be replaced; it is kept as it is.</translation>
    </message>
    <message>
      <source>%s: ムービー %d を使います（全 %d 本）。</source>
      <extracomment>kMovieChosen</extracomment>
      <translation>%s: using movie %d (of %d).</translation>
    </message>
    <message>
      <source>%s: ムービー %d はありません（全 %d 本）。</source>
      <extracomment>kNoSuchMovie</extracomment>
      <translation>%s: there is no movie %d (the file holds %d).</translation>
    </message>
    <message>
      <source>このファイルは読み取り専用で開かれているため、書き込めません。</source>
      <extracomment>kReadOnly</extracomment>
      <translation>This file was opened read-only and cannot be written.</translation>
    </message>
    <message>
      <source>STRの読み取りエラー</source>
      <extracomment>kStrReadError</extracomment>
      <translation>STR read error</translation>
    </message>
    <message>
      <source>フレームが見つかりません。</source>
      <extracomment>kFrameNotFound</extracomment>
      <translation>Frame not found.</translation>
    </message>
    <message>
      <source>フレームのデコードに失敗しました。</source>
      <extracomment>kDecodeFailed</extracomment>
      <translation>The frame could not be decoded.</translation>
    </message>
    <message>
      <source>%d 個のフレームがデコードできませんでした。</source>
      <extracomment>kFramesFailed</extracomment>
      <translation>%d frames could not be decoded.</translation>
    </message>
    <message>
      <source>ファイルがオープンできません。</source>
      <extracomment>kCannotOpenFile</extracomment>
      <translation>Cannot open the file.</translation>
    </message>
    <message>
      <source>書き込みエラー: %s (%s)</source>
      <extracomment>kWriteError: A write that failed: the file and the system's reason.</extracomment>
      <translation>Write error: %s (%s)</translation>
    </message>
    <message>
      <source>出力先がフォルダです: %s</source>
      <extracomment>kOutputIsDirectory: Output files.</extracomment>
      <translation>The output is a folder: %s</translation>
    </message>
    <message>
      <source>出力先が入力ファイルと同じです: %s</source>
      <extracomment>kOutputIsInput</extracomment>
      <translation>The output is the same as an input file: %s</translation>
    </message>
    <message>
      <source>出力先のファイルが既にあります: %s (上書きするには --force)</source>
      <extracomment>kOutputExists</extracomment>
      <translation>The output file already exists: %s (--force to overwrite it)</translation>
    </message>
    <message>
      <source>%s は編集の途中で中断されています。元に戻すには belmora-cli recover %s を実行してください。</source>
      <extracomment>kJournalExists: The rollback journal of an edit.</extracomment>
      <translation>%s was interrupted in the middle of an edit. To put it back, run belmora-cli recover %s.</translation>
    </message>
    <message>
      <source>変更を取り消し、元のファイルに戻しました: %s</source>
      <extracomment>kRolledBack</extracomment>
      <translation>The changes were undone; the file is as it was: %s</translation>
    </message>
    <message>
      <source>元のファイルに戻せませんでした: %s
後で belmora-cli recover %s を実行してください。</source>
      <extracomment>kRollbackFailed</extracomment>
      <translation>The file could not be put back as it was: %s
Run belmora-cli recover %s later.</translation>
    </message>
    <message>
      <source>中止しました: %s
ここまでの変更を残しますか？
「いいえ」を選ぶと元のファイルに戻します。</source>
      <extracomment>kAskKeepCancelled: An edit the user stopped: keep what was done, or put the file back?</extracomment>
      <translation>Stopped: %s
Keep the changes made so far?
"No" puts the file back as it was.</translation>
    </message>
    <message>
      <source>中止しました。ここまでの変更は残しました: %s</source>
      <extracomment>kCancelledKept</extracomment>
      <translation>Stopped. The changes made so far were kept: %s</translation>
    </message>
    <message>
      <source>中止しました。ファイルは変更されていません: %s</source>
      <extracomment>kCancelledUnchanged</extracomment>
      <translation>Stopped. The file is unchanged: %s</translation>
    </message>
    <message>
      <source>中断された編集を取り消しました: %s</source>
      <extracomment>kRecovered</extracomment>
      <translation>The interrupted edit was undone: %s</translation>
    </message>
    <message>
      <source>%s の編集は完了しています (もう一度実行しないでください)。書き込めなかったのはレポート %s だけです。</source>
      <extracomment>kEditDoneReportFailed: The edit of a file is done, but its report could not be written.</extracomment>
      <translation>The edit of %s is complete (do not run it again). Only the report %s could not be written.</translation>
    </message>
    <message>
      <source>取り消す編集はありません: %s</source>
      <extracomment>kNoJournal</extracomment>
      <translation>There is no edit to undo: %s</translation>
    </message>
    <message>
      <source>%s は別のプロセス%sが編集中です。その編集が終わってから、もう一度実行してください。</source>
      <extracomment>kBeingEdited: The edit lock: the file, then " (pid N)" when the editor is known.</extracomment>
      <translation>%s is being edited by another process%s. Run this again once that edit has finished.</translation>
    </message>
    <message>
      <source>%s は開いた後に別のプロセスによって変更されました。開き直してから、もう一度実行してください。</source>
      <extracomment>kChangedSinceOpened</extracomment>
      <translation>%s was changed by another process after it was opened. Open it again and retry.</translation>
    </message>
    <message>
      <source>%s の編集記録は使えません: %s
ファイルには何も書き込んでいません。編集記録 %s は残してあります。</source>
      <extracomment>kJournalRefused: A journal that cannot be trusted: the file, the reason, the journal.</extracomment>
      <translation>The edit journal of %s cannot be used: %s
Nothing was written to the file. The journal %s was kept.</translation>
    </message>
    <message>
      <source>途中で切れています</source>
      <extracomment>kJournalCut</extracomment>
      <translation>it is cut short</translation>
    </message>
    <message>
      <source>壊れています</source>
      <extracomment>kJournalDamaged</extracomment>
      <translation>it is damaged</translation>
    </message>
    <message>
      <source>別のファイルのものです</source>
      <extracomment>kJournalForeign</extracomment>
      <translation>it belongs to another file</translation>
    </message>
    <message>
      <source>ファイルが編集の後に変更されています</source>
      <extracomment>kJournalChanged</extracomment>
      <translation>the file was changed after the edit</translation>
    </message>
    <message>
      <source>セクタの形式が分かりません: %s</source>
      <extracomment>kCheckUnknownLayout: Sector framing checks.</extracomment>
      <translation>Unknown sector layout: %s</translation>
    </message>
    <message>
      <source>%s は編集の途中で中断されています。
元のファイルに戻しますか？</source>
      <extracomment>kAskRecover</extracomment>
      <translation>%s was interrupted in the middle of an edit.
Put the file back as it was?</translation>
    </message>
    <message>
      <source>メモリが確保できません。</source>
      <extracomment>kNoMemory: The frame encoder.</extracomment>
      <translation>Out of memory.</translation>
    </message>
    <message>
      <source>量子化スケールを最大にしても、フレームの領域に収まりません。</source>
      <extracomment>kNoScaleFits</extracomment>
      <translation>The frame does not fit its sectors even at the largest quantizer scale.</translation>
    </message>
    <message>
      <source>%sがオープンできません</source>
      <extracomment>kBmpCannotOpen: BMP files.</extracomment>
      <translation>Cannot open %s</translation>
    </message>
    <message>
      <source>読み取りエラー</source>
      <extracomment>kBmpReadError</extracomment>
      <translation>Read error</translation>
    </message>
    <message>
      <source>BMP形式ではありません。</source>
      <extracomment>kNotBmp</extracomment>
      <translation>Not a BMP file.</translation>
    </message>
    <message>
      <source>メモリが確保できません</source>
      <extracomment>kBmpNoMemory</extracomment>
      <translation>Out of memory</translation>
    </message>
    <message>
      <source>圧縮されたBMP形式には対応していません。</source>
      <extracomment>kBmpCompressed</extracomment>
      <translation>Compressed BMP files are not supported.</translation>
    </message>
    <message>
      <source>このビット数のBMPには対応していません。(%d)</source>
      <extracomment>kBmpBitCount</extracomment>
      <translation>BMP files of this bit depth are not supported. (%d)</translation>
    </message>
    <message>
      <source>BMPの大きさが正しくありません。(%d x %d)</source>
      <extracomment>kBmpSize</extracomment>
      <translation>The BMP has a wrong size. (%d x %d)</translation>
    </message>
    <message>
      <source>動画ライブラリのモジュールが見つかりません: %s</source>
      <extracomment>kMediaModuleMissing: The media module (FFmpeg and libass), loaded on first use: the path looked for, or the loader's reason (which names a missing library).</extracomment>
      <translation>The video library module was not found: %s</translation>
    </message>
    <message>
      <source>動画ライブラリを読み込めません: %s</source>
      <extracomment>kMediaModuleUnusable</extracomment>
      <translation>Cannot load the video libraries: %s</translation>
    </message>
    <message>
      <source>AVIファイルがオープンできません。</source>
      <extracomment>kAviCannotOpen: The video reader's failures (TAviIo::LastError).</extracomment>
      <translation>Cannot open the AVI file.</translation>
    </message>
    <message>
      <source>VIDEOが含まれていません。</source>
      <extracomment>kAviNoVideo</extracomment>
      <translation>It contains no video.</translation>
    </message>
    <message>
      <source>メモリの確保に失敗しました。</source>
      <extracomment>kAviNoMemory</extracomment>
      <translation>Out of memory.</translation>
    </message>
    <message>
      <source>AVIStreamReadFormat error</source>
      <extracomment>kAviReadFormat</extracomment>
      <translation>AVIStreamReadFormat error</translation>
    </message>
    <message>
      <source>AVIStreamGetFrameOpen error</source>
      <extracomment>kAviFrameOpen</extracomment>
      <translation>AVIStreamGetFrameOpen error</translation>
    </message>
    <message>
      <source>AVIStreamGetFrame error</source>
      <extracomment>kAviGetFrame</extracomment>
      <translation>AVIStreamGetFrame error</translation>
    </message>
    <message>
      <source>AVIStreamRead error</source>
      <extracomment>kAviRead</extracomment>
      <translation>AVIStreamRead error</translation>
    </message>
    <message>
      <source>acmStreamOpen error</source>
      <extracomment>kAcmStreamOpen</extracomment>
      <translation>acmStreamOpen error</translation>
    </message>
    <message>
      <source>acmStreamConvert error</source>
      <extracomment>kAcmConvert</extracomment>
      <translation>acmStreamConvert error</translation>
    </message>
    <message>
      <source>連番の画像が欠けています: %s</source>
      <extracomment>kSequenceGap: AVI to STR.</extracomment>
      <translation>A picture of the sequence is missing: %s</translation>
    </message>
    <message>
      <source>画像が大きすぎます: %s (%d x %d、最大 %d x %d)</source>
      <extracomment>kPictureTooLarge</extracomment>
      <translation>The picture is too large: %s (%d x %d, at most %d x %d)</translation>
    </message>
    <message>
      <source>元データの読み取りエラー</source>
      <extracomment>kSourceReadError</extracomment>
      <translation>Error reading the source</translation>
    </message>
    <message>
      <source>フレームの領域が計算不能</source>
      <extracomment>kFrameLayoutError</extracomment>
      <translation>The frames' sectors cannot be laid out</translation>
    </message>
    <message>
      <source>ファイルサイズの変更でエラーが発生しました。</source>
      <extracomment>kResizeError</extracomment>
      <translation>An error occurred while changing the file size.</translation>
    </message>
    <message>
      <source>STRファイルを開き直せませんでした。</source>
      <extracomment>kReopenFailed</extracomment>
      <translation>The STR file could not be opened again.</translation>
    </message>
    <message>
      <source>AVIファイルの方が長いですが、
STRファイルも長くしますか？</source>
      <extracomment>kLengthen</extracomment>
      <translation>The AVI file is longer.
Lengthen the STR file too?</translation>
    </message>
    <message>
      <source>AVIファイルの方が短いですが、
STRファイルも短くしますか？</source>
      <extracomment>kShorten</extracomment>
      <translation>The AVI file is shorter.
Shorten the STR file too?</translation>
    </message>
    <message>
      <source>AVIファイルに音声データが含まれていない為、
無音データを作成しますがよろしいですか？</source>
      <extracomment>kNoAviSound</extracomment>
      <translation>The AVI file contains no sound,
so silence will be written. Continue?</translation>
    </message>
    <message>
      <source>警告</source>
      <extracomment>kNoAviSound</extracomment>
      <translation>Warning</translation>
    </message>
    <message>
      <source>このフレームレートでは1フレームが20セクタを超えます。フレームレートを上げてください。(%g)</source>
      <extracomment>kTooManySectors</extracomment>
      <translation>At this frame rate a frame takes more than 20 sectors. Raise the frame rate. (%g)</translation>
    </message>
    <message>
      <source>フレームレートが正しくありません。(%g)</source>
      <extracomment>kBadFrameRate</extracomment>
      <translation>Wrong frame rate. (%g)</translation>
    </message>
    <message>
      <source>MDECのバージョンが正しくありません。(%d)</source>
      <extracomment>kBadVersion</extracomment>
      <translation>Wrong MDEC version. (%d)</translation>
    </message>
    <message>
      <source>音声チャンネルが正しくありません。(%d)</source>
      <extracomment>kBadChannel</extracomment>
      <translation>Wrong audio channel. (%d)</translation>
    </message>
    <message>
      <source>フレーム番号の範囲が正しくありません。(%d - %d)</source>
      <extracomment>kBadNumbering</extracomment>
      <translation>Wrong range of frame numbers. (%d - %d)</translation>
    </message>
    <message>
      <source>数が正しくありません。(%d)</source>
      <extracomment>kBadCount</extracomment>
      <translation>Wrong count. (%d)</translation>
    </message>
    <message>
      <source>この見出しのチャンクはフレームとして読めません。(%04X %04X)</source>
      <extracomment>kBadChunkHeader</extracomment>
      <translation>Chunks with this header cannot be read as frames. (%04X %04X)</translation>
    </message>
    <message>
      <source>STRファイルが長くなりすぎます。(%.0f セクタ)</source>
      <extracomment>kTooLong</extracomment>
      <translation>The STR file would become too long. (%.0f sectors)</translation>
    </message>
    <message>
      <source>出力先が開いているSTRファイルと同じです。別のファイル名を指定してください。</source>
      <extracomment>kSameFile: STR to AVI: set-up failures show in a plain box with an empty caption.</extracomment>
      <translation>The output is the open STR file. Choose another file name.</translation>
    </message>
    <message>
      <source>malloc error</source>
      <extracomment>kMallocError</extracomment>
      <translation>malloc error</translation>
    </message>
    <message>
      <source>AVIファイルの作成に失敗しました</source>
      <extracomment>kAviCreateFailed</extracomment>
      <translation>The AVI file could not be created</translation>
    </message>
    <message>
      <source>ビデオストリームの作成に失敗しました</source>
      <extracomment>kVideoStreamFailed</extracomment>
      <translation>The video stream could not be created</translation>
    </message>
    <message>
      <source>ビデオ圧縮ストリームの作成に失敗しました</source>
      <extracomment>kVideoCompressorFailed</extracomment>
      <translation>The compressed video stream could not be created</translation>
    </message>
    <message>
      <source>オーディオストリームの作成に失敗しました</source>
      <extracomment>kAudioStreamFailed</extracomment>
      <translation>The audio stream could not be created</translation>
    </message>
    <message>
      <source>オーディオ圧縮CODECがオープンできません</source>
      <extracomment>kAudioCodecFailed</extracomment>
      <translation>Cannot open the audio compression codec</translation>
    </message>
    <message>
      <source>ビデオストリームの書き込みに失敗しました</source>
      <extracomment>kVideoWriteFailed</extracomment>
      <translation>Writing the video stream failed</translation>
    </message>
    <message>
      <source>オーディオストリームの書き込みに失敗しました</source>
      <extracomment>kAudioWriteFailed</extracomment>
      <translation>Writing the audio stream failed</translation>
    </message>
    <message>
      <source>画像の大きさが正しくありません。(%d x %d)</source>
      <extracomment>kBadFrameSize</extracomment>
      <translation>Wrong picture size. (%d x %d)</translation>
    </message>
    <message>
      <source>音声の形式が正しくありません。(%d Hz, %d ch, %d bit)</source>
      <extracomment>kBadAudioFormat</extracomment>
      <translation>Wrong sound format. (%d Hz, %d ch, %d bit)</translation>
    </message>
    <message>
      <source>利用可能なドライバが存在しません</source>
      <extracomment>kNoDriver: The STR-to-AVI dialog's choosers.</extracomment>
      <translation>No driver is available</translation>
    </message>
    <message>
      <source>エラーが発生しました</source>
      <extracomment>kChooserError</extracomment>
      <translation>An error occurred</translation>
    </message>
    <message>
      <source>acmFormatSuggest error</source>
      <extracomment>kSuggestError</extracomment>
      <translation>acmFormatSuggest error</translation>
    </message>
    <message>
      <source>%s
「Converter AVI para STR」をこのファイルで開始しますか？</source>
      <extracomment>kAskDroppedVideo: The desktop application's own texts beyond the captions of its windows. A dropped video: start "Converter AVI para STR" with it?</extracomment>
      <translation>%s
Start "Convert AVI to STR" with this file?</translation>
    </message>
    <message>
      <source>%s は既に存在します。
置き換えますか？</source>
      <extracomment>kAskReplace: An output file of that name exists already: replace it?</extracomment>
      <translation>%s already exists.
Replace it?</translation>
    </message>
    <message>
      <source>音声を再生できるデバイスがありません。</source>
      <extracomment>kNoAudioDevice: No sound device to play a channel on.</extracomment>
      <translation>There is no device that can play sound.</translation>
    </message>
    <message>
      <source>%s
「Abrir arquivo BMP」で現在のフレームに取り込みますか？</source>
      <extracomment>kAskDroppedPicture: A dropped picture: encode it into the frame shown?</extracomment>
      <translation>%s
Import it into the current frame ("Open BMP file")?</translation>
    </message>
    <message>
      <source>%s
「Criar novo STR」をこのファイルで開始しますか？</source>
      <extracomment>kAskDroppedVideoNew: A dropped video with no movie open: make a new STR of it?</extracomment>
      <translation>%s
Start "Create new STR" with this file?</translation>
    </message>
    <message>
      <source>Posição da imagem: De %d, Até %d</source>
      <extracomment>kPositionInEffect: The image position in effect, as "Posição da seleção" shows it.</extracomment>
      <translation>Image position: From %d, To %d</translation>
    </message>
    <message>
      <source>Teclas</source>
      <extracomment>kHelpKeysItem: The help menu and its one entry: the keys of the main window.</extracomment>
      <translation>Keys</translation>
    </message>
    <message>
      <source>Ctrl+O	STRファイルを開く
Ctrl+S	現在のフレームをBMPで保存
Ctrl+E	STRをAVIに変換
Ctrl+Q	終了
Space	再生／停止
→ / ←	次／前のフレーム
Home / End	最初／最後のフレーム
PgUp / PgDn	10秒戻る／進む
I / O	選択範囲の始め／終わり
F1	このヘルプ</source>
      <extracomment>kHelpKeys</extracomment>
      <translation>Ctrl+O	Open an STR file
Ctrl+S	Save the current frame as BMP
Ctrl+E	Convert the STR to AVI
Ctrl+Q	Quit
Space	Play / stop
→ / ←	Next / previous frame
Home / End	First / last frame
PgUp / PgDn	10 seconds back / forward
I / O	Start / end of the selection
F1	This help</translation>
    </message>
    <message>
      <source>Ajuda</source>
      <extracomment>kHelpKeys</extracomment>
      <translation>Help</translation>
    </message>
    <message>
      <source>%s   quadro %lld/%lld   %dx%d   v%d   q%d</source>
      <extracomment>kStatusLine: The status line: time, frame i of n, picture size, MDEC version, quantizer scale.</extracomment>
      <translation>%s   frame %lld/%lld   %dx%d   v%d   q%d</translation>
    </message>
    <message>
      <source>%s   quadro %lld/%lld   %dx%d</source>
      <extracomment>kStatusLineUncoded: The same for a frame with no single version and scale in its header.</extracomment>
      <translation>%s   frame %lld/%lld   %dx%d</translation>
    </message>
    <message>
      <source>完了しました: %s</source>
      <extracomment>kDoneNotice: After long work.</extracomment>
      <translation>Done: %s</translation>
    </message>
    <message>
      <source>Abrir pasta</source>
      <extracomment>kOpenFolderButton</extracomment>
      <translation>Open folder</translation>
    </message>
    <message>
      <source>Arquivos recentes</source>
      <extracomment>kRecentFilesMenu: "Arquivo"'s list of the files opened last.</extracomment>
      <translation>Recent files</translation>
    </message>
    <message>
      <source>Video files (*.avi *.mp4 *.mkv *.mov *.webm)|*.avi;*.mp4;*.mkv;*.mov;*.webm</source>
      <extracomment>kVideoFilesFilter: The open-video dialog's second filter: every video the reader takes.</extracomment>
      <translation>Video files (*.avi *.mp4 *.mkv *.mov *.webm)|*.avi;*.mp4;*.mkv;*.mov;*.webm</translation>
    </message>
    <message>
      <source>Imagens de disco (*.bin *.cue *.iso)|*.bin;*.cue;*.iso</source>
      <extracomment>kDiscImagesFilter: The open-STR dialog's second filter: the disc images whose files it lists.</extracomment>
      <translation>Disc images (*.bin *.cue *.iso)|*.bin;*.cue;*.iso</translation>
    </message>
    <message>
      <source>Video Compression</source>
      <extracomment>kCompressorTitle: The video compressor chooser, worded like the platform's.</extracomment>
      <translation>Video Compression</translation>
    </message>
    <message>
      <source>Compressor:</source>
      <extracomment>kCompressorLabel</extracomment>
      <translation>Compressor:</translation>
    </message>
    <message>
      <source>Full Frames (Uncompressed)</source>
      <extracomment>kFullFrames</extracomment>
      <translation>Full Frames (Uncompressed)</translation>
    </message>
    <message>
      <source>Compression Quality:</source>
      <extracomment>kQualityLabel</extracomment>
      <translation>Compression Quality:</translation>
    </message>
    <message>
      <source>Key Frame Every</source>
      <extracomment>kKeyFrameLabel</extracomment>
      <translation>Key Frame Every</translation>
    </message>
    <message>
      <source>frames</source>
      <extracomment>kKeyFrameUnit</extracomment>
      <translation>frames</translation>
    </message>
    <message>
      <source>Data Rate</source>
      <extracomment>kDataRateLabel</extracomment>
      <translation>Data Rate</translation>
    </message>
    <message>
      <source>KB/sec</source>
      <extracomment>kDataRateUnit</extracomment>
      <translation>KB/sec</translation>
    </message>
    <message>
      <source>OK</source>
      <extracomment>kChooserOk</extracomment>
      <translation>OK</translation>
    </message>
    <message>
      <source>音声圧縮</source>
      <extracomment>kAudioChooserTitle: The audio format chooser.</extracomment>
      <translation>Sound Compression</translation>
    </message>
    <message>
      <source>形式:</source>
      <extracomment>kAudioTagLabel</extracomment>
      <translation>Format:</translation>
    </message>
    <message>
      <source>属性:</source>
      <extracomment>kAudioFormatLabel</extracomment>
      <translation>Attributes:</translation>
    </message>
    <message>
      <source>%d quadros a substituir</source>
      <extracomment>kSummaryReplace: The one-line summary of "Configurações", its parts joined by " · ".</extracomment>
      <translation>%d frames to replace</translation>
    </message>
    <message>
      <source>%d quadros novos</source>
      <extracomment>kSummaryLayOut</extracomment>
      <translation>%d new frames</translation>
    </message>
    <message>
      <source>vídeo %.1f s / seleção %.1f s</source>
      <extracomment>kSummaryLengths</extracomment>
      <translation>video %.1f s / selection %.1f s</translation>
    </message>
    <message>
      <source>vídeo %.1f s / STR %.1f s</source>
      <extracomment>kSummaryNewLengths</extracomment>
      <translation>video %.1f s / STR %.1f s</translation>
    </message>
    <message>
      <source>%d setores/quadro (%d B)</source>
      <extracomment>kSummaryBudget</extracomment>
      <translation>%d sectors/frame (%d B)</translation>
    </message>
    <message>
      <source>%d a %d setores/quadro</source>
      <extracomment>kSummaryBudgetRange</extracomment>
      <translation>%d to %d sectors/frame</translation>
    </message>
    <message>
      <source>vídeo STR, %d quadros, %d x %d</source>
      <extracomment>kImageItemStr: What a file of a disc image holds, in the list of "Arquivos da imagem".</extracomment>
      <translation>STR video, %d frames, %d x %d</translation>
    </message>
    <message>
      <source>áudio XA, %d canais</source>
      <extracomment>kImageItemXa</extracomment>
      <translation>XA sound, %d channels</translation>
    </message>
    <message>
      <source>áudio XA, 1 canal</source>
      <extracomment>kImageItemXaOne</extracomment>
      <translation>XA audio, 1 channel</translation>
    </message>
    <message>
      <source>, canal %d %s kHz %s</source>
      <extracomment>kImageItemChannel</extracomment>
      <translation>, channel %d %s kHz %s</translation>
    </message>
    <message>
      <source>Tipo</source>
      <extracomment>kAudioTypeLabel: "Configurações": the sound choices for frames laid out anew ("Tipo") and for frames kept in place ("方法").</extracomment>
      <translation>Type</translation>
    </message>
    <message>
      <source>方法</source>
      <extracomment>kAudioMethodLabel</extracomment>
      <translation>Method</translation>
    </message>
    <message>
      <source>Sem som </source>
      <extracomment>kAudioNone</extracomment>
      <translation>No sound </translation>
    </message>
    <message>
      <source>圧縮して上書き</source>
      <extracomment>kAudioReencode</extracomment>
      <translation>Re-encode</translation>
    </message>
    <message>
      <source>元の音声のまま</source>
      <extracomment>kAudioKeep</extracomment>
      <translation>Keep the sound</translation>
    </message>
    <message>
      <source>Quadros completos (sem compressão)</source>
      <extracomment>kFullFramesItem: The platform's names in the compressor and sound format lists.</extracomment>
      <translation>Full frames (uncompressed)</translation>
    </message>
    <message>
      <source>ﾓﾉﾗﾙ</source>
      <extracomment>kMonoName</extracomment>
      <translation>Mono</translation>
    </message>
    <message>
      <source>Estéreo</source>
      <extracomment>kStereoName</extracomment>
      <translation>Stereo</translation>
    </message>
    <message>
      <source>音声データが存在しません。</source>
      <extracomment>kNoAudio: Sound.</extracomment>
      <translation>There is no sound data.</translation>
    </message>
    <message>
      <source>音声チャンネル %d が存在しません。</source>
      <extracomment>kNoSuchChannel</extracomment>
      <translation>There is no audio channel %d.</translation>
    </message>
    <message>
      <source>ビデオ圧縮CODECが見つかりません: %s</source>
      <extracomment>kNoVideoCodec: Command-line choices that name something this build does not have.</extracomment>
      <translation>Video compression codec not found: %s</translation>
    </message>
    <message>
      <source>音声形式が見つかりません: %s</source>
      <extracomment>kNoAudioFormat</extracomment>
      <translation>Sound format not found: %s</translation>
    </message>
    <message>
      <source>その音声形式は %d Hz, %d チャンネルで使えません。</source>
      <extracomment>kAudioFormatUnfit</extracomment>
      <translation>That sound format cannot be used at %d Hz, %d channels.</translation>
    </message>
    <message>
      <source>--audio %s does not fit this conversion</source>
      <extracomment>kAudioUnfit</extracomment>
      <translation>--audio %s does not fit this conversion</translation>
    </message>
    <message>
      <source>大きさが正しくありません: %s</source>
      <extracomment>kBadSize</extracomment>
      <translation>Wrong size: %s</translation>
    </message>
    <message>
      <source>ディスクイメージが読み取れません: %s</source>
      <extracomment>kDiscUnreadable: Disc images.</extracomment>
      <translation>Cannot read the disc image: %s</translation>
    </message>
    <message>
      <source>ISO 9660 のボリューム記述子が見つかりません: %s</source>
      <extracomment>kDiscNoVolume</extracomment>
      <translation>No ISO 9660 volume descriptor found: %s</translation>
    </message>
    <message>
      <source>ディレクトリが壊れています: %s</source>
      <extracomment>kDiscDirectoryDamaged</extracomment>
      <translation>The directory is damaged: %s</translation>
    </message>
    <message>
      <source>最初のトラックがオーディオトラックです: %s</source>
      <extracomment>kDiscFirstTrackAudio</extracomment>
      <translation>The first track is an audio track: %s</translation>
    </message>
    <message>
      <source>データトラックの位置が扱えません: %s</source>
      <extracomment>kDiscTrackOffset</extracomment>
      <translation>The data track's position cannot be handled: %s</translation>
    </message>
    <message>
      <source>ディスクイメージにそのファイルがありません: %s</source>
      <extracomment>kDiscFileNotFound</extracomment>
      <translation>The disc image has no such file: %s</translation>
    </message>
    <message>
      <source>キューシートが読み取れません: %s (%d 行目)</source>
      <extracomment>kCueBadLine</extracomment>
      <translation>Cannot read the cue sheet: %s (line %d)</translation>
    </message>
    <message>
      <source>キューシートにトラックがありません: %s</source>
      <extracomment>kCueNoTrack</extracomment>
      <translation>The cue sheet has no track: %s</translation>
    </message>
    <message>
      <source>キューシートのファイルが見つかりません: %s</source>
      <extracomment>kCueFileMissing</extracomment>
      <translation>The cue sheet's file was not found: %s</translation>
    </message>
    <message>
      <source>対応していないトラック形式です: %s</source>
      <extracomment>kCueUnsupportedMode</extracomment>
      <translation>Unsupported track mode: %s</translation>
    </message>
    <message>
      <source>ディスクイメージ内のディレクトリです。ファイルを指定してください: %s</source>
      <extracomment>kDiscIsDirectory: A file inside a disc image.</extracomment>
      <translation>This is a folder inside the disc image. Name a file: %s</translation>
    </message>
    <message>
      <source>ディスクイメージ内のファイルは長さを変えられません。同じセクタの中でのみ編集できます: %s</source>
      <extracomment>kImageFixedLength</extracomment>
      <translation>A file inside a disc image cannot change its length; it can only be edited within its sectors: %s</translation>
    </message>
    <message>
      <source>ディスクイメージに STR / XA ファイルがありません: %s</source>
      <extracomment>kDiscNoMovies</extracomment>
      <translation>The disc image has no STR / XA files: %s</translation>
    </message>
    <message>
      <source>%d フレーム: 再エンコード %d、変更なし %d、最悪はフレーム %d (%.2f dB)、平均 %.2f dB</source>
      <extracomment>kFitSummary: The translator's workflow: fit reports, frame-exact runs, subtitles, picture sequences, audio-only XA files.</extracomment>
      <translation>%d frames: %d re-encoded, %d unchanged, worst is frame %d (%.2f dB), mean %.2f dB</translation>
    </message>
    <message>
      <source>試行のみ: ファイルは変更されていません。</source>
      <extracomment>kDryRunDone</extracomment>
      <translation>Trial only: the file was not changed.</translation>
    </message>
    <message>
      <source>動画のフレーム数が選択範囲のフレーム数 (%d) と同じなので、1 フレームずつ対応させます。</source>
      <extracomment>kFrameExactChosen</extracomment>
      <translation>The video has as many frames as the selection (%d), so they are matched one to one.</translation>
    </message>
    <message>
      <source>動画のフレーム数 (%lld) が選択範囲のフレーム数 (%d) と違います。</source>
      <extracomment>kFrameCountDiffers</extracomment>
      <translation>The video's frame count (%lld) differs from the selection's (%d).</translation>
    </message>
    <message>
      <source>動画のフレーム数 (%lld) が選択範囲のフレーム数 (%d) と違います。
続けますか？</source>
      <extracomment>kFrameCountDiffersAsk</extracomment>
      <translation>The video has %lld frames and the selection %d.
Continue?</translation>
    </message>
    <message>
      <source>字幕ファイルが読み取れません: %s</source>
      <extracomment>kSubtitleCannotOpen</extracomment>
      <translation>Cannot read the subtitle file: %s</translation>
    </message>
    <message>
      <source>字幕の一部が大きすぎるか多すぎるため、画像に収まる範囲に制限しました: %s (同時に %d 個、全体で %d 個まで)</source>
      <extracomment>kSubtitleBounded</extracomment>
      <translation>Some subtitles were too large or too many and were limited to what fits the picture: %s (at most %d at once, %d in all)</translation>
    </message>
    <message>
      <source>字幕として読める行がありません: %s</source>
      <extracomment>kSubtitleNoEvents</extracomment>
      <translation>No line could be read as a subtitle: %s</translation>
    </message>
    <message>
      <source>字幕の描画を準備できません。</source>
      <extracomment>kSubtitleRendererFailed</extracomment>
      <translation>The subtitle renderer cannot be set up.</translation>
    </message>
    <message>
      <source>字幕: %d フレームを書き換え、%d フレームはそのままです。</source>
      <extracomment>kSubtitleDone</extracomment>
      <translation>Subtitles: %d frames rewritten, %d frames left as they were.</translation>
    </message>
    <message>
      <source>連番画像が見つかりません: %s</source>
      <extracomment>kNoSequenceFrame</extracomment>
      <translation>No numbered pictures found: %s</translation>
    </message>
    <message>
      <source>画像を書き込めません: %s</source>
      <extracomment>kImageWriteFailed</extracomment>
      <translation>Cannot write the picture: %s</translation>
    </message>
    <message>
      <source>WAV の長さ (%lld サンプル) がチャンネル %d の長さ (%lld サンプル) と違います。</source>
      <extracomment>kAudioLengthDiffers</extracomment>
      <translation>The WAV's length (%lld samples) differs from channel %d's (%lld samples).</translation>
    </message>
    <message>
      <source>Aplicar legendas…</source>
      <extracomment>kApplySubtitlesMenu: The report window and the subtitle window of the application.</extracomment>
      <translation>Apply subtitles…</translation>
    </message>
    <message>
      <source>Simular</source>
      <extracomment>kSimulateButton</extracomment>
      <translation>Simulate</translation>
    </message>
    <message>
      <source>Simulação</source>
      <extracomment>kFitReportTitle</extracomment>
      <translation>Simulation</translation>
    </message>
    <message>
      <source>quadro %d · setor %d · escala %d · %d / %d B · %.2f dB · mantido: %s</source>
      <extracomment>kFitPointText: A frame of the fit report's chart, under the pointer.</extracomment>
      <translation>frame %d · sector %d · scale %d · %d / %d B · %.2f dB · kept: %s</translation>
    </message>
    <message>
      <source>Quadro %d: agora e depois</source>
      <extracomment>kFramePreviewTitle: The side-by-side preview of a frame of the report.</extracomment>
      <translation>Frame %d: now and after</translation>
    </message>
    <message>
      <source>Agora</source>
      <extracomment>kPreviewNow</extracomment>
      <translation>Now</translation>
    </message>
    <message>
      <source>Depois da codificação (escala %d, %.2f dB)</source>
      <extracomment>kPreviewAfter</extracomment>
      <translation>After encoding (scale %d, %.2f dB)</translation>
    </message>
    <message>
      <source>Quadro</source>
      <extracomment>kFrameWord</extracomment>
      <translation>Frame</translation>
    </message>
    <message>
      <source>Setor</source>
      <extracomment>kSectorWord</extracomment>
      <translation>Sector</translation>
    </message>
    <message>
      <source>Capacidade</source>
      <extracomment>kFitColumns</extracomment>
      <translation>Capacity</translation>
    </message>
    <message>
      <source>Escala</source>
      <extracomment>kFitColumns</extracomment>
      <translation>Scale</translation>
    </message>
    <message>
      <source>Bytes</source>
      <extracomment>kFitColumns</extracomment>
      <translation>Bytes</translation>
    </message>
    <message>
      <source>PSNR (dB)</source>
      <extracomment>kFitColumns</extracomment>
      <translation>PSNR (dB)</translation>
    </message>
    <message>
      <source>Mantido</source>
      <extracomment>kFitColumns</extracomment>
      <translation>Kept</translation>
    </message>
    <message>
      <source>sim</source>
      <extracomment>kKeptYes</extracomment>
      <translation>yes</translation>
    </message>
    <message>
      <source>não</source>
      <extracomment>kKeptNo</extracomment>
      <translation>no</translation>
    </message>
    <message>
      <source>Aplicar legendas</source>
      <extracomment>kSubtitleTitle</extracomment>
      <translation>Apply subtitles</translation>
    </message>
    <message>
      <source>Legendas (*.ass *.ssa *.srt)|*.ass;*.ssa;*.srt</source>
      <extracomment>kSubtitleFilter</extracomment>
      <translation>Subtitles (*.ass *.ssa *.srt)|*.ass;*.ssa;*.srt</translation>
    </message>
    <message>
      <source>Quadro a quadro</source>
      <extracomment>kFrameByFrame</extracomment>
      <translation>Frame by frame</translation>
    </message>
    <message>
      <source>Salvar som do canal…</source>
      <extracomment>kSaveChannelMenu</extracomment>
      <translation>Save channel sound…</translation>
    </message>
    <message>
      <source>Reproduzir som do canal…</source>
      <extracomment>kPlayChannelMenu</extracomment>
      <translation>Play channel sound…</translation>
    </message>
    <message>
      <source>%d: %d Hz, %d ch, %.1f s</source>
      <extracomment>kChannelItem</extracomment>
      <translation>%d: %d Hz, %d ch, %.1f s</translation>
    </message>
    <message>
      <source>Escolher filme…</source>
      <extracomment>kChooseMovieMenu: The movies of a file that holds several.</extracomment>
      <translation>Choose movie…</translation>
    </message>
    <message>
      <source>Filmes do arquivo</source>
      <extracomment>kMovieChooserTitle</extracomment>
      <translation>Movies of the file</translation>
    </message>
    <message>
      <source>Filme</source>
      <extracomment>kMovieWord</extracomment>
      <translation>Movie</translation>
    </message>
    <message>
      <source>Canal</source>
      <extracomment>kChannelWord</extracomment>
      <translation>Channel</translation>
    </message>
    <message>
      <source>Duração</source>
      <extracomment>kDurationWord</extracomment>
      <translation>Duration</translation>
    </message>
    <message>
      <source>Quadros danificados</source>
      <extracomment>kDamagedFramesWord</extracomment>
      <translation>Damaged frames</translation>
    </message>
    <message>
      <source>nenhum</source>
      <extracomment>kNoDamagedFrames</extracomment>
      <translation>none</translation>
    </message>
    <message>
      <source>danificado (%d/%d)</source>
      <extracomment>kFrameDamagedShort: The viewer's note on a frame that lacks sectors: short at the head of the status line (chunks present of how many), in full as its tooltip.</extracomment>
      <translation>damaged (%d/%d)</translation>
    </message>
    <message>
      <source>このフレームはセクタが欠けています (%d/%d)。欠けた部分は前のフレームで補っています。</source>
      <extracomment>kFrameConcealed</extracomment>
      <translation>This frame lacks sectors (%d/%d); the missing parts are taken from the previous frame.</translation>
    </message>
    <message>
      <source>Quadros : 000000</source>
      <extracomment>kFramesLabel: The desktop application's captions: the main window.</extracomment>
      <translation>Frames : 000000</translation>
    </message>
    <message>
      <source>&amp;Arquivo</source>
      <extracomment>kMenuFile: The menu bar's menus: the letter after &amp; opens one with Alt.</extracomment>
      <translation>&amp;File</translation>
    </message>
    <message>
      <source>Arquivo</source>
      <extracomment>kFileWord</extracomment>
      <translation>File</translation>
    </message>
    <message>
      <source>Criar novo STR</source>
      <extracomment>kMenuNew: also a column of "Arquivos da imagem"</extracomment>
      <translation>Create new STR</translation>
    </message>
    <message>
      <source>Abrir arquivo STR</source>
      <extracomment>kMenuOpen</extracomment>
      <translation>Open STR file</translation>
    </message>
    <message>
      <source>Sair</source>
      <extracomment>kMenuExit</extracomment>
      <translation>Exit</translation>
    </message>
    <message>
      <source>&amp;Converter</source>
      <extracomment>kMenuConv</extracomment>
      <translation>&amp;Convert</translation>
    </message>
    <message>
      <source>Converter STR para AVI</source>
      <extracomment>kMenuAviO</extracomment>
      <translation>Convert STR to AVI</translation>
    </message>
    <message>
      <source>Converter AVI para STR</source>
      <extracomment>kMenuAviI: also its window's title</extracomment>
      <translation>Convert AVI to STR</translation>
    </message>
    <message>
      <source>Salvar em BMP</source>
      <extracomment>kMenuBmpO</extracomment>
      <translation>Save as BMP</translation>
    </message>
    <message>
      <source>Abrir arquivo BMP</source>
      <extracomment>kMenuBmpI</extracomment>
      <translation>Open BMP file</translation>
    </message>
    <message>
      <source>&amp;Visualizar</source>
      <extracomment>kMenuConf</extracomment>
      <translation>&amp;View</translation>
    </message>
    <message>
      <source>Formato de tempo</source>
      <extracomment>kMenuSpeed</extracomment>
      <translation>Time format</translation>
    </message>
    <message>
      <source>Formato 1</source>
      <extracomment>kMenuSpeed1</extracomment>
      <translation>Format 1</translation>
    </message>
    <message>
      <source>Formato 2 (Segundos)</source>
      <extracomment>kMenuSpeed2</extracomment>
      <translation>Format 2 (Seconds)</translation>
    </message>
    <message>
      <source>Tamanho</source>
      <extracomment>kSizeWord</extracomment>
      <translation>Size</translation>
    </message>
    <message>
      <source>Grande</source>
      <extracomment>kMenuWidthN: the view's size; the tail's length</extracomment>
      <translation>Large</translation>
    </message>
    <message>
      <source>Pequeno</source>
      <extracomment>kMenuWidthH</extracomment>
      <translation>Small</translation>
    </message>
    <message>
      <source>Dobro</source>
      <extracomment>kMenuWidthD</extracomment>
      <translation>Double</translation>
    </message>
    <message>
      <source>Seleção</source>
      <extracomment>kMenuSel</extracomment>
      <translation>Selection</translation>
    </message>
    <message>
      <source>Início da Seleção</source>
      <extracomment>kMenuSelStart</extracomment>
      <translation>Selection start</translation>
    </message>
    <message>
      <source>Fim da seleção</source>
      <extracomment>kMenuSelEnd</extracomment>
      <translation>Selection end</translation>
    </message>
    <message>
      <source>Selecionar tudo</source>
      <extracomment>kMenuSelAll</extracomment>
      <translation>Select all</translation>
    </message>
    <message>
      <source>Posição da seleção</source>
      <extracomment>kMenuPos</extracomment>
      <translation>Selection position</translation>
    </message>
    <message>
      <source>Reproduzir</source>
      <extracomment>kMenuPlay</extracomment>
      <translation>Play</translation>
    </message>
    <message>
      <source>Idioma</source>
      <extracomment>kMenuLanguage: The language entry (view menu, also under "Ajuda"): each language by its own name.</extracomment>
      <translation>Language</translation>
    </message>
    <message>
      <source>English</source>
      <extracomment>kLanguageEnglish</extracomment>
      <translation>English</translation>
    </message>
    <message>
      <source>Original (português, 日本語)</source>
      <extracomment>kLanguageOriginal</extracomment>
      <translation>Original (português, 日本語)</translation>
    </message>
    <message>
      <source>Aj&amp;uda</source>
      <extracomment>kMenuHelp</extracomment>
      <translation>&amp;Help</translation>
    </message>
    <message>
      <source>Sobre</source>
      <extracomment>kMenuAbout</extracomment>
      <translation>About</translation>
    </message>
    <message>
      <source>Belmora %s

Visualizador e conversor de filmes STR de CD-ROM XA.

Bibliotecas em uso e suas licenças:
Qt %s: LGPL-3.0 (Qt Charts: GPL-3.0+)
FFmpeg %s: LGPL-2.1+ (GPL-2+ como o Debian o compila)
libass: ISC
libcdio, libiso9660: GPL-3.0+
CLI11: BSD-3-Clause; nlohmann/json: MIT (belmora-cli)</source>
      <extracomment>kAboutText: also the box's title The about box: the version, then Qt's and FFmpeg's versions in use.</extracomment>
      <translation>Belmora %s

Viewer and converter for CD-ROM XA STR movies.

Libraries in use and their licences:
Qt %s: LGPL-3.0 (Qt Charts: GPL-3.0+)
FFmpeg %s: LGPL-2.1+ (GPL-2+ as Debian builds it)
libass: ISC
libcdio, libiso9660: GPL-3.0+
CLI11: BSD-3-Clause; nlohmann/json: MIT (belmora-cli)</translation>
    </message>
    <message>
      <source>Unknown exception</source>
      <extracomment>kUnknownException</extracomment>
      <translation>Unknown exception</translation>
    </message>
    <message>
      <source>STR Files (*.str)|*.str</source>
      <extracomment>kStrFilesFilter: File dialogs' filters: name|patterns, joined by "|".</extracomment>
      <translation>STR Files (*.str)|*.str</translation>
    </message>
    <message>
      <source>AVI Files (*.avi)|*.avi</source>
      <extracomment>kAviFilesFilter</extracomment>
      <translation>AVI Files (*.avi)|*.avi</translation>
    </message>
    <message>
      <source>BMP Files (*.bmp)|*.bmp</source>
      <extracomment>kBmpFilesFilter</extracomment>
      <translation>BMP Files (*.bmp)|*.bmp</translation>
    </message>
    <message>
      <source>All Files (*.*)|*.*</source>
      <extracomment>kAllFilesFilter</extracomment>
      <translation>All Files (*.*)|*.*</translation>
    </message>
    <message>
      <source>AVI Files(*.avi)|*.avi|All Files(*.*)|*.*</source>
      <extracomment>kAviSaveFilter</extracomment>
      <translation>AVI Files(*.avi)|*.avi|All Files(*.*)|*.*</translation>
    </message>
    <message>
      <source>WAV (*.wav)|*.wav</source>
      <extracomment>kWavFilter</extracomment>
      <translation>WAV (*.wav)|*.wav</translation>
    </message>
    <message>
      <source>Salvar como</source>
      <extracomment>kSaveAs</extracomment>
      <translation>Save as</translation>
    </message>
    <message>
      <source>Qualidade máxima</source>
      <extracomment>kBestQuality: The open-BMP dialog's check box and the settings' one.</extracomment>
      <translation>Best quality</translation>
    </message>
    <message>
      <source>Cancelar</source>
      <extracomment>kCancelButton: Buttons of every window.</extracomment>
      <translation>Cancel</translation>
    </message>
    <message>
      <source>Abrir</source>
      <extracomment>kOpenButton</extracomment>
      <translation>Open</translation>
    </message>
    <message>
      <source>Iniciar</source>
      <extracomment>kStartButton</extracomment>
      <translation>Start</translation>
    </message>
    <message>
      <source>はい</source>
      <extracomment>kYesButton: The answers of the message boxes' questions, named by the questions.</extracomment>
      <translation>Yes</translation>
    </message>
    <message>
      <source>いいえ</source>
      <extracomment>kNoButton</extracomment>
      <translation>No</translation>
    </message>
    <message>
      <source>Configurações</source>
      <extracomment>kSettingsTitle: "Configurações".</extracomment>
      <translation>Settings</translation>
    </message>
    <message>
      <source>Pular setor</source>
      <extracomment>kSkipSector</extracomment>
      <translation>Skip sector</translation>
    </message>
    <message>
      <source>Vídeos</source>
      <extracomment>kVideoGroup</extracomment>
      <translation>Video</translation>
    </message>
    <message>
      <source>FPS</source>
      <extracomment>kFpsLabel</extracomment>
      <translation>FPS</translation>
    </message>
    <message>
      <source>W</source>
      <extracomment>kWidthShort</extracomment>
      <translation>W</translation>
    </message>
    <message>
      <source>H</source>
      <extracomment>kHeightShort</extracomment>
      <translation>H</translation>
    </message>
    <message>
      <source>Ver. MDEC</source>
      <extracomment>kMdecVersionLabel</extracomment>
      <translation>MDEC ver.</translation>
    </message>
    <message>
      <source>Som</source>
      <extracomment>kSoundGroup</extracomment>
      <translation>Sound</translation>
    </message>
    <message>
      <source>Canais</source>
      <extracomment>kChannelsLabel</extracomment>
      <translation>Chan.</translation>
    </message>
    <message>
      <source>Quadros</source>
      <extracomment>kFramesGroup</extracomment>
      <translation>Frames</translation>
    </message>
    <message>
      <source>Org. Quadro</source>
      <extracomment>kFrameOrg</extracomment>
      <translation>Renumber</translation>
    </message>
    <message>
      <source>Começo</source>
      <extracomment>kNumberStart</extracomment>
      <translation>Start</translation>
    </message>
    <message>
      <source>Mínimo</source>
      <extracomment>kNumberMin</extracomment>
      <translation>Minimum</translation>
    </message>
    <message>
      <source>Máximo</source>
      <extracomment>kNumberMax</extracomment>
      <translation>Maximum</translation>
    </message>
    <message>
      <source>Nº Quadro</source>
      <extracomment>kNumberFrame</extracomment>
      <translation>Frame No.</translation>
    </message>
    <message>
      <source> · </source>
      <extracomment>kSummarySeparator: The summary's parts are joined by this.</extracomment>
      <translation> · </translation>
    </message>
    <message>
      <source>Novo STR</source>
      <extracomment>kNewStrTitle: "Novo STR".</extracomment>
      <translation>New STR</translation>
    </message>
    <message>
      <source>Velocidade</source>
      <extracomment>kSpeedLabel</extracomment>
      <translation>Speed</translation>
    </message>
    <message>
      <source>Tipo-Setor</source>
      <extracomment>kSectorTypeLabel</extracomment>
      <translation>Sector</translation>
    </message>
    <message>
      <source>Início</source>
      <extracomment>kStartLabel</extracomment>
      <translation>Start</translation>
    </message>
    <message>
      <source>Cabeçalho (HEADER)</source>
      <extracomment>kHeaderLabel</extracomment>
      <translation>Chunk header</translation>
    </message>
    <message>
      <source>FrameRate</source>
      <extracomment>kFrameRateLabel: "Converter STR para AVI".</extracomment>
      <translation>Frame rate</translation>
    </message>
    <message>
      <source>Compressão</source>
      <extracomment>kCompressionLabel</extracomment>
      <translation>Compressor</translation>
    </message>
    <message>
      <source>Largura</source>
      <extracomment>kWidthLabel</extracomment>
      <translation>Width</translation>
    </message>
    <message>
      <source>Altura</source>
      <extracomment>kHeightLabel</extracomment>
      <translation>Height</translation>
    </message>
    <message>
      <source>Áudio</source>
      <extracomment>kAudioGroup</extracomment>
      <translation>Audio</translation>
    </message>
    <message>
      <source>Formato</source>
      <extracomment>kFormatLabel</extracomment>
      <translation>Format</translation>
    </message>
    <message>
      <source>Selecionar</source>
      <extracomment>kSelectTitle: The image-position dialog and the progress dialog.</extracomment>
      <translation>Select</translation>
    </message>
    <message>
      <source>De</source>
      <extracomment>kFromLabel</extracomment>
      <translation>From</translation>
    </message>
    <message>
      <source>Até</source>
      <extracomment>kToLabel</extracomment>
      <translation>To</translation>
    </message>
    <message>
      <source>Convertendo arquivo</source>
      <extracomment>kConvertingTitle</extracomment>
      <translation>Converting file</translation>
    </message>
    <message>
      <source>Arquivos da imagem</source>
      <extracomment>kImageFilesTitle: "Arquivos da imagem": the files of a disc image.</extracomment>
      <translation>Files of the image</translation>
    </message>
    <message>
      <source>Setores</source>
      <extracomment>kSectorsWord</extracomment>
      <translation>Sectors</translation>
    </message>
    <message>
      <source>Conteúdo</source>
      <extracomment>kContentWord</extracomment>
      <translation>Contents</translation>
    </message>
    <message>
      <source>18,9</source>
      <extracomment>kRateHalf</extracomment>
      <translation>18.9</translation>
    </message>
    <message>
      <source>37,8</source>
      <extracomment>kRateFull</extracomment>
      <translation>37.8</translation>
    </message>
    <message>
      <source>estéreo</source>
      <extracomment>kStereoWord</extracomment>
      <translation>stereo</translation>
    </message>
    <message>
      <source>mono</source>
      <extracomment>kMonoWord</extracomment>
      <translation>mono</translation>
    </message>
    <message>
      <source>%s が読み取れません (%s)</source>
      <extracomment>kCannotRead: Inputs that are not ordinary files or larger than their kind needs, outputs that are not ordinary files, running out of memory, the journal bound to its file, and frames out of sequence. A file that could not be opened or read: the file and the reason.</extracomment>
      <translation>Cannot read %s (%s)</translation>
    </message>
    <message>
      <source>通常のファイルではありません。FIFO、デバイス、ソケットは読み書きしません</source>
      <extracomment>kNotRegularFile</extracomment>
      <translation>not a regular file; FIFOs, devices and sockets are neither read nor written</translation>
    </message>
    <message>
      <source>%lld バイトあり、この種類のファイルの上限 %lld バイトを超えています</source>
      <extracomment>kInputTooLarge: The reason of an input over its kind's limit: its size and the limit, in bytes.</extracomment>
      <translation>%lld bytes, over the limit of %lld bytes for a file of its kind</translation>
    </message>
    <message>
      <source>ファイルが途中で終わっています</source>
      <extracomment>kFileEndsEarly</extracomment>
      <translation>the file ends early</translation>
    </message>
    <message>
      <source>RIFF WAVE 形式ではありません</source>
      <extracomment>kNotWav</extracomment>
      <translation>not a RIFF WAVE file</translation>
    </message>
    <message>
      <source>1 または 2 チャンネル、8 または 16 ビットの PCM ではありません</source>
      <extracomment>kWavNotPcm</extracomment>
      <translation>not PCM of 1 or 2 channels and 8 or 16 bits</translation>
    </message>
    <message>
      <source>メモリが足りません</source>
      <extracomment>kOutOfMemoryReason</extracomment>
      <translation>out of memory</translation>
    </message>
    <message>
      <source>メモリが足りないため中止しました。</source>
      <extracomment>kOutOfMemory: Memory ran out: the command stops, anything it began is undone.</extracomment>
      <translation>Stopped: out of memory.</translation>
    </message>
    <message>
      <source>出力先が通常のファイルではありません: %s (--force でも置き換えません)</source>
      <extracomment>kOutputNotRegular</extracomment>
      <translation>The output is not a regular file: %s (not replaced, even with --force)</translation>
    </message>
    <message>
      <source>編集記録 %s が通常のファイルではありません (シンボリックリンク、FIFO、デバイスなど)。%s には何も書き込んでいません。それを取り除いてから、もう一度実行してください。</source>
      <extracomment>kJournalNotRegular: The journal's own path holds something else: the journal, then the file.</extracomment>
      <translation>The journal %s is not a regular file (a symbolic link, a FIFO, a device, ...). Nothing was written to %s. Remove it, then run again.</translation>
    </message>
    <message>
      <source>%s は編集記録 %s の編集前の内容とも編集後の内容とも一致しません (別のファイルに置き換えられたようです)。ファイルには何も書き込んでいません。編集記録を捨てるには belmora-cli recover --discard %s を実行してください。</source>
      <extracomment>kJournalMismatch: The file matches neither what the edit found nor what it wrote: the file, the journal, then the file again for the command that discards the journal.</extracomment>
      <translation>%s matches neither what its journal %s found before the edit nor what the edit wrote (another file seems to have replaced it). Nothing was written to the file. To discard the journal, run belmora-cli recover --discard %s.</translation>
    </message>
    <message>
      <source>編集記録を捨てて %s をこのまま使うには belmora-cli recover --discard %s を実行してください。</source>
      <extracomment>kJournalDiscardHint</extracomment>
      <translation>To discard the journal and keep %s as it is, run belmora-cli recover --discard %s.</translation>
    </message>
    <message>
      <source>編集記録を捨てました: %s (%s は変更していません)</source>
      <extracomment>kJournalDiscarded</extracomment>
      <translation>Discarded the journal %s (%s was not changed).</translation>
    </message>
    <message>
      <source>%s: この動画のフレームはどの形式でも復号できません。</source>
      <extracomment>kFramesDoNotDecode: A movie none of whose frames decode in any layout its sectors allow: said by info and the viewer, and the reason an export refuses it.</extracomment>
      <translation>%s: none of this movie's frames decode in any known layout.</translation>
    </message>
    <message>
      <source>%s: %d Hz, %d ch, %.1f s</source>
      <extracomment>kLayoutSoundItem: The desktop program: a movie's own sound in the sound commands (the layout's name, then as a channel).</extracomment>
      <translation>%s: %d Hz, %d ch, %.1f s</translation>
    </message>
    <message>
      <source>Roda: zoom · arrastar: ampliar o trecho · Shift+arrastar ou botão do meio: deslocar · ←/→: deslocar · +/−: zoom · 0: tudo · clique: ir ao quadro · clique duplo: agora e depois</source>
      <extracomment>kFitPlotHint: The fit report's plot: how to move about in it.</extracomment>
      <translation>Wheel: zoom · drag: zoom into the stretch · Shift+drag or middle button: pan · ←/→: pan · +/−: zoom · 0: all · click: go to the frame · double-click: now and after</translation>
    </message>
    <message>
      <source>Arquivos STR e XA, imagens de disco (*.str *.xa *.iki *.bin *.cue *.iso)|*.str;*.xa;*.iki;*.bin;*.cue;*.iso</source>
      <extracomment>kOpenableFilesFilter: The open dialog's first filter: every kind of file the program opens.</extracomment>
      <translation>STR and XA files, disc images (*.str *.xa *.iki *.bin *.cue *.iso)|*.str;*.xa;*.iki;*.bin;*.cue;*.iso</translation>
    </message>
    <message>
      <source>%s: ファイルが大きすぎます (%lld MB、上限 %lld MB)。</source>
      <extracomment>kThumbnailFileTooLarge: The thumbnailer's refusals.</extracomment>
      <translation>%s: the file is too large (%lld MB, at most %lld MB).</translation>
    </message>
    <message>
      <source>時間内にサムネイルを作成できませんでした。</source>
      <extracomment>kThumbnailOutOfTime</extracomment>
      <translation>The thumbnail could not be made in time.</translation>
    </message>
  </context>
</TS>
