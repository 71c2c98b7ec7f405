// Out of memory anywhere in a write fails the write and keeps the older backup: nothing
// hangs, nothing escapes. Every allocation of a write through the worker threads is made to
// fail in turn, one per run, by the counter that stands in for operator new here.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "archive/ArchiveTestSupport.h"
#include "archive/BlockDeflate.h"
#include "archive/ZipArchive.h"
#include "support/TempFolder.h"

namespace {
// Allocations still allowed before the one that fails; below 0, none fails.
std::atomic<long> allocationsLeft{-1};
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) == 0) return nullptr;
  return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size) {
  if (void* memory = operator new(size, std::nothrow)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace quarnel::archive {
namespace {

using testing::FolderListing;
using testing::MailLikeText;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

TEST(OutOfMemory, EachAllocationOfAWriteFailingInTurnFailsItCleanlyOrIsSurvived) {
  testing::TempFolder work;
  const std::string mail = MailLikeText(detail::kBlockDeflateMinimum, 5);
  ASSERT_TRUE(WriteFileBytes(work.File("Inbox.dbx"), mail));
  ASSERT_TRUE(WriteFileBytes(work.File("quarnel.dat"), "BackupItem=00010000\r\n"));
  ASSERT_TRUE(WriteFileBytes(work.File("backup.soe"), "the previous backup"));
  int failed = 0;
  for (long allowed = 0;; ++allowed) {
    ASSERT_LT(allowed, 5000) << "the write never got through";
    ZipArchive zip;
    zip.DeflateWorkers(3);
    zip.NewArchive(work.File("backup.soe"));
    zip.AppendPath(work.File("Inbox.dbx"));
    zip.AppendClosingPath(work.File("quarnel.dat"), [](const std::vector<EntryFacts>& f) { return f[0].name; });
    zip.ArchivePassword("pw");
    zip.EncryptionMode(1);
    allocationsLeft = allowed;
    const bool written = zip.WriteArchive();
    const bool injected = allocationsLeft.exchange(-1) < 0;
    const std::string error = zip.LastError();
    ASSERT_EQ(FolderListing(work.path()), (std::vector<std::string>{"Inbox.dbx", "backup.soe", "quarnel.dat"}))
        << allowed << " " << error;
    if (!written) {
      ++failed;
      EXPECT_TRUE(injected) << error;
      EXPECT_TRUE(ReadFileBytes(work.File("backup.soe")) == "the previous backup") << allowed;
      continue;
    }
    ASSERT_TRUE(zip.OpenArchive(work.File("backup.soe")));
    zip.ReadPassword("pw");
    testing::TempFolder out;
    ASSERT_TRUE(zip.FindEntry("Inbox.dbx")->ExtractToFolder(out.path())) << allowed << zip.LastError();
    EXPECT_TRUE(ReadFileBytes(out.File("Inbox.dbx")) == mail) << allowed;
    zip.CloseArchive();
    if (!injected) break;
    ASSERT_TRUE(WriteFileBytes(work.File("backup.soe"), "the previous backup"));
  }
  EXPECT_GT(failed, 10);
}

}  // namespace
}  // namespace quarnel::archive
