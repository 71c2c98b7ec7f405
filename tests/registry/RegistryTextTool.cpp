// Exports or imports one key tree in the registry text format, or backs up the five registry
// items of one identity into a backup file and restores them into another, for checks that
// compare the result with another registry tool.
// Usage: registry_text_tool export|import <key> <file>
//        registry_text_tool items <identity key name> <identity key name>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/MainState.h"
#include "app/Settings.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "platform/Services.h"
#include "registry/ModReg.h"
#include "registry/RegistryText.h"

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
  const bool items = argc == 4 && std::strcmp(argv[1], "items") == 0;
  if (argc != 4 || (std::strcmp(argv[1], "export") != 0 && std::strcmp(argv[1], "import") != 0 && !items)) {
    std::fprintf(stderr, "usage: registry_text_tool export|import <key> <file> | items <identity> <identity>\n");
    return 2;
  }
  if (items) return RoundTripItems(argv[2], argv[3]) ? 0 : 1;
  try {
    if (std::strcmp(argv[1], "export") == 0)
      quarnel::registry::ExportKeyTree(argv[2], argv[3]);
    else
      quarnel::registry::ImportKeyFile(argv[2], argv[3]);
  } catch (const quarnel::registry::RegistryError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
