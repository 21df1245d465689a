// The main window's menu bar: "Arquivo", "Converter", "Visualizar" and
// "Ajuda", their entries under the names the window has always given them,
// the keys shown beside them, their check marks and enabled states.
#pragma once

class QAction;
class QMenu;
class QMenuBar;

namespace belmora::app {

class TForm1;

struct MainMenu {
  QMenuBar* MainMenu1 = nullptr;
  QMenu* MenuFile = nullptr;
  QAction* MenuNew = nullptr;
  QAction* MenuOpen = nullptr;
  QAction* MenuMovie = nullptr;  // another movie of the open file
  QMenu* MenuRecent = nullptr;   // the files opened last
  QAction* MenuExit = nullptr;
  QMenu* MenuConv = nullptr;
  QAction* MenuAviO = nullptr;
  QAction* MenuAviI = nullptr;
  QAction* MenuBmpO = nullptr;
  QAction* MenuBmpI = nullptr;
  QAction* MenuSubs = nullptr;
  QAction* MenuSaveChannel = nullptr;
  QAction* MenuPlayChannel = nullptr;
  QMenu* MenuConf = nullptr;
  QMenu* MenuSpeed = nullptr;
  QAction* MenuSpeed1 = nullptr;
  QAction* MenuSpeed2 = nullptr;
  QMenu* MenuWidth = nullptr;
  QAction* MenuWidthN = nullptr;
  QAction* MenuWidthH = nullptr;
  QAction* MenuWidthD = nullptr;
  QMenu* MenuSel = nullptr;
  QAction* MenuSelStart = nullptr;
  QAction* MenuSelEnd = nullptr;
  QAction* MenuSelAll = nullptr;
  QAction* MenuPos = nullptr;
  QAction* MenuPlay = nullptr;
  // "Idioma", in the view menu and, reachable without a document, in "Ajuda".
  QMenu* MenuLang = nullptr;
  QAction* MenuLangEn = nullptr;
  QAction* MenuLangOrig = nullptr;
  QMenu* MenuHelp = nullptr;
  QAction* MenuAbout = nullptr;
  QAction* MenuHelpKeys = nullptr;

  // "Converter" and "Visualizar" work with a document (or, for
  // "Converter", a file of sound only).
  void EnableDocumentMenus(bool conv, bool view);
  // The commands that need a movie (off for a file of sound only).
  void EnableMovieEntries(bool on);
  // The check marks of the time format, the picture size and the language.
  void CheckView(int speedFactor, bool halfWidth, int viewScale);
  void CheckLanguage(bool english);
  // The entries of "Arquivos recentes", from the settings; each opens its
  // file in `form`.
  void FillRecent(TForm1& form);
};

// Builds the menu bar of `form` into its MainMenu, each entry calling the
// form's handler of the same name (MenuOpen: MenuOpenClick).
void BuildMainMenu(TForm1& form);

}  // namespace belmora::app
