// One body per behaviour, run natively against the portable twins and under Wine against
// the Win32 implementations, so that the twins answer as Windows does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "platform/Services.h"
#include "platform/Text.h"
#include "support/TempFolder.h"

namespace quarnel::platform {
namespace {

using testing::TempFolder;

std::string GetProfile(const std::string& file, const std::string& section, const std::string& key,
                       std::uint32_t size = 128, const std::string& def = "") {
  std::vector<char> buffer(size + 1, 'x');
  std::uint32_t n = Profile().GetString(section, key, def, buffer.data(), size, file);
  EXPECT_EQ(buffer[n], '\0');
  return std::string(buffer.data(), n);
}

TEST(ProfileContract, WritesCreateSectionAndKeyOnceAndReadsIgnoreCaseAndHandWrittenQuirks) {
  TempFolder dir;
  const std::string file = dir.File("settings.dat");
  EXPECT_EQ(GetProfile(file, "backup", "automgeneratefile", 128, "dflt"), "dflt");  // no file
  const std::string longValue = std::string(100, 'a') + std::string(100, 'b');
  ASSERT_TRUE(Profile().WriteString("backup", "backupfolder", "C:\\Backups", file));
  ASSERT_TRUE(Profile().WriteString("General", "burndvd", "0", file));
  ASSERT_TRUE(Profile().WriteString("Backup", "BACKUPFOLDER", "D:\\Sicherungen f\xFCr 2026", file));
  ASSERT_TRUE(Profile().WriteString("backup", "long", longValue, file));
  EXPECT_EQ(GetProfile(file, "BACKUP", "BackupFolder"), "D:\\Sicherungen f\xFCr 2026");
  EXPECT_EQ(GetProfile(file, "general", "burndvd"), "0");
  EXPECT_EQ(GetProfile(file, "other", "burndvd"), "");
  EXPECT_EQ(GetProfile(file, "backup", "b", 128, "dflt"), "dflt");
  EXPECT_EQ(GetProfile(file, "backup", "long", 128), longValue.substr(0, 127));  // cut to the buffer
  EXPECT_EQ(GetProfile(file, "backup", "long", 300), longValue);
  std::string text;
  ASSERT_TRUE(Files().ReadAll(file, &text));
  EXPECT_EQ(std::count(text.begin(), text.end(), '['), 2) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '='), 3) << text;

  ASSERT_TRUE(Files().WriteAll(file,
                               "[backup]\r\nno equals sign here\r\n\r\n  spaced  =  value with blanks  \r\n"
                               "two=a=b\r\nquoted=\"in quotes\"\r\n[General]\r\nburndvd=1\r\n"));
  EXPECT_EQ(GetProfile(file, "backup", "spaced"), "value with blanks");
  EXPECT_EQ(GetProfile(file, "backup", "two"), "a=b");
  EXPECT_EQ(GetProfile(file, "backup", "quoted"), "in quotes");
  EXPECT_EQ(GetProfile(file, "backup", "burndvd"), "");
}

