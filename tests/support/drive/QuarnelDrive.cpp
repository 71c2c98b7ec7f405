// Starts a backup in a running Quarnel Backup window, as a user would: all items selected,
// a description typed, "Backup Now" pressed. scripts/screenshot uses it for the picture of
// a finished backup. Returns once the button press is on its way.
//   quarnel_drive "<description>"
#include <windows.h>

#include <cstdio>

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
  SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_SELECTALLITEMS, 0), 0);
  if (HWND description = FindChild(main, IDC_TXTATTACHINFO); description != nullptr && argc > 1) {
    SendMessageA(description, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[1]));
  }
  HWND apply = GetDlgItem(main, IDC_CMDAPPLY);
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_CMDAPPLY, BN_CLICKED), reinterpret_cast<LPARAM>(apply));
  return 0;
}
