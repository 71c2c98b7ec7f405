#include "disc/ImageFileDrive.h"

#include <cerrno>
#include <ctime>

#include "disc/DiscImage.h"
#include "disc/LocalFiles.h"
#include "disc/Verify.h"

namespace quarnel::disc {
namespace {

constexpr std::size_t kChunk = 1024 * 1024;

class ImageFileWrite final : public Job {
 public:
  ImageFileWrite(EngineListener& events, const ImageNode& root, const WriterSettings& settings, std::string target)
      : events_(events), root_(root), settings_(settings), target_(std::move(target)) {}

  void Run() override;
  void Cancel() override { cancelled_ = true; }

 private:
  bool Write(const DiscImage& image, const std::string& temp);
  void Fail(int category, const std::string& text, long code, const std::string& path);
  void End(int status) { events_.WriteStatus(status == kWriteDone ? 100 : 0, status); }

  EngineListener& events_;
  const ImageNode& root_;
  WriterSettings settings_;
  std::string target_;
  bool cancelled_ = false;
  bool failed_ = false;
};

void ImageFileWrite::Fail(int category, const std::string& text, long code, const std::string& path) {
  EngineErrorInfo error;
  error.Category = category;
  error.Text = text;
  error.FileDetail = FileError{code, text, path};
  events_.EngineError(error);
  failed_ = true;
}

bool ImageFileWrite::Write(const DiscImage& image, const std::string& temp) {
  std::unique_ptr<LocalFile> out = LocalFile::Create(temp);
  if (!out) {
    Fail(kErrorOutputFile, "The image file could not be created.", errno, target_);
    return false;
  }
  ImageStream stream(image);
  std::string buffer(kChunk, '\0');
  const std::uint64_t total = image.Bytes();
  int lastFile = -1;
  for (std::uint64_t offset = 0; offset < total;) {
    std::size_t read = 0;
    FileError error;
    if (!stream.Read(offset, buffer.data(), buffer.size(), &read, &error)) {
      EngineErrorInfo info;
      info.Category = kErrorSourceFile;
      info.Text = error.Text;
      info.FileDetail = error;
      events_.EngineError(info);
      failed_ = true;
      return false;
    }
    if (!out->Write(buffer.data(), read)) {
      Fail(kErrorOutputFile, "The image file could not be written.", errno, target_);
      return false;
    }
    offset += read;
    int percent = static_cast<int>(offset * 100 / total);
    if (stream.CurrentFile() != lastFile && stream.CurrentFile() >= 0) {
      lastFile = stream.CurrentFile();
      events_.TrackReading(1, percent, LastName(image.Files()[lastFile].source));
    }
    events_.WriteStatus(percent, kWriteWriting);
    events_.ProcessInput();
    if (cancelled_) return false;
  }
  events_.WriteStatus(100, kWriteClosingTrack);
  if (!out->Commit() || !out->Close()) {
    Fail(kErrorOutputFile, "The image file could not be written.", errno, target_);
    return false;
  }
  return true;
}

void ImageFileWrite::Run() {
  events_.WriteStatus(0, kWritePreparing);
  bool stopped = false;
  std::unique_ptr<ImageNode> fresh = FreshCopy(root_, events_, &stopped);
  if (stopped || cancelled_) {
    End(kWriteCancelled);
    return;
  }
  DiscImage image(*fresh, OptionsFor(settings_));

  // Written beside the target under another name, and moved over it only when complete: a
  // cancelled or failed write leaves no half file, and an older image stays as it was.
  const std::string temp = target_ + ".tmp";
  if (!Write(image, temp)) {
    RemoveLocalFile(temp);
    End(failed_ ? kWriteFailed : kWriteCancelled);
    return;
  }
  if (settings_.AutoVerify) {
    VerifyResult result =
        VerifyImage(image.Files(), ImageFiles(temp, image.HasUdf()), events_, [this] { return cancelled_; });
    if (result.cancelled) {
      RemoveLocalFile(temp);
      End(kWriteCancelled);
      return;
    }
  }
  // A test write goes through everything but leaves no image behind.
  if (settings_.TestWrite) {
    RemoveLocalFile(temp);
  } else if (!ReplaceLocalFile(temp, target_)) {
    Fail(kErrorOutputFile, "The image file could not be put in place.", errno, target_);
    RemoveLocalFile(temp);
    End(kWriteFailed);
    return;
  }
  End(kWriteDone);
}

}  // namespace

double ImageFileDrive::FreeBlocks(bool recordable) {
  std::string folder = ParentFolder(target_);
  return static_cast<double>(FreeBytes(folder.empty() ? "." : folder) / 2048);
}

std::unique_ptr<Job> ImageFileDrive::WriteJob(const ImageNode& root, const WriterSettings& settings) {
  if (target_.empty()) return FailedWriteJob(host_.Events(), "No image file was chosen.");
  return std::make_unique<ImageFileWrite>(host_.Events(), root, settings, target_);
}

}  // namespace quarnel::disc
