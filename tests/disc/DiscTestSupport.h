#pragma once
// Shared by the disc tests: a listener that records the engine's events, source files made
// on disk, and images written through ImageStream or the image file drive.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "disc/DiscEngine.h"
#include "disc/DiscImage.h"
#include "disc/Engine.h"

namespace quarnel::testing {

struct RecordingListener : disc::EngineListener {
  void ItemAdded(const disc::ImageItem& item) override { added.push_back(item); }
  void ItemRenamed(const disc::ImageItem& item) override { renamed.push_back(item); }
  bool ReplaceQuery(const disc::ImageItem& item, const std::string& source) override {
    queries.push_back(item.ImagePath + " <- " + source);
    return replace;
  }
  void WriteStatus(int, int status) override {
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  }
  bool FileWarning(const disc::FileError& warning) override {
    warnings.push_back(warning.Path);
    return continueOnWarning;
  }
  void EngineError(const disc::EngineErrorInfo& error) override { errors.push_back(error); }
  void VerifyFile(const disc::ImageItem& item, int status, int, int) override {
    verified.emplace_back(item.ImagePath, status);
  }
  void VerifyDone(int verifiedCount, int matchedCount) override {
    doneVerified = verifiedCount;
    doneMatched = matchedCount;
  }
  void ProcessInput() override {
    ++inputBreaks;
    if (onProcessInput) onProcessInput();
  }

  std::vector<disc::ImageItem> added, renamed;
  std::vector<std::string> queries, warnings;
  bool replace = false;
  bool continueOnWarning = true;
  std::vector<int> statuses;
  std::vector<disc::EngineErrorInfo> errors;
  std::vector<std::pair<std::string, int>> verified;
  int doneVerified = -1, doneMatched = -1;
  int inputBreaks = 0;
  std::function<void()> onProcessInput;
};

// Joins with the build's separator.
std::string Join(const std::string& folder, const std::string& name);
void MakeFolder(const std::string& path);
// A file of the given size whose bytes depend on their position and the seed.
void MakePatternFile(const std::string& path, std::uint64_t size, unsigned seed);

// Writes the image's first bytes (all unless told) to the file, read from ImageStream in
// pieces of chunk bytes.
void WriteImage(const disc::DiscImage& image, const std::string& path, std::size_t chunk,
                std::uint64_t bytes = UINT64_MAX);

// Writes the engine's image to the file through the image file drive and runs it to its end.
void WriteImageFile(disc::Engine& engine, const std::string& target);

}  // namespace quarnel::testing
