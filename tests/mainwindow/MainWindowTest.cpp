// frmMain under Wine: its pages, controls, identities, Logs page and skin,
// and the commands that open another window modal to it or end it.
#include "MainWindowFixture.h"
#include "schedule/ScheduleWindow.h"
#include "settingsui/SettingsWindow.h"

namespace quarnel::app {
namespace {

// What the code makes of the window: F1 typed in a field reaches the help through the
// program's loop, and the view's calls reach the controls.
TEST_F(MainWindowTest, OpensWithoutIdentitiesAndItsViewCallsReachTheControls) {
  Open();
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_FALSE(IsWindowEnabled(Handle(Control::cmdApply)));
  MSG key = {Handle(Control::txtAttachInfo), WM_KEYDOWN, VK_F1, 0x003B0001, 0, {0, 0}};
  EXPECT_TRUE(window_->PreTranslate(key));
  Pump();
  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].commandLine, "C:\\WINDOWS\\hh.exe " + dir.path() + "\\help.chm");

  // The protection box opens the password fields (their colours: MainWindowLogicTest).
  Click(Control::ifprotect);
  for (Control c : {Control::txtPassword, Control::txtPassword2}) EXPECT_TRUE(IsWindowEnabled(Handle(c)));

  // Restore boxes wait for a backup file.
  EXPECT_FALSE(window_->ItemEnabled(ItemSet::Restore, 3));
  window_->SetItemEnabled(ItemSet::Restore, 3, true);
  EXPECT_TRUE(IsWindowEnabled(Item(ItemSet::Restore, 3)));
  window_->HideWindow();
  EXPECT_FALSE(IsWindowVisible(main_));
}

TEST_F(MainWindowTest, PageSwitchingShowsOnePageAndListsTheLogOnce) {
  AddIdentity("{00000000-0000-0000-0000-00000000000A}", "Main Identity");
  AppendLog(LogFilePath(), LogSeparator());
  AppendLog(LogFilePath(), LogEvent(" Backup Rules Succeeded!"));
  Open();
  EXPECT_EQ(window_->CurrentPage(), Page::Backup);
  for (int page : {2, 2, 1, 3, 0}) {
    ChooseTab(page);
    EXPECT_EQ(window_->CurrentPage(), static_cast<quarnel::app::Page>(page));
    for (int other = 0; other < 4; ++other) {
      EXPECT_EQ(IsWindowVisible(Page(other)) != FALSE, other == page) << "page " << page << ", other " << other;
    }
    // However often the Logs page is shown, each record once, the last one chosen.
    if (page == 2) {
      EXPECT_EQ(SendMessageA(Handle(Control::List1), LB_GETCOUNT, 0, 0), 3);
      EXPECT_EQ(SendMessageA(Handle(Control::List1), LB_GETCURSEL, 0, 0), 2);
    }
  }
  // The logic's own page choice moves the pages without a second page step.
  window_->ShowPage(Page::Logs);
  EXPECT_TRUE(IsWindowVisible(Page(2)));
  EXPECT_FALSE(IsWindowVisible(Page(0)));
  EXPECT_EQ(window_->Text(Control::cmdApply), "Backup Now");
}

