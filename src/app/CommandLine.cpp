#include "app/MainState.h"

namespace quarnel::app {

std::string& CommandLine() {
  static std::string commandLine;
  return commandLine;
}

}  // namespace quarnel::app
