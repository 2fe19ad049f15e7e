#include "app/sdi_app_form.h"

#include <algorithm>
#include <vector>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSizeGrip>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/app_message_hook.h"
#include "app/command_menu.h"
#include "app/help_topics.h"
#include "app/scan_command.h"
#include "app/window_state.h"
#include "core/data_core.h"
#include "ui/list_compare.h"
#include "ui/report_list.h"
#include "ui/ui_helpers.h"

#ifndef LUCKYSCOPE_WEB_PAGE
#define LUCKYSCOPE_WEB_PAGE "https://luckyscope.example.org/"
#endif

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitIconsResource() { Q_INIT_RESOURCE(icons); }

namespace luckyscope {
namespace {

// The pictures of ImageList1, by index.
const char* const kImageFiles[] = {
    ":/icons/00-new.svg",          ":/icons/01-open.svg",     ":/icons/02-save.svg",   ":/icons/03-edit-targets.svg",
    ":/icons/04-edit-winning.svg", ":/icons/05-settings.svg", ":/icons/06-search.svg", ":/icons/07-easy-check.svg",
    ":/icons/08-count-check.svg",  ":/icons/09-help.svg",     ":/icons/10-about.svg",
};

// The main window's size. Qt sizes the window without its frame, which the window
// manager adds; the minimum and the first size are taken as the window's own size.
constexpr int kMinimumWidth = 586;
constexpr int kMinimumHeight = 204;
constexpr int kInitialWidth = 592;
constexpr int kInitialHeight = 358;
constexpr int kLeftColumnWidth = 153;

// Ctrl+A, Ctrl+C and Ctrl+X are commands of this window; no control of it may take
// them as its own select-all, copy or cut.
bool IsCommandKey(const QKeyEvent* key) {
  if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != Qt::ControlModifier) {
    return false;
  }
  return key->key() == Qt::Key_A || key->key() == Qt::Key_C || key->key() == Qt::Key_X;
}

}  // namespace

void InitMainWindowResources() {
  static const bool done = [] {
    InitIconsResource();
    return true;
  }();
  (void)done;
}

TSDIAppForm::TSDIAppForm(DataCore& core, UiServices& ui, QWidget* parent)
    : QMainWindow(parent),
      core_(core),
      ui_(ui),
      flows_(core, ui,
             {[this] { ShowTargetsAgain(); }, [this] { FillWinningList(0); }, [this] { UpdateFileState(); },
              [this](const std::string& path) { ImportFile(path); }}) {
  InitMainWindowResources();
  BuildControls();

  // Construction steps, in order, once the controls exist. The first two come
  // before the others:
  // a. The two lists take files dropped from a file manager.
  AcceptDroppedFiles(listView1_);
  AcceptDroppedFiles(listView2_);
  // b. The application-wide hook, bound to this window: F1 opens the help from every
  //    window of the program, and it loads the files dropped on the two lists.
  hook_ = std::make_unique<AppMessageHook>(*this, listView1_, listView2_, core_);
  connect(hook_.get(), &AppMessageHook::HelpWanted, this, &TSDIAppForm::HelpItemClick);
  connect(hook_.get(), &AppMessageHook::FileDropped, this,
          [this](AppMessageHook::DropTarget list, const std::string& path) {
            LoadDroppedFile(list == AppMessageHook::DropTarget::WinningList, path);
          });
  QCoreApplication::instance()->installEventFilter(hook_.get());
  connect(hook_.get(), &AppMessageHook::ImagesDropped, this,
          [this](const QStringList& paths) { scan_->ReadFiles(paths); });
  // 1. The menu shows the tool bar's pictures: both take them from the same actions.
  // 2. The filter box holds "全表示" alone, selected.
  comboBox1_->clear();
  comboBox1_->addItem(QStringLiteral("全表示"));
  comboBox1_->setCurrentIndex(0);
  // 3. Nothing is playing.
  soundCue_ = SoundCueState{};
  // The data core is not touched here: main() starts it once every window exists.
}

TSDIAppForm::~TSDIAppForm() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(hook_.get());
}

// ---------------------------------------------------------------------------
// Controls

