// The log: its records, the Logs page, and what it says about scheduled backups (the runs
// told apart, and the window's notice of those that failed or never finished, given once;
// the event log's reports are checked under Wine, tests/backup/unattended-wine.sh).
#include <gtest/gtest.h>

#include <memory>

#include "app/Log.h"
#include "app/ScheduledRuns.h"
#include "app/Settings.h"
#include "support/FakeMainView.h"
#include "support/RecordedSeams.h"

namespace quarnel::app {
namespace {

using platform::Files;
using Strings = std::vector<std::string>;

class LogTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  LogTest() { system.now = platform::LocalTime{2026, 3, 3, 14, 5, 9}; }
  // A log's records: ">" a separator, "=" an event, "!" a closing event.
  std::string Records(const Strings& records) {
    const std::string stamp = When();
    std::string bytes;
    for (const std::string& r : records) {
      if (r == ">") bytes += std::string(84, '.') + "\r\r\n";
      if (r[0] == '=') bytes += stamp + r.substr(1) + "\n\r\n";
      if (r[0] == '!') bytes += stamp + r.substr(1) + "\r\r\n";
    }
    return bytes;
  }
  // A scheduled run of "Main" to C:\b\m.soe: its items' results ("+Rules", "-Mails"), then how it ended.
  std::string Run(const Strings& items, const std::string& end) {
    Strings records = {">", "= Auto Start Backup Profile Main Data...", "= Backup File is C:\\b\\m.soe"};
    for (const std::string& item : items) {
      records.push_back("= Backup " + item.substr(1) + (item[0] == '+' ? " Succeeded!" : " Fail!"));
    }
    if (end == "done") records.push_back("! Backup Profile Main Data was Completed!");
    if (end == "not done") {
      records.push_back("= Reason: No folder \"C:\\b\"");
      records.push_back("! Backup Profile Main Data was not Completed!");
    }
    return Records(records);
  }
  void Append(const std::string& bytes) { ASSERT_TRUE(platform::Files().AppendBytes(LogFilePath(), bytes)); }
  std::string Told() {
    messages.shown.clear();
    TellFailedScheduledRuns();
    EXPECT_LE(messages.shown.size(), 1u);
    return messages.shown.empty() ? "" : messages.shown[0].text;
  }
  std::string When() { return system.GeneralDate(*system.now); }
};

// A run's records have their exact bytes; the Logs page lists them one line each, the last
// selected, also from a log whose writer was stopped mid-line. A log that cannot be opened
// fails quietly.
TEST_F(LogTest, RecordsHaveTheirExactBytesAndTheLogPageShowsOneLineEach) {
  testing::FakeMainView view;
  FillLogPage(view);  // no log yet
  EXPECT_EQ(view.ListCount(Control::List1), 0);
  EXPECT_EQ(view.ListIndex(Control::List1), -1);
  ASSERT_TRUE(AppendLog(LogFilePath(), LogSeparator()));  // the first append creates the file
  ASSERT_TRUE(AppendLog(LogFilePath(), LogEvent(" Start Backup Profile J\xF6rg's Arbeit Data...")));
  ASSERT_TRUE(AppendLog(LogFilePath(), LogClosingEvent(" Backup Profile J\xF6rg's Arbeit Data was Completed!")));
  std::string text;
  Files().ReadAll(LogFilePath(), &text);
  EXPECT_EQ(text, std::string(84, '.') + "\r\r\n" +                                      //
                      When() + " Start Backup Profile J\xF6rg's Arbeit Data...\n\r\n" +  //
                      When() + " Backup Profile J\xF6rg's Arbeit Data was Completed!\r\r\n");
  EXPECT_FALSE(AppendLog(JoinPath(dir.path(), "no-folder\\brlog.dat"), LogSeparator()));

  Files().AppendBytes(LogFilePath(), "cut\rshort");
  // An event's lone LF stays in its line.
  const std::vector<std::string> lines = {std::string(84, '.'),
                                          "",
                                          When() + " Start Backup Profile J\xF6rg's Arbeit Data...\n",
                                          When() + " Backup Profile J\xF6rg's Arbeit Data was Completed!",
                                          "",
                                          "cut",
                                          "short"};
  FillLogPage(view);  // showing the page again lists each record once: MainWindowTest
  ASSERT_EQ(view.ListCount(Control::List1), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(view.ListItem(Control::List1, i), lines[i]) << i;
  EXPECT_EQ(view.ListIndex(Control::List1), 6);
}

std::string Summary(const ScheduledRun& run) {
  const char* outcomes[] = {"completed", "items failed", "not completed", "unfinished"};
  std::string items;
  for (const std::string& item : run.failedItems) items += item + ";";
  return std::string(outcomes[static_cast<int>(run.outcome)]) + "|" + run.identity + "|" + run.file + "|" + items +
         "|" + run.reason;
}

TEST_F(LogTest, ScheduledRunsAreToldApartByTheirStartAndClosingRecords) {
  const std::string window =
      Records({">", "= Start Backup Profile Main Data...", "= Backup File is C:\\w.soe", "= Backup Rules Fail!",
               "! Backup Profile Main Data was Completed!", ">", "= Start Retore Data to Profile Work",
               "= Restore Rules Fail!", "! Restore Data to Profile Work was Completed!"});
  const struct {
    const char* what;
    std::string log;
    Strings runs;
  } cases[] = {
      {"completed", Run({"+Accounts", "+Mails"}, "done"), {"completed|Main|C:\\b\\m.soe||"}},
      {"written without two items",
       Run({"-Rules", "+Accounts", "-Mails"}, "done"),
       {"items failed|Main|C:\\b\\m.soe|Rules;Mails;|"}},
      {"not written, with the reason",
       Run({"+Accounts"}, "not done"),
       {"not completed|Main|C:\\b\\m.soe||No folder \"C:\\b\""}},
      {"ended, then the next one",
       Run({"+Accounts"}, "") + Run({}, "done"),
       {"unfinished|Main|C:\\b\\m.soe||", "completed|Main|C:\\b\\m.soe||"}},
      {"ended, then a backup and a restore in the window",
       Run({"+Accounts"}, "") + window,
       {"unfinished|Main|C:\\b\\m.soe||"}},
      {"the window's runs alone", window, {}},
  };
  for (const auto& c : cases) {
    Strings runs;
    for (const ScheduledRun& run : ScheduledRuns(c.log, 0)) runs.push_back(Summary(run));
    EXPECT_EQ(runs, c.runs) << c.what;
  }
}

TEST_F(LogTest, TheWindowTellsOfFailedAndEndedRunsOnceAndTheFirstTimeOnlySinceTheLastGoodOne) {
  EXPECT_EQ(Told(), "");  // no log: looked at all the same
  EXPECT_EQ(ReadINI(SettingsFilePath(), "autobackup", "reportedlog"), "0");
  WriteINI(SettingsFilePath(), "autobackup", "reportedlog", "");  // as before this version
  Append(Run({}, "not done") + Run({}, "done") + Run({"-Rules"}, "done") + Run({"+Accounts"}, ""));
  const std::string at = When();
  EXPECT_EQ(Told(),
            "2 scheduled backups did not succeed:\r\n\r\n"
            "The scheduled backup of Main started " +
                at +
                " wrote C:\\b\\m.soe, but could not back up: Rules."
                "\r\n\r\nThe scheduled backup of Main started " +
                at +
                " did not finish: it was ended while it ran "
                "(the computer was shut down, or the task was stopped), so the backup file C:\\b\\m.soe was not "
                "written.\r\n\r\nThe Logs page shows every run.");
  EXPECT_EQ(messages.shown[0].icon, platform::MessageIcon::Exclamation);
  // The log, and with it the Logs page, says so too.
  std::string log;
  platform::Files().ReadAll(LogFilePath(), &log);
  const std::string note = Records({"= Scheduled backup of Main started " + at + " did not finish!"});
  EXPECT_EQ(log.substr(log.size() - note.size()), note);
  EXPECT_EQ(ReadINI(SettingsFilePath(), "autobackup", "reportedlog"), std::to_string(log.size()));
  EXPECT_EQ(Told(), "");

  Append(Run({}, "not done"));
  EXPECT_EQ(Told(), "A scheduled backup did not succeed:\r\n\r\nThe scheduled backup of Main started " + at +
                        " was not completed: the backup file C:\\b\\m.soe was not written (No folder \"C:\\b\")."
                        "\r\n\r\nThe Logs page shows every run.");

  // A run without its end while a run holds the mark may still be running: told later.
  Append(Run({"+Accounts"}, ""));
  std::unique_ptr<platform::HeldFile> running = platform::Files().Hold(JoinPath(dir.path(), "quarnel.run"), false);
  EXPECT_EQ(Told(), "");
  running.reset();
  EXPECT_NE(Told().find("did not finish"), std::string::npos);
}

}  // namespace
}  // namespace quarnel::app
