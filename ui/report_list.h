#pragma once
// The report-style list of the main window and the count check: columns with captions
// and widths, rows of a caption and sub-item texts, single or multiple whole-row
// selection that stays visible without the focus, and sorting by the caller's
// comparison. Built on a QTreeView over its own flat model so that 10,000 rows fill
// and sort quickly.

#include <functional>
#include <vector>

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>
#include <QTreeView>

namespace luckyscope {

struct ReportColumn {
  QString caption;
  int width = 0;  // pixels
};

struct ReportRow {
  QString caption;       // first column
  QStringList subItems;  // second column onwards

  // Text of column `column` (0 = caption); empty where the row has no such sub-item.
  QString Text(int column) const {
    if (column == 0) return caption;
    return column - 1 < subItems.size() ? subItems.at(column - 1) : QString();
  }
};

// (row1, row2, key) -> negative, zero or positive; positive puts row1 after row2.
using ReportCompare = std::function<int(const ReportRow& row1, const ReportRow& row2, int key)>;
// The same over the rows' positions before the sort, for callers that prepare a sort
// key per row once rather than in every comparison.
using ReportPositionCompare = std::function<int(int row1, int row2)>;

class ReportListModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit ReportListModel(QObject* parent = nullptr);

  void SetColumns(const std::vector<ReportColumn>& columns);
  const std::vector<ReportColumn>& Columns() const { return columns_; }

  void Clear();
  int AddRow(ReportRow row);
  void AddRows(std::vector<ReportRow> rows);
  const ReportRow& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Stable: rows that compare equal keep their order.
  void Sort(const ReportCompare& compare, int key);
  void Sort(const ReportPositionCompare& compare);

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<ReportColumn> columns_;
  std::vector<ReportRow> rows_;
};

class ReportList : public QTreeView {
  Q_OBJECT

 public:
  explicit ReportList(QWidget* parent = nullptr);

  void SetColumns(const std::vector<ReportColumn>& columns);
  int ColumnCount() const { return static_cast<int>(model_->Columns().size()); }

  // Removes every row.
  void Clear();
  // Adds one row at the end and returns its index.
  int AddRow(const QString& caption, const QStringList& subItems = {});
  // Adds many rows at once: the way to fill thousands of rows.
  void AddRows(std::vector<ReportRow> rows);
  int RowCount() const { return model_->RowCount(); }
  const ReportRow& Row(int row) const { return model_->Row(row); }
  QString Text(int row, int column) const { return model_->Row(row).Text(column); }

  void SetMultiSelect(bool multi);
  void SetHeaderClickable(bool clickable);

  // Selected rows in ascending order of their position in the list.
  std::vector<int> SelectedRows() const;
  int SelectedCount() const;
  // The row with the focus mark, -1 when none.
  int FocusedRow() const;
  // Selects the row alone and gives it the focus mark; the keyboard focus stays where
  // it is and the list does not scroll.
  void SelectAndFocusRow(int row);
  void ClearSelection();
  void EnsureRowVisible(int row);

  // Sorts the rows with `compare`, passing `key` through. Selection and focus mark
  // move with their rows.
  void SortRows(const ReportCompare& compare, int key);
  void SortRows(const ReportPositionCompare& compare);

  ReportListModel* Model() const { return model_; }

 signals:
  // Double click on a row (-1 on the empty part of the list).
  void DoubleClicked(int row);
  // Click on a column header; column is 1-based.
  void ColumnClicked(int column);
  // The set of selected rows changed (by the user or the program).
  void SelectionChanged();
  // Every key press, before the list handles it.
  void KeyPressed(int key, Qt::KeyboardModifiers modifiers, const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  ReportListModel* model_;
};

}  // namespace luckyscope
