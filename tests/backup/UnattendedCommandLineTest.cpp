// The scheduled task's command line, read by position, and the dated name of its file.
#include <gtest/gtest.h>

#include <optional>

#include "backup/UnattendedCommandLine.h"

namespace quarnel::backup {
namespace {

TEST(UnattendedCommandLine, FieldsAreTakenByPositionAndDatedNamesReplaceTheLastFourCharacters) {
  const struct {
    const char* commandLine;
    const char* fields;  // sf|xm|ps|bf, or null when the line is unusable
  } cases[] = {
      {"sf=Workxm=11111111ps=s3cret wordbf=D:\\My Backups\\work;2026.soe",
       "Work|11111111|s3cret word|D:\\My Backups\\work;2026.soe"},
      // Whatever precedes the first key, and the key names themselves, are not examined.
      {"--ab=Workcd=101ef=pwgh=x.soe", "Work|101|pw|x.soe"},
      // A password holding "=" shifts every later field: the file becomes "b".
      {"sf=Wxm=1ps=a=bbf=f.soe", "W|1||b"},
      {"sf=xm=11111111ps=bf=x.soe", nullptr},  // empty sf
      {"sf=Wxm=ps=bf=x.soe", nullptr},         // empty xm
      {"sf=Wxm=11111111ps=pbf=", nullptr},     // empty bf
      {"sf=Wxm=11111111ps=p", nullptr},        // four parts
      {"", nullptr},
      {"sf=W=x=y=z", nullptr},  // parts shorter than the two characters to drop come out empty
  };
  for (const auto& c : cases) {
    std::optional<UnattendedOptions> o = ParseUnattendedCommandLine(c.commandLine);
    ASSERT_EQ(o.has_value(), c.fields != nullptr) << c.commandLine;
    if (o) {
      EXPECT_EQ(o->sf + "|" + o->xm + "|" + o->ps + "|" + o->bf, c.fields);
    }
  }
  EXPECT_EQ(DatedBackupPath("D:\\b\\backup.zip1", {2026, 3, 3, 14, 5, 59}), "D:\\b\\backup.-03-03-2026-14-05.soe");
  EXPECT_EQ(DatedBackupPath("x", {2027, 12, 31, 0, 0, 0}), "-12-31-2027-00-00.soe");
}

}  // namespace
}  // namespace quarnel::backup
