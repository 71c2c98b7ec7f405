// Starts a backup in a running Quarnel Backup window, as a user would: all items selected,
// a description typed, "Backup Now" pressed. scripts/screenshot uses it for the picture of
// a finished backup. Returns once the button press is on its way.
//   quarnel_drive "<description>"
// Or reads what the window tells when it opens: waits up to SECONDS for a message box of
// the program, prints its text, answers OK, then closes the window.
//   quarnel_drive --message SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mainwindow/Resource.h"

namespace {

HWND FindChild(HWND window, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The longest text of the box's static controls: its message.
std::string MessageText(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM param) -> BOOL {
        char name[16] = {}, buffer[4096] = {};
        GetClassNameA(child, name, sizeof name);
        GetWindowTextA(child, buffer, sizeof buffer);
        auto* longest = reinterpret_cast<std::string*>(param);
        if (lstrcmpiA(name, "Static") == 0 && std::strlen(buffer) > longest->size()) *longest = buffer;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

int ReadMessage(HWND main, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (HWND box = FindWindowA("#32770", "Quarnel Backup")) {
      std::printf("%s\n", MessageText(box).c_str());
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      Sleep(500);
      break;
    }
    Sleep(100);
  }
  PostMessageA(main, WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  HWND main = nullptr;
  for (int i = 0; i < 300 && main == nullptr; ++i) {
    main = FindWindowA(nullptr, "Quarnel Backup V2.50");
    if (main == nullptr) Sleep(100);
  }
  if (main == nullptr) {
    std::fprintf(stderr, "quarnel_drive: no Quarnel Backup window\n");
    return 1;
  }
  if (argc > 2 && std::strcmp(argv[1], "--message") == 0) return ReadMessage(main, std::atoi(argv[2]));
  SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_SELECTALLITEMS, 0), 0);
  if (HWND description = FindChild(main, IDC_TXTATTACHINFO); description != nullptr && argc > 1) {
    SendMessageA(description, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[1]));
  }
  HWND apply = GetDlgItem(main, IDC_CMDAPPLY);
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_CMDAPPLY, BN_CLICKED), reinterpret_cast<LPARAM>(apply));
  return 0;
}
