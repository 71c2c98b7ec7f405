// The disc benchmark's program: makes a test tree, writes it to an image through the
// engine's image file drive, and verifies an image against the tree.
//
//   quarnel_disc_tool make FOLDER                   about 1 GiB of files in a few folders
//   quarnel_disc_tool write FOLDER IMAGE [CODE]     the folder's contents as the image's root,
//                                                   with the volume type's code (default 3,
//                                                   ISO9660/Joliet; 7 adds UDF)
//   quarnel_disc_tool verify FOLDER IMAGE [CODE]    every file read back and compared
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "disc/DiscImage.h"
#include "disc/Engine.h"
#include "disc/LocalFiles.h"
#include "disc/Verify.h"
#include "platform/Services.h"

namespace {

using namespace quarnel::disc;

constexpr std::uint64_t kMiB = 1024 * 1024;

std::string Join(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

bool MakeFile(const std::string& path, std::uint64_t size, unsigned seed) {
  std::unique_ptr<LocalFile> file = LocalFile::Create(path);
  if (!file) return false;
  std::mt19937_64 random(seed);
  std::vector<std::uint64_t> block(kMiB / 8);
  for (std::uint64_t at = 0; at < size; at += kMiB) {
    for (auto& word : block) word = random();
    if (!file->Write(block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kMiB, size - at)))) return false;
  }
  return file->Close();
}

int Make(const std::string& folder) {
  // Two large mail folders, thirty middle-sized ones in three sub-folders, small files, 1 GiB.
  const std::uint64_t sizes[] = {7, 13, 29, 3, 17, 11, 23, 5, 19, 2};
  std::string mail = Join(folder, "Mail");
  std::vector<std::string> folders = {folder, mail, Join(mail, "Local Folders"), Join(mail, "Archive 2025")};
  for (std::size_t i = 1; i < folders.size(); ++i) quarnel::platform::Files().CreateFolder(folders[i]);
  std::uint64_t total = 0;
  unsigned seed = 1;
  total += 300 * kMiB, MakeFile(Join(folders[1], "Inbox.dbx"), 300 * kMiB, seed++);
  total += 250 * kMiB, MakeFile(Join(folders[1], "Sent Items.dbx"), 250 * kMiB, seed++);
  for (int i = 0; total < 1024 * kMiB; ++i) {
    std::uint64_t size = std::min<std::uint64_t>(sizes[i % 10] * kMiB + 777 * i, 1024 * kMiB - total);
    MakeFile(Join(folders[2 + i % 2], "Folder " + std::to_string(i) + ".dbx"), size, seed++);
    total += size;
  }
  for (int i = 0; i < 200; ++i) MakeFile(Join(folder, "note " + std::to_string(i) + ".txt"), 1000 + i * 13, seed++);
  return 0;
}

struct Quiet : EngineListener {
  void EngineError(const EngineErrorInfo& error) override {
    std::fprintf(stderr, "error %d: %s %s\n", error.Category, error.Text.c_str(), error.FileDetail.Path.c_str());
  }
  void WriteStatus(int percent, int status) override { last = status; }
  void VerifyDone(int verified, int matched) override { std::printf("verified %d, matched %d\n", verified, matched); }
  int last = -1;
};

void AddContents(ImageRoot& root, const std::string& folder) {
  std::vector<LocalEntry> entries;
  ListLocalFolder(folder, &entries);
  for (const LocalEntry& e : entries) {
    if (e.isFolder) {
      root.AddFolder(Join(folder, e.name) + "\\*.*", "\\" + e.name);
    } else {
      root.AddFile(Join(folder, e.name), "\\" + e.name);
    }
  }
}

int Write(const std::string& folder, const std::string& image, int fileSystem) {
  Engine engine;
  Quiet events;
  engine.Initialize(false);
  engine.AddListener(&events);
  AddContents(engine.Writer().Root(), folder);
  engine.Writer().Settings().FileSystem = fileSystem;
  engine.Writer().Settings().VolumeIdentifier = "Bench";
  DiscDevice& drive = *engine.Device(engine.DeviceCount() - 1);
  drive.SetImageFilePath(image);
  if (!engine.Writer().StartWrite(drive)) return 1;
  engine.RunPending();
  return events.last == kWriteDone ? 0 : 1;
}

int Verify(const std::string& folder, const std::string& image, int fileSystem) {
  Quiet events;
  EventHub hub;
  ImageTree tree(hub);
  AddContents(tree, folder);
  WriterSettings settings;
  settings.FileSystem = fileSystem;
  DiscImage layout(tree.RootNode(), OptionsFor(settings));
  VerifyResult result = VerifyImage(layout.Files(), ImageFiles(image, layout.HasUdf()), events, [] { return false; });
  return result.matched == result.verified ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "make") return Make(args[1]);
  const int fileSystem = args.size() == 4 ? std::atoi(args[3].c_str()) : kFsIsoJoliet;
  if ((args.size() == 3 || args.size() == 4) && args[0] == "write") return Write(args[1], args[2], fileSystem);
  if ((args.size() == 3 || args.size() == 4) && args[0] == "verify") return Verify(args[1], args[2], fileSystem);
  std::fprintf(stderr,
               "usage: quarnel_disc_tool make FOLDER | write FOLDER IMAGE [CODE] | verify FOLDER IMAGE [CODE]\n");
  return 2;
}
