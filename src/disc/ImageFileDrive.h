#pragma once
// The drive that writes the image to an .iso file rather than to a disc: always listed.
// Its medium is writable and not rewritable, with the free space of the target's volume.
#include <string>

#include "disc/EngineParts.h"

namespace quarnel::disc {

inline constexpr const char* kImageFileDriveName = "Disc Image File (.iso)";

class ImageFileDrive final : public EngineDevice {
 public:
  explicit ImageFileDrive(EngineHost& host) : host_(host) {}

  std::string Name() override { return kImageFileDriveName; }
  bool IsSupported() override { return true; }
  bool HasCapability(int code) override { return false; }
  void RefreshMedia(bool forWriting) override {}
  int SpeedCount() override { return 0; }
  int SpeedValue(int index) override { return 0; }
  double SpeedFactor(int value) override { return 0; }
  MediaInfo Media() override { return MediaInfo{kMediaImageFile, true, false}; }
  double FreeBlocks(bool recordable) override;
  void Eject() override {}
  void CloseTray() override {}
  int EraseSetting() override { return 0; }
  bool StartErase(bool quick, int setting) override { return false; }
  bool WritesImageFile() override { return true; }
  void SetImageFilePath(const std::string& path) override { target_ = path; }

  std::unique_ptr<Job> WriteJob(const ImageNode& root, const WriterSettings& settings) override;

 private:
  EngineHost& host_;
  std::string target_;
};

}  // namespace quarnel::disc