void TSDIAppForm::BuildControls() {
  setObjectName(QStringLiteral("SDIAppForm"));
  setWindowTitle(QStringLiteral("ラッキースコープ！"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/luckyscope.svg")));
  setFont(UiFont(12));
  // Menus and other popups are windows of their own; they take the window's font too.
  setAttribute(Qt::WA_WindowPropagation, true);
  // The right-click menu of the tool bar (hide/show bars) is not one of our commands.
  setContextMenuPolicy(Qt::NoContextMenu);

  for (const char* file : kImageFiles) imageList1_.append(QIcon(QString::fromLatin1(file)));

  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildLists();

  auto* status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("StatusBar"));
  setStatusBar(status);
  if (auto* grip = status->findChild<QSizeGrip*>()) grip->setAccessibleName(QStringLiteral("ウィンドウの大きさ"));

  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(kInitialWidth, kInitialHeight);

  BuildComfortCommands();
  layoutRestored_ = RestoreWindowLayout({this, body_, {listView1_, listView2_}});
  UpdateFileState();
}

void TSDIAppForm::BuildComfortCommands() {
  recent_ = RecentFiles::Load();
  auto* file = findChild<QMenu*>(QStringLiteral("File1"));
  recentMenu_ = new QMenu(QStringLiteral("最近使ったファイル(&R)"), file);
  recentMenu_->setObjectName(QStringLiteral("RecentFilesItem"));
  SetHint(recentMenu_->menuAction(), QStringLiteral("最近使ったファイル|最近開いたり保存したりしたファイルを開きます"));
  // Before the separator above "終了".
  file->insertMenu(findChild<QAction*>(QStringLiteral("N1")), recentMenu_);
  // Filled afresh each time it opens, so that a file removed since shows disabled, and
  // whenever the list changes, so that an empty list's disabled item comes alive.
  connect(recentMenu_, &QMenu::aboutToShow, this, &TSDIAppForm::FillRecentMenu);
  FillRecentMenu();

  auto* edit = findChild<QMenu*>(QStringLiteral("Edit1"));
  QAction* undo = actions_.editUndoItem =
      MakeAction("EditUndoItem", QStringLiteral("元に戻す(&U)"),
                 QStringLiteral("元に戻す|最後に削除した検索対象データを元に戻します"), -1,
                 QKeySequence(Qt::CTRL | Qt::Key_Z), &TSDIAppForm::EditUndoItemClick);
  QAction* first = edit->actions().value(0);
  edit->insertAction(first, undo);
  edit->insertSeparator(first);
}

void TSDIAppForm::FillRecentMenu() {
  if (recentMenu_ == nullptr) return;
  recent_.FillMenu(*recentMenu_,
                   [this](const QString& path) { OpenChosenFile(QFile::encodeName(path).toStdString()); });
}

void TSDIAppForm::UpdateFileState() {
  bool recentChanged = false;
  for (const std::string& used : core_.TakeUsedFiles()) recentChanged |= recent_.Add(QFile::decodeName(used.c_str()));
  if (recentChanged) {
    recent_.Save();
    FillRecentMenu();
  }

  // The caption alone while no file is open; then the two files, each with its own
  // unsaved mark.
  const LotteryStore& store = core_.Store();
  auto shown = [](const char* path, int changed) {
    return (path[0] == '\0' ? QStringLiteral("(無題)") : QFileInfo(QFile::decodeName(path)).fileName()) +
           (changed != 0 ? QStringLiteral("[*]") : QString());
  };
  if (store.TargetFile()[0] == '\0' && store.WinningFile()[0] == '\0') {
    setWindowTitle(QStringLiteral("ラッキースコープ！"));
    setWindowModified(false);
  } else {
    setWindowTitle(QStringLiteral("ラッキースコープ！ - %1 / %2")
                       .arg(shown(store.TargetFile(), store.TargetsChanged()),
                            shown(store.WinningFile(), store.WinningChanged())));
    setWindowModified(store.TargetsChanged() != 0 || store.WinningChanged() != 0);
  }
  if (actions_.editUndoItem != nullptr) actions_.editUndoItem->setEnabled(core_.CanUndoRemoval());
}

void TSDIAppForm::SaveLayout() { SaveWindowLayout({this, body_, {listView1_, listView2_}}); }

QAction* TSDIAppForm::MakeAction(const char* name, const QString& caption, const QString& hint, int image,
                                 const QKeySequence& shortcut, void (TSDIAppForm::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  SetHint(action, hint);
  if (image >= 0) action->setIcon(imageList1_.at(image));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  // Every action is the window's own, so that its shortcut works whatever has the
  // focus and whether or not a bar shows it.
  addAction(action);
  if (handler != nullptr) connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  return action;
}

void TSDIAppForm::BuildActions() {
  using F = TSDIAppForm;
  const QKeySequence none;
  actions_.fileNew1 =
      MakeAction("FileNew1", QStringLiteral("新規作成(&N)"), QStringLiteral("新規|データをクリアします"), 0,
                 QKeySequence(Qt::CTRL | Qt::Key_N), &F::FileNew1Execute);
  actions_.fileOpen1 = MakeAction("FileOpen1", QStringLiteral("開く(&O)..."), QStringLiteral("開く|ファイルを開きます"),
                                  1, QKeySequence(Qt::CTRL | Qt::Key_O), &F::FileOpen1Execute);
  actions_.fileSave1 =
      MakeAction("FileSave1", QStringLiteral("上書き保存(&S)"), QStringLiteral("保存|現在のファイルを保存します"), 2,
                 QKeySequence(Qt::CTRL | Qt::Key_S), &F::FileSave1Execute);
  actions_.fileExit1 = MakeAction("FileExit1", QStringLiteral("終了(&X)"),
                                  QStringLiteral("終了|ヒットメモを終了します"), -1, none, &F::FileExit1Execute);
  actions_.helpAbout1 =
      MakeAction("HelpAbout1", QStringLiteral("バージョン情報(&A)..."),
                 QStringLiteral("バージョン情報|バージョン情報を表示します"), 10, none, &F::HelpAbout1Execute);
  actions_.editSch1 =
      MakeAction("EditSch1", QStringLiteral("検索対象(&D)"), QStringLiteral("検索対象編集|検索対象データを編集します"),
                 3, QKeySequence(Qt::CTRL | Qt::Key_D), &F::EditSchItemClick);
  actions_.editAtr1 =
      MakeAction("EditAtr1", QStringLiteral("当選番号(&N)"), QStringLiteral("当選番号編集|当選番号データを編集します"),
                 4, QKeySequence(Qt::CTRL | Qt::Key_A), &F::EditAtrItemClick);
  actions_.editSys1 =
      MakeAction("EditSys1", QStringLiteral("システム(&S)"), QStringLiteral("システム|システムデータを編集します"), 5,
                 QKeySequence(Qt::CTRL | Qt::Key_Y), &F::EditSysItemClick);
  actions_.execSch1 =
      MakeAction("ExecSch1", QStringLiteral("当選番号検索(&S)"), QStringLiteral("当選番号検索|当選番号を検索します"), 6,
                 QKeySequence(Qt::CTRL | Qt::Key_X), &F::ExecSchItemClick);
  actions_.execEsy1 = MakeAction("ExecEsy1", QStringLiteral("簡易チェック(&E)"),
                                 QStringLiteral("簡易チェック|番号の簡易チェックを行います"), 7,
                                 QKeySequence(Qt::CTRL | Qt::Key_E), &F::ExecEsyItemClick);
  actions_.execCam1 = MakeAction("ExecCam1", QStringLiteral("カメラでチェック(&M)..."),
                                 QStringLiteral("カメラでチェック|はがきをカメラに向けて当たりを確かめます"), -1, none,
                                 &F::ExecCamItemClick);
  actions_.execChk1 = MakeAction("ExecChk1", QStringLiteral("本数確認(&C)"),
                                 QStringLiteral("本数確認|下１桁・下２桁の本数を確認します"), 8,
                                 QKeySequence(Qt::CTRL | Qt::Key_C), &F::ExecChkItemClick);
  actions_.fileImport1 =
      MakeAction("FileImport1", QStringLiteral("インポート(&I)..."),
                 QStringLiteral("インポート|表計算ソフトのCSV・タブ区切りファイルから検索対象を取り込みます"), -1, none,
                 &F::FileImport1Execute);
  actions_.fileExport1 = MakeAction("FileExport1", QStringLiteral("エクスポート(&E)..."),
                                    QStringLiteral("エクスポート|表示中の検索対象をCSVファイルかExcelブック（.xlsx）に書き出します"), -1,
                                    none, &F::FileExport1Execute);
  actions_.filePrint1 =
      MakeAction("FilePrint1", QStringLiteral("印刷(&P)..."), QStringLiteral("印刷|表示中の検索対象を印刷します"), -1,
                 QKeySequence(Qt::CTRL | Qt::Key_P), &F::FilePrint1Execute);
  actions_.filePdf1 = MakeAction("FilePdf1", QStringLiteral("PDFに出力..."),
                                 QStringLiteral("PDFに出力|表示中の検索対象をPDFファイルに書き出します"), -1, none,
                                 &F::FilePdf1Execute);
  actions_.helpItem = MakeAction("HelpItem", QStringLiteral("ラッキースコープ！ヘルプ(&H)"),
                                 QStringLiteral("ラッキースコープ！ヘルプ|ラッキースコープ！ヘルプを表示します"), 9,
                                 none, &F::HelpItemClick);
  actions_.helpWebItem =
      MakeAction("HelpWebItem", QStringLiteral("ラッキースコープ！最新情報(&I)"),
                 QStringLiteral("ラッキースコープ！最新情報|ラッキースコープ！最新情報のページにアクセスします"), -1,
                 none, &F::HelpWebItemClick);
}

void TSDIAppForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  bar->setAccessibleName(QStringLiteral("メニューバー"));

  auto addMenu = [&](const char* name, const QString& caption, const QString& hint) {
    auto* menu = new CommandMenu(caption, bar);
    bar->addMenu(menu);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    SetHint(menu->menuAction(), hint);
    menu->setToolTipsVisible(false);
    return menu;
  };

  CommandMenu* file = addMenu("File1", QStringLiteral("ファイル(&F)"), QStringLiteral("ファイルの制御を行います"));
  file->addAction(actions_.fileNew1);
  file->addAction(actions_.fileOpen1);
  file->addAction(actions_.fileImport1);
  // Two items carry a caption or hint of their own: items of their own that run their
  // command's action and show its key.
  QAction* save = actions_.fileSave1;
  auto* saveItem = actions_.fileSaveItem = new QAction(save->icon(), QStringLiteral("保存(&S)"), this);
  saveItem->setObjectName(QStringLiteral("FileSaveItem"));
  SetHint(saveItem, QStringLiteral("保存|現在のファイルを保存します"));
  file->AddItemOf(saveItem, save);
  file->addAction(actions_.fileExport1);
  file->addSeparator();
  file->addAction(actions_.filePrint1);
  file->addAction(actions_.filePdf1);
  file->addSeparator()->setObjectName(QStringLiteral("N1"));
  QAction* exit = actions_.fileExit1;
  auto* exitItem = actions_.fileExitItem = new QAction(exit->text(), this);
  exitItem->setObjectName(QStringLiteral("FileExitItem"));
  SetHint(exitItem, QStringLiteral("終了|ラッキースコープ！を終了します"));
  file->AddItemOf(exitItem, exit);

  QMenu* edit = addMenu("Edit1", QStringLiteral("編集(&E)"), QStringLiteral("データを編集します"));
  edit->addAction(actions_.editSch1);
  edit->addAction(actions_.editAtr1);
  edit->addAction(actions_.editSys1);
  scan_ = new ScanCommand(core_, ui_, *this, [this](int, int added) {
    FormActivate();
    if (added > 0) ShowTargetsAgain();
  });
  edit->addAction(scan_->Action());

  QMenu* run = addMenu("Exec1", QStringLiteral("実行(&X)"), QStringLiteral("当選番号検索などを実行します"));
  run->addAction(actions_.execSch1);
  run->addAction(actions_.execEsy1);
  run->addAction(actions_.execCam1);
  run->addAction(actions_.execChk1);

  QMenu* help = addMenu("Help1", QStringLiteral("ヘルプ(&H)"), QStringLiteral("ヘルプを表示します"));
  help->addAction(actions_.helpItem);
  help->addAction(actions_.helpWebItem);
  help->addAction(actions_.helpAbout1);
}

void TSDIAppForm::BuildToolBar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setWindowTitle(QStringLiteral("ツールバー"));
  bar->setAccessibleName(QStringLiteral("ツールバー"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bar->setIconSize(QSize(20, 20));
  addToolBar(Qt::TopToolBarArea, bar);
  // The button that shows the commands a narrow window cannot hold.
  if (auto* more = bar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button"))) {
    more->setAccessibleName(QStringLiteral("ツールバーの続き"));
  }
  const Actions& a = actions_;
  // A null entry is a separator.
  for (QAction* action : {a.fileNew1, a.fileOpen1, a.fileSave1, static_cast<QAction*>(nullptr), a.editSch1, a.editAtr1,
                          a.editSys1, static_cast<QAction*>(nullptr), a.execSch1, a.execEsy1, a.execChk1}) {
    if (action == nullptr) {
      // Screen readers list the separator among the buttons: it is named too.
      if (QWidget* separator = bar->widgetForAction(bar->addSeparator())) {
        separator->setAccessibleName(QStringLiteral("区切り"));
      }
    } else {
      bar->addAction(action);
    }
  }
}

void TSDIAppForm::BuildLists() {
  body_ = new QSplitter(Qt::Horizontal, this);
  body_->setObjectName(QStringLiteral("Body"));
  body_->setChildrenCollapsible(false);
  body_->setAccessibleName(QStringLiteral("当選番号と検索対象"));

  auto* panel1 = new QWidget(body_);
  panel1->setObjectName(QStringLiteral("Panel1"));
  panel1->setAccessibleName(QStringLiteral("当選番号"));
  auto* left = new QVBoxLayout(panel1);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(2);

  auto* panel4 = new QWidget(panel1);
  panel4->setObjectName(QStringLiteral("Panel4"));
  auto* top = new QVBoxLayout(panel4);
  top->setContentsMargins(0, 0, 0, 0);
  comboBox1_ = new QComboBox(panel4);
  comboBox1_->setObjectName(QStringLiteral("ComboBox1"));
  comboBox1_->setEditable(false);
  comboBox1_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  comboBox1_->setMinimumContentsLength(4);
  comboBox1_->setAccessibleName(QStringLiteral("表示対象"));
  comboBox1_->view()->setAccessibleName(QStringLiteral("表示対象の一覧"));
  SetHint(comboBox1_, QStringLiteral("表示対象を選択します"));
  top->addWidget(comboBox1_);
  left->addWidget(panel4);

  auto* panel3 = new QWidget(panel1);
  panel3->setObjectName(QStringLiteral("Panel3"));
  auto* bottom = new QVBoxLayout(panel3);
  bottom->setContentsMargins(0, 0, 0, 0);
  listView1_ = new ReportList(panel3);
  listView1_->setObjectName(QStringLiteral("ListView1"));
  listView1_->SetColumns({{QStringLiteral("組"), 50}, {QStringLiteral("番号"), 72}});
  listView1_->SetMultiSelect(false);
  listView1_->SetHeaderClickable(false);
  listView1_->setAccessibleName(QStringLiteral("当選番号一覧"));
  SetHint(listView1_, QStringLiteral("当たり番号です"));
  bottom->addWidget(listView1_);
  left->addWidget(panel3, 1);

  auto* panel2 = new QWidget(body_);
  panel2->setObjectName(QStringLiteral("Panel2"));
  panel2->setAccessibleName(QStringLiteral("検索対象"));
  auto* right = new QVBoxLayout(panel2);
  right->setContentsMargins(0, 0, 0, 0);
  listView2_ = new ReportList(panel2);
  listView2_->setObjectName(QStringLiteral("ListView2"));
  listView2_->SetColumns({{QStringLiteral("No."), 40},
                          {QStringLiteral("名前"), 150},
                          {QStringLiteral("組"), 50},
                          {QStringLiteral("番号"), 72},
                          {QStringLiteral("当たり種別"), 90}});
  listView2_->SetMultiSelect(true);
  listView2_->SetHeaderClickable(true);
  listView2_->setContextMenuPolicy(Qt::CustomContextMenu);
  listView2_->setAccessibleName(QStringLiteral("検索対象一覧"));
  SetHint(listView2_, QStringLiteral("検索対象データです[DELキーで削除できます]"));
  right->addWidget(listView2_);

  body_->addWidget(panel1);
  body_->addWidget(panel2);
  body_->setStretchFactor(0, 0);
  body_->setStretchFactor(1, 1);
  body_->setSizes({kLeftColumnWidth, kInitialWidth - kLeftColumnWidth});
  // Handle 0 stands before the first pane and is never shown; both are named.
  for (int i = 0; i < body_->count(); ++i) body_->handle(i)->setAccessibleName(QStringLiteral("一覧の境界"));
  setCentralWidget(body_);

  auto* popup = new CommandMenu(listView2_);
  popupMenu1_ = popup;
  popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
  auto* e1 = actions_.e1 = popupMenu1_->addAction(QStringLiteral("編集(&E)"));
  e1->setObjectName(QStringLiteral("E1"));
  SetHint(e1, QStringLiteral("選択した登録番号のデータを編集します"));
  connect(e1, &QAction::triggered, this, &TSDIAppForm::E1Click);
  auto* d1 = actions_.d1 = popupMenu1_->addAction(QStringLiteral("削除(&D)"));
  d1->setObjectName(QStringLiteral("D1"));
  SetHint(d1, QStringLiteral("選択した登録番号のデータをすべて削除します"));
  connect(d1, &QAction::triggered, this, &TSDIAppForm::D1Click);
  // "コピー" runs the window's copy command, whose key works while the menu is hidden (a
  // hidden action's key would not).
  const QString copyHint = QStringLiteral("コピー|選択した行を表計算ソフトに貼り付けられる形でコピーします");
  QAction* copy = MakeAction("Copy1", QStringLiteral("コピー"), copyHint, -1,
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), &TSDIAppForm::C1Click);
  // The item shows the key, which stays the window's, and its name is its caption alone.
  auto* c1 = actions_.c1 = new QAction(QStringLiteral("コピー"), popup);
  c1->setObjectName(QStringLiteral("C1"));
  SetHint(c1, copyHint);
  popup->AddItemOf(c1, copy);

  connect(comboBox1_, &QComboBox::activated, this, &TSDIAppForm::ComboBox1Change);
  connect(listView2_, &ReportList::ColumnClicked, this, &TSDIAppForm::ListView2ColumnClick);
  connect(listView2_, &ReportList::DoubleClicked, this, [this](int) { ListView2DblClick(); });
  connect(listView2_, &ReportList::KeyPressed, this, [this](int key, Qt::KeyboardModifiers, const QString&) {
    ListView2KeyDown(key);
    if (key == Qt::Key_Return || key == Qt::Key_Enter) ListView2KeyPress(13);
  });
  connect(listView2_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    PopupMenu1Popup();
    const QList<QAction*> items = popupMenu1_->actions();
    if (std::any_of(items.begin(), items.end(), [](const QAction* a) { return a->isVisible(); })) {
      popupMenu1_->popup(listView2_->viewport()->mapToGlobal(at));
    }
  });

  for (QWidget* control :
       {static_cast<QWidget*>(comboBox1_), static_cast<QWidget*>(listView1_), static_cast<QWidget*>(listView2_)}) {
    control->installEventFilter(this);
  }
}

