// The Windows button under Wine: the GDI surface against the portable one,
// the caption font, and real windows driven with SendInput and read back
// from the screen.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "command_window.h"

namespace sorvane::saver {
namespace {

const char kSet[] = "\x90\xDD\x92\xE8";                      // 設定
const char kCan[] = "\xB7\xAC\xDD\xBE\xD9";                  // ｷｬﾝｾﾙ
const char kEtc[] = "\x82\xBB\x82\xCC\x91\xBC\x82\xCC\x8D\xEC\x95\x69";  // その他の作品

void Pump(int ms) {
  const DWORD end = GetTickCount() + DWORD(ms);
  MSG m;
  do {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(5);
  } while (LONG(GetTickCount() - end) < 0);
}

std::string FirstDifference(const Image& a, const Image& b) {
  if (a.width != b.width || a.height != b.height)
    return "sizes " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " +
           std::to_string(b.width) + "x" + std::to_string(b.height);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if (a.at(x, y) != b.at(x, y)) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "(%d,%d): %06X vs %06X", x, y, unsigned(a.at(x, y)), unsigned(b.at(x, y)));
        return buf;
      }
  return "";
}

TEST(GdiSurface, GradientFillAgreesWithThePortableGradient) {
  const std::pair<Rgb, Rgb> pairs[] = {{kFaceWhite, kFaceShade}, {kFaceShade, kFaceWhite}, {0x000000, 0xFFFFFF},
                                       {0x123456, 0xFEDCBA}};
  for (const auto& colours : pairs) {
    for (int h = 1; h <= 70; h += 3) {
      const int w = 9 + h % 5;
      GdiCanvas gdi;
      gdi.Resize(w, h);
      PixelCanvas portable(w, h);
      for (FaceCanvas* c : {static_cast<FaceCanvas*>(&gdi), static_cast<FaceCanvas*>(&portable)}) {
        c->Clear();
        c->GradientFillV(MakeVertex(0, 0, colours.first), MakeVertex(w - 1, h - 1, colours.second));
      }
      const std::string diff = FirstDifference(gdi.Pixels(), portable.Surface());
      EXPECT_EQ(diff, "") << "height " << h << " colours " << std::hex << colours.first << "->" << colours.second;
    }
  }
}

TEST(GdiSurface, EveryFacePaintsAsThePortableSurfaceDoes) {
  const FaceSet& faces = ProgramFaces();
  ASSERT_TRUE(faces.Complete());  // embedded by button.rc
  EXPECT_EQ(faces[FaceId::HighLight], faces[FaceId::HighLightSelect]);
  const std::pair<int, int> sizes[] = {{1095, 375}, {435, 315}, {1875, 375}, {1035, 375}, {2400, 900}};
  for (const auto& size : sizes) {
    for (int f = 0; f < kFaceCount; ++f) {
      for (std::uint8_t state : {1, 2}) {
        GdiCanvas gdi;
        gdi.Resize(TwipsToPixels(size.first), TwipsToPixels(size.second));
        PixelCanvas portable(TwipsToPixels(size.first), TwipsToPixels(size.second));
        bool a = false, b = false;
        DrawFace(gdi, faces[FaceId(f)], state, a, size.first, size.second, 195);
        DrawFace(portable, faces[FaceId(f)], state, b, size.first, size.second, 195);
        EXPECT_EQ(FirstDifference(gdi.Pixels(), portable.Shown()), "")
            << FaceName(FaceId(f)) << " at " << size.first << "x" << size.second << " state " << int(state);
      }
    }
  }
}