// The identity step through the real window: what the lists hold and which boxes are offered
// is IdentitiesTest's, natively; here, that a choice in either list reaches the logic.
TEST_F(MainWindowTest, ChoosingAnIdentityResetsItsItemsAndNamesTheBackup) {
  system.now = platform::LocalTime{2026, 12, 5, 10, 0, 0};
  AddIdentity("{00000000-0000-0000-0000-00000000000A}", "Main Identity");
  AddIdentity("{00000000-0000-0000-0000-00000000000B}", "Work");
  testing::SeedKey(platform::kHkeyCurrentUser,
                   "Identities\\{00000000-0000-0000-0000-00000000000B}\\Software\\"
                   "Microsoft\\Internet Account Manager\\Accounts");
  Open();
  auto choose = [&](Control list, int page, int id, int index) {
    SendMessageA(Handle(list), CB_SETCURSEL, index, 0);
    SendMessageA(Page(page), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Handle(list)));
    Pump();
  };
  choose(Control::cbTarget, 1, IDC_CBTARGET, 1);
  SendMessageA(main_, WM_ACTIVATE, WA_ACTIVE, 0);  // without a command line: nothing happens
  Pump();
  EXPECT_EQ(state_.RestoreTargetIndex, 1);
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_FALSE(quitPosted_);
  EXPECT_FALSE(IsWindowEnabled(Item(ItemSet::Backup, 0)));  // the first identity has no accounts of its own
  SendMessageA(Item(ItemSet::Backup, 2), BM_CLICK, 0, 0);
  choose(Control::cbSource, 0, IDC_CBSOURCE, 1);
  EXPECT_TRUE(IsWindowEnabled(Item(ItemSet::Backup, 0)));
  EXPECT_EQ(SendMessageA(Item(ItemSet::Backup, 2), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(WindowText(Handle(Control::txtTargetFile)), dir.File("quarnel-Work-12-05-2026.soe"));
  EXPECT_EQ(state_.TargetPath, dir.File("quarnel-Work-12-05-2026.soe"));
}

template <class Window>
HWND OpenWindow() {
  return Window::Current() ? Window::Current()->Handle() : nullptr;
}

// Each window opens owned by frmMain, which stays disabled until the window is gone (the
// keyboard reaches the commands as F1 does above).
TEST_F(MainWindowTest, WindowsOpenModalFromTheButtonAndTheMenu) {
  Open();
  const struct {
    const char* way;
    std::function<void()> open;
    HWND (*find)();
  } ways[] = {
      {"about button", [&] { Click(Control::cmdAbout); }, AboutWindow::Current},
      {"task scheduler menu", [&] { Command(IDM_TASKSCHEDULER); }, OpenWindow<schedule::ScheduleWindow>},
      {"settings menu", [&] { Command(IDM_SETTINGS); }, OpenWindow<settingsui::SettingsWindow>},
  };
  for (const auto& w : ways) {
    SCOPED_TRACE(w.way);
    bool ownedAndDisabling = false;
    ModalProbe probe(w.find, [&](HWND opened) {
      ownedAndDisabling = !IsWindowEnabled(main_) && GetWindow(opened, GW_OWNER) == main_;
    });
    w.open();
    EXPECT_TRUE(probe.seen());
    EXPECT_TRUE(ownedAndDisabling);
    EXPECT_EQ(w.find(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(main_));
  }
}

TEST_F(MainWindowTest, QuitByButtonMenuOrFrameEndsTheWindowAndTheLoop) {
  for (int way = 0; way < 3; ++way) {
    quitPosted_ = false;
    Open();
    if (way == 0) Click(Control::cmdQuit);
    if (way == 1) Command(IDM_QUIT);
    if (way == 2) {
      SendMessageA(main_, WM_CLOSE, 0, 0);
      Pump();
    }
    EXPECT_FALSE(IsWindow(main_)) << way;
    EXPECT_EQ(window_->Handle(), nullptr);
    EXPECT_TRUE(quitPosted_) << way;
    window_.reset();
  }
}

// The skin as every window that asks applies it: its parsing is SkinTest's, natively.
TEST_F(MainWindowTest, TheSkinColoursAndFontsEveryWindowThatAsks) {
  ASSERT_TRUE(CreateDirectoryA((dir.path() + "\\skins").c_str(), nullptr));
  ASSERT_TRUE(platform::Files().WriteAll(dir.path() + "\\skins\\frmmain.skn",
                                         "[Colors]\r\nWindow=#102030\r\nText=#A0B0C0\r\n[Font]\r\n"
                                         "Face=Courier New\r\nSize=10\r\n"));
  Open();
  HDC dc = CreateCompatibleDC(nullptr);
  auto colour = [&](HWND parent, UINT message, HWND control) {
    return BrushColour(SendMessageA(parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  };
  EXPECT_EQ(colour(Page(0), WM_CTLCOLORDLG, Page(0)), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(colour(Page(0), WM_CTLCOLORSTATIC, GetDlgItem(Page(0), IDC_BACKUPFRAME)), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(GetTextColor(dc), RGB(0xA0, 0xB0, 0xC0));
  LOGFONTA font = {};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Handle(Control::cmdApply), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, "Courier New");

  COLORREF aboutColour = CLR_INVALID;
  ModalProbe probe(AboutWindow::Current, [&](HWND about) { aboutColour = colour(about, WM_CTLCOLORDLG, about); });
  Click(Control::cmdAbout);
  EXPECT_EQ(aboutColour, RGB(0x10, 0x20, 0x30));
  DeleteDC(dc);
}

}  // namespace
}  // namespace quarnel::app
