#include "src/zephris_install/src/wrapper/install_ui/tests/window_rig.h"

#include <chrono>
#include <string>

#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace window_rig {

namespace {

constexpr char kMainLayout[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="664,480" caption="0,0,0,0">
  <Font id="0" name="Liberation Sans" size="14" default="true"/>
  <Container name="main_card" bkcolor="#FF202020">
    <Container name="display_card" float="true" pos="0,0,664,355">
      <Container name="main_display_card" float="true" pos="0,0,664,320">
        <Container name="main_logo_card" float="true" pos="10,60,200,120"/>
        <Container name="app_logo_card" float="true" pos="210,60,500,120" visible="false">
          <Label name="app_install_name_label" float="true" pos="0,0,290,30"/>
          <Label name="app_install_tips_label" float="true" pos="0,30,290,60"/>
        </Container>
      </Container>
      <Container name="installing_display_card" float="true" pos="0,320,664,355" visible="false">
        <Button name="carousel_0_btn" float="true" pos="280,10,294,24"/>
        <Button name="carousel_1_btn" float="true" pos="300,10,314,24"/>
        <Button name="carousel_2_btn" float="true" pos="320,10,334,24"/>
        <Button name="carousel_3_btn" float="true" pos="340,10,354,24"/>
      </Container>
    </Container>
    <Label name="title_tag_label" float="true" pos="10,8,44,38"/>
    <Button name="mini_btn" float="true" pos="580,8,610,38" text="_"/>
    <Button name="close_btn" float="true" pos="620,8,650,38" text="X"/>
    <Container name="install_start_card" float="true" pos="0,355,664,480">
      <Button name="install_btn" float="true" pos="232,10,432,50" text="install" enabled="false"/>
      <Option name="authorize_option" float="true" pos="20,70,40,90"/>
      <Button name="agreement_label" float="true" pos="50,70,150,90" text="agreement"/>
      <Button name="policy_label" float="true" pos="160,70,260,90" text="policy"/>
      <Button name="expand_btn" float="true" pos="560,70,580,90"/>
      <Button name="expand_label" float="true" pos="585,70,650,90" text="custom"/>
    </Container>
    <Container name="custom_install_card" float="true" pos="0,480,664,580" visible="false">
      <Label name="browse_label" float="true" pos="20,5,120,30" text="folder"/>
      <HorizontalLayout name="browse_layout" float="true" pos="120,5,600,30">
        <Edit name="install_path_edit" width="400" enabled="false"/>
        <Button name="browse_btn" width="80" text="browse"/>
      </HorizontalLayout>
      <Option name="start_menu_option" float="true" pos="20,40,200,60"/>
      <Option name="desktop_link_option" float="true" pos="220,40,400,60"/>
      <Option name="auto_start_option" float="true" pos="420,40,600,60"/>
    </Container>
    <Container name="installing_card" float="true" pos="0,355,664,480" visible="false">
      <Label name="installing_precent_label" float="true" pos="20,10,500,40"/>
      <Progress name="installing_progress" float="true" pos="20,50,644,60" min="0" max="100"/>
      <Button name="feedback_icon" float="true" pos="520,70,540,90"/>
      <Button name="feedback_label" float="true" pos="545,70,640,90" text="feedback"/>
    </Container>
    <Container name="install_complete_card" float="true" pos="0,355,664,480" visible="false">
      <Button name="complete_btn" float="true" pos="232,10,432,50" visible="false"/>
    </Container>
  </Container>
</Window>
)";

constexpr char kSdkLayout[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="606,412" caption="0,0,0,0">
  <Font id="0" name="Liberation Sans" size="14" default="true"/>
  <Container name="main_card" bkcolor="#FF202020">
    <Button name="close_btn" float="true" pos="566,8,596,38" text="X"/>
    <Label name="title_label" float="true" pos="20,50,586,80"/>
    <Label name="content_label" float="true" pos="20,90,586,120"/>
    <Container name="install_start_card" float="true" pos="0,130,606,412">
      <Label name="app_label" float="true" pos="20,10,84,74"/>
      <Label name="app_name_label" float="true" pos="100,10,400,40"/>
      <Option name="authorize_option" float="true" pos="20,200,40,220"/>
      <Button name="agreement_label" float="true" pos="50,200,150,220" text="agreement"/>
      <Button name="policy_label" float="true" pos="160,200,260,220" text="policy"/>
      <Button name="cancel_btn" float="true" pos="300,230,420,270" text="cancel"/>
      <Button name="install_btn" float="true" pos="440,230,580,270" text="install" enabled="false"/>
    </Container>
    <Container name="installing_card" float="true" pos="0,130,606,412" visible="false">
      <Label name="installing_precent_label" float="true" pos="20,100,586,130"/>
      <Progress name="installing_progress" float="true" pos="20,140,586,150" min="0" max="100"/>
    </Container>
  </Container>
</Window>
)";

std::string& FixtureZip() {
  static std::string zip;
  return zip;
}

}  // namespace

