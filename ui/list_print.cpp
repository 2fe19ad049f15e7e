#include "ui/list_print.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <numeric>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "core/data_core.h"
#include "core/file_io.h"
#include "ui/cp932_codec.h"
#include "ui/report_fonts.h"
#include "ui/report_list.h"
#include "ui/ui_services.h"

namespace luckyscope {

namespace {

const QString kSummaryCaption = QStringLiteral("当選の内訳");
const QString kNoEntries = QStringLiteral("当選番号がありません。");

QString SummaryLine(const QString& title, int count) { return QStringLiteral("%1　%2本").arg(title).arg(count); }

// Every character the pages may show: the report's texts, the fixed captions, and the
// digits, slash and ellipsis of the page numbers and cut fields.
QString ReportCharacters(const ListReport& report) {
  QString text = report.title + report.date + report.captions.join(QString()) + kSummaryCaption + kNoEntries +
                 SummaryLine(QString(), 0) + QStringLiteral("0123456789 /…");
  for (const QStringList& row : report.rows) text += row.join(QString());
  for (const auto& [title, count] : report.entryHits) text += title;
  return text;
}

void SetA4(QPagedPaintDevice& device) {
  device.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
}

// Lays the report out page by page. With a painter it draws; without one it only counts
// the pages, so that the footers can say "p / n".
class ReportPainter {
 public:
  ReportPainter(QPagedPaintDevice& device, const ListReport& report, const ReportFonts& fonts, QPainter* painter,
                int pageCount)
      : device_(device), report_(report), fonts_(fonts), painter_(painter), pageCount_(pageCount) {
    const QFont body = fonts_.Font(9);
    const QFontMetricsF metrics(body, &device);
    rowHeight_ = metrics.height() * 1.35;
    width_ = device.width();
    height_ = device.height();
    const int total = std::max(1, std::accumulate(report.widths.begin(), report.widths.end(), 0));
    double x = 0;
    for (int w : report.widths) {
      left_.push_back(x);
      x += width_ * w / total;
      right_.push_back(x);
    }
  }

  int Run() {
    StartPage();
    for (const QStringList& row : report_.rows) {
      if (y_ + rowHeight_ > BodyBottom()) NextPage();
      DrawRow(row, false);
    }
    // The summary stays together when it fits on a page of its own.
    const double summaryHeight = rowHeight_ * (static_cast<double>(report_.entryHits.size()) + 2);
    if (y_ + summaryHeight > BodyBottom() && summaryHeight <= BodyBottom() - BodyTop()) NextPage();
    y_ += rowHeight_ * 0.5;
    DrawLine(kSummaryCaption, true);
    if (report_.entryHits.empty()) DrawLine(kNoEntries, false);
    for (const auto& [title, count] : report_.entryHits) DrawLine(SummaryLine(title, count), false);
    EndPage();
    return page_;
  }

 private:
  double BodyTop() const { return rowHeight_ * 3.2; }
  double BodyBottom() const { return height_ - rowHeight_ * 1.5; }

  void StartPage() {
    ++page_;
    y_ = 0;
    if (painter_ != nullptr) {
      painter_->setFont(fonts_.Font(13, true));
      const QRectF titleBox(0, 0, width_, rowHeight_ * 1.6);
      painter_->drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, report_.title);
      painter_->setFont(fonts_.Font(9));
      painter_->drawText(titleBox, Qt::AlignRight | Qt::AlignVCenter, report_.date);
    }
    y_ = rowHeight_ * 2;
    DrawRow(report_.captions, true);
    if (painter_ != nullptr) painter_->drawLine(QPointF(0, y_), QPointF(width_, y_));
    y_ = BodyTop();
  }

  void EndPage() {
    if (painter_ == nullptr) return;
    painter_->setFont(fonts_.Font(8));
    painter_->drawText(QRectF(0, height_ - rowHeight_, width_, rowHeight_), Qt::AlignCenter,
                       QStringLiteral("%1 / %2").arg(page_).arg(pageCount_));
  }

  void NextPage() {
    EndPage();
    if (painter_ != nullptr) device_.newPage();
    StartPage();
  }

