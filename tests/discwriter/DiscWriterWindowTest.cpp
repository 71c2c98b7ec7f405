// frmMaindvdwrite and frmErase in this process under Wine: the real dialogs over the real
// engine and its image file drive, driven by messages, with message boxes recorded. What the
// logic decides (menus, renames, refusals, texts) is tested natively; here, only what the
// dialogs themselves do: closing during a write, drops by position, the modal erase window.
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
#include <utility>
#include <vector>

#include "DiscTestSupport.h"
#include "discwriter/DiscResource.h"
#include "discwriter/DiscWriterDialog.h"
#include "discwriter/EraseDialog.h"
#include "support/ModalProbe.h"
#include "support/RecordedSeams.h"

namespace quarnel::disc {
namespace {

using C = WriterControl;
using testing::ModalProbe;

std::string StatusPanel(HWND dialog, int part) {
  char buffer[512] = {};
  SendMessageA(GetDlgItem(dialog, IDC_SBRSTATUS), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

// The names (first column) of the file list's rows.
std::vector<std::string> Names(HWND list) {
  std::vector<std::string> names(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (std::size_t row = 0; row < names.size(); ++row) {
    char buffer[256] = {};
    LVITEMA item = {};
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    names[row] = buffer;
  }
  return names;
}

class DiscWriterWindowTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
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
    // The save dialog takes what it proposes.
    dialog_->saveDialogAnswer = [this](const app::FileDialogSpec& spec) {
      asked_.push_back(spec);
      return std::optional<std::string>(spec.initialFolder + "\\" + spec.fileName);
    };
  }
  static void Pump() {
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
  void Select(const std::string& node) {
    SendMessageA(Item(C::tvwFolders), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(dialog_->NodeHandle(node)));
    Pump();
  }
  std::string LastMessage() { return messages.shown.empty() ? "" : messages.shown.back().text; }
  std::string MakeFile(const std::string& name, std::uint64_t size) {
    testing::MakePatternFile(dir.File(name), size, 3);
    return dir.File(name);
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
    std::string names;
    for (const std::string& p : paths) names += p + '\0';
    names += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = *at;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(memory);
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    Pump();
  }

  app::DiscHandOver handOver_;
  std::unique_ptr<DiscWriterDialog> dialog_;
  HWND window_ = nullptr;
  std::vector<app::FileDialogSpec> asked_;
};

TEST_F(DiscWriterWindowTest, AWriteCancelledKeepsTheOlderImageAndTheWindowOpenThenOneWithAutoVerifySucceeds) {
  const std::string iso = dir.File("Outlook Express Data Backup CD.iso");
  ASSERT_TRUE(testing::WriteFileBytes(iso, "an older image"));
  handOver_ = {"quarnel-Main-12-05-2026.soe", MakeFile("backup.soe", 24 * 1024 * 1024 + 5)};
  Open();
  EXPECT_TRUE(messages.shown.empty()) << LastMessage();
  EXPECT_EQ(dialog_->Text(C::cboDevices), "Disc Image File (.iso)");
  EXPECT_EQ(SendMessageA(Item(C::txtVolIdentifier), EM_GETLIMITTEXT, 0, 0), 32);

  struct Probe : EngineListener {
    void WriteStatus(int, int status) override {
      if (status == kWriteWriting && act) std::exchange(act, nullptr)();
    }
    std::function<void()> act;
  } probe;
  bool stayedOpen = false;
  probe.act = [&] {
    SendMessageA(window_, WM_CLOSE, 0, 0);
    stayedOpen = IsWindow(window_) && !dialog_->Logic().Idle();
    PostMessageA(Item(C::cmdCancel), BM_CLICK, 0, 0);
  };
  dialog_->Engine().AddListener(&probe);
  Click(C::chkAutoVerify);
  Click(C::cmdWriteDisc);  // ISO9660/Joliet/UDF Bridge, as the window opens
  EXPECT_TRUE(stayedOpen);
  ExpectOneMessage("Write Cancelled!", platform::MessageIcon::Information);
  EXPECT_EQ(StatusPanel(window_, 0), "Write Cancelled....");
  EXPECT_EQ(testing::ReadFileBytes(iso), "an older image");

  Click(C::cmdWriteDisc);
  ASSERT_EQ(asked_.size(), 2u);
  ExpectOneMessage("Write and Verify Complete!", platform::MessageIcon::Information);
  EXPECT_EQ(StatusPanel(window_, 0), "Write Completed!");
  EXPECT_EQ(SendMessageA(Item(C::prgTotalProgress), PBM_GETPOS, 0, 0), 100);
  EXPECT_GT(testing::ReadFileBytes(iso).size(), 24u * 1024 * 1024);
  dialog_->Engine().RemoveListener(&probe);
}

TEST_F(DiscWriterWindowTest, DropsOnTheViewsAddAndChoosingAFolderListsItsFiles) {
  Open();
  const std::string folder = dir.File("Mail");
  CreateDirectoryA(folder.c_str(), nullptr);
  testing::MakePatternFile(folder + "\\Old;2005.dbx", 2000, 1);
  Drop({folder}, POINT{2, 2});  // beside the views: nothing
  EXPECT_EQ(dialog_->NodeHandle("\\Mail"), nullptr);
  Drop({folder, MakeFile("notes.txt", 10)});
  ASSERT_NE(dialog_->NodeHandle("\\Mail"), nullptr);
  HWND list = Item(C::lvwImageFiles);
  EXPECT_EQ(Names(list), std::vector<std::string>{"notes.txt"});
  Select("\\Mail");  // choosing a folder lists its files
  EXPECT_EQ(Names(list), std::vector<std::string>{"Old;2005.dbx"});
}

TEST_F(DiscWriterWindowTest, TheEraseWindowOpensModallyAndRefusesADiscThatIsNotRewritable) {
  Open();
  bool quick = false;
  {
    ModalProbe probe(EraseDialog::Current, [&](HWND erase) {
      quick = SendMessageA(GetDlgItem(erase, IDC_CHKQUIKERASE), BM_GETCHECK, 0, 0) == BST_CHECKED;
      SendMessageA(GetDlgItem(erase, IDC_CMDERASE), BM_CLICK, 0, 0);
    });
    Command(IDM_DEVICEERASE);
    EXPECT_TRUE(probe.seen());
  }
  EXPECT_TRUE(quick);
  ExpectOneMessage("The current media is not re-writable.", platform::MessageIcon::Information);
  EXPECT_EQ(EraseDialog::Current(), nullptr);
}

}  // namespace
}  // namespace quarnel::disc
