// Exports or imports one key tree in the registry text format, for checks that compare the
// result with another registry tool. Usage: registry_text_tool export|import <key> <file>
#include <cstdio>
#include <cstring>

#include "registry/ModReg.h"
#include "registry/RegistryText.h"

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "export") != 0 && std::strcmp(argv[1], "import") != 0)) {
    std::fprintf(stderr, "usage: registry_text_tool export|import <key> <file>\n");
    return 2;
  }
  try {
    if (std::strcmp(argv[1], "export") == 0)
      quarnel::registry::ExportKeyTree(argv[2], argv[3]);
    else
      quarnel::registry::ImportKeyFile(argv[2], argv[3]);
  } catch (const quarnel::registry::RegistryError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
