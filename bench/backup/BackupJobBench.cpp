// The backup job of the backup page, timed through the job code: one identity whose message
// store is the given folder, its mail folders backed up into the given file with a password,
// over a window made of plain fields (so the panel's pauses cost nothing) and the portable
// seams. bench/backup/run drives it against 7-Zip.
//   quarnel_backup_bench <mail folder> <backup file> <password> <check: 0|1>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/Jobs.h"
#include "app/MainArchiveListener.h"
#include "app/Settings.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingMessages.h"
#include "platform/portable/RecordingProcesses.h"
#include "support/FakeMainView.h"

namespace {

using namespace quarnel;

// The build's own system facts, with the program folder (and so the data folder, where the
// settings and the information file lie) next to the backup file.
class BenchSystem : public platform::SystemFacts {
 public:
  BenchSystem(platform::SystemFacts& inner, std::string folder) : inner_(inner), folder_(std::move(folder)) {}
  bool QueryComputerName(char* b, std::uint32_t* s) override { return inner_.QueryComputerName(b, s); }
  bool QueryUserName(char* b, std::uint32_t* s) override { return inner_.QueryUserName(b, s); }
  std::uint32_t QueryWindowsDirectory(char* b, std::uint32_t s) override { return inner_.QueryWindowsDirectory(b, s); }
  std::string ExpandEnvironment(const std::string& t) override { return inner_.ExpandEnvironment(t); }
  std::string TempPath() override { return inner_.TempPath(); }
  std::string ProgramFolder() override { return folder_; }
  std::string AppDataFolder() override { return inner_.AppDataFolder(); }
  platform::LocalTime Now() override { return inner_.Now(); }
  std::string GeneralDate(const platform::LocalTime& t) override { return inner_.GeneralDate(t); }
  bool CreateTempFile(const std::string& f, const std::string& p, std::string* path) override {
    return inner_.CreateTempFile(f, p, path);
  }
  int ProcessorCount() override { return inner_.ProcessorCount(); }

 private:
  platform::SystemFacts& inner_;
  std::string folder_;
};

void SeedIdentity(const std::string& identity, const std::string& store) {
  auto set = [](const std::string& key, const char* name, const std::string& text) {
    platform::RegKey handle = 0;
    platform::Registry().CreateKey(platform::kHkeyCurrentUser, key.c_str(), &handle);
    platform::Registry().SetValueEx(handle, name, platform::kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                    static_cast<std::uint32_t>(text.size() + 1));
    platform::Registry().CloseKey(handle);
  };
  set("Identities\\" + identity, "Username", "Bench");
  set("Identities\\" + identity + "\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root", store);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: quarnel_backup_bench <mail folder> <backup file> <password> <check: 0|1>\n");
    return 2;
  }
  const std::string store = argv[1], target = argv[2], password = argv[3];
  platform::MemoryRegistry registry;
  BenchSystem system(*platform::DefaultServices().system, target.substr(0, target.find_last_of("/\\")));
  platform::RecordingMessages messages;
  platform::RecordingProcesses processes;
  platform::ScopedServices scope(
      {.registry = &registry, .system = &system, .processes = &processes, .messages = &messages});
  const char* identity = "{BE0C0000-0000-4000-8000-000000000001}";
  SeedIdentity(identity, store);
  const std::string settings = app::SettingsFilePath();
  app::WriteINI(settings, "General", "checkbackupfile", argv[4]);
  for (const char* key : {"burndvd", "runoutlookafterbackup"}) app::WriteINI(settings, "General", key, "0");
  for (const char* key : {"openfolderbackup", "autocloseoutlook"}) app::WriteINI(settings, "backup", key, "0");

  app::MainState state;
  state.Identities = {{"Bench", identity}};
  state.TargetPath = target;
  state.InfoFilePath = app::JoinPath(app::DataFolder(), "quarnel.dat");
  quarnel::testing::FakeMainView view;
  view.controls[app::Control::cbSource].items = {"Bench"};
  view.controls[app::Control::cbSource].index = 0;
  view.items[0][3].checked = true;  // Email/News Messages
  view.controls[app::Control::ifprotect].checked = !password.empty();
  view.controls[app::Control::txtPassword].text = password;
  view.controls[app::Control::txtPassword2].text = password;
  app::MainArchiveListener listener(view);
  state.Zip1->SetListener(&listener);

  auto start = std::chrono::steady_clock::now();
  app::RunBackupJob(state, view);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string shown = messages.shown.empty() ? "" : messages.shown.back().text;
  std::printf("backup job %.2f s in-process, check %s: %s\n", seconds, argv[4],
              shown.substr(0, shown.find('\r')).c_str());
  return shown.rfind("The Backup was Completed!", 0) == 0 ? 0 : 1;
}
