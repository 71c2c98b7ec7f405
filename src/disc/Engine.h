#pragma once
// Our disc engine: the image core with its writer, the image file drive (always listed,
// last) and the drives that a backend finds (IMAPI2 on Windows). Work accepted by StartWrite
// or StartErase waits for RunPending; events go to every listener added, and replies come
// from the first one.
#include <functional>
#include <memory>
#include <vector>

#include "disc/EngineParts.h"
#include "disc/ImageTree.h"

namespace quarnel::disc {

class EventHub final : public EngineListener {
 public:
  void Add(EngineListener* listener);
  void Remove(EngineListener* listener);

  void ItemAdded(const ImageItem& item) override;
  void ItemListed(const ImageItem& item) override;
  void ItemRemoved(const ImageItem& item) override;
  void ItemRenamed(const ImageItem& item) override;
  bool ReplaceQuery(const ImageItem& item, const std::string& newSourcePath) override;
  void ImageCleared() override;
  void WriteStatus(int percent, int status) override;
  void TrackReading(int track, int progress, const std::string& fileName) override;
  bool FileWarning(const FileError& warning) override;
  void EngineError(const EngineErrorInfo& error) override;
  void VerifyStarted(int fileCount) override;
  void VerifyFile(const ImageItem& item, int status, int done, int total) override;
  void VerifyDone(int verified, int matched) override;
  void EraseStatus(int status, int percent) override;
  void EraseError(const DeviceError& error) override;
  void ProcessInput() override;

 private:
  template <typename F>
  void Each(F f) {
    std::vector<EngineListener*> now = listeners_;  // a listener may leave during its event
    for (EngineListener* l : now) f(*l);
  }
  std::vector<EngineListener*> listeners_;
};

class Engine final : public DiscEngine, public EngineHost, public DataWriter {
 public:
  using DriveFinder = std::function<std::vector<std::unique_ptr<EngineDevice>>(EngineHost& host)>;
  explicit Engine(DriveFinder findDrives = {});
  ~Engine() override;

  bool Initialize(bool flag) override;
  int DeviceCount() override { return static_cast<int>(devices_.size()); }
  DiscDevice* Device(int index) override;
  DataWriter& Writer() override { return *this; }
  void AddListener(EngineListener* listener) override { events_.Add(listener); }
  void RemoveListener(EngineListener* listener) override { events_.Remove(listener); }
  void SetWakeUp(std::function<void()> wakeUp) override { wakeUp_ = std::move(wakeUp); }
  void RunPending() override;

  const ImageTree& Tree() const { return tree_; }

 private:
  // EngineHost
  EngineListener& Events() override { return events_; }
  bool Schedule(std::unique_ptr<Job> job) override;
  // DataWriter
  WriterSettings& Settings() override { return settings_; }
  int BlockSize() override { return 2048; }
  double ImageSize() override;
  ImageRoot& Root() override { return tree_; }
  bool StartWrite(DiscDevice& device) override;
  void CancelWrite() override;

  DriveFinder findDrives_;
  EventHub events_;
  ImageTree tree_;
  WriterSettings settings_;
  std::vector<std::unique_ptr<EngineDevice>> devices_;
  std::function<void()> wakeUp_;
  std::unique_ptr<Job> pending_;
  Job* running_ = nullptr;
};

}  // namespace quarnel::disc
