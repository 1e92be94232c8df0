// Drawing that needs a window's paint manager: image descriptions over the
// skin zip, image loading from the resource source, single-format and
// marked-up text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/image_bytes.h"
#include "ui_toolkit/core/tests/skin_window.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

constexpr wchar_t kPlainSkin[] =
    L"<Window size=\"200,100\"><Font id=\"1\" name=\"Liberation Sans\" size=\"16\"/>"
    L"<VerticalLayout bkcolor=\"#FFFFFFFF\"/></Window>";

// A memory canvas of the window's kind, white, for drawing with its manager.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = CUiDrawEngine::CreateArgb32Bitmap(dc_, width, -height, &bits_);
    old_ = ::SelectObject(dc_, bitmap_);
    std::memset(bits_, 0xFF, static_cast<size_t>(width) * height * 4);
  }
  ~Canvas() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  uint32_t At(int x, int y) const {
    ::GdiFlush();
    uint32_t v;
    std::memcpy(&v, bits_ + (static_cast<size_t>(y) * width_ + x) * 4, 4);
    return v & 0xFFFFFF;
  }
  std::vector<uint32_t> All() const {
    std::vector<uint32_t> all;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) all.push_back(At(x, y));
    }
    return all;
  }
  int Count(uint32_t color) const {
    int n = 0;
    for (uint32_t p : All()) n += p == color;
    return n;
  }
  // Pixels that are neither white nor |ignore|.
  int Inked() const {
    int n = 0;
    for (uint32_t p : All()) n += p != 0xFFFFFF;
    return n;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  BYTE* bits_ = nullptr;
};

std::string StripPng() {
  // Four 4 x 4 cells: red, green, blue, black.
  const uint32_t cells[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000};
  std::vector<uint32_t> px(16 * 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 16; ++x) px[y * 16 + x] = cells[x / 4];
  }
  return testing::EncodePng(px, 16, 4);
}

class DrawWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip_ = testing::BuildZip({{.name = "img/strip.png", .data = StripPng(), .method = 0},
                              {.name = "img/grid.png", .data = GridPng()},
                              {.name = "img/dot@150.png", .data = testing::EncodePng({0xFF00FF00}, 1, 1)},
                              {.name = "img/dot.png", .data = testing::EncodePng({0xFFFF0000}, 1, 1)}})
               .bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
  }
  static std::string GridPng() {
    std::vector<uint32_t> px(64, 0xFF808080);
    for (int y = 2; y < 6; ++y) {
      for (int x = 2; x < 6; ++x) px[y * 8 + x] = 0xFF0000FF;
    }
    px[0] = px[1] = px[8] = px[9] = 0xFFFF0000;
    return testing::EncodePng(px, 8, 8);
  }
  std::string zip_;
};

TEST_F(DrawWindowTest, DescriptionsDrawImagesFromTheSkinZip) {
  SkinWindow w(kPlainSkin);
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& m = w.GetPaintManager();
  Canvas c(40, 40);
  const RECT item{4, 4, 20, 20};
  EXPECT_TRUE(CUiDrawEngine::DrawImageString(c.dc(), &m, item, RECT{0, 0, 40, 40}, L"file='img/grid.png' corner='2,2,2,2'"));
  EXPECT_EQ(0xFF0000u, c.At(4, 4));
  EXPECT_EQ(0xFF0000u, c.At(5, 5));
  EXPECT_EQ(0xFFFFFFu, c.At(3, 3));
  EXPECT_EQ(0x0000FFu, c.At(12, 12));
  EXPECT_EQ(0x808080u, c.At(12, 4));
  // Placed by size, alignment and padding.
  Canvas placed(100, 40);
  EXPECT_TRUE(CUiDrawEngine::DrawImageString(placed.dc(), &m, RECT{0, 0, 100, 40}, RECT{0, 0, 100, 40},
                                             L"file='img/strip.png' source='0,0,4,4' size='16,16' "
                                             L"align='right vcenter' padding='0,0,4,0'"));
  EXPECT_EQ(0xFF0000u, placed.At(80, 12));
  EXPECT_EQ(0xFF0000u, placed.At(95, 27));
  EXPECT_EQ(0xFFFFFFu, placed.At(79, 12));
  EXPECT_EQ(0xFFFFFFu, placed.At(96, 27));
  EXPECT_EQ(0xFFFFFFu, placed.At(85, 11));
  // A source larger than the image is cut to it; a missing image is reported.
  Canvas big(8, 8);
  EXPECT_TRUE(CUiDrawEngine::DrawImageString(big.dc(), &m, RECT{0, 0, 8, 8}, RECT{0, 0, 8, 8},
                                             L"file='img/grid.png' source='0,0,800,800'"));
  EXPECT_EQ(0x0000FFu, big.At(3, 3));
  EXPECT_FALSE(CUiDrawEngine::DrawImageString(big.dc(), &m, RECT{0, 0, 8, 8}, RECT{0, 0, 8, 8}, L"img/none.png"));
  EXPECT_FALSE(CUiDrawEngine::DrawImageString(big.dc(), nullptr, RECT{0, 0, 8, 8}, RECT{0, 0, 8, 8}, L"img/grid.png"));
}

