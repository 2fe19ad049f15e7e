#pragma once
// Count check dialog "本数確認": how many tickets end in each last digit (0 to 9) or
// each last two digits (00 to 99), and which tickets are behind the picked value. It
// only reads the search targets. Both lists are ReportLists (a tree view over a flat
// model), which fill 10,000 rows in one step and sort with the main window's
// comparison.

#include <array>

#include <QDialog>
#include "ui/dialog_support.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace luckyscope {

class CountChart;
class DataCore;
class ReportList;
class UiServices;

class TCntCheckDlg : public ActivatedDialog {
  Q_OBJECT

 public:
  TCntCheckDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);

  // The ticket list's sort: +c ascending by column c (1-based), -c descending.
  int DetailSortKey() const { return detailSortKey_; }

  // Handlers.
  void FormActivate() override;
  void CancelBtnClick();
  void ComboBox1Change();
  // A selection notification for `row` of the count list, selected or deselected.
  void ListView1SelectItem(int row);
  void ListView2ColumnClick(int column);
  // "0本を隠す" switched: the count list shows only the values some ticket ends in
  // (remembered in the user's state for the next start).
  void HideEmptyClick(bool hide);

 private:
  void BuildControls();
  // 1 for "下１桁表示", 2 for "下２桁表示".
  int TailDigits() const;
  void FillCountList(int digits);

  DataCore& core_;
  std::array<int, 100> counts_{};
  int detailSortKey_ = 1;

  QPushButton* cancelBtn_ = nullptr;
  QGroupBox* groupBox1_ = nullptr;
  QComboBox* comboBox1_ = nullptr;
  ReportList* listView1_ = nullptr;
  ReportList* listView2_ = nullptr;
  QCheckBox* hideEmpty_ = nullptr;
  CountChart* chart_ = nullptr;
};

}  // namespace luckyscope
