#pragma once
// For window tests under Windows: runs a script on a modal window from a thread timer,
// inside the window's own modal loop, then cancels the window if it is still open. Probes
// may be nested: a script that opens a file dialog arms another probe for it first.
#include <windows.h>

#include <functional>
#include <map>
#include <vector>

namespace quarnel::testing {

class ModalProbe {
 public:
  // find returns the modal window once it is up (nullptr while it is not).
  ModalProbe(std::function<HWND()> find, std::function<void(HWND)> script)
      : find_(std::move(find)), script_(std::move(script)) {
    timer_ = SetTimer(nullptr, 0, 30, Tick);
    Probes()[timer_] = this;
  }
  ~ModalProbe() {
    KillTimer(nullptr, timer_);
    Probes().erase(timer_);
  }
  ModalProbe(const ModalProbe&) = delete;
  ModalProbe& operator=(const ModalProbe&) = delete;

  bool seen() const { return seen_; }

  // The visible window of this thread, other than `owner`, that `owner` owns.
  static HWND OwnedBy(HWND owner) {
    struct Search {
      HWND owner;
      HWND found;
    } search{owner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          if (w != s->owner && IsWindowVisible(w) && GetWindow(w, GW_OWNER) == s->owner) {
            s->found = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  static std::map<UINT_PTR, ModalProbe*>& Probes() {
    static std::map<UINT_PTR, ModalProbe*> probes;
    return probes;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto found = Probes().find(id);
    if (found == Probes().end()) return;
    ModalProbe* self = found->second;
    if (self->seen_) return;
    HWND window = self->find_();
    if (window == nullptr) {
      // Never left waiting: after a few seconds whatever is active is closed.
      if (++self->ticks_ > 150 && GetActiveWindow() != nullptr) PostMessageA(GetActiveWindow(), WM_CLOSE, 0, 0);
      return;
    }
    self->seen_ = true;
    self->script_(window);
    // Sent, not posted: Wine takes seconds to deliver a message posted to a modal dialog here.
    if (IsWindow(window)) SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
  }

  std::function<HWND()> find_;
  std::function<void(HWND)> script_;
  UINT_PTR timer_ = 0;
  bool seen_ = false;
  int ticks_ = 0;
};

}  // namespace quarnel::testing