TEST_F(DrawWindowTest, ScaledNamesAndTheirFallback) {
  SkinWindow w(kPlainSkin, 150);
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& m = w.GetPaintManager();
  Canvas c(4, 4);
  EXPECT_TRUE(CUiDrawEngine::DrawImageString(c.dc(), &m, RECT{0, 0, 1, 1}, RECT{0, 0, 4, 4}, L"img/dot.png"));
  EXPECT_EQ(0x00FF00u, c.At(0, 0)) << "the 150 % variant exists and is used";
  EXPECT_TRUE(CUiDrawEngine::DrawImageString(c.dc(), &m, RECT{1, 1, 3, 3}, RECT{0, 0, 4, 4}, L"img/strip.png"));
  EXPECT_EQ(0xFF0000u, c.At(1, 1)) << "no 150 % variant: the plain image";
}

class ImageSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::filesystem::path(temp) / (L"ui-images-" + std::to_wstring(::GetCurrentProcessId()));
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / L"loose.png", std::ios::binary) << testing::EncodePng({0xFF112233}, 1, 1);
    // The same name in the current folder must never be picked up.
    std::ofstream(L"cwd_only.png", std::ios::binary) << testing::EncodePng({0xFF445566}, 1, 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    std::filesystem::remove(L"cwd_only.png");
  }
  std::filesystem::path folder_;
};

TEST_F(ImageSourceTest, ZippedSkinsFallBackOnlyToFullPaths) {
  const std::string zip = testing::BuildZip({{.name = "in/zip.png", .data = testing::EncodePng({0xFF778899}, 1, 1)}}).bytes;
  CPaintManagerUI::SetResourcePath((folder_.wstring() + L"\\").c_str());
  CPaintManagerUI::SetResourceZipFromMemory(zip.data(), static_cast<unsigned>(zip.size()));
  struct Case {
    std::wstring name;
    bool found;
  } cases[] = {
      {L"in\\ZIP.png", true},
      {(folder_ / L"loose.png").wstring(), true},  // missing from the zip, present at its full path
      {L"loose.png", false},                       // not in the zip: not read from the resource folder either
      {L"cwd_only.png", false},                    // nor from the current folder
  };
  for (const Case& c : cases) {
    ImageRecordUI* image = CUiDrawEngine::LoadImage(c.name.c_str());
    EXPECT_EQ(c.found, image != nullptr) << testing::Narrow(c.name);
    CUiDrawEngine::FreeImage(image);
  }
  EXPECT_EQ(nullptr, CUiDrawEngine::LoadImageById(7, L"NOSUCHTYPE"));
  ImageRecordUI* both = CUiDrawEngine::LoadImageWithGdiplus(L"in/zip.png");
  ASSERT_NE(nullptr, both);
  EXPECT_NE(nullptr, both->hBitmap);
  EXPECT_NE(nullptr, both->pGdiplusImage);
  CUiDrawEngine::FreeImage(both);
}

TEST_F(ImageSourceTest, UnzippedSkinsReadTheResourceFolder) {
  CPaintManagerUI::SetResourcePath(folder_.wstring().c_str());
  ImageRecordUI* image = CUiDrawEngine::LoadImage(L"loose.png");
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(1, image->nX);
  CUiDrawEngine::FreeImage(image);
  EXPECT_EQ(nullptr, CUiDrawEngine::LoadImage(L"cwd_only.png"));
}

// ---- text

TEST(DrawTextTest, GlyphReferenceDrawsOneCharacter) {
  SkinWindow w(kPlainSkin);
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& m = w.GetPaintManager();
  Canvas glyph(60, 30), plain(60, 30);
  RECT r1{0, 0, 60, 30}, r2{0, 0, 60, 30};
  CUiDrawEngine::DrawText(glyph.dc(), &m, r1, L"&#x0041;", 0xFF000000, 1, DT_SINGLELINE);
  CUiDrawEngine::DrawText(plain.dc(), &m, r2, L"A", 0xFF000000, 1, DT_SINGLELINE);
  EXPECT_GT(plain.Inked(), 0);
  EXPECT_EQ(plain.All(), glyph.All());
  const SIZE size = CUiDrawEngine::MeasureText(plain.dc(), &m, L"AAAA", 1);
  const SIZE one = CUiDrawEngine::MeasureText(plain.dc(), &m, L"A", 1);
  EXPECT_EQ(4 * one.cx, size.cx);
  EXPECT_EQ(0, CUiDrawEngine::MeasureText(plain.dc(), nullptr, L"A", 1).cx);
}

