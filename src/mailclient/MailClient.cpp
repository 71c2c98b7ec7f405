#include "mailclient/MailClient.h"

#include "app/Settings.h"
#include "mailclient/Locations.h"
#include "platform/Services.h"
#include "platform/Text.h"
#include "registry/ModReg.h"

namespace quarnel::mailclient {

void EndMailClient() {
  std::vector<platform::ProcessEntry> processes;
  if (!platform::Procs().Snapshot(&processes)) return;
  for (const platform::ProcessEntry& process : processes) {
    if (platform::LowerAnsi(app::CutAtNul(process.exeName)) == "msimn.exe") {
      platform::Procs().Terminate(process.id, 0);
    }
  }
}

void StartMailClient() {
  std::string folder = registry::ReadStringValue(kMailClientAppPathKey, "Path");
  if (folder == "Error") return;
  std::string program = platform::System().ExpandEnvironment(folder) + "\\msimn.exe";
  // Quoted, so that a folder with blanks cannot start some other program on the way.
  platform::Procs().Start("\"" + program + "\"", platform::WindowState::Minimized);
}

}  // namespace quarnel::mailclient
