#include "disc/ImageTree.h"

#include <vector>

#include "disc/LocalFiles.h"
#include "platform/Text.h"

namespace quarnel::disc {
namespace {

// Folders deeper than this below an added folder are not followed (a link loop).
constexpr int kMaxAddDepth = 64;

std::string Key(const std::string& name) { return platform::UpperAnsi(name); }

// The names of an image path, without empty ones.
std::vector<std::string> Split(const std::string& imagePath) {
  std::vector<std::string> names;
  std::string current;
  for (char c : imagePath) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) names.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) names.push_back(current);
  return names;
}

}  // namespace

std::string ImagePathOf(const ImageNode& node) {
  if (node.parent == nullptr) return "\\";
  std::string parent = ImagePathOf(*node.parent);
  return (parent == "\\" ? parent : parent + "\\") + node.name;
}

bool IsValidImageName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20) return false;
    for (char bad : std::string("\\/:*?\"<>|")) {
      if (c == static_cast<unsigned char>(bad)) return false;
    }
  }
  return true;
}

ImageTree::ImageTree(EngineListener& events) : events_(events) { root_.isFolder = true; }

ImageItem ImageTree::ItemOf(const ImageNode& node) const {
  ImageItem item;
  item.IsFolder = node.isFolder;
  item.ParentPath = node.parent ? ImagePathOf(*node.parent) : "";
  item.ImagePath = ImagePathOf(node);
  item.Name = node.name;
  item.SourcePath = node.source;
  item.Size = static_cast<double>(node.size);
  item.Date = LocalTimeOf(node.modified);
  return item;
}

ImageNode* ImageTree::Find(const std::string& imagePath) {
  ImageNode* node = &root_;
  for (const std::string& name : Split(imagePath)) {
    if (!node->isFolder) return nullptr;
    auto child = node->children.find(Key(name));
    if (child == node->children.end()) return nullptr;
    node = child->second.get();
  }
  return node;
}

ImageNode* ImageTree::MakeFolder(ImageNode& parent, const std::string& name, const std::string& source) {
  auto node = std::make_unique<ImageNode>();
  node->name = name;
  node->isFolder = true;
  node->source = source;
  node->parent = &parent;
  LocalEntry facts;
  node->modified = !source.empty() && StatPath(source, &facts) ? facts.modified : std::time(nullptr);
  ImageNode* made = node.get();
  parent.children[Key(name)] = std::move(node);
  ++folders_;
  events_.ItemAdded(ItemOf(*made));
  return made;
}

ImageNode* ImageTree::FolderFor(const std::string& imagePath, std::string* name) {
  std::vector<std::string> names = Split(imagePath);
  if (names.empty()) return nullptr;
  *name = names.back();
  names.pop_back();
  ImageNode* folder = &root_;
  for (const std::string& part : names) {
    if (!IsValidImageName(part)) return nullptr;
    auto child = folder->children.find(Key(part));
    if (child == folder->children.end()) {
      folder = MakeFolder(*folder, part, "");
    } else if (!child->second->isFolder) {
      return nullptr;
    } else {
      folder = child->second.get();
    }
  }
  return IsValidImageName(*name) ? folder : nullptr;
}

void ImageTree::AddFile(const std::string& sourcePath, const std::string& imagePath) {
  std::string name;
  LocalEntry facts;
  if (!StatPath(sourcePath, &facts) || facts.isFolder) return;
  if (ImageNode* folder = FolderFor(imagePath, &name)) AddFileTo(*folder, name, sourcePath);
}

void ImageTree::AddFileTo(ImageNode& folder, const std::string& name, const std::string& sourcePath) {
  LocalEntry facts;
  if (!StatPath(sourcePath, &facts) || facts.isFolder) return;
  auto existing = folder.children.find(Key(name));
  if (existing != folder.children.end()) {
    ImageNode& taken = *existing->second;
    if (taken.isFolder || !events_.ReplaceQuery(ItemOf(taken), sourcePath)) return;
    taken.source = sourcePath;
    taken.size = facts.size;
    taken.modified = facts.modified;
    events_.ItemAdded(ItemOf(taken));
    return;
  }
  auto node = std::make_unique<ImageNode>();
  node->name = name;
  node->source = sourcePath;
  node->size = facts.size;
  node->modified = facts.modified;
  node->parent = &folder;
  ImageNode* made = node.get();
  folder.children[Key(name)] = std::move(node);
  ++files_;
  events_.ItemAdded(ItemOf(*made));
}