TEST(DrawTextTest, GdiplusTextDrawsAndMeasures) {
  SkinWindow w(kPlainSkin);
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& m = w.GetPaintManager();
  m.SetGdiplusText(true);
  Canvas c(200, 40);
  RECT measure{0, 0, 200, 40};
  CUiDrawEngine::DrawText(c.dc(), &m, measure, L"Wide text", 0xFF000000, 1, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(0, c.Inked()) << "measuring draws nothing";
  EXPECT_GT(measure.right, 20);
  EXPECT_LT(measure.right, 200);
  EXPECT_GT(measure.bottom, 8);
  RECT draw{0, 0, 200, 40};
  CUiDrawEngine::DrawText(c.dc(), &m, draw, L"Wide text", 0xFFFF0000, 1, DT_SINGLELINE);
  EXPECT_GT(c.Inked(), 20);
  for (int y = 0; y < 40; ++y) {
    for (int x = measure.right + 2; x < 200; ++x) ASSERT_EQ(0xFFFFFFu, c.At(x, y)) << x << "," << y;
  }
  // The background fill comes first.
  Canvas filled(40, 20);
  RECT box{0, 0, 40, 20};
  CUiDrawEngine::FillAndDrawText(filled.dc(), &m, box, L"", 0xFF000000, 1, DT_SINGLELINE, 0xFF00FF00);
  EXPECT_EQ(0x00FF00u, filled.At(20, 10));
}

// A line taller than its box, as a large font in a label of a fixed height:
// GDI draws it (clipped to the box), so GDI+ text must too.
TEST(DrawTextTest, GdiplusSingleLineTallerThanItsBoxIsDrawnInsideIt) {
  SkinWindow w(L"<Window size=\"200,100\"><Font id=\"1\" name=\"Liberation Sans\" size=\"28\"/>"
               L"<VerticalLayout bkcolor=\"#FFFFFFFF\"/></Window>");
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& m = w.GetPaintManager();
  m.SetGdiplusText(true);
  struct Case {
    const char* name;
    UINT align;
  } cases[] = {{"top", 0}, {"centre", DT_VCENTER}, {"bottom", DT_BOTTOM}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(200, 80);
    RECT box{0, 30, 200, 50};  // 20 pixels for a 28 pixel font
    CUiDrawEngine::DrawText(canvas.dc(), &m, box, L"HHHH", 0xFF000000, 1, DT_SINGLELINE | c.align);
    int inside = 0;
    for (int y = 30; y < 50; ++y) {
      for (int x = 0; x < 200; ++x) inside += canvas.At(x, y) != 0xFFFFFFu;
    }
    EXPECT_GT(inside, 40);
    for (int y : {0, 29, 50, 79}) {
      for (int x = 0; x < 200; ++x) ASSERT_EQ(0xFFFFFFu, canvas.At(x, y)) << "outside the box at " << x << "," << y;
    }
  }
}

TEST(DrawTextTest, ControlSnapshotsAreTinted) {
  SkinWindow w(L"<Window size=\"100,60\"><VerticalLayout bkcolor=\"#FF0000FF\"/></Window>");
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& m = w.GetPaintManager();
  HBITMAP plain = CUiDrawEngine::GenerateControlBitmap(&m, m.GetRootControl(), RECT{10, 10, 30, 20}, 0);
  HBITMAP tinted = CUiDrawEngine::GenerateWindowBitmap(&m, RECT{0, 0, 100, 60}, nullptr, 0x80FF0000);
  ASSERT_NE(nullptr, plain);
  ASSERT_NE(nullptr, tinted);
  BITMAP info = {};
  ASSERT_TRUE(::GetObjectW(plain, sizeof(info), &info));
  EXPECT_EQ(20, info.bmWidth);
  EXPECT_EQ(10, info.bmHeight);
  ::GdiFlush();
  const auto* px = static_cast<const uint32_t*>(info.bmBits);
  EXPECT_EQ(0x0000FFu, px[5] & 0xFFFFFF);
  ASSERT_TRUE(::GetObjectW(tinted, sizeof(info), &info));
  const uint32_t mixed = static_cast<const uint32_t*>(info.bmBits)[100] & 0xFFFFFF;
  EXPECT_GT((mixed >> 16) & 0xFF, 0x70u);
  EXPECT_GT(mixed & 0xFF, 0x70u);
  ::DeleteObject(plain);
  ::DeleteObject(tinted);
  EXPECT_EQ(nullptr, CUiDrawEngine::GenerateWindowBitmap(nullptr, RECT{0, 0, 10, 10}, nullptr, 0));
}

class HtmlTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip_ = testing::BuildZip({{.name = "strip.png", .data = StripPng(), .method = 0}}).bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
    window_ = std::make_unique<SkinWindow>(kPlainSkin);
    ASSERT_TRUE(window_->Open());
  }
  CPaintManagerUI& m() { return window_->GetPaintManager(); }
  RECT Extent(const wchar_t* text, UINT style = DT_SINGLELINE, int width = 400) {
    Canvas c(10, 10);
    RECT r{0, 0, width, 400};
    int none = 0;
    CUiDrawEngine::DrawHtmlText(c.dc(), &m(), r, text, 0xFF000000, nullptr, nullptr, none, 1, style | DT_CALCRECT);
    return r;
  }
  std::vector<uint32_t> Drawn(const wchar_t* text, UINT style = DT_SINGLELINE) {
    Canvas c(300, 60);
    RECT r{0, 0, 300, 60};
    int none = 0;
    CUiDrawEngine::DrawHtmlText(c.dc(), &m(), r, text, 0xFF000000, nullptr, nullptr, none, 1, style);
    return c.All();
  }
  std::string zip_;
  std::unique_ptr<SkinWindow> window_;
};

