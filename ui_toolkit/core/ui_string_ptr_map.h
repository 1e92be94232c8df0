// A hash map from texts to untyped pointers. The map owns its entries and
// their keys, never the values: users free the values themselves before they
// remove or clear entries. Keys compare case-sensitively.
#pragma once

#include "ui_toolkit/core/ui_string.h"

namespace SkinUI {

class CUiStringPtrMap {
 public:
  // The toolkit passes 83; fewer than 16 buckets are raised to 16.
  explicit CUiStringPtrMap(int bucket_count = 83);
  CUiStringPtrMap(const CUiStringPtrMap&) = delete;
  CUiStringPtrMap& operator=(const CUiStringPtrMap&) = delete;
  ~CUiStringPtrMap();

  // The value under |key|, or null. With |move_to_front| a found entry goes
  // to the head of its chain, so names looked up often are found quickly.
  void* Find(const wchar_t* key, bool move_to_front = true) const;
  // False when the key is present already or the map has no buckets.
  bool Insert(const wchar_t* key, void* data);
  // Stores |data| and returns what the caller must now dispose of: the
  // replaced value, null for a new entry, or |data| itself when nothing
  // could be stored (no buckets).
  void* Set(const wchar_t* key, void* data);
  // Frees the entry, not its value.
  bool Remove(const wchar_t* key);
  int GetSize() const { return count_; }
  // The n-th key in iteration order (buckets from last to first, each chain
  // from its head), or null.
  const wchar_t* GetKeyAt(int index) const;
  // Frees every entry and keeps an empty bucket array of the same size.
  void RemoveAll();
  // Frees every entry and the buckets, then takes |bucket_count| empty ones
  // (none for 0 or less).
  void Resize(int bucket_count);

  int GetBucketCount() const { return bucket_count_; }

 private:
  struct Entry {
    CUiString key;
    void* data;
    Entry* prev;
    Entry* next;
  };

  static unsigned Hash(const wchar_t* key);
  Entry* Lookup(const wchar_t* key, bool move_to_front) const;
  void FreeEntries();

  Entry** buckets_ = nullptr;
  int bucket_count_ = 0;
  int count_ = 0;
};

}  // namespace SkinUI
