#pragma once
// The disc engine as the writer and erase windows see it: the control (DVDEngineX1), the
// device and media of each drive, the data-disc writer with its image root, and the events,
// delivered to listeners on the window thread.
//
// Nothing here runs behind the caller's back: StartWrite and StartErase only accept the
// work, which then runs in RunPending, called by the window when the engine's wake-up
// reaches it. While it runs, the engine raises its events and calls ProcessInput between
// steps so that the window can process its input (the cancel button among it).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/System.h"

namespace quarnel::disc {

// Capability codes a device may report.
inline constexpr int kCapEraseCdRw = 17;
inline constexpr int kCapEraseDvdMinusRw = 19;
inline constexpr int kCapEraseDvdPlusRw = 22;
inline constexpr int kCapEraseDvdRam = 23;
inline constexpr int kCapEraseBdRe = 27;
inline constexpr int kCapBufferProtect = 57;

// Media-type codes. The rewritable kinds carry the codes that the erase window's table
// pairs with the capabilities above; every other kind has a code of its own.
inline constexpr int kMediaNone = 0;
inline constexpr int kMediaCdRw = 253;
inline constexpr int kMediaDvdMinusRw = 4;
inline constexpr int kMediaDvdPlusRw = 1;
inline constexpr int kMediaDvdRam = 9;
inline constexpr int kMediaBdRe = 15;
inline constexpr int kMediaCdRom = 100;
inline constexpr int kMediaCdR = 101;
inline constexpr int kMediaDvdRom = 102;
inline constexpr int kMediaDvdPlusR = 103;
inline constexpr int kMediaDvdMinusR = 104;
inline constexpr int kMediaDvdPlusRDualLayer = 105;
inline constexpr int kMediaDvdMinusRDualLayer = 106;
inline constexpr int kMediaDvdPlusRwDualLayer = 107;
inline constexpr int kMediaBdRom = 108;
inline constexpr int kMediaBdR = 109;
inline constexpr int kMediaOther = 110;
inline constexpr int kMediaImageFile = 200;

// File-system codes of the writer's FileSystem setting.
inline constexpr int kFsIso9660 = 1;
inline constexpr int kFsJoliet = 2;  // flag: a Joliet tree beside the ISO9660 one
inline constexpr int kFsUdf = 4;     // flag
inline constexpr int kFsIsoJoliet = kFsIso9660 | kFsJoliet;
inline constexpr int kFsIsoUdf = kFsIso9660 | kFsUdf;
inline constexpr int kFsIsoJolietUdf = kFsIso9660 | kFsJoliet | kFsUdf;

// WriteStatus codes.
enum WriteStatusCode {
  kWritePreparing = 0,
  kWriteCaching = 1,
  kWriteWriting = 2,
  kWriteVerifying = 3,
  kWriteClosingTrack = 4,
  kWriteLeadIn = 5,
  kWriteLeadOut = 6,
  kWriteSyncing = 7,
  kWriteUpdatingVolume = 8,
  kWriteDone = 9,
  kWriteCancelled = 10,
  kWriteFailed = 11,
};

// VerifyFile statuses.
enum VerifyStatusCode {
  kVerifySourceUnreadable = 0,
  kVerifyDiscUnreadable = 1,
  kVerifyMismatch = 2,
  kVerifyMatched = 3,
  kVerifySkipped = 4,
  kVerifySizeMismatch = 5,
};

// EngineError categories.
enum ErrorCategory { kErrorDevice = 1, kErrorOutputFile = 2, kErrorSourceFile = 3, kErrorWrite = 4, kErrorSystem = 5 };

// EraseStatus codes.
enum EraseStatusCode { kEraseStarted = 0, kEraseProgress = 1, kEraseDone = 2, kEraseFailed = 3 };

// WriteMode values.
inline constexpr int kWriteModeTrackAtOnce = 2;
inline constexpr int kWriteModeDiscAtOnce = 248;

// An entry of the image, as the item events carry it.
struct ImageItem {
  bool IsFolder = false;
  std::string ParentPath;  // ImagePath of the Parent item
  std::string ImagePath;
  std::string OldImagePath;  // after a rename
  std::string Name;
  std::string SourcePath;
  double Size = 0;
  platform::LocalTime Date;
};

struct DeviceError {
  long Code = 0;
  std::string Description, DetailA, DetailB;
};

// Also the argument of FileWarning.
struct FileError {
  long Code = 0;
  std::string Text, Path;
};

struct EngineErrorInfo {
  int Category = kErrorWrite;
  std::string Text;
  long SystemCode = 0;
  DeviceError DeviceDetail;
  FileError FileDetail;
};

struct MediaInfo {
  int MediaType = kMediaNone;
  bool IsWritable = false;
  bool IsRewritable = false;
};

// The engine's events. Replies (ReplaceQuery, FileWarning) are the return values.
class EngineListener {
 public:
  virtual ~EngineListener() = default;
  virtual void ItemAdded(const ImageItem& item) {}
  virtual void ItemListed(const ImageItem& item) {}
  virtual void ItemRemoved(const ImageItem& item) {}
  virtual void ItemRenamed(const ImageItem& item) {}
  virtual bool ReplaceQuery(const ImageItem& item, const std::string& newSourcePath) { return false; }
  virtual void ImageCleared() {}
  virtual void WriteStatus(int percent, int status) {}
  virtual void TrackReading(int track, int progress, const std::string& fileName) {}
  virtual bool FileWarning(const FileError& warning) { return true; }
  virtual void EngineError(const EngineErrorInfo& error) {}
  virtual void VerifyStarted(int fileCount) {}
  virtual void VerifyFile(const ImageItem& item, int status, int done, int total) {}
  virtual void VerifyDone(int verified, int matched) {}
  virtual void EraseStatus(int status, int percent) {}
  virtual void EraseError(const DeviceError& error) {}
  // Between steps of long work: a chance to process window input.
  virtual void ProcessInput() {}
};

class DiscDevice {
 public:
  virtual ~DiscDevice() = default;
  virtual std::string Name() = 0;
  virtual bool IsSupported() = 0;
  virtual bool HasCapability(int code) = 0;
  virtual void RefreshMedia(bool forWriting) = 0;
  virtual int SpeedCount() = 0;
  virtual int SpeedValue(int index) = 0;
  virtual double SpeedFactor(int value) = 0;
  virtual MediaInfo Media() = 0;
  virtual double FreeBlocks(bool recordable) = 0;
  virtual void Eject() = 0;
  virtual void CloseTray() = 0;
  virtual int EraseSetting() = 0;
  virtual bool StartErase(bool quick, int setting) = 0;

