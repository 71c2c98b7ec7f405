// Backs up the five registry items of one identity into a backup file and restores them into
// another, for a check that compares the result with another registry tool.
// Usage: registry_text_tool <identity key name> <identity key name>
#include <cstdio>
#include <optional>
#include <string>

#include "app/MainState.h"
#include "app/Settings.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "platform/Services.h"

namespace {

using namespace quarnel;

constexpr int kRegistryItems[] = {0, 2, 4, 5, 7};

// As the backup job, then opening the file and the restore job do, without the window.
bool RoundTripItems(const std::string& from, const std::string& to) {
  app::MainState state;
  state.InfoFilePath = app::JoinPath(app::DataFolder(), backup::kInfoFileName);
  backup::ItemContext context{state, {}, {}};
  const std::string file = app::JoinPath(app::DataFolder(), "registry items.soe");
  state.Zip1->NewArchive(file);
  std::string flags = "00000000";
  for (int i : kRegistryItems) flags[i] = backup::Items()[i].backup(context, from) ? '1' : '0';
  bool done = backup::FinishInfoFile(context, flags) && state.Zip1->WriteArchive();
  backup::DeleteJobFiles(context);
  std::optional<archive::ArchiveEntry> info;
  done = done && state.Zip1->OpenArchive(file) && (info = state.Zip1->FindEntry(backup::kInfoFileName)) &&
         info->ExtractToFolder(app::DataFolder());
  const backup::BackupInfo read = backup::ReadBackupInfo(state.InfoFilePath);
  platform::Files().RemoveFile(state.InfoFilePath);
  done = done && read.itemFlags == flags && flags == "10101101";
  for (int i : kRegistryItems) {
    state.ItemEntryNames[i] = read.entryNames[i];
    done = done && backup::Items()[i].restore(context, to);
  }
  state.Zip1->CloseArchive();
  platform::Files().RemoveFile(file);
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: registry_text_tool <identity> <identity>\n");
    return 2;
  }
  return RoundTripItems(argv[1], argv[2]) ? 0 : 1;
}
