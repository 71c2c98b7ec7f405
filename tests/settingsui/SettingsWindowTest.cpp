// Frmsettings in this process under Wine: the real dialog and its pages, driven from inside
// its modal loop; settings.dat through the profile functions and the start-up value through
// the real registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "app/Settings.h"
#include "app/Win32Controls.h"
#include "mainwindow/Resource.h"
#include "settingsui/SettingsResource.h"
#include "settingsui/SettingsWindow.h"
#include "support/MainMenuProbe.h"
#include "support/ModalProbe.h"
#include "support/RecordedSeams.h"

namespace quarnel::settingsui {
namespace {

using C = SettingsControl;
using testing::ModalProbe;

HWND OpenWindow() {
  SettingsWindow* window = SettingsWindow::Current();
  return window != nullptr ? window->Handle() : nullptr;
}

// The start-up value in the real registry: its type and bytes, or nothing.
std::optional<std::pair<DWORD, std::string>> RunValue() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  char data[1024];
  DWORD type = 0, size = sizeof data;
  LONG result = RegQueryValueExA(key, kRunValueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::make_pair(type, std::string(data, size));
}

void DeleteRunValue() {
  HKEY key;
  if (RegOpenKeyA(HKEY_CURRENT_USER, kRunKey, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, kRunValueName);
  RegCloseKey(key);
}

class SettingsWindowTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  SettingsWindowTest() { DeleteRunValue(); }
  ~SettingsWindowTest() override { DeleteRunValue(); }

  void Run(std::function<void(SettingsWindow&)> script) {
    ModalProbe probe(OpenWindow, [&](HWND) { script(*SettingsWindow::Current()); });
    SettingsWindow::ShowModal(GetModuleHandleA(nullptr), nullptr);
    EXPECT_TRUE(probe.seen());
    EXPECT_EQ(SettingsWindow::Current(), nullptr);
  }

  static void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

  std::string SettingsBytes() {
    std::string text;
    platform::Files().ReadAll(app::SettingsFilePath(), &text);
    return text;
  }

  // The start-up value goes to the real registry.
  platform::ScopedServices realRegistry_{{.registry = platform::DefaultServices().registry}};
};

TEST_F(SettingsWindowTest, OpensOnItsFirstPageWithEverythingOnWhenThereAreNoSettings) {
  Run([&](SettingsWindow& w) {
    EXPECT_EQ(app::WindowText(w.Handle()), "Settings");
    const char* tabs[] = {"General", "Backup", " Scheduled Backup"};
    ASSERT_EQ(SendMessageA(w.Tabs(), TCM_GETITEMCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; ++i) {
      char text[32] = {};
      TCITEMA item = {};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(w.Tabs(), TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
      EXPECT_STREQ(text, tabs[i]);
      EXPECT_EQ((GetWindowLongA(w.Page(i), GWL_STYLE) & WS_VISIBLE) != 0, i == 0) << i;
    }
    // Each control on its page, with its caption.
    const std::tuple<C, int, const char*> controls[] = {
        {C::Check1, 0, "Start software on Windows start up"},
        {C::Check3, 0, "Check backup file after backup procedure"},
        {C::Check6, 0, "Run Outlook Express after backup finish"},
        {C::Check7, 0, "Run Outlook Express after restore finish"},
        {C::Check2, 0, "Burn Backup file to CD/DVD after backup finish"},
        {C::Check8, 1, "Automatically generate backup file name"},
        {C::Check5, 1, "Open folder after backup finishe"},
        {C::Check4, 1, "If Outlook locks a file then automatically close Outlook Express "},
        {C::Option1, 2, "Replace to default AutoBackup file"},
        {C::Option2, 2, "Auto Backup to a new file"},
    };
    for (const auto& [control, page, caption] : controls) {
      EXPECT_EQ(GetParent(w.ControlHandle(control)), w.Page(page)) << caption;
      EXPECT_EQ(w.Text(control), caption);
      EXPECT_EQ(w.Checked(control), control != C::Option2) << caption;
    }
    EXPECT_EQ(GetParent(w.ControlHandle(C::Text1)), w.Page(1));
    EXPECT_EQ(w.Text(C::Text1), dir.path());
    const std::pair<int, const char*> frames[] = {{0, "General"}, {1, "Backup"}, {2, "Bacukup Files"}};
    for (const auto& [page, caption] : frames) {
      HWND frame = FindWindowExA(w.Page(page), nullptr, "Button", caption);
      ASSERT_NE(frame, nullptr) << caption;
      EXPECT_EQ(GetWindowLongA(frame, GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    }
    EXPECT_NE(FindWindowExA(w.Page(1), nullptr, "Static", "De&fault folder for backups"), nullptr);
    // The folder button shows a picture.
    EXPECT_NE(SendMessageA(GetDlgItem(w.Page(1), IDC_SET_COMMAND1), BM_GETIMAGE, IMAGE_ICON, 0), 0);
    EXPECT_EQ(app::WindowText(GetDlgItem(w.Handle(), IDOK)), "OK");
    EXPECT_EQ(app::WindowText(GetDlgItem(w.Handle(), IDCANCEL)), "Cancel");

    // A click on a tab shows that page alone.
    SendMessageA(w.Tabs(), TCM_SETCURSEL, 2, 0);
    NMHDR header = {w.Tabs(), IDC_SET_SSTAB1, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(w.Handle(), WM_NOTIFY, IDC_SET_SSTAB1, reinterpret_cast<LPARAM>(&header));
    for (int i = 0; i < 3; ++i) EXPECT_EQ((GetWindowLongA(w.Page(i), GWL_STYLE) & WS_VISIBLE) != 0, i == 2) << i;
  });
  EXPECT_FALSE(platform::Files().FileExists(app::SettingsFilePath()));
}

TEST_F(SettingsWindowTest, OkWritesTheTenKeysAndTheStartUpValueAndClearingItRemovesTheValue) {
  Run([&](SettingsWindow& w) {
    Click(w.ControlHandle(C::Option2));
    EXPECT_FALSE(w.Checked(C::Option1));
    Click(w.ControlHandle(C::Check2));
    Click(GetDlgItem(w.Handle(), IDOK));
  });
  EXPECT_TRUE(messages.shown.empty());
  const std::string folder = dir.path();
  EXPECT_EQ(SettingsBytes(),
            "[Backup]\r\nbackupfolder=" + folder +
                "\r\nautocloseoutlook=1\r\nopenfolderbackup=1\r\nautomgeneratefile=1\r\n"
                "[General]\r\nstartonwindows=1\r\ncheckbackupfile=1\r\nrunoutlookafterbackup=1\r\n"
                "runoutlookafterrestore=1\r\nburndvd=0\r\n[autobackup]\r\nautobackupfile=1\r\n");
  const std::string command = "\"" + folder + "\\quarnel.exe\"";
  EXPECT_EQ(RunValue(), std::make_pair(static_cast<DWORD>(REG_SZ), command + '\0'));

  Run([&](SettingsWindow& w) {
    EXPECT_TRUE(w.Checked(C::Option2));
    EXPECT_FALSE(w.Checked(C::Check2));
    Click(w.ControlHandle(C::Check1));
    Click(GetDlgItem(w.Handle(), IDOK));
  });
  EXPECT_EQ(RunValue(), std::nullopt);
  EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "General", "startonwindows"), "0");
}

TEST_F(SettingsWindowTest, TheFolderPickerBelongsToTheSettingsWindowAndCancellingItEmptiesTheField) {
  HWND pickerOwner = nullptr;
  std::string pickerTitle;
  Run([&](SettingsWindow& w) {
    HWND dialog = w.Handle();
    {
      ModalProbe picker([dialog] { return ModalProbe::OwnedBy(dialog); }, [&](HWND p) {
        pickerOwner = GetWindow(p, GW_OWNER);
        HWND title = FindWindowExA(p, nullptr, "Static", "Quarnel Backup");
        if (title != nullptr) pickerTitle = app::WindowText(title);
      });
      Click(GetDlgItem(w.Page(1), IDC_SET_COMMAND1));
      EXPECT_TRUE(picker.seen());
    }
    EXPECT_EQ(w.Text(C::Text1), "");
    Click(GetDlgItem(dialog, IDOK));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Please enter backup folder.");
    EXPECT_EQ(messages.shown[0].icon, platform::MessageIcon::Critical);
    EXPECT_EQ(SettingsWindow::Current(), &w);
  });
  EXPECT_EQ(pickerTitle, "Quarnel Backup");
  EXPECT_NE(pickerOwner, nullptr);
  EXPECT_FALSE(platform::Files().FileExists(app::SettingsFilePath()));
}

TEST_F(SettingsWindowTest, CancelEscAndTheFrameLeaveEverythingAsItWas) {
  for (int way = 0; way < 3; ++way) {
    Run([&](SettingsWindow& w) {
      Click(w.ControlHandle(C::Check1));
      Click(w.ControlHandle(C::Option2));
      if (way == 0) Click(GetDlgItem(w.Handle(), IDCANCEL));
      if (way == 1) SendMessageA(w.Handle(), WM_CLOSE, 0, 0);
      if (way == 2) {
        MSG key = {w.ControlHandle(C::Check1), WM_KEYDOWN, VK_ESCAPE, 0x00010001, 0, {0, 0}};
        IsDialogMessageA(w.Handle(), &key);
      }
    });
  }
  EXPECT_FALSE(platform::Files().FileExists(app::SettingsFilePath()));
  EXPECT_EQ(RunValue(), std::nullopt);
}

TEST_F(SettingsWindowTest, TheMainWindowsMenuOpensItModalToTheMainWindow) {
  platform::ScopedServices noIdentities({.registry = &registry});  // the main window says so, and goes on
  testing::OpenedFromMenu opened = testing::OpenFromMainMenu(IDM_SETTINGS, OpenWindow);
  EXPECT_TRUE(opened.seen);
  EXPECT_TRUE(opened.ownedByMain);
  EXPECT_TRUE(opened.mainDisabled);
  EXPECT_TRUE(opened.mainEnabledAfter);
}

}  // namespace
}  // namespace quarnel::settingsui
