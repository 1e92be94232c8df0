#include "ui_toolkit/controls/ring.h"

#include <cwchar>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

constexpr UINT kTurnTimer = 100;

}  // namespace

CRingUI::CRingUI() = default;

CRingUI::~CRingUI() {
  if (GetManager() != nullptr) KillTimer(kTurnTimer);
  DeleteImage();
}

const wchar_t* CRingUI::GetClassName() const { return L"RingUI"; }

void* CRingUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"Ring") == 0) return static_cast<CRingUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

void CRingUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (std::wcscmp(name, L"bkimage") == 0) {
    SetBkImage(value);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CRingUI::SetBkImage(const wchar_t* image) {
  if (GetBackgroundImage() == image) return;
  SetBackgroundImage(image);
  DeleteImage();
  Invalidate();
}

void CRingUI::InitImage() {
  image_ = CUiDrawEngine::LoadImageWithGdiplus(GetBackgroundImage().GetData());
  if (image_ != nullptr && GetManager() != nullptr) SetTimer(kTurnTimer, 100);
}

void CRingUI::DeleteImage() {
  if (image_ == nullptr) return;
  CUiDrawEngine::FreeImage(image_);
  image_ = nullptr;
}

void CRingUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_TIMER && event.wParam == kTurnTimer) {
    angle_ = (angle_ > 359 ? 0 : angle_) + 36;
    MarkParentNeedsLayout();
    Invalidate();
    return;
  }
  CLabelUI::HandleEvent(event);
}

void CRingUI::PaintBackgroundImage(HDC dc) {
  if (image_ == nullptr) InitImage();
  if (image_ == nullptr || image_->pGdiplusImage == nullptr) return;
  const RECT& pos = GetPos();
  const int width = pos.right - pos.left;
  const int height = pos.bottom - pos.top;
  // A collapsed control has nothing to turn the image in.
  if (width <= 0 || height <= 0) return;
  Gdiplus::Graphics graphics(dc);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  const auto cx = static_cast<Gdiplus::REAL>(pos.left + width / 2);
  const auto cy = static_cast<Gdiplus::REAL>(pos.top + height / 2);
  graphics.TranslateTransform(cx, cy);
  graphics.RotateTransform(angle_);
  graphics.TranslateTransform(-cx, -cy);
  graphics.DrawImage(image_->pGdiplusImage, Gdiplus::Rect(pos.left, pos.top, width, height));
}

}  // namespace SkinUI
