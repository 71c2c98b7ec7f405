// Arbitrary bytes as a backup file: protection test, open, password check, find and extract
// of every entry the archive names (and of two fixed names). Besides crashes and sanitizer
// reports, it stops on the one thing that must never happen: a file written anywhere but
// the extraction folder.
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"

namespace {

using quarnel::archive::ZipArchive;

struct Workspace {
  Workspace() {
    char pattern[] = "/tmp/quarnel-fuzz-archive-XXXXXX";
    folder = mkdtemp(pattern);
    out = folder + "/out";
    quarnel::platform::Files().CreateFolder(out);
    archive = folder + "/input.soe";
  }
  std::string folder, out, archive;
};

std::vector<std::string> StoredNames(const std::string& path) {
  std::vector<std::string> names;
  std::string message;
  zip_t* archive = quarnel::archive::detail::OpenZip(path, ZIP_RDONLY, &message);
  if (!archive) return names;
  zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count && i < 16; ++i) {
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (name) names.push_back(name);
  }
  zip_discard(archive);
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Workspace work;
  quarnel::platform::FileSystem& files = quarnel::platform::Files();
  files.WriteAll(work.archive, std::string(reinterpret_cast<const char*>(data), size));

  ZipArchive zip;
  zip.IsArchiveProtected(work.archive);
  if (zip.OpenArchive(work.archive)) {
    zip.ReadPassword("pw");
    zip.CheckPassword();
    std::vector<std::string> names = StoredNames(work.archive);
    names.push_back("quarnel.dat");
    names.push_back("Inbox.dbx");
    for (const std::string& name : names) {
      if (std::optional<quarnel::archive::ArchiveEntry> entry = zip.FindEntry(name)) entry->ExtractToFolder(work.out);
    }
  }
  zip.CloseArchive();

  // Only the input may lie beside the extraction folder.
  for (const std::string& name : files.ListFiles(work.folder)) {
    if (name != "input.soe") {
      std::fprintf(stderr, "file written outside the extraction folder: %s\n", name.c_str());
      std::abort();
    }
  }
  for (const std::string& name : files.ListFiles(work.out)) files.RemoveFile(work.out + "/" + name);
  return 0;
}
