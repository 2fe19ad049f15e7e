#pragma once
// The count check's small bar chart: one bar per row of the count list, as tall as
// its count against the largest one, with the value under every bar where there is
// room. Drawn with QPainter; it holds only what it was last given.

#include <vector>

#include <QString>
#include <QWidget>

namespace luckyscope {

struct ChartBar {
  QString label;  // the value as the count list shows it ("0", "07")
  int count = 0;
};

class CountChart : public QWidget {
  Q_OBJECT

 public:
  explicit CountChart(QWidget* parent = nullptr);

  void SetBars(std::vector<ChartBar> bars);
  const std::vector<ChartBar>& Bars() const { return bars_; }

  // The rectangle of bar i inside the widget as it is drawn now (empty for a count of
  // 0): for the tests and the accessibility text.
  QRect BarRect(int i) const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect PlotArea() const;

  std::vector<ChartBar> bars_;
};

}  // namespace luckyscope
