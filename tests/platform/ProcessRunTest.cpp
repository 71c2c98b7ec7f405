// Running a program hidden to its end, with a real child process under Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Services.h"

namespace quarnel::platform {
namespace {

std::string ChildPath() {
  std::string path = "Z:" QUARNEL_CHILD_PROGRAM;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TEST(RunHidden, WaitsAndGivesTheExitCodeAndAllOutputOfAHiddenChildAndStartsNoMissingProgram) {
  // More output than a pipe holds: the child must not block while nobody reads.
  FinishedRun run = Procs().RunHidden("\"" + ChildPath() + "\" 7 hello 200000");
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 7u);
  std::string head = "show=" + std::to_string(SW_HIDE) + " input=eof out=hello";
  EXPECT_EQ(run.output.substr(0, head.size()), head) << run.output.substr(0, 200);
  EXPECT_NE(run.output.find("err=hello"), std::string::npos);
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), 'x'), 200000);

  run = Procs().RunHidden("\"" + ChildPath() + "\" 0 again 0");
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_NE(run.output.find("out=again"), std::string::npos);

  run = Procs().RunHidden("\"C:\\no such folder\\nothing.exe\" 1");
  EXPECT_FALSE(run.started);
  EXPECT_TRUE(run.output.empty());
}

}  // namespace
}  // namespace quarnel::platform