QAction* TSDIAppForm::Action(const QString& name) const { return findChild<QAction*>(name); }

bool TSDIAppForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && IsCommandKey(static_cast<QKeyEvent*>(event))) {
    // Not overridden: the key goes to the window's shortcut.
    event->ignore();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Window events

void TSDIAppForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_ || event->spontaneous()) return;
  shown_ = true;
  // The tickets of the start-up file are there from the first moment.
  FillSearchList(FillMode::ShowAll, 0);
  // Opened centred on the screen, the first time only, unless it keeps its place from
  // the last session.
  if (QScreen* screen = this->screen(); screen != nullptr && !layoutRestored_) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  FormActivate();
}

// The window counts as activated when it first shows and whenever one of the
// program's own dialogs closes and hands the activation back (RunDialog). Coming back
// from another program, a message box, a file dialog or the help window does not
// refresh the lists, so that switching windows never resets the filter box.
void TSDIAppForm::FormActivate() {
  // The help window needs no start-up call: it is made when it is first asked for.
  sortKey_ = 1;
  FillWinningList(0);
}

void TSDIAppForm::closeEvent(QCloseEvent* event) {
  const bool first = !closed_;
  // A save that failed keeps the window open with its tables.
  if (!FormClose()) {
    event->ignore();
    return;
  }
  if (first) {
    UpdateFileState();  // the files saved while closing count as recent
    SaveLayout();
  }
  event->accept();
}

