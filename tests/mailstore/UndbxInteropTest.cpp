// Debian's undbx, an independent reader of the format, against the test writer
// (it must find exactly the messages written) and against our export (the same
// message bytes).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "mailexport/MailSources.h"
#include "mailstore/DbxWriter.h"
#include "support/TempFolder.h"

namespace quarnel::testing {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> EmlUnder(const fs::path &folder) {
  std::vector<std::string> texts;
  for (const auto &e : fs::recursive_directory_iterator(folder)) {
    // undbx writes an empty file for a message without text; we leave such
    // messages out.
    if (e.is_regular_file() && e.path().extension() == ".eml" && fs::file_size(e.path()) > 0) {
      texts.push_back(Slurp(e.path()));
    }
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

// mboxrd back into messages: a From_ line starts one, the blank line before the
// next ends it, and one '>' comes off every ">*From " line.
std::vector<std::string> MboxMessages(const std::string &mbox) {
  std::vector<std::string> messages;
  std::size_t at = 0;
  while (at < mbox.size()) {
    std::size_t end = mbox.find("\n", at) + 1;
    const std::string line = mbox.substr(at, end - at);
    at = end;
    if (line.rfind("From ", 0) == 0) {
      if (!messages.empty()) messages.back().resize(messages.back().size() - 2);
      messages.emplace_back();
    } else {
      const std::size_t quotes = line.find_first_not_of('>');
      const bool quoted = quotes > 0 && quotes != std::string::npos && line.compare(quotes, 5, "From ") == 0;
      messages.back() += quoted ? line.substr(1) : line;
    }
  }
  if (!messages.empty()) messages.back().resize(messages.back().size() - 2);
  std::sort(messages.begin(), messages.end());
  return messages;
}

void Poke32(std::string &file, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(UndbxInteropTest, UndbxAndOurExportFindTheSameMessageBytes) {
  if (std::system("undbx --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "undbx is not installed (Debian package undbx; "
                    "scripts/bootstrap installs it)";
  }
  const std::vector<DbxMessageSpec> specs = SampleMessages();
  std::vector<std::string> written;
  for (const auto &m : specs) {
    if (!m.deleted && !m.headersOnly) written.push_back(m.text);
  }
  std::sort(written.begin(), written.end());
  const struct {
    const char *name;
    std::function<void(std::string &, const std::vector<DbxPlaced> &)> damage;
  } cases[] = {
      {"intact", [](std::string &, auto &) {}},
      {"marker of a description hit", [](std::string &f, auto &p) { Poke32(f, p[kMultipart].info, 0x1234); }},
      {"marker of a block hit", [](std::string &f, auto &p) { Poke32(f, p[kAttachments].blocks[100], 0); }},
      {"block states too much text", [](std::string &f, auto &p) { Poke32(f, p[kEightBit].blocks[0] + 8, 0x201); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder temp;
    DbxWriter writer;
    std::vector<DbxPlaced> placed;
    for (const auto &m : specs) placed.push_back(writer.AddMessage(m));
    std::string file = writer.Finish();
    c.damage(file, placed);
    ASSERT_TRUE(WriteFileBytes(temp.File("Inbox.dbx"), file));
    const std::string command =
        "undbx -v 0 '" + temp.File("Inbox.dbx") + "' '" + temp.File("undbx") + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::vector<std::string> theirs = EmlUnder(temp.File("undbx"));
    if (std::string(c.name) == "intact") {
      EXPECT_TRUE(theirs == written) << "undbx reads other messages than written";
    }

    mailexport::DbxFileSource source(temp.File("Inbox.dbx"));
    mailexport::ExportMail(source, temp.File("eml"), mailexport::ExportFormat::kEml);
    EXPECT_TRUE(EmlUnder(temp.File("eml")) == theirs) << "our .eml files differ from undbx's";
    mailexport::ExportMail(source, temp.File("mbox"), mailexport::ExportFormat::kMbox);
    EXPECT_TRUE(MboxMessages(Slurp(temp.File("mbox") + "/Inbox.mbox")) == theirs) << "our mbox differs from undbx";
  }
}

}  // namespace
}  // namespace quarnel::testing
