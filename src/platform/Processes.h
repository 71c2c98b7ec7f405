#pragma once
// Processes: the snapshot of running programs, ending one, starting one, the shell.
#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::platform {

struct ProcessEntry {
  std::uint32_t id = 0;
  std::string exeName;  // the executable's file name, cut at its first zero
};

enum class WindowState { Normal, Minimized, Hidden };  // Normal and Minimized get the focus

// How a program run to its end went.
struct FinishedRun {
  bool started = false;       // false: the program could not be started at all
  std::uint32_t exitCode = 0;
  std::string output;         // what it wrote to its standard output and error, in the ANSI code page
};

class Processes {
 public:
  virtual ~Processes() = default;
  virtual bool Snapshot(std::vector<ProcessEntry>* out) = 0;
  virtual bool Terminate(std::uint32_t id, std::uint32_t exitCode) = 0;
  // Starts a command line without waiting for it.
  virtual bool Start(const std::string& commandLine, WindowState state) = 0;
  // Runs a command line with no window shown and nothing to read on its input, and waits
  // for it to end.
  virtual FinishedRun RunHidden(const std::string& commandLine) = 0;
  // The shell's default action on a document or address.
  virtual bool ShellOpen(const std::string& target) = 0;
};

}  // namespace quarnel::platform
