#include "app/main_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "app/app_language.h"
#include "app/main_window.h"
#include "app/settings.h"

namespace belmora::app {
namespace {

using Click = void (TForm1::*)();

// Makes the menus and entries of one window, each with its caption (kept
// across changes of language) and object name.
class MenuBuilder {
 public:
  explicit MenuBuilder(TForm1& form) : form_(form), m_(form) {}
  void Build();

 private:
  QMenu* Menu(QMenu* parent, const char* caption, const char* name);
  QAction* Item(QMenu* m, const char* caption, const char* name, Click click);
  void BuildFileMenu();
  void BuildConvMenu();
  void BuildViewMenu();
  void BuildHelpMenu();
  void AssignKeys();
  void GroupChecks();

  TForm1& form_;
  MainMenu& m_;
};

QMenu* MenuBuilder::Menu(QMenu* parent, const char* caption, const char* name) {
  QMenu* m = parent ? parent->addMenu(QString()) : m_.MainMenu1->addMenu(QString());
  SetCaption(m, caption);
  m->setObjectName(name);
  m->menuAction()->setObjectName(QString(name) + "Item");
  return m;
}

QAction* MenuBuilder::Item(QMenu* m, const char* caption, const char* name, Click click) {
  QAction* a = m->addAction(QString());
  SetCaption(a, caption);
  a->setObjectName(name);
  QObject::connect(a, &QAction::triggered, &form_, click);
  return a;
}

void MenuBuilder::Build() {
  m_.MainMenu1 = form_.menuBar();
  m_.MainMenu1->setObjectName("MainMenu1");
  // The menu bar's menus open with Alt and their underlined letter.
  BuildFileMenu();
  BuildConvMenu();
  BuildViewMenu();
  BuildHelpMenu();
  AssignKeys();
  GroupChecks();
  m_.FillRecent(form_);
  m_.EnableDocumentMenus(false, false);
}

void MenuBuilder::BuildFileMenu() {
  m_.MenuFile = Menu(nullptr, msg::kMenuFile, "MenuFile");
  m_.MenuNew = Item(m_.MenuFile, msg::kMenuNew, "MenuNew", &TForm1::MenuNewClick);
  m_.MenuOpen = Item(m_.MenuFile, msg::kMenuOpen, "MenuOpen", &TForm1::MenuOpenClick);
  m_.MenuMovie =
      Item(m_.MenuFile, msg::kChooseMovieMenu, "MenuMovie", &TForm1::MenuMovieClick);
  m_.MenuMovie->setEnabled(false);
  m_.MenuRecent = Menu(m_.MenuFile, msg::kRecentFilesMenu, "MenuRecent");
  QObject::connect(m_.MenuRecent, &QMenu::aboutToShow, &form_, &TForm1::UpdateRecentMenu);
  m_.MenuExit = Item(m_.MenuFile, msg::kMenuExit, "MenuExit", &TForm1::MenuExitClick);
}

void MenuBuilder::BuildConvMenu() {
  QMenu* conv = m_.MenuConv = Menu(nullptr, msg::kMenuConv, "MenuConv");
  m_.MenuAviO = Item(conv, msg::kMenuAviO, "MenuAviO", &TForm1::MenuAviOClick);
  m_.MenuAviI = Item(conv, msg::kMenuAviI, "MenuAviI", &TForm1::MenuAviIClick);
  m_.MenuBmpO = Item(conv, msg::kMenuBmpO, "MenuBmpO", &TForm1::MenuBmpOClick);
  m_.MenuBmpI = Item(conv, msg::kMenuBmpI, "MenuBmpI", &TForm1::MenuBmpIClick);
  m_.MenuSubs = Item(conv, msg::kApplySubtitlesMenu, "MenuSubs", &TForm1::MenuSubsClick);
  m_.MenuSaveChannel =
      Item(conv, msg::kSaveChannelMenu, "MenuSaveChannel", &TForm1::MenuSaveChannelClick);
  m_.MenuPlayChannel =
      Item(conv, msg::kPlayChannelMenu, "MenuPlayChannel", &TForm1::MenuPlayChannelClick);
}

void MenuBuilder::BuildViewMenu() {
  QMenu* conf = m_.MenuConf = Menu(nullptr, msg::kMenuConf, "MenuConf");
  m_.MenuSpeed = Menu(conf, msg::kMenuSpeed, "MenuSpeed");
  m_.MenuSpeed1 = Item(m_.MenuSpeed, msg::kMenuSpeed1, "MenuSpeed1", &TForm1::MenuSpeed1Click);
  m_.MenuSpeed2 = Item(m_.MenuSpeed, msg::kMenuSpeed2, "MenuSpeed2", &TForm1::MenuSpeed2Click);
  m_.MenuWidth = Menu(conf, msg::kSizeWord, "MenuWidth");
  m_.MenuWidthN = Item(m_.MenuWidth, msg::kMenuWidthN, "MenuWidthN", &TForm1::MenuWidthNClick);
  m_.MenuWidthH = Item(m_.MenuWidth, msg::kMenuWidthH, "MenuWidthH", &TForm1::MenuWidthHClick);
  m_.MenuWidthD = Item(m_.MenuWidth, msg::kMenuWidthD, "MenuWidthD", &TForm1::MenuWidthDClick);
  m_.MenuSel = Menu(conf, msg::kMenuSel, "MenuSel");
  m_.MenuSelStart =
      Item(m_.MenuSel, msg::kMenuSelStart, "MenuSelStart", &TForm1::MenuSelStartClick);
  m_.MenuSelEnd = Item(m_.MenuSel, msg::kMenuSelEnd, "MenuSelEnd", &TForm1::MenuSelEndClick);
  m_.MenuSelAll = Item(m_.MenuSel, msg::kMenuSelAll, "MenuSelAll", &TForm1::MenuSelAllClick);
  m_.MenuPos = Item(conf, msg::kMenuPos, "MenuPos", &TForm1::MenuPosClick);
  conf->addSeparator();
  m_.MenuPlay = Item(conf, msg::kMenuPlay, "MenuPlay", &TForm1::MenuPlayClick);
  conf->addSeparator();
  m_.MenuLang = Menu(conf, msg::kMenuLanguage, "MenuLang");
  m_.MenuLangEn =
      Item(m_.MenuLang, msg::kLanguageEnglish, "MenuLangEn", &TForm1::MenuLangEnClick);
  m_.MenuLangOrig =
      Item(m_.MenuLang, msg::kLanguageOriginal, "MenuLangOrig", &TForm1::MenuLangOrigClick);
}

void MenuBuilder::BuildHelpMenu() {
  m_.MenuHelp = Menu(nullptr, msg::kMenuHelp, "MenuHelp");
  m_.MenuHelpKeys =
      Item(m_.MenuHelp, msg::kHelpKeysItem, "MenuHelpKeys", &TForm1::MenuHelpClick);
  m_.MenuAbout = Item(m_.MenuHelp, msg::kMenuAbout, "MenuAbout", &TForm1::MenuAboutClick);
  m_.MenuHelp->addMenu(m_.MenuLang);
}

void MenuBuilder::AssignKeys() {
  // The usual keys of a desktop program, shown beside their entries.
  for (auto [action, key] : {std::pair{m_.MenuOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
                             std::pair{m_.MenuBmpO, QKeySequence(Qt::CTRL | Qt::Key_S)},
                             std::pair{m_.MenuAviO, QKeySequence(Qt::CTRL | Qt::Key_E)},
                             std::pair{m_.MenuExit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
                             std::pair{m_.MenuHelpKeys, QKeySequence(Qt::Key_F1)}}) {
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    form_.addAction(action);  // active while the menu's own entry is disabled too
  }
  // The keys that also do these show beside them; the window handles them.
  for (auto [action, key] : {std::pair{m_.MenuSelStart, Qt::Key_I},
                             std::pair{m_.MenuSelEnd, Qt::Key_O},
                             std::pair{m_.MenuPlay, Qt::Key_Space}}) {
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetShortcut);
  }
}

void MenuBuilder::GroupChecks() {
  // One check mark in each group.
  const std::initializer_list<QAction*> groups[] = {
      {m_.MenuSpeed1, m_.MenuSpeed2},
      {m_.MenuWidthN, m_.MenuWidthH, m_.MenuWidthD},
      {m_.MenuLangEn, m_.MenuLangOrig}};
  for (const auto& group : groups) {
    auto* g = new QActionGroup(&form_);
    for (QAction* a : group) {
      a->setCheckable(true);
      g->addAction(a);
    }
  }
  m_.MenuSpeed1->setChecked(true);
  m_.MenuWidthN->setChecked(true);
  m_.CheckLanguage(CurrentLanguage() == Language::kEnglish);
}

}  // namespace

void MainMenu::EnableDocumentMenus(bool conv, bool view) {
  MenuConv->menuAction()->setEnabled(conv);
  MenuConf->menuAction()->setEnabled(view);
}

void MainMenu::EnableMovieEntries(bool on) {
  for (QAction* a : {MenuAviO, MenuAviI, MenuBmpO, MenuBmpI, MenuSubs}) a->setEnabled(on);
}

void MainMenu::CheckView(int speedFactor, bool halfWidth, int viewScale) {
  MenuSpeed1->setChecked(speedFactor == 1);
  MenuSpeed2->setChecked(speedFactor != 1);
  MenuWidthN->setChecked(!halfWidth && viewScale == 1);
  MenuWidthH->setChecked(halfWidth);
  MenuWidthD->setChecked(!halfWidth && viewScale == 2);
}

void MainMenu::CheckLanguage(bool english) {
  MenuLangEn->setChecked(english);
  MenuLangOrig->setChecked(!english);
}

void MainMenu::FillRecent(TForm1& form) {
  MenuRecent->clear();
  const QStringList files = RecentFiles();
  for (int i = 0; i < files.size(); i++) {
    const QString file = files[i];
    // "&1 name", "&2 name", ... "1&0 name": a digit picks it.
    const QString number = i < 9 ? QString("&%1").arg(i + 1) : QString("1&0");
    QAction* a = MenuRecent->addAction(QString("%1 %2").arg(number, QFileInfo(file).fileName()));
    a->setToolTip(file);
    a->setData(file);
    QObject::connect(a, &QAction::triggered, &form, [&form, file] {
      if (form.Converting || !form.isEnabled()) return;
      form.OpenDocument(file);
    });
  }
  MenuRecent->menuAction()->setEnabled(!files.isEmpty());
}

void BuildMainMenu(TForm1& form) {
  MenuBuilder(form).Build();
}

}  // namespace belmora::app