TEST(FilesContract, ExistenceListingCopyingMovingAndRemoving) {
  TempFolder dir;
  const std::string a = dir.File("Old;2005.dbx"), b = dir.File("b.dbx"), sub = dir.File("sub");
  std::string text;
  EXPECT_FALSE(Files().FileExists(a) || Files().ReadAll(a, &text));
  ASSERT_TRUE(Files().WriteAll(a, "first") && Files().WriteAll(b, "second"));
  ASSERT_TRUE(Files().CreateFolder(sub));
  EXPECT_FALSE(Files().CreateFolder(sub));  // already there
  EXPECT_TRUE(Files().FileExists(a) && Files().FolderExists(sub));
  EXPECT_FALSE(Files().FolderExists(a) || Files().FileExists(sub));
  std::vector<std::string> names = Files().ListFiles(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Old;2005.dbx", "b.dbx"}));  // the folder is not listed

  ASSERT_TRUE(Files().MoveReplace(a, b));
  EXPECT_TRUE(Files().ReadAll(b, &text));
  EXPECT_EQ(text, "first");
  EXPECT_FALSE(Files().FileExists(a));
  EXPECT_EQ(Files().FileSize(b), std::optional<std::uint64_t>(5));
  EXPECT_EQ(Files().FileSize(sub), std::nullopt);
  ASSERT_TRUE(Files().Copy(b, a) && Files().ReadAll(a, &text));
  EXPECT_EQ(text, "first");
  EXPECT_TRUE(Files().RemoveFile(a));
  EXPECT_FALSE(Files().RemoveFile(a));
  EXPECT_FALSE(Files().RemoveFile(sub));  // folders are not files
}

// Under Wine a folder has a direct name that makes files without Wine's search of the whole
// folder; a file made through it must be the very file the folder's own name shows, also where
// the names are not ASCII. Elsewhere there is none.
TEST(FilesContract, AFileMadeThroughTheDirectFolderNameIsTheFileItsOwnNameShows) {
  TempFolder dir;
  const std::string folder = dir.File("Gel\xF6schte Objekte"), name = "M\xE4rz 2005.eml";
  ASSERT_TRUE(Files().CreateFolder(folder));
  const std::string direct = Files().DirectFolderName(folder);
#ifdef _WIN32
  ASSERT_EQ(direct.empty(), !GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")) << direct;
#endif
  if (direct.empty()) return;
  std::FILE* file = Files().CreateNew(direct + "\\" + name);
  ASSERT_NE(file, nullptr) << direct;
  EXPECT_GE(std::fputs("body", file), 0);
  std::fclose(file);
  std::string text;
  EXPECT_TRUE(Files().ReadAll(folder + "\\" + name, &text));
  EXPECT_EQ(text, "body");
  EXPECT_EQ(Files().ListFiles(folder), std::vector<std::string>{name});
  EXPECT_EQ(Files().CreateNew(direct + "\\" + name), nullptr);  // never over what is there
}

TEST(FilesContract, AppendingFlushingAndFreeSpace) {
  TempFolder dir;
  const std::string log = dir.File("brlog.dat");
  EXPECT_FALSE(Files().FlushToDisk(log));  // no such file
  ASSERT_TRUE(Files().AppendBytes(log, std::string("one\r\r\n", 6)));
  ASSERT_TRUE(Files().AppendBytes(log, std::string("two\n\r\n\0x", 8)));
  EXPECT_TRUE(Files().FlushToDisk(log));
  std::string text;
  ASSERT_TRUE(Files().ReadAll(log, &text));
  EXPECT_EQ(text, std::string("one\r\r\ntwo\n\r\n\0x", 14));  // bytes unchanged
  EXPECT_FALSE(Files().AppendBytes(dir.File("missing-folder\\x.dat"), "x"));
  EXPECT_GT(Files().FreeSpace(dir.path()).value_or(0), 0u);
  EXPECT_EQ(Files().FreeSpace(dir.File("no-such-folder")), std::nullopt);
}

// The other attributes (hidden, archive; natively the other permission bits) stay as they were.
TEST(FilesContract, ReadOnlyAttributeAlone) {
  TempFolder dir;
  const std::string a = dir.File("a.dbx");
  EXPECT_EQ(Files().IsReadOnly(a), std::nullopt);
  EXPECT_FALSE(Files().SetReadOnly(a, true));
  EXPECT_EQ(Files().IsReadOnly(dir.path()), std::nullopt);  // a folder is no file
  ASSERT_TRUE(Files().WriteAll(a, "mail"));
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(a.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  auto others = [&] { return GetFileAttributesA(a.c_str()) & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY); };
#else
  ASSERT_EQ(chmod(a.c_str(), 0640), 0);
  auto others = [&] {
    struct stat st;
    stat(a.c_str(), &st);
    return st.st_mode & 07577;  // all but the owner's write permission
  };
#endif
  const auto before = others();
  for (bool readOnly : {false, true, false}) {
    ASSERT_TRUE(Files().SetReadOnly(a, readOnly));
    EXPECT_EQ(Files().IsReadOnly(a), std::optional<bool>(readOnly));
    EXPECT_EQ(others(), before);
  }
  std::string text;
  EXPECT_TRUE(Files().ReadAll(a, &text));
  EXPECT_EQ(text, "mail");
}

// What removing an ended run's files relies on: a file some handle has open (this
// process's own included) is in use, and holds share or exclude as Windows' sharing does.
TEST(FilesContract, OpenFilesAreInUseAndHoldsShareOrExclude) {
  TempFolder dir;
  const std::string a = dir.File("a.tmp"), mark = dir.File("quarnel.run");
  EXPECT_FALSE(Files().InUse(a));  // no such file
  ASSERT_TRUE(Files().WriteAll(a, "part"));
  EXPECT_FALSE(Files().InUse(a));
  std::unique_ptr<InputFile> reading = Files().OpenInput(a);
  ASSERT_TRUE(reading);
  EXPECT_TRUE(Files().InUse(a));
  reading.reset();
  EXPECT_FALSE(Files().InUse(a));

  std::unique_ptr<HeldFile> shared = Files().Hold(mark, false);  // made when missing
  ASSERT_TRUE(shared);
  EXPECT_TRUE(Files().FileExists(mark));
  EXPECT_TRUE(Files().InUse(mark));
  std::unique_ptr<HeldFile> another = Files().Hold(mark, false);
  EXPECT_TRUE(another);
  EXPECT_FALSE(Files().Hold(mark, true));
  shared.reset();
  EXPECT_FALSE(Files().Hold(mark, true));
  another.reset();
  EXPECT_FALSE(Files().InUse(mark));
  std::unique_ptr<HeldFile> alone = Files().Hold(mark, true);
  ASSERT_TRUE(alone);
  EXPECT_FALSE(Files().Hold(mark, false));
  EXPECT_FALSE(Files().Hold(mark, true));
  alone.reset();
  EXPECT_TRUE(Files().Hold(mark, false));
}

#ifdef QUARNEL_EXE
// The Event Viewer shows the program's events through quarnel.exe's message table, which
// the installer registers: message 1 is the event's own text.
TEST(EventLogContract, QuarnelExeCarriesTheMessageOfItsEvents) {
  HMODULE exe = LoadLibraryExA("Z:" QUARNEL_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  const char* event = "The scheduled backup of Main Identity started 3/3/2026 2:05:09 PM was completed.";
  DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(event)};
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, exe, kEventMessageId, 0, text,
                           sizeof text, reinterpret_cast<va_list*>(arguments));
  FreeLibrary(exe);
  EXPECT_EQ(std::string(text, n), std::string(event) + "\r\n");
  EXPECT_TRUE(Events().Report("Quarnel Backup", EventKind::Information, event));
}
#endif

TEST(SystemContract, TempFilesAreNewEmptyAndNamedByPrefix) {
  TempFolder dir;
  std::string first, second;
  ASSERT_TRUE(System().CreateTempFile(dir.path(), "accounts", &first));
  ASSERT_TRUE(System().CreateTempFile(dir.path(), "accounts", &second));
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    EXPECT_EQ(Files().FileSize(path), std::optional<std::uint64_t>(0));
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    EXPECT_EQ(name.substr(0, 3), "acc") << name;  // at most three characters of the prefix
    EXPECT_TRUE(AnsiEqualNoCase(name.substr(name.size() - 4), ".tmp")) << name;
  }
  std::string none;
  EXPECT_FALSE(System().CreateTempFile(dir.File("no-such-folder"), "x", &none));
}

