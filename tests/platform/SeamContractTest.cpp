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

TEST(ProfileContract, ReadsWhatWasWrittenAndCreatesFileAndSection) {
  TempFolder dir;
  std::string file = dir.File("settings.dat");
  ASSERT_TRUE(Profile().WriteString("backup", "backupfolder", "C:\\Backups", file));
  ASSERT_TRUE(Profile().WriteString("General", "burndvd", "0", file));
  ASSERT_TRUE(Profile().WriteString("backup", "autocloseoutlook", "1", file));
  EXPECT_TRUE(Files().FileExists(file));
  EXPECT_EQ(GetProfile(file, "backup", "backupfolder"), "C:\\Backups");
  EXPECT_EQ(GetProfile(file, "General", "burndvd"), "0");
  EXPECT_EQ(GetProfile(file, "backup", "autocloseoutlook"), "1");
  // Names compare without regard to case.
  EXPECT_EQ(GetProfile(file, "BACKUP", "BackupFolder"), "C:\\Backups");
  // A second write replaces the value rather than adding a line.
  ASSERT_TRUE(Profile().WriteString("Backup", "BACKUPFOLDER", "D:\\x", file));
  EXPECT_EQ(GetProfile(file, "backup", "backupfolder"), "D:\\x");
  std::string text;
  ASSERT_TRUE(Files().ReadAll(file, &text));
  EXPECT_EQ(std::count(text.begin(), text.end(), '['), 2) << text;
}

TEST(ProfileContract, MissingFileSectionOrKeyGivesTheDefault) {
  TempFolder dir;
  std::string file = dir.File("settings.dat");
  EXPECT_EQ(GetProfile(file, "backup", "automgeneratefile"), "");
  EXPECT_EQ(GetProfile(file, "backup", "automgeneratefile", 128, "dflt"), "dflt");
  ASSERT_TRUE(Profile().WriteString("backup", "a", "1", file));
  EXPECT_EQ(GetProfile(file, "other", "a"), "");
  EXPECT_EQ(GetProfile(file, "backup", "b"), "");
}

TEST(ProfileContract, LongValueIsCutToTheBuffer) {
  TempFolder dir;
  std::string file = dir.File("settings.dat");
  std::string value;
  for (int i = 0; i < 200; ++i) value += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(Profile().WriteString("backup", "backupfolder", value, file));
  EXPECT_EQ(GetProfile(file, "backup", "backupfolder", 128), value.substr(0, 127));
  EXPECT_EQ(GetProfile(file, "backup", "backupfolder", 300), value);
}

TEST(ProfileContract, HandWrittenFileQuirks) {
  TempFolder dir;
  std::string file = dir.File("settings.dat");
  ASSERT_TRUE(Files().WriteAll(file,
                               "[backup]\r\n"
                               "no equals sign here\r\n"
                               "\r\n"
                               "  spaced  =  value with blanks  \r\n"
                               "two=a=b\r\n"
                               "quoted=\"in quotes\"\r\n"
                               "[General]\r\n"
                               "burndvd=1\r\n"));
  EXPECT_EQ(GetProfile(file, "backup", "spaced"), "value with blanks");
  EXPECT_EQ(GetProfile(file, "backup", "two"), "a=b");
  EXPECT_EQ(GetProfile(file, "backup", "quoted"), "in quotes");
  EXPECT_EQ(GetProfile(file, "general", "BURNDVD"), "1");
  EXPECT_EQ(GetProfile(file, "backup", "burndvd"), "");
}