TEST_F(HtmlTextTest, BoldTagsDoNotNest) {
  EXPECT_GT(Extent(L"<b>Word</b>").right, Extent(L"Word").right);
  EXPECT_EQ(Drawn(L"<b>A</b>B"), Drawn(L"<b><b>A</b>B</b>")) << "the inner closing tag already ends the bold";
  EXPECT_NE(Drawn(L"AB"), Drawn(L"<b>A</b>B"));
}

TEST_F(HtmlTextTest, ColourTagsWithAngleBracketsOrBraces) {
  const std::vector<uint32_t> angle = Drawn(L"<c #FF0000>RRRR</c>");
  EXPECT_GT(std::count(angle.begin(), angle.end(), 0xFF0000u), 10);
  EXPECT_EQ(angle, Drawn(L"{c #FF0000}RRRR{/c}"));
  EXPECT_EQ(angle, Drawn(L"<c #FF0000}RRRR</c>"));
}

TEST_F(HtmlTextTest, LinksReportRectanglesAndHover) {
  Canvas c(300, 60);
  RECT links[2] = {};
  CUiString texts[2];
  int count = 1;
  RECT r{0, 0, 300, 60};
  CUiDrawEngine::DrawHtmlText(c.dc(), &m(), r, L"<a next>go</a> on", 0, links, texts, count, 1, DT_SINGLELINE);
  ASSERT_EQ(1, count);
  EXPECT_STREQ(L"next", texts[0].GetData());
  const SIZE go = CUiDrawEngine::MeasureText(c.dc(), &m(), L"go", 1);
  EXPECT_EQ(0, links[0].left);
  EXPECT_GE(links[0].right, go.cx - 1);
  EXPECT_LE(links[0].right, go.cx + 1);
  EXPECT_GT(links[0].bottom, links[0].top);
  EXPECT_EQ(0, c.Count(m().GetLinkHoverTextColor() & 0xFFFFFF));

  window_->MouseMove(links[0].left + 2, links[0].top + 2);
  testing::PumpFor(20);
  Canvas hot(300, 60);
  RECT r2{0, 0, 300, 60};
  CUiDrawEngine::DrawHtmlText(hot.dc(), &m(), r2, L"<a next>go</a> on", 0, links, texts, count, 1, DT_SINGLELINE);
  EXPECT_GT(hot.Count(m().GetLinkHoverTextColor() & 0xFFFFFF), 5);

  // A link that wraps gives a rectangle per line, each with the link text.
  Canvas narrow(60, 200);
  RECT r3{0, 0, 60, 200};
  int wrapped = 2;
  CUiDrawEngine::DrawHtmlText(narrow.dc(), &m(), r3, L"<a far>alpha beta gamma</a>", 0, links, texts, wrapped, 1,
                              DT_WORDBREAK);
  ASSERT_EQ(2, wrapped);
  EXPECT_STREQ(L"far", texts[1].GetData());
  EXPECT_GT(links[1].top, links[0].top);
}

