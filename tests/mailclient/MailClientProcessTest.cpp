// Ending and starting the mail client against real processes under Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "mailclient/MailClient.h"
#include "platform/Services.h"
#include "registry/ModReg.h"
#include "support/RegistrySeed.h"
#include "support/TempFolder.h"

namespace quarnel::mailclient {
namespace {

constexpr const char* kAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe";

std::string FakeClientPath() {
  std::string path = "Z:" QUARNEL_FAKE_MAILCLIENT;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

HANDLE Launch(const std::string& exe) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string line = "\"" + exe + "\"";
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  return info.hProcess;
}

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return false;
}

// The program of the App Paths entry starts minimized, and one call ends every instance,
// whatever the letter case of its file.
TEST(MailClientProcess, StartsTheAppPathsProgramMinimizedAndEndsInstancesOfEveryLetterCase) {
  testing::TempFolder dir;
  CreateDirectoryA(dir.File("Outlook Express").c_str(), nullptr);
  const std::string exe = dir.File("Outlook Express\\msimn.exe"), upper = dir.File("MSIMN.EXE");
  ASSERT_TRUE(CopyFileA(FakeClientPath().c_str(), exe.c_str(), FALSE)) << FakeClientPath();
  ASSERT_TRUE(CopyFileA(FakeClientPath().c_str(), upper.c_str(), FALSE));
  SetEnvironmentVariableA("QUARNEL_TEST_OE", dir.path().c_str());
  testing::SeedValue(platform::kHkeyLocalMachine, kAppPath, "Path", "%QUARNEL_TEST_OE%\\Outlook Express",
                     platform::kRegExpandSz);

  StartMailClient();
  HANDLE second = Launch(upper);
  ASSERT_TRUE(second);
  EXPECT_TRUE(WaitForFile(exe + ".shown" + std::to_string(SW_SHOWMINIMIZED))) << "not started minimized";
  ASSERT_TRUE(WaitForFile(upper + ".shown" + std::to_string(SW_SHOWDEFAULT)));

  EndMailClient();
  EXPECT_EQ(WaitForSingleObject(second, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(second, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(second);
  registry::DeleteKey(std::string("HKEY_LOCAL_MACHINE\\") + kAppPath);
  Sleep(300);  // let the ended programs release their files before the folder goes
}

}  // namespace
}  // namespace quarnel::mailclient
