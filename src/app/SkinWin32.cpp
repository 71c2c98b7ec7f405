// Applying the skin to Win32 windows: fonts by WM_SETFONT, colours through the windows'
// WM_CTLCOLOR* handlers.
#include "app/Skin.h"

namespace quarnel::app {
namespace {

const char kHeadingProperty[] = "QuarnelHeading";

COLORREF ToColorRef(const SkinColour& c) { return RGB(c.red, c.green, c.blue); }

bool IsClass(HWND window, const char* name) {
  char buffer[32] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return lstrcmpiA(buffer, name) == 0;
}

struct FontTarget {
  HFONT body;     // nullptr: the controls keep their font
  HFONT heading;  // for the controls marked as headings
};

BOOL CALLBACK SetControlFont(HWND control, LPARAM param) {
  auto* target = reinterpret_cast<FontTarget*>(param);
  HFONT font = WindowSkin::IsHeading(control) ? target->heading : target->body;
  if (font != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return TRUE;
}

}  // namespace

WindowSkin& WindowSkin::Active() {
  static WindowSkin active;
  return active;
}

WindowSkin::~WindowSkin() { Clear(); }

void WindowSkin::Use(const Skin& skin) {
  Clear();
  skin_ = skin;
  loaded_ = true;
  if (skin_.window) windowBrush_ = CreateSolidBrush(ToColorRef(*skin_.window));
  if (!skin_.fontFace.empty() || skin_.fontSize > 0) {
    NONCLIENTMETRICSA metrics = {};
    // Built for XP, the structure has the size that every later Windows accepts too.
    metrics.cbSize = sizeof metrics;
    LOGFONTA font = {};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) font = metrics.lfMessageFont;
    int points = skin_.fontSize > 0 ? skin_.fontSize : 8;
    HDC screen = GetDC(nullptr);
    font.lfHeight = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    font.lfWidth = 0;
    font.lfWeight = FW_NORMAL;
    font.lfItalic = FALSE;
    if (!skin_.fontFace.empty()) lstrcpynA(font.lfFaceName, skin_.fontFace.c_str(), LF_FACESIZE);
    else if (font.lfFaceName[0] == '\0') lstrcpynA(font.lfFaceName, "Tahoma", LF_FACESIZE);
    bodyFont_ = CreateFontIndirectA(&font);
  }
}

void WindowSkin::Clear() {
  for (auto& [body, heading] : headingFonts_) DeleteObject(heading);
  headingFonts_.clear();
  if (windowBrush_ != nullptr) DeleteObject(windowBrush_);
  if (bodyFont_ != nullptr) DeleteObject(bodyFont_);
  windowBrush_ = nullptr;
  bodyFont_ = nullptr;
  skin_ = Skin();
  loaded_ = false;
}

void WindowSkin::MarkHeading(HWND control) { SetPropA(control, kHeadingProperty, reinterpret_cast<HANDLE>(1)); }

bool WindowSkin::IsHeading(HWND control) { return GetPropA(control, kHeadingProperty) != nullptr; }

HFONT WindowSkin::BodyFont(HWND window) {
  if (bodyFont_ != nullptr) return bodyFont_;
  return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}

HFONT WindowSkin::HeadingFontFor(HFONT body) {
  auto found = headingFonts_.find(body);
  if (found != headingFonts_.end()) return found->second;
  LOGFONTA font = {};
  if (body == nullptr || GetObjectA(body, sizeof font, &font) == 0) {
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  font.lfHeight = font.lfHeight * 3 / 2;
  font.lfWeight = FW_BOLD;
  HFONT heading = CreateFontIndirectA(&font);
  if (heading != nullptr) headingFonts_[body] = heading;
  return heading;
}

void WindowSkin::Apply(HWND window) {
  if (window == nullptr) return;
  HFONT body = BodyFont(window);
  FontTarget target{bodyFont_, HeadingFontFor(body)};
  if (bodyFont_ != nullptr) SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_), FALSE);
  EnumChildWindows(window, SetControlFont, reinterpret_cast<LPARAM>(&target));
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

HBRUSH WindowSkin::Colour(UINT message, HDC dc, HWND control) {
  if (!loaded_) return nullptr;
  switch (message) {
    case WM_CTLCOLORDLG:
      return windowBrush_;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Read-only and disabled edit boxes report themselves as static: they keep their own look.
      if (message == WM_CTLCOLORSTATIC && IsClass(control, "Edit")) return nullptr;
      if (!skin_.window && !skin_.text && !skin_.heading) return nullptr;
      if (IsHeading(control) && skin_.heading) SetTextColor(dc, ToColorRef(*skin_.heading));
      else if (skin_.text) SetTextColor(dc, ToColorRef(*skin_.text));
      else SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      // A skin that only colours text keeps the system's face colour behind it.
      if (windowBrush_ == nullptr) {
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return GetSysColorBrush(COLOR_BTNFACE);
      }
      SetBkColor(dc, ToColorRef(*skin_.window));
      return windowBrush_;
    }
    default:
      return nullptr;
  }
}

}  // namespace quarnel::app