TEST_F(HtmlTextTest, RawTextAndLineBreaks) {
  Canvas c(10, 10);
  const SIZE literal = CUiDrawEngine::MeasureText(c.dc(), &m(), L"<b>x</b>", 1);
  EXPECT_EQ(literal.cx, Extent(L"<r><b>x</b></r>").right);
  const int one_line = Extent(L"ab").bottom;
  EXPECT_EQ(one_line, Extent(L"a<n>b").bottom) << "ignored in single-line mode";
  EXPECT_EQ(2 * one_line, Extent(L"a<n>b", 0).bottom);
  EXPECT_EQ(2 * one_line, Extent(L"a\nb", 0).bottom);
  EXPECT_GE(Extent(L"aaaa bbbb cccc dddd", DT_WORDBREAK, 60).bottom, 2 * one_line);
  EXPECT_LE(Extent(L"aaaa bbbb cccc dddd", DT_WORDBREAK, 60).right, 60);
  EXPECT_EQ(Extent(L"<{>").right, Extent(L"{").right);
  EXPECT_EQ(Extent(L"{<}").right, Extent(L"<r><</r>").right);
}

TEST_F(HtmlTextTest, ImageStripCells) {
  struct Case {
    const wchar_t* text;
    uint32_t color;
  } cases[] = {{L"<i strip.png 4 2>", 0x0000FF}, {L"<i strip.png 4 7>", 0xFF0000}, {L"<i strip.png 4 1>", 0x00FF00},
               {L"<i file='strip.png'>", 0xFF0000}};
  for (const Case& c : cases) {
    const std::vector<uint32_t> px = Drawn(c.text);
    EXPECT_GE(std::count(px.begin(), px.end(), c.color), 16) << testing::Narrow(c.text);
  }
  const std::vector<uint32_t> one = Drawn(L"<i strip.png 4 2>");
  EXPECT_EQ(0, std::count(one.begin(), one.end(), 0xFF0000u));
}

TEST_F(HtmlTextTest, DerivedFontsStayAliveTogether) {
  Drawn(L"<b>bold</b>");
  const FontRecordUI* base = m().GetFontRecordById(1);
  HFONT bold = m().GetFontByAttributes(base->sFontName.GetData(), base->iSize, true, false, false);
  ASSERT_NE(nullptr, bold);
  Drawn(L"<i>italic</i> <u>under</u>");
  LOGFONTW lf = {};
  EXPECT_EQ(static_cast<int>(sizeof(lf)), ::GetObjectW(bold, sizeof(lf), &lf)) << "the bold font was freed";
  EXPECT_EQ(bold, m().GetFontByAttributes(base->sFontName.GetData(), base->iSize, true, false, false));
  EXPECT_NE(nullptr, m().GetFontByAttributes(base->sFontName.GetData(), base->iSize, false, false, true));
}

TEST_F(HtmlTextTest, EllipsisEndsALongRunInsideTheRectangle) {
  Canvas c(300, 40);
  RECT r{0, 0, 80, 40};
  int none = 0;
  CUiDrawEngine::DrawHtmlText(c.dc(), &m(), r, L"averyveryverylongwordthatcannotfit", 0xFF000000, nullptr, nullptr,
                              none, 1, DT_SINGLELINE | DT_END_ELLIPSIS);
  int inked_outside = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 80; x < 300; ++x) inked_outside += c.At(x, y) != 0xFFFFFF;
  }
  EXPECT_EQ(0, inked_outside);
  // The last few pixels before the edge hold the dots: ink at the baseline only.
  const RECT extent = Extent(L"averyveryverylongwordthatcannotfit", DT_SINGLELINE | DT_END_ELLIPSIS, 80);
  EXPECT_LE(extent.right, 80);
}

TEST_F(HtmlTextTest, NothingForMissingArguments) {
  Canvas c(10, 10);
  RECT empty{0, 0, 0, 0};
  int count = 3;
  CUiDrawEngine::DrawHtmlText(c.dc(), &m(), empty, L"text", 0, nullptr, nullptr, count, 1, 0);
  EXPECT_EQ(3, count);
  RECT r{0, 0, 10, 10};
  CUiDrawEngine::DrawHtmlText(c.dc(), nullptr, r, L"text", 0, nullptr, nullptr, count, 1, 0);
  CUiDrawEngine::DrawHtmlText(c.dc(), &m(), r, nullptr, 0, nullptr, nullptr, count, 1, 0);
  EXPECT_EQ(0, c.Inked());
}

}  // namespace
}  // namespace SkinUI
