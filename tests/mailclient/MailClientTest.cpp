#include <gtest/gtest.h>

#include "mailclient/MailClient.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingProcesses.h"
#include "support/RegistrySeed.h"

namespace quarnel::mailclient {
namespace {

class MailClientTest : public ::testing::Test {
 protected:
  MailClientTest() : scope_({.registry = &registry_, .processes = &processes_}) {}
  void SetAppPath(const std::string& folder) {
    testing::SeedValue(platform::kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe", "Path", folder,
                       platform::kRegExpandSz);
  }

  platform::MemoryRegistry registry_;
  platform::RecordingProcesses processes_;
  platform::ScopedServices scope_;
};

TEST_F(MailClientTest, EndsEveryInstanceInAnyLetterCase) {
  processes_.running = {{4, "explorer.exe"},
                        {10, "msimn.exe"},
                        {11, "MSIMN.EXE"},
                        {12, "msimn.exe.bak"},
                        {13, std::string("Msimn.Exe\0junk", 14)}};
  EndMailClient();
  EXPECT_EQ(processes_.terminated, (std::vector<std::uint32_t>{10, 11, 13}));
  EndMailClient();  // none left: nothing more happens
  EXPECT_EQ(processes_.terminated.size(), 3u);
  processes_.snapshotFails = true;
  EndMailClient();
}

// Expanding the folder's variables is the registry's own (checked under Wine).
TEST_F(MailClientTest, StartsTheAppPathsProgramMinimized) {
  StartMailClient();  // no App Paths entry: nothing starts
  EXPECT_TRUE(processes_.started.empty());
  SetAppPath("D:\\Programme\\Outlook Express");
  StartMailClient();
  ASSERT_EQ(processes_.started.size(), 1u);
  EXPECT_EQ(processes_.started[0].commandLine, "\"D:\\Programme\\Outlook Express\\msimn.exe\"");
  EXPECT_EQ(processes_.started[0].state, platform::WindowState::Minimized);
}

}  // namespace
}  // namespace quarnel::mailclient
