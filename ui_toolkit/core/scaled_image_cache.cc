#include "ui_toolkit/core/scaled_image_cache.h"

#include <algorithm>
#include <utility>

namespace SkinUI {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameKey(const CScaledImageCacheUI::Key& a, const CScaledImageCacheUI::Key& b) {
  return SameRect(a.source, b.source) && SameRect(a.corners, b.corners) && a.size.cx == b.size.cx &&
         a.size.cy == b.size.cy && a.blended == b.blended && a.hole == b.hole && a.x_tiled == b.x_tiled &&
         a.y_tiled == b.y_tiled;
}

}  // namespace

HBITMAP CScaledImageCacheUI::Find(const Key& key) {
  for (Entry& e : entries_) {
    if (!SameKey(e.key, key)) continue;
    e.used = ++clock_;
    return static_cast<HBITMAP>(e.bitmap.Get());
  }
  return nullptr;
}

void CScaledImageCacheUI::Add(const Key& key, base::ScopedGdiObject bitmap) {
  if (!bitmap.IsValid()) return;
  if (entries_.size() >= kMaxEntries) {
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const Entry& a, const Entry& b) { return a.used < b.used; });
    entries_.erase(oldest);
  }
  entries_.push_back(Entry{key, std::move(bitmap), ++clock_});
}

}  // namespace SkinUI
