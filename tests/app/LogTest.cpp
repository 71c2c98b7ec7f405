#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/Settings.h"
#include "platform/Services.h"
#include "platform/portable/RecordingProcesses.h"
#include "support/FakeMainView.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

namespace quarnel::app {
namespace {

using platform::Files;

class LogTest : public ::testing::Test {
 protected:
  LogTest() : system_(dir_.path()), scope_({.system = &system_, .processes = &processes_}) {
    system_.now = platform::LocalTime{2026, 12, 5, 13, 4, 5};
  }
  std::string Stamp() { return system_.GeneralDate(*system_.now); }
  std::string LogBytes() {
    std::string text;
    Files().ReadAll(LogFilePath(), &text);
    return text;
  }

  testing::TempFolder dir_;
  testing::OverrideSystem system_;
  platform::RecordingProcesses processes_;
  platform::ScopedServices scope_;
};

TEST_F(LogTest, RecordsHaveTheirExactBytes) {
  EXPECT_EQ(LogFilePath(), JoinPath(dir_.path(), "brlog.dat"));
  EXPECT_FALSE(Files().FileExists(LogFilePath()));
  ASSERT_TRUE(AppendLog(LogFilePath(), LogSeparator()));  // the first append creates the file
  ASSERT_TRUE(AppendLog(LogFilePath(), LogEvent(" Start Backup Profile Main Identity Data...")));
  ASSERT_TRUE(AppendLog(LogFilePath(), LogClosingEvent(" Backup Profile Main Identity Data was Completed!")));
  EXPECT_EQ(LogBytes(), std::string(84, '.') + "\r\r\n" +                                      //
                            Stamp() + " Start Backup Profile Main Identity Data...\n\r\n" +     //
                            Stamp() + " Backup Profile Main Identity Data was Completed!\r\r\n");
}

TEST_F(LogTest, AppendFailsQuietlyWhenTheFileCannotBeOpened) {
  EXPECT_FALSE(AppendLog(JoinPath(dir_.path(), "no-folder\\brlog.dat"), LogSeparator()));
}

TEST_F(LogTest, LogPageShowsOneEntryPerLineAndSelectsTheLast) {
  testing::FakeMainView view;
  FillLogPage(view);  // no log yet
  EXPECT_EQ(view.ListCount(Control::List1), 0);
  EXPECT_EQ(view.ListIndex(Control::List1), -1);

  AppendLog(LogFilePath(), LogSeparator());
  AppendLog(LogFilePath(), LogEvent(" Backup Rules Succeeded!"));
  AppendLog(LogFilePath(), LogClosingEvent(" done"));
  for (int shown = 0; shown < 2; ++shown) {  // showing the page again lists each record once
    FillLogPage(view);
    ASSERT_EQ(view.ListCount(Control::List1), 5);
    EXPECT_EQ(view.ListItem(Control::List1, 0), std::string(84, '.'));
    EXPECT_EQ(view.ListItem(Control::List1, 1), "");
    EXPECT_EQ(view.ListItem(Control::List1, 2), Stamp() + " Backup Rules Succeeded!\n");  // a lone LF stays
    EXPECT_EQ(view.ListItem(Control::List1, 3), Stamp() + " done");
    EXPECT_EQ(view.ListItem(Control::List1, 4), "");
    EXPECT_EQ(view.ListIndex(Control::List1), 4);
  }
}

TEST_F(LogTest, LastLineWithoutTerminatorIsStillShown) {
  ASSERT_TRUE(Files().WriteAll(LogFilePath(), "first\r\nsecond\rthird"));
  testing::FakeMainView view;
  FillLogPage(view);
  ASSERT_EQ(view.ListCount(Control::List1), 3);
  EXPECT_EQ(view.ListItem(Control::List1, 2), "third");
}

TEST_F(LogTest, ShowLogFileStartsNotepadOnTheLog) {
  system_.windowsFolder = "C:\\WINDOWS";
  ShowLogFile();
  ASSERT_EQ(processes_.started.size(), 1u);
  EXPECT_EQ(processes_.started[0].commandLine, "C:\\WINDOWS\\notepad.exe " + JoinPath(dir_.path(), "brlog.dat"));
  EXPECT_EQ(processes_.started[0].state, platform::WindowState::Normal);
}

}  // namespace
}  // namespace quarnel::app
