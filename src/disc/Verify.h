#pragma once
// Auto-verify: every file of the written image is read back from the disc (or the image
// file) and compared byte for byte with its source, reported file by file.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "disc/DiscEngine.h"
#include "disc/DiscImage.h"

namespace quarnel::disc {

// A file read back from what was written.
class WrittenFile {
 public:
  virtual ~WrittenFile() = default;
  virtual std::uint64_t Size() = 0;
  // Bytes read; fewer than asked only at the end or on an error.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// Opens the written copy of an image file; nullptr when it cannot be found or read.
using WrittenFileOpener = std::function<std::unique_ptr<WrittenFile>(const ImageFile& file)>;

// Reads through the file-system tree of an image file that ImageFile::discPath names: the
// UDF tree when the image was written with one, else the Joliet one when written, else the
// ISO9660 one.
WrittenFileOpener ImageFiles(const std::string& imageFile, bool udf);
// Reads through a mounted disc's folder (a drive's volume path, such as "E:\").
WrittenFileOpener VolumeFiles(const std::string& volumePath);

struct VerifyResult {
  int verified = 0;
  int matched = 0;
  bool cancelled = false;
};

// Raises VerifyStarted, VerifyFile for each file and VerifyDone; calls ProcessInput between
// chunks and stops early when cancelled() turns true (no VerifyDone then).
VerifyResult VerifyImage(const std::vector<ImageFile>& files, const WrittenFileOpener& open, EngineListener& events,
                         const std::function<bool()>& cancelled);

}  // namespace quarnel::disc
