#pragma once
// What the archive component reports while it works. The events arrive on the caller's
// thread, inside the call that causes them; the component itself never waits, so any
// pumping of window messages or pausing is the listener's business.
#include <cstdint>
#include <string>

namespace quarnel::archive {

class ArchiveListener {
 public:
  virtual ~ArchiveListener() = default;
  // A file is being read into the archive (WriteArchive); name is its entry name (ANSI).
  virtual void OnAddingFile(const std::string& name) = 0;
  // An entry is about to be extracted (ExtractToFolder); name as asked for (ANSI).
  virtual void OnExtractingFile(const std::string& name) = 0;
  // Whole percent of the bytes to be archived that have been read, 0 to 100, rising.
  virtual void OnWriteProgress(int percent) = 0;
  // The archive has been written completely and is in place; never sent on failure.
  virtual void OnWriteDone() = 0;
  // The written archive is being read back (WriteArchive with VerifyAfterWrite); once.
  virtual void OnVerifying() {}
};

// Set to 1 by the window's completion handler, cleared by the backup jobs before writing.
std::int16_t& ArchiveWritten();

}  // namespace quarnel::archive