bool TSDIAppForm::FormClose() {
  if (closed_) return true;  // the close sequence runs once, however the close came
  closed_ = true;
  if (soundCue_.state > 0) StopSoundCue(ui_.Sound(), soundCue_);

  // A save that did not happen keeps the window open with its tables.
  if (!flows_.AskSaveBeforeClose()) {
    closed_ = false;
    return false;
  }
  core_.SaveSettingsFile();
  ui_.HelpCloseAll();
  emit Closed();
  return true;
}

// ---------------------------------------------------------------------------
// File commands

void TSDIAppForm::FileNew1Execute() { flows_.New(); }

void TSDIAppForm::FileOpen1Execute() { flows_.Open(); }

void TSDIAppForm::OpenFiles(const QStringList& paths) {
  QStringList images;
  for (const QString& path : paths) {
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable()) {
      ui_.MessageBox(QStringLiteral("ファイルを開けません。\n%1").arg(path), kMessageCaption, kExclamationOk);
    } else if (ScanCommand::IsImageFile(path)) {
      images.append(file.absoluteFilePath());
    } else {
      OpenChosenFile(QFile::encodeName(file.absoluteFilePath()).toStdString());
    }
  }
  if (!images.isEmpty()) scan_->ReadFiles(images);
  UpdateFileState();
}

