#pragma once
// Pieces of ZipArchive shared by its source files, not part of its interface.
#include <zip.h>

#include <vector>

#include "archive/ZipArchive.h"

namespace quarnel::archive {

struct ZipArchive::Reader {
  ~Reader();
  zip_t* archive = nullptr;
  std::vector<bool> ae1;  // by entry index
};

// Stands in when nobody listens.
class SilentListener : public ArchiveListener {
 public:
  void OnAddingFile(const std::string&) override {}
  void OnExtractingFile(const std::string&) override {}
  void OnWriteProgress(int) override {}
  void OnWriteDone() override {}
};

}  // namespace quarnel::archive
