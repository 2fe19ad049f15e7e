#include "tests/support/main_window_harness.h"

#include <QFile>

#include "tests/support/store_builders.h"
#include "ui/cp932_codec.h"
#include "ui/report_list.h"

namespace luckyscope::testing {

void MainWindowHarness::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  base_ = QFile::encodeName(dir_.path()).toStdString();
  core_.InitBaseFolder(base_.c_str());
  char help[kPathSize];
  core_.HelpFilePath(help);
  core_.ResetAll();
  windows_ = std::make_unique<ProgramWindows>(core_, ui_);
  form_ = &windows_->form;
}

void MainWindowHarness::TearDown() {
  form_ = nullptr;
  windows_.reset();
  EXPECT_EQ(ui_.UnexpectedCount(), 0);
}

void MainWindowHarness::AddTarget(const char* name, const char* group, const char* number) {
  AppendTarget(Store(), Target(Cp(name), group, number));
}

void MainWindowHarness::AddEntry(const char* title, std::initializer_list<std::pair<std::string, std::string>> pairs) {
  AppendEntry(Store(), Entry(Cp(title), pairs));
}

QString MainWindowHarness::TargetName(int regNo) {
  SearchTarget t;
  if (Store().GetTarget(1, regNo, t) != 0) return QStringLiteral("<none>");
  return FromCp932(t.name);
}

QStringList MainWindowHarness::Column(const ReportList* list, int column) {
  QStringList out;
  for (int r = 0; r < list->RowCount(); ++r) out << list->Text(r, column);
  return out;
}

}  // namespace luckyscope::testing
