#pragma once
// The main window "ラッキースコープ！": menu, tool bar, the winning numbers under the
// filter box on the left, the search targets with their hit types on the right, and
// the status bar. It owns the sort key of the search-target list and the program's one
// sound cue state, runs the file, edit, run and help commands, and opens the dialogs,
// which main() creates and hands in after construction.

#include <memory>

#include <QList>
#include <QMainWindow>

#include "sound/sound_cue.h"
#include "ui/ui_services.h"

class QAction;
class QComboBox;
class QDialog;
class QMenu;
class QSplitter;

namespace luckyscope {

class AppMessageHook;
class DataCore;
class ScanCommand;
class ReportList;

// Modes of FillSearchList.
inline constexpr int kFillShowAll = 0;
inline constexpr int kFillHits = 1;
inline constexpr int kFillEntryHits = 2;

// Registers the program's pictures (the command pictures and the icon) with Qt's
// resource system; the main window does it itself, main() calls it for the icon
// before any window exists.
void InitMainWindowResources();

class TSDIAppForm : public QMainWindow {
  Q_OBJECT

 public:
  // The dialogs the main window opens, all shown modally with exec(). A dialog that
  // is not handed in leaves its command doing nothing (as if it had been cancelled).
  struct Dialogs {
    QDialog* aboutBox = nullptr;
    QDialog* schEdit = nullptr;
    QDialog* atrEdit = nullptr;
    QDialog* sysEdit = nullptr;
    QDialog* esyCheck = nullptr;
    QDialog* cntCheck = nullptr;
  };

  TSDIAppForm(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TSDIAppForm() override;

  void SetDialogs(const Dialogs& dialogs) { dialogs_ = dialogs; }
  const Dialogs& GetDialogs() const { return dialogs_; }

  // The program's one sound cue state; the easy check plays its cues on it too.
  SoundCueState& SoundCue() { return soundCue_; }
  int SortKey() const { return sortKey_; }

  // The product's web page (a build setting).
  static QString WebPageAddress();

  // The file dialog presets.
  static FileDialogPreset TargetSavePreset();
  static FileDialogPreset WinningSavePreset();
  static FileDialogPreset CombinedSavePreset();
  static FileDialogPreset OpenPreset();

  // Runs the save dialog with the preset and saves the table that the chosen file's
  // kind names. A cancelled dialog saves nothing and is not reported.
  void SaveWithDialog(const FileDialogPreset& preset);
  // The two save questions: each asks only when its table has unsaved changes, and on
  // Yes saves through the save dialog.
  void AskSaveTargets();
  void AskSaveWinning();

  // Window events.
  void FormActivate();
  void FormClose();

  // File commands.
  void FileNew1Execute();
  void FileOpen1Execute();
  void FileSave1Execute();
  void FileExit1Execute();

  // Edit commands and the search-target list's ways into the edit dialog.
  void EditSchItemClick();
  void ListView2DblClick();
  void ListView2KeyPress(int character);
  void E1Click();
  void EditAtrItemClick();
  void EditSysItemClick();

  // Run commands.
  void ExecSchItemClick();
  void ExecEsyItemClick();
  void ExecChkItemClick();

  // Help commands.
  void HelpItemClick();
  void HelpWebItemClick();
  void HelpAbout1Execute();

  // The lists.
  int FillSearchList(int mode, int k);
  void FillWinningList(int selection);
  void ComboBox1Change(int index);
  void ListView2ColumnClick(int column);
  void ListView2KeyDown(int key);
  void PopupMenu1Popup();
  void D1Click();
  void DeleteSelectedTargets();

  // Controls, for main() and the tests.
  QComboBox* ComboBox1() const { return comboBox1_; }
  ReportList* ListView1() const { return listView1_; }
  ReportList* ListView2() const { return listView2_; }
  QMenu* PopupMenu1() const { return popupMenu1_; }
  // An action or menu item by its name ("FileNew1", "FileSaveItem", "E1", …).
  QAction* Action(const QString& name) const;
  // Reading numbers from postcard images (edit menu, images dropped on ListView2).
  ScanCommand& Scan() const { return *scan_; }
  // The pictures of the commands, indexes 0 to 10.
  const QList<QIcon>& ImageList1() const { return imageList1_; }

 signals:
  // The close sequence has run and the window has closed: the program may end.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildLists();
  QAction* MakeAction(const char* name, const QString& caption, const QString& hint, int image,
                      const QKeySequence& shortcut, void (TSDIAppForm::*handler)());
  // Shows a dialog modally; the main window is active again when it returns.
  int RunDialog(QDialog* dialog);
  // The help file: the base folder's, or the installed one when the base folder has
  // none.
  std::string HelpFileToShow() const;
  void ShowMissing(const QString& text);

  DataCore& core_;
  UiServices& ui_;
  Dialogs dialogs_;
  SoundCueState soundCue_{};
  int sortKey_ = 1;
  bool shown_ = false;
  bool closed_ = false;

  QList<QIcon> imageList1_;
  QComboBox* comboBox1_ = nullptr;
  ReportList* listView1_ = nullptr;
  ReportList* listView2_ = nullptr;
  QSplitter* body_ = nullptr;
  QMenu* popupMenu1_ = nullptr;
  // The application-wide hook (F1 everywhere, files dropped on the lists), installed
  // on the QApplication for as long as this window lives.
  std::unique_ptr<AppMessageHook> hook_;
  ScanCommand* scan_ = nullptr;  // a child of the window
};

}  // namespace luckyscope
