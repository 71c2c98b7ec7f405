#include "disc/Verify.h"

#include <algorithm>
#include <cstring>

#include "disc/IsoReader.h"
#include "disc/LocalFiles.h"
#include "disc/UdfReader.h"

namespace quarnel::disc {
namespace {

constexpr std::size_t kChunk = 1024 * 1024;

class ImageWrittenFile final : public WrittenFile {
 public:
  ImageWrittenFile(std::shared_ptr<DiscReader> reader, DiscEntry entry)
      : reader_(std::move(reader)), entry_(std::move(entry)) {}
  std::uint64_t Size() override { return entry_.size; }
  std::size_t Read(char* buffer, std::size_t size) override {
    std::size_t n = reader_->ReadFile(entry_, position_, buffer, size);
    position_ += n;
    return n;
  }

 private:
  std::shared_ptr<DiscReader> reader_;
  DiscEntry entry_;
  std::uint64_t position_ = 0;
};

class LocalWrittenFile final : public WrittenFile {
 public:
  LocalWrittenFile(std::unique_ptr<LocalFile> file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
  std::uint64_t Size() override { return size_; }
  std::size_t Read(char* buffer, std::size_t size) override { return file_->Read(buffer, size); }

 private:
  std::unique_ptr<LocalFile> file_;
  std::uint64_t size_;
};

ImageItem ItemFor(const ImageFile& file) {
  ImageItem item;
  item.ImagePath = file.imagePath;
  std::size_t cut = file.imagePath.rfind('\\');
  item.Name = file.imagePath.substr(cut + 1);
  item.ParentPath = cut == 0 ? "\\" : file.imagePath.substr(0, cut);
  item.SourcePath = file.source;
  item.Size = static_cast<double>(file.size);
  item.Date = LocalTimeOf(file.modified);
  return item;
}

}  // namespace

WrittenFileOpener ImageFiles(const std::string& imageFile, bool udf) {
  std::shared_ptr<DiscReader> reader;
  if (udf) {
    auto tree = std::make_shared<UdfReader>();
    if (tree->Open(imageFile)) reader = tree;
  } else {
    auto tree = std::make_shared<IsoReader>();
    if (tree->Open(imageFile)) reader = tree;
  }
  return [reader](const ImageFile& file) -> std::unique_ptr<WrittenFile> {
    DiscEntry entry;
    if (!reader || !reader->Find(file.discPath, &entry) || entry.folder) return nullptr;
    return std::make_unique<ImageWrittenFile>(reader, entry);
  };
}

WrittenFileOpener VolumeFiles(const std::string& volumePath) {
  return [volumePath](const ImageFile& file) -> std::unique_ptr<WrittenFile> {
    std::string root = volumePath;
    while (!root.empty() && (root.back() == '\\' || root.back() == '/')) root.pop_back();
    std::string path = root + file.imagePath;
    LocalEntry facts;
    if (!StatPath(path, &facts) || facts.isFolder) return nullptr;
    std::unique_ptr<LocalFile> local = LocalFile::OpenRead(path);
    if (!local) return nullptr;
    return std::make_unique<LocalWrittenFile>(std::move(local), facts.size);
  };
}

VerifyResult VerifyImage(const std::vector<ImageFile>& files, const WrittenFileOpener& open, EngineListener& events,
                         const std::function<bool()>& cancelled) {
  VerifyResult result;
  const int total = static_cast<int>(files.size());
  events.VerifyStarted(total);
  std::string source(kChunk, '\0'), written(kChunk, '\0');
  for (int i = 0; i < total; ++i) {
    const ImageFile& file = files[i];
    int status = kVerifyMatched;
    std::unique_ptr<LocalFile> original = LocalFile::OpenRead(file.source);
    std::unique_ptr<WrittenFile> copy = original ? open(file) : nullptr;
    LocalEntry facts;
    if (!original || !StatPath(file.source, &facts)) {
      status = kVerifySourceUnreadable;
    } else if (!copy) {
      status = kVerifyDiscUnreadable;
    } else if (copy->Size() != facts.size) {
      status = kVerifySizeMismatch;
    } else {
      for (std::uint64_t left = facts.size; left > 0;) {
        auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk));
        if (original->Read(source.data(), n) != n) {
          status = kVerifySourceUnreadable;
          break;
        }
        if (copy->Read(written.data(), n) != n) {
          status = kVerifyDiscUnreadable;
          break;
        }
        if (std::memcmp(source.data(), written.data(), n) != 0) {
          status = kVerifyMismatch;
          break;
        }
        left -= n;
        events.ProcessInput();
        if (cancelled()) {
          result.cancelled = true;
          return result;
        }
      }
    }
    ++result.verified;
    if (status == kVerifyMatched) ++result.matched;
    events.VerifyFile(ItemFor(file), status, i + 1, total);
    events.ProcessInput();
    if (cancelled()) {
      result.cancelled = true;
      return result;
    }
  }
  events.VerifyDone(result.verified, result.matched);
  return result;
}

}  // namespace quarnel::disc
