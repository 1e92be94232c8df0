// An animated image (GIF) shown through GDI+: the image named by `bkimage`
// is loaded from the skin's resources, and a paint-manager timer steps
// through its frames with each frame's own delay.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui_toolkit/core/control.h"

namespace Gdiplus {
class Image;
}  // namespace Gdiplus

namespace SkinUI {

class CGifAnimUI : public CControlUI {
 public:
  static constexpr UINT kTimerId = 100;
  // Used for a frame whose delay is 0 or missing from the image's table.
  static constexpr UINT kDefaultDelayMs = 100;

  CGifAnimUI();
  ~CGifAnimUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetVisible(bool visible = true) override;
  void OnInitialize() override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;

  void SetBkImage(const wchar_t* name);
  const CUiString& GetBkImage() const { return image_name_; }
  void SetAutoPlay(bool on) { autoplay_ = on; }
  bool IsAutoPlay() const { return autoplay_; }
  void SetAutoSize(bool on) { autosize_ = on; }
  bool IsAutoSize() const { return autosize_; }
  void PlayGif();
  void StopGif();

  bool IsPlaying() const { return playing_; }
  bool IsLoaded() const { return image_ != nullptr; }
  UINT GetFrameCount() const { return frame_count_; }
  UINT GetCurrentFrame() const { return current_frame_; }
  // How many delays the image's table holds (may be fewer than frames).
  size_t GetDelayCount() const { return delays_.size(); }
  // The delay the frame timer was last started with, in milliseconds.
  UINT GetTimerDelay() const { return timer_delay_ms_; }

  // How long |frame| is shown, in milliseconds, from a table of delays in
  // hundredths of a second.
  static UINT FrameDelayMs(const std::vector<std::uint32_t>& delays, UINT frame);

 private:
  void InitGifImage();
  void DeleteGif();
  void StartFrameTimer();

  std::unique_ptr<Gdiplus::Image> image_;
  UINT frame_count_ = 0;
  UINT current_frame_ = 0;
  std::vector<std::uint32_t> delays_;
  CUiString image_name_;
  bool autoplay_ = true;
  bool autosize_ = false;
  bool playing_ = false;
  UINT timer_delay_ms_ = 0;
};

}  // namespace SkinUI
