#include <cstdio>

#include "mailexport/ExportCommand.h"

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quarnel::mailexport::RunExportCommand(args, stdout, stderr);
}
