// Arbitrary bytes as a backup file: protection test, open, password check, find and extract
// of every entry the archive names (and of two fixed names). Besides crashes and sanitizer
// reports (libzip is instrumented too), it stops on what must never happen: a file written
// anywhere but the extraction folder, a file in that folder that no successful extraction
// put there, and extracted content that differs from what libzip itself reads.
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"

namespace {

using quarnel::archive::ZipArchive;

const char kPassword[] = "pw";
constexpr std::size_t kMaxEntries = 16;
constexpr zip_uint64_t kMaxCompared = 64u << 20;

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

[[noreturn]] void Broken(const char* what, const std::string& name) {
  std::fprintf(stderr, "%s: \"%s\"\n", what, name.c_str());
  std::abort();
}

// The archive as libzip alone reads it: the stored names, and what libzip's own pipeline
// (decryption, inflating, its CRC and authentication checks) makes of each entry.
class Reference {
 public:
  explicit Reference(const std::string& path) {
    std::string message;
    archive_ = quarnel::archive::detail::OpenZip(path, ZIP_RDONLY, &message);
    if (archive_) zip_set_default_password(archive_, kPassword);
  }
  ~Reference() {
    if (archive_) zip_discard(archive_);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    zip_int64_t count = archive_ ? zip_get_num_entries(archive_, 0) : 0;
    for (zip_int64_t i = 0; i < count && names.size() < kMaxEntries; ++i) {
      const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
      if (name) names.push_back(name);
    }
    return names;
  }

  // The content of the one entry stored under this plain ASCII name, the entry FindEntry
  // takes; false when there is no such single entry or libzip cannot read it.
  bool Content(const std::string& name, std::string* content) const {
    zip_int64_t count = archive_ ? zip_get_num_entries(archive_, 0) : 0;
    zip_int64_t found = -1;
    for (char c : name) {
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* stored = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
      if (stored && name == stored) {
        if (found >= 0) return false;
        found = i;
      }
    }
    zip_stat_t st;
    if (found < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(found), 0, &st) != 0) return false;
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > kMaxCompared) return false;
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(found), 0);
    if (!file) return false;
    content->clear();
    char buffer[65536];
    zip_int64_t n;
    while ((n = zip_fread(file, buffer, sizeof buffer)) > 0 && content->size() <= kMaxCompared) {
      content->append(buffer, static_cast<std::size_t>(n));
    }
    return zip_fclose(file) == 0 && n == 0;
  }

 private:
  zip_t* archive_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Workspace work;
  quarnel::platform::FileSystem& files = quarnel::platform::Files();
  files.WriteAll(work.archive, std::string(reinterpret_cast<const char*>(data), size));

  Reference reference(work.archive);
  std::set<std::string> extracted;
  ZipArchive zip;
  zip.IsArchiveProtected(work.archive);
  if (zip.OpenArchive(work.archive)) {
    zip.ReadPassword(kPassword);
    zip.CheckPassword();
    std::vector<std::string> names = reference.Names();
    names.push_back("quarnel.dat");
    names.push_back("Inbox.dbx");
    for (const std::string& name : names) {
      std::optional<quarnel::archive::ArchiveEntry> entry = zip.FindEntry(name);
      if (entry && entry->ExtractToFolder(work.out)) {
        extracted.insert(name);
        std::string ours, theirs;
        files.ReadAll(work.out + "/" + name, &ours);
        if (reference.Content(name, &theirs) && ours != theirs) Broken("extracted content differs from libzip's", name);
      }
      for (const std::string& present : files.ListFiles(work.out)) {
        if (!extracted.count(present)) Broken("a file no extraction asked for", present);
      }
    }
  }
  zip.CloseArchive();

  // Only the input may lie beside the extraction folder.
  for (const std::string& name : files.ListFiles(work.folder)) {
    if (name != "input.soe") Broken("a file written outside the extraction folder", name);
  }
  for (const std::string& name : extracted) files.RemoveFile(work.out + "/" + name);
  return 0;
}
