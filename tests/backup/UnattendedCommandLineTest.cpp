// The scheduled task's command line, read by position.
#include <gtest/gtest.h>

#include "backup/UnattendedCommandLine.h"

namespace quarnel::backup {
namespace {

struct ParseCase {
  const char* commandLine;
  bool usable;
  const char *sf, *xm, *ps, *bf;
};

TEST(UnattendedCommandLine, FieldsAreTakenByPosition) {
  const ParseCase cases[] = {
      {"sf=Main Identityxm=10000001ps=bf=C:\\b\\x.soe", true, "Main Identity", "10000001", "", "C:\\b\\x.soe"},
      {"sf=Workxm=11111111ps=s3cret wordbf=D:\\My Backups\\work.soe", true, "Work", "11111111", "s3cret word",
       "D:\\My Backups\\work.soe"},
      // Whatever precedes the first key, and the key names themselves, are not examined.
      {"--ab=Workcd=101ef=pwgh=x.soe", true, "Work", "101", "pw", "x.soe"},
      // A password holding "=" shifts every later field: the file becomes "b".
      {"sf=Wxm=1ps=a=bbf=f.soe", true, "W", "1", "", "b"},
      {"sf=xm=11111111ps=bf=x.soe", false},   // empty sf
      {"sf=Wxm=ps=bf=x.soe", false},          // empty xm
      {"sf=Wxm=11111111ps=pbf=", false},      // empty bf
      {"sf=Wxm=11111111ps=p", false},         // four parts
      {"anything without equals", false},
      {"", false},
      {"sf=Wxm=1ps=bf=x.soe", true, "W", "1", "", "x.soe"},
      // Parts shorter than the two characters to drop come out empty.
      {"sf=W=x=y=z", false},
  };
  for (const ParseCase& c : cases) {
    std::optional<UnattendedOptions> options = ParseUnattendedCommandLine(c.commandLine);
    ASSERT_EQ(options.has_value(), c.usable) << c.commandLine;
    if (!c.usable) continue;
    EXPECT_EQ(options->sf, c.sf) << c.commandLine;
    EXPECT_EQ(options->xm, c.xm) << c.commandLine;
    EXPECT_EQ(options->ps, c.ps) << c.commandLine;
    EXPECT_EQ(options->bf, c.bf) << c.commandLine;
  }
}

TEST(UnattendedCommandLine, DatedNamesReplaceTheLastFourCharacters) {
  const platform::LocalTime at{2026, 3, 3, 14, 5, 59};
  EXPECT_EQ(DatedBackupPath("D:\\b\\x.soe", at), "D:\\b\\x-03-03-2026-14-05.soe");
  EXPECT_EQ(DatedBackupPath("D:\\b\\backup.zip1", at), "D:\\b\\backup.-03-03-2026-14-05.soe");
  EXPECT_EQ(DatedBackupPath("x", at), "-03-03-2026-14-05.soe");
  EXPECT_EQ(DatedBackupPath("C:\\a.soe", {2027, 12, 31, 0, 0, 0}), "C:\\a-12-31-2027-00-00.soe");
}

}  // namespace
}  // namespace quarnel::backup
