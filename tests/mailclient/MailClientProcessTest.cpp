// Ending and starting the mail client against real processes under Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "mailclient/MailClient.h"
#include "platform/Services.h"
#include "registry/ModReg.h"
#include "support/TempFolder.h"

namespace quarnel::mailclient {
namespace {

constexpr const char* kAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe";

std::string FakeClientPath() {
  std::string path = "Z:" QUARNEL_FAKE_MAILCLIENT;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
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

TEST(MailClientProcess, OneCallEndsInstancesOfEveryLetterCase) {
  testing::TempFolder dir;
  CreateDirectoryA(dir.File("a").c_str(), nullptr);
  CreateDirectoryA(dir.File("b").c_str(), nullptr);
  std::string lower = dir.File("a\\msimn.exe"), upper = dir.File("b\\MSIMN.EXE");
  ASSERT_TRUE(CopyFileA(FakeClientPath().c_str(), lower.c_str(), FALSE)) << FakeClientPath();
  ASSERT_TRUE(CopyFileA(FakeClientPath().c_str(), upper.c_str(), FALSE));
  HANDLE first = Launch(lower), second = Launch(upper);
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(WaitForFile(lower + ".started"));
  ASSERT_TRUE(WaitForFile(upper + ".started"));

  EndMailClient();
  for (HANDLE process : {first, second}) {
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process);
  }
}

TEST(MailClientProcess, StartsTheProgramOfTheAppPathMinimized) {
  testing::TempFolder dir;
  CreateDirectoryA(dir.File("Outlook Express").c_str(), nullptr);
  std::string exe = dir.File("Outlook Express\\msimn.exe");
  ASSERT_TRUE(CopyFileA(FakeClientPath().c_str(), exe.c_str(), FALSE));
  SetEnvironmentVariableA("QUARNEL_TEST_OE", dir.path().c_str());

  registry::DeleteKey(std::string("HKEY_LOCAL_MACHINE\\") + kAppPath);
  StartMailClient();  // no App Paths entry: nothing starts
  Sleep(300);
  EXPECT_EQ(GetFileAttributesA((exe + ".started").c_str()), INVALID_FILE_ATTRIBUTES);

  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kAppPath, &key), ERROR_SUCCESS);
  const char folder[] = "%QUARNEL_TEST_OE%\\Outlook Express";
  RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder);
  RegCloseKey(key);

  StartMailClient();
  ASSERT_TRUE(WaitForFile(exe + ".started"));
  HANDLE f = CreateFileA((exe + ".started").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char state[8] = {};
  DWORD got = 0;
  ReadFile(f, state, sizeof state - 1, &got, nullptr);
  CloseHandle(f);
  EXPECT_EQ(atoi(state), SW_SHOWMINIMIZED);

  EndMailClient();
  registry::DeleteKey(std::string("HKEY_LOCAL_MACHINE\\") + kAppPath);
  Sleep(300);  // let the ended program release its file before the folder goes
}

}  // namespace
}  // namespace quarnel::mailclient
