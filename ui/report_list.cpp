#include "ui/report_list.h"

#include <algorithm>
#include <numeric>

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

namespace luckyscope {

ReportListModel::ReportListModel(QObject* parent) : QAbstractItemModel(parent) {}

void ReportListModel::SetColumns(const std::vector<ReportColumn>& columns) {
  beginResetModel();
  columns_ = columns;
  endResetModel();
}

void ReportListModel::Clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

int ReportListModel::AddRow(ReportRow row) {
  const int at = RowCount();
  beginInsertRows(QModelIndex(), at, at);
  rows_.push_back(std::move(row));
  endInsertRows();
  return at;
}

void ReportListModel::AddRows(std::vector<ReportRow> rows) {
  if (rows.empty()) return;
  const int first = RowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  if (rows_.empty()) {
    rows_ = std::move(rows);
  } else {
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  }
  endInsertRows();
}

void ReportListModel::Sort(const ReportCompare& compare, int key) {
  if (!compare) return;
  Sort([&](int a, int b) {
    return compare(rows_[static_cast<std::size_t>(a)], rows_[static_cast<std::size_t>(b)], key);
  });
}

void ReportListModel::Sort(const ReportPositionCompare& compare) {
  if (rows_.size() < 2 || !compare) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> order(rows_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });
  std::vector<ReportRow> sorted;
  sorted.reserve(rows_.size());
  std::vector<int> newPosition(rows_.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    sorted.push_back(std::move(rows_[static_cast<std::size_t>(order[i])]));
    newPosition[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
  }
  rows_ = std::move(sorted);
  // Selection, focus mark and any other persistent index follow their rows.
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& old : before) {
    after.append(index(newPosition[static_cast<std::size_t>(old.row())], old.column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QModelIndex ReportListModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || row < 0 || column < 0 || row >= RowCount() || column >= static_cast<int>(columns_.size())) {
    return {};
  }
  return createIndex(row, column);
}

QModelIndex ReportListModel::parent(const QModelIndex&) const { return {}; }

int ReportListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : RowCount(); }

int ReportListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  return rows_[static_cast<std::size_t>(index.row())].Text(index.column());
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= static_cast<int>(columns_.size())) {
    return {};
  }
  return columns_[static_cast<std::size_t>(section)].caption;
}

Qt::ItemFlags ReportListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

ReportList::ReportList(QWidget* parent) : QTreeView(parent), model_(new ReportListModel(this)) {
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setUniformRowHeights(true);  // keeps 10,000 rows cheap to lay out
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setSectionsClickable(true);
  // The selection stays visible while another control has the focus.
  QPalette pal = palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(pal);

  connect(header(), &QHeaderView::sectionClicked, this, [this](int logical) { emit ColumnClicked(logical + 1); });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit SelectionChanged(); });
}

void ReportList::SetColumns(const std::vector<ReportColumn>& columns) {
  model_->SetColumns(columns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].width > 0) setColumnWidth(static_cast<int>(i), columns[i].width);
  }
}

void ReportList::Clear() { model_->Clear(); }

int ReportList::AddRow(const QString& caption, const QStringList& subItems) {
  return model_->AddRow(ReportRow{caption, subItems});
}

void ReportList::AddRows(std::vector<ReportRow> rows) { model_->AddRows(std::move(rows)); }

void ReportList::SetMultiSelect(bool multi) {
  setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void ReportList::SetHeaderClickable(bool clickable) { header()->setSectionsClickable(clickable); }

std::vector<int> ReportList::SelectedRows() const {
  std::vector<int> rows;
  for (const QItemSelectionRange& range : selectionModel()->selection()) {
    for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

int ReportList::SelectedCount() const { return static_cast<int>(SelectedRows().size()); }

int ReportList::FocusedRow() const {
  const QModelIndex current = selectionModel()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void ReportList::SelectAndFocusRow(int row) {
  const QModelIndex at = model_->index(row, 0);
  if (!at.isValid()) return;
  selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ReportList::ClearSelection() { selectionModel()->clearSelection(); }

void ReportList::EnsureRowVisible(int row) {
  const QModelIndex at = model_->index(row, 0);
  if (at.isValid()) scrollTo(at);
}

void ReportList::SortRows(const ReportCompare& compare, int key) { model_->Sort(compare, key); }

void ReportList::SortRows(const ReportPositionCompare& compare) { model_->Sort(compare); }

void ReportList::keyPressEvent(QKeyEvent* event) {
  emit KeyPressed(event->key(), event->modifiers(), event->text());
  QTreeView::keyPressEvent(event);
}

void ReportList::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QModelIndex at = indexAt(event->position().toPoint());
  emit DoubleClicked(at.isValid() ? at.row() : -1);
}

}  // namespace luckyscope
