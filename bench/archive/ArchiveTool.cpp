// A command-line front end to the archive component, for the benchmark and for the interop
// tests that run the Windows build under Wine:
//   quarnel_archive_tool write [--workers=N|one-stream] <archive> <password|-> <file or folder>...
//   quarnel_archive_tool write-verified [--workers=...] <archive> <password|-> <file or folder>...
//   quarnel_archive_tool extract <archive> <password|-> <folder> [entry name...]
//   quarnel_archive_tool protected <archive>
// A folder argument adds every file directly in it; extract without names extracts every
// entry. --workers sets the deflate worker threads (default: one per processor); one-stream
// deflates every file as one stream on the main thread, as a one-processor machine does.
// Exit code 0 on success.
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace {

using quarnel::archive::ZipArchive;

class CountingListener : public quarnel::archive::ArchiveListener {
 public:
  void OnAddingFile(const std::string&) override { ++added; }
  void OnExtractingFile(const std::string&) override { ++extracted; }
  void OnWriteProgress(int percent) override { lastPercent = percent; }
  void OnWriteDone() override { done = true; }
  void OnVerifying() override { verified = true; }
  int added = 0, extracted = 0, lastPercent = -1;
  bool done = false, verified = false;
};

std::string Password(const char* argument) { return std::strcmp(argument, "-") == 0 ? "" : argument; }

int Write(int argc, char** argv, bool verify, int workers) {
  CountingListener listener;
  ZipArchive zip(&listener);
  zip.DeflateWorkers(workers);
  zip.NewArchive(argv[2]);
  zip.VerifyAfterWrite(verify);
  quarnel::platform::FileSystem& files = quarnel::platform::Files();
  for (int i = 4; i < argc; ++i) {
    if (files.FolderExists(argv[i])) {
      for (const std::string& name : files.ListFiles(argv[i])) zip.AppendPath(quarnel::archive::detail::JoinPath(argv[i], name));
    } else {
      zip.AppendPath(argv[i]);
    }
  }
  const std::string password = Password(argv[3]);
  zip.ArchivePassword(password);
  zip.EncryptionMode(password.empty() ? 0 : 1);
  if (!zip.WriteArchive()) {
    std::fprintf(stderr, "write failed: %s\n", zip.LastError().c_str());
    return 1;
  }
  std::printf("written: %d files, last progress %d%%, read back %d, done %d\n", listener.added,
              listener.lastPercent, listener.verified ? 1 : 0, listener.done ? 1 : 0);
  return listener.done ? 0 : 1;
}

std::vector<std::string> EntryNames(const std::string& archivePath) {
  std::vector<std::string> names;
  std::string message;
  zip_t* archive = quarnel::archive::detail::OpenZip(archivePath, ZIP_RDONLY, &message);
  if (!archive) return names;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    std::string ansi;
    if (quarnel::platform::Utf8ToAnsi(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0), &ansi)) {
      names.push_back(ansi);
    }
  }
  zip_discard(archive);
  return names;
}

int Extract(int argc, char** argv) {
  CountingListener listener;
  ZipArchive zip(&listener);
  const bool needsPassword = zip.IsArchiveProtected(argv[2]) == 1;
  if (!zip.OpenArchive(argv[2])) {
    std::fprintf(stderr, "open failed: %s\n", zip.LastError().c_str());
    return 1;
  }
  if (needsPassword) {
    zip.ReadPassword(Password(argv[3]));
    if (zip.CheckPassword() != 1) {
      std::fprintf(stderr, "password refused: %s\n", zip.LastError().c_str());
      return 1;
    }
  }
  std::vector<std::string> names(argv + 5, argv + argc);
  if (names.empty()) names = EntryNames(argv[2]);
  int failures = 0;
  for (const std::string& name : names) {
    std::optional<quarnel::archive::ArchiveEntry> entry = zip.FindEntry(name);
    if (!entry || !entry->ExtractToFolder(argv[4])) {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), zip.LastError().c_str());
      ++failures;
    }
  }
  std::printf("extracted: %d of %zu entries\n", static_cast<int>(names.size()) - failures, names.size());
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  int workers = ZipArchive::kOnePerProcessor;
  if (argc > 2 && std::strncmp(argv[2], "--workers=", 10) == 0) {
    const char* value = argv[2] + 10;
    workers = std::strcmp(value, "one-stream") == 0 ? ZipArchive::kOneStream : std::atoi(value);
    for (int i = 2; i + 1 < argc; ++i) argv[i] = argv[i + 1];
    --argc;
  }
  if ((command == "write" || command == "write-verified") && argc >= 4) {
    return Write(argc, argv, command == "write-verified", workers);
  }
  if (command == "extract" && argc >= 5) return Extract(argc, argv);
  if (command == "protected" && argc == 3) {
    ZipArchive zip;
    std::printf("%d\n", zip.IsArchiveProtected(argv[2]));
    return 0;
  }
  std::fprintf(stderr,
               "usage: %s write|write-verified [--workers=N|one-stream] <archive> <password|-> <file or folder>...\n"
               "       %s extract <archive> <password|-> <folder> [entry name...]\n"
               "       %s protected <archive>\n",
               argv[0], argv[0], argv[0]);
  return 2;
}
