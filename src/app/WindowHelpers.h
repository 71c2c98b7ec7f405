#pragma once
// Small Win32 services that every window of the program uses alike.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "app/MainView.h"

namespace quarnel::app {

std::string WindowText(HWND window);
// The open or save dialog over the owner; the chosen path, nothing when cancelled.
std::optional<std::string> ShowFileDialog(HWND owner, const FileDialogSpec& spec, bool save);
// Processes pending messages, each first offered to preTranslate (true: used up there); a
// quit message is left for the outer loop.
void PumpMessages(const std::function<bool(MSG&)>& preTranslate);

}  // namespace quarnel::app