void TSDIAppForm::FileSave1Execute() { flows_.Save(); }

void TSDIAppForm::FileExit1Execute() { close(); }

// ---------------------------------------------------------------------------
// Dialogs

int TSDIAppForm::RunDialog(DialogSlot& slot) {
  QDialog* dialog = slot.Get();
  if (dialog == nullptr) return QDialog::Rejected;
  const int result = dialog->exec();
  // Back from one of the program's own windows: the activation refresh.
  FormActivate();
  return result;
}

void TSDIAppForm::EditSchItemClick() {
  // The edit position stays as it is: the dialog opens at its own default ticket.
  if (RunDialog(dialogs_.schEdit) == QDialog::Accepted) ShowTargetsAgain();
  comboBox1_->setFocus(Qt::OtherFocusReason);
}

void TSDIAppForm::ListView2DblClick() {
  if (listView2_->RowCount() == 0) return;
  const std::vector<int> selected = listView2_->SelectedRows();
  if (selected.size() != 1) return;
  const int n = CaptionNumber(listView2_->Row(selected.front()));
  if (n < 1) return;
  LotteryStore& store = core_.Store();
  store.SetEditPosition(n - 1);  // the dialog opens at this ticket
  if (RunDialog(dialogs_.schEdit) == QDialog::Accepted) ShowTargetsAgain();
  store.SetEditPosition(-1);
}

