// Toast documents built from templates, written out as XML by the rig's
// stand-in DOM (the platform's own is absent under Wine). The stand-in's
// predefined ToastImageAndText03 is
//   <toast><visual><binding template="ToastImageAndText03"><image id="1"
//   src=""/><text id="1"/><text id="2"/></binding></visual></toast>
#include "src/zephris_install/src/toast/toast_lib/toast_document.h"

#include <windows.h>
#include <activation.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "src/zephris_install/src/toast/toast_lib/toast_apis.h"
#include "src/zephris_install/src/toast/toast_lib/tests/toast_rig.h"

namespace {

using ToastLib::OsVersion;
using ToastLib::ToastTemplate;

constexpr OsVersion kWindows10{10, 0, 19045};
constexpr OsVersion kWindows10Before1607{10, 0, 10586};
constexpr OsVersion kWindows81{6, 3, 9600};

class ToastDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ToastLib::LoadToastApis());
    ASSERT_TRUE(stand_in_.loaded());
    using GetFactoryFn = HRESULT(WINAPI*)(HSTRING, IActivationFactory**);
    auto get_factory = stand_in_.Get<GetFactoryFn>("DllGetActivationFactory");
    ASSERT_NE(get_factory, nullptr);
    base::ScopedComPtr<IActivationFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(ToastLib::WithString(ToastLib::abi::kToastManagerClass, [&](HSTRING name) {
      return get_factory(name, factory.Receive());
    }));
    ASSERT_HRESULT_SUCCEEDED(factory.Get()->QueryInterface(__uuidof(ToastLib::abi::IToastNotificationManagerStatics),
                                                           reinterpret_cast<void**>(statics_.Receive())));
  }

  // The document's XML, or "failed 0x..." when the build failed.
  std::wstring Build(const ToastTemplate& toast, const OsVersion& os) {
    base::ScopedComPtr<ToastLib::abi::IXmlDocument> document;
    const HRESULT hr = ToastLib::BuildToastDocument(statics_.Get(), toast, os, document.Receive());
    if (FAILED(hr)) {
      wchar_t text[32];
      swprintf(text, 32, L"failed 0x%08lX", static_cast<unsigned long>(hr));
      return text;
    }
    return stand_in_.DocumentXml(document.Get());
  }

  toast_testing::StandIn stand_in_;
  base::ScopedComPtr<ToastLib::abi::IToastNotificationManagerStatics> statics_;
};

ToastTemplate Lines(const wchar_t* first, const wchar_t* second) {
  ToastTemplate t;
  t.setTextField(first, 0);
  t.setTextField(second, 1);
  return t;
}

struct Case {
  const char* name;
  std::function<void(ToastTemplate&)> fill;
  OsVersion os;
  const wchar_t* xml;
};

