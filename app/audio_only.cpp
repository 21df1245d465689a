#include "app/audio_only.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

#include "app/app_language.h"
#include "app/main_window.h"
#include "base/messages.h"
#include "convert/xa_channels.h"

namespace belmora::app {

bool IsAudioOnlyFile(const std::string& path) {
  CollectingHost quiet;
  StrDocument doc(quiet);
  if (OpenSectorFile(doc, path, true) != 0) return false;
  const XaFileInfo info = ScanXaChannels(doc);
  return info.VideoSectors == 0 && !info.Channels.empty();
}

bool OpenAudioOnly(TForm1& form, const std::string& path) {
  if (!IsAudioOnlyFile(path)) return false;
  form.AudioOnlyPath = path;
  SetCaption(form.Label1, msg::kNoPicture.Text);
  form.Label1->adjustSize();
  // Only the channels' own commands: the rest need a movie.
  form.MenuConv->menuAction()->setEnabled(true);
  form.EnableMovieCommands(false);
  return true;
}

}  // namespace belmora::app
