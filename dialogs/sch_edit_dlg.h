#pragma once
// Search-target edit dialog "検索対象エディット": the user types in, changes, browses
// and deletes tickets one at a time, addressed by registration number. All work is
// done on a private copy of the whole table, which only "登録" writes back.

#include <memory>

#include "core/lottery_store.h"
#include "dialogs/record_edit_dlg.h"

namespace luckyscope {

class TSchEditDlg : public TRecordEditDlg {
  Q_OBJECT

 public:
  TSchEditDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TSchEditDlg() override;

  // The working copy's slot k (1..10000), for the tests.
  const SearchTarget& WorkingSlot(int regNo) const;

 private:
  // One slot of the working copy: the record's texts (its hit fields stay 0) and the
  // registration number it had when the dialog was shown, 0 for a record typed since.
  struct WorkSlot {
    SearchTarget rec;
    int origin;
  };
  // Hit result of every stored ticket as it was when the dialog was shown.
  struct HitResult {
    std::uint8_t hit;
    std::uint32_t hitMask;
  };

  void BuildControls();
  int LoadWorkingCopy() override;
  void ShowSlot(int regNo) override;
  bool TakeBoxes(int regNo) override;
  void RemoveSlot(int regNo) override;
  void LeaveFreeSlot(int regNo) override;
  void WriteBack() override;

  std::unique_ptr<WorkSlot[]> slots_;
  std::unique_ptr<HitResult[]> hitsAtOpen_;
};

}  // namespace luckyscope
