#include "ui_toolkit/core/delegate.h"

namespace SkinUI {

CUiEventSource::~CUiEventSource() {
  for (int i = 0; i < delegates_.GetSize(); ++i) delete static_cast<CDelegateBase*>(delegates_.GetAt(i));
}

void CUiEventSource::AddDelegate(const CDelegateBase& delegate) {
  CDelegateBase* copy = delegate.Copy();
  for (int i = 0; i < delegates_.GetSize(); ++i) {
    if (static_cast<CDelegateBase*>(delegates_.GetAt(i))->Equals(*copy)) {
      delete copy;
      return;
    }
  }
  if (!delegates_.Add(copy)) delete copy;
}

bool CUiEventSource::Invoke(void* param) {
  for (int i = 0; i < delegates_.GetSize(); ++i) {
    if (!static_cast<CDelegateBase*>(delegates_.GetAt(i))->Invoke(param)) return false;
  }
  return true;
}

}  // namespace SkinUI
