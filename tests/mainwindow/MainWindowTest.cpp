// frmMain's pages, controls and keyboard, its identities and its Logs page, under Wine.
#include "MainWindowFixture.h"

namespace quarnel::app {
namespace {

// Captions and menu texts are the resource file's; what is checked here is what the code
// makes of them.
TEST_F(MainWindowTest, OpensWithItsIconsPagesAndFieldsWithoutIdentitiesAndItsViewCallsReachTheControls) {
  Open();
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_NE(SendMessageA(main_, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(main_, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(SendMessageA(GetDlgItem(main_, IDC_SSTAB1), TCM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_NE(GetWindowLongA(Handle(Control::txtPassword), GWL_STYLE) & ES_PASSWORD, 0);
  EXPECT_FALSE(window_->Visible(Control::picCon3));
  EXPECT_FALSE(IsWindowEnabled(Handle(Control::cmdApply)));
  EXPECT_TRUE(IsWindowEnabled(main_));
  EXPECT_EQ(GetMenuState(GetSubMenu(GetMenu(main_), 0), IDM_BACKUP, MF_BYCOMMAND) & MF_GRAYED, 0u);
  // F1 typed in a field reaches the help through the program's loop.
  MSG key = {Handle(Control::txtAttachInfo), WM_KEYDOWN, VK_F1, 0x003B0001, 0, {0, 0}};
  EXPECT_TRUE(window_->PreTranslate(key));
  Pump();
  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].commandLine, "C:\\WINDOWS\\hh.exe " + dir.path() + "\\help.chm");

  // The colours the logic names for the password fields reach the painting.
  HDC dc = CreateCompatibleDC(nullptr);
  auto colourOf = [&](HWND field) {
    UINT message = IsWindowEnabled(field) ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC;
    return BrushColour(
        SendMessageA(GetParent(field), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
  };
  for (int colour : {COLOR_SCROLLBAR, COLOR_WINDOW, COLOR_SCROLLBAR}) {
    for (Control c : {Control::txtPassword, Control::txtPassword2}) {
      EXPECT_EQ(IsWindowEnabled(Handle(c)) != FALSE, colour == COLOR_WINDOW);
      EXPECT_EQ(colourOf(Handle(c)), GetSysColor(colour));
    }
    Click(Control::ifprotect);
  }
  DeleteDC(dc);

  // What the view does beyond storing: long lines scroll, '&' is no mnemonic, the panel covers
  // its page, restore boxes wait for a backup file.
  window_->AddListItem(Control::List1, std::string(300, 'x'));
  EXPECT_GT(SendMessageA(Handle(Control::List1), LB_GETHORIZONTALEXTENT, 0, 0), 0);
  window_->SetText(Control::SkinLabel11, "Add File C:\\a&b.dbx");
  EXPECT_EQ(window_->Text(Control::SkinLabel11), "Add File C:\\a&b.dbx");

  window_->SetVisible(Control::picCon3, true);
  EXPECT_TRUE(IsWindowVisible(Handle(Control::Label1)));
  RECT panel, page;
  GetWindowRect(Handle(Control::picCon3), &panel);
  GetWindowRect(Page(0), &page);
  EXPECT_TRUE(EqualRect(&panel, &page));
  EXPECT_EQ(GetWindow(Handle(Control::picCon3), GW_HWNDPREV), nullptr);  // on top

  for (int i = 0; i < kItemCount; ++i) EXPECT_FALSE(window_->ItemEnabled(ItemSet::Restore, i)) << i;
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
    if (page == 2) EXPECT_EQ(SendMessageA(Handle(Control::List1), LB_GETCOUNT, 0, 0), 3);
    if (page == 2) EXPECT_EQ(SendMessageA(Handle(Control::List1), LB_GETCURSEL, 0, 0), 2);
  }
  // Ctrl+Tab and Ctrl+Shift+Tab step through the pages, round the end.
  Command(IDM_PREVIOUSPAGE);
  EXPECT_EQ(window_->Text(Control::cmdApply), "Help");
  Command(IDM_NEXTPAGE);
  EXPECT_EQ(window_->CurrentPage(), Page::Backup);

  // The logic's own page choice moves the pages without a second page step.
  window_->ShowPage(Page::Logs);
  EXPECT_TRUE(IsWindowVisible(Page(2)));
  EXPECT_FALSE(IsWindowVisible(Page(0)));
  EXPECT_EQ(window_->Text(Control::cmdApply), "Backup Now");
}

TEST_F(MainWindowTest, ItemFramesAndBoxesOpenTheirOwnMenuOverThePageShown) {
  Open();

  // Where the menus open: over a frame of the page shown, nowhere else.
  auto centre = [](HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  };
  HWND backupFrame = GetDlgItem(Page(0), IDC_BACKUPFRAME);
  HWND restoreFrame = GetDlgItem(Page(1), IDC_RESTOREFRAME);
  EXPECT_EQ(window_->ItemFrameAt(centre(backupFrame)), ItemSet::Backup);
  EXPECT_EQ(window_->ItemFrameAt(centre(Item(ItemSet::Backup, 5))), ItemSet::Backup);
  EXPECT_EQ(window_->ItemFrameAt(centre(Handle(Control::cbSource))), std::nullopt);
  EXPECT_EQ(window_->ItemFrameAt(centre(restoreFrame)), std::nullopt);  // its page is not shown
  ChooseTab(1);
  EXPECT_EQ(window_->ItemFrameAt(centre(restoreFrame)), ItemSet::Restore);

  // A right click on a box opens its set's menu; its first entry, chosen from the keyboard,
  // ticks the set's boxes. A right click elsewhere opens nothing.
  ChooseTab(0);
  static HMENU opened = nullptr;
  static WNDPROC original = nullptr;
  opened = nullptr;
  original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      main_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_INITMENUPOPUP) {
          opened = reinterpret_cast<HMENU>(wp);
          PostMessageA(w, WM_KEYDOWN, VK_DOWN, 0);
          PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
        }
        return CallWindowProcA(original, w, m, wp, lp);
      })));
  HWND box = Item(ItemSet::Backup, 2);
  UINT_PTR guard = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  SendMessageA(box, WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
  KillTimer(nullptr, guard);
  Pump();
  EXPECT_EQ(opened, window_->ItemMenu(ItemSet::Backup));
  for (int i = 0; i < kItemCount; ++i) EXPECT_TRUE(window_->ItemChecked(ItemSet::Backup, i)) << i;
  opened = nullptr;
  SendMessageA(Page(0), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Page(0)), MAKELPARAM(1, 1));
  Pump();
  EXPECT_EQ(opened, nullptr);
  SetWindowLongPtrA(main_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}

TEST_F(MainWindowTest, KeyboardOrderAndMnemonics) {
  AddIdentity("{00000000-0000-0000-0000-00000000000A}", "Main Identity");  // cmdApply takes the keyboard
  Open();
  // Tab runs through the page in reading order, then the tab strip and the buttons.
  std::vector<HWND> expected = {Handle(Control::cbSource)};
  for (int i = 0; i < kItemCount; ++i) expected.push_back(Item(ItemSet::Backup, i));
  for (Control c : {Control::txtTargetFile, Control::cmdTargetFile, Control::txtAttachInfo, Control::ifprotect}) {
    expected.push_back(Handle(c));
  }
  expected.push_back(GetDlgItem(main_, IDC_SSTAB1));
  expected.push_back(Handle(Control::cmdApply));
  expected.push_back(Handle(Control::cmdAbout));
  expected.push_back(Handle(Control::cmdQuit));
  // Boxes of items that the identity lacks are disabled, and the keyboard passes them by.
  std::erase_if(expected, [](HWND w) { return !IsWindowEnabled(w); });
  std::vector<HWND> visited = {expected[0]};
  for (std::size_t i = 1; i < expected.size() + 1; ++i) {
    visited.push_back(GetNextDlgTabItem(main_, visited.back(), FALSE));
  }
  expected.push_back(expected[0]);  // and round again
  EXPECT_EQ(visited, expected);

  // No two controls that the keyboard can reach at once share an underlined letter.
  for (int page = 0; page < 4; ++page) {
    std::set<char> letters;
    std::vector<HWND> reachable = Descendants(Page(page));
    for (HWND w : {Handle(Control::cmdAbout), Handle(Control::cmdQuit)}) reachable.push_back(w);
    for (HWND w : reachable) {
      std::string text = TextOf(w);
      std::size_t at = text.find('&');
      if (at == std::string::npos || at + 1 >= text.size() || text[at + 1] == '&') continue;
      char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at + 1])));
      EXPECT_TRUE(letters.insert(letter).second) << "page " << page << ": " << text;
    }
  }
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
  EXPECT_EQ(TextOf(Handle(Control::txtTargetFile)), dir.File("quarnel-Work-12-05-2026.soe"));
  EXPECT_EQ(state_.TargetPath, dir.File("quarnel-Work-12-05-2026.soe"));
}

}  // namespace
}  // namespace quarnel::app