// The skin frmMain and its windows apply, and the manifest.
#include "MainWindowFixture.h"

namespace quarnel::app {
namespace {

TEST_F(MainWindowTest, TheSkinColoursAndFontsEveryWindowThatAsks) {
  ASSERT_TRUE(CreateDirectoryA((dir.path() + "\\skins").c_str(), nullptr));
  ASSERT_TRUE(platform::Files().WriteAll(dir.path() + "\\skins\\frmmain.skn",
                                         "[Colors]\r\nWindow=#102030\r\nText=#A0B0C0\r\n[Font]\r\n"
                                         "Face=Courier New\r\nSize=10\r\n"));
  Open();
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(BrushColour(
                SendMessageA(Page(0), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Page(0)))),
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
    aboutColour =
        BrushColour(SendMessageA(about, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(about)));
  });
  Click(Control::cmdAbout);
  EXPECT_EQ(aboutColour, RGB(0x10, 0x20, 0x30));
  DeleteDC(dc);
}

TEST(ProgramResourcesTest, TheManifestBringsCommonControlsSix) {
  // The manifest asks for common controls 6 (themed controls): the library in use is the
  // side-by-side one (Wine's reports version 5.81 whichever it is).
  char path[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
  CharLowerA(path);
  EXPECT_NE(std::string(path).find("common-controls"), std::string::npos) << path;
  EXPECT_NE(std::string(path).find("_6.0."), std::string::npos) << path;
}

}  // namespace
}  // namespace quarnel::app
