// The toast description a caller fills: what construction gives, how text
// fields are set, and the system sounds.
#include "src/zephris_install/src/toast/toast_lib/toast_template.h"

#include <gtest/gtest.h>

namespace {

using ToastLib::ToastTemplate;

TEST(ToastTemplate, ConstructionGivesTwoEmptyLinesOfTheImageAndTextTemplate) {
  const ToastTemplate t;
  EXPECT_EQ(t.text_fields, (std::vector<std::wstring>{L"", L""}));
  EXPECT_TRUE(t.action_labels.empty());
  EXPECT_EQ(t.scenario, L"Default");
  EXPECT_EQ(t.expiration, 0);
  EXPECT_EQ(t.audio_option, ToastTemplate::kAudioDefault);
  EXPECT_EQ(t.template_type, 2);
  EXPECT_EQ(t.duration, ToastTemplate::kDurationSystem);
  EXPECT_EQ(t.crop_hint, ToastTemplate::kCropSquare);
  EXPECT_TRUE(t.audio_path.empty());
  EXPECT_TRUE(t.hasImage());
  EXPECT_FALSE(t.hasHeroImage());
  EXPECT_FALSE(t.isGeneric());
}

TEST(ToastTemplate, TextFieldsOutsideTheTemplateAreIgnored) {
  ToastTemplate t;
  t.setTextField(L"first", 0);
  t.setTextField(L"second", 1);
  t.setTextField(L"third", 2);
  EXPECT_EQ(t.text_fields, (std::vector<std::wstring>{L"first", L"second"}));
}

TEST(ToastTemplate, HeroPictureOrCircleCropMakeAGenericToast) {
  ToastTemplate hero;
  hero.hero_image_path = L"C:\\hero.png";
  EXPECT_TRUE(hero.hasHeroImage());
  EXPECT_TRUE(hero.isGeneric());
  ToastTemplate circle;
  circle.crop_hint = ToastTemplate::kCropCircle;
  EXPECT_FALSE(circle.hasHeroImage());
  EXPECT_TRUE(circle.isGeneric());
  ToastTemplate text_only;
  text_only.template_type = 4;
  text_only.hero_image_path = L"C:\\hero.png";
  EXPECT_FALSE(text_only.hasImage());
  EXPECT_FALSE(text_only.hasHeroImage());
}

TEST(ToastTemplate, DefaultAudioIsTheDefaultNotificationSound) {
  ToastTemplate t;
  t.useDefaultAudio();
  EXPECT_EQ(t.audio_path, L"ms-winsoundevent:Notification.Default");
}

TEST(ToastTemplate, SystemSoundTable) {
  const struct {
    int number;
    const wchar_t* sound;
  } cases[] = {
      {0, L"ms-winsoundevent:Notification.Default"},
      {1, L"ms-winsoundevent:Notification.IM"},
      {2, L"ms-winsoundevent:Notification.Mail"},
      {3, L"ms-winsoundevent:Notification.Reminder"},
      {4, L"ms-winsoundevent:Notification.SMS"},
      {5, L"ms-winsoundevent:Notification.Looping.Alarm"},
      {6, L"ms-winsoundevent:Notification.Looping.Alarm2"},
      {14, L"ms-winsoundevent:Notification.Looping.Alarm10"},
      {15, L"ms-winsoundevent:Notification.Looping.Call"},
      {16, L"ms-winsoundevent:Notification.Looping.Call1"},
      {25, L"ms-winsoundevent:Notification.Looping.Call10"},
      {26, L""},
      {-1, L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ToastLib::SystemSound(c.number), c.sound) << c.number;
}

}  // namespace
