#pragma once
// Winning-number edit dialog "当選番号エディット": the user types in, changes, browses
// and deletes winning entries (a title and up to 32 group/number pairs each), working
// on a private copy of the whole table that only "登録" writes back.

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/lottery_store.h"
#include "dialogs/record_edit_dlg.h"

class QKeyEvent;
class QPushButton;
class QStatusBar;

namespace luckyscope {

class ReportList;

class TAtrEditDlg : public TRecordEditDlg {
  Q_OBJECT

 public:
  TAtrEditDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TAtrEditDlg() override;

  // Event handlers beside the shared ones of TRecordEditDlg. Enter in the number box
  // goes to "組番号登録".
  void Button3Click();  // "組番号登録"
  // Takes the selected pair out into the group and number boxes.
  void ListView1DblClick();
  // Enter in the pair list: takes the pair out and goes to the group box.
  bool ListView1KeyPress(int key);
  // "ひな形": after the shown entry is committed, the prize classes 1等, 2等 and 3等
  // that no entry has yet are added as new entries after the last one (entries that
  // hold data stay as they are), the first one added is shown, and the group box
  // holds "*" so that only the numbers need typing.
  void TemplateBtnClick();

  // The working copy's entry k (1..32), for the tests.
  const WinningEntry& WorkingEntry(int regNo) const;

 protected:
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
  int LoadWorkingCopy() override;
  void ShowSlot(int regNo) override;
  bool TakeBoxes(int regNo) override;
  void RemoveSlot(int regNo) override;
  void WriteBack() override;
  // Adds the pair typed into the group and number boxes to entry regNo, and empties
  // the boxes.
  PairAdd AddTypedPair(int regNo);
  void FillPairList(int regNo);
  // Each ticket's hit mask names winning entries by number; after entries moved, the
  // bits move with them.
  void MoveHitBits();
  // True when the group and number boxes hold just the pair a double click took out of
  // the list: moving on then leaves it out, as the user took it out.
  bool HoldsTakenOutPair() const;
  // A key typed while "組番号登録" has the focus (after Enter added a pair) starts the
  // next pair in the group box; true when it did.
  bool StartNextPair(QKeyEvent* key);

  std::unique_ptr<WorkEntry[]> entries_;
  // The pair the last double click took out of the list (CP932 bytes), until the boxes
  // are emptied or the entry changes.
  std::optional<std::pair<std::string, std::string>> takenOut_;

  QPushButton* button3_ = nullptr;
  QPushButton* templateBtn_ = nullptr;
  ReportList* listView1_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
};

}  // namespace luckyscope
