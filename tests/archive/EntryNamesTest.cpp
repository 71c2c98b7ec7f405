// Names from a backup are used as file names in the user's folders only when Windows
// would take them exactly as written.
#include <gtest/gtest.h>

#include <string>

#include "archive/EntryNames.h"

namespace quarnel::archive {
namespace {

TEST(EntryNames, PlainFileNamesPassAndNamesWindowsWouldReinterpretAreRefused) {
  for (const char* name : {"Inbox.dbx", "Gel\xF6schte Objekte.dbx", "OBA1F.tmp", "quarnel.dat", "a", ".hidden",
                           "CONSOLE.dbx", "COM\xB4.txt", "COM10", "CONIN", "CONOUT$x", "LPT", "nul-list.txt", "a..b",
                           "x y.dbx"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
  const std::string refused[] = {
      "", ".", "..", "..\\x.dbx", "C:\\x.dbx", "C:x.dbx", "a/b.dbx", "a\\b.dbx", "../up.dbx", "\\\\server\\share",
      "Inbox.dbx.", "Inbox.dbx ", "Inbox.dbx. .", "in<box.dbx", "in>box", "a\"b", "a|b", "a?b", "a*b",
      std::string("a\0b", 3), "a\tb", "a\x1f", "a\x7f",
      "CON", "con", "Nul", "PRN.txt", "aux.dbx", "NUL.tar.gz", "COM1", "com9.dbx", "LPT1", "lpt9.txt", "CON .txt",
      "file.txt:stream", "COM0", "lpt0.dbx", "COM\xB9", "com\xB2.txt", "LPT\xB3 .dbx", "CONIN$", "conout$.log", "In\x01" "box.dbx",
  };
  for (const std::string& name : refused) EXPECT_FALSE(IsSafeEntryName(name)) << name;
}

}  // namespace
}  // namespace quarnel::archive
