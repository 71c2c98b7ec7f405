#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/Settings.h"
#include "mainwindow/MainWindowLogic.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingMessages.h"
#include "platform/portable/RecordingProcesses.h"
#include "support/FakeMainView.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

namespace quarnel::app {
namespace {

using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageResult;

// The main window's logic over a fake window, an empty registry and a program folder of
// its own.
class MainWindowLogicTest : public ::testing::Test {
 protected:
  MainWindowLogicTest()
      : system_(dir_.path()),
        scope_({.registry = &registry_, .system = &system_, .processes = &processes_, .messages = &messages_}),
        logic_(state_, view_) {
    system_.windowsFolder = "C:\\WINDOWS";
    system_.computerName = "BOX";
    system_.userName = "  alice  ";
  }
  ~MainWindowLogicTest() override { CommandLine().clear(); }

  testing::TempFolder dir_;
  testing::OverrideSystem system_;
  platform::MemoryRegistry registry_;
  platform::RecordingProcesses processes_;
  platform::RecordingMessages messages_;
  platform::ScopedServices scope_;
  MainState state_;
  testing::FakeMainView view_;
  MainWindowLogic logic_;
};

TEST_F(MainWindowLogicTest, LoadWithoutIdentitiesReportsAndDisablesTheAction) {
  view_.SetProgress(55);
  logic_.Load();
  EXPECT_EQ(view_.Text(Control::frmMain), "Quarnel Backup V2.50");
  EXPECT_FALSE(view_.Visible(Control::picCon3));
  EXPECT_EQ(view_.progressMin, 0);
  EXPECT_EQ(view_.progressMax, 100);
  EXPECT_EQ(view_.Progress(), 0);
  EXPECT_EQ(state_.InfoFilePath, JoinPath(dir_.path(), "quarnel.dat"));
  EXPECT_EQ(state_.Zip1->BaseFolder(), dir_.path());
  EXPECT_EQ(state_.ComputerName, "BOX");
  EXPECT_EQ(state_.LogonUser, "alice");
  EXPECT_EQ(state_.WindowsFolder, "C:\\WINDOWS");
  EXPECT_TRUE(state_.NoIdentities);
  EXPECT_TRUE(state_.NoValidBackupFile);

  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Your Windows System have not install Outlook Express ");
  EXPECT_EQ(messages_.shown[0].title, "Quarnel Backup");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(messages_.shown[0].buttons, MessageButtons::Ok);
  EXPECT_FALSE(view_.Enabled(Control::cmdApply));
  EXPECT_EQ(view_.ListCount(Control::cbSource), 0);
  EXPECT_EQ(view_.ListCount(Control::cbTarget), 0);
}

TEST_F(MainWindowLogicTest, AnUnattendedRunWithoutIdentitiesShowsNoBoxAndStillQuits) {
  CommandLine() = "sf=x xm=1";
  logic_.Load();
  logic_.Activated();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(view_.Enabled(Control::cmdApply));
  EXPECT_TRUE(view_.hidden);
  EXPECT_EQ(view_.quits, 1);
}

TEST_F(MainWindowLogicTest, MachineFactsFollowTheirBufferRules) {
  system_.userName = std::string("bob\0junk", 8);
  system_.userNameReportedSize = 0;  // a reported length below 1 leaves the user empty
  system_.computerName = std::string(300, 'c');  // does not fit the 254-character buffer
  logic_.Load();
  EXPECT_EQ(state_.LogonUser, "");
  EXPECT_EQ(state_.ComputerName, "");
  system_.userNameReportedSize.reset();
  logic_.Load();
  EXPECT_EQ(state_.LogonUser, "bob");
}

TEST_F(MainWindowLogicTest, PagesSetTheActionCaption) {
  const char* captions[] = {"Backup Now", "Restore Now", "Show Log File", "Help"};
  for (int page = 3; page >= 0; --page) {
    int redraws = view_.controls[Control::cmdApply].redraws;
    logic_.PageShown(static_cast<Page>(page));
    EXPECT_EQ(view_.Text(Control::cmdApply), captions[page]);
    EXPECT_EQ(view_.controls[Control::cmdApply].redraws, redraws + 1);
  }
  logic_.Load();
  logic_.PageShown(Page::About);
  EXPECT_EQ(view_.Text(Control::lblAboutTitle), "Quarnel Backup V2.50");
}

TEST_F(MainWindowLogicTest, LogsPageFillsFromTheLog) {
  AppendLog(LogFilePath(), LogSeparator());
  logic_.PageShown(Page::Logs);
  logic_.PageShown(Page::Logs);
  EXPECT_EQ(view_.ListCount(Control::List1), 2);
}

TEST_F(MainWindowLogicTest, ApplyPerPage) {
  logic_.Load();
  view_.ShowPage(Page::Logs);
  logic_.Run(Command::Apply);
  view_.ShowPage(Page::About);
  logic_.Run(Command::Apply);
  ASSERT_EQ(processes_.started.size(), 2u);
  EXPECT_EQ(processes_.started[0].commandLine, "C:\\WINDOWS\\notepad.exe " + JoinPath(dir_.path(), "brlog.dat"));
  EXPECT_EQ(processes_.started[1].commandLine, "C:\\WINDOWS\\hh.exe " + JoinPath(dir_.path(), "help.chm"));
  EXPECT_EQ(processes_.started[1].state, platform::WindowState::Normal);

  messages_.shown.clear();
  messages_.answers = {MessageResult::Cancel};
  view_.ShowPage(Page::Restore);
  logic_.Run(Command::Apply);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "Your current Email and News messages will be replaced with the messages from the selected backup "
            "file.\r\n\r\nDo you want to countinue?");
  EXPECT_EQ(messages_.shown[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Information);
}

TEST_F(MainWindowLogicTest, ProtectToggleEnablesColoursAndEmptiesBothFields) {
  view_.SetText(Control::txtPassword, "secret");
  view_.SetText(Control::txtPassword2, "secret");
  view_.SetChecked(Control::ifprotect, true);
  logic_.ProtectClicked();
  for (Control c : {Control::txtPassword, Control::txtPassword2}) {
    EXPECT_TRUE(view_.Enabled(c));
    EXPECT_EQ(view_.controls[c].colour, FieldColour::Window);
    EXPECT_EQ(view_.Text(c), "");
  }
  view_.SetText(Control::txtPassword, "typed");
  view_.SetText(Control::txtPassword2, "typed too");
  view_.SetChecked(Control::ifprotect, false);
  logic_.ProtectClicked();
  for (Control c : {Control::txtPassword, Control::txtPassword2}) {
    EXPECT_FALSE(view_.Enabled(c));
    EXPECT_EQ(view_.controls[c].colour, FieldColour::ScrollBar);
    EXPECT_EQ(view_.Text(c), "");
  }
}

TEST_F(MainWindowLogicTest, SelectAllTouchesOnlyItsOwnPageDisabledBoxesIncluded) {
  view_.SetItemEnabled(ItemSet::Backup, 6, false);
  logic_.Run(Command::SelectAllItems);
  for (int i = 0; i < kItemCount; ++i) {
    EXPECT_TRUE(view_.ItemChecked(ItemSet::Backup, i)) << i;
    EXPECT_FALSE(view_.ItemChecked(ItemSet::Restore, i)) << i;
  }
  logic_.Run(Command::SelectAllItems2);
  logic_.Run(Command::UnselectAllItems);
  for (int i = 0; i < kItemCount; ++i) {
    EXPECT_FALSE(view_.ItemChecked(ItemSet::Backup, i)) << i;
    EXPECT_TRUE(view_.ItemChecked(ItemSet::Restore, i)) << i;
  }
  logic_.Run(Command::UnselectAllItems2);
  EXPECT_FALSE(view_.ItemChecked(ItemSet::Restore, 0));
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
  ASSERT_EQ(processes_.opened.size(), 1u);
  EXPECT_EQ(processes_.opened[0].rfind("http", 0), 0u);
  logic_.Run(Command::Quit);
  EXPECT_EQ(view_.quits, 1);
}

TEST_F(MainWindowLogicTest, AnyCommandLineHidesRunsAndQuitsOnce) {
  logic_.Activated();
  EXPECT_FALSE(view_.hidden);
  EXPECT_EQ(view_.quits, 0);

  CommandLine() = "anything at all";
  logic_.Activated();
  EXPECT_TRUE(view_.hidden);
  EXPECT_EQ(view_.quits, 1);
  logic_.Activated();  // a later activation does not start a second run
  EXPECT_EQ(view_.quits, 1);
}

}  // namespace
}  // namespace quarnel::app
