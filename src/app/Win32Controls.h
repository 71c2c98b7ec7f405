#pragma once
// Small pieces that every Win32 window of the program uses: control text, tab pages, the
// file dialogs and the folder picker, each owned by the window that asks.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "app/MainView.h"

namespace quarnel::app {

bool IsClass(HWND window, const char* name);
std::string WindowText(HWND window);
// Button captions carry their mnemonic marker; the product's caption is the text without it.
std::string WithoutMnemonic(const std::string& caption);
std::string EscapeMnemonic(const std::string& caption);
// A control's text as the product names it, and setting it so; buttons keep '&' as written.
std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& text);

bool IsChecked(HWND button);
void SetCheck(HWND button, bool checked);

// Answers WM_CTLCOLOREDIT or WM_CTLCOLORSTATIC for a text field given a system colour of
// its own (the password fields): the brush, with the colours set on dc.
HBRUSH FieldBrush(HDC dc, HWND field, FieldColour colour);

// Child dialogs laid over a tab strip's display area, above it, as property sheets do; on a
// themed system without a skin colour they share the strip's background.
void LayOutTabPages(HWND owner, HWND tabs, HWND* pages, int count);
// The procedure of a tab page whose window handles the page's commands and colours as its
// own: they are passed on to the window that holds the page.
INT_PTR CALLBACK ForwardingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Shows page `shown` of the tab pages and hides the others; a hidden page gives the keyboard
// back to the tab strip.
void ShowTabPage(HWND tabs, HWND* pages, int count, int shown);

// Processes pending messages, each first offered to preTranslate (true: used up there); a
// quit message is left for the outer loop.
void PumpMessages(const std::function<bool(MSG&)>& preTranslate);

// The open or save dialog owned by `owner`; nothing when cancelled.
std::optional<std::string> FileDialog(HWND owner, const FileDialogSpec& spec, bool save);
// The folder picker owned by `owner`, with no root restriction; "" when cancelled or when
// the choice has no file-system path.
std::string BrowseForFolder(const std::string& title, HWND owner, UINT flags);

}  // namespace quarnel::app
