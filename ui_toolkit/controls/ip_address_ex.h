// An IPv4 input that edits its four octets itself, without a native
// window: it paints the octets and the dots, highlights the octet being
// edited and takes digits, arrows and the wheel.
#pragma once

#include "ui_toolkit/controls/edit.h"

namespace SkinUI {

class CIPAddressExUI : public CEditUI {
 public:
  CIPAddressExUI();
  ~CIPAddressExUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void HandleEvent(ControlEventUI& event) override;
  void PaintText(HDC dc) override;

  // Rebuilds the text from the four octets.
  void UpdateText();
  int GetOctet(int index) const { return index >= 1 && index <= 4 ? octets_[index - 1] : 0; }
  // 1 to 4, or 0 when no octet is being edited.
  int GetActiveOctet() const { return active_; }
  const CUiString& GetTypingBuffer() const { return buffer_; }

 private:
  void CommitBuffer();
  void SetActiveOctet(int value);

  int octets_[4] = {0, 0, 0, 0};
  int active_ = 0;
  wchar_t last_char_ = 0;
  CUiString buffer_;
};

}  // namespace SkinUI