void TSDIAppForm::ListView2KeyPress(int character) {
  if (character == 13) ListView2DblClick();
}

void TSDIAppForm::E1Click() { ListView2DblClick(); }

void TSDIAppForm::EditAtrItemClick() {
  if (RunDialog(dialogs_.atrEdit) == QDialog::Accepted) {
    FillWinningList(0);
    comboBox1_->setCurrentIndex(0);
  }
  comboBox1_->setFocus(Qt::OtherFocusReason);
}

void TSDIAppForm::EditSysItemClick() { RunDialog(dialogs_.sysEdit); }

void TSDIAppForm::EditUndoItemClick() {
  if (core_.UndoRemoval() != 0) return;
  ComboBox1Change(comboBox1_->currentIndex());
}

void TSDIAppForm::ShowMissing(const QString& text) { ui_.MessageBox(text, kMessageCaption, kExclamationOk); }

void TSDIAppForm::ExecEsyItemClick() {
  if (core_.Store().WinningCount() > 0) {
    RunDialog(dialogs_.esyCheck);
  } else {
    ShowMissing(QStringLiteral("当選番号データを入力してください。"));
  }
}

void TSDIAppForm::ExecCamItemClick() {
  if (core_.Store().WinningCount() <= 0) return ShowMissing(QStringLiteral("当選番号データを入力してください。"));
  const std::uint32_t targets = core_.Store().TargetsVersion();
  RunDialog(dialogs_.cameraCheck);
  if (core_.Store().TargetsVersion() != targets) FillSearchList(FillMode::ShowAll, 0);  // cards added
}