  void DrawRow(const QStringList& fields, bool bold) {
    if (painter_ != nullptr) {
      painter_->setFont(fonts_.Font(9, bold));
      const QFontMetricsF metrics(painter_->font(), &device_);
      const double pad = metrics.averageCharWidth() * 0.5;
      for (std::size_t c = 0; c < left_.size() && static_cast<qsizetype>(c) < fields.size(); ++c) {
        const QString& text = fields.at(static_cast<qsizetype>(c));
        const double w = right_[c] - left_[c] - 2 * pad;
        const QString shown = metrics.horizontalAdvance(text) > w ? metrics.elidedText(text, Qt::ElideRight, w) : text;
        painter_->drawText(QRectF(left_[c] + pad, y_, w, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter, shown);
      }
    }
    y_ += rowHeight_;
  }

  void DrawLine(const QString& text, bool bold) {
    if (y_ + rowHeight_ > BodyBottom()) NextPage();
    if (painter_ != nullptr) {
      painter_->setFont(fonts_.Font(bold ? 10 : 9, bold));
      painter_->drawText(QRectF(0, y_, width_, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    y_ += rowHeight_;
  }

  QPagedPaintDevice& device_;
  const ListReport& report_;
  const ReportFonts& fonts_;
  QPainter* painter_;
  int pageCount_;
  int page_ = 0;
  double y_ = 0;
  double rowHeight_ = 0;
  double width_ = 0;
  double height_ = 0;
  std::vector<double> left_, right_;
};

// The fonts of the report painted last. They stay registered after painting: a print
// preview draws its pages again from recordings that name the font's family. Kept
// until another text is painted, and never destroyed at exit, when the font database
// may be gone before static objects are.
const ReportFonts& FontsFor(const ListReport& report) {
  static ReportFonts* fonts = nullptr;
  static QString characters;
  const QString wanted = ReportCharacters(report);
  if (fonts == nullptr || wanted != characters) {
    delete fonts;
    fonts = new ReportFonts(wanted);
    characters = wanted;
  }
  return *fonts;
}

}  // namespace

ListReport MakeListReport(const DataCore& core, const ReportList& list, const QString& filter, const QDate& date) {
  ListReport report;
  const char* file = core.Store().TargetFile();
  const QString listName = file[0] == '\0' ? QStringLiteral("検索対象") : QFileInfo(QFile::decodeName(file)).fileName();
  report.title = QStringLiteral("%1（%2）").arg(listName, filter);
  report.date = date.toString(QStringLiteral("yyyy年M月d日"));
  const QAbstractItemModel* model = list.model();
  for (int c = 0; c < list.ColumnCount(); ++c) {
    report.captions << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    report.widths.push_back(std::max(1, list.columnWidth(c)));
  }
  report.rows.reserve(static_cast<std::size_t>(list.RowCount()));
  for (int r = 0; r < list.RowCount(); ++r) {
    QStringList fields;
    for (int c = 0; c < list.ColumnCount(); ++c) fields << list.Text(r, c);
    report.rows.push_back(std::move(fields));
  }
  const LotteryStore& store = core.Store();
  std::vector<int> hits(static_cast<std::size_t>(store.WinningCount()), 0);
  SearchTarget ticket{};
  for (int n = 1; n <= store.TargetCount(); ++n) {
    if (store.GetTarget(1, n, ticket) != 0 || ticket.hit == 0) continue;
    for (std::size_t k = 0; k < hits.size(); ++k) hits[k] += (ticket.hitMask >> k) & 1u;
  }
  WinningEntry entry{};
  for (int i = 1; i <= store.WinningCount(); ++i) {
    if (store.GetWinningEntry(i, entry) == 0) report.entryHits.emplace_back(FromCp932(entry.title), hits[i - 1]);
  }
  return report;
}

int PaintListReport(QPagedPaintDevice& device, const ListReport& report) {
  const ReportFonts& fonts = FontsFor(report);
  const int pages = ReportPainter(device, report, fonts, nullptr, 0).Run();
  QPainter painter(&device);
  if (!painter.isActive()) return 0;
  return ReportPainter(device, report, fonts, &painter, pages).Run();
}

int WriteListPdf(const ListReport& report, const std::string& path, const WriteFault* fault) {
  // The file is opened first, so that a name the writer refuses costs no rendering.
  SafeFileWriter file(fault);
  if (!file.Open(path.c_str())) return file.ErrorNumber();
  // Rendered in memory, then written through the safe writer like every other file.
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setTitle(report.title);
    writer.setCreator(QStringLiteral("ラッキースコープ！"));
    writer.setResolution(300);
    SetA4(writer);
    if (PaintListReport(writer, report) == 0) return EIO;
  }
  if (file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())) && file.Commit()) return 0;
  const int error = file.ErrorNumber();
  return error != 0 ? error : EIO;
}

void PreviewAndPrint(const ListReport& report, UiServices& ui, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(report.title);
  SetA4(printer);
  QPrintPreviewDialog preview(&printer, parent);
  preview.setWindowTitle(QStringLiteral("印刷プレビュー"));
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&report, &ui](QPrinter* target) {
    // A printer may be painted on from another thread; the preview waits for its pages.
    ui.RunWithProgress(QStringLiteral("印刷プレビューを作っています..."), 0,
                       [&](JobProgress&) { PaintListReport(*target, report); });
  });
  preview.exec();
}

}  // namespace luckyscope
