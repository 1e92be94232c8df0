#include "ui_toolkit/core/draw_engine.h"

namespace SkinUI {

void CUiClipScope::Begin(HDC dc, const RECT& rect, CUiClipScope& scope) {
  RECT box = {};
  ::GetClipBox(dc, &box);
  scope.rect_ = rect;
  scope.dc_ = dc;
  scope.saved_ = ::CreateRectRgnIndirect(&box);
  scope.own_ = ::CreateRectRgnIndirect(&rect);
  ::ExtSelectClipRgn(dc, scope.own_, RGN_AND);
}

void CUiClipScope::BeginRound(HDC dc, const RECT& rect, const RECT& round_rect, int round_width, int round_height,
                              CUiClipScope& scope) {
  RECT box = {};
  ::GetClipBox(dc, &box);
  scope.rect_ = rect;
  scope.dc_ = dc;
  scope.saved_ = ::CreateRectRgnIndirect(&box);
  scope.own_ = ::CreateRectRgnIndirect(&rect);
  HRGN round = ::CreateRoundRectRgn(round_rect.left, round_rect.top, round_rect.right + 1, round_rect.bottom + 1,
                                    round_width, round_height);
  ::CombineRgn(scope.own_, scope.own_, round, RGN_AND);
  ::DeleteObject(round);
  ::ExtSelectClipRgn(dc, scope.own_, RGN_AND);
}

CUiClipScope::~CUiClipScope() {
  if (dc_ == nullptr) return;
  ::SelectClipRgn(dc_, saved_);
  ::DeleteObject(saved_);
  ::DeleteObject(own_);
}

void CUiClipScope::SelectSavedRegion() {
  if (dc_ != nullptr) ::SelectClipRgn(dc_, saved_);
}

void CUiClipScope::SelectOwnRegion() {
  if (dc_ == nullptr) return;
  ::SelectClipRgn(dc_, saved_);
  ::ExtSelectClipRgn(dc_, own_, RGN_AND);
}

}  // namespace SkinUI