TEST(CaptionFont, JapaneseFaceIsFoundAndHasTheGlyphs) {
  const CaptionFont font = DefaultCaptionFont();
  const std::string face = ResolveCaptionFace(font.name);
  ASSERT_FALSE(face.empty());
  std::printf("caption face: %s\n", face.c_str());
  HFONT hf = CreateCaptionFont(font);
  ASSERT_NE(hf, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, hf);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET) << face;
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 13) << "9.75 pt at 96 dpi";
  // 設定, ｷｬﾝｾﾙ and その他の作品 all have glyphs in the face.
  const std::wstring texts[] = {L"\u8A2D\u5B9A", L"\uFF77\uFF6C\uFF9D\uFF7E\uFF99", L"\u305D\u306E\u4ED6\u306E\u4F5C\u54C1"};
  for (const std::wstring& t : texts) {
    WORD glyphs[16] = {};
    ASSERT_EQ(GetGlyphIndicesW(dc, t.c_str(), int(t.size()), glyphs, GGI_MARK_NONEXISTING_GLYPHS), DWORD(t.size()));
    for (std::size_t i = 0; i < t.size(); ++i) EXPECT_NE(glyphs[i], 0xFFFF) << face << " char " << i;
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(hf);
  // A face that does not exist falls back to a Japanese one.
  EXPECT_NE(ResolveCaptionFace("No Such Face 123"), "No Such Face 123");
}

// A top-level host window standing in for the settings dialog.
class ButtonWindows : public ::testing::Test {
 protected:
  static constexpr COLORREF kHostColour = RGB(0x30, 0x60, 0x90);

  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = CreateSolidBrush(kHostColour);
    wc.lpszClassName = "SorvaneButtonTestHost";
    RegisterClassA(&wc);
    host = CreateWindowExA(0, wc.lpszClassName, "<Sorvane>", WS_POPUP | WS_VISIBLE, kHostX, kHostY, 479, 252,
                           nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(host, nullptr);
    SetForegroundWindow(host);
    set = CommandWindow::Create(host, 1, {4800, 3000, 1095, 375}, kSet);
    bgm = CommandWindow::Create(host, 2, {720, 1980, 435, 315}, "...");
    etc = CommandWindow::Create(host, 3, {2880, 3000, 1875, 375}, kEtc);
    can = CommandWindow::Create(host, 4, {5940, 3000, 1035, 375}, kCan);
    ASSERT_NE(set, nullptr);
    ASSERT_NE(bgm, nullptr);
    ASSERT_NE(etc, nullptr);
    ASSERT_NE(can, nullptr);
    for (CommandWindow* b : {set, bgm, etc, can}) {
      b->control().Initialize();
      b->control().Click = [this, b] { clicks += b == set ? 1 : b == bgm ? 100 : 10000; };
    }
    MoveTo(kHostX + 20, kHostY + 20);
    Pump(150);
  }
  void TearDown() override {
    if (host) DestroyWindow(host);
    Pump(20);
  }

