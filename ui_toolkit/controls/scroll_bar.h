// The skinned scroll bar: two arrow buttons, a thumb with a grip (rail) image
// and a background, a range and a position. With an owner container every
// move is asked of the container, which stays the one keeper of the scroll
// position and writes it back here when it lays out.
#pragma once

#include <cstdint>

#include "ui_toolkit/core/control.h"

namespace SkinUI {

class CContainerUI;

class CScrollBarUI : public CControlUI {
 public:
  // Timer of the thumb drag and of the auto-repeat of buttons and rail.
  static constexpr UINT kRepeatTimerId = 10;
  static constexpr UINT kRepeatElapse = 50;

  CScrollBarUI();
  ~CScrollBarUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;
  void SetFocus() override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;

  CContainerUI* GetOwner() const { return owner_; }
  void SetOwner(CContainerUI* owner) { owner_ = owner; }
  bool IsHorizontal() const { return horizontal_; }
  void SetHorizontal(bool horizontal = true);
  int GetScrollRange() const { return static_cast<int>(range_); }
  void SetScrollRange(int range);
  int GetScrollPos() const { return static_cast<int>(position_); }
  void SetScrollPos(int pos);
  int GetLineSize() const { return line_size_; }
  void SetLineSize(int size) { line_size_ = size; }
  bool IsShowButton1() const { return show_button1_; }
  void SetShowButton1(bool show);
  bool IsShowButton2() const { return show_button2_; }
  void SetShowButton2(bool show);
  bool IsShowScrollBar() const { return shown_; }
  void SetShowScrollBar(bool show);

  void SetButton1NormalImage(const wchar_t* image) { SetImage(button1_images_.normal, image); }
  void SetButton1HotImage(const wchar_t* image) { SetImage(button1_images_.hot, image); }
  void SetButton1PushedImage(const wchar_t* image) { SetImage(button1_images_.pushed, image); }
  void SetButton1DisabledImage(const wchar_t* image) { SetImage(button1_images_.disabled, image); }
  void SetButton2NormalImage(const wchar_t* image) { SetImage(button2_images_.normal, image); }
  void SetButton2HotImage(const wchar_t* image) { SetImage(button2_images_.hot, image); }
  void SetButton2PushedImage(const wchar_t* image) { SetImage(button2_images_.pushed, image); }
  void SetButton2DisabledImage(const wchar_t* image) { SetImage(button2_images_.disabled, image); }
  void SetThumbNormalImage(const wchar_t* image) { SetImage(thumb_images_.normal, image); }
  void SetThumbHotImage(const wchar_t* image) { SetImage(thumb_images_.hot, image); }
  void SetThumbPushedImage(const wchar_t* image) { SetImage(thumb_images_.pushed, image); }
  void SetThumbDisabledImage(const wchar_t* image) { SetImage(thumb_images_.disabled, image); }
  void SetRailNormalImage(const wchar_t* image) { SetImage(rail_images_.normal, image); }
  void SetRailHotImage(const wchar_t* image) { SetImage(rail_images_.hot, image); }
  void SetRailPushedImage(const wchar_t* image) { SetImage(rail_images_.pushed, image); }
  void SetRailDisabledImage(const wchar_t* image) { SetImage(rail_images_.disabled, image); }
  void SetBkNormalImage(const wchar_t* image) { SetImage(bk_images_.normal, image); }
  void SetBkHotImage(const wchar_t* image) { SetImage(bk_images_.hot, image); }
  void SetBkPushedImage(const wchar_t* image) { SetImage(bk_images_.pushed, image); }
  void SetBkDisabledImage(const wchar_t* image) { SetImage(bk_images_.disabled, image); }

  // Part rectangles and states, in window coordinates, for the owner and tests.
  const RECT& GetButton1Rect() const { return button1_rect_; }
  const RECT& GetButton2Rect() const { return button2_rect_; }
  const RECT& GetThumbRect() const { return thumb_rect_; }
  std::uint32_t GetButton1State() const { return button1_state_; }
  std::uint32_t GetButton2State() const { return button2_state_; }
  std::uint32_t GetThumbState() const { return thumb_state_; }

 private:
  struct StateImages {
    CUiString normal;
    CUiString hot;
    CUiString pushed;
    CUiString disabled;
  };

  void SetImage(CUiString& slot, const wchar_t* image);
  // The bar's thickness in real pixels: the fixed width when vertical, the fixed height when horizontal.
  int Thickness() const;
  // Pixels the thumb can travel: the track without the shown buttons, less the thumb.
  int ThumbTravel() const;
  void LineBack();
  void LineForward();
  void PageBack();
  void PageForward();
  // Where a point lies along the scroll axis relative to the thumb: -1 before, 1 after, 0 level with it.
  int SideOfThumb(POINT pt) const;
  void NotifyScroll();
  void RouteToOwner(ControlEventUI& event);
  bool PaintPart(HDC dc, const StateImages& images, std::uint32_t state, const RECT& part);

  bool shown_ = true;
  bool horizontal_ = false;
  std::int64_t range_ = 0;
  std::int64_t position_ = 0;
  int line_size_ = 8;
  CContainerUI* owner_ = nullptr;
  POINT last_mouse_{};
  int position_at_drag_ = 0;
  int drag_offset_ = 0;
  int ticks_ = 0;
  // From a press to its button-up: only then do repeat ticks act.
  bool repeating_ = false;
  bool show_button1_ = true;
  RECT button1_rect_{};
  std::uint32_t button1_state_ = 0;
  StateImages button1_images_;
  bool show_button2_ = true;
  RECT button2_rect_{};
  std::uint32_t button2_state_ = 0;
  StateImages button2_images_;
  RECT thumb_rect_{};
  std::uint32_t thumb_state_ = 0;
  StateImages thumb_images_;
  StateImages rail_images_;
  StateImages bk_images_;
  CUiString modifier_;
};

}  // namespace SkinUI
