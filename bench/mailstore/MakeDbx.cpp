// Writes a mail-folder file of about the size asked for, straight to disk: the
// sample messages over and over with bodies of varied size, now and then a
// large attachment.
//   quarnel_make_dbx FILE MiB
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mailstore/DbxWriter.h"

int main(int argc, char **argv) {
  using namespace quarnel::testing;
  if (argc != 3) {
    std::fprintf(stderr, "usage: quarnel_make_dbx FILE MiB\n");
    return 2;
  }
  std::FILE *file = std::fopen(argv[1], "w+b");
  if (!file)
    return 1;
  const std::uint64_t target = std::strtoull(argv[2], nullptr, 10) << 20;
  const std::vector<DbxMessageSpec> samples = SampleMessages();
  DbxWriter writer(false, file);
  for (std::uint64_t n = 0; writer.Size() < target; ++n) {
    DbxMessageSpec m = samples[n % kSamples];
    m.deleted = m.headersOnly = false;
    m.subject += " #" + std::to_string(n);
    m.sent = FileTimeAt(n * 61);
    const std::size_t extra = n % 97 == 0 ? 3 << 20 : (n * 7919) % 40000;
    for (std::size_t i = 0; i < extra; i += 78)
      m.text +=
          "Line " + std::to_string(i) + " of a longer body, as mail has.\r\n";
    writer.AddMessage(m);
  }
  writer.Finish();
  return std::fclose(file) == 0 ? 0 : 1;
}
