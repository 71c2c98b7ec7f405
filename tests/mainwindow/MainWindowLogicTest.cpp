#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/Settings.h"
#include "mainwindow/MainWindowLogic.h"
#include "platform/Services.h"
#include "support/FakeMainView.h"
#include "support/RecordedSeams.h"

namespace quarnel::app {
namespace {

using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageResult;

// The main window's logic over a fake window, an empty registry and a program folder of
// its own.
class MainWindowLogicTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  MainWindowLogicTest() {
    system.windowsFolder = "C:\\WINDOWS";
    system.computerName = "BOX";
    system.userName = "  alice  ";
  }
  ~MainWindowLogicTest() override { CommandLine().clear(); }

  MainState state_;
  testing::FakeMainView view_;
  MainWindowLogic logic_{state_, view_};
};

TEST_F(MainWindowLogicTest, LoadWithoutIdentitiesReportsAndDisablesTheAction) {
  view_.SetProgress(55);
  logic_.Load();
  EXPECT_FALSE(view_.Visible(Control::picCon3));
  EXPECT_EQ(view_.progressMax * 1000 + view_.Progress(), 100000);
  EXPECT_EQ(state_.InfoFilePath, JoinPath(dir.path(), "quarnel.dat"));
  EXPECT_EQ(state_.Zip1->BaseFolder(), dir.path());
  EXPECT_EQ(state_.ComputerName, "BOX");
  EXPECT_EQ(state_.LogonUser, "alice");
  EXPECT_EQ(state_.WindowsFolder, "C:\\WINDOWS");
  EXPECT_TRUE(state_.NoIdentities);
  EXPECT_TRUE(state_.NoValidBackupFile);

  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
  ExpectOneMessage("Your Windows System have not install Outlook Express ", MessageIcon::Critical);
  EXPECT_FALSE(view_.Enabled(Control::cmdApply));
  EXPECT_EQ(view_.ListCount(Control::cbSource) + view_.ListCount(Control::cbTarget), 0);
}

TEST_F(MainWindowLogicTest, MachineFactsFollowTheirBufferRules) {
  system.userName = std::string("bob\0junk", 8);
  system.userNameReportedSize = 0;              // a reported length below 1 leaves the user empty
  system.computerName = std::string(300, 'c');  // does not fit the 254-character buffer
  logic_.Load();
  EXPECT_EQ(state_.LogonUser, "");
  EXPECT_EQ(state_.ComputerName, "");
  system.userNameReportedSize.reset();
  logic_.Load();
  EXPECT_EQ(state_.LogonUser, "bob");
}

// Each page names the action button (redrawn, as its caption is painted by the skin), and the
// action does the page's job: the Restore page asks first.
TEST_F(MainWindowLogicTest, EachPageNamesTheActionAndTheActionDoesThePagesJob) {
  logic_.Load();
  messages.shown.clear();
  messages.answers = {MessageResult::Cancel};
  const char* captions[] = {"Backup Now", "Restore Now", "Show Log File", "Help"};
  for (int page = 3; page >= 0; --page) {
    const int redraws = view_.controls[Control::cmdApply].redraws;
    logic_.PageShown(static_cast<Page>(page));
    EXPECT_EQ(view_.Text(Control::cmdApply), captions[page]);
    EXPECT_EQ(view_.controls[Control::cmdApply].redraws, redraws + 1);
    view_.ShowPage(static_cast<Page>(page));
    if (page > 0) logic_.Run(Command::Apply);
  }
  ASSERT_EQ(processes.started.size(), 2u);
  EXPECT_EQ(processes.started[0].commandLine, "C:\\WINDOWS\\hh.exe " + JoinPath(dir.path(), "help.chm"));
  EXPECT_EQ(processes.started[0].state, platform::WindowState::Normal);
  EXPECT_EQ(processes.started[1].commandLine, "C:\\WINDOWS\\notepad.exe " + JoinPath(dir.path(), "brlog.dat"));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].buttons, MessageButtons::OkCancel);
  ExpectOneMessage(
      "Your current Email and News messages will be replaced with the messages from the selected backup file.\r\n\r\n"
      "Do you want to countinue?",
      MessageIcon::Information);
}

TEST_F(MainWindowLogicTest, ProtectToggleEnablesColoursAndEmptiesBothFields) {
  for (bool on : {true, false}) {
    view_.SetText(Control::txtPassword, "secret");
    view_.SetText(Control::txtPassword2, "typed too");
    view_.SetChecked(Control::ifprotect, on);
    logic_.ProtectClicked();
    for (Control c : {Control::txtPassword, Control::txtPassword2}) {
      EXPECT_EQ(view_.Enabled(c), on);
      EXPECT_EQ(view_.controls[c].colour, on ? FieldColour::Window : FieldColour::ScrollBar);
      EXPECT_EQ(view_.Text(c), "");
    }
  }
}

TEST_F(MainWindowLogicTest, SelectAllTouchesOnlyItsOwnPageDisabledBoxesIncluded) {
  auto ticks = [&](ItemSet set) {
    std::string boxes;
    for (int i = 0; i < kItemCount; ++i) boxes += view_.ItemChecked(set, i) ? '1' : '0';
    return boxes;
  };
  view_.SetItemEnabled(ItemSet::Backup, 6, false);
  logic_.Run(Command::SelectAllItems);
  EXPECT_EQ(ticks(ItemSet::Backup) + ticks(ItemSet::Restore), "1111111100000000");
  logic_.Run(Command::SelectAllItems2);
  logic_.Run(Command::UnselectAllItems);
  EXPECT_EQ(ticks(ItemSet::Backup) + ticks(ItemSet::Restore), "0000000011111111");
  logic_.Run(Command::UnselectAllItems2);
  EXPECT_EQ(ticks(ItemSet::Restore), "00000000");
}

TEST_F(MainWindowLogicTest, MenuCommandsOpenTheirWindows) {
  logic_.Run(Command::TaskScheduler);
  logic_.Run(Command::Settings);
  logic_.Run(Command::BackupToDisc);
  logic_.Run(Command::About);
  logic_.Run(Command::CheckForUpdate);
  EXPECT_EQ(view_.modals, (std::vector<ModalWindow>{ModalWindow::TaskScheduler, ModalWindow::Settings,
                                                    ModalWindow::DiscWriter, ModalWindow::About}));
  logic_.Run(Command::Website);
  ASSERT_EQ(processes.opened.size(), 1u);
  EXPECT_EQ(processes.opened[0].rfind("http", 0), 0u);
  logic_.Run(Command::Quit);
  EXPECT_EQ(view_.quits, 1);
}

// Even without identities, an unattended run shows no box and ends.
TEST_F(MainWindowLogicTest, AnyCommandLineHidesRunsAndQuitsOnce) {
  logic_.Activated();
  EXPECT_FALSE(view_.hidden);
  EXPECT_EQ(view_.quits, 0);

  CommandLine() = "sf=x xm=1";
  logic_.Load();
  logic_.Activated();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(view_.hidden);
  EXPECT_EQ(view_.quits, 1);
  logic_.Activated();  // a later activation does not start a second run
  EXPECT_EQ(view_.quits, 1);
}

}  // namespace
}  // namespace quarnel::app
