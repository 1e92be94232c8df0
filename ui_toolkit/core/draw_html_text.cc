// Text with the toolkit's inline markup: fonts, colours, links with hit
// rectangles, inline images, paragraphs, raw runs and selection.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

COLORREF ToColorRef(DWORD c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsTagLetter(wchar_t c) { return c >= L'a' && c <= L'z'; }

struct Tag {
  bool valid = false;
  bool closing = false;
  wchar_t letter = 0;
  wchar_t escaped = 0;  // "<{>" and the like: one plain character
  std::wstring arg;
  size_t end = 0;
};

// What must survive from one line to the next, and be restored for the
// drawing pass of a line after its measuring pass.
struct State {
  size_t pos = 0;
  std::vector<FontRecordUI*> fonts;
  std::vector<DWORD> colors;
  std::vector<int> spacing;
  bool raw = false;
  bool selected = false;
  bool in_link = false;
  std::wstring link_text;
};

struct LineResult {
  int height = 0;
  int width = 0;
  bool text_end = false;
};

class HtmlRenderer {
 public:
  HtmlRenderer(HDC dc, CPaintManagerUI* manager, const RECT& rect, const wchar_t* text, DWORD color, int font,
               UINT style)
      : dc_(dc), m_(manager), rect_(rect), text_(text), length_(std::wcslen(text)), color_(color), style_(style) {
    base_font_ = m_->GetFontRecordById(font);
    single_ = (style & DT_SINGLELINE) != 0;
  }

  void SetLinks(RECT* links, CUiString* texts, int capacity, const std::wstring& hovered) {
    links_ = links;
    link_texts_ = texts;
    capacity_ = links != nullptr ? capacity : 0;
    hovered_ = hovered;
  }

  // Lays out (and, unless |calc|, draws) the text; returns the extent.
  RECT Run(bool calc) {
    State st;
    int y = rect_.top;
    int widest = rect_.left;
    int last_bottom = rect_.top;
    for (;;) {
      const State start = st;
      LineResult measured;
      const int first_link = link_count_;
      WalkLine(st, false, y, 0, 0, measured);
      for (int i = first_link; i < link_count_; ++i) links_[i].bottom = y + measured.height;
      if (!calc) {
        int offset = 0;
        if (!single_ && (style_ & (DT_CENTER | DT_RIGHT))) {
          const int room = (rect_.right - rect_.left) - measured.width;
          offset = (style_ & DT_CENTER) ? room / 2 : room;
          if (offset < 0) offset = 0;
        }
        st = start;
        LineResult drawn;
        WalkLine(st, true, y, measured.height, offset, drawn);
      }
      widest = std::max(widest, static_cast<int>(rect_.left) + measured.width);
      last_bottom = y + measured.height;
      y += measured.height;
      if (measured.text_end || single_) break;
      if (st.pos == start.pos) ++st.pos;  // never loop on a line that took nothing
      if (st.pos >= length_) break;
      if (!calc && y >= rect_.bottom) break;
    }
    RECT extent = rect_;
    extent.bottom = std::max(last_bottom, image_bottom_);
    extent.right = std::min(static_cast<int>(rect_.right), widest);
    return extent;
  }

  int link_count() const { return link_count_; }

 private:
  FontRecordUI* Font(const State& st) const { return st.fonts.empty() ? base_font_ : st.fonts.back(); }
  DWORD Color(const State& st) const { return st.colors.empty() ? color_ : st.colors.back(); }
  int Spacing(const State& st) const { return st.spacing.empty() ? 0 : st.spacing.back(); }
  int FontHeight(const FontRecordUI* f) const { return f->tm.tmHeight + f->tm.tmExternalLeading; }

  Tag ReadTag(size_t p, bool raw) const {
    Tag t;
    const wchar_t c = text_[p];
    if (c != L'<' && c != L'{') return t;
    const wchar_t c1 = p + 1 < length_ ? text_[p + 1] : 0;
    const wchar_t c2 = p + 2 < length_ ? text_[p + 2] : 0;
    auto close_at = [&](size_t from) {
      size_t q = from;
      while (q < length_ && text_[q] != L'>' && text_[q] != L'}') ++q;
      return q;
    };
    if (c1 == L'/' && IsTagLetter(c2)) {
      if (raw && c2 != L'r') return t;
      t.valid = true;
      t.closing = true;
      t.letter = c2;
      const size_t q = close_at(p + 3);
      t.end = q < length_ ? q + 1 : length_;
      return t;
    }
    if (raw) return t;
    if (p + 2 < length_) {
      if (c == L'<' && c2 == L'>' && (c1 == L'{' || c1 == L'}')) {
        t.valid = true;
        t.escaped = c1;
        t.end = p + 3;
        return t;
      }
      if (c == L'{' && c2 == L'}' && (c1 == L'<' || c1 == L'>')) {
        t.valid = true;
        t.escaped = c1;
        t.end = p + 3;
        return t;
      }
    }
    if (IsTagLetter(c1) && (c2 == L' ' || c2 == L'>' || c2 == L'}')) {
      t.valid = true;
      t.letter = c1;
      size_t from = p + 2;
      while (from < length_ && text_[from] == L' ') ++from;
      const size_t q = close_at(from);
      t.arg.assign(text_ + from, text_ + q);
      t.end = q < length_ ? q + 1 : length_;
    }
    return t;
  }

  // Each derived font gets an id of its own, so replacing one never frees a
  // font that a text or a control still uses.
  int FreeFontId() {
    static int next = 30000;
    while (m_->GetFontRecordById(next) != m_->GetDefaultFontRecord()) ++next;
    return next++;
  }

  FontRecordUI* Derived(const wchar_t* face, int size, bool bold, bool underline, bool italic) {
    HFONT font = m_->GetFontByAttributes(face, size, bold, underline, italic);
    if (font == nullptr) font = m_->AddFont(FreeFontId(), face, size, bold, underline, italic);
    return font == nullptr ? nullptr : m_->GetFontRecordByHandle(font);
  }

  void Gain(State& st, int property) {
    FontRecordUI* f = Font(st);
    const bool has = property == 0 ? f->bBold : property == 1 ? f->bUnderline : f->bItalic;
    if (has) return;
    FontRecordUI* d = Derived(f->sFontName.GetData(), f->iSize, f->bBold || property == 0,
                              f->bUnderline || property == 1, f->bItalic || property == 2);
    if (d != nullptr) st.fonts.push_back(d);
  }

  // A closing tag pops one font even when its opening tag pushed none (the
  // font already had the property), so nested equal tags end together.
  void PopFont(State& st) {
    if (!st.fonts.empty()) st.fonts.pop_back();
  }

  void RecordLink(const State& st, int from, int to, int top) {
    if (link_count_ >= capacity_) return;
    links_[link_count_] = RECT{from, top, std::min(to, static_cast<int>(rect_.right)), top};
    if (link_texts_ != nullptr) link_texts_[link_count_] = st.link_text.c_str();
    ++link_count_;
  }

  static DWORD ParseColor(const std::wstring& arg) {
    const wchar_t* p = arg.c_str();
    if (*p == L'#') ++p;
    return static_cast<DWORD>(std::wcstoul(p, nullptr, 16));
  }

  void WalkLine(State& st, bool draw, int top, int line_height, int offset, LineResult& out) {
    const int left = rect_.left + offset;
    int x = left;
    bool empty = true;
    int height = FontHeight(Font(st)) + Spacing(st);
    int link_start = x;
    auto text_y = [&](const FontRecordUI* f) { return top + line_height - FontHeight(f); };
    auto output = [&](const wchar_t* run, int n, int at_x) {
      if (!draw || n <= 0) return;
      const FontRecordUI* f = Font(st);
      ::SelectObject(dc_, f->hFont);
      ::SetTextColor(dc_, ToColorRef(Color(st)));
      ::SetBkMode(dc_, st.selected ? OPAQUE : TRANSPARENT);
      ::TextOutW(dc_, at_x, text_y(f), run, n);
    };

    while (st.pos < length_) {
      const wchar_t c = text_[st.pos];
      if (c == L'\n') {
        ++st.pos;
        break;
      }
      Tag tag = ReadTag(st.pos, st.raw);
      std::wstring run;
      size_t consumed = 0;
      if (tag.valid && tag.escaped == 0) {
        bool end_line = false;
        if (tag.closing) {
          switch (tag.letter) {
            case L'a':
              if (st.in_link && !draw) RecordLink(st, link_start, x, top);
              st.in_link = false;
              if (!st.colors.empty()) st.colors.pop_back();
              PopFont(st);
              break;
            case L'b':
            case L'f':
            case L'i':
            case L'u':
              PopFont(st);
              break;
            case L'c':
              if (!st.colors.empty()) st.colors.pop_back();
              break;
            case L'p':
              if (!empty) {
                end_line = true;
              } else if (!st.spacing.empty()) {
                st.spacing.pop_back();
              }
              break;
            case L's':
              st.selected = !st.selected;
              break;
            case L'r':
              st.raw = false;
              break;
            default:
              break;
          }
        } else {
          switch (tag.letter) {
            case L'a': {
              const bool hot = !hovered_.empty() && hovered_ == tag.arg;
              st.colors.push_back(hot ? m_->GetLinkHoverTextColor()
                                      : (color_ != 0 ? color_ : m_->GetLinkTextColor()));
              Gain(st, 1);
              st.in_link = true;
              st.link_text = tag.arg;
              link_start = x;
              break;
            }
            case L'b':
              Gain(st, 0);
              break;
            case L'u':
              Gain(st, 1);
              break;
            case L'c':
              st.colors.push_back(ParseColor(tag.arg));
              break;
            case L'f': {
              FontRecordUI* f = nullptr;
              if (!tag.arg.empty() && std::iswdigit(tag.arg[0])) {
                f = m_->GetFontRecordById(static_cast<int>(std::wcstol(tag.arg.c_str(), nullptr, 10)));
              } else if (!tag.arg.empty()) {
                std::vector<std::wstring> words;
                size_t p = 0;
                while (p < tag.arg.size()) {
                  const size_t q = std::min(tag.arg.find(L' ', p), tag.arg.size());
                  if (q > p) words.push_back(tag.arg.substr(p, q - p));
                  p = q + 1;
                }
                int size = 10;
                bool bold = false, underline = false, italic = false;
                for (size_t i = 1; i < words.size(); ++i) {
                  if (std::iswdigit(words[i][0])) size = static_cast<int>(std::wcstol(words[i].c_str(), nullptr, 10));
                  bold |= words[i] == L"bold";
                  underline |= words[i] == L"underline";
                  italic |= words[i] == L"italic";
                }
                f = Derived(words[0].c_str(), size, bold, underline, italic);
              }
              if (f != nullptr) st.fonts.push_back(f);
              break;
            }
            case L'i': {
              if (tag.arg.empty()) {
                Gain(st, 2);
                break;
              }
              std::wstring name, type;
              int count = 1, index = 0;
              if (tag.arg.find(L"file='") != std::wstring::npos || tag.arg.find(L"res='") != std::wstring::npos) {
                ImageDrawSpecUI spec;
                spec.Parse(tag.arg.c_str(), nullptr, static_cast<const CDpiHelperUI*>(nullptr));
                name = spec.sImageName.GetData();
                type = spec.sResType.GetData();
              } else {
                wchar_t buffer[MAX_PATH] = {};
                int n1 = 1, n2 = 0;
                const int got = std::swscanf(tag.arg.c_str(), L"%259ls %d %d", buffer, &n1, &n2);
                name = buffer;
                if (got >= 2) count = std::max(1, n1);
                if (got >= 3) index = n2;
                if (index < 0 || index >= count) index = 0;
              }
              ImageRecordUI* image = name.empty() ? nullptr
                                                  : m_->GetOrAddImage(name.c_str(), type.empty() ? nullptr : type.c_str(),
                                                                      0, false, false, nullptr);
              if (image == nullptr || image->hBitmap == nullptr) break;
              const int w = image->nX / count, h = image->nY;
              if (x + w > rect_.right && !empty && !single_) {
                end_line = true;
                break;
              }
              height = std::max(height, h);
              if (draw) {
                int bottom = top + line_height;
                if (h < line_height) bottom -= (line_height - h) / 2;
                CUiDrawEngine::DrawImage(dc_, image->hBitmap, RECT{x, bottom - h, x + w, bottom}, rect_,
                                         RECT{index * w, 0, index * w + w, h}, RECT{0, 0, 0, 0},
                                         image->bAlpha || m_->IsLayered(), 255);
              }
              image_bottom_ = std::max(image_bottom_, top + h);
              x += w;
              empty = false;
              break;
            }
            case L'n':
              if (!single_) {
                st.pos = tag.end;
                end_line = true;
                tag.end = st.pos;
              }
              break;
            case L'p':
              if (!empty) {
                end_line = true;
              } else {
                st.spacing.push_back(static_cast<int>(std::wcstol(tag.arg.c_str(), nullptr, 10)));
                height = FontHeight(Font(st)) + Spacing(st);
              }
              break;
            case L'r':
              st.raw = true;
              break;
            case L's':
              st.selected = !st.selected;
              break;
            case L'x':
              x += static_cast<int>(std::wcstol(tag.arg.c_str(), nullptr, 10));
              break;
            case L'y':
              height = static_cast<int>(std::wcstol(tag.arg.c_str(), nullptr, 10));
              break;
            default:
              break;
          }
        }
        if (end_line) {
          if (tag.letter == L'n' && !tag.closing) st.pos = tag.end;
          break;
        }
        st.pos = tag.end;
        continue;
      }
      if (tag.valid) {
        run.assign(1, tag.escaped);
        consumed = tag.end - st.pos;
      } else if (c == L' ') {
        run = L" ";
        consumed = 1;
      } else {
        // A word: up to a blank, a line feed or a tag (its first character is none of them).
        size_t q = st.pos + 1;
        while (q < length_ && text_[q] != L'\n' && text_[q] != L' ' &&
               !((text_[q] == L'<' || text_[q] == L'{') && ReadTag(q, st.raw).valid)) {
          ++q;
        }
        run.assign(text_ + st.pos, text_ + q);
        consumed = q - st.pos;
      }

      const FontRecordUI* f = Font(st);
      ::SelectObject(dc_, f->hFont);
      const int n = static_cast<int>(run.size());
      const int room = std::max(0, static_cast<int>(rect_.right) - x);
      int fit = 0;
      SIZE size = {};
      ::GetTextExtentExPointW(dc_, run.c_str(), n, room, &fit, nullptr, &size);
      height = std::max(height, FontHeight(f) + Spacing(st));
      if (x + size.cx <= rect_.right) {
        output(run.c_str(), n, x);
        x += size.cx;
        st.pos += consumed;
        empty = false;
        continue;
      }
      // The run overflows the line.
      if (single_ && !(style_ & DT_END_ELLIPSIS) && empty) fit = std::max(fit, 1);
      if (style_ & DT_WORDBREAK) {
        int cut = -1;
        for (int i = fit - 1; i >= 0; --i) {
          if (!IsAsciiLetter(run[i])) {
            cut = i + 1;
            break;
          }
        }
        if (cut > 0) {
          fit = cut;
        } else if (!empty) {
          fit = 0;  // the word starts the next line
        }
      }
      if (fit == 0 && empty) fit = 1;  // a line always takes something
      if (style_ & DT_END_ELLIPSIS) {
        if (fit > 1) fit = std::max(0, fit - 2);
        SIZE part = {};
        ::GetTextExtentPoint32W(dc_, run.c_str(), fit, &part);
        output(run.c_str(), fit, x);
        output(L"...", 3, x + part.cx);
        x = rect_.right;
        st.pos = length_;  // the rest is cut off
        empty = false;
        break;
      }
      if (fit > 0) {
        SIZE part = {};
        ::GetTextExtentPoint32W(dc_, run.c_str(), fit, &part);
        output(run.c_str(), fit, x);
        x += part.cx;
        st.pos += (tag.valid ? consumed : static_cast<size_t>(fit));
        empty = false;
      }
      break;
    }
    if (st.in_link && !draw) {
      RecordLink(st, link_start, x, top);
    }
    out.height = line_height > 0 ? line_height : height;
    out.width = x - left;
    out.text_end = st.pos >= length_;
  }

  HDC dc_;
  CPaintManagerUI* m_;
  RECT rect_;
  const wchar_t* text_;
  size_t length_;
  DWORD color_;
  UINT style_;
  bool single_ = false;
  FontRecordUI* base_font_ = nullptr;
  RECT* links_ = nullptr;
  CUiString* link_texts_ = nullptr;
  int capacity_ = 0;
  int link_count_ = 0;
  std::wstring hovered_;
  int image_bottom_ = 0;
};

}  // namespace

