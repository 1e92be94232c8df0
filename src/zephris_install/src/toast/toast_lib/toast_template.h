// What one toast shows: its lines, pictures, buttons, sound and timing. The
// toast manager turns it into the platform's toast document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ToastLib {

class ToastTemplate {
 public:
  enum AudioOption : std::int32_t { kAudioDefault = 0, kAudioSilent = 1, kAudioLoop = 2 };
  enum Duration : std::int32_t { kDurationSystem = 0, kDurationShort = 1, kDurationLong = 2 };
  enum CropHint : std::int32_t { kCropSquare = 0, kCropCircle = 1 };
  // The platform's ToastImageAndText03: a picture and two lines.
  static constexpr std::int32_t kImageAndText03 = 2;

  ToastTemplate();
  ~ToastTemplate();

  // Out-of-range indices are ignored: the platform template has a fixed
  // number of text elements.
  void setTextField(const std::wstring& text, std::size_t index);
  void useDefaultAudio();

  bool hasImage() const { return template_type < 4; }
  bool hasHeroImage() const { return hasImage() && !hero_image_path.empty(); }
  bool isGeneric() const { return hasHeroImage() || crop_hint == kCropCircle; }

  std::vector<std::wstring> text_fields;
  std::vector<std::wstring> action_labels;
  std::wstring image_path;
  std::wstring hero_image_path;
  bool inline_hero_image = false;
  std::wstring audio_path;
  std::wstring attribution_text;
  std::wstring scenario = L"Default";
  std::int64_t expiration = 0;  // milliseconds from showing; 0 = none
  std::int32_t audio_option = kAudioDefault;
  std::int32_t template_type = kImageAndText03;
  std::int32_t duration = kDurationSystem;
  std::int32_t crop_hint = kCropSquare;
};

// "ms-winsoundevent:Notification.<name>" for the 26 system sounds (0 Default,
// 1 IM, 2 Mail, 3 Reminder, 4 SMS, 5 Looping.Alarm, 6-14 Looping.Alarm2-10,
// 15 Looping.Call, 16-25 Looping.Call1-10); empty for any other number.
const std::wstring& SystemSound(std::int32_t number);

}  // namespace ToastLib
