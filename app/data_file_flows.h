#pragma once
// The main window's file flows without the window: new, open, a dropped file, save,
// the save questions and the close question. Each asks through the UI services, works
// on the data core, and answers whether its caller may go on; the window only shows
// the tables again when a flow says they changed.
//
// A save the user asked for that does not happen (it failed, or its dialog was
// cancelled) stops whatever asked for it, with the table and its changed flag kept.

#include <functional>
#include <string>

#include "ui/ui_services.h"

namespace luckyscope {

class DataCore;

class DataFileFlows {
 public:
  // What the window does when a flow changed what it shows.
  struct Views {
    // The search targets were replaced or cleared: list them all again.
    std::function<void()> targetsChanged;
    // The winning entries were replaced or cleared: the list and the filter box again.
    std::function<void()> winningChanged;
    // A file was saved: the caption and the recent files follow.
    std::function<void()> filesChanged;
    // The user agreed to import a file that the open command cannot open (an exported
    // list): the import command takes it from here.
    std::function<void(const std::string& path)> importFile;
  };

  DataFileFlows(DataCore& core, UiServices& ui, Views views);

  // The file dialog presets.
  static FileDialogPreset TargetSavePreset();
  static FileDialogPreset WinningSavePreset();
  static FileDialogPreset CombinedSavePreset();
  static FileDialogPreset OpenPreset();

  // Runs the save dialog with the preset and saves the table that the chosen file's
  // kind names. False when the dialog was cancelled (without a word) or the save
  // failed (reported: the file and the reason). An empty table is refused without a
  // word and gives true.
  bool SaveWithDialog(const FileDialogPreset& preset);
  // The two save questions: each asks only when its table has unsaved changes, and on
  // Yes saves through the save dialog. False when that save did not happen.
  bool AskSaveTargets();
  bool AskSaveWinning();

  // "新規作成": asks before it clears, then clears each table after its save question.
  void New();
  // "開く": the open dialog, then OpenChosen.
  void Open();
  // Opens a data file as the open command does once a file is chosen: the save
  // question for the kind of data it replaces, the load, both lists shown again.
  void OpenChosen(const std::string& path);
  // A file dropped on one of the lists: loaded into the winning numbers or the search
  // targets when it still is of that kind.
  void LoadDropped(bool winningList, const std::string& path);
  // "上書き保存": the save dialog that fits the tables that hold data.
  void Save();
  // The close question, and the saves it leads to. False when the window must stay
  // open because a save the user asked for did not happen.
  bool AskSaveBeforeClose();

 private:
  // Before a file of `kind` that looks like no such file (binary bytes, the settings
  // file) replaces a table, the user is asked; false when they answer No.
  bool ConfirmForeignFile(const std::string& path, int kind);
  // After the open command found no usable kind in a csv file that the import reads
  // (an exported list), offers to import it.
  void OfferImport(const std::string& path);

  DataCore& core_;
  UiServices& ui_;
  Views views_;
};

}  // namespace luckyscope
