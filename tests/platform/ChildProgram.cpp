// A console program for the process tests. Arguments: exit code, a word, a byte count.
// Writes "show=<window state> input=<eof|data> out=<word>" to its output, "err=<word>" to
// its error output, then the given number of 'x' to its output, and ends with the code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4) return 100;
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  char probe = 0;
  bool eof = std::fread(&probe, 1, 1, stdin) == 0;
  std::printf("show=%d input=%s out=%s\n", shown, eof ? "eof" : "data", argv[2]);
  std::fflush(stdout);
  std::fprintf(stderr, "err=%s\n", argv[2]);
  std::fflush(stderr);
  std::string bulk(static_cast<std::size_t>(std::atol(argv[3])), 'x');
  std::fwrite(bulk.data(), 1, bulk.size(), stdout);
  return std::atoi(argv[1]);
}