void TSDIAppForm::ExecChkItemClick() {
  if (core_.Store().TargetCount() > 0) {
    RunDialog(dialogs_.cntCheck);
  } else {
    ShowMissing(QStringLiteral("検索対象データを入力してください。"));
  }
}

// ---------------------------------------------------------------------------
// The search

void TSDIAppForm::ExecSchItemClick() {
  SystemSettings settings;
  core_.GetSettings(settings);
  const LotteryStore& store = core_.Store();
  if (store.TargetCount() == 0) {
    ShowMissing(QStringLiteral("検索対象データを入力してください。"));
    return;
  }
  if (store.WinningCount() == 0) {
    ShowMissing(QStringLiteral("当選番号データを入力してください。"));
    return;
  }
  core_.RunSearch();
  const int filter = comboBox1_->currentIndex();
  if (filter == 0) {
    const int hits = FillSearchList(FillMode::ShowAll, 0);
    const QString text = hits > 0 ? QStringLiteral("%1本、当たっています！(^o^)丿").arg(hits)
                                  : QStringLiteral("残念！全部はずれです。(T_T)");
    ui_.MessageBox(text, QStringLiteral("検索実行結果"), kPlainOk);
  } else if (filter == 1) {
    FillSearchList(FillMode::Hits, 0);
  } else if (filter >= 2) {
    FillSearchList(FillMode::EntryHits, filter - 2);
  }
  // With a filter the list and the sound tell the result; with "全表示" the message.
  if (filter > 0) {
    if (soundCue_.state > 0) StopSoundCue(ui_.Sound(), soundCue_);
    const char* cue = listView2_->RowCount() > 0 ? settings.hitSoundFile : settings.missSoundFile;
    if (cue[0] != '\0') PlaySoundCue(ui_.Sound(), cue, soundCue_);
  }
}

