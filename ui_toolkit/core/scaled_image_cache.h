// Nine-grid drawings of one image kept at the sizes they were drawn at, so
// that a repaint copies the result instead of stretching every piece again
// (a smoothed stretch costs far more than a copy).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/scoped_handle.h"

namespace SkinUI {

class CScaledImageCacheUI {
 public:
  // What makes one drawing: the part of the image, the borders, the size it
  // is drawn at, and how the middle is filled.
  struct Key {
    RECT source{};
    RECT corners{};
    SIZE size{};
    bool blended = false;
    bool hole = false;
    bool x_tiled = false;
    bool y_tiled = false;
  };

  // Drawings this large are not kept: a few of them would hold more memory
  // than stretching them again costs time.
  static constexpr long long kMaxPixels = 4096ll * 2160;
  static constexpr size_t kMaxEntries = 4;

  // The bitmap (32-bit, top-down, |key.size|) of the drawing, or null when
  // none is kept for |key|.
  HBITMAP Find(const Key& key);
  // Keeps |bitmap| for |key|, dropping the drawing used longest ago when full.
  void Add(const Key& key, base::ScopedGdiObject bitmap);
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    Key key;
    base::ScopedGdiObject bitmap;
    std::uint64_t used = 0;
  };
  std::vector<Entry> entries_;
  std::uint64_t clock_ = 0;
};

}  // namespace SkinUI
