// Frmsettings in this process under Wine: the real dialog and its pages, driven from inside
// its modal loop; settings.dat through the profile functions and the start-up value through
// the real registry. What the logic decides is tested natively.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "app/Settings.h"
#include "app/Win32Controls.h"
#include "settingsui/SettingsResource.h"
#include "settingsui/SettingsWindow.h"
#include "support/ModalProbe.h"
#include "support/RecordedSeams.h"

namespace quarnel::settingsui {
namespace {

using C = SettingsControl;
using testing::ModalProbe;

HWND OpenWindow() { return SettingsWindow::Current() ? SettingsWindow::Current()->Handle() : nullptr; }

// Whether the start-up value is in the real registry; removed when asked.
bool HasRunValue(bool remove = false) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
  bool found = RegQueryValueExA(key, kRunValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  if (remove) RegDeleteValueA(key, kRunValueName);
  RegCloseKey(key);
  return found;
}

class SettingsWindowTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  SettingsWindowTest() { HasRunValue(true); }
  ~SettingsWindowTest() override { HasRunValue(true); }

  void Run(std::function<void(SettingsWindow&)> script) {
    ModalProbe probe(OpenWindow, [&](HWND) { script(*SettingsWindow::Current()); });
    SettingsWindow::ShowModal(GetModuleHandleA(nullptr), nullptr);
    EXPECT_TRUE(probe.seen());
    EXPECT_EQ(SettingsWindow::Current(), nullptr);
  }
  static void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

  // The start-up value goes to the real registry.
  platform::ScopedServices realRegistry_{{.registry = platform::DefaultServices().registry}};
};

// A tab shows its page alone, and OK saves what the boxes show: every other box, found by its
// resource number on whichever page holds it, is cleared (what each key means is
// SettingsLogicTest's).
TEST_F(SettingsWindowTest, ATabShowsItsPageAloneAndOkSavesEachBoxUnderItsOwnKey) {
  Run([&](SettingsWindow& w) {
    for (int tab : {0, 2}) {
      SendMessageA(w.Tabs(), TCM_SETCURSEL, tab, 0);
      NMHDR header = {w.Tabs(), IDC_SET_SSTAB1, static_cast<UINT>(TCN_SELCHANGE)};
      SendMessageA(w.Handle(), WM_NOTIFY, IDC_SET_SSTAB1, reinterpret_cast<LPARAM>(&header));
      for (int i = 0; i < 3; ++i) EXPECT_EQ((GetWindowLongA(w.Page(i), GWL_STYLE) & WS_VISIBLE) != 0, i == tab) << i;
    }
    for (int box = 0; box < 8; box += 2) {
      HWND found = nullptr;
      for (int page = 0; page < 3 && found == nullptr; ++page) found = GetDlgItem(w.Page(page), IDC_SET_CHECK1 + box);
      ASSERT_NE(found, nullptr) << box;
      Click(found);
    }
    Click(w.ControlHandle(C::Option2));
    Click(GetDlgItem(w.Handle(), IDOK));
  });
  auto saved = [](const char* section, const char* key) { return app::ReadINI(app::SettingsFilePath(), section, key); };
  EXPECT_EQ(saved("General", "startonwindows") + saved("General", "checkbackupfile") +
                saved("backup", "openfolderbackup") + saved("General", "runoutlookafterrestore"),
            "0000");
  EXPECT_EQ(saved("General", "burndvd") + saved("backup", "autocloseoutlook") +
                saved("General", "runoutlookafterbackup") + saved("backup", "automgeneratefile") +
                saved("autobackup", "autobackupfile"),
            "11111");
  EXPECT_FALSE(HasRunValue());
}

TEST_F(SettingsWindowTest, TheFolderPickerBelongsToTheSettingsWindowAndCancellingItEmptiesTheField) {
  HWND pickerOwner = nullptr;
  Run([&](SettingsWindow& w) {
    HWND dialog = w.Handle();
    {
      ModalProbe picker([dialog] { return ModalProbe::OwnedBy(dialog); },
                        [&](HWND p) { pickerOwner = GetWindow(p, GW_OWNER); });
      Click(GetDlgItem(w.Page(1), IDC_SET_COMMAND1));
      EXPECT_TRUE(picker.seen());
    }
    EXPECT_EQ(w.Text(C::Text1), "");
    Click(GetDlgItem(dialog, IDOK));  // OK with the field empty
    ExpectOneMessage("Please enter backup folder.", platform::MessageIcon::Critical);
    EXPECT_EQ(SettingsWindow::Current(), &w);
  });
  EXPECT_NE(pickerOwner, nullptr);
}

// The frame's close box, like Esc and Cancel, reaches the dialog as IDCANCEL: nothing changed
// in the window is saved.
TEST_F(SettingsWindowTest, ClosingWithoutOkLeavesEverythingAsItWas) {
  const std::string before = testing::ReadFileBytes(app::SettingsFilePath());
  Run([&](SettingsWindow& w) {
    Click(w.ControlHandle(C::Check1));
    Click(w.ControlHandle(C::Option2));
    SendMessageA(w.Handle(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(testing::ReadFileBytes(app::SettingsFilePath()), before);
  EXPECT_FALSE(HasRunValue());
}

}  // namespace
}  // namespace quarnel::settingsui