  static void Send(DWORD flags, int x = 0, int y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
      in.mi.dx = LONG((x * 65535LL) / (GetSystemMetrics(SM_CXSCREEN) - 1));
      in.mi.dy = LONG((y * 65535LL) / (GetSystemMetrics(SM_CYSCREEN) - 1));
    }
    SendInput(1, &in, sizeof in);
  }
  static void MoveTo(int x, int y) { Send(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y); }
  POINT Centre(CommandWindow* b) {
    RECT r;
    GetWindowRect(b->hwnd(), &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  Image FromScreen(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    GdiCanvas shot;
    shot.Resize(r.right - r.left, r.bottom - r.top);
    HDC screen = GetDC(nullptr);
    BitBlt(shot.dc(), 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return shot.Pixels();
  }

  static constexpr int kHostX = 120, kHostY = 90;
  HWND host = nullptr;
  CommandWindow* set = nullptr;
  CommandWindow* bgm = nullptr;
  CommandWindow* etc = nullptr;
  CommandWindow* can = nullptr;
  int clicks = 0;
};

TEST_F(ButtonWindows, OverDownUpClicksOnceAndLeavingIsPolled) {
  const POINT c = Centre(set);
  MoveTo(c.x, c.y);
  Pump(60);
  EXPECT_EQ(set->control().ButtonState(), 2);
  Send(MOUSEEVENTF_LEFTDOWN);
  Pump(60);
  EXPECT_EQ(GetFocus(), set->hwnd());
  EXPECT_EQ(set->control().ButtonState(), 4);
  EXPECT_TRUE(set->control().MouseHeld());
  Send(MOUSEEVENTF_LEFTUP);
  Pump(60);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(set->control().MouseHeld());
  MoveTo(kHostX + 20, kHostY + 20);
  Pump(350);  // a few 100 ms polls
  EXPECT_EQ(set->control().ButtonState(), 3);
  EXPECT_EQ(clicks, 1);
  // The caption counts as the button: resting on it keeps the hover.
  const RECT label = set->LabelRect();
  POINT onCaption{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  ClientToScreen(set->hwnd(), &onCaption);
  MoveTo(onCaption.x, onCaption.y);
  Pump(350);
  EXPECT_EQ(set->control().ButtonState(), 4);
}

TEST_F(ButtonWindows, PressDraggedOutAndReleasedRaisesNoClick) {
  const POINT c = Centre(set);
  MoveTo(c.x, c.y);
  Pump(60);
  Send(MOUSEEVENTF_LEFTDOWN);
  Pump(60);
  MoveTo(kHostX + 20, kHostY + 20);
  Pump(350);
  EXPECT_EQ(set->control().ButtonState(), 3);
  Send(MOUSEEVENTF_LEFTUP);
  Pump(60);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(GetCapture(), nullptr);
  // A right click on the other button, which has no focus, does click it.
  const POINT b = Centre(bgm);
  MoveTo(b.x, b.y);
  Pump(60);
  Send(MOUSEEVENTF_RIGHTDOWN);
  Send(MOUSEEVENTF_RIGHTUP);
  Pump(60);
  EXPECT_EQ(clicks, 100);
}

TEST_F(ButtonWindows, ScreenShowsTheOffScreenFaceWithTheJapaneseCaption) {
  UpdateWindow(host);
  RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump(50);
  for (CommandWindow* b : {set, bgm, etc, can}) {
    const Image screen = FromScreen(b->hwnd());
    EXPECT_EQ(FirstDifference(screen, b->Screen()), "");
    // The face under the caption is the portable painting of the Normal face.
    PixelCanvas portable(screen.width, screen.height);
    bool inv = false;
    DrawFace(portable, ProgramFaces()[FaceId::Normal], 1, inv, screen.width * 15, screen.height * 15, 195);
    EXPECT_EQ(FirstDifference(b->Face(), portable.Shown()), "");
    // Caption pixels only inside the label, and the Japanese caption really drawn.
    const RECT label = b->LabelRect();
    int inside = 0, outside = 0;
    for (int y = 0; y < screen.height; ++y)
      for (int x = 0; x < screen.width; ++x) {
        if (screen.at(x, y) == portable.Shown().at(x, y)) continue;
        const bool in = x >= label.left && x < label.right && y >= label.top && y < label.bottom;
        (in ? inside : outside) += 1;
      }
    EXPECT_GT(inside, b == bgm ? 2 : 40) << b->control().Caption();  // "..." is three dots
    EXPECT_EQ(outside, 0) << b->control().Caption();
  }
  EXPECT_EQ(set->LabelRect().top, 5);  // 80 twips
  EXPECT_EQ(bgm->LabelRect().top, 3);  // 50 twips

  if (const char* path = std::getenv("SORVANE_BUTTON_SHOT")) {
    const Image shot = FromScreen(host);
    FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    const int stride = (shot.width * 3 + 3) & ~3;
    const unsigned size = 54 + unsigned(stride * shot.height);
    unsigned char h[54] = {'B', 'M'};
    auto put = [&](int at, unsigned v) { for (int i = 0; i < 4; ++i) h[at + i] = (unsigned char)(v >> 8 * i); };
    put(2, size); put(10, 54); put(14, 40); put(18, unsigned(shot.width)); put(22, unsigned(shot.height));
    h[26] = 1; h[28] = 24;
    std::fwrite(h, 1, 54, f);
    for (int y = shot.height - 1; y >= 0; --y) {
      std::string row(std::size_t(stride), '\0');
      for (int x = 0; x < shot.width; ++x) {
        row[std::size_t(x * 3)] = char(shot.at(x, y) & 0xFF);
        row[std::size_t(x * 3 + 1)] = char(shot.at(x, y) >> 8 & 0xFF);
        row[std::size_t(x * 3 + 2)] = char(shot.at(x, y) >> 16 & 0xFF);
      }
      std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
  }
}

TEST_F(ButtonWindows, DisabledButtonShowsDisableFaceAndIgnoresTheMouse) {
  bgm->control().Enabled(false);
  Pump(30);
  PixelCanvas portable(29, 21);
  bool inv = false;
  DrawFace(portable, ProgramFaces()[FaceId::Disable], 1, inv, 435, 315, 195);
  EXPECT_EQ(FirstDifference(bgm->Face(), portable.Shown()), "");
  const POINT b = Centre(bgm);
  MoveTo(b.x, b.y);
  Pump(60);
  Send(MOUSEEVENTF_LEFTDOWN);
  Send(MOUSEEVENTF_LEFTUP);
  Pump(60);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(bgm->control().ButtonState(), 1);
  // Greyed caption: no black text pixels.
  const Image screen = bgm->Screen();
  for (Rgb p : screen.pixels) EXPECT_NE(p, 0u);
}

TEST_F(ButtonWindows, TransparentSurfaceKeepsOnlyTheCaption) {
  set->control().Visible(0);
  RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump(50);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(set->hwnd(), rgn), ERROR);
  RECT box;
  GetRgnBox(rgn, &box);
  DeleteObject(rgn);
  const RECT label = set->LabelRect();
  EXPECT_GE(box.left, label.left);
  EXPECT_GE(box.top, label.top);
  EXPECT_LE(box.bottom, label.bottom);
  EXPECT_LT(box.left, box.right);
  const Image screen = FromScreen(set->hwnd());
  const Rgb host_rgb = Rgb(GetRValue(kHostColour)) << 16 | Rgb(GetGValue(kHostColour)) << 8 | GetBValue(kHostColour);
  EXPECT_EQ(screen.at(1, 1), host_rgb);  // the frame is gone
  EXPECT_EQ(screen.at(30, 20), host_rgb);
  set->control().Visible(1);
  Pump(30);
  EXPECT_EQ(GetWindowRgn(set->hwnd(), CreateRectRgn(0, 0, 0, 0)), ERROR);  // whole window again
}

TEST_F(ButtonWindows, ClassIsRegisteredAndFoundAmongTheChildren) {
  char cls[64] = {};
  GetClassNameA(set->hwnd(), cls, sizeof cls);
  EXPECT_STREQ(cls, "Sorvane.Command");
  EXPECT_EQ(CommandWindow::FromWindow(set->hwnd()), set);
  EXPECT_EQ(CommandWindow::FromWindow(host), nullptr);
  EXPECT_EQ(CommandWindow::Create(reinterpret_cast<HWND>(0x7FFF0), 9, {0, 0, 600, 300}, "x"), nullptr);
  EXPECT_EQ(set->control().Caption(), kSet);
  EXPECT_EQ(set->control().Font(), DefaultCaptionFont());
  // A Click handler that closes the dialog does not pull the button from under itself.
  set->control().Click = [this] { DestroyWindow(host); host = nullptr; };
  const POINT c = Centre(set);
  MoveTo(c.x, c.y);
  Pump(60);
  Send(MOUSEEVENTF_LEFTDOWN);
  Send(MOUSEEVENTF_LEFTUP);
  Pump(80);
  EXPECT_EQ(host, nullptr);
}

}  // namespace
}  // namespace sorvane::saver
