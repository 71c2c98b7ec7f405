#pragma once
// A process seam for tests: a list of pretend processes, and a record of what was
// ended, started, run and opened.
#include <deque>
#include <string>
#include <vector>

#include "platform/Processes.h"

namespace quarnel::platform {

struct StartedProgram {
  std::string commandLine;
  WindowState state;
};

class RecordingProcesses : public Processes {
 public:
  bool Snapshot(std::vector<ProcessEntry>* out) override;
  bool Terminate(std::uint32_t id, std::uint32_t exitCode) override;
  bool Start(const std::string& commandLine, WindowState state) override;
  bool ShellOpen(const std::string& target) override;
  FinishedRun RunHidden(const std::string& commandLine) override;

  bool snapshotFails = false;
  std::vector<ProcessEntry> running;
  std::vector<std::uint32_t> terminated;
  std::vector<StartedProgram> started;
  std::vector<std::string> opened;
  std::vector<std::string> ran;       // RunHidden's command lines, in order
  std::deque<FinishedRun> runResults;  // what the next runs report; then: started, exit code 0
};

}  // namespace quarnel::platform