void UseFixtureSkin() {
  using SkinUI::CPaintManagerUI;
  if (CPaintManagerUI::GetInstance() == nullptr) CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
  std::string& zip = FixtureZip();
  if (zip.empty()) zip = SkinUI::testing::BuildZip({{.name = "zephri_install_ui.xml", .data = kMainLayout},
                                            {.name = "zephri_install_sdk_ui.xml", .data = kSdkLayout}}).bytes;
  CPaintManagerUI::SetResourceZipFromMemory(zip.data(), static_cast<unsigned>(zip.size()));
}

MessageBoxResult FakeBoxes::ShowMessageBox(HWND, const std::string& card_id, const std::string& source_card_id,
                              const std::wstring& title, const std::wstring& content, const data::TikoGroupConfig&,
                              const std::wstring& confirm_text, const std::wstring& cancel_text) {
  std::lock_guard lock(mutex_);
  calls_.push_back({card_id, source_card_id, title, content, confirm_text, cancel_text});
  if (answers_.empty()) return kMessageBoxCancel;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

MessageBoxResult FakeBoxes::ShowFeedbackBox(HWND, const std::string& source_card_id, const data::TikoGroupConfig&) {
  std::lock_guard lock(mutex_);
  calls_.push_back({"install_feedback_tip_card", source_card_id, {}, {}, {}, {}});
  return kMessageBoxClose;
}

void FakeBoxes::Answer(std::vector<int> answers) {
  std::lock_guard lock(mutex_);
  answers_.assign(answers.begin(), answers.end());
}

std::vector<BoxCall> FakeBoxes::Calls() {
  std::lock_guard lock(mutex_);
  return calls_;
}


WindowRun::~WindowRun() {
  if (ui_.joinable()) {
    if (!done_->load() && ::IsWindow(hwnd_)) {
      OnUi([this] {
        ::DestroyWindow(hwnd_);
        // The modal loop looks at its window only after its next message.
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
      });
    }
    if (!WaitExit(10000)) {
      ui_.detach();
      return;
    }
    ui_.join();
  }
}

bool WindowRun::Start() {
  // The pointer is the display's, shared with every test before: left over
  // the window, it would hover its controls and change what they show.
  ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  ui_ = std::thread([window = window_, done = done_] {
    window->Exec();
    done->store(true);
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    hwnd_ = window_->window_handle();
    if (hwnd_ != nullptr && ::IsWindowVisible(hwnd_)) {
      // Laid out: the first paint has placed the controls.
      return WaitUi([this] {
        ::UpdateWindow(hwnd_);
        SkinUI::CControlUI* root = find_(L"main_card");
        return root != nullptr && root->GetPos().right > root->GetPos().left;
      });
    }
    if (done_->load()) return false;
    ::Sleep(10);
  }
  return false;
}

bool WindowRun::exited() const { return done_->load(); }

bool WindowRun::WaitExit(int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done_->load()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ::Sleep(10);
  }
  return true;
}

void WindowRun::OnUi(const std::function<void()>& fn) {
  if (!::IsWindow(hwnd_)) return;
  ::SendMessageW(hwnd_, kMsgRun, reinterpret_cast<WPARAM>(&fn), 0);
}

bool WindowRun::WaitUi(const std::function<bool()>& done, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    bool held = false;
    OnUi([&] { held = done(); });
    if (held) return true;
    ::Sleep(10);
  }
  return false;
}

bool WindowRun::Click(const wchar_t* name) {
  RECT pos{};
  bool found = false;
  OnUi([&] {
    ::UpdateWindow(hwnd_);
    if (SkinUI::CControlUI* control = find_(name)) {
      pos = control->GetPos();
      found = control->IsVisible();
    }
  });
  if (!found) return false;
  const LPARAM at = MAKELPARAM((pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2);
  ::SendMessageW(hwnd_, WM_MOUSEMOVE, 0, at);
  ::SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(hwnd_, WM_LBUTTONUP, 0, at);
  return true;
}

std::wstring WindowRun::Text(const wchar_t* name) {
  std::wstring text;
  OnUi([&] {
    if (SkinUI::CControlUI* control = find_(name)) text = control->GetText().GetData();
  });
  return text;
}

bool WindowRun::Visible(const wchar_t* name) {
  bool visible = false;
  OnUi([&] {
    if (SkinUI::CControlUI* control = find_(name)) visible = control->IsVisible();
  });
  return visible;
}

bool WindowRun::Enabled(const wchar_t* name) {
  bool enabled = false;
  OnUi([&] {
    if (SkinUI::CControlUI* control = find_(name)) enabled = control->IsEnabled();
  });
  return enabled;
}

std::wstring WindowRun::BackgroundImage(const wchar_t* name) {
  std::wstring image;
  OnUi([&] {
    if (SkinUI::CControlUI* control = find_(name)) image = control->GetBackgroundImage().GetData();
  });
  return image;
}

SIZE WindowRun::ClientSize() {
  RECT rc{};
  ::GetClientRect(hwnd_, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace window_rig