  // A drive that writes an image file rather than a disc: the window asks where first.
  virtual bool WritesImageFile() { return false; }
  virtual void SetImageFilePath(const std::string& path) {}
};

// The writer's settings, set by the window before a write. VolumeIdentifier stands for the
// writer's Volume object.
struct WriterSettings {
  int FileSystem = kFsIsoJolietUdf;
  int ImageOption = 0;
  bool UseFileDates = true;
  int WriteMode = kWriteModeTrackAtOnce;
  int WriteSpeed = 0;
  bool FinalizeDisc = false;
  bool TestWrite = false;
  bool BufferProtect = false;
  bool AutoVerify = false;
  bool CacheImage = false;
  bool Mode2XA = false;
  int WriteOption = 0;
  std::string VolumeIdentifier;
};

class ImageRoot {
 public:
  virtual ~ImageRoot() = default;
  virtual void AddFile(const std::string& sourcePath, const std::string& imagePath) = 0;
  // sourcePattern: a folder followed by "\*.*".
  virtual void AddFolder(const std::string& sourcePattern, const std::string& imagePath) = 0;
  virtual bool RenameFile(const std::string& imagePath, const std::string& newName) = 0;
  virtual bool RenameFolder(const std::string& imagePath, const std::string& newName) = 0;
  virtual bool Remove(const std::string& imagePath) = 0;
  virtual void ListFolder(const std::string& imagePath) = 0;
  virtual void Clear() = 0;
  virtual int FileCount() = 0;
  virtual int FolderCount() = 0;
};

class DataWriter {
 public:
  virtual ~DataWriter() = default;
  virtual WriterSettings& Settings() = 0;
  virtual int BlockSize() = 0;
  virtual double ImageSize() = 0;
  virtual ImageRoot& Root() = 0;
  virtual bool StartWrite(DiscDevice& device) = 0;
  virtual void CancelWrite() = 0;
};

// The control.
class DiscEngine {
 public:
  virtual ~DiscEngine() = default;
  virtual bool Initialize(bool flag) = 0;
  virtual int DeviceCount() = 0;
  virtual DiscDevice* Device(int index) = 0;
  virtual DataWriter& Writer() = 0;  // DataWriter: one per engine

  virtual void AddListener(EngineListener* listener) = 0;
  virtual void RemoveListener(EngineListener* listener) = 0;
  // Called when accepted work waits; the window answers by calling RunPending soon, from
  // its message loop.
  virtual void SetWakeUp(std::function<void()> wakeUp) = 0;
  virtual void RunPending() = 0;
};

}  // namespace quarnel::disc
