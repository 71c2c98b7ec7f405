#include "app/MainState.h"

namespace quarnel::app {

std::string& CommandLine() {
  static std::string commandLine;
  return commandLine;
}

int& ExitCode() {
  static int code = 0;
  return code;
}

}  // namespace quarnel::app
