#pragma once
// The main window "ラッキースコープ！": menu, tool bar, the winning numbers under the
// filter box on the left, the search targets with their hit types on the right, and
// the status bar. It owns the sort key of the search-target list and the program's one
// sound cue state, runs the file, edit, run and help commands, and opens the dialogs,
// which ProgramWindows (app/program_windows.h) hands in after construction as slots that
// make each dialog when it is first opened.

#include <functional>
#include <memory>
#include <string>

#include <QList>
#include <QMainWindow>

#include "app/data_file_flows.h"
#include "app/recent_files.h"
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
class TImportDlg;

// What FillSearchList shows: every ticket, the tickets with a hit, or the tickets
// that one winning entry hit.
enum class FillMode { ShowAll, Hits, EntryHits };

// Registers the program's pictures (the command pictures and the icon) with Qt's
// resource system; the main window does it itself, main() calls it for the icon
// before any window exists.
void InitMainWindowResources();

class TSDIAppForm : public QMainWindow {
  Q_OBJECT

 public:
  // One dialog the main window opens: one made already and handed in, or one made by
  // its factory the first time it is opened and kept from then on (a child of the
  // main window, which deletes it).
  class DialogSlot {
   public:
    DialogSlot() = default;
    DialogSlot(QDialog* dialog) : dialog_(dialog) {}  // NOLINT(google-explicit-constructor)
    static DialogSlot MadeWhenFirstOpened(std::function<QDialog*()> make) {
      DialogSlot slot;
      slot.make_ = std::move(make);
      return slot;
    }
    // The dialog, made now if it was not yet; null when there is none.
    QDialog* Get() const {
      if (dialog_ == nullptr && make_) {
        dialog_ = make_();
        make_ = nullptr;
      }
      return dialog_;
    }

   private:
    // Made on demand even through a const slot: making it changes nothing the caller sees.
    mutable QDialog* dialog_ = nullptr;
    mutable std::function<QDialog*()> make_;
  };

  // The dialogs the main window opens, all shown modally with exec(). A dialog that
  // is not handed in leaves its command doing nothing (as if it had been cancelled).
  struct Dialogs {
    DialogSlot aboutBox{};
    DialogSlot schEdit{};
    DialogSlot atrEdit{};
    DialogSlot sysEdit{};
    DialogSlot esyCheck{};
    DialogSlot cntCheck{};
    DialogSlot importDlg{};
    DialogSlot cameraCheck{};
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

  // The file dialog presets and the file flows (app/data_file_flows.h).
  static FileDialogPreset TargetSavePreset() { return DataFileFlows::TargetSavePreset(); }
  static FileDialogPreset WinningSavePreset() { return DataFileFlows::WinningSavePreset(); }
  static FileDialogPreset CombinedSavePreset() { return DataFileFlows::CombinedSavePreset(); }
  static FileDialogPreset OpenPreset() { return DataFileFlows::OpenPreset(); }
  bool SaveWithDialog(const FileDialogPreset& preset) { return flows_.SaveWithDialog(preset); }

  // Window events. FormClose gives false, and the window stays open, when a save the
  // user asked for at the close failed.
  void FormActivate();
  bool FormClose();

  // The file dialog presets of the export and of the PDF output.
  static FileDialogPreset ExportPreset();
  static FileDialogPreset PdfPreset();
  // A file dropped on one of the lists (the application hook's FileDropped).
  void LoadDroppedFile(bool winningList, const std::string& path) { flows_.LoadDropped(winningList, path); }
  // The import of one file (the import command, or a file the open command could not
  // use): the preview, then the tickets appended or put in place of the list.
  void ImportFile(const std::string& path);
  // Files named on the command line or handed over by a second start, in order: each
  // data file is opened by its kind as the open command does once a file is chosen,
  // images of postcards have their numbers read, and a name that is no readable file
  // is reported.
  void OpenFiles(const QStringList& paths);

  // The lists. ShowTargetsAgain lists every ticket again with the filter box at
  // "全表示" (its items stay), after the tickets changed.
  int FillSearchList(FillMode mode, int k);
  void ShowTargetsAgain();
  void FillWinningList(int selection);

