// The mail-folder reader on any bytes: the index walk, every description and
// every chain of blocks, as the export reads them, and Folders.dbx's folder
// list.
#include <cstddef>
#include <cstdint>

#include "mailstore/DbxFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  using namespace quarnel::mailstore;
  MemoryInput input(data, size);
  DbxFile dbx(input);
  std::uint64_t bytes = 0;
  dbx.ForEachMessage([&](const DbxMessage &m) {
    dbx.ReadMessage(
        m, [&](const char *, std::size_t n) { return (bytes += n), true; });
    return true;
  });
  dbx.Folders();
  return 0;
}
