#include "platform/portable/RecordingProcesses.h"

#include <algorithm>

namespace quarnel::platform {

bool RecordingProcesses::Snapshot(std::vector<ProcessEntry>* out) {
  if (snapshotFails) return false;
  *out = running;
  return true;
}

bool RecordingProcesses::Terminate(std::uint32_t id, std::uint32_t) {
  auto it = std::find_if(running.begin(), running.end(), [id](const ProcessEntry& p) { return p.id == id; });
  if (it == running.end()) return false;
  running.erase(it);
  terminated.push_back(id);
  return true;
}

bool RecordingProcesses::Start(const std::string& commandLine, WindowState state) {
  started.push_back({commandLine, state});
  return true;
}

bool RecordingProcesses::ShellOpen(const std::string& target) {
  opened.push_back(target);
  return true;
}

FinishedRun RecordingProcesses::RunHidden(const std::string& commandLine) {
  ran.push_back(commandLine);
  if (runResults.empty()) {
    FinishedRun fine;
    fine.started = true;
    return fine;
  }
  FinishedRun result = runResults.front();
  runResults.pop_front();
  return result;
}

}  // namespace quarnel::platform
