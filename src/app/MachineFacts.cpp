#include "app/MachineFacts.h"

#include "app/Settings.h"
#include "platform/Services.h"

namespace quarnel::app {

using platform::System;

std::string QueryWindowsFolder() {
  char buffer[255] = {};
  std::uint32_t n = System().QueryWindowsDirectory(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return "";
  return std::string(buffer, n);
}

void GatherMachineFacts(MainState& state) {
  char computer[254] = {};
  std::uint32_t size = sizeof computer;
  state.ComputerName = System().QueryComputerName(computer, &size) && size < sizeof computer
                           ? std::string(computer, size)
                           : std::string();

  char user[255] = {};
  size = sizeof user;
  state.LogonUser.clear();
  if (System().QueryUserName(user, &size) && size >= 1 && size <= sizeof user) {
    state.LogonUser = TrimBlanks(CutAtNul(std::string(user, size)));
  }

  state.WindowsFolder = QueryWindowsFolder();
}

}  // namespace quarnel::app
