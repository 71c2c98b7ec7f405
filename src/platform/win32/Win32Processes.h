#pragma once
#include "platform/Processes.h"

namespace quarnel::platform {

class Win32Processes : public Processes {
 public:
  bool Snapshot(std::vector<ProcessEntry>* out) override;
  bool Terminate(std::uint32_t id, std::uint32_t exitCode) override;
  bool Start(const std::string& commandLine, WindowState state) override;
  bool ShellOpen(const std::string& target) override;
  FinishedRun RunHidden(const std::string& commandLine) override;
};

}  // namespace quarnel::platform
