#pragma once
// The window skin: a small INI-style file of colours and a font,
//
//   [Colors]
//   Window=#EEF2F7     background of windows, pages and labels
//   Text=#1F2A44       text of labels, frames and check boxes
//   Heading=#1B4F8A    text of title labels
//   [Font]
//   Face=Tahoma
//   Size=8             points, 6 to 14
//
// Every entry is optional. Names are matched without regard to case; unknown sections and
// keys are skipped so that older programs read newer skins. A line that is none of blank,
// comment (';' or '#'), [section] or key=value, or a known key with a bad value, makes the
// whole file malformed: the windows are then left as they are, without a message.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarnel::app {

struct SkinColour {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const SkinColour&) const = default;
};

struct Skin {
  std::optional<SkinColour> window;
  std::optional<SkinColour> text;
  std::optional<SkinColour> heading;
  std::string fontFace;  // empty: the windows keep their own font
  int fontSize = 0;      // points; 0: the dialog's own size
};

std::optional<Skin> ParseSkin(std::string_view text);
// Reads the file through the file seam; nothing when it is missing or malformed.
std::optional<Skin> LoadSkin(const std::string& path);
// The program folder joined with "\skins\frmmain.skn".
std::string MainSkinPath(const std::string& programFolder);

}  // namespace quarnel::app

#ifdef _WIN32
#include <windows.h>

#include <map>

namespace quarnel::app {

// The skin in force for every window of the process. Windows ask for it: Apply in their
// WM_INITDIALOG, Colour in their WM_CTLCOLOR* handlers. With no skin loaded, Apply only
// gives marked headings their bold font and Colour returns nothing.
class WindowSkin {
 public:
  static WindowSkin& Active();

  WindowSkin() = default;
  ~WindowSkin();
  WindowSkin(const WindowSkin&) = delete;
  WindowSkin& operator=(const WindowSkin&) = delete;

  void Use(const Skin& skin);
  void Clear();
  bool Loaded() const { return loaded_; }
  const Skin& Current() const { return skin_; }

  // Title labels get a larger bold font and the heading colour.
  static void MarkHeading(HWND control);
  static bool IsHeading(HWND control);

  // Sets the fonts of the window and every window inside it, then repaints.
  void Apply(HWND window);
  // For WM_CTLCOLORDLG/STATIC/BTN: the brush to paint with, after setting the text and
  // background colours on dc; nullptr when the skin has nothing to say about it.
  HBRUSH Colour(UINT message, HDC dc, HWND control);

 private:
  HFONT BodyFont(HWND window);
  HFONT HeadingFontFor(HFONT body);

  bool loaded_ = false;
  Skin skin_;
  HBRUSH windowBrush_ = nullptr;
  HFONT bodyFont_ = nullptr;
  std::map<HFONT, HFONT> headingFonts_;  // by the body font they are made from
};

}  // namespace quarnel::app
#endif
