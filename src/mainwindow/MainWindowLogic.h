#pragma once
// frmMain's logic: load, activation, page switching, the page action, the password toggle,
// the item pop-up menus, the identity choices and the menu commands. The Win32 window
// forwards its events here; everything it does to the window goes through MainView.
#include "app/MainArchiveListener.h"
#include "app/MainState.h"
#include "app/MainView.h"
#include "app/Product.h"

namespace quarnel::app {

enum class Command {
  Backup,           // menu File > Backup Now (Ctrl+B)
  Restore,          // menu File > Restore Now (Ctrl+R)
  ExportMail,       // menu File > Export Mail... (Ctrl+E)
  Quit,             // menu File > Quit (Ctrl+Q) and cmdQuit
  TaskScheduler,    // menu Option > Task Scheduler (Ctrl+T)
  Settings,         // menu Option > Settings (Ctrl+S)
  CheckForUpdate,   // menu Option > Check for Update: no action
  BackupToDisc,     // menu Tools > Backup Data to CD/DVD
  Help,             // menu Help > Help (F1)
  Website,          // menu Help > Our Website
  About,            // menu Help > About (Ctrl+A) and cmdAbout
  Apply,            // cmdApply
  TargetFile,       // cmdTargetFile
  SourceFile,       // cmdSourceFile
  SelectAllItems,   // pop-up selectitem
  UnselectAllItems,
  SelectAllItems2,  // pop-up selectitem2
  UnselectAllItems2,
};

class MainWindowLogic {
 public:
  MainWindowLogic(MainState& state, MainView& view) : state_(state), view_(view), zipListener_(view) {}

  void Load();
  // Every activation; only the first one acts: with a command line it runs the unattended
  // backup, without one it tells of the scheduled backups that failed.
  void Activated();
  void PageShown(Page page);    // after the tab strip switched pages
  void Run(Command command);
  void ProtectClicked();        // ifprotect changed state
  void SourceChosen();          // a choice in cbSource
  void TargetChosen();          // a choice in cbTarget

  MainState& State() { return state_; }
  MainView& View() { return view_; }

 private:
  void Apply();
  void SetAllItems(ItemSet set, bool checked);

  MainState& state_;
  MainView& view_;
  MainArchiveListener zipListener_;
  bool unattendedStarted_ = false;
  bool failuresTold_ = false;
};

// The user chose identity `index` in cbSource: clears and enables the eight backup boxes,
// disables those whose data is missing and, with automatic naming on, sets TargetPath.
void IdentityStep(MainState& state, MainView& view, int index);

}  // namespace quarnel::app