// ---------------------------------------------------------------------------
// Help

std::string TSDIAppForm::HelpFileToShow() const {
  std::string path = core_.HelpPath();
#ifdef LUCKYSCOPE_INSTALLED_HELP
  // An installed program started in a folder without a help file still has help.
  if (path.empty() || !QFileInfo(QFile::decodeName(path.c_str())).isFile()) {
    const std::string installed = LUCKYSCOPE_INSTALLED_HELP;
    if (QFileInfo(QFile::decodeName(installed.c_str())).isFile()) path = installed;
  }
#endif
  return path;
}

void TSDIAppForm::HelpItemClick() {
  // F1 inside a dialog opens that dialog's page; the menu and the main window the start page.
  ui_.HelpDisplayTopic(HelpFileAndPage(HelpFileToShow(), HelpPageFor(QApplication::activeModalWidget())));
}

QString TSDIAppForm::WebPageAddress() { return QStringLiteral(LUCKYSCOPE_WEB_PAGE); }

void TSDIAppForm::HelpWebItemClick() {
  if (ui_.OpenUrl(WebPageAddress())) return;
  // No browser, or no desktop helper to start one: the address is for the user to take.
  ui_.MessageBox(QStringLiteral("Webページを開けませんでした（ブラウザーが見つかりません）。\n%1").arg(WebPageAddress()),
                 kMessageCaption, kExclamationOk);
}

void TSDIAppForm::HelpAbout1Execute() { RunDialog(dialogs_.aboutBox); }

}  // namespace luckyscope
