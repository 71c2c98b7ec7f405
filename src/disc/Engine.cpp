#include "disc/Engine.h"

#include <algorithm>

#include "disc/DiscImage.h"
#include "disc/ImageFileDrive.h"
#include "disc/LocalFiles.h"

namespace quarnel::disc {
namespace {

class FailedWrite final : public Job {
 public:
  FailedWrite(EngineListener& events, std::string text) : events_(events), text_(std::move(text)) {}
  void Run() override {
    EngineErrorInfo error;
    error.Category = kErrorWrite;
    error.Text = text_;
    events_.EngineError(error);
    events_.WriteStatus(0, kWriteFailed);
  }
  void Cancel() override {}

 private:
  EngineListener& events_;
  std::string text_;
};

bool CopyInto(const ImageNode& from, ImageNode& to, EngineListener& events) {
  for (const auto& [key, child] : from.children) {
    auto copy = std::make_unique<ImageNode>();
    copy->name = child->name;
    copy->isFolder = child->isFolder;
    copy->source = child->source;
    copy->modified = child->modified;
    copy->parent = &to;
    if (child->isFolder) {
      if (!CopyInto(*child, *copy, events)) return false;
    } else {
      LocalEntry facts;
      if (!StatPath(child->source, &facts) || facts.isFolder) {
        FileError warning{2, "The file could not be found; it will be left out of the image.", child->source};
        if (!events.FileWarning(warning)) return false;
        continue;
      }
      copy->size = facts.size;
      copy->modified = facts.modified;
    }
    to.children[key] = std::move(copy);
  }
  return true;
}

}  // namespace

std::unique_ptr<Job> FailedWriteJob(EngineListener& events, const std::string& text) {
  return std::make_unique<FailedWrite>(events, text);
}

std::unique_ptr<ImageNode> FreshCopy(const ImageNode& root, EngineListener& events, bool* cancelled) {
  auto copy = std::make_unique<ImageNode>();
  copy->isFolder = true;
  copy->modified = root.modified;
  *cancelled = !CopyInto(root, *copy, events);
  if (*cancelled) copy.reset();
  return copy;
}

// ---- events ----

void EventHub::Add(EngineListener* listener) {
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void EventHub::Remove(EngineListener* listener) { std::erase(listeners_, listener); }

void EventHub::ItemAdded(const ImageItem& item) {
  Each([&](EngineListener& l) { l.ItemAdded(item); });
}
void EventHub::ItemListed(const ImageItem& item) {
  Each([&](EngineListener& l) { l.ItemListed(item); });
}
void EventHub::ItemRemoved(const ImageItem& item) {
  Each([&](EngineListener& l) { l.ItemRemoved(item); });
}
void EventHub::ItemRenamed(const ImageItem& item) {
  Each([&](EngineListener& l) { l.ItemRenamed(item); });
}
bool EventHub::ReplaceQuery(const ImageItem& item, const std::string& newSourcePath) {
  return !listeners_.empty() && listeners_.front()->ReplaceQuery(item, newSourcePath);
}
void EventHub::ImageCleared() {
  Each([&](EngineListener& l) { l.ImageCleared(); });
}
void EventHub::WriteStatus(int percent, int status) {
  Each([&](EngineListener& l) { l.WriteStatus(percent, status); });
}
void EventHub::TrackReading(int track, int progress, const std::string& fileName) {
  Each([&](EngineListener& l) { l.TrackReading(track, progress, fileName); });
}
bool EventHub::FileWarning(const FileError& warning) {
  return listeners_.empty() || listeners_.front()->FileWarning(warning);
}
void EventHub::EngineError(const EngineErrorInfo& error) {
  Each([&](EngineListener& l) { l.EngineError(error); });
}
void EventHub::VerifyStarted(int fileCount) {
  Each([&](EngineListener& l) { l.VerifyStarted(fileCount); });
}
void EventHub::VerifyFile(const ImageItem& item, int status, int done, int total) {
  Each([&](EngineListener& l) { l.VerifyFile(item, status, done, total); });
}
void EventHub::VerifyDone(int verified, int matched) {
  Each([&](EngineListener& l) { l.VerifyDone(verified, matched); });
}
void EventHub::EraseStatus(int status, int percent) {
  Each([&](EngineListener& l) { l.EraseStatus(status, percent); });
}
void EventHub::EraseError(const DeviceError& error) {
  Each([&](EngineListener& l) { l.EraseError(error); });
}
void EventHub::ProcessInput() {
  Each([&](EngineListener& l) { l.ProcessInput(); });
}

// ---- the engine ----

Engine::Engine(DriveFinder findDrives) : findDrives_(std::move(findDrives)), tree_(events_) {}

Engine::~Engine() = default;

bool Engine::Initialize(bool flag) {
  devices_.clear();
  if (findDrives_) devices_ = findDrives_(*this);
  devices_.push_back(std::make_unique<ImageFileDrive>(*this));
  return true;
}

DiscDevice* Engine::Device(int index) {
  if (index < 0 || index >= DeviceCount()) return nullptr;
  return devices_[index].get();
}

bool Engine::Schedule(std::unique_ptr<Job> job) {
  if (!job || pending_ || running_) return false;
  pending_ = std::move(job);
  if (wakeUp_) wakeUp_();
  return true;
}

void Engine::RunPending() {
  if (running_ || !pending_) return;
  std::unique_ptr<Job> job = std::move(pending_);
  running_ = job.get();
  job->Run();
  running_ = nullptr;
}

double Engine::ImageSize() { return static_cast<double>(DiscImage(tree_.RootNode(), OptionsFor(settings_)).Bytes()); }

bool Engine::StartWrite(DiscDevice& device) {
  auto it = std::find_if(devices_.begin(), devices_.end(), [&](const auto& d) { return d.get() == &device; });
  if (it == devices_.end()) return false;
  return Schedule((*it)->WriteJob(tree_.RootNode(), settings_));
}

void Engine::CancelWrite() {
  if (running_) running_->Cancel();
  if (pending_) pending_->Cancel();
}

}  // namespace quarnel::disc