TEST(FilesContract, ExistenceListingAndReplacement) {
  TempFolder dir;
  std::string a = dir.File("a.dbx"), b = dir.File("b.dbx"), sub = dir.File("sub");
  EXPECT_FALSE(Files().FileExists(a));
  std::string unused;
  EXPECT_FALSE(Files().ReadAll(a, &unused));
  ASSERT_TRUE(Files().WriteAll(a, "first"));
  ASSERT_TRUE(Files().WriteAll(b, "second"));
  ASSERT_TRUE(Files().CreateFolder(sub));
  EXPECT_FALSE(Files().CreateFolder(sub));  // already there
  EXPECT_TRUE(Files().FileExists(a));
  EXPECT_FALSE(Files().FolderExists(a));
  EXPECT_TRUE(Files().FolderExists(sub));
  EXPECT_FALSE(Files().FileExists(sub));

  std::vector<std::string> names = Files().ListFiles(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.dbx", "b.dbx"}));  // the folder is not listed

  ASSERT_TRUE(Files().MoveReplace(a, b));
  std::string text;
  ASSERT_TRUE(Files().ReadAll(b, &text));
  EXPECT_EQ(text, "first");
  EXPECT_FALSE(Files().FileExists(a));
  EXPECT_EQ(Files().FileSize(b), std::optional<std::uint64_t>(5));
  EXPECT_EQ(Files().FileSize(sub), std::nullopt);

  ASSERT_TRUE(Files().Copy(b, a));
  ASSERT_TRUE(Files().ReadAll(a, &text));
  EXPECT_EQ(text, "first");

  EXPECT_TRUE(Files().RemoveFile(a));
  EXPECT_FALSE(Files().RemoveFile(a));
  EXPECT_FALSE(Files().RemoveFile(sub));  // folders are not files
}

TEST(FilesContract, AppendCreatesThenAppendsBytesUnchanged) {
  TempFolder dir;
  std::string log = dir.File("brlog.dat");
  ASSERT_TRUE(Files().AppendBytes(log, std::string("one\r\r\n", 6)));
  ASSERT_TRUE(Files().AppendBytes(log, std::string("two\n\r\n\0x", 8)));
  std::string text;
  ASSERT_TRUE(Files().ReadAll(log, &text));
  EXPECT_EQ(text, std::string("one\r\r\ntwo\n\r\n\0x", 14));
  EXPECT_FALSE(Files().AppendBytes(dir.File("missing-folder\\x.dat"), "x"));
}

TEST(FilesContract, FlushAndFreeSpace) {
  TempFolder dir;
  std::string a = dir.File("a.soe");
  EXPECT_FALSE(Files().FlushToDisk(a));  // no such file
  ASSERT_TRUE(Files().WriteAll(a, "content"));
  EXPECT_TRUE(Files().FlushToDisk(a));
  std::string text;
  ASSERT_TRUE(Files().ReadAll(a, &text));
  EXPECT_EQ(text, "content");

  std::optional<std::uint64_t> free = Files().FreeSpace(dir.path());
  ASSERT_TRUE(free);
  EXPECT_GT(*free, 0u);
  EXPECT_EQ(Files().FreeSpace(dir.File("no-such-folder")), std::nullopt);
}

// The other attributes (hidden, archive; natively the other permission bits) stay as they were.
TEST(FilesContract, ReadOnlyAttributeAlone) {
  TempFolder dir;
  std::string a = dir.File("a.dbx");
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
  EXPECT_EQ(Files().IsReadOnly(a), std::optional<bool>(false));
  ASSERT_TRUE(Files().SetReadOnly(a, true));
  EXPECT_EQ(Files().IsReadOnly(a), std::optional<bool>(true));
  EXPECT_EQ(others(), before);
  std::string text;
  ASSERT_TRUE(Files().ReadAll(a, &text));
  EXPECT_EQ(text, "mail");
  ASSERT_TRUE(Files().SetReadOnly(a, false));
  EXPECT_EQ(Files().IsReadOnly(a), std::optional<bool>(false));
  EXPECT_EQ(others(), before);
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
    EXPECT_TRUE(Files().FileExists(path));
    EXPECT_EQ(Files().FileSize(path), std::optional<std::uint64_t>(0));
    std::size_t slash = path.find_last_of("\\/");
    std::string name = path.substr(slash + 1);
    EXPECT_EQ(name.substr(0, 3), "acc") << name;  // at most three characters of the prefix
    EXPECT_TRUE(AnsiEqualNoCase(name.substr(name.size() - 4), ".tmp")) << name;
  }
  std::string none;
  EXPECT_FALSE(System().CreateTempFile(dir.File("no-such-folder"), "x", &none));
}

