// The command line and the hand-over of a second start's files to the running copy.

#include <future>
#include <string>
#include <vector>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/running_copy.h"
#include "tests/support/test_application.h"

namespace luckyscope {
namespace {

using Action = CommandLine::Action;

TEST(CommandLineTest, ReadsFilesHelpVersionAndRefusesOtherOptions) {
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {{}, Action::Run, {}},
      {{"a.ban", "/x/b.dat", ""}, Action::Run, {"a.ban", "/x/b.dat"}},
      {{"--help", "a.ban"}, Action::Help, {}},
      {{"-V", "--help"}, Action::Version, {}},
      {{"-platform", "offscreen"}, Action::Refuse, {}},
      {{"a.ban", "--versio"}, Action::Refuse, {}},
      {{"--", "-h", "--", "-"}, Action::Run, {"-h", "--", "-"}},
      {{"-"}, Action::Run, {"-"}},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(line.files, c.files) << ::testing::PrintToString(c.arguments);
  }
  for (const char* locale : {"C", "POSIX", "C.UTF-8"}) EXPECT_TRUE(WantsEnglish(locale)) << locale;
  EXPECT_FALSE(WantsEnglish("ja_JP.UTF-8"));
}

TEST(RunningCopyTest, HandsTheFilesOverToTheRunningCopyOnly) {
  TestApplication();
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  const std::string socket = RunningCopySocketPath(runtime.filePath(QStringLiteral("luckyscope")).toStdString());
  const std::string nobody = RunningCopySocketPath(runtime.filePath(QStringLiteral("none/luckyscope")).toStdString());
  RunningCopyChannel channel;
  ASSERT_TRUE(channel.Listen(socket));
  QSignalSpy handed(&channel, &RunningCopyChannel::FilesHandedOver);

  const QStringList lists[] = {{}, {QStringLiteral("/tmp/当選 番号.ban")}, {QStringLiteral("/a\n.dat"), QStringLiteral("/b")}};
  for (const QStringList& files : lists) {
    handed.clear();
    // The second start waits for the answer while the running copy's loop runs here.
    std::future<bool> sent = std::async(std::launch::async, [&] { return HandOverToRunningCopy({nobody, socket}, files); });
    while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) handed.wait(20);
    EXPECT_TRUE(sent.get());
    ASSERT_EQ(handed.count(), 1);
    EXPECT_EQ(handed.front().front().toStringList(), files);
  }
  EXPECT_FALSE(HandOverToRunningCopy({nobody}, {QStringLiteral("/x.ban")}, 500));
}

}  // namespace
}  // namespace luckyscope