void ImageTree::AddFolder(const std::string& sourcePattern, const std::string& imagePath) {
  std::string source = sourcePattern;
  for (const char* tail : {"\\*.*", "/*.*", "\\*", "/*"}) {
    std::string t = tail;
    if (source.size() > t.size() && source.compare(source.size() - t.size(), t.size(), t) == 0) {
      source.resize(source.size() - t.size());
      break;
    }
  }
  LocalEntry facts;
  if (!StatPath(source, &facts) || !facts.isFolder) return;
  std::string name;
  if (ImageNode* folder = FolderFor(imagePath, &name)) AddFolderTo(*folder, name, source, 0);
}

void ImageTree::AddFolderTo(ImageNode& parent, const std::string& name, const std::string& sourceFolder, int depth) {
  ImageNode* folder = nullptr;
  auto existing = parent.children.find(Key(name));
  if (existing == parent.children.end()) {
    folder = MakeFolder(parent, name, sourceFolder);
  } else if (existing->second->isFolder) {
    folder = existing->second.get();  // merged into the folder already there
  } else {
    return;
  }
  std::vector<LocalEntry> entries;
  if (depth >= kMaxAddDepth || !ListLocalFolder(sourceFolder, &entries)) return;
  std::map<std::string, LocalEntry> sorted;
  for (LocalEntry& entry : entries) sorted[Key(entry.name)] = entry;
  std::string prefix = sourceFolder;
  if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
  for (const auto& [key, entry] : sorted) {
    if (!IsValidImageName(entry.name)) continue;
    if (entry.isFolder) {
      AddFolderTo(*folder, entry.name, prefix + entry.name, depth + 1);
    } else {
      AddFileTo(*folder, entry.name, prefix + entry.name);
    }
  }
}

void ImageTree::ReportRenamed(const ImageNode& node, const std::string& oldPath) {
  ImageItem item = ItemOf(node);
  item.OldImagePath = oldPath;
  events_.ItemRenamed(item);
  // Folders below a renamed folder move with it: each is reported, so that views keyed by
  // image path follow.
  for (const auto& [key, child] : node.children) {
    if (child->isFolder) ReportRenamed(*child, (oldPath == "\\" ? oldPath : oldPath + "\\") + child->name);
  }
}

bool ImageTree::Rename(const std::string& imagePath, const std::string& newName, bool folder) {
  ImageNode* node = Find(imagePath);
  if (node == nullptr || node->parent == nullptr || node->isFolder != folder || !IsValidImageName(newName)) {
    return false;
  }
  ImageNode& parent = *node->parent;
  auto taken = parent.children.find(Key(newName));
  if (taken != parent.children.end() && taken->second.get() != node) return false;
  std::string oldPath = ImagePathOf(*node);
  auto self = parent.children.find(Key(node->name));
  std::unique_ptr<ImageNode> owned = std::move(self->second);
  parent.children.erase(self);
  owned->name = newName;
  ImageNode* renamed = owned.get();
  parent.children[Key(newName)] = std::move(owned);
  ReportRenamed(*renamed, oldPath);
  return true;
}

bool ImageTree::RenameFile(const std::string& imagePath, const std::string& newName) {
  return Rename(imagePath, newName, false);
}

bool ImageTree::RenameFolder(const std::string& imagePath, const std::string& newName) {
  return Rename(imagePath, newName, true);
}

void ImageTree::Uncount(const ImageNode& node) {
  if (node.isFolder) {
    --folders_;
    for (const auto& [key, child] : node.children) Uncount(*child);
  } else {
    --files_;
  }
}

bool ImageTree::Remove(const std::string& imagePath) {
  ImageNode* node = Find(imagePath);
  if (node == nullptr || node->parent == nullptr) return false;
  ImageItem item = ItemOf(*node);
  Uncount(*node);
  node->parent->children.erase(Key(node->name));
  events_.ItemRemoved(item);
  return true;
}

void ImageTree::ListFolder(const std::string& imagePath) {
  ImageNode* folder = Find(imagePath);
  if (folder == nullptr || !folder->isFolder) return;
  for (const auto& [key, child] : folder->children) events_.ItemListed(ItemOf(*child));
}

void ImageTree::Clear() {
  root_.children.clear();
  files_ = folders_ = 0;
  events_.ImageCleared();
}

}  // namespace quarnel::disc