TEST(SystemContract, MachineFactsFollowTheWindowsBufferRules) {
  char computer[254];
  std::uint32_t size = sizeof computer;
  ASSERT_TRUE(System().QueryComputerName(computer, &size));
  EXPECT_GT(size, 0u);
  EXPECT_EQ(std::strlen(computer), size);  // the length without the zero

  char user[255];
  size = sizeof user;
  ASSERT_TRUE(System().QueryUserName(user, &size));
  EXPECT_EQ(std::strlen(user) + 1, size);  // the length with the zero

  char windows[255];
  std::uint32_t n = System().QueryWindowsDirectory(windows, sizeof windows);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::strlen(windows), n);
  EXPECT_NE(windows[n - 1], '\\');
  char tiny[2];
  EXPECT_GT(System().QueryWindowsDirectory(tiny, sizeof tiny), sizeof tiny);  // the size needed

  std::string folder = System().ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(Files().FolderExists(folder));
}

TEST(SystemContract, ExpandsKnownVariablesAndLeavesOthers) {
#ifdef _WIN32
  SetEnvironmentVariableA("QUARNEL_TEST_FOLDER", "C:\\Program Files");
#else
  setenv("QUARNEL_TEST_FOLDER", "C:\\Program Files", 1);
#endif
  EXPECT_EQ(System().ExpandEnvironment("%QUARNEL_TEST_FOLDER%\\Outlook Express"),
            "C:\\Program Files\\Outlook Express");
  EXPECT_EQ(System().ExpandEnvironment("C:\\Plain\\Path"), "C:\\Plain\\Path");
  EXPECT_EQ(System().ExpandEnvironment("%QUARNEL_NOT_SET_ANYWHERE%\\x"), "%QUARNEL_NOT_SET_ANYWHERE%\\x");
}

TEST(SystemContract, GeneralDateHoldsDateAndTime) {
  LocalTime t{2026, 12, 5, 14, 7, 9};
  std::string text = System().GeneralDate(t);
  EXPECT_NE(text.find("2026"), std::string::npos) << text;
  EXPECT_NE(text.find("07"), std::string::npos) << text;
  EXPECT_NE(text.find(' '), std::string::npos) << text;
  LocalTime now = System().Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
}

TEST(TextContract, CaseAndOrderFollowTheCodePage) {
  EXPECT_EQ(UpperAnsi("msimn.exe"), "MSIMN.EXE");
  EXPECT_EQ(LowerAnsi("MSIMN.EXE"), "msimn.exe");
  EXPECT_EQ(UpperAnsi("Gel\xF6schte"), "GEL\xD6SCHTE");  // o umlaut, Windows-1252
  EXPECT_TRUE(AnsiEqualNoCase("Store Root", "store ROOT"));
  EXPECT_FALSE(AnsiEqualNoCase("Store Root", "Store Roo"));
  EXPECT_LT(AnsiCompareNoCase("Alpha", "beta"), 0);
  EXPECT_LT(AnsiCompareNoCase("beta", "Gamma"), 0);
  EXPECT_LT(AnsiCompareNoCase("ab", "abc"), 0);
  EXPECT_EQ(AnsiCompareNoCase("", ""), 0);
}

TEST(TextContract, Utf8ConversionRoundTrips) {
  std::string ansi = "Gel\xF6schte Objekte.dbx \x80";  // o umlaut and the euro sign
  std::string utf8 = AnsiToUtf8(ansi);
  EXPECT_EQ(utf8, "Gel\xC3\xB6schte Objekte.dbx \xE2\x82\xAC");
  std::string back;
  ASSERT_TRUE(Utf8ToAnsi(utf8, &back));
  EXPECT_EQ(back, ansi);
  EXPECT_FALSE(Utf8ToAnsi("\xE4\xB8\xAD", &back));  // a CJK character has no 1252 byte
  EXPECT_FALSE(Utf8ToAnsi("\xC3", &back));          // cut short
}

}  // namespace
}  // namespace quarnel::platform