  // Controls, for main() and the tests.
  QComboBox* ComboBox1() const { return comboBox1_; }
  ReportList* ListView1() const { return listView1_; }
  ReportList* ListView2() const { return listView2_; }
  QMenu* PopupMenu1() const { return popupMenu1_; }
  // An action or menu item by its name ("FileNew1", "FileSaveItem", "E1", …).
  QAction* Action(const QString& name) const;
  QSplitter* Body() const { return body_; }
  const RecentFiles& Recent() const { return recent_; }
  // The title and its modified marker, the recent files and the undo command follow
  // the data core's tables and files; every flow that changes them ends here.
  void UpdateFileState();
  // The layout (geometry, splitter, column widths) into the user's state file; the
  // close sequence does it.
  void SaveLayout();
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
  // Handlers the window's actions and controls run; the tests trigger them by the
  // actions' names or through the controls, as a user does.
  // File commands.
  void FileNew1Execute();
  void FileOpen1Execute();
  void FileSave1Execute();
  void FileExit1Execute();
  // Exchange with other tools (sdi_app_form_exchange.cpp): a spreadsheet's ticket list
  // in, the search-target list as shown out to csv, to the printer or to PDF, and the
  // selected rows to the clipboard.
  void FileImport1Execute();
  void FileExport1Execute();
  void FilePrint1Execute();
  void FilePdf1Execute();
  // Edit commands and the search-target list's ways into the edit dialog.
  void EditSchItemClick();
  void ListView2DblClick();
  void EditAtrItemClick();
  void EditSysItemClick();
  // Run commands.
  void ExecSchItemClick();
  void ExecEsyItemClick();
  void ExecCamItemClick();
  void ExecChkItemClick();
  // Help commands.
  void HelpItemClick();
  void HelpAbout1Execute();
  // The lists' handlers: the filter box's pick, a click on a column header, a key on
  // ListView2 and its context menu about to open.
  void ComboBox1Change(int index);
  void ListView2ColumnClick(int column);
  void ListView2KeyDown(int key);
  void PopupMenu1Popup();
  void C1Click();
  void ListView2KeyPress(int character);
  void E1Click();
  void HelpWebItemClick();
  void D1Click();
  void DeleteSelectedTargets();
  // "元に戻す": takes back the last deletion of tickets made in this window, or the
  // last tickets appended by an import or from postcards.
  void EditUndoItemClick();
  // Opens a data file as the open command does once a file is chosen (the recent
  // files' items run it).
  void OpenChosenFile(const std::string& path) { flows_.OpenChosen(path); }

  void BuildControls();
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildLists();
  // Commands beyond the classic set: the recent files and "元に戻す".
  void BuildComfortCommands();
  void FillRecentMenu();
  // The window's commands and menu items, kept for wiring. Each also has an object name
  // (the member's name, capitalised: "FileNew1", "FileSaveItem", "E1", …) for the tests
  // and for accessibility.
  struct Actions {
    QAction* fileNew1 = nullptr;
    QAction* fileOpen1 = nullptr;
    QAction* fileSave1 = nullptr;
    QAction* fileExit1 = nullptr;
    QAction* fileImport1 = nullptr;
    QAction* fileExport1 = nullptr;
    QAction* filePrint1 = nullptr;
    QAction* filePdf1 = nullptr;
    QAction* helpAbout1 = nullptr;
    QAction* editSch1 = nullptr;
    QAction* editAtr1 = nullptr;
    QAction* editSys1 = nullptr;
    QAction* execSch1 = nullptr;
    QAction* execEsy1 = nullptr;
    QAction* execCam1 = nullptr;
    QAction* execChk1 = nullptr;
    QAction* helpItem = nullptr;
    QAction* helpWebItem = nullptr;
    // Menu items with a caption or hint of their own that run fileSave1, fileExit1.
    QAction* fileSaveItem = nullptr;
    QAction* fileExitItem = nullptr;
    // The search-target list's right-click menu.
    QAction* e1 = nullptr;
    QAction* d1 = nullptr;
    QAction* c1 = nullptr;  // "コピー": runs Copy1, Ctrl+Shift+C (Ctrl+C is the count check)
    QAction* editUndoItem = nullptr;
  };

  QAction* MakeAction(const char* name, const QString& caption, const QString& hint, int image,
                      const QKeySequence& shortcut, void (TSDIAppForm::*handler)());
  // Shows a dialog modally; the main window is active again when it returns.
  int RunDialog(DialogSlot& slot);
  // The help file: the base folder's, or the installed one when the base folder has
  // none.
  std::string HelpFileToShow() const;
  void ShowMissing(const QString& text);
  // The filter box's text: the title of a printout.
  QString FilterName() const;

  DataCore& core_;
  UiServices& ui_;
  DataFileFlows flows_;
  Dialogs dialogs_;
  SoundCueState soundCue_{};
  int sortKey_ = 1;
  bool shown_ = false;
  bool closed_ = false;
  // The layout came back from the last session: the window keeps its place.
  bool layoutRestored_ = false;
  RecentFiles recent_;
  QMenu* recentMenu_ = nullptr;

  QList<QIcon> imageList1_;
  QComboBox* comboBox1_ = nullptr;
  ReportList* listView1_ = nullptr;
  ReportList* listView2_ = nullptr;
  QSplitter* body_ = nullptr;
  QMenu* popupMenu1_ = nullptr;
  Actions actions_;
  // The application-wide hook (F1 everywhere, files dropped on the lists), installed
  // on the QApplication for as long as this window lives.
  std::unique_ptr<AppMessageHook> hook_;
  ScanCommand* scan_ = nullptr;  // a child of the window
};

}  // namespace luckyscope
