// A grid of equal columns filled row by row, each child centred in its cell;
// the columns follow from the item width when one is set.
#pragma once

#include "ui_toolkit/core/container.h"

namespace SkinUI {

class CTileLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  SIZE GetItemSize() const;  // scaled
  void SetItemSize(SIZE size);
  int GetColumns() const { return columns_; }
  void SetColumns(int columns);

 private:
  SIZE item_size_{};
  int columns_ = 1;
};

}  // namespace SkinUI
