#pragma once
// Winning-number edit dialog "当選番号エディット": the user types in, changes, browses
// and deletes winning entries (a title and up to 32 group/number pairs each), working
// on a private copy of the whole table that only "登録" writes back.

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <QDialog>

#include "core/lottery_store.h"

class QKeyEvent;
class QPushButton;
class QStatusBar;

namespace luckyscope {

class ByteLineEdit;
class DataCore;
class ReportList;
class UiServices;

class TAtrEditDlg : public QDialog {
  Q_OBJECT

 public:
  TAtrEditDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TAtrEditDlg() override;

  // Event handlers.
  void FormActivate();
  void OKBtnClick();
  void CancelBtnClick();
  void Button1Click();  // "<"
  void Button2Click();  // ">"
  void Button3Click();  // "組番号登録"
  void Memo1Exit();
  // Enter moves the focus along title, group, number and "組番号登録"; true when handled.
  bool Memo1KeyDown(int key);
  bool Memo2KeyDown(int key);
  bool Memo3KeyDown(int key);
  bool Memo4KeyDown(int key);
  // Takes the selected pair out into the group and number boxes.
  void ListView1DblClick();
  // Enter in the pair list: takes the pair out and goes to the group box.
  bool ListView1KeyPress(int key);
  // "ひな形": after the shown entry is committed, the prize classes 1等, 2等 and 3等
  // that no entry has yet are added as new entries after the last one (entries that
  // hold data stay as they are), the first one added is shown, and the group box
  // holds "*" so that only the numbers need typing.
  void TemplateBtnClick();

  // The working copy, for the tests: its entry count and entry k (1..32).
  int WorkingCount() const { return workingCount_; }
  const WinningEntry& WorkingEntry(int regNo) const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One entry of the working copy and the registration number it had when the dialog
  // was shown (0 for an entry typed since).
  struct WorkEntry {
    WinningEntry rec;
    int origin;
  };

  enum class PairAdd { Added, Listed, Full, HalfPair };

  void BuildControls();
  void ShowEntry(int regNo);
  // Adds the pair typed into the group and number boxes to entry regNo, and empties
  // the boxes.
  PairAdd AddTypedPair(int regNo);
  void FillPairList(int regNo);
  // The shown entry's number, or nothing (the user told) when the box is empty.
  std::optional<int> CurrentEntry();
  bool Commit(int& regNo, bool& deleted);
  bool CommitAndMoveNext();
  void WriteBack();
  // Each ticket's hit mask names winning entries by number; after entries moved, the
  // bits move with them.
  void MoveHitBits();

  // True when the group and number boxes hold just the pair a double click took out of
  // the list: moving on then leaves it out, as the user took it out.
  bool HoldsTakenOutPair() const;
  // A key typed while "組番号登録" has the focus (after Enter added a pair) starts the
  // next pair in the group box; true when it did.
  bool StartNextPair(QKeyEvent* key);

  DataCore& core_;
  UiServices& ui_;
  std::unique_ptr<WorkEntry[]> entries_;
  // The pair the last double click took out of the list (CP932 bytes), until the boxes
  // are emptied or the entry changes.
  std::optional<std::pair<std::string, std::string>> takenOut_;
  int workingCount_ = 0;
  int shownEntry_ = 0;  // the entry the boxes were last filled from

  QPushButton* okBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* button2_ = nullptr;
  QPushButton* button3_ = nullptr;
  QPushButton* templateBtn_ = nullptr;
  ByteLineEdit* memo1_ = nullptr;
  ByteLineEdit* memo2_ = nullptr;
  ByteLineEdit* memo3_ = nullptr;
  ByteLineEdit* memo4_ = nullptr;
  ReportList* listView1_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
};

}  // namespace luckyscope
