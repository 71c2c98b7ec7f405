// frmMaindvdwrite and frmErase in this process under Wine: the real dialogs over the real
// engine and its image file drive, driven by messages, with message boxes recorded.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DiscTestSupport.h"
#include "disc/IsoReader.h"
#include "disc/UdfReader.h"
#include "discwriter/DiscResource.h"
#include "discwriter/DiscWriterDialog.h"
#include "discwriter/EraseDialog.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Resource.h"
#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using C = WriterControl;

std::string TextOf(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

std::string StatusPanel(HWND dialog, int part) {
  char buffer[512] = {};
  SendMessageA(GetDlgItem(dialog, IDC_SBRSTATUS), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

std::string RowText(HWND list, int row, int column) {
  char buffer[256] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

// Runs act on the modal window that find returns once it is up, from a thread timer.
class WhenModal {
 public:
  WhenModal(std::function<HWND()> find, std::function<void(HWND)> act) : find_(std::move(find)), act_(std::move(act)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 30, Tick);
  }
  ~WhenModal() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool seen() const { return seen_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    WhenModal* self = current_;
    if (self == nullptr || self->seen_) return;
    if (HWND window = self->find_()) {
      self->seen_ = true;
      self->act_(window);
    } else if (++self->ticks_ > 200 && GetActiveWindow() != nullptr) {
      PostMessageA(GetActiveWindow(), WM_CLOSE, 0, 0);  // never left waiting
    }
  }
  static inline WhenModal* current_ = nullptr;
  std::function<HWND()> find_;
  std::function<void(HWND)> act_;
  UINT_PTR timer_ = 0;
  bool seen_ = false;
  int ticks_ = 0;
};

// Acts on the write's events as they come, from inside the write.
struct WriteProbe : EngineListener {
  void WriteStatus(int percent, int status) override {
    if (status == kWriteWriting && onWriting) {
      auto act = std::move(onWriting);
      onWriting = nullptr;
      act();
    }
  }
  std::function<void()> onWriting;
};

// Where this run leaves the image that the 7-Zip check reads afterwards: beside the test.
std::string EndToEndFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  folder = folder.substr(0, folder.rfind('\\')) + "\\disc-e2e";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

class DiscWriterWindowTest : public ::testing::Test {
 protected:
  DiscWriterWindowTest() : scope_({.messages = &messages_}) {}
  ~DiscWriterWindowTest() override {
    dialog_.reset();
    Pump();
  }

  void Open() {
    dialog_ = std::make_unique<DiscWriterDialog>(GetModuleHandleA(nullptr), handOver_);
    ASSERT_TRUE(dialog_->Create(nullptr));
    window_ = dialog_->Handle();
    ShowWindow(window_, SW_SHOW);
    Pump();
  }
  void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  HWND Item(C c) { return dialog_->Control(c); }
  void Click(C c) {
    SendMessageA(Item(c), BM_CLICK, 0, 0);
    Pump();
  }
  void Command(int id) {
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump();
  }
  void ChooseVolumeType(int index) { SendMessageA(Item(C::cboVolumeType), CB_SETCURSEL, index, 0); }
  std::string LastMessage() { return messages_.shown.empty() ? "" : messages_.shown.back().text; }
  std::string MakeFile(const std::string& name, std::uint64_t size) {
    std::string path = dir_.path() + "\\" + name;
    testing::MakePatternFile(path, size, 3);
    return path;
  }
  void AnswerSaveDialog(const std::string& path) {
    dialog_->saveDialogAnswer = [path, this](const app::FileDialogSpec& spec) {
      asked_.push_back(spec);
      return std::optional<std::string>(path);
    };
  }
  // A drop at a point of the dialog's client area (over the file list unless told).
  void Drop(const std::vector<std::string>& paths, std::optional<POINT> at = std::nullopt) {
    if (!at) {
      RECT list;
      GetWindowRect(Item(C::lvwImageFiles), &list);
      POINT centre = {(list.left + list.right) / 2, (list.top + list.bottom) / 2};
      ScreenToClient(window_, &centre);
      at = centre;
    }
    std::string list;
    for (const std::string& p : paths) list += p + '\0';
    list += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = *at;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(memory);
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    Pump();
  }

  testing::TempFolder dir_;
  platform::RecordingMessages messages_;
  platform::ScopedServices scope_;
  app::DiscHandOver handOver_;
  std::unique_ptr<DiscWriterDialog> dialog_;
  HWND window_ = nullptr;
  std::vector<app::FileDialogSpec> asked_;
};

TEST_F(DiscWriterWindowTest, OpensWithItsControlsTheImageFileDriveAndTheBackupFileInTheRoot) {
  handOver_ = {"quarnel-Main-12-05-2026.soe", MakeFile("backup.soe", 1536000)};
  Open();
  EXPECT_EQ(TextOf(window_), "Backup Outlook Express Data to CD/DVD");
  EXPECT_TRUE(messages_.shown.empty()) << LastMessage();
  const std::pair<C, const char*> captions[] = {
      {C::chkUseBufferProtect, "Use Buffer Protection"},
      {C::chkCacheImage, "Cache Image"},
      {C::chkFinalizeDisc, "Finalize Disc"},
      {C::chkTestWrite, "Test Write"},
      {C::chkAutoVerify, "Auto-Verify Data"},
      {C::chkUseMode2XA, "Mode2XA (CD Only)"},
      {C::chkUseFileDates, "Use File Dates"},
      {C::chkDiscAtOnce, "Disc-At-Once"},
      {C::cmdWriteDisc, "&Write Disc"},
      {C::cmdCancel, "&Cancel"},
  };
  for (const auto& [control, caption] : captions) EXPECT_EQ(TextOf(Item(control)), caption);
  EXPECT_EQ(TextOf(GetDlgItem(window_, IDC_LBLIMAGEFILETITLE)), "Drag and Drop Files or Folders");
  EXPECT_EQ(dialog_->ListCount(C::cboDevices), 1);
  EXPECT_EQ(dialog_->Text(C::cboDevices), "Disc Image File (.iso)");
  EXPECT_EQ(dialog_->Text(C::cboWriteSpeed), "MAX");
  EXPECT_EQ(dialog_->Text(C::cboVolumeType), "ISO9660/Joliet/UDF Bridge");
  EXPECT_EQ(dialog_->ListCount(C::cboVolumeType), 5);
  EXPECT_EQ(dialog_->Text(C::txtVolIdentifier), "Outlook Express Data Backup CD");
  EXPECT_EQ(SendMessageA(Item(C::txtVolIdentifier), EM_GETLIMITTEXT, 0, 0), 32);
  EXPECT_TRUE(dialog_->Checked(C::chkUseFileDates));
  EXPECT_FALSE(IsWindowEnabled(Item(C::chkUseBufferProtect)));
  EXPECT_FALSE(IsWindowEnabled(Item(C::cmdCancel)));

  // The tree's root shows the volume identifier; the list the backup file.
  HWND tree = Item(C::tvwFolders);
  char text[128] = {};
  TVITEMA root = {};
  root.mask = TVIF_TEXT;
  root.hItem = dialog_->NodeHandle("\\");
  root.pszText = text;
  root.cchTextMax = sizeof text;
  ASSERT_TRUE(SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&root)));
  EXPECT_STREQ(text, "Outlook Express Data Backup CD");
  HWND list = Item(C::lvwImageFiles);
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(RowText(list, 0, 0), "quarnel-Main-12-05-2026.soe");
  EXPECT_EQ(RowText(list, 0, 1), "1,536.00 KB");
  EXPECT_EQ(RowText(list, 0, 2).size(), std::string("MM/DD/YYYY hh:mm:ss AM").size());
  EXPECT_EQ(StatusPanel(window_, 1), "Files: 1");
  EXPECT_EQ(StatusPanel(window_, 2), "Folders: 0");
  // The bridge's file data follows UDF's anchor at sector 256: 1019 sectors in all.
  EXPECT_EQ(StatusPanel(window_, 0), "Data Image Size: 1.99 MB");
  EXPECT_TRUE(handOver_.fileName.empty());
  EXPECT_TRUE(handOver_.path.empty());

  HMENU bar = GetMenu(window_);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  const std::vector<std::pair<int, const char*>> entries = {{IDM_FILECLEAR, "Clear All Items"},
                                                            {IDM_FILEREMOVEFOLDER, "Remove Folder"},
                                                            {IDM_FILERENAMEFOLDER, "Rename Folder"},
                                                            {IDM_FILEREMOVEFILE, "Remove File"},
                                                            {IDM_FILERENAMEFILE, "Rename File"},
                                                            {IDM_FILEEXIT, "Exit"},
                                                            {IDM_DEVICEEJECT, "Eject"},
                                                            {IDM_DEVICECLOSETRAY, "Close Tray"},
                                                            {IDM_DEVICEERASE, "Erase Disc..."}};
  for (const auto& [id, caption] : entries) {
    char entry[64] = {};
    GetMenuStringA(bar, id, entry, sizeof entry, MF_BYCOMMAND);
    EXPECT_STREQ(entry, caption);
  }
}

TEST_F(DiscWriterWindowTest, WritingTheDefaultBridgeToAnImageFileWithAutoVerifyGivesAnImageOf7ZipsLiking) {
  std::string folder = EndToEndFolder();
  std::string source = folder + "\\quarnel-Main-12-05-2026.soe";
  testing::MakePatternFile(source, 3 * 1024 * 1024 + 5, 11);
  std::string iso = folder + "\\Outlook Express Data Backup CD.iso";
  DeleteFileA(iso.c_str());
  handOver_ = {"quarnel-Main-12-05-2026.soe", source};
  Open();
  dialog_->saveDialogAnswer = [&](const app::FileDialogSpec& spec) {
    asked_.push_back(spec);
    return std::optional<std::string>(spec.initialFolder + "\\" + spec.fileName);
  };
  Click(C::chkAutoVerify);
  Click(C::cmdWriteDisc);  // ISO9660/Joliet/UDF Bridge, as the window opens
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].initialFolder, folder);
  EXPECT_EQ(asked_[0].fileName, "Outlook Express Data Backup CD.iso");
  ASSERT_FALSE(messages_.shown.empty());
  EXPECT_EQ(LastMessage(), "Write and Verify Complete!");
  EXPECT_EQ(messages_.shown.back().icon, platform::MessageIcon::Information);
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(StatusPanel(window_, 0), "Write Completed!");
  EXPECT_TRUE(dialog_->Logic().Idle());
  EXPECT_TRUE(IsWindowEnabled(Item(C::cmdWriteDisc)));
  EXPECT_FALSE(IsWindowEnabled(Item(C::cmdCancel)));
  EXPECT_EQ(SendMessageA(Item(C::prgTotalProgress), PBM_GETPOS, 0, 0), 100);
  WIN32_FILE_ATTRIBUTE_DATA facts = {};
  ASSERT_TRUE(GetFileAttributesExA(iso.c_str(), GetFileExInfoStandard, &facts));
  EXPECT_GT(facts.nFileSizeLow, 3u * 1024 * 1024);
  EXPECT_EQ(GetFileAttributesA((iso + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DiscWriterWindowTest, EveryVolumeTypeWritesAndVerifiesItsOwnTrees) {
  handOver_ = {"a.soe", MakeFile("a.soe", 100000)};
  Open();
  Click(C::chkAutoVerify);
  const struct {
    const char* text;
    bool iso, joliet, udf;
  } types[] = {{"ISO9660", true, false, false},
               {"UDF", false, false, true},
               {"ISO9660/Joliet Bridge", true, true, false},
               {"ISO9660/UDF (DVDVideo) Bridge", true, false, true},
               {"ISO9660/Joliet/UDF Bridge", true, true, true}};
  for (int index = 0; index < 5; ++index) {
    SCOPED_TRACE(types[index].text);
    std::string target = dir_.path() + "\\type" + std::to_string(index) + ".iso";
    AnswerSaveDialog(target);
    ChooseVolumeType(index);
    ASSERT_EQ(dialog_->Text(C::cboVolumeType), types[index].text);
    messages_.shown.clear();
    Click(C::cmdWriteDisc);
    EXPECT_EQ(LastMessage(), "Write and Verify Complete!");
    IsoReader iso;
    UdfReader udf;
    EXPECT_EQ(iso.Open(target), types[index].iso);
    EXPECT_EQ(iso.Joliet(), types[index].joliet);
    EXPECT_EQ(udf.Open(target), types[index].udf);
    if (types[index].udf) {
      EXPECT_EQ(udf.VolumeId(), u"Outlook Express Data Backup CD");
    }
  }
}

TEST_F(DiscWriterWindowTest, CancelDuringTheWriteLeavesNoFileAndTheWindowCannotCloseMeanwhile) {
  std::string target = dir_.path() + "\\old.iso";
  ASSERT_TRUE(testing::WriteFileBytes(target, "an older image"));
  handOver_ = {"big.soe", MakeFile("big.soe", 24 * 1024 * 1024)};
  Open();
  AnswerSaveDialog(target);
  ChooseVolumeType(0);
  WriteProbe probe;
  bool stayedOpen = false;
  probe.onWriting = [&] {
    SendMessageA(window_, WM_CLOSE, 0, 0);
    stayedOpen = IsWindow(window_) && !dialog_->Logic().Idle();
    PostMessageA(Item(C::cmdCancel), BM_CLICK, 0, 0);
  };
  dialog_->Engine().AddListener(&probe);
  Click(C::cmdWriteDisc);
  dialog_->Engine().RemoveListener(&probe);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(LastMessage(), "Write Cancelled!");
  EXPECT_EQ(StatusPanel(window_, 0), "Write Cancelled....");
  EXPECT_TRUE(dialog_->Logic().Idle());
  EXPECT_EQ(testing::ReadFileBytes(target), "an older image");
  EXPECT_EQ(GetFileAttributesA((target + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DiscWriterWindowTest, DropsLabelEditsAndThePopUpMenus) {
  Open();
  std::string folder = dir_.path() + "\\Mail";
  CreateDirectoryA(folder.c_str(), nullptr);
  testing::MakePatternFile(folder + "\\Inbox.dbx", 2000, 1);
  Drop({folder}, POINT{2, 2});  // beside the views: nothing
  EXPECT_EQ(dialog_->NodeHandle("\\Mail"), nullptr);
  Drop({folder, MakeFile("notes.txt", 10)});
  ASSERT_NE(dialog_->NodeHandle("\\Mail"), nullptr);
  EXPECT_EQ(StatusPanel(window_, 1), "Files: 2");
  EXPECT_EQ(StatusPanel(window_, 2), "Folders: 1");
  HWND list = Item(C::lvwImageFiles);
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(RowText(list, 0, 0), "notes.txt");

  // Choosing a folder lists its files.
  HWND tree = Item(C::tvwFolders);
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(dialog_->NodeHandle("\\Mail")));
  Pump();
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(RowText(list, 0, 0), "Inbox.dbx");

  // The root cannot be renamed: the edit does not even start.
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(dialog_->NodeHandle("\\")));
  Pump();
  messages_.shown.clear();
  Command(IDM_FILERENAMEFOLDER);
  EXPECT_EQ(LastMessage(), "Root directory can not be renamed.");
  EXPECT_EQ(SendMessageA(tree, TVM_GETEDITCONTROL, 0, 0), 0);

  // Right-clicking the list opens the File menu with the list's entries only.
  static std::vector<UINT> shown;
  static WNDPROC original = nullptr;
  shown.clear();
  original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_INITMENUPOPUP) {
          auto menu = reinterpret_cast<HMENU>(wp);
          for (int i = 0; i < GetMenuItemCount(menu); ++i) shown.push_back(GetMenuItemID(menu, i));
          EndMenu();
        }
        return CallWindowProcA(original, w, m, wp, lp);
      })));
  NMHDR click = {list, IDC_LVWIMAGEFILES, static_cast<UINT>(NM_RCLICK)};
  SendMessageA(window_, WM_NOTIFY, IDC_LVWIMAGEFILES, reinterpret_cast<LPARAM>(&click));
  Pump();
  SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
  EXPECT_EQ(shown, (std::vector<UINT>{IDM_FILECLEAR, IDM_FILEREMOVEFILE, IDM_FILERENAMEFILE}));
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(window_), 0)), 8);

  Command(IDM_FILECLEAR);
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(dialog_->NodeHandle("\\Mail"), nullptr);
  EXPECT_EQ(dialog_->Text(C::txtVolIdentifier), "New Disc");
  EXPECT_EQ(StatusPanel(window_, 1), "Files: 0");
}

