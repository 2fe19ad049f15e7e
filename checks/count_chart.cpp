#include "checks/count_chart.h"

#include <algorithm>

#include <QPainter>
#include <QPalette>

namespace luckyscope {
namespace {

constexpr int kMargin = 4;
constexpr int kMinimumLabelSpacing = 4;

}  // namespace

CountChart::CountChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CountChart"));
  setAccessibleName(QStringLiteral("本数グラフ"));
  setMinimumHeight(fontMetrics().height() * 5);
}

void CountChart::SetBars(std::vector<ChartBar> bars) {
  bars_ = std::move(bars);
  // A screen reader hears the numbers that the bars show.
  QStringList text;
  for (const ChartBar& bar : bars_) text.append(QStringLiteral("%1: %2本").arg(bar.label).arg(bar.count));
  setAccessibleDescription(text.join(QStringLiteral("、")));
  update();
}

QSize CountChart::sizeHint() const { return {400, fontMetrics().height() * 6}; }

QRect CountChart::PlotArea() const {
  // The labels take one line at the bottom.
  return rect().adjusted(kMargin, kMargin, -kMargin, -kMargin - fontMetrics().height());
}

QRect CountChart::BarRect(int i) const {
  if (i < 0 || i >= static_cast<int>(bars_.size())) return {};
  const int largest = std::max_element(bars_.begin(), bars_.end(), [](const ChartBar& a, const ChartBar& b) {
                        return a.count < b.count;
                      })->count;
  const ChartBar& bar = bars_[static_cast<std::size_t>(i)];
  if (largest <= 0 || bar.count <= 0) return {};
  const QRect area = PlotArea();
  const int n = static_cast<int>(bars_.size());
  const int left = area.left() + area.width() * i / n;
  const int right = area.left() + area.width() * (i + 1) / n;
  const int gap = (right - left) >= 4 ? 1 : 0;
  // At least one pixel high, so that a small count is still seen beside a large one.
  const int height = std::max(1, static_cast<int>(static_cast<long long>(area.height()) * bar.count / largest));
  return {left + gap, area.bottom() + 1 - height, std::max(1, right - left - 2 * gap), height};
}

void CountChart::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QPalette& colours = palette();
  painter.fillRect(rect(), colours.base());
  const QRect area = PlotArea();
  painter.setPen(colours.color(QPalette::Mid));
  painter.drawLine(area.bottomLeft(), area.bottomRight());
  const int n = static_cast<int>(bars_.size());
  if (n == 0) return;
  for (int i = 0; i < n; ++i) {
    const QRect bar = BarRect(i);
    if (!bar.isEmpty()) painter.fillRect(bar, colours.color(QPalette::Highlight));
  }
  // Values under the bars: every one when they fit, else every k-th.
  painter.setPen(colours.color(QPalette::Text));
  const int slot = std::max(1, area.width() / n);
  const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("00")) + kMinimumLabelSpacing;
  const int every = std::max(1, (labelWidth + slot - 1) / slot);
  for (int i = 0; i < n; i += every) {
    const int left = area.left() + area.width() * i / n;
    const int right = area.left() + area.width() * (i + 1) / n;
    const QRect label(left - labelWidth, area.bottom() + 1, (right - left) + 2 * labelWidth, fontMetrics().height());
    painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, bars_[static_cast<std::size_t>(i)].label);
  }
}

}  // namespace luckyscope
