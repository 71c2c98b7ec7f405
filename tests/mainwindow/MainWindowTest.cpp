// frmMain's pages, controls and keyboard, its identities and its Logs page.
#include "MainWindowFixture.h"

namespace quarnel::app {
namespace {

TEST_F(MainWindowTest, OpensWithCaptionPagesMenusAndTheNoIdentitiesState) {
  Open();
  EXPECT_EQ(TextOf(main_), "Quarnel Backup V2.50");
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_NE(SendMessageA(main_, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(main_, WM_GETICON, ICON_SMALL, 0), 0);

  HWND tabs = GetDlgItem(main_, IDC_SSTAB1);
  ASSERT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
  const char* tabCaptions[] = {"Backup", "Restore", "Logs", "About"};
  for (int i = 0; i < 4; ++i) {
    char text[32] = {};
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, tabCaptions[i]);
  }

  // The menus, their commands and the short-cuts that they show.
  HMENU bar = GetMenu(main_);
  ASSERT_NE(bar, nullptr);
  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, UINT>>>> menus = {
      {"File",
       {{"Backup Now\tCtrl+B", IDM_BACKUP},
        {"Restore Now\tCtrl+R", IDM_RESTORE},
        {"Export Mail...\tCtrl+E", IDM_EXPORTMAIL},
        {"Quit\tCtrl+Q", IDM_QUIT}}},
      {"Option", {{"Task Scheduler\tCtrl+T", IDM_TASKSCHEDULER}, {"Settings\tCtrl+S", IDM_SETTINGS}}},
      {"Tools", {{"Backup Data to CD/DVD", IDM_BACKUPTOCD}}},
      {"Help", {{"Help\tF1", IDM_HELP}, {"Our Website", IDM_WEBSITE}, {"About\tCtrl+A", IDM_ABOUT}}},
  };
  ASSERT_EQ(GetMenuItemCount(bar), static_cast<int>(menus.size()));
  for (std::size_t m = 0; m < menus.size(); ++m) {
    EXPECT_EQ(Plain(MenuText(bar, static_cast<UINT>(m))), menus[m].first);
    HMENU sub = GetSubMenu(bar, static_cast<int>(m));
    std::vector<std::pair<std::string, UINT>> items;
    for (int i = 0; i < GetMenuItemCount(sub); ++i) {
      UINT id = GetMenuItemID(sub, i);
      if (id != 0) items.emplace_back(Plain(MenuText(sub, i)), id);  // separators have id 0
    }
    EXPECT_EQ(items, menus[m].second) << menus[m].first;
  }

  // Every control the product names is there, with its caption.
  EXPECT_EQ(window_->Text(Control::cmdApply), "BACKUP NOW");
  EXPECT_EQ(window_->Text(Control::cmdQuit), "Quit");
  EXPECT_EQ(window_->Text(Control::cmdAbout), "About");
  EXPECT_EQ(window_->Text(Control::cmdTargetFile), "Browse...");
  EXPECT_EQ(window_->Text(Control::cmdSourceFile), "Browse...");
  EXPECT_EQ(window_->Text(Control::ifprotect), "Protect backup file with password");
  EXPECT_EQ(window_->Text(Control::Label1), "Please Waiting");
  const char* backupItems[] = {"Accounts", "Address Book", "Rules", "Email/News Messages",
                               "Block Senders", "Signatures", "Stationeries", "OE Settings"};
  const char* restoreItems[] = {"Accounts", "Address Book", "Rules", "Email/News Messages",
                                "Block Senders", "Signatures", "Stationeries", "Settings"};
  for (int i = 0; i < kItemCount; ++i) {
    EXPECT_EQ(TextOf(Item(ItemSet::Backup, i)), backupItems[i]);
    EXPECT_EQ(TextOf(Item(ItemSet::Restore, i)), restoreItems[i]);
  }
  for (const char* label : {"What", "Items to backup", "Choose a Backup Filename", "Description", "Password:",
                            "Retype Password:"}) {
    EXPECT_NE(FindByText(Page(0), label), nullptr) << label;
  }
  for (const char* label : {"Restore to identity", "Items to restore", "Choose a Backup File to Restore From",
                            "Description"}) {
    EXPECT_NE(FindByText(Page(1), label), nullptr) << label;
  }
  for (Control c : {Control::txtTargetFile, Control::txtAttachInfo, Control::txtPassword, Control::txtPassword2,
                    Control::txtSourceFile, Control::txtFileInfo, Control::txtPOBinfo, Control::List1,
                    Control::SkinLabel11, Control::SkinLabel12, Control::pbshow, Control::lblAboutTitle}) {
    EXPECT_NE(Handle(c), nullptr);
  }
  EXPECT_NE(GetWindowLongA(Handle(Control::txtPassword), GWL_STYLE) & ES_PASSWORD, 0);
  EXPECT_NE(GetWindowLongA(Handle(Control::txtPassword2), GWL_STYLE) & ES_PASSWORD, 0);

  // The load step: progress panel hidden and reset; without identities, a message and no page action.
  EXPECT_FALSE(window_->Visible(Control::picCon3));
  PBRANGE range = {};
  SendMessageA(Handle(Control::pbshow), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
  EXPECT_EQ(window_->Progress(), 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Your Windows System have not install Outlook Express ");
  EXPECT_EQ(messages_.shown[0].title, "Quarnel Backup");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
  EXPECT_FALSE(IsWindowEnabled(Handle(Control::cmdApply)));
  EXPECT_EQ(SendMessageA(Handle(Control::cbSource), CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(Handle(Control::cbTarget), CB_GETCOUNT, 0, 0), 0);
  // Menus keep working without identities.
  EXPECT_TRUE(IsWindowEnabled(main_));
  EXPECT_EQ(GetMenuState(GetSubMenu(bar, 0), IDM_BACKUP, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

TEST_F(MainWindowTest, IdentitiesFillBothListsAndInteractiveActivationDoesNothing) {
  AddIdentity("{00000000-0000-0000-0000-00000000000A}", "Main Identity");
  AddIdentity("{00000000-0000-0000-0000-00000000000B}", "Work");
  Open();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(IsWindowEnabled(Handle(Control::cmdApply)));
  for (Control list : {Control::cbSource, Control::cbTarget}) {
    ASSERT_EQ(window_->ListCount(list), 2);
    EXPECT_EQ(window_->ListItem(list, 0), "Main Identity");
    EXPECT_EQ(window_->ListItem(list, 1), "Work");
    EXPECT_EQ(window_->ListIndex(list), 0);
    EXPECT_EQ(TextOf(Handle(list)), "Main Identity");
  }
  // A choice in cbTarget reaches the logic.
  SendMessageA(Handle(Control::cbTarget), CB_SETCURSEL, 1, 0);
  SendMessageA(Page(1), WM_COMMAND, MAKEWPARAM(IDC_CBTARGET, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(Handle(Control::cbTarget)));
  Pump();
  EXPECT_EQ(state_.RestoreTargetIndex, 1);

  SendMessageA(main_, WM_ACTIVATE, WA_ACTIVE, 0);
  Pump();
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_FALSE(quitPosted_);
}

TEST_F(MainWindowTest, ANonEmptyCommandLineHidesTheWindowAtActivationAndQuits) {
  CommandLine() = "sf=nobody";
  Open(false, false);
  // Spy on the window's own procedure to see it hidden before it goes.
  static bool hidden = false;
  static WNDPROC original = nullptr;
  hidden = false;
  original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      main_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_SHOWWINDOW && wp == FALSE) hidden = true;
        return CallWindowProcA(original, w, m, wp, lp);
      })));
  ShowWindow(main_, SW_SHOW);
  SendMessageA(main_, WM_ACTIVATE, WA_ACTIVE, 0);
  Pump();
  EXPECT_TRUE(hidden);
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_EQ(window_->Handle(), nullptr);
  EXPECT_TRUE(quitPosted_);
}

TEST_F(MainWindowTest, ShortCutsAreTheCommandTable) {
  Open();
  HACCEL table = window_->Accelerators();
  ASSERT_NE(table, nullptr);
  int count = CopyAcceleratorTableA(table, nullptr, 0);
  std::vector<ACCEL> entries(count);
  CopyAcceleratorTableA(table, entries.data(), count);
  std::map<std::pair<BYTE, WORD>, WORD> byKey;
  for (const ACCEL& a : entries) byKey[{static_cast<BYTE>(a.fVirt & ~FNOINVERT), a.key}] = a.cmd;
  const BYTE ctrl = FVIRTKEY | FCONTROL;
  EXPECT_EQ((byKey[{ctrl, 'B'}]), IDM_BACKUP);
  EXPECT_EQ((byKey[{ctrl, 'R'}]), IDM_RESTORE);
  EXPECT_EQ((byKey[{ctrl, 'E'}]), IDM_EXPORTMAIL);
  EXPECT_EQ((byKey[{ctrl, 'Q'}]), IDM_QUIT);
  EXPECT_EQ((byKey[{ctrl, 'T'}]), IDM_TASKSCHEDULER);
  EXPECT_EQ((byKey[{ctrl, 'S'}]), IDM_SETTINGS);
  EXPECT_EQ((byKey[{ctrl, 'A'}]), IDM_ABOUT);
  EXPECT_EQ((byKey[{FVIRTKEY, VK_F1}]), IDM_HELP);

  // F1 typed in a field of a page reaches the help command through the program's loop.
  HWND field = Handle(Control::txtAttachInfo);
  MSG key = {field, WM_KEYDOWN, VK_F1, 0x003B0001, 0, {0, 0}};
  EXPECT_TRUE(window_->PreTranslate(key));
  Pump();
  ASSERT_EQ(processes_.started.size(), 1u);
  EXPECT_EQ(processes_.started[0].commandLine, "C:\\WINDOWS\\hh.exe " + dir_.path() + "\\help.chm");
  EXPECT_EQ(processes_.started[0].state, platform::WindowState::Normal);
}

TEST_F(MainWindowTest, PageSwitchingShowsOnePageAndSetsTheActionCaption) {
  AddIdentity("{00000000-0000-0000-0000-00000000000A}", "Main Identity");
  ASSERT_TRUE(platform::Files().WriteAll(dir_.path() + "\\brlog.dat", "one\r\ntwo\r\nthree\r\n"));
  Open();
  EXPECT_EQ(window_->CurrentPage(), Page::Backup);
  const char* captions[] = {"Backup Now", "Restore Now", "Show Log File", "Help"};
  for (int page : {2, 2, 1, 3, 0}) {
    ChooseTab(page);
    EXPECT_EQ(window_->CurrentPage(), static_cast<quarnel::app::Page>(page));
    EXPECT_EQ(window_->Text(Control::cmdApply), captions[page]);
    for (int other = 0; other < 4; ++other) {
      EXPECT_EQ(IsWindowVisible(Page(other)) != FALSE, other == page) << "page " << page << ", other " << other;
    }
    if (page == 2) {
      EXPECT_EQ(window_->ListCount(Control::List1), 3);
    }
    if (page == 3) {
      EXPECT_EQ(window_->Text(Control::lblAboutTitle), "Quarnel Backup V2.50");
    }
  }
  // Ctrl+Tab and Ctrl+Shift+Tab step through the pages, round the end.
  Command(IDM_PREVIOUSPAGE);
  EXPECT_EQ(window_->CurrentPage(), Page::About);
  EXPECT_EQ(window_->Text(Control::cmdApply), "Help");
  Command(IDM_NEXTPAGE);
  EXPECT_EQ(window_->CurrentPage(), Page::Backup);
  EXPECT_EQ(window_->Text(Control::cmdApply), "Backup Now");

  // The page action of the Logs and About pages.
  ChooseTab(2);
  Click(Control::cmdApply);
  ChooseTab(3);
  Click(Control::cmdApply);
  ASSERT_EQ(processes_.started.size(), 2u);
  EXPECT_EQ(processes_.started[0].commandLine, "C:\\WINDOWS\\notepad.exe " + dir_.path() + "\\brlog.dat");
  EXPECT_EQ(processes_.started[1].commandLine, "C:\\WINDOWS\\hh.exe " + dir_.path() + "\\help.chm");

  // The Restore page asks first; Cancel does nothing more.
  messages_.answers = {MessageResult::Cancel};
  ChooseTab(1);
  Click(Control::cmdApply);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "Your current Email and News messages will be replaced with the messages from the selected backup "
            "file.\r\n\r\nDo you want to countinue?");

  // The logic's own page choice moves the pages without a second page step.
  window_->ShowPage(Page::Logs);
  EXPECT_TRUE(IsWindowVisible(Page(2)));
  EXPECT_FALSE(IsWindowVisible(Page(1)));
  EXPECT_EQ(window_->Text(Control::cmdApply), "Restore Now");
}

TEST_F(MainWindowTest, ProtectToggleEnablesColoursAndEmptiesThePasswordFields) {
  Open();
  HWND password = Handle(Control::txtPassword);
  HWND retype = Handle(Control::txtPassword2);
  HDC dc = CreateCompatibleDC(nullptr);
  auto colourOf = [&](HWND field) {
    UINT message = IsWindowEnabled(field) ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC;
    return BrushColour(SendMessageA(GetParent(field), message, reinterpret_cast<WPARAM>(dc),
                                    reinterpret_cast<LPARAM>(field)));
  };
  EXPECT_FALSE(IsWindowEnabled(password));
  EXPECT_EQ(colourOf(password), GetSysColor(COLOR_SCROLLBAR));

  SetWindowTextA(password, "left over");
  Click(Control::ifprotect);
  EXPECT_TRUE(window_->Checked(Control::ifprotect));
  for (HWND field : {password, retype}) {
    EXPECT_TRUE(IsWindowEnabled(field));
    EXPECT_EQ(TextOf(field), "");
    EXPECT_EQ(colourOf(field), GetSysColor(COLOR_WINDOW));
  }

  SetWindowTextA(password, "secret");
  SetWindowTextA(retype, "secret");
  Click(Control::ifprotect);
  EXPECT_FALSE(window_->Checked(Control::ifprotect));
  for (HWND field : {password, retype}) {
    EXPECT_FALSE(IsWindowEnabled(field));
    EXPECT_EQ(TextOf(field), "");
    EXPECT_EQ(colourOf(field), GetSysColor(COLOR_SCROLLBAR));
  }
  DeleteDC(dc);
}

TEST_F(MainWindowTest, ItemFramesOfferSelectAllAndDeselectAllForTheirOwnPage) {
  Open();
  for (ItemSet set : {ItemSet::Backup, ItemSet::Restore}) {
    HMENU menu = window_->ItemMenu(set);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(Plain(MenuText(menu, 0)), "Select all items");
    EXPECT_EQ(Plain(MenuText(menu, 1)), "Deselect all items");
  }
  EXPECT_EQ(GetMenuItemID(window_->ItemMenu(ItemSet::Backup), 0), static_cast<UINT>(IDM_SELECTALLITEMS));
  EXPECT_EQ(GetMenuItemID(window_->ItemMenu(ItemSet::Restore), 1), static_cast<UINT>(IDM_UNSELECTALLITEMS2));

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

  // The commands tick and clear all eight boxes of their own set, disabled ones included.
  ChooseTab(0);
  EnableWindow(Item(ItemSet::Backup, 1), FALSE);
  Command(IDM_SELECTALLITEMS);
  for (int i = 0; i < kItemCount; ++i) {
    EXPECT_TRUE(window_->ItemChecked(ItemSet::Backup, i)) << i;
    EXPECT_FALSE(window_->ItemChecked(ItemSet::Restore, i)) << i;
  }
  Command(IDM_SELECTALLITEMS2);
  Command(IDM_UNSELECTALLITEMS);
  for (int i = 0; i < kItemCount; ++i) {
    EXPECT_FALSE(window_->ItemChecked(ItemSet::Backup, i)) << i;
    EXPECT_TRUE(window_->ItemChecked(ItemSet::Restore, i)) << i;
  }
  Command(IDM_UNSELECTALLITEMS2);
  for (int i = 0; i < kItemCount; ++i) EXPECT_FALSE(window_->ItemChecked(ItemSet::Restore, i)) << i;
}

TEST_F(MainWindowTest, RightClickOnTheItemsOpensTheirMenu) {
  Open();
  // Watch the menu that opens, then choose its first entry from the keyboard.
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

  // A right click elsewhere opens nothing.
  opened = nullptr;
  SendMessageA(Page(0), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Page(0)), MAKELPARAM(1, 1));
  Pump();
  EXPECT_EQ(opened, nullptr);
  SetWindowLongPtrA(main_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}

TEST_F(MainWindowTest, ViewCallsReachTheControls) {
  Open();
  window_->ClearList(Control::List1);
  window_->AddListItem(Control::List1, "first line");
  window_->AddListItem(Control::List1, std::string(300, 'x'));
  EXPECT_EQ(window_->ListCount(Control::List1), 2);
  EXPECT_EQ(window_->ListItem(Control::List1, 0), "first line");
  EXPECT_GT(SendMessageA(Handle(Control::List1), LB_GETHORIZONTALEXTENT, 0, 0), 0);  // long lines scroll
  window_->ClearList(Control::List1);
  EXPECT_EQ(window_->ListCount(Control::List1), 0);

  window_->AddListItem(Control::cbSource, "A");
  window_->AddListItem(Control::cbSource, "B");
  window_->SetListIndex(Control::cbSource, 1);
  EXPECT_EQ(window_->ListIndex(Control::cbSource), 1);
  EXPECT_EQ(window_->Text(Control::cbSource), "B");

  // A caption with '&' is shown as it is, not as a mnemonic.
  window_->SetText(Control::cmdApply, "Save & Go");
  EXPECT_EQ(window_->Text(Control::cmdApply), "Save & Go");
  window_->SetText(Control::SkinLabel11, "Add File C:\\a&b.dbx");
  EXPECT_EQ(window_->Text(Control::SkinLabel11), "Add File C:\\a&b.dbx");

  window_->SetVisible(Control::picCon3, true);
  EXPECT_TRUE(window_->Visible(Control::picCon3));
  EXPECT_TRUE(IsWindowVisible(Handle(Control::Label1)));
  RECT panel, page;
  GetWindowRect(Handle(Control::picCon3), &panel);
  GetWindowRect(Page(0), &page);
  EXPECT_TRUE(EqualRect(&panel, &page));  // it hides the page it works for
  EXPECT_EQ(GetWindow(Handle(Control::picCon3), GW_HWNDPREV), nullptr);  // on top
  window_->SetProgress(40);
  EXPECT_EQ(window_->Progress(), 40);
  window_->SetVisible(Control::picCon3, false);
  EXPECT_FALSE(window_->Visible(Control::picCon3));

  // Nothing can be restored before a backup file is opened.
  for (int i = 0; i < kItemCount; ++i) EXPECT_FALSE(window_->ItemEnabled(ItemSet::Restore, i)) << i;
  window_->SetItemEnabled(ItemSet::Restore, 3, true);
  window_->SetItemEnabled(ItemSet::Restore, 4, true);
  window_->SetItemEnabled(ItemSet::Restore, 4, false);
  EXPECT_FALSE(window_->ItemEnabled(ItemSet::Restore, 4));
  EXPECT_TRUE(window_->ItemEnabled(ItemSet::Restore, 3));
  window_->SetItemChecked(ItemSet::Restore, 4, true);
  EXPECT_TRUE(window_->ItemChecked(ItemSet::Restore, 4));

  window_->SetEnabled(Control::cmdAbout, false);
  EXPECT_FALSE(window_->Enabled(Control::cmdAbout));
  window_->HideWindow();
  EXPECT_FALSE(IsWindowVisible(main_));
  EXPECT_FALSE(window_->Visible(Control::frmMain));
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

// The identity step and the Logs page through the real window, over a seeded registry.
TEST_F(MainWindowTest, ChoosingAnIdentityResetsItsItemsAndNamesTheBackup) {
  using testing::SeedKey;
  using testing::SeedValue;
  system_.now = platform::LocalTime{2026, 12, 5, 10, 0, 0};
  AddIdentity("{00000000-0000-0000-0000-00000000000A}", "Main Identity");
  AddIdentity("{00000000-0000-0000-0000-00000000000B}", "Work");
  SeedKey(platform::kHkeyCurrentUser, "Identities\\{00000000-0000-0000-0000-00000000000B}\\Software\\Microsoft\\"
                                      "Internet Account Manager\\Accounts");
  SeedValue(platform::kHkeyCurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", dir_.File("gone.wab"));
  std::string stationery = dir_.File("Stationery");  // an empty folder
  CreateDirectoryA(stationery.c_str(), nullptr);
  SeedValue(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
            dir_.path());
  Open();

  auto expectItems = [&](bool accounts) {
    for (int i = 0; i < kItemCount; ++i) {
      bool enabled = i == 0 ? accounts : (i != 1 && i != 6);
      EXPECT_EQ(IsWindowEnabled(Item(ItemSet::Backup, i)) != FALSE, enabled) << "item " << i;
      EXPECT_EQ(SendMessageA(Item(ItemSet::Backup, i), BM_GETCHECK, 0, 0), BST_UNCHECKED) << "item " << i;
    }
  };
  expectItems(false);  // the first identity is chosen at load
  EXPECT_EQ(TextOf(Handle(Control::txtTargetFile)), dir_.File("quarnel-Main Identity-12-05-2026.soe"));

  SendMessageA(Item(ItemSet::Backup, 2), BM_CLICK, 0, 0);
  SendMessageA(Item(ItemSet::Backup, 3), BM_CLICK, 0, 0);
  auto choose = [&](int index) {
    SendMessageA(Handle(Control::cbSource), CB_SETCURSEL, index, 0);
    SendMessageA(Page(0), WM_COMMAND, MAKEWPARAM(IDC_CBSOURCE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Handle(Control::cbSource)));
    Pump();
  };
  choose(1);
  expectItems(true);
  EXPECT_EQ(TextOf(Handle(Control::txtTargetFile)), dir_.File("quarnel-Work-12-05-2026.soe"));
  EXPECT_EQ(state_.TargetPath, dir_.File("quarnel-Work-12-05-2026.soe"));

  WriteINI(SettingsFilePath(), "backup", "automgeneratefile", "0");
  choose(0);
  expectItems(false);
  EXPECT_EQ(TextOf(Handle(Control::txtTargetFile)), dir_.File("quarnel-Work-12-05-2026.soe"));
}

TEST_F(MainWindowTest, TheLogsPageListsEachRecordOnceHoweverOftenShown) {
  AppendLog(LogFilePath(), LogSeparator());
  AppendLog(LogFilePath(), LogEvent(" Backup Rules Succeeded!"));
  Open();
  ChooseTab(2);
  ChooseTab(0);
  ChooseTab(2);
  HWND list = Handle(Control::List1);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
}

}  // namespace
}  // namespace quarnel::app