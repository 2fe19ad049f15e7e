#pragma once
// The window tests' fixture: the program's real main window with its six dialogs,
// wired as main() wires them, over a data core in a temporary base folder of its own,
// with scripted UI services. Every message, dialog and sound the test did not script
// fails it.

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/core_notifier.h"
#include "app/program_windows.h"
#include "core/data_core.h"
#include "tests/support/cp932_text.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_application.h"

namespace luckyscope {

class ReportList;

namespace testing {

class MainWindowHarness : public ::testing::Test {
 protected:
  // The base folder is set and the tables are empty; the data core is not started.
  void SetUp() override;
  // The windows go; no scripted call may be left over.
  void TearDown() override;

  LotteryStore& Store() { return core_.Store(); }
  // A file of the base folder.
  std::string Path(const std::string& name) const { return base_ + "/" + name; }

  // Appends a ticket or a winning entry (names and titles in UTF-8).
  void AddTarget(const char* name, const char* group, const char* number);
  void AddEntry(const char* title, std::initializer_list<std::pair<std::string, std::string>> pairs);
  // The name of the ticket with this registration number, or "<none>".
  QString TargetName(int regNo);
  // The texts of one column of a list, top to bottom.
  static QStringList Column(const ReportList* list, int column);

  // The application exists before any widget member is made.
  ApplicationFirst application_;
  QTemporaryDir dir_;
  std::string base_;
  ScriptedUiServices ui_;
  UiCoreNotifier notifier_{ui_};
  DataCore core_{&notifier_};
  std::unique_ptr<ProgramWindows> windows_;
  TSDIAppForm* form_ = nullptr;
};

}  // namespace testing
}  // namespace luckyscope
