#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/Settings.h"
#include "support/FakeMainView.h"
#include "support/RecordedSeams.h"

namespace quarnel::app {
namespace {

using platform::Files;

class LogTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  LogTest() { system.now = platform::LocalTime{2026, 12, 5, 13, 4, 5}; }
  std::string Stamp() { return system.GeneralDate(*system.now); }
};

// A run's records have their exact bytes; the Logs page lists them one line each, the last
// selected, also from a log whose writer was stopped mid-line. A log that cannot be opened
// fails quietly.
TEST_F(LogTest, RecordsHaveTheirExactBytesAndTheLogPageShowsOneLineEach) {
  testing::FakeMainView view;
  FillLogPage(view);  // no log yet
  EXPECT_EQ(view.ListCount(Control::List1), 0);
  EXPECT_EQ(view.ListIndex(Control::List1), -1);
  EXPECT_EQ(LogFilePath(), JoinPath(dir.path(), "brlog.dat"));
  ASSERT_TRUE(AppendLog(LogFilePath(), LogSeparator()));  // the first append creates the file
  ASSERT_TRUE(AppendLog(LogFilePath(), LogEvent(" Start Backup Profile J\xF6rg's Arbeit Data...")));
  ASSERT_TRUE(AppendLog(LogFilePath(), LogClosingEvent(" Backup Profile J\xF6rg's Arbeit Data was Completed!")));
  std::string text;
  Files().ReadAll(LogFilePath(), &text);
  EXPECT_EQ(text, std::string(84, '.') + "\r\r\n" +                                       //
                      Stamp() + " Start Backup Profile J\xF6rg's Arbeit Data...\n\r\n" +  //
                      Stamp() + " Backup Profile J\xF6rg's Arbeit Data was Completed!\r\r\n");
  EXPECT_FALSE(AppendLog(JoinPath(dir.path(), "no-folder\\brlog.dat"), LogSeparator()));

  Files().AppendBytes(LogFilePath(), "cut\rshort");
  // An event's lone LF stays in its line.
  const std::vector<std::string> lines = {std::string(84, '.'),
                                          "",
                                          Stamp() + " Start Backup Profile J\xF6rg's Arbeit Data...\n",
                                          Stamp() + " Backup Profile J\xF6rg's Arbeit Data was Completed!",
                                          "",
                                          "cut",
                                          "short"};
  for (int shown = 0; shown < 2; ++shown) {  // showing the page again lists each record once
    FillLogPage(view);
    ASSERT_EQ(view.ListCount(Control::List1), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(view.ListItem(Control::List1, i), lines[i]) << i;
    EXPECT_EQ(view.ListIndex(Control::List1), 6);
  }
}

}  // namespace
}  // namespace quarnel::app
