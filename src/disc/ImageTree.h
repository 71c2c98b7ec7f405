#pragma once
// The image root: the tree of folders and files that make up the disc, each file kept as
// the path of its source. Names are compared without regard to case, as Windows does.
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "disc/DiscEngine.h"

namespace quarnel::disc {

struct ImageNode {
  std::string name;  // "" for the root
  bool isFolder = false;
  std::string source;  // files: the source file; folders: where they were added from, if anywhere
  std::uint64_t size = 0;
  std::time_t modified = 0;
  ImageNode* parent = nullptr;
  std::map<std::string, std::unique_ptr<ImageNode>> children;  // by upper-case name
};

// The image path of a node: "\" for the root, else "\" + names joined by "\".
std::string ImagePathOf(const ImageNode& node);
// True when the text can name a file or folder of the image.
bool IsValidImageName(const std::string& name);

class ImageTree final : public ImageRoot {
 public:
  // Events go to the listener (the engine's fan-out).
  explicit ImageTree(EngineListener& events);

  void AddFile(const std::string& sourcePath, const std::string& imagePath) override;
  void AddFolder(const std::string& sourcePattern, const std::string& imagePath) override;
  bool RenameFile(const std::string& imagePath, const std::string& newName) override;
  bool RenameFolder(const std::string& imagePath, const std::string& newName) override;
  bool Remove(const std::string& imagePath) override;
  void ListFolder(const std::string& imagePath) override;
  void Clear() override;
  int FileCount() override { return files_; }
  int FolderCount() override { return folders_; }

  const ImageNode& RootNode() const { return root_; }
  ImageNode* Find(const std::string& imagePath);
  ImageItem ItemOf(const ImageNode& node) const;

 private:
  ImageNode* FolderFor(const std::string& imagePath, std::string* name);  // creates missing folders
  ImageNode* MakeFolder(ImageNode& parent, const std::string& name, const std::string& source);
  void AddFileTo(ImageNode& folder, const std::string& name, const std::string& sourcePath);
  void AddFolderTo(ImageNode& folder, const std::string& name, const std::string& sourceFolder, int depth);
  bool Rename(const std::string& imagePath, const std::string& newName, bool folder);
  void ReportRenamed(const ImageNode& node, const std::string& oldPath);
  void Uncount(const ImageNode& node);

  EngineListener& events_;
  ImageNode root_;
  int files_ = 0;
  int folders_ = 0;
};

}  // namespace quarnel::disc