TEST_F(ToastDocumentTest, Templates) {
  const Case cases[] = {
      {"installer start toast",
       [](ToastTemplate& t) {
         t.duration = ToastTemplate::kDurationLong;
         t.useDefaultAudio();
       },
       kWindows10,
       L"<toast duration=\"long\" scenario=\"Default\"><visual><binding template=\"ToastImageAndText03\">"
       L"<image id=\"1\" src=\"file:///\"/><text id=\"1\">a &amp; b</text><text id=\"2\">第二行</text></binding>"
       L"</visual><audio src=\"ms-winsoundevent:Notification.Default\"/></toast>"},
      {"old system keeps only text and image",
       [](ToastTemplate& t) {
         t.duration = ToastTemplate::kDurationLong;
         t.useDefaultAudio();
         t.action_labels = {L"Open"};
         t.attribution_text = L"via";
         t.image_path = L"C:\\p.png";
       },
       kWindows81,
       L"<toast><visual><binding template=\"ToastImageAndText03\"><image id=\"1\" src=\"file:///C:\\p.png\"/>"
       L"<text id=\"1\">a &amp; b</text><text id=\"2\">第二行</text></binding></visual></toast>"},
      {"hero before 1607: generic, no crop, no hero picture",
       [](ToastTemplate& t) {
         t.hero_image_path = L"C:\\hero.png";
         t.crop_hint = ToastTemplate::kCropCircle;
       },
       kWindows10Before1607,
       L"<toast scenario=\"Default\"><visual><binding template=\"ToastGeneric\"><image id=\"1\" "
       L"src=\"file:///\" placement=\"appLogoOverride\"/><text id=\"1\">a &amp; b</text><text id=\"2\">第二行</text>"
       L"</binding></visual></toast>"},
      {"hero and circle crop",
       [](ToastTemplate& t) {
         t.image_path = L"C:\\logo.png";
         t.hero_image_path = L"C:\\hero.png";
         t.crop_hint = ToastTemplate::kCropCircle;
       },
       kWindows10,
       L"<toast scenario=\"Default\"><visual><binding template=\"ToastGeneric\"><image id=\"1\" "
       L"src=\"file:///C:\\logo.png\" placement=\"appLogoOverride\" hint-crop=\"circle\"/><text id=\"1\">a &amp; b"
       L"</text><text id=\"2\">第二行</text><image placement=\"hero\" src=\"C:\\hero.png\"/></binding></visual>"
       L"</toast>"},
      {"inline hero picture",
       [](ToastTemplate& t) {
         t.hero_image_path = L"C:\\hero.png";
         t.inline_hero_image = true;
       },
       kWindows10,
       L"<toast scenario=\"Default\"><visual><binding template=\"ToastGeneric\"><image id=\"1\" src=\"file:///\" "
       L"placement=\"appLogoOverride\"/><text id=\"1\">a &amp; b</text><text id=\"2\">第二行</text>"
       L"<image src=\"C:\\hero.png\"/></binding></visual></toast>"},
      {"first action makes the toast generic and long; a short duration follows it",
       [](ToastTemplate& t) {
         t.action_labels = {L"Yes", L"No"};
         t.duration = ToastTemplate::kDurationShort;
       },
       kWindows10,
       L"<toast template=\"ToastGeneric\" duration=\"short\" scenario=\"Default\"><visual><binding "
       L"template=\"ToastImageAndText03\"><image id=\"1\" src=\"file:///\"/><text id=\"1\">a &amp; b</text>"
       L"<text id=\"2\">第二行</text></binding></visual><actions><action content=\"Yes\" arguments=\"0\"/>"
       L"<action content=\"No\" arguments=\"1\"/></actions></toast>"},
      {"silent without a sound",
       [](ToastTemplate& t) { t.audio_option = ToastTemplate::kAudioSilent; },
       kWindows10,
       L"<toast scenario=\"Default\"><visual><binding template=\"ToastImageAndText03\"><image id=\"1\" "
       L"src=\"file:///\"/><text id=\"1\">a &amp; b</text><text id=\"2\">第二行</text></binding></visual>"
       L"<audio silent=\"true\"/></toast>"},
      {"looping sound",
       [](ToastTemplate& t) {
         t.audio_option = ToastTemplate::kAudioLoop;
         t.audio_path = ToastLib::SystemSound(5);
         t.scenario = L"alarm";
       },
       kWindows10,
       L"<toast scenario=\"alarm\"><visual><binding template=\"ToastImageAndText03\"><image id=\"1\" "
       L"src=\"file:///\"/><text id=\"1\">a &amp; b</text><text id=\"2\">第二行</text></binding></visual>"
       L"<audio src=\"ms-winsoundevent:Notification.Looping.Alarm\" loop=\"true\"/></toast>"},
      {"attribution line",
       [](ToastTemplate& t) { t.attribution_text = L"via Quillorane"; },
       kWindows10,
       L"<toast scenario=\"Default\"><visual><binding template=\"ToastImageAndText03\"><image id=\"1\" "
       L"src=\"file:///\"/><text id=\"1\">a &amp; b</text><text id=\"2\">第二行</text><text "
       L"placement=\"attribution\">via Quillorane</text></binding></visual></toast>"},
      {"longest image path that fits",
       [](ToastTemplate& t) { t.image_path = std::wstring(251, L'x'); },
       kWindows81,
       nullptr},
      {"two lines for a one-line template fail the build instead of writing through a missing element",
       [](ToastTemplate& t) { t.template_type = 4; },
       kWindows10,
       L"failed 0x80070057"},
      {"image path one longer",
       [](ToastTemplate& t) { t.image_path = std::wstring(252, L'x'); },
       kWindows81,
       L"failed 0x8007007A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ToastTemplate t = Lines(L"a & b", L"第二行");
    c.fill(t);
    const std::wstring xml = Build(t, c.os);
    if (c.xml != nullptr) {
      EXPECT_EQ(xml, c.xml);
    } else {
      EXPECT_NE(xml.find(L"src=\"file:///" + t.image_path + L"\""), std::wstring::npos) << xml;
    }
  }
}

}  // namespace