void CUiDrawEngine::DrawHtmlText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, DWORD color,
                                 RECT* links, CUiString* link_texts, int& link_count, int font, UINT style) {
  if (dc == nullptr || manager == nullptr || text == nullptr || ::IsRectEmpty(&rect)) return;
  const bool calc = (style & DT_CALCRECT) != 0;

  std::wstring hovered;
  if (links != nullptr && link_count > 0) {
    const POINT mouse = manager->GetMousePos();
    for (int i = 0; i < link_count; ++i) {
      if (::PtInRect(&links[i], mouse)) {
        if (link_texts != nullptr) hovered = link_texts[i].GetData();
        break;
      }
    }
  }

  RECT area = rect;
  if (!calc && (style & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM))) {
    RECT extent = {0, 0, 9999, 100};
    int none = 0;
    DrawHtmlText(dc, manager, extent, text, color, nullptr, nullptr, none, font,
                 (style & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
    const int tw = extent.right - extent.left, th = extent.bottom - extent.top;
    if (style & DT_SINGLELINE) {
      if (style & DT_CENTER) {
        area.left = area.left + (area.right - area.left) / 2 - tw / 2;
        area.right = area.left + tw;
      } else if (style & DT_RIGHT) {
        area.left = area.right - tw;
      }
    }
    if (style & DT_VCENTER) {
      area.top = area.top + (area.bottom - area.top) / 2 - th / 2;
      area.bottom = area.top + th;
    } else if (style & DT_BOTTOM) {
      area.top = area.bottom - th;
    }
  }

  const int old_mode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF old_text = ::SetTextColor(dc, ToColorRef(color));
  const COLORREF old_back = ::SetBkColor(dc, ToColorRef(manager->GetSelectedBkColor()));
  HGDIOBJ old_font = ::SelectObject(dc, manager->GetFontById(font));
  {
    CUiClipScope clip;
    if (!calc) CUiClipScope::Begin(dc, rect, clip);
    HtmlRenderer renderer(dc, manager, area, text, color, font, style);
    renderer.SetLinks(links, link_texts, link_count, hovered);
    const RECT extent = renderer.Run(calc);
    if (links != nullptr) link_count = renderer.link_count();
    if (calc) {
      rect.bottom = extent.bottom;
      rect.right = extent.right;
    }
  }
  ::SelectObject(dc, old_font);
  ::SetBkColor(dc, old_back);
  ::SetTextColor(dc, old_text);
  ::SetBkMode(dc, old_mode);
}

}  // namespace SkinUI
