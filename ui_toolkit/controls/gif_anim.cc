#include "ui_toolkit/controls/gif_anim.h"

#include <cstdlib>
#include <cstring>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

// PropertyTagFrameDelay: one 32-bit delay per frame, hundredths of a second.
constexpr PROPID kFrameDelayTag = 0x5100;

std::vector<std::uint32_t> ReadFrameDelays(Gdiplus::Image& image) {
  std::vector<std::uint32_t> delays;
  const UINT size = image.GetPropertyItemSize(kFrameDelayTag);
  if (size < sizeof(Gdiplus::PropertyItem)) return delays;
  auto* item = static_cast<Gdiplus::PropertyItem*>(std::malloc(size));
  if (item == nullptr) return delays;
  if (image.GetPropertyItem(kFrameDelayTag, size, item) == Gdiplus::Ok && item->value != nullptr) {
    // The item's own length says how many delays there are, whatever the
    // frame count: a table shorter than the frames is read only as far as
    // it goes, and never past the block it came in.
    const size_t room = size - sizeof(Gdiplus::PropertyItem);
    const size_t bytes = std::min<size_t>(item->length, room);
    delays.resize(bytes / sizeof(std::uint32_t));
    if (!delays.empty()) std::memcpy(delays.data(), item->value, delays.size() * sizeof(std::uint32_t));
  }
  std::free(item);
  return delays;
}

}  // namespace

CGifAnimUI::CGifAnimUI() = default;

CGifAnimUI::~CGifAnimUI() {
  DeleteGif();
  if (manager_ != nullptr) manager_->KillTimer(this, kTimerId);
}

const wchar_t* CGifAnimUI::GetClassName() const { return L"GifAnimUI"; }

void* CGifAnimUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"GifAnim")) return static_cast<CGifAnimUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

UINT CGifAnimUI::FrameDelayMs(const std::vector<std::uint32_t>& delays, UINT frame) {
  if (frame >= delays.size() || delays[frame] == 0) return kDefaultDelayMs;
  const std::uint64_t ms = static_cast<std::uint64_t>(delays[frame]) * 10;
  return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<UINT>(ms);
}

void CGifAnimUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (visible) {
    PlayGif();
  } else {
    StopGif();
  }
}

void CGifAnimUI::OnInitialize() { InitGifImage(); }

void CGifAnimUI::InitGifImage() {
  if (image_name_.IsEmpty()) return;
  ImageRecordUI* record = CUiDrawEngine::LoadImageWithGdiplus(image_name_.GetData());
  if (record == nullptr) return;
  image_.reset(record->pGdiplusImage);
  record->pGdiplusImage = nullptr;
  CUiDrawEngine::FreeImage(record);
  if (image_ == nullptr) return;
  const UINT dimensions = image_->GetFrameDimensionsCount();
  frame_count_ = 0;
  if (dimensions > 0) {
    std::vector<GUID> ids(dimensions);
    if (image_->GetFrameDimensionsList(ids.data(), dimensions) == Gdiplus::Ok) {
      frame_count_ = image_->GetFrameCount(&ids[0]);
    }
  }
  if (frame_count_ > 1) delays_ = ReadFrameDelays(*image_);
  if (autosize_) {
    SetFixedWidth(static_cast<int>(image_->GetWidth()));
    SetFixedHeight(static_cast<int>(image_->GetHeight()));
  }
  if (autoplay_) PlayGif();
}

void CGifAnimUI::StartFrameTimer() {
  timer_delay_ms_ = FrameDelayMs(delays_, current_frame_);
  if (manager_ != nullptr) manager_->SetTimer(this, kTimerId, timer_delay_ms_);
}

void CGifAnimUI::PlayGif() {
  if (playing_ || image_ == nullptr || frame_count_ < 2) return;
  StartFrameTimer();
  playing_ = true;
}

void CGifAnimUI::StopGif() {
  if (!playing_) return;
  if (manager_ != nullptr) manager_->KillTimer(this, kTimerId);
  current_frame_ = 0;
  Invalidate();
  playing_ = false;
}

void CGifAnimUI::HandleEvent(ControlEventUI& event) {
  if (event.Type != UIEVENT_TIMER || event.wParam != kTimerId) return;
  if (manager_ != nullptr) manager_->KillTimer(this, kTimerId);
  Invalidate();
  if (frame_count_ == 0) return;
  current_frame_ = (current_frame_ + 1) % frame_count_;
  StartFrameTimer();
}

void CGifAnimUI::SetBkImage(const wchar_t* name) {
  if (name == nullptr || image_name_ == name) return;
  image_name_ = name;
  StopGif();
  DeleteGif();
  Invalidate();
}

void CGifAnimUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"bkimage")) {
    SetBkImage(value);
  } else if (attr::Equals(name, L"autoplay")) {
    SetAutoPlay(attr::IsTrue(value));
  } else if (attr::Equals(name, L"autosize")) {
    SetAutoSize(attr::IsTrue(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

bool CGifAnimUI::PaintContent(HDC dc, const RECT& paint, CControlUI*) {
  if (!::IntersectRect(&paint_rect_, &paint, &pos_)) return true;
  if (image_ == nullptr) InitGifImage();
  if (image_ == nullptr) return true;
  // The frame to show is made active before drawing, so the picture on the
  // screen is always the frame whose delay is running.
  if (frame_count_ > 1) {
    GUID time = Gdiplus::FrameDimensionTime;
    image_->SelectActiveFrame(&time, current_frame_);
  }
  Gdiplus::Graphics graphics(dc);
  graphics.DrawImage(image_.get(), static_cast<INT>(pos_.left), static_cast<INT>(pos_.top),
                     static_cast<INT>(pos_.right - pos_.left), static_cast<INT>(pos_.bottom - pos_.top));
  return true;
}

void CGifAnimUI::DeleteGif() {
  image_.reset();
  delays_.clear();
  frame_count_ = 0;
  current_frame_ = 0;
}

}  // namespace SkinUI
