#include <gtest/gtest.h>

#include "mailclient/MailClient.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingProcesses.h"

namespace quarnel::mailclient {
namespace {

// Starting the App Paths program minimized and expanding its folder are checked against real
// processes under Wine (MailClientProcessTest); here, which names count as the mail client.
TEST(MailClientTest, EndsEveryInstanceInAnyLetterCaseAndStartsNothingWithoutAnAppPathsEntry) {
  platform::MemoryRegistry registry;
  platform::RecordingProcesses processes;
  platform::ScopedServices scope({.registry = &registry, .processes = &processes});
  processes.running = {{4, "explorer.exe"},
                       {10, "msimn.exe"},
                       {11, "MSIMN.EXE"},
                       {12, "msimn.exe.bak"},
                       {13, std::string("Msimn.Exe\0junk", 14)}};
  EndMailClient();
  EXPECT_EQ(processes.terminated, (std::vector<std::uint32_t>{10, 11, 13}));
  EndMailClient();  // none left: nothing more happens
  EXPECT_EQ(processes.terminated.size(), 3u);
  processes.snapshotFails = true;
  EndMailClient();
  StartMailClient();
  EXPECT_TRUE(processes.started.empty());
}

}  // namespace
}  // namespace quarnel::mailclient
