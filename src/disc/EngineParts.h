#pragma once
// What the engine's devices share with it: accepted work runs as a Job from RunPending,
// devices hand their work to the host and raise events through it.
#include <memory>
#include <string>

#include "disc/DiscEngine.h"
#include "disc/ImageTree.h"

namespace quarnel::disc {

class Job {
 public:
  virtual ~Job() = default;
  virtual void Run() = 0;
  virtual void Cancel() = 0;
};

class EngineHost {
 public:
  virtual ~EngineHost() = default;
  virtual EngineListener& Events() = 0;
  // Accepts work to run from RunPending; false while other work waits or runs.
  virtual bool Schedule(std::unique_ptr<Job> job) = 0;
};

// A device of this engine: it can write the image held by the writer.
class EngineDevice : public DiscDevice {
 public:
  virtual std::unique_ptr<Job> WriteJob(const ImageNode& root, const WriterSettings& settings) = 0;
};

// Work that only reports a write error (category 4) and the end of the write (status 11).
std::unique_ptr<Job> FailedWriteJob(EngineListener& events, const std::string& text);

// A copy of the image tree as it is now on disk: sizes and dates read again. A file that is
// gone raises FileWarning; OK leaves it out, Cancel stops (nullptr, *cancelled true).
std::unique_ptr<ImageNode> FreshCopy(const ImageNode& root, EngineListener& events, bool* cancelled);

}  // namespace quarnel::disc
