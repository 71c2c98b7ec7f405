// The task's days, start time and arguments, and finding the task in the tool's list.
#include <gtest/gtest.h>

#include <tuple>

#include "backup/UnattendedCommandLine.h"
#include "schedule/TaskCommands.h"

namespace quarnel::schedule {
namespace {

TEST(DayList, DaysInWeekOrderSundayWithoutCommaAndNoneMeansEveryDay) {
  using Days = std::array<bool, 7>;  // Monday to Sunday
  const std::pair<Days, const char*> cases[] = {
      {{}, "*"},
      {{true, true, true, true, true, true, true}, "Mon,Tue,Wed,Thu,Fri,Sat,Sun"},
      {{false, false, false, false, false, false, true}, "Sun"},
      {{true, false, false, false, false, false, true}, "Mon,Sun"},
      {{false, false, true, false, false, true, false}, "Wed,Sat"},
  };
  for (const auto& [days, expected] : cases) EXPECT_EQ(DayList(days), expected);
}

TEST(StartTimeText, TimesBecomeTwoDigitHoursAndMinutesOtherTextStaysAsTyped) {
  const std::pair<const char*, const char*> cases[] = {
      {"9:00", "09:00"},
      {"0:00", "00:00"},
      {"09:05", "09:05"},
      {" 7:15 ", "07:15"},
      {"9:00:59", "09:00"},
      {"9:00 PM", "21:00"},
      {"12:00 AM", "00:00"},
      {"12:30 pm", "12:30"},
      {"1:05am", "01:05"},
      // Not a time: handed over as typed, for the tool to refuse.
      {"24:00", "24:00"},
      {"9:60", "9:60"},
      {"nine", "nine"},
      {"", ""},
      {"13:00 PM", "13:00 PM"},
      {"9:00x", "9:00x"},
  };
  for (const auto& [typed, expected] : cases) EXPECT_EQ(StartTimeText(typed), expected) << typed;
}

// What the task hands the program is read back field for field by the unattended run; a
// value with "=" would not be, which is why the window refuses it.
TEST(TaskArguments, TheUnattendedRunReadsBackEveryField) {
  const TaskOptions fine[] = {
      {"J\xF6rg's Arbeit", "10100000", "", "\\\\server\\share\\outbackup-J\xF6rg's Arbeit.soe"},
      {"sf", "00000001", "bf", "D:\\ps xm.soe"},
  };
  for (const TaskOptions& options : fine) {
    std::optional<backup::UnattendedOptions> read = backup::ParseUnattendedCommandLine(TaskArguments(options));
    ASSERT_TRUE(read.has_value()) << TaskArguments(options);
    EXPECT_EQ(std::tie(read->sf, read->xm, read->ps, read->bf),
              std::tie(options.userName, options.items, options.password, options.targetFile));
  }
  std::optional<backup::UnattendedOptions> shifted =
      backup::ParseUnattendedCommandLine(TaskArguments({"a", "11111111", "x=y", "C:\\b.soe"}));
  EXPECT_TRUE(!shifted || shifted->ps != "x=y" || shifted->bf != "C:\\b.soe");
}

TEST(TaskListed, FindsTheTaskAsTheFirstFieldOfALineOnly) {
  EXPECT_TRUE(TaskListed("\"Quarnel AutoBackup\",\"09:00:00, 12/07/2026\",\"\"\r\n"));  // Windows XP
  EXPECT_TRUE(TaskListed("\"\\Other\",\"N/A\",\"Ready\"\r\n\"\\Quarnel AutoBackup\",\"N/A\",\"Ready\"\r\n"));
  EXPECT_FALSE(TaskListed(""));
  EXPECT_FALSE(TaskListed("\"\\Quarnel AutoBackup 2\",\"N/A\",\"Ready\"\r\n"));
  EXPECT_FALSE(TaskListed("\"\\Other\",\"runs \"Quarnel AutoBackup\"\",\"Ready\"\r\n"));
  EXPECT_FALSE(TaskListed("INFO: There are no scheduled tasks presently available.\r\n"));
}

}  // namespace
}  // namespace quarnel::schedule
