// The skin frmMain and its windows apply, and the program's own resources.
#include "MainWindowFixture.h"

namespace quarnel::app {
namespace {

TEST_F(MainWindowTest, TheSkinColoursAndFontsEveryWindowThatAsks) {
  ASSERT_TRUE(CreateDirectoryA((dir_.path() + "\\skins").c_str(), nullptr));
  ASSERT_TRUE(platform::Files().WriteAll(dir_.path() + "\\skins\\frmmain.skn",
                                         "[Colors]\r\nWindow=#102030\r\nText=#A0B0C0\r\n[Font]\r\n"
                                         "Face=Courier New\r\nSize=10\r\n"));
  Open();
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(BrushColour(SendMessageA(Page(0), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(Page(0)))),
            RGB(0x10, 0x20, 0x30));
  HWND label = FindByText(Page(0), "Items to backup");
  EXPECT_EQ(BrushColour(SendMessageA(Page(0), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(label))),
            RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(GetTextColor(dc), RGB(0xA0, 0xB0, 0xC0));
  LOGFONTA font = {};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Handle(Control::cmdApply), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, "Courier New");
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Handle(Control::lblAboutTitle), WM_GETFONT, 0, 0)), sizeof font,
             &font);
  EXPECT_EQ(font.lfWeight, FW_BOLD);

  // The about window asks for the same skin.
  COLORREF aboutColour = CLR_INVALID;
  ModalProbe probe(AboutWindow::Current, [&](HWND about) {
    aboutColour = BrushColour(
        SendMessageA(about, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(about)));
  });
  Click(Control::cmdAbout);
  EXPECT_EQ(aboutColour, RGB(0x10, 0x20, 0x30));
  DeleteDC(dc);
}

TEST_F(MainWindowTest, AMissingOrMalformedSkinLeavesTheWindowAsItIs) {
  ASSERT_TRUE(CreateDirectoryA((dir_.path() + "\\skins").c_str(), nullptr));
  for (const char* skin : {static_cast<const char*>(nullptr), "[Colors]\r\nWindow=#102030\r\nthis is no skin\r\n",
                           "[Colors]\r\nWindow=blue\r\n"}) {
    std::string path = dir_.path() + "\\skins\\frmmain.skn";
    DeleteFileA(path.c_str());
    if (skin != nullptr) {
      ASSERT_TRUE(platform::Files().WriteAll(path, skin));
    }
    Open();
    EXPECT_FALSE(WindowSkin::Active().Loaded());
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_NE(BrushColour(SendMessageA(Page(0), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(Page(0)))),
              RGB(0x10, 0x20, 0x30));
    DeleteDC(dc);
    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Handle(Control::cmdApply), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_STRNE(font.lfFaceName, "Courier New");
    EXPECT_EQ(messages_.shown.size(), 1u);  // only the no-identities message
    messages_.shown.clear();
    window_.reset();
    Pump();
  }
}

TEST(ProgramResourcesTest, ManifestAndVersion) {
  // The manifest asks for common controls 6 (themed controls), and Wine honours it.
  HRSRC manifest = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(manifest, nullptr);
  std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
                   SizeofResource(nullptr, manifest));
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
  // The library in use is the side-by-side one (Wine's reports version 5.81 whichever it is).
  char path[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
  CharLowerA(path);
  EXPECT_NE(std::string(path).find("common-controls"), std::string::npos) << path;
  EXPECT_NE(std::string(path).find("_6.0."), std::string::npos) << path;

  // Version 2.50 in the file's version resource.
  HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
  ASSERT_NE(info, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, info)));
  DWORD size = SizeofResource(nullptr, info);
  const VS_FIXEDFILEINFO* fixed = nullptr;
  for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    if (reinterpret_cast<const VS_FIXEDFILEINFO*>(bytes + at)->dwSignature == 0xFEEF04BD) {
      fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(bytes + at);
      break;
    }
  }
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 2u);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 50u);
}

}  // namespace
}  // namespace quarnel::app