TEST(SystemContract, MachineFactsFollowTheWindowsBufferRules) {
  char computer[254], user[255], windows[255], tiny[2];
  std::uint32_t size = sizeof computer;
  ASSERT_TRUE(System().QueryComputerName(computer, &size));
  EXPECT_GT(size, 0u);
  EXPECT_EQ(std::strlen(computer), size);  // the length without the zero
  size = sizeof user;
  ASSERT_TRUE(System().QueryUserName(user, &size));
  EXPECT_EQ(std::strlen(user) + 1, size);  // the length with the zero
  std::uint32_t n = System().QueryWindowsDirectory(windows, sizeof windows);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::strlen(windows), n);
  EXPECT_NE(windows[n - 1], '\\');
  EXPECT_GT(System().QueryWindowsDirectory(tiny, sizeof tiny), sizeof tiny);  // the size needed
  EXPECT_TRUE(Files().FolderExists(System().ProgramFolder()));

#ifdef _WIN32
  SetEnvironmentVariableA("QUARNEL_TEST_FOLDER", "C:\\Program Files");
#else
  setenv("QUARNEL_TEST_FOLDER", "C:\\Program Files", 1);
#endif
  EXPECT_EQ(System().ExpandEnvironment("%QUARNEL_TEST_FOLDER%\\Outlook Express"), "C:\\Program Files\\Outlook Express");
  EXPECT_EQ(System().ExpandEnvironment("%QUARNEL_NOT_SET_ANYWHERE%\\x"), "%QUARNEL_NOT_SET_ANYWHERE%\\x");
  const std::string date = System().GeneralDate(LocalTime{2026, 12, 5, 14, 7, 9});
  EXPECT_TRUE(date.find("2026") != std::string::npos && date.find("07") != std::string::npos) << date;
  EXPECT_GE(System().Now().year, 2024);
}

TEST(TextContract, CaseOrderAndUtf8FollowTheCodePage) {
  EXPECT_EQ(UpperAnsi("Gel\xF6schte.dbx"), "GEL\xD6SCHTE.DBX");  // o umlaut, Windows-1252
  EXPECT_EQ(LowerAnsi("MSIMN.EXE"), "msimn.exe");
  EXPECT_TRUE(AnsiEqualNoCase("Store Root", "store ROOT"));
  EXPECT_FALSE(AnsiEqualNoCase("Store Root", "Store Roo"));
  EXPECT_LT(AnsiCompareNoCase("Alpha", "beta"), 0);
  EXPECT_LT(AnsiCompareNoCase("beta", "Gamma"), 0);
  EXPECT_LT(AnsiCompareNoCase("ab", "abc"), 0);
  const std::string ansi = "Gel\xF6schte Objekte.dbx \x80";  // o umlaut and the euro sign
  EXPECT_EQ(AnsiToUtf8(ansi), "Gel\xC3\xB6schte Objekte.dbx \xE2\x82\xAC");
  std::string back;
  ASSERT_TRUE(Utf8ToAnsi(AnsiToUtf8(ansi), &back));
  EXPECT_EQ(back, ansi);
  EXPECT_FALSE(Utf8ToAnsi("\xE4\xB8\xAD", &back));  // a CJK character has no 1252 byte
  EXPECT_FALSE(Utf8ToAnsi("\xC3", &back));          // cut short
}

}  // namespace
}  // namespace quarnel::platform