TEST_F(DiscWriterWindowTest, TheEraseWindowRefusesADiscThatIsNotRewritable) {
  Open();
  std::string caption, note;
  bool quick = false;
  WhenModal probe(EraseDialog::Current, [&](HWND erase) {
    caption = TextOf(erase);
    note = TextOf(GetDlgItem(erase, IDC_ERASENOTE));
    quick = SendMessageA(GetDlgItem(erase, IDC_CHKQUIKERASE), BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageA(GetDlgItem(erase, IDC_CMDERASE), BM_CLICK, 0, 0);
  });
  Command(IDM_DEVICEERASE);
  EXPECT_TRUE(probe.seen());
  EXPECT_EQ(caption, "Erase Re-Writable CD/DVD");
  EXPECT_EQ(note.rfind("NOTE: If not performing a quick erase", 0), 0u);
  EXPECT_TRUE(quick);
  EXPECT_EQ(LastMessage(), "The current media is not re-writable.");
  EXPECT_EQ(EraseDialog::Current(), nullptr);
}

TEST_F(DiscWriterWindowTest, TheMainWindowOpensTheWriterModallyWithTheHandOver) {
  app::MainState state;
  state.DiscWriterHandOver = {"handed.soe", MakeFile("handed.soe", 4000)};
  app::MainWindow main(GetModuleHandleA(nullptr), state);
  ASSERT_TRUE(main.Create());
  Pump();
  messages_.shown.clear();  // the main window's own load messages
  int rows = -1;
  bool ownerDisabled = false;
  WhenModal probe([] { return DiscWriterDialog::Current() ? DiscWriterDialog::Current()->Handle() : nullptr; },
                  [&](HWND writer) {
                    rows =
                        static_cast<int>(SendMessageA(GetDlgItem(writer, IDC_LVWIMAGEFILES), LVM_GETITEMCOUNT, 0, 0));
                    ownerDisabled = !IsWindowEnabled(main.Handle());
                    PostMessageA(writer, WM_CLOSE, 0, 0);
                  });
  SendMessageA(main.Handle(), WM_COMMAND, MAKEWPARAM(IDM_BACKUPTOCD, 0), 0);
  EXPECT_TRUE(probe.seen());
  EXPECT_EQ(rows, 1);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(state.DiscWriterHandOver.fileName.empty());
  EXPECT_EQ(DiscWriterDialog::Current(), nullptr);
}

}  // namespace
}  // namespace quarnel::disc
