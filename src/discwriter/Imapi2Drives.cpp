#include "discwriter/Imapi2Drives.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "disc/DiscImage.h"
#include "disc/Verify.h"
#include "discwriter/Imapi2Com.h"

namespace quarnel::disc {
namespace {

using com::Object;
using com::Variant;

constexpr wchar_t kClientName[] = L"Quarnel Backup";

struct Kind {
  long imapi;        // IMAPI_MEDIA_PHYSICAL_TYPE
  int code;          // the engine's media type
  int capability;    // the erase capability, 0 for kinds that are not erased
  long profiles[2];  // the drive profiles that write the kind
  bool rewritable;
};
constexpr Kind kKinds[] = {
    {0x1, kMediaCdRom, 0, {}, false},
    {0x2, kMediaCdR, 0, {}, false},
    {0x3, kMediaCdRw, kCapEraseCdRw, {0x0A, 0}, true},
    {0x4, kMediaDvdRom, 0, {}, false},
    {0x5, kMediaDvdRam, kCapEraseDvdRam, {0x12, 0}, true},
    {0x6, kMediaDvdPlusR, 0, {}, false},
    {0x7, kMediaDvdPlusRw, kCapEraseDvdPlusRw, {0x1A, 0}, true},
    {0x8, kMediaDvdPlusRDualLayer, 0, {}, false},
    {0x9, kMediaDvdMinusR, 0, {}, false},
    {0xA, kMediaDvdMinusRw, kCapEraseDvdMinusRw, {0x13, 0x14}, true},
    {0xB, kMediaDvdMinusRDualLayer, 0, {}, false},
    {0xD, kMediaDvdPlusRwDualLayer, 0, {}, true},
    {0x11, kMediaBdRom, 0, {}, false},
    {0x12, kMediaBdR, 0, {}, false},
    {0x13, kMediaBdRe, kCapEraseBdRe, {0x43, 0}, true},
};

// IMAPI_FORMAT2_DATA_MEDIA_STATE
constexpr long kStateOverwriteOnly = 0x1;
constexpr long kStateBlank = 0x2;
constexpr long kStateUnsupportedMask = 0xFC00;
// IMAPI_FORMAT2_DATA_WRITE_ACTION
constexpr long kActionWritingData = 4;
constexpr long kActionFinalization = 5;

const Kind* KindOf(long imapi) {
  for (const Kind& kind : kKinds) {
    if (kind.imapi == imapi) return &kind;
  }
  return nullptr;
}

// Sectors per second at 1x: CD 150 KiB/s, DVD 1,385,000 B/s, Blu-ray and HD DVD 4.5 MB/s.
double BaseSpeed(long imapi) {
  if (imapi >= 0x1 && imapi <= 0x3) return 75.0;
  if (imapi >= 0xE) return 4500000.0 / 2048;
  return 1385000.0 / 2048;
}

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  std::size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string Hex(long code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

class Imapi2Drive final : public EngineDevice {
 public:
  Imapi2Drive(EngineHost& host, Object recorder) : host_(host), recorder_(std::move(recorder)) {
    format_ = com::CurrentServices().create(L"IMAPI2.MsftDiscFormat2Data");
    if (format_) format_.Put(L"Recorder", Variant(recorder_.get(), true));
  }

  std::string Name() override {
    std::string name = Trim(Trim(recorder_.GetText(L"VendorId")) + " " + Trim(recorder_.GetText(L"ProductId")));
    std::string volume = VolumePath();
    if (!volume.empty()) name += " (" + volume.substr(0, 2) + ")";
    return name;
  }

  bool IsSupported() override {
    Variant answer;
    return format_ && format_.Call(L"IsRecorderSupported", {Variant(recorder_.get(), true)}, &answer).ok() &&
           answer.AsBool();
  }

  bool HasCapability(int code) override {
    if (code == kCapBufferProtect) return IsSupported();
    const Kind* kind = nullptr;
    for (const Kind& k : kKinds) {
      if (k.capability == code) kind = &k;
    }
    if (kind == nullptr) return false;
    Variant profiles;
    if (!recorder_.Get(L"SupportedProfiles", &profiles).ok()) return false;
    bool writes = false;
    for (const Variant& profile : profiles.AsArray()) {
      writes = writes || profile.AsLong() == kind->profiles[0] ||
               (kind->profiles[1] && profile.AsLong() == kind->profiles[1]);
    }
    if (!writes) return false;
    Object erase = EraseFormat();
    Variant media;
    if (!erase || !erase.Get(L"SupportedMediaTypes", &media).ok()) return false;
    for (const Variant& type : media.AsArray()) {
      if (type.AsLong() == kind->imapi) return true;
    }
    return false;
  }

  void RefreshMedia(bool forWriting) override {
    physical_ = format_ ? format_.GetLong(L"CurrentPhysicalMediaType") : 0;
    state_ = format_ ? format_.GetLong(L"CurrentMediaStatus") : 0;
    Variant answer;
    mediaSupported_ = format_ &&
                      format_.Call(L"IsCurrentMediaSupported", {Variant(recorder_.get(), true)}, &answer).ok() &&
                      answer.AsBool();
    freeSectors_ = format_ ? format_.GetLong(L"FreeSectorsOnMedia") : 0;
    speeds_.clear();
    Variant speeds;
    if (format_ && format_.Get(L"SupportedWriteSpeeds", &speeds).ok()) {
      for (const Variant& speed : speeds.AsArray()) speeds_.push_back(static_cast<int>(speed.AsLong()));
    }
  }

  int SpeedCount() override { return static_cast<int>(speeds_.size()); }
  int SpeedValue(int index) override { return index >= 0 && index < SpeedCount() ? speeds_[index] : 0; }
  double SpeedFactor(int value) override { return value / BaseSpeed(physical_); }

  MediaInfo Media() override {
    MediaInfo media;
    media.MediaType = MediaTypeOfImapi(physical_);
    const Kind* kind = KindOf(physical_);
    media.IsRewritable = kind != nullptr && kind->rewritable;
    // Our image starts at the disc's first sector: a blank disc, or one that is overwritten
    // in place, takes it; a disc with a session to append to does not.
    media.IsWritable =
        mediaSupported_ && (state_ & kStateUnsupportedMask) == 0 && (state_ & (kStateBlank | kStateOverwriteOnly)) != 0;
    return media;
  }

  double FreeBlocks(bool recordable) override { return static_cast<double>(freeSectors_); }
  void Eject() override { recorder_.Call(L"EjectMedia"); }
  void CloseTray() override { recorder_.Call(L"CloseTray"); }
  int EraseSetting() override { return 0; }
  bool StartErase(bool quick, int setting) override;

  std::unique_ptr<Job> WriteJob(const ImageNode& root, const WriterSettings& settings) override;

  std::string VolumePath() {
    Variant paths;
    if (!recorder_.Get(L"VolumePathNames", &paths).ok()) return "";
    std::vector<Variant> all = paths.AsArray();
    return all.empty() ? "" : all[0].AsText();
  }
  Object EraseFormat() {
    Object erase = com::CurrentServices().create(L"IMAPI2.MsftDiscFormat2Erase");
    if (erase) erase.Put(L"Recorder", Variant(recorder_.get(), true));
    return erase;
  }
  const Object& Format() const { return format_; }
  long Physical() const { return physical_; }

 private:
  EngineHost& host_;
  Object recorder_;
  Object format_;
  long physical_ = 0;
  long state_ = 0;
  bool mediaSupported_ = false;
  long freeSectors_ = 0;
  std::vector<int> speeds_;
};

DeviceError DeviceErrorOf(const com::CallResult& result, const std::string& what, const std::string& drive) {
  return DeviceError{static_cast<long>(result.hr),
                     result.description.empty() ? "The drive reported an error." : result.description,
                     what + " " + Hex(result.hr), drive};
}

// Connects a sink to a format object's events for the life of the scope.
class EventConnection {
 public:
  EventConnection(const Object& source, com::EventHandler handler) : source_(source) {
    sink_ = com::NewEventSink(std::move(handler));
    cookie_ = com::CurrentServices().advise(source_, sink_);
  }
  ~EventConnection() {
    com::CurrentServices().unadvise(source_, cookie_);
    sink_->Release();
  }
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;

 private:
  Object source_;
  IDispatch* sink_ = nullptr;
  DWORD cookie_ = 0;
};

class Imapi2Write final : public Job {
 public:
  Imapi2Write(EngineListener& events, Imapi2Drive& drive, const ImageNode& root, const WriterSettings& settings)
      : events_(events), drive_(drive), root_(root), settings_(settings) {}

  void Cancel() override {
    cancelled_ = true;
    if (writing_) drive_.Format().Call(L"CancelWrite");
  }

  void Run() override {
    events_.WriteStatus(0, kWritePreparing);
    std::string refused;
    if (settings_.TestWrite) refused = "This drive cannot make a test write: IMAPI2 writes data discs for real only.";
    if (settings_.WriteMode == kWriteModeDiscAtOnce) refused = "This drive cannot write data discs disc-at-once.";
    if (settings_.Mode2XA && drive_.Physical() >= 0x1 && drive_.Physical() <= 0x3) {
      refused = "This drive cannot write Mode 2 XA discs.";
    }
    if (!refused.empty()) {
      Fail(refused);
      return;
    }
    bool stopped = false;
    std::unique_ptr<ImageNode> fresh = FreshCopy(root_, events_, &stopped);
    if (stopped || cancelled_) {
      events_.WriteStatus(0, kWriteCancelled);
      return;
    }
    auto image = std::make_shared<DiscImage>(*fresh, OptionsFor(settings_));
    auto fault = std::make_shared<FileError>();

    const Object& format = drive_.Format();
    format.Put(L"ClientName", Variant(kClientName));
    format.Put(L"ForceMediaToBeClosed", Variant(settings_.FinalizeDisc));
    format.Put(L"BufferUnderrunFreeDisabled", Variant(!settings_.BufferProtect));
    if (settings_.WriteSpeed > 0)
      format.Call(L"SetWriteSpeed", {Variant(static_cast<long>(settings_.WriteSpeed)), Variant(false)});

    IStream* stream = com::NewImageStream(image, fault);
    com::CallResult written;
    {
      EventConnection events(format, [this](const std::vector<Variant>& args) { OnUpdate(args); });
      writing_ = true;
      written = format.Call(L"Write", {Variant(stream, false)});
      writing_ = false;
    }
    stream->Release();
    if (cancelled_) {
      events_.WriteStatus(0, kWriteCancelled);
      return;
    }
    if (!written.ok()) {
      EngineErrorInfo error;
      if (!fault->Path.empty()) {
        error.Category = kErrorSourceFile;
        error.Text = fault->Text;
        error.FileDetail = *fault;
      } else {
        error.Category = kErrorDevice;
        error.Text = "The disc could not be written.";
        error.DeviceDetail = DeviceErrorOf(written, "Write", drive_.Name());
      }
      events_.EngineError(error);
      events_.WriteStatus(0, kWriteFailed);
      return;
    }
    if (settings_.AutoVerify) {
      VerifyResult result =
          VerifyImage(image->Files(), VolumeFiles(drive_.VolumePath()), events_, [this] { return cancelled_; });
      if (result.cancelled) {
        events_.WriteStatus(0, kWriteCancelled);
        return;
      }
    }
    events_.WriteStatus(100, kWriteDone);
  }

 private:
  void Fail(const std::string& text) {
    EngineErrorInfo error;
    error.Category = kErrorWrite;
    error.Text = text;
    events_.EngineError(error);
    events_.WriteStatus(0, kWriteFailed);
  }

  // Update(object, progress): progress tells the action and the sectors written.
  void OnUpdate(const std::vector<Variant>& args) {
    if (args.size() >= 2) {
      Object progress(args[1].AsDispatch());
      long action = progress.GetLong(L"CurrentAction", -1);
      if (action == kActionWritingData) {
        long start = progress.GetLong(L"StartLba");
        long count = progress.GetLong(L"SectorCount");
        long last = progress.GetLong(L"LastWrittenLba");
        int percent = count > 0 ? static_cast<int>(std::clamp((last - start) * 100LL / count, 0LL, 100LL)) : 0;
        events_.WriteStatus(percent, kWriteWriting);
      } else if (action == kActionFinalization) {
        events_.WriteStatus(100, kWriteClosingTrack);
      } else if (action >= 0 && action < kActionWritingData) {
        events_.WriteStatus(0, kWriteLeadIn);
      }
    }
    events_.ProcessInput();
    if (cancelled_) drive_.Format().Call(L"CancelWrite");
  }

  EngineListener& events_;
  Imapi2Drive& drive_;
  const ImageNode& root_;
  WriterSettings settings_;
  bool cancelled_ = false;
  bool writing_ = false;
};

class Imapi2Erase final : public Job {
 public:
  Imapi2Erase(EngineListener& events, Imapi2Drive& drive, bool quick) : events_(events), drive_(drive), quick_(quick) {}
  void Cancel() override {}  // an erase cannot be cancelled
  void Run() override {
    Object erase = drive_.EraseFormat();
    if (!erase) {
      events_.EraseStatus(kEraseFailed, 0);
      return;
    }
    erase.Put(L"ClientName", Variant(kClientName));
    erase.Put(L"FullErase", Variant(!quick_));
    events_.EraseStatus(kEraseStarted, 0);
    com::CallResult erased;
    {
      // Update(object, elapsedSeconds, estimatedTotalSeconds)
      EventConnection events(erase, [this](const std::vector<Variant>& args) {
        if (args.size() >= 3 && args[2].AsLong() > 0) {
          events_.EraseStatus(kEraseProgress,
                              static_cast<int>(std::min(100L, args[1].AsLong() * 100 / args[2].AsLong())));
        }
        events_.ProcessInput();
      });
      erased = erase.Call(L"EraseMedia");
    }
    if (!erased.ok()) {
      events_.EraseError(DeviceErrorOf(erased, "Erase", drive_.Name()));
      return;
    }
    events_.EraseStatus(kEraseDone, 100);
  }

 private:
  EngineListener& events_;
  Imapi2Drive& drive_;
  bool quick_;
};

bool Imapi2Drive::StartErase(bool quick, int setting) {
  return host_.Schedule(std::make_unique<Imapi2Erase>(host_.Events(), *this, quick));
}

std::unique_ptr<Job> Imapi2Drive::WriteJob(const ImageNode& root, const WriterSettings& settings) {
  return std::make_unique<Imapi2Write>(host_.Events(), *this, root, settings);
}

}  // namespace

int MediaTypeOfImapi(long physicalType) {
  if (physicalType == 0) return kMediaNone;
  const Kind* kind = KindOf(physicalType);
  return kind ? kind->code : kMediaOther;
}

std::vector<std::unique_ptr<EngineDevice>> FindImapi2Drives(EngineHost& host) {
  std::vector<std::unique_ptr<EngineDevice>> drives;
  // The window thread is a single-threaded apartment already when the window uses OLE;
  // either way the call below leaves it one.
  CoInitialize(nullptr);
  Object master = com::CurrentServices().create(L"IMAPI2.MsftDiscMaster2");
  if (!master || !master.GetBool(L"IsSupportedEnvironment", true)) return drives;
  long count = master.GetLong(L"Count");
  for (long i = 0; i < count; ++i) {
    Variant id;
    if (!master.Get(L"Item", &id, {Variant(i)}).ok()) continue;
    Object recorder = com::CurrentServices().create(L"IMAPI2.MsftDiscRecorder2");
    if (!recorder || !recorder.Call(L"InitializeDiscRecorder", {id}).ok()) continue;
    drives.push_back(std::make_unique<Imapi2Drive>(host, recorder));
  }
  return drives;
}

}  // namespace quarnel::disc
