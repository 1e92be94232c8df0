#include "ui_toolkit/core/ui_string_ptr_map.h"

#include <cwchar>

namespace SkinUI {

CUiStringPtrMap::CUiStringPtrMap(int bucket_count) {
  Resize(bucket_count < 16 ? 16 : bucket_count);
}

CUiStringPtrMap::~CUiStringPtrMap() { Resize(0); }

unsigned CUiStringPtrMap::Hash(const wchar_t* key) {
  unsigned h = 0;
  for (size_t i = std::wcslen(key); i > 0; --i) h = h * 33 + static_cast<unsigned>(key[i - 1]);
  return h;
}

CUiStringPtrMap::Entry* CUiStringPtrMap::Lookup(const wchar_t* key, bool move_to_front) const {
  if (key == nullptr || bucket_count_ <= 0 || count_ == 0) return nullptr;
  Entry*& head = buckets_[Hash(key) % static_cast<unsigned>(bucket_count_)];
  for (Entry* e = head; e != nullptr; e = e->next) {
    if (e->key != key) continue;
    if (move_to_front && e != head) {
      e->prev->next = e->next;
      if (e->next != nullptr) e->next->prev = e->prev;
      e->prev = nullptr;
      e->next = head;
      head->prev = e;
      head = e;
    }
    return e;
  }
  return nullptr;
}

void* CUiStringPtrMap::Find(const wchar_t* key, bool move_to_front) const {
  const Entry* e = Lookup(key, move_to_front);
  return e == nullptr ? nullptr : e->data;
}

bool CUiStringPtrMap::Insert(const wchar_t* key, void* data) {
  if (key == nullptr || bucket_count_ <= 0 || Lookup(key, true) != nullptr) return false;
  Entry*& head = buckets_[Hash(key) % static_cast<unsigned>(bucket_count_)];
  Entry* e = new Entry{CUiString(key), data, nullptr, head};
  if (head != nullptr) head->prev = e;
  head = e;
  ++count_;
  return true;
}

void* CUiStringPtrMap::Set(const wchar_t* key, void* data) {
  if (key == nullptr || bucket_count_ <= 0) return data;
  if (Entry* e = Lookup(key, true)) {
    void* previous = e->data;
    e->data = data;
    return previous;
  }
  Insert(key, data);
  return nullptr;
}

bool CUiStringPtrMap::Remove(const wchar_t* key) {
  Entry* e = Lookup(key, false);
  if (e == nullptr) return false;
  Entry*& head = buckets_[Hash(key) % static_cast<unsigned>(bucket_count_)];
  if (e->prev != nullptr) {
    e->prev->next = e->next;
  } else {
    head = e->next;
  }
  if (e->next != nullptr) e->next->prev = e->prev;
  delete e;
  --count_;
  return true;
}

const wchar_t* CUiStringPtrMap::GetKeyAt(int index) const {
  if (index < 0 || index >= count_) return nullptr;
  int n = 0;
  for (int b = bucket_count_ - 1; b >= 0; --b) {
    for (const Entry* e = buckets_[b]; e != nullptr; e = e->next) {
      if (n++ == index) return e->key.GetData();
    }
  }
  return nullptr;
}

void CUiStringPtrMap::FreeEntries() {
  for (int b = 0; b < bucket_count_; ++b) {
    Entry* e = buckets_[b];
    while (e != nullptr) {
      Entry* next = e->next;
      delete e;
      e = next;
    }
    buckets_[b] = nullptr;
  }
  count_ = 0;
}

void CUiStringPtrMap::RemoveAll() { FreeEntries(); }

void CUiStringPtrMap::Resize(int bucket_count) {
  FreeEntries();
  delete[] buckets_;
  buckets_ = nullptr;
  bucket_count_ = 0;
  if (bucket_count <= 0) return;
  buckets_ = new Entry*[bucket_count]();
  bucket_count_ = bucket_count;
}

}  // namespace SkinUI
